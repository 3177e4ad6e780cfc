// The correlation search gathers its offers in one pass per value, grading
// one output per distinct grade key among far outputs. These tests hold that
// pass to the literal walk along every input's chain on random projects
// under several weight settings: the reports must be byte for byte equal.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "index/correlation_search.h"
#include "test_project.h"
#include "test_support.h"

namespace {

using tw_test::read_file;
using tw_test::TestProject;

// A few values are everywhere (and so exceed the pair-by-pair limit), most
// are rare.
std::string random_value(std::mt19937 &random) {
    static const char *const COMMON[] = {"Y", "N", "0", "1"};
    int pick = static_cast<int>(random() % 100);
    if (pick < 60) {
        return COMMON[random() % 4];
    }
    return "v" + std::to_string(random() % 40);
}

std::string random_grids(std::mt19937 &random) {
    std::string rdf;
    for (int grid = 1; grid <= 6; ++grid) {
        rdf += "[grid " + std::to_string(grid) + "]\nA,B,C\n";
        int rows = 1 + static_cast<int>(random() % 25);
        for (int row = 0; row < rows; ++row) {
            rdf += random_value(random) + "," + (random() % 5 == 0 ? "" : random_value(random)) +
                   "," + random_value(random) + "\n";
        }
    }
    return rdf;
}

// An action file mixing grid references and assignments, several per line
// at times, so that places hold outputs and inputs in every order.
std::string random_action(std::mt19937 &random, int lines) {
    std::string text = "Action()\n{\n";
    for (int line = 0; line < lines; ++line) {
        int statements = 1 + static_cast<int>(random() % 3);
        for (int s = 0; s < statements; ++s) {
            if (random() % 3 == 0) {
                text += " GRID(" + std::to_string(1 + random() % 6) + ");";
            } else {
                text += " sqx_assign(C" + std::to_string(random() % 3) + ", \"" +
                        random_value(random) + "\");";
            }
        }
        text += "\n";
    }
    return text + "}\n";
}

const int SOME_PAIRS = 400;

std::string search_report(CCorrelationAnalyser &analyser, const std::string &path, float min_grade,
                          bool by_walks, int max_results = SOME_PAIRS) {
    correlation_search_gather_by_walks(by_walks);
    int code = analyser.FindCorrelations(path.c_str(), min_grade, max_results);
    correlation_search_gather_by_walks(false);
    EXPECT_TRUE(code == 0 || code == -7) << code;
    return read_file(path);
}

struct WeightsCase {
    const char *label;
    std::string text;
};

const std::string ALL_INPUTS =
    "[TokenEvaluatorInputs]\nWeight0=1\nWeight1=1\nWeight2=1\nWeight3=1\nWeight4=1\n"
    "Weight5=1\nWeight6=1\nWeight7=1\nWeight8=1\n";

std::vector<WeightsCase> weight_cases() {
    return {
        {"shipped", read_file(TOKENWEAVE_SOURCE_DIR "/dat/crlt.dat")},
        {"distanceOnly", tw_test::LINE_DISTANCE_WEIGHTS},
        {"tightLimits", ALL_INPUTS + "[PairLineDistance]\nMaxDistance=3\n"
                                     "[TokenGridFrequency]\nMaxFrequency=2\n"
                                     "[TokenGridRow]\nMaxRow=3\n"},
        {"distanceNeverCounts", ALL_INPUTS + "[PairLineDistance]\nMaxDistance=0\n"},
        {"negativeDistance", ALL_INPUTS + "[PairLineDistance]\nMaxDistance=-5\n"},
        {"rowsOnly", "[TokenEvaluatorInputs]\nWeight8=1\n[TokenGridRow]\nMaxRow=7\n"},
        // Far outputs are skipped when a later one grades at least as high
        // on every grid share; these settle grid shares at few levels, so
        // far outputs of different keys tie, and turn the order the grid
        // values rank in.
        {"rowAgainstGrade",
         "[TokenEvaluatorInputs]\nWeight0=1\nWeight1=1\nWeight5=1\n"
         "Weight6=1\nWeight7=2\nWeight8=-1\n[TokenGridFrequency]\n"
         "MaxFrequency=3\n[TokenGridRow]\nMaxRow=12\n"
         "[PairLineDistance]\nMaxDistance=2\n"},
        {"negativeWeightSum",
         "[TokenEvaluatorInputs]\nWeight0=-1\nWeight1=-1\nWeight5=-1\n"
         "Weight6=-1\nWeight7=-0.5\nWeight8=-2\n[TokenGridFrequency]\n"
         "MaxFrequency=2\n[TokenGridRow]\nMaxRow=9\n"
         "[PairLineDistance]\nMaxDistance=0\n"},
    };
}

class SearchEquivalence : public ::testing::TestWithParam<int> {};

TEST_P(SearchEquivalence, OnePassGatheringMatchesChainWalks) {
    std::mt19937 random(static_cast<unsigned>(GetParam()));
    TestProject project;
    project.set_grids(random_grids(random));
    project.add_action("A1.c", random_action(random, 40));
    project.add_action("A2.c", random_action(random, 40));
    for (const WeightsCase &weights : weight_cases()) {
        SCOPED_TRACE(weights.label);
        auto walked = project.build(weights.text);
        auto gathered = project.build(weights.text);
        ASSERT_NE(walked, nullptr);
        ASSERT_NE(gathered, nullptr);
        walked->AnalyseIndex();
        gathered->AnalyseIndex();
        std::string report = project.file("report.txt");
        for (float min_grade : {0.0f, 0.3f}) {
            std::string expected = search_report(*walked, report, min_grade, true);
            EXPECT_EQ(search_report(*gathered, report, min_grade, false), expected);
            // And again on the same index, after the other way has linked it.
            EXPECT_EQ(search_report(*walked, report, min_grade, false), expected);
            EXPECT_EQ(search_report(*gathered, report, min_grade, true), expected);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(RandomProjects, SearchEquivalence, ::testing::Range(1, 9));

// Values with thousands of outputs grow the gathering's working arrays past
// what it keeps between values; the values after them start afresh.
TEST(SearchEquivalence, ValuesWithThousandsOfOutputs) {
    std::mt19937 random(3);
    std::string rdf = random_grids(random) + "[grid 7]\nA,B,C\n";
    for (int row = 0; row < 1200; ++row) {
        rdf += std::string(row % 2 == 0 ? "Y" : "N") + ",Y," + random_value(random) + "\n";
    }
    std::string action = "Action()\n{\n";
    for (int line = 0; line < 60; ++line) {
        action += line % 12 == 0 ? " GRID(7);" : "";
        action += " sqx_assign(C0, \"" + random_value(random) + "\");\n";
    }
    TestProject project;
    project.set_grids(rdf);
    project.add_action("A1.c", action + "}\n");
    project.add_action("A2.c", random_action(random, 40));
    auto analyser = project.build(read_file(TOKENWEAVE_SOURCE_DIR "/dat/crlt.dat"));
    ASSERT_NE(analyser, nullptr);
    analyser->AnalyseIndex();
    std::string report = project.file("report.txt");
    std::string expected = search_report(*analyser, report, 0.0f, true);
    EXPECT_EQ(search_report(*analyser, report, 0.0f, false), expected);
}

// Every pair of the project: the common values' inputs write far more pairs
// than one ranking batch holds, so their next pairs come from several
// rankings of their chains, and ties in grade abound.
TEST(SearchEquivalence, EveryPairInTheWalksOrder) {
    const int EVERY_PAIR = 1000000;
    std::mt19937 random(7);
    TestProject project;
    project.set_grids(random_grids(random));
    project.add_action("A1.c", random_action(random, 40));
    project.add_action("A2.c", random_action(random, 40));
    for (const WeightsCase &weights : weight_cases()) {
        SCOPED_TRACE(weights.label);
        auto analyser = project.build(weights.text);
        ASSERT_NE(analyser, nullptr);
        analyser->AnalyseIndex();
        std::string report = project.file("report.txt");
        std::string expected = search_report(*analyser, report, 0.0f, true, EVERY_PAIR);
        EXPECT_GT(expected.size(), 100000u);
        EXPECT_EQ(search_report(*analyser, report, 0.0f, false, EVERY_PAIR), expected);
    }
}

}  // namespace
