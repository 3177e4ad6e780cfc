// The counting heuristics: LimitRatio, the length peak, the grades each
// one derives from its field of the pair, and the key each keeps its maximum
// under.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "heuristics/ctokenlengthheuristicevaluator.h"
#include "heuristics/pair_position_heuristics.h"
#include "heuristics/token_count_heuristics.h"
#include "pair_records.h"
#include "port/winapi.h"
#include "test_support.h"

namespace {

using tw_test::FloatBits;
using tw_test::PairRecords;
using tw_test::TempDir;

struct RatioCase {
    float limit;
    int count;
    float expected;
};

TEST(LimitRatioTest, CapsAtOneAndTreatsZeroLimitAsReached) {
    const RatioCase cases[] = {
        {20.0f, 0, 0.0f},       {20.0f, 10, 0.5f}, {20.0f, 19, 19.0f / 20.0f},
        {20.0f, 20, 1.0f},      {20.0f, 21, 1.0f}, {20.0f, 1000000, 1.0f},
        {7.0f, 6, 6.0f / 7.0f}, {7.0f, 7, 1.0f},   {0.0f, 0, 1.0f},
        {0.0f, 5, 1.0f},        {2.5f, 2, 0.8f},   {2.5f, 3, 1.0f},
    };
    for (const RatioCase &c : cases) {
        CTokenCapitalsHeuristicEvaluator evaluator(c.limit);
        EXPECT_EQ(FloatBits(evaluator.LimitRatio(c.count)), FloatBits(c.expected))
            << "limit " << c.limit << " count " << c.count;
    }
}

struct LengthCase {
    int length;
    float expected;
};

TEST(TokenLengthTest, RisesToThePeakAndFallsToTheMaximum) {
    CTokenLengthHeuristicEvaluator evaluator(20.0f, 10.0f);
    const LengthCase cases[] = {
        {-3, 0.0f}, {0, 0.0f},  {1, 0.1f},
        {5, 0.5f},  {9, 0.9f},  {10, 1.0f},
        {11, 0.9f}, {15, 0.5f}, {19, 1.0f - 9.0f / 10.0f},
        {20, 0.0f}, {21, 0.0f}, {500, 0.0f},
    };
    for (const LengthCase &c : cases) {
        EXPECT_EQ(FloatBits(evaluator.PeakRatio(c.length)), FloatBits(c.expected))
            << "length " << c.length;
    }
}

TEST(TokenLengthTest, ZeroPeakOnlyFalls) {
    CTokenLengthHeuristicEvaluator evaluator(20.0f, 0.0f);
    for (int length = 1; length <= 20; ++length) {
        float expected = 1.0f - static_cast<float>(length) / 20.0f;
        EXPECT_EQ(FloatBits(evaluator.PeakRatio(length)), FloatBits(expected)) << length;
    }
    EXPECT_EQ(evaluator.PeakRatio(0), 0.0f);
    EXPECT_EQ(evaluator.PeakRatio(21), 0.0f);
}

TEST(TokenLengthTest, PeakAtTheMaximumGivesOneThere) {
    CTokenLengthHeuristicEvaluator evaluator(8.0f, 8.0f);
    EXPECT_EQ(evaluator.PeakRatio(8), 1.0f);
    EXPECT_EQ(evaluator.PeakRatio(4), 0.5f);
    EXPECT_EQ(evaluator.PeakRatio(9), 0.0f);
}

TEST(TokenCountTest, EachHeuristicReadsItsOwnCount) {
    PairRecords pair;
    pair.token.capital_count = 5;
    pair.token.total_count = 100;
    pair.token.input_count = 3;
    pair.token.output_count = 4;

    CTokenCapitalsHeuristicEvaluator capitals(20.0f);
    CTokenFrequencyHeuristicEvaluator frequency(200.0f);
    CTokenInputFrequencyHeuristicEvaluator inputFrequency(12.0f);
    CTokenOutputFrequencyHeuristicEvaluator outputFrequency(16.0f);
    EXPECT_EQ(capitals.Evaluate(pair.token, pair.output, pair.input), 0.25f);
    EXPECT_EQ(frequency.Evaluate(pair.token, pair.output, pair.input), 0.5f);
    EXPECT_EQ(inputFrequency.Evaluate(pair.token, pair.output, pair.input), 0.25f);
    EXPECT_EQ(outputFrequency.Evaluate(pair.token, pair.output, pair.input), 0.75f);
    EXPECT_EQ(capitals.Peak(), -1.0f);
}

TEST(TokenCountTest, DirectionCountsWithMaximumOneOnlySayWhetherTheValueOccurs) {
    CTokenInputFrequencyHeuristicEvaluator inputFrequency(1.0f);
    CTokenOutputFrequencyHeuristicEvaluator outputFrequency(1.0f);
    PairRecords pair;
    const int counts[] = {0, 1, 5};
    const float inputExpected[] = {0.0f, 1.0f, 1.0f};
    const float outputExpected[] = {1.0f, 0.0f, 0.0f};
    for (int i = 0; i < 3; ++i) {
        pair.token.input_count = counts[i];
        pair.token.output_count = counts[i];
        EXPECT_EQ(inputFrequency.Evaluate(pair.token, pair.output, pair.input), inputExpected[i]);
        EXPECT_EQ(outputFrequency.Evaluate(pair.token, pair.output, pair.input), outputExpected[i]);
    }
}

TEST(PairLineDistanceTest, SameFileInEitherOrder) {
    CPairLineDistanceHeuristicEvaluator evaluator(250.0f);
    PairRecords pair;
    struct {
        int outputLine;
        int inputLine;
        float expected;
    } cases[] = {
        {40, 40, 1.0f},
        {40, 165, 0.5f},
        {165, 40, 0.5f},
        {10, 260, 0.0f},
        {10, 900, 0.0f},
        {900, 10, 0.0f},
        {41, 40, 1.0f - 1.0f / 250.0f},
    };
    for (const auto &c : cases) {
        pair.output.line = c.outputLine;
        pair.input.line = c.inputLine;
        EXPECT_EQ(FloatBits(evaluator.Evaluate(pair.token, pair.output, pair.input)),
                  FloatBits(c.expected))
            << c.outputLine << " " << c.inputLine;
    }
}

TEST(PairLineDistanceTest, ComparesFileTextsNotPointers) {
    CPairLineDistanceHeuristicEvaluator evaluator(250.0f);
    PairRecords pair;
    char sameText[64];
    strcpy(sameText, pair.actionFile);
    pair.input.file = sameText;
    pair.input.line = pair.output.line;
    EXPECT_EQ(evaluator.Evaluate(pair.token, pair.output, pair.input), 1.0f);
}

TEST(PairLineDistanceTest, DifferentOrUnknownFilesGiveZero) {
    CPairLineDistanceHeuristicEvaluator evaluator(250.0f);
    PairRecords pair;
    pair.input.line = pair.output.line;
    pair.input.file = pair.otherActionFile;
    EXPECT_EQ(evaluator.Evaluate(pair.token, pair.output, pair.input), 0.0f);

    char otherCase[64];
    strcpy(otherCase, pair.actionFile);
    otherCase[3] = 'P';  // "D:\Project\..." : a different text byte for byte
    pair.input.file = otherCase;
    EXPECT_EQ(evaluator.Evaluate(pair.token, pair.output, pair.input), 0.0f);

    pair.input.file = nullptr;
    EXPECT_EQ(evaluator.Evaluate(pair.token, pair.output, pair.input), 0.0f);
}

TEST(PairLineDistanceTest, ExtremeLinesDoNotOverflow) {
    CPairLineDistanceHeuristicEvaluator evaluator(250.0f);
    PairRecords pair;
    pair.output.line = -2147483647 - 1;
    pair.input.line = 2147483647;
    EXPECT_EQ(evaluator.Evaluate(pair.token, pair.output, pair.input), 0.0f);
}

TEST(TokenGridFrequencyTest, LongRunsGradeLow) {
    CTokenGridFrequencyHeuristicEvaluator evaluator(20.0f);
    PairRecords pair;
    const int runs[] = {0, 1, 10, 19, 20, 35};
    const float expected[] = {1.0f, 0.95f, 0.5f, 1.0f - 19.0f / 20.0f, 0.0f, 0.0f};
    for (int i = 0; i < 6; ++i) {
        pair.output.grid_repeat = runs[i];
        EXPECT_EQ(FloatBits(evaluator.Evaluate(pair.token, pair.output, pair.input)),
                  FloatBits(expected[i]))
            << runs[i];
    }
    EXPECT_EQ(
        CTokenGridFrequencyHeuristicEvaluator(0.0f).Evaluate(pair.token, pair.output, pair.input),
        0.0f);
}

TEST(TokenGridRowTest, EarlyRowsGradeHigh) {
    CTokenGridRowHeuristicEvaluator evaluator(20.0f);
    PairRecords pair;
    const int rows[] = {1, 10, 19, 20, 400};
    const float expected[] = {0.95f, 0.5f, 1.0f - 19.0f / 20.0f, 0.0f, 0.0f};
    for (int i = 0; i < 5; ++i) {
        pair.cell.row = rows[i];
        EXPECT_EQ(FloatBits(evaluator.Evaluate(pair.token, pair.output, pair.input)),
                  FloatBits(expected[i]))
            << rows[i];
    }
}

TEST(TokenGridRowTest, InputGivenAsOutputGradesZero) {
    CTokenGridRowHeuristicEvaluator evaluator(20.0f);
    PairRecords pair;
    pair.cell.row = 1;
    pair.output.direction = 0;
    EXPECT_EQ(evaluator.Evaluate(pair.token, pair.output, pair.input), 0.0f);
    // Same for an occurrence without a cell, which the index never hands over.
    pair.output.direction = 1;
    pair.output.cell = nullptr;
    EXPECT_EQ(evaluator.Evaluate(pair.token, pair.output, pair.input), 0.0f);
}

template <class Heuristic>
CLimitEvaluator *CreateFrom(const char *dataFilePath) {
    return Heuristic::Create(dataFilePath);
}

struct SettingCase {
    const char *section;
    const char *key;
    float defaultLimit;
    CLimitEvaluator *(*create)(const char *dataFilePath);
};

// Every limit heuristic, each with its own section, key and default.
const SettingCase SETTING_CASES[] = {
    {"CapitalCharacters", "MaxCapitals", 20.0f, CreateFrom<CTokenCapitalsHeuristicEvaluator>},
    {"TokenFrequency", "MaxFrequency", 200.0f, CreateFrom<CTokenFrequencyHeuristicEvaluator>},
    {"TokenInputFrequency", "MaxFrequency", 1.0f,
     CreateFrom<CTokenInputFrequencyHeuristicEvaluator>},
    {"TokenOutputFrequency", "MaxFrequency", 1.0f,
     CreateFrom<CTokenOutputFrequencyHeuristicEvaluator>},
    {"PairLineDistance", "MaxDistance", 250.0f, CreateFrom<CPairLineDistanceHeuristicEvaluator>},
    {"TokenGridFrequency", "MaxFrequency", 20.0f,
     CreateFrom<CTokenGridFrequencyHeuristicEvaluator>},
    {"TokenGridRow", "MaxRow", 20.0f, CreateFrom<CTokenGridRowHeuristicEvaluator>},
};

// A distinct maximum per heuristic, so that one reading another's key shows.
float CaseLimit(size_t i) {
    return 2.5f + static_cast<float>(i);
}

TEST(LimitSettingsTest, EachReadsItsOwnKeyOrItsDefault) {
    TempDir dir;
    std::string text;
    for (size_t i = 0; i < sizeof SETTING_CASES / sizeof SETTING_CASES[0]; ++i) {
        text += std::string("[") + SETTING_CASES[i].section + "]\n" + SETTING_CASES[i].key + "=" +
                std::to_string(CaseLimit(i)) + "\n";
    }
    std::string path = dir.write("crlt.dat", text);
    for (size_t i = 0; i < sizeof SETTING_CASES / sizeof SETTING_CASES[0]; ++i) {
        const SettingCase &c = SETTING_CASES[i];
        std::unique_ptr<CLimitEvaluator> configured(c.create(path.c_str()));
        ASSERT_NE(configured, nullptr) << c.section;
        EXPECT_EQ(configured->Limit(), CaseLimit(i)) << c.section;
        EXPECT_EQ(configured->Peak(), -1.0f) << c.section;
        std::unique_ptr<CLimitEvaluator> defaulted(c.create(dir.file("missing.dat").c_str()));
        ASSERT_NE(defaulted, nullptr) << c.section;
        EXPECT_EQ(defaulted->Limit(), c.defaultLimit) << c.section;
    }
}

TEST(LimitSettingsTest, SaveWritesTheMaximumUnderTheSameKey) {
    for (size_t i = 0; i < sizeof SETTING_CASES / sizeof SETTING_CASES[0]; ++i) {
        const SettingCase &c = SETTING_CASES[i];
        TempDir dir;
        std::string source = dir.write("crlt.dat", std::string("[") + c.section + "]\n" + c.key +
                                                       "=" + std::to_string(CaseLimit(i)) + "\n");
        std::unique_ptr<CLimitEvaluator> evaluator(c.create(source.c_str()));
        ASSERT_NE(evaluator, nullptr) << c.section;
        std::string saved = dir.file("saved.dat");
        ASSERT_EQ(evaluator->SaveSettings(saved.c_str()), 0) << c.section;
        char text[64];
        GetPrivateProfileStringA(c.section, c.key, "<missing>", text, sizeof text, saved.c_str());
        char expected[64];
        snprintf(expected, sizeof expected, "%.3f", CaseLimit(i));
        EXPECT_STREQ(text, expected) << c.section;
        EXPECT_EQ(evaluator->SaveSettings(dir.file("missing/saved.dat").c_str()), -1) << c.section;
    }
}

}  // namespace
