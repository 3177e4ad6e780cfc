// The pair grader must give every pair the grade EvaluateToken gives it, bit
// for bit, and leave the same best grade on the value's record: the search
// and the queries rank with it.

#include "index/pair_grader.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "containers/list.h"
#include "heuristics/ctokenheuristicevaluator.h"
#include "heuristics/evaluator_inputs.h"
#include "index/analyser_access.h"
#include "index/correlation_index.h"
#include "test_project.h"
#include "test_support.h"

namespace {

using tw_test::read_file;
using tw_test::TestProject;

uint32_t bits_of(float value) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::vector<token_entry_tag *> occurrences_of(token_instances_t *instances) {
    std::vector<token_entry_tag *> found;
    for (list_node *p = list_head(instances->occurrences); p != nullptr; p = p->next) {
        found.push_back(static_cast<token_entry_tag *>(p->data));
    }
    return found;
}

// What the root's output-reading inputs give for the pair, as the search
// hands them to the grader.
output_values output_values_of(CCorrelationAnalyser *analyser, token_instances_t *record,
                               token_entry_tag *output, token_entry_tag *input) {
    const CTokenHeuristicEvaluator *root = analyser_evaluator(analyser);
    auto value = [&](int i) {
        const CTokenHeuristicEvaluator *heuristic = root->Input(i);
        return heuristic != nullptr ? heuristic->Evaluate(*record, *output, *input) : 0.0f;
    };
    return {value(INPUT_PAIR_LINE_DISTANCE), value(INPUT_TOKEN_GRID_FREQUENCY),
            value(INPUT_TOKEN_GRID_ROW)};
}

// Two grids of repeated values and inputs of them in two files, at varied
// distances, through calls that the statement heuristic weighs differently.
TestProject &sample_project(TestProject &project) {
    project.set_grids(
        "[grid 1]\nA,B\nY,7\nY,8\nN,7\n"
        "[grid 2]\nA,B\nY,9\n7,Y\n");
    project.add_action("A1.c",
                       "Action()\n{\n GRID(1);\n sqx_assign(C1, \"Y\");\n"
                       " sqx_stmt(C1, \"7\");\n\n\n\n GRID(2);\n sqx_assign(C2, \"Y\");\n"
                       " sqx_assign_bind(C2, \"p\", \"7\");\n}\n");
    project.add_action("A2.c", "Action()\n{\n sqx_assign(C1, \"Y\");\n sqx_stmt(C1, \"8\");\n}\n");
    return project;
}

struct WeightsCase {
    const char *label;
    std::string text;
};

TEST(PairGrader, GradesEveryPairAsEvaluateTokenDoes) {
    const std::string all_inputs =
        "[TokenEvaluatorInputs]\nWeight0=1\nWeight1=2\nWeight2=1\nWeight3=0.5\nWeight4=1\n"
        "Weight5=3\nWeight6=1\nWeight7=0.25\nWeight8=1\n"
        "[StatementType]\nNumberOfStatements=2\nType0=sqx_stmt\nWeight0=1\n"
        "Type1=sqx_assign_bind\nWeight1=3\n";
    const WeightsCase cases[] = {
        {"shipped", read_file(TOKENWEAVE_SOURCE_DIR "/dat/crlt.dat")},
        {"allInputs", all_inputs + "[PairLineDistance]\nMaxDistance=4\n[TokenGridRow]\nMaxRow=2\n"},
        {"distanceOnly", tw_test::LINE_DISTANCE_WEIGHTS},
        {"weightsSumToZero", "[TokenEvaluatorInputs]\nWeight0=0\n"},
        // The root's arithmetic must not be bypassed for a tree the grader
        // cannot describe: a line distance limit that is not a number.
        {"nanDistance", all_inputs + "[PairLineDistance]\nMaxDistance=nan\n"},
    };
    for (const WeightsCase &weights : cases) {
        SCOPED_TRACE(weights.label);
        TestProject project;
        auto direct = sample_project(project).build(weights.text);
        auto graded = project.build(weights.text);
        ASSERT_NE(direct, nullptr);
        ASSERT_NE(graded, nullptr);
        direct->AnalyseIndex();
        graded->AnalyseIndex();
        pair_grader grader;
        pair_grader_init(&grader, graded.get());
        int pairs = 0;
        for (const char *value : {"Y", "7", "8", "N", "9"}) {
            SCOPED_TRACE(value);
            token_instances_t *expected_record =
                find_token_instances(analyser_index(direct.get()), value);
            token_instances_t *record = find_token_instances(analyser_index(graded.get()), value);
            ASSERT_NE(expected_record, nullptr);
            ASSERT_NE(record, nullptr);
            std::vector<token_entry_tag *> expected_occurrences = occurrences_of(expected_record);
            std::vector<token_entry_tag *> occurrences = occurrences_of(record);
            ASSERT_EQ(occurrences.size(), expected_occurrences.size());
            // Inputs alternate with outputs, so the kept shares are replaced
            // as often as they are reused.
            for (size_t i = 0; i < occurrences.size(); ++i) {
                for (size_t o = 0; o < occurrences.size(); ++o) {
                    float expected =
                        analyser_evaluate_token(direct.get(), expected_record,
                                                expected_occurrences[o], expected_occurrences[i]);
                    float got = grade_pair(&grader, record, occurrences[o], occurrences[i]);
                    EXPECT_EQ(bits_of(got), bits_of(expected)) << "input " << i << " output " << o;
                    output_values values =
                        output_values_of(graded.get(), record, occurrences[o], occurrences[i]);
                    float given =
                        grade_pair_given(&grader, record, occurrences[o], occurrences[i], values);
                    EXPECT_EQ(bits_of(given), bits_of(expected))
                        << "given, input " << i << " output " << o;
                    ++pairs;
                }
            }
            EXPECT_EQ(bits_of(record->best_grade), bits_of(expected_record->best_grade));
        }
        EXPECT_GT(pairs, 50);
    }
}

TEST(PairGrader, NullRecordsGradeZeroAndChangeNothing) {
    TestProject project;
    auto analyser = sample_project(project).build(read_file(TOKENWEAVE_SOURCE_DIR "/dat/crlt.dat"));
    ASSERT_NE(analyser, nullptr);
    token_instances_t *record = find_token_instances(analyser_index(analyser.get()), "Y");
    ASSERT_NE(record, nullptr);
    token_entry_tag *some = occurrences_of(record).front();
    pair_grader grader;
    pair_grader_init(&grader, analyser.get());
    EXPECT_EQ(grade_pair(&grader, nullptr, some, some), 0.0f);
    EXPECT_EQ(grade_pair(&grader, record, nullptr, some), 0.0f);
    EXPECT_EQ(grade_pair(&grader, record, some, nullptr), 0.0f);
    EXPECT_EQ(record->best_grade, 0.0f);
}

}  // namespace
