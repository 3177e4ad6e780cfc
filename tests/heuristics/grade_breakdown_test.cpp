// The breakdown of a grade must add up to the very grade the queries rank
// with, bit for bit, for every pair of the example projects and under
// weights whose sums need rounding.

#include "heuristics/grade_breakdown.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "containers/list.h"
#include "hashkit/hashkit.h"
#include "heuristics/ctokenheuristicevaluator.h"
#include "index/analyser_access.h"
#include "index/correlation_index.h"
#include "test_support.h"

namespace {

// Every input counts, with weights and limits whose sums need rounding.
const char ROUNDING_WEIGHTS[] =
    "[TokenEvaluatorInputs]\nWeight0=0.3\nWeight1=0.7\nWeight2=0.11\nWeight3=0.13\n"
    "Weight4=0.37\nWeight5=0.41\nWeight6=0.53\nWeight7=0.29\nWeight8=0.17\n"
    "[StatementType]\nNumberOfStatements=2\nType0=sqx_assign_bind\nWeight0=3\n"
    "Type1=sqx_stmt\nWeight1=1\n"
    "[PairLineDistance]\nMaxDistance=9\n[TokenGridRow]\nMaxRow=3\n";
const char ZERO_WEIGHTS[] = "[TokenEvaluatorInputs]\nWeight0=0\n";

unsigned bits_of(float value) {
    unsigned bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

struct Case {
    const char *project;
    const char *database;
    const char *weights;  // null: the shipped weights file
};

void PrintTo(const Case &c, std::ostream *out) {
    *out << c.project << (c.weights != nullptr ? " with its own weights" : "");
}

class GradeBreakdownTest : public testing::TestWithParam<Case> {};

TEST_P(GradeBreakdownTest, SumsToTheRankedGradeForEveryPair) {
    const Case &c = GetParam();
    tw_test::TempDir dir;
    std::string weights = c.weights != nullptr ? dir.write("weights.dat", c.weights)
                                               : TOKENWEAVE_SOURCE_DIR "/dat/crlt.dat";
    std::string project = std::string(TOKENWEAVE_SOURCE_DIR) + c.project;
    CCorrelationAnalyser analyser(project.c_str(), "", nullptr, nullptr, c.database, nullptr);
    analyser.SetDataFilePath(weights.c_str());
    ASSERT_EQ(analyser.BuildIndex(), 0);
    analyser.AnalyseIndex();
    const CTokenHeuristicEvaluator *root = analyser_evaluator(&analyser);

    int pairs = 0;
    ht_enumeration *values = ht_enumerate_elements(analyser_index(&analyser)->token_table);
    while (ht_enum_has_more_elements(values)) {
        auto *token = static_cast<token_instances_t *>(ht_enum_next_element(values));
        for (list_node *o = list_head(token->occurrences); o != nullptr; o = o->next) {
            auto *output = static_cast<token_entry_tag *>(o->data);
            for (list_node *i = list_head(token->occurrences); i != nullptr; i = i->next) {
                auto *input = static_cast<token_entry_tag *>(i->data);
                if (output->direction != 1 || input->direction != 0) {
                    continue;
                }
                ++pairs;
                float grade = analyser.EvaluateToken(token, output, input);
                grade_breakdown_t breakdown;
                ASSERT_EQ(break_down_grade(root, *token, *output, *input, &breakdown), 0);
                EXPECT_EQ(bits_of(breakdown.grade), bits_of(grade))
                    << token->value << " at line " << input->line;
                ASSERT_EQ(breakdown.part_count, ROOT_INPUT_COUNT);
                EXPECT_EQ(bits_of(breakdown.weight_sum), bits_of(root->WeightSum()));
                for (int part = 0; part < ROOT_INPUT_COUNT; ++part) {
                    EXPECT_STREQ(breakdown.parts[part].name, ROOT_INPUT_NAMES[part]);
                    EXPECT_EQ(bits_of(breakdown.parts[part].score),
                              bits_of(root->Input(part)->Evaluate(*token, *output, *input)));
                    EXPECT_EQ(bits_of(breakdown.parts[part].weight), bits_of(root->Weight(part)));
                }
            }
        }
    }
    EXPECT_GT(pairs, 10);
}

INSTANTIATE_TEST_SUITE_P(
    ExampleProjects, GradeBreakdownTest,
    testing::Values(Case{"/examples/orders/orders.prj", "oracle", nullptr},
                    Case{"/examples/orders/orders.prj", "oracle", ROUNDING_WEIGHTS},
                    Case{"/examples/orders-odbc/orders.prj", "odbc", nullptr},
                    Case{"/examples/orders/orders.prj", "oracle", ZERO_WEIGHTS}));

TEST(GradeBreakdown, ZeroWeightsGradeZeroButKeepTheScores) {
    tw_test::TempDir dir;
    std::string weights = dir.write("weights.dat", ZERO_WEIGHTS);
    CCorrelationAnalyser analyser(TOKENWEAVE_SOURCE_DIR "/examples/orders/orders.prj", "", nullptr,
                                  nullptr);
    analyser.SetDataFilePath(weights.c_str());
    ASSERT_EQ(analyser.BuildIndex(), 0);
    correlation_index *index = analyser_index(&analyser);
    token_instances_t *token = find_token_instances(index, "TK-8F3A21");
    ASSERT_NE(token, nullptr);
    list_node *first = list_head(token->occurrences);
    auto *output = static_cast<token_entry_tag *>(first->data);
    auto *input = static_cast<token_entry_tag *>(first->next->data);
    ASSERT_EQ(output->direction, 1);
    ASSERT_EQ(input->direction, 0);

    grade_breakdown_t breakdown;
    ASSERT_EQ(break_down_grade(analyser_evaluator(&analyser), *token, *output, *input, &breakdown),
              0);
    EXPECT_EQ(breakdown.grade, 0.0f);
    float scores = 0.0f;
    for (const grade_part_t &part : breakdown.parts) {
        EXPECT_EQ(part.contribution, 0.0f);
        scores += part.score;
    }
    // The length and the line distance of this pair score above 0.
    EXPECT_GT(scores, 0.0f);
}

TEST(GradeBreakdown, NoTreeOrAnotherShapeGivesNoParts) {
    token_instances_t token;
    memset(&token, 0, sizeof token);
    token_entry_tag occurrence;
    memset(&occurrence, 0, sizeof occurrence);
    grade_breakdown_t breakdown;
    EXPECT_EQ(break_down_grade(nullptr, token, occurrence, occurrence, &breakdown), -1);
    EXPECT_EQ(breakdown.part_count, 0);

    CTokenHeuristicEvaluator lone(nullptr, nullptr, 0);
    EXPECT_EQ(break_down_grade(&lone, token, occurrence, occurrence, &breakdown), -1);
    EXPECT_EQ(breakdown.grade, 0.0f);
}

}  // namespace
