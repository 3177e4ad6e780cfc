// The correlation search and the grid-run analysis.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "containers/list.h"
#include "index/analyser_access.h"
#include "index/correlation_index.h"
#include "test_project.h"
#include "test_support.h"

namespace {

using tw_test::LINE_DISTANCE_WEIGHTS;
using tw_test::numbered_lines;
using tw_test::ProgressLog;
using tw_test::QUARTER_GRADE_WEIGHTS;
using tw_test::read_report;
using tw_test::TestProject;
using tw_test::with_progress;

const char NOTHING_FOUND_LINE[] = "No correlation candidates were found.\n";

// Value A is sent on line 20 after outputs on lines 19 (graded 0.9) and 15
// (0.5); value B is sent on line 23 after an output on line 20 (0.7) - with
// grades 1 - distance / 10.
class SearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        project.set_grids("[grid 1]\nV\nA\n[grid 2]\nV\nB\n");
        project.add_action("Action1.c", numbered_lines({{1, "Action1()"},
                                                        {2, "{"},
                                                        {15, "    GRID(1);"},
                                                        {19, "    GRID(1);"},
                                                        {20, "    sqx_assign(C, \"A\"); GRID(2);"},
                                                        {23, "    sqx_assign(C, \"B\");"},
                                                        {24, "}"}}));
        analyser =
            project.build(LINE_DISTANCE_WEIGHTS, with_progress(ProgressLog::record, &progress));
        ASSERT_NE(analyser, nullptr);
        progress.values.clear();
        report = project.file("report.txt");
    }

    std::string search(float min_grade, int max_results, int expected_code) {
        EXPECT_EQ(analyser->FindCorrelations(report.c_str(), min_grade, max_results),
                  expected_code);
        return read_report(report);
    }

    TestProject project;
    ProgressLog progress;
    std::unique_ptr<CCorrelationAnalyser> analyser;
    std::string report;
};

const char A_NEAR[] =
    "Action1.c(20): value \"A\" was returned at Action1.c(19), grid column 1, row 1\n";
const char A_FAR[] =
    "Action1.c(20): value \"A\" was returned at Action1.c(15), grid column 1, row 1\n";
const char B_PAIR[] =
    "Action1.c(23): value \"B\" was returned at Action1.c(20), grid column 1, row 1\n";

TEST_F(SearchTest, OffersEachInputsNextPairOnlyAfterItsBestWasWritten) {
    // A 0.9 and B 0.7 are offered first; A's 0.5 only once A 0.9 is written.
    EXPECT_EQ(search(0.0f, 3, 0), std::string(A_NEAR) + B_PAIR + A_FAR);
}

TEST_F(SearchTest, ProgressCoversGatheringThenReporting) {
    search(0.0f, 2, 0);
    // Two values are gathered (0.25, 0.5), then two pairs reported (0.75, 1).
    EXPECT_EQ(progress.values, (std::vector<float>{0.25f, 0.5f, 0.75f, 1.0f}));
}

TEST_F(SearchTest, MaxResultsLimitsTheReport) {
    EXPECT_EQ(search(0.0f, 1, 0), A_NEAR);
    EXPECT_EQ(search(0.0f, 0, 0), "");
    EXPECT_EQ(search(0.0f, -5, 0), "");
}

TEST_F(SearchTest, MinGradeGatesInputsByTheirBestPair) {
    // B's only pair grades 0.7: gated out. A's best is 0.9, so A takes part
    // and its next pair (0.5) is offered without comparing it to min_grade.
    EXPECT_EQ(search(0.8f, 10, 0), std::string(A_NEAR) + A_FAR);
    // A gate grade equal to min_grade takes part.
    EXPECT_EQ(search(0.9f, 10, 0), std::string(A_NEAR) + A_FAR);
    EXPECT_EQ(search(0.95f, 10, -7), NOTHING_FOUND_LINE);
}

TEST_F(SearchTest, RepeatedSearchesWriteTheSameReport) {
    std::string first = search(0.8f, 10, 0);
    std::string second = search(0.8f, 10, 0);
    std::string third = search(0.0f, 10, 0);
    std::string fourth = search(0.0f, 10, 0);
    EXPECT_EQ(first, second);
    EXPECT_EQ(third, fourth);
    EXPECT_EQ(third, std::string(A_NEAR) + B_PAIR + A_FAR);
}

TEST(SearchGate, SecondSearchStillSeesTheBestPairBeyondTheNearestOutput) {
    TestProject project;
    // A is returned in row 1 of grid 1 (graded 0.9) and later in row 9 of
    // grid 2 (graded 0.1): the nearest output is the worse one.
    project.set_grids("[grid 1]\nV\nA\n[grid 2]\nV\nb\nc\nd\ne\nf\ng\nh\ni\nA\n");
    project.add_action("A.c", numbered_lines({{1, "A()"},
                                              {2, "{"},
                                              {3, " GRID(1);"},
                                              {5, " GRID(2);"},
                                              {7, " sqx_assign(C, \"A\");"},
                                              {8, "}"}}));
    auto analyser = project.build("[TokenEvaluatorInputs]\nWeight8=1\n[TokenGridRow]\nMaxRow=10\n");
    ASSERT_NE(analyser, nullptr);
    std::string report = project.file("report.txt");
    const std::string expected =
        "A.c(7): value \"A\" was returned at A.c(3), grid column 1, row 1\n";
    for (int search = 0; search < 3; ++search) {
        SCOPED_TRACE(search);
        EXPECT_EQ(analyser->FindCorrelations(report.c_str(), 0.5f, 1), 0);
        EXPECT_EQ(read_report(report), expected);
    }
}

// Two inputs of A share a nearest output graded 0.05 and a farther one
// graded 0.95. The last input's walk grades the whole chain and takes part;
// the earlier input's walk stops at the nearest output, which the last walk
// has linked, so its gate is 0.05 and it is skipped. Every search over the
// index behaves like this first one.
TEST(SearchGate, GateOfAnEarlierInputIsItsNearestOutput) {
    TestProject project;
    std::string grid2 = "[grid 2]\nV\n";
    for (int row = 1; row < 19; ++row) {
        grid2 += "f" + std::to_string(row) + "\n";
    }
    project.set_grids("[grid 1]\nV\nA\n" + grid2 + "A\n");
    project.add_action("A.c", numbered_lines({{1, "A()"},
                                              {2, "{"},
                                              {3, " GRID(1);"},
                                              {5, " GRID(2);"},
                                              {7, " sqx_assign(C, \"A\");"},
                                              {8, " sqx_assign(C, \"A\");"},
                                              {9, "}"}}));
    // Grades 1 - row / 20: row 1 of grid 1 0.95, row 19 of grid 2 0.05.
    auto analyser = project.build("[TokenEvaluatorInputs]\nWeight8=1\n[TokenGridRow]\nMaxRow=20\n");
    ASSERT_NE(analyser, nullptr);
    std::string report = project.file("report.txt");
    const std::string expected =
        "A.c(8): value \"A\" was returned at A.c(3), grid column 1, row 1\n"
        "A.c(8): value \"A\" was returned at A.c(5), grid column 1, row 19\n";
    for (int search = 0; search < 3; ++search) {
        SCOPED_TRACE(search);
        EXPECT_EQ(analyser->FindCorrelations(report.c_str(), 0.5f, 10), 0);
        EXPECT_EQ(read_report(report), expected);
    }
}

TEST_F(SearchTest, InputTokenQueryDoesNotDependOnEarlierSearches) {
    std::string action = project.directory() + "/Action1.c";
    std::string token_report = project.file("token.txt");
    ASSERT_EQ(analyser->InputTokenQuery("A", action.c_str(), 20, token_report.c_str(), 0.0f), 0);
    std::string before = read_report(token_report);
    search(0.0f, 10, 0);
    ASSERT_EQ(analyser->InputTokenQuery("A", action.c_str(), 20, token_report.c_str(), 0.0f), 0);
    EXPECT_EQ(read_report(token_report), before);
    EXPECT_EQ(before, std::string(A_NEAR) + A_FAR);
}

TEST(SearchEdges, AllGradesZeroFindsNothing) {
    TestProject project;
    project.set_grids("[grid 1]\nV\n42\n");
    project.add_action("A.c", "A()\n{\n GRID(1);\n sqx_assign(C, \"42\");\n}\n");
    auto analyser = project.build("");  // no weights: every grade is 0
    ASSERT_NE(analyser, nullptr);
    std::string report = project.file("report.txt");
    EXPECT_EQ(analyser->FindCorrelations(report.c_str(), 0.0f, 10), -7);
    EXPECT_EQ(read_report(report), NOTHING_FOUND_LINE);
    EXPECT_EQ(analyser->FindCorrelations(report.c_str(), -1.0f, 10), -7);
}

TEST(SearchEdges, InputsWithoutEarlierOutputsAddNothing) {
    TestProject project;
    project.set_grids("[grid 1]\nV\n42\n");
    // Only input, and input before its output.
    project.add_action("A.c",
                       "A()\n{\n sqx_assign(C, \"7\");\n sqx_assign(C, \"42\");\n"
                       " GRID(1);\n}\n");
    auto analyser = project.build(QUARTER_GRADE_WEIGHTS);
    ASSERT_NE(analyser, nullptr);
    std::string report = project.file("report.txt");
    EXPECT_EQ(analyser->FindCorrelations(report.c_str(), 0.0f, 10), -7);
}

TEST(SearchEdges, NoPairIsWrittenTwice) {
    TestProject project;
    project.set_grids("[grid 1]\nV\n42\n");
    // Three inputs of one value share two outputs; equal grades everywhere.
    project.add_action("A.c", numbered_lines({{1, "A()"},
                                              {2, "{"},
                                              {3, " GRID(1);"},
                                              {4, " GRID(1);"},
                                              {5, " sqx_assign(C, \"42\");"},
                                              {6, " sqx_assign(C, \"42\");"},
                                              {7, " sqx_assign(C, \"42\");"},
                                              {8, "}"}}));
    auto analyser = project.build(QUARTER_GRADE_WEIGHTS);
    ASSERT_NE(analyser, nullptr);
    std::string report = project.file("report.txt");
    ASSERT_EQ(analyser->FindCorrelations(report.c_str(), 0.0f, 100), 0);
    std::string text = read_report(report);
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(lines.size(), 6u);  // every (input, output) pair once
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(std::adjacent_find(lines.begin(), lines.end()), lines.end());
}

TEST(AnalyseIndexTest, CountsRunsOfCellsFromOneGrid) {
    TestProject project;
    project.set_grids("[grid 2]\nV\n5\n5\n5\n[grid 3]\nV\n5\n");
    project.add_action("A.c", numbered_lines({{1, "A()"},
                                              {2, "{"},
                                              {3, " GRID(2);"},
                                              {4, " sqx_assign(C, \"5\");"},
                                              {5, " GRID(3);"},
                                              {6, " GRID(2);"},
                                              {7, "}"}}));
    auto analyser = project.build(QUARTER_GRADE_WEIGHTS);
    ASSERT_NE(analyser, nullptr);
    correlation_index *index = analyser_index(analyser.get());
    token_instances_t *five = find_token_instances(index, "5");
    ASSERT_NE(five, nullptr);

    auto repeats = [&]() {
        std::vector<int> values;
        for (list_node *p = list_head(five->occurrences); p != nullptr; p = p->next) {
            values.push_back(static_cast<token_entry_tag *>(p->data)->grid_repeat);
        }
        return values;
    };
    EXPECT_EQ(repeats(), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0}));
    analyser->AnalyseIndex();
    // Three cells of grid 2, the input (kept), one of grid 3, three of grid 2.
    EXPECT_EQ(repeats(), (std::vector<int>{3, 3, 3, 0, 1, 3, 3, 3}));
}

// Many values at once, with runs of different lengths and values no grid
// returned among them: each value's runs are counted on its own list.
TEST(AnalyseIndexTest, EachValueCountsItsOwnRuns) {
    const int VALUES = 50;
    std::string grid_two = "[grid 2]\nV\n";
    std::string grid_three = "[grid 3]\nV\n";
    std::string script = "A()\n{\n GRID(2);\n";
    for (int i = 0; i < VALUES; ++i) {
        std::string value = "v" + std::to_string(i);
        for (int k = 0; k <= i % 4; ++k) {
            grid_two += value + "\n";
        }
        grid_three += value + "\n";
        script += " sqx_assign(C, \"s" + std::to_string(i) + "\");\n";
        if (i % 3 == 0) {
            script += " sqx_assign(C, \"" + value + "\");\n";
        }
    }
    script += " GRID(3);\n GRID(2);\n}\n";
    TestProject project;
    project.set_grids(grid_two + grid_three);
    project.add_action("A.c", script);
    auto analyser = project.build(QUARTER_GRADE_WEIGHTS);
    ASSERT_NE(analyser, nullptr);
    analyser->AnalyseIndex();
    correlation_index *index = analyser_index(analyser.get());
    for (int i = 0; i < VALUES; ++i) {
        std::string value = "v" + std::to_string(i);
        token_instances_t *instances = find_token_instances(index, value.c_str());
        ASSERT_NE(instances, nullptr) << value;
        int run = i % 4 + 1;
        std::vector<int> expected(run, run);
        if (i % 3 == 0) {
            expected.push_back(0);
        }
        expected.push_back(1);
        expected.insert(expected.end(), run, run);
        std::vector<int> values;
        for (list_node *p = list_head(instances->occurrences); p != nullptr; p = p->next) {
            values.push_back(static_cast<token_entry_tag *>(p->data)->grid_repeat);
        }
        EXPECT_EQ(values, expected) << value;
    }
}

TEST(AnalyseIndexTest, RunsIgnoreFilesAndLines) {
    TestProject project;
    // Two directories, each with its own grid 2: three cells of 5 in one,
    // one in the other.
    project.add_file("a/grids.rdf", "[grid 2]\nV\n5\n5\n5\n");
    project.add_file("a/grids.grd", "");
    project.add_file("b/grids.rdf", "[grid 2]\nV\n5\n");
    project.add_file("b/grids.grd", "");
    project.add_action("a/A.c", "A()\n{\n GRID(2);\n sqx_assign(C, \"5\");\n}\n");
    project.add_action("b/B.c", "B()\n{\n GRID(2);\n}\n");
    auto analyser = project.build(QUARTER_GRADE_WEIGHTS);
    ASSERT_NE(analyser, nullptr);
    analyser->AnalyseIndex();
    token_instances_t *five = find_token_instances(analyser_index(analyser.get()), "5");
    ASSERT_NE(five, nullptr);
    std::vector<int> values;
    for (list_node *p = list_head(five->occurrences); p != nullptr; p = p->next) {
        values.push_back(static_cast<token_entry_tag *>(p->data)->grid_repeat);
    }
    EXPECT_EQ(values, (std::vector<int>{3, 3, 3, 0, 1}));
}

}  // namespace
