// The evaluator tree as the analyser uses it: created from a weights file,
// graded, taught and exported.

#include "heuristics/evaluator_tree.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <typeinfo>
#include <vector>

#include "heuristics/ctokenheuristicevaluator.h"
#include "heuristics/ctokenlengthheuristicevaluator.h"
#include "heuristics/ctokenstatementheuristicevaluator.h"
#include "heuristics/ctokentypeheuristicevaluator.h"
#include "heuristics/pair_position_heuristics.h"
#include "heuristics/token_count_heuristics.h"
#include "pair_records.h"
#include "port/winapi.h"
#include "test_support.h"

namespace {

using tw_test::FloatBits;
using tw_test::PairRecords;
using tw_test::TempDir;

typedef std::unique_ptr<CTokenHeuristicEvaluator> Tree;

Tree TreeFrom(const std::string &path) {
    return Tree(CreateEvaluatorTree(path.c_str()));
}

float Grade(const CTokenHeuristicEvaluator &evaluator, const PairRecords &pair) {
    return evaluator.Evaluate(pair.token, pair.output, pair.input);
}

std::string Setting(const std::string &path, const char *section, const char *key) {
    char text[256];
    GetPrivateProfileStringA(section, key, "<missing>", text, sizeof text, path.c_str());
    return text;
}

TEST(EvaluatorTreeTest, WithoutDataFileEveryGradeIsZero) {
    Tree root = TreeFrom("/nonexistent/dat/crlt.dat");
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->InputCount(), 9);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(root->Weight(i), 0.0f) << i;
    }
    EXPECT_EQ(root->WeightSum(), 0.0f);
    PairRecords pair;
    EXPECT_EQ(Grade(*root, pair), 0.0f);
}

TEST(EvaluatorTreeTest, InputsInFixedOrderWithDefaultParameters) {
    Tree root = TreeFrom("/nonexistent/dat/crlt.dat");
    ASSERT_NE(root, nullptr);
    PairRecords pair;  // value "104711", output line 40 row 1, input line 44
    pair.token.total_count = 100;
    pair.output.grid_repeat = 1;
    struct {
        const std::type_info &type;
        float grade;
    } expected[] = {
        {typeid(CTokenTypeHeuristicEvaluator), 0.3125f},
        {typeid(CTokenLengthHeuristicEvaluator), 0.6f},
        {typeid(CTokenCapitalsHeuristicEvaluator), 0.0f},
        {typeid(CTokenFrequencyHeuristicEvaluator), 0.5f},
        {typeid(CTokenStatementHeuristicEvaluator), 0.0f},
        {typeid(CTokenHeuristicEvaluator), 0.5f},
        {typeid(CPairLineDistanceHeuristicEvaluator), 1.0f - 4.0f / 250.0f},
        {typeid(CTokenGridFrequencyHeuristicEvaluator), 0.95f},
        {typeid(CTokenGridRowHeuristicEvaluator), 0.95f},
    };
    for (int i = 0; i < 9; ++i) {
        const CTokenHeuristicEvaluator *input = root->Input(i);
        ASSERT_NE(input, nullptr) << i;
        EXPECT_EQ(typeid(*input), expected[i].type) << i;
        EXPECT_EQ(FloatBits(Grade(*input, pair)), FloatBits(expected[i].grade)) << i;
    }
    const CTokenHeuristicEvaluator *inputOutput = root->Input(5);
    ASSERT_EQ(inputOutput->InputCount(), 2);
    EXPECT_EQ(typeid(*inputOutput->Input(0)), typeid(CTokenInputFrequencyHeuristicEvaluator));
    EXPECT_EQ(typeid(*inputOutput->Input(1)), typeid(CTokenOutputFrequencyHeuristicEvaluator));
    EXPECT_EQ(inputOutput->Weight(0), 1.0f);
    EXPECT_EQ(inputOutput->Weight(1), 1.0f);
}

TEST(EvaluatorTreeTest, ReadsWeightsAndParametersFromTheDataFile) {
    TempDir dir;
    std::string path = dir.write("crlt.dat",
                                 "[TokenEvaluatorInputs]\n"
                                 "Weight0=1\nWeight1=2.5\nWeight2=0\nWeight3=0.125\nWeight4=4\n"
                                 "Weight5=0.5\nWeight6=6\nWeight7=7\nWeight8=-1\n"
                                 "[TokenLength]\nMaxLength=40\nPeakValue=4\n"
                                 "[InputOutput]\nin=0.25\nout=3\n"
                                 "[TokenOutputFrequency]\nMaxFrequency=4\n"
                                 "[PairLineDistance]\nMaxDistance=8\n"
                                 "[TokenGridRow]\nMaxRow=2\n");
    Tree root = TreeFrom(path);
    ASSERT_NE(root, nullptr);
    const float weights[] = {1.0f, 2.5f, 0.0f, 0.125f, 4.0f, 0.5f, 6.0f, 7.0f, -1.0f};
    float sum = 0.0f;
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(root->Weight(i), weights[i]) << i;
        sum = sum + weights[i];
    }
    EXPECT_EQ(FloatBits(root->WeightSum()), FloatBits(sum));

    PairRecords pair;
    pair.token.output_count = 1;
    EXPECT_EQ(Grade(*root->Input(1), pair), 1.0f - 2.0f / 36.0f);
    EXPECT_EQ(root->Input(5)->Weight(0), 0.25f);
    EXPECT_EQ(root->Input(5)->Weight(1), 3.0f);
    // in: 1 x 0.25; out: (1 - 1/4) x 3; sum of weights 3.25
    EXPECT_EQ(Grade(*root->Input(5), pair), 0.25f / 3.25f + 0.75f * 3.0f / 3.25f);
    EXPECT_EQ(Grade(*root->Input(6), pair), 0.5f);
    EXPECT_EQ(Grade(*root->Input(8), pair), 0.5f);
}

// A data file under which the pair of PairLearning grades 1.0 on the token
// type, 0.5 on the length and 0 on every other input.
const char LEARNING_DATA[] =
    "[TokenType]\nNumberWeight=1\nStringWeight=0\nDbIdWeight=0\nOtherWeight=0\n"
    "[InputOutput]\nin=0\nout=0\n"
    "[TokenGridFrequency]\nMaxFrequency=0\n"
    "[TokenGridRow]\nMaxRow=0\n";

// Number-like, 5 characters, never counted, in another file than its output.
void PairLearning(PairRecords *pair) {
    pair->SetValue("12345");
    pair->token.value_class = 0;
    pair->token.total_count = 0;
    pair->input.file = pair->otherActionFile;
}

TEST(EvaluatorTreeTest, LearningWorkedExample) {
    TempDir dir;
    Tree root = TreeFrom(dir.write("crlt.dat", LEARNING_DATA));
    ASSERT_NE(root, nullptr);
    PairRecords pair;
    PairLearning(&pair);
    for (int i = 0; i < 9; ++i) {
        float expected = i == 0 ? 1.0f : i == 1 ? 0.5f : 0.0f;
        EXPECT_EQ(Grade(*root->Input(i), pair), expected) << "input " << i;
    }
    const float rate = 0.08f;

    root->IncreaseWeights(pair.token, pair.input, pair.output, rate);
    EXPECT_EQ(FloatBits(root->Weight(0)), FloatBits(0.08f));
    EXPECT_EQ(FloatBits(root->Weight(1)), FloatBits(0.04f));
    for (int i = 2; i < 9; ++i) {
        EXPECT_EQ(FloatBits(root->Weight(i)), FloatBits(0.0f)) << i;
    }
    float weightSum = 0.08f + 0.04f;
    EXPECT_EQ(FloatBits(root->WeightSum()), FloatBits(weightSum));
    float expected = 0.0f;
    expected = expected + 1.0f * 0.08f / weightSum;
    expected = expected + 0.5f * 0.04f / weightSum;
    float grade = Grade(*root, pair);
    EXPECT_EQ(FloatBits(grade), FloatBits(expected));
    EXPECT_NEAR(grade, 0.8333f, 0.0001f);

    // Learning reaches only the root: the composite keeps its weights.
    EXPECT_EQ(root->Input(5)->Weight(0), 0.0f);
    EXPECT_EQ(root->Input(5)->WeightSum(), 0.0f);

    root->DecreaseWeights(pair.token, pair.input, pair.output, rate);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(FloatBits(root->Weight(i)), FloatBits(0.0f)) << i;
    }
    EXPECT_EQ(Grade(*root, pair), 0.0f);

    root->DecreaseWeights(pair.token, pair.input, pair.output, rate);
    EXPECT_EQ(FloatBits(root->Weight(0)), FloatBits(0.0f));
    EXPECT_EQ(FloatBits(root->WeightSum()), FloatBits(0.0f));
}

TEST(EvaluatorTreeTest, GradesAreBitIdenticalAcrossTrees) {
    std::string shipped = std::string(TOKENWEAVE_SOURCE_DIR) + "/dat/crlt.dat";
    Tree first = TreeFrom(shipped);
    Tree second = TreeFrom(shipped);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    PairRecords pair;
    for (int line = 1; line < 400; line += 37) {
        pair.input.line = line;
        pair.cell.row = line % 23;
        float grade = Grade(*first, pair);
        EXPECT_EQ(FloatBits(grade), FloatBits(Grade(*second, pair))) << line;
        EXPECT_EQ(FloatBits(grade), FloatBits(Grade(*first, pair))) << line;
    }
}

// The file without the Input/Weight keys of [TokenEvaluatorInputs]: all that
// an export must leave exactly as it was.
std::string WithoutRootKeys(const std::string &text) {
    std::string kept;
    std::string section;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] == '[') {
            section = line.substr(0, line.find(']') + 1);
        }
        bool rootKey = section == "[TokenEvaluatorInputs]" &&
                       (line.rfind("Input", 0) == 0 || line.rfind("Weight", 0) == 0);
        if (!rootKey) {
            kept += line + "\n";
        }
    }
    return kept;
}

const char EXPORT_DATA[] =
    "; Weights file for the export test.\r\n"
    "[TokenEvaluatorInputs]\r\n"
    "; learned weights\r\n"
    "Weight0=0.5\r\n"
    "Weight2=0.0799999\r\n"
    "Weight3=0.0004\r\n"
    "\r\n"
    "[TokenType]\r\n"
    "; kinds of values\r\n"
    "NumberWeight=1.23456\r\n"
    "\r\n"
    "[StatementType]\r\n"
    "NumberOfStatements=1\r\n"
    "Type0=sqx_stmt\r\n"
    "Weight0=1\r\n"
    "Input0=untouched\r\n"
    "[InputOutput]\r\n"
    "in = 2 ; spaced\r\n";

TEST(EvaluatorTreeTest, ExportWritesOnlyTheRootSection) {
    TempDir dir;
    std::string path = dir.write("crlt.dat", EXPORT_DATA);
    Tree root = TreeFrom(path);
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->SaveSettings(path.c_str()), 0);

    const char *names[] = {"TokenType",        "TokenLength",        "CapitalCharacters",
                           "TokenFrequency",   "StatementType",      "InputOutput",
                           "PairLineDistance", "TokenGridFrequency", "TokenGridRow"};
    const char *weights[] = {"0.500", "0.000", "0.080", "0.000", "0.000",
                             "0.000", "0.000", "0.000", "0.000"};
    for (int i = 0; i < 9; ++i) {
        std::string index = std::to_string(i);
        EXPECT_EQ(Setting(path, "TokenEvaluatorInputs", ("Input" + index).c_str()), names[i]);
        EXPECT_EQ(Setting(path, "TokenEvaluatorInputs", ("Weight" + index).c_str()), weights[i]);
    }
    std::string written = tw_test::read_file(path);
#if defined(_WIN32)
    // The system's profile function respaces entries and drops blank lines.
    EXPECT_EQ(tw_test::profile_contents(WithoutRootKeys(written)),
              tw_test::profile_contents(WithoutRootKeys(EXPORT_DATA)));
#else
    EXPECT_EQ(WithoutRootKeys(written), WithoutRootKeys(EXPORT_DATA));
#endif
    EXPECT_NE(written.find("Weight2=0.080\r\n"), std::string::npos);
    EXPECT_EQ(Setting(path, "StatementType", "Weight0"), "1");
}

TEST(EvaluatorTreeTest, ExportedWeightsReadBackWithinHalfAThousandth) {
    TempDir dir;
    std::string path = dir.write("crlt.dat", LEARNING_DATA);
    Tree root = TreeFrom(path);
    ASSERT_NE(root, nullptr);
    PairRecords pair;
    PairLearning(&pair);
    for (int step = 0; step < 7; ++step) {
        root->IncreaseWeights(pair.token, pair.input, pair.output, 0.0123f);
    }
    ASSERT_EQ(root->SaveSettings(path.c_str()), 0);
    Tree reread = TreeFrom(path);
    ASSERT_NE(reread, nullptr);
    for (int i = 0; i < 9; ++i) {
        EXPECT_NEAR(reread->Weight(i), root->Weight(i), 0.0005f) << i;
    }
    EXPECT_NEAR(Grade(*reread, pair), Grade(*root, pair), 0.001f);
}

TEST(EvaluatorTreeTest, ExportReportsAnUnwritableFile) {
    TempDir dir;
    Tree root = TreeFrom("/nonexistent/dat/crlt.dat");
    ASSERT_NE(root, nullptr);
    std::string inMissingDirectory = dir.file("missing/crlt.dat");
    EXPECT_EQ(root->SaveSettings(inMissingDirectory.c_str()), -1);
    EXPECT_FALSE(tw_test::file_exists(dir.file("missing")));
    EXPECT_EQ(root->SaveSettings(""), -1);
    EXPECT_EQ(root->SaveSettings(nullptr), -1);
    // A directory where the file should be.
    EXPECT_EQ(root->SaveSettings(dir.path().c_str()), -1);
}

TEST(EvaluatorTreeTest, DamagedDataFilesFallBackToDefaults) {
    const std::string damaged[] = {
        std::string("\x7f"
                    "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0",
                    16),
        "[TokenEvaluatorInputs",
        "[TokenEvaluatorInputs]\nWeight0",
        "[TokenEvaluatorInputs]\nWeight0=",
        "[TokenEvaluatorInputs]\nWeight0=heavy\nWeight1=\x01\x02",
        std::string(100000, '['),
    };
    for (const std::string &text : damaged) {
        TempDir dir;
        Tree root = TreeFrom(dir.write("crlt.dat", text));
        ASSERT_NE(root, nullptr);
        PairRecords pair;
        EXPECT_EQ(root->WeightSum(), 0.0f);
        EXPECT_EQ(Grade(*root, pair), 0.0f);
        EXPECT_EQ(Grade(*root->Input(1), pair), 0.6f) << "length keeps its defaults";
    }
}

TEST(EvaluatorTreeTest, OversizedDataFileIsReadWhole) {
    std::string text = "[Padding]\n";
    for (int i = 0; i < 20000; ++i) {
        text += "Key" + std::to_string(i) + "=" + std::string(40, 'x') + "\n";
    }
    text += "[TokenEvaluatorInputs]\nWeight6=" + std::string(300, ' ') + "0.75\n";
    TempDir dir;
    Tree root = TreeFrom(dir.write("crlt.dat", text));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->Weight(6), 0.75f);
}

// The shipped weights file must rank a likely correlation far above a flag.
TEST(ShippedWeightsTest, RareNearbyIdentifierOutranksACommonFlag) {
    Tree root = TreeFrom(std::string(TOKENWEAVE_SOURCE_DIR) + "/dat/crlt.dat");
    ASSERT_NE(root, nullptr);
    for (int i = 0; i < 9; ++i) {
        EXPECT_GE(root->Weight(i), 0.0f) << i;
    }

    PairRecords key;  // "104711": returned once in row 1, bound 4 lines later
    key.input.call_code = 3;
    const float keyGrade = Grade(*root, key);

    PairRecords flag;
    flag.SetValue("0");
    flag.token.total_count = 60;
    flag.token.input_count = 20;
    flag.token.output_count = 40;
    flag.input.call_code = 1;  // a literal in SQL text
    flag.input.file = flag.otherActionFile;
    flag.cell.row = 15;
    flag.output.grid_repeat = 12;
    const float flagGrade = Grade(*root, flag);

    PairRecords letter;
    letter.SetValue("Y");
    letter.token.value_class = 1;
    letter.token.total_count = 30;
    letter.token.output_count = 25;
    letter.input.call_code = 2;
    letter.input.line = letter.output.line + 600;
    letter.cell.row = 8;
    letter.output.grid_repeat = 8;
    const float letterGrade = Grade(*root, letter);

    EXPECT_GT(keyGrade, 0.6f);
    EXPECT_LE(keyGrade, 1.0f);
    EXPECT_GT(flagGrade, 0.0f);
    EXPECT_LT(flagGrade, 0.25f);
    EXPECT_GT(keyGrade, 3.0f * flagGrade);
    EXPECT_LT(letterGrade, 0.3f);

    // A session id of GUID length returned just before use still ranks high.
    PairRecords guid;
    guid.SetValue("3F2504E0-4F89-11D3-9A0C-0305E82C3301");
    guid.token.value_class = 1;
    EXPECT_GT(Grade(*root, guid), 0.5f);
}

}  // namespace
