// The two table heuristics: token type and statement type, including how the
// statement table is read from and written to the weights file.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "heuristics/ctokenstatementheuristicevaluator.h"
#include "heuristics/ctokentypeheuristicevaluator.h"
#include "pair_records.h"
#include "port/winapi.h"
#include "test_support.h"

namespace {

using tw_test::PairRecords;
using tw_test::TempDir;

TEST(TokenTypeTest, DefaultWeightsShareSixteen) {
    std::unique_ptr<CTokenTypeHeuristicEvaluator> evaluator(
        CTokenTypeHeuristicEvaluator::Create("/nonexistent/crlt.dat"));
    ASSERT_NE(evaluator, nullptr);
    PairRecords pair;
    const int classes[] = {0, 1, 2, 3, -1};
    const float expected[] = {0.3125f, 0.1875f, 0.4375f, 0.0625f, 0.0625f};
    for (int i = 0; i < 5; ++i) {
        pair.token.value_class = classes[i];
        EXPECT_EQ(evaluator->Evaluate(pair.token, pair.output, pair.input), expected[i])
            << "class " << classes[i];
    }
}

TEST(TokenTypeTest, AllWeightsZeroGradesZero) {
    CTokenTypeHeuristicEvaluator evaluator(0.0f, 0.0f, 0.0f, 0.0f);
    PairRecords pair;
    for (int valueClass = 0; valueClass < 4; ++valueClass) {
        pair.token.value_class = valueClass;
        EXPECT_EQ(evaluator.Evaluate(pair.token, pair.output, pair.input), 0.0f);
    }
}

TEST(TokenTypeTest, ReadsAndWritesItsWeights) {
    TempDir dir;
    std::string path = dir.write("crlt.dat",
                                 "[TokenType]\nNumberWeight=1\nStringWeight=0\n"
                                 "DbIdWeight=3\nOtherWeight=0\n");
    std::unique_ptr<CTokenTypeHeuristicEvaluator> evaluator(
        CTokenTypeHeuristicEvaluator::Create(path.c_str()));
    ASSERT_NE(evaluator, nullptr);
    PairRecords pair;
    pair.token.value_class = 2;
    EXPECT_EQ(evaluator->Evaluate(pair.token, pair.output, pair.input), 0.75f);

    std::string copy = dir.file("copy.dat");
    ASSERT_EQ(evaluator->SaveSettings(copy.c_str()), 0);
    std::unique_ptr<CTokenTypeHeuristicEvaluator> reread(
        CTokenTypeHeuristicEvaluator::Create(copy.c_str()));
    ASSERT_NE(reread, nullptr);
    for (int valueClass = 0; valueClass < 4; ++valueClass) {
        pair.token.value_class = valueClass;
        EXPECT_EQ(reread->Evaluate(pair.token, pair.output, pair.input),
                  evaluator->Evaluate(pair.token, pair.output, pair.input));
    }
    EXPECT_NE(tw_test::read_file(copy).find("DbIdWeight=3.000"), std::string::npos);
}

// A statement heuristic read from a data file holding section_text.
std::unique_ptr<CTokenStatementHeuristicEvaluator> StatementFrom(const TempDir &dir,
                                                                 const std::string &sectionText) {
    std::string path = dir.write("crlt.dat", "[StatementType]\n" + sectionText);
    return std::unique_ptr<CTokenStatementHeuristicEvaluator>(
        CTokenStatementHeuristicEvaluator::Create(path.c_str()));
}

struct StatementCase {
    const char *name;
    const char *section;
    int expectedCount;
    // grades for the input call codes 1 (sqx_stmt), 2 (sqx_assign),
    // 3 (sqx_assign_bind), 4 (sqx_exec), 15 (cmx_ calls), -1 (none)
    float expected[6];
};

TEST(StatementTypeTest, GradesByTheFirstEntryWithTheInputsCallCode) {
    const StatementCase cases[] = {
        {"two entries",
         "NumberOfStatements=2\nType0=sqx_stmt\nWeight0=3\nType1=sqx_assign_bind\nWeight1=1\n",
         2,
         {0.75f, 0.0f, 0.25f, 0.0f, 0.0f, 0.0f}},
        {"first of two equal codes wins",
         "NumberOfStatements=2\nType0=sqx_stmt\nWeight0=1\nType1=sqx_stmt\nWeight1=3\n",
         2,
         {0.25f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
        {"count cut toward zero",
         "NumberOfStatements=2.9\nType0=sqx_stmt\nWeight0=1\nType1=sqx_assign\nWeight1=1\n"
         "Type2=sqx_exec\nWeight2=2\n",
         2,
         {0.5f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f}},
        {"negative count",
         "NumberOfStatements=-2\nType0=sqx_stmt\nWeight0=1\n",
         0,
         {0, 0, 0, 0, 0, 0}},
        {"no count", "Type0=sqx_stmt\nWeight0=1\n", 0, {0, 0, 0, 0, 0, 0}},
        {"count not a number",
         "NumberOfStatements=two\nType0=sqx_stmt\nWeight0=1\n",
         0,
         {0, 0, 0, 0, 0, 0}},
        {"weights sum to zero",
         "NumberOfStatements=2\nType0=sqx_stmt\nWeight0=1\nType1=sqx_assign\nWeight1=-1\n",
         2,
         {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
        {"unknown name matches nothing but counts",
         "NumberOfStatements=2\nType0=SQX_STMT\nWeight0=1\nType1=sqx_assign\nWeight1=1\n",
         2,
         {0.0f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f}},
        {"missing type and weight",
         "NumberOfStatements=2\nType0=sqx_exec\nWeight0=1\n",
         2,
         {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}},
    };
    const int codes[] = {1, 2, 3, 4, 15, -1};
    for (const StatementCase &c : cases) {
        TempDir dir;
        std::unique_ptr<CTokenStatementHeuristicEvaluator> evaluator =
            StatementFrom(dir, c.section);
        ASSERT_NE(evaluator, nullptr) << c.name;
        EXPECT_EQ(evaluator->StatementCount(), c.expectedCount) << c.name;
        PairRecords pair;
        for (int i = 0; i < 6; ++i) {
            pair.input.call_code = codes[i];
            EXPECT_EQ(evaluator->Evaluate(pair.token, pair.output, pair.input), c.expected[i])
                << c.name << ", call code " << codes[i];
        }
    }
}

TEST(StatementTypeTest, NoDataFileGradesZero) {
    std::unique_ptr<CTokenStatementHeuristicEvaluator> evaluator(
        CTokenStatementHeuristicEvaluator::Create("/nonexistent/crlt.dat"));
    ASSERT_NE(evaluator, nullptr);
    EXPECT_EQ(evaluator->StatementCount(), 0);
    PairRecords pair;
    pair.input.call_code = 1;
    EXPECT_EQ(evaluator->Evaluate(pair.token, pair.output, pair.input), 0.0f);
}

TEST(StatementTypeTest, HugeCountIsCappedInsteadOfExhaustingMemory) {
    TempDir dir;
    std::unique_ptr<CTokenStatementHeuristicEvaluator> evaluator =
        StatementFrom(dir, "NumberOfStatements=1e30\nType0=sqx_stmt\nWeight0=1\n");
    ASSERT_NE(evaluator, nullptr);
    EXPECT_EQ(evaluator->StatementCount(), CTokenStatementHeuristicEvaluator::MAX_STATEMENTS);
    PairRecords pair;
    pair.input.call_code = 1;
    EXPECT_EQ(evaluator->Evaluate(pair.token, pair.output, pair.input), 1.0f);
}

// Every configured entry counts in the weight sum, also beyond what the
// keyword table could name.
TEST(StatementTypeTest, ManyEntriesAllCountInTheWeightSum) {
    TempDir dir;
    std::string section = "NumberOfStatements=300\nType0=sqx_stmt\n";
    for (int i = 0; i < 300; ++i) {
        section += "Weight" + std::to_string(i) + "=1\n";
    }
    std::unique_ptr<CTokenStatementHeuristicEvaluator> evaluator = StatementFrom(dir, section);
    ASSERT_NE(evaluator, nullptr);
    EXPECT_EQ(evaluator->StatementCount(), 300);
    PairRecords pair;
    pair.input.call_code = 1;
    EXPECT_EQ(evaluator->Evaluate(pair.token, pair.output, pair.input), 1.0f / 300.0f);
}

TEST(StatementTypeTest, SaveSettingsWritesCountWeightsAndNames) {
    const int codes[] = {1, -1, 14};
    const float weights[] = {3.0f, 0.5f, 1.25f};
    CTokenStatementHeuristicEvaluator evaluator(3, weights, codes);
    TempDir dir;
    std::string path = dir.file("crlt.dat");
    ASSERT_EQ(evaluator.SaveSettings(path.c_str()), 0);

    char text[256];
    const struct {
        const char *key;
        const char *expected;
    } keys[] = {
        {"NumberOfStatements", "3.000"},
        {"Weight0", "3.000"},
        {"Weight1", "0.500"},
        {"Weight2", "1.250"},
        {"Type0", "sqx_stmt"},
        {"Type1", ""},
        {"Type2", "sqx_assign_bind_ext"},
    };
    for (const auto &k : keys) {
        GetPrivateProfileStringA("StatementType", k.key, "<missing>", text, sizeof text,
                                 path.c_str());
        EXPECT_STREQ(text, k.expected) << k.key;
    }

    std::unique_ptr<CTokenStatementHeuristicEvaluator> reread(
        CTokenStatementHeuristicEvaluator::Create(path.c_str()));
    ASSERT_NE(reread, nullptr);
    EXPECT_EQ(reread->StatementCount(), 3);
    PairRecords pair;
    for (int code : {1, 14, -1, 2}) {
        pair.input.call_code = code;
        EXPECT_EQ(reread->Evaluate(pair.token, pair.output, pair.input),
                  evaluator.Evaluate(pair.token, pair.output, pair.input))
            << code;
    }
}

TEST(StatementTypeTest, SaveSettingsReportsAnUnwritableFile) {
    const int codes[] = {1};
    const float weights[] = {1.0f};
    CTokenStatementHeuristicEvaluator evaluator(1, weights, codes);
    TempDir dir;
    EXPECT_EQ(evaluator.SaveSettings(dir.file("missing/crlt.dat").c_str()), -1);
    EXPECT_EQ(evaluator.SaveSettings(""), -1);
}

}  // namespace
