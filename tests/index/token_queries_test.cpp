// The token and cursor queries: which earlier outputs are candidates, how
// grades are cut at min_grade, and the exact report lines.

#include <gtest/gtest.h>
#include <signal.h>
#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include <string>

#include "containers/list.h"
#include "index/analyser_access.h"
#include "index/occurrence_lookup.h"
#include "index/token_queries.h"
#include "test_project.h"
#include "test_support.h"

namespace {

using tw_test::for_database;
using tw_test::numbered_lines;
using tw_test::ProgressLog;
using tw_test::QUARTER_GRADE_WEIGHTS;
using tw_test::read_report;
using tw_test::TestProject;
using tw_test::with_progress;

// The value 42 returned in row 2, column 3 of grid 1 (referenced on line 10)
// and sent again on line 20.
class FortyTwoTest : public ::testing::Test {
protected:
    void SetUp() override {
        project.set_grids("[grid 1]\nA,B,C\nx,y,z\np,q,42\n");
        project.add_action("Action1.c", numbered_lines({{1, "Action1()"},
                                                        {2, "{"},
                                                        {10, "    GRID(1);"},
                                                        {20, "    sqx_assign(C, \"42\");"},
                                                        {21, "}"}}));
        action = project.file("Action1.c");
        analyser =
            project.build(QUARTER_GRADE_WEIGHTS, with_progress(ProgressLog::record, &progress));
        ASSERT_NE(analyser, nullptr);
        progress.values.clear();
        report = project.file("report.txt");
    }

    TestProject project;
    std::string action;
    ProgressLog progress;
    std::unique_ptr<CCorrelationAnalyser> analyser;
    std::string report;
};

TEST_F(FortyTwoTest, ReportsThePairWithItsPlacesAndProgress) {
    EXPECT_EQ(analyser->InputTokenQuery("42", action.c_str(), 20, report.c_str(), 0.1f), 0);
    EXPECT_EQ(read_report(report),
              "Action1.c(20): value \"42\" was returned at Action1.c(10), grid column 3, row 2\n");
    EXPECT_EQ(progress.values, (std::vector<float>{0.1f, 0.5f, 1.0f}));
}

TEST_F(FortyTwoTest, GradeEqualToMinGradeIsNotReported) {
    EXPECT_EQ(analyser->InputTokenQuery("42", action.c_str(), 20, report.c_str(), 0.25f), -7);
    EXPECT_EQ(read_report(report), "Action1.c(20):No earlier result returned the value \"42\".");
    EXPECT_EQ(progress.values, (std::vector<float>{0.1f, 0.5f, 1.0f}));
}

TEST_F(FortyTwoTest, ValueNotInTheIndexWritesOneLineWithoutLineBreak) {
    EXPECT_EQ(analyser->InputTokenQuery("4%d2", action.c_str(), 20, report.c_str(), 0.0f), -7);
    EXPECT_EQ(read_report(report), "Action1.c(20):No earlier result returned the value \"4%d2\".");
}

TEST_F(FortyTwoTest, OutputOnlyPlaceGetsAProvisionalInput) {
    // Line 30 holds no input of 42; the query still grades the earlier output.
    EXPECT_EQ(analyser->InputTokenQuery("42", action.c_str(), 30, report.c_str(), 0.0f), 0);
    EXPECT_EQ(read_report(report),
              "Action1.c(30): value \"42\" was returned at Action1.c(10), grid column 3, row 2\n");
    // Before the grid reference there is nothing to pair with.
    EXPECT_EQ(analyser->InputTokenQuery("42", action.c_str(), 10, report.c_str(), 0.0f), -7);
}

TEST_F(FortyTwoTest, UnwritableReportGivesMinusTen) {
    std::string unwritable = project.file("no-such-directory/report.txt");
    EXPECT_EQ(analyser->InputTokenQuery("42", action.c_str(), 20, unwritable.c_str(), 0.0f), -10);
    EXPECT_EQ(analyser->CursorQuery(action.c_str(), 20, unwritable.c_str(), 0.0f), -10);
    EXPECT_EQ(analyser->FindCorrelations(unwritable.c_str(), 0.0f, 10), -10);
    EXPECT_EQ(analyser->InputTokenQuery("42", action.c_str(), 20, "", 0.0f), -10);
}

// A report cut short (here by a file-size limit, as a full disk would) is a
// failure, not a success.
TEST_F(FortyTwoTest, ReportThatCannotBeWrittenCompletelyGivesMinusTen) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows has no per-process file-size limit to cut a report short";
#else
    struct rlimit old_limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    struct rlimit small_limit = old_limit;
    small_limit.rlim_cur = 16;
    void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small_limit), 0);
    int code = analyser->InputTokenQuery("42", action.c_str(), 20, report.c_str(), 0.1f);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    signal(SIGXFSZ, old_handler);
    EXPECT_EQ(code, -10);
#endif
}

TEST_F(FortyTwoTest, OutputTokenQueryDoesNothing) {
    EXPECT_EQ(analyser->OutputTokenQuery("42", action.c_str(), 10, report.c_str(), 0.0f), 0);
    EXPECT_FALSE(tw_test::file_exists(report));
    EXPECT_TRUE(progress.values.empty());
}

TEST(TokenQueryCandidates, OnlyEarlierOutputsOfTheSameOrEarlierFilesCount) {
    TestProject project;
    project.set_grids("[grid 1]\nV\n7\n[grid 2]\nV\n7\n");
    project.add_action("A1.c", numbered_lines({{1, "A1()"},
                                               {2, "{"},
                                               {3, "    GRID(1);"},
                                               {5, "    sqx_assign(C, \"7\"); GRID(2);"},
                                               {6, "}"}}));
    project.add_action("A2.c",
                       numbered_lines({{1, "A2()"}, {2, "{"}, {3, "    GRID(2);"}, {4, "}"}}));
    std::string first = project.file("A1.c");
    std::string second = project.file("A2.c");
    auto analyser = project.build(QUARTER_GRADE_WEIGHTS);
    ASSERT_NE(analyser, nullptr);
    std::string report = project.file("report.txt");

    // The grid on the input's own line and the one in the later file are
    // not candidates; only line 3 is.
    EXPECT_EQ(analyser->InputTokenQuery("7", first.c_str(), 5, report.c_str(), 0.0f), 0);
    EXPECT_EQ(read_report(report),
              "A1.c(5): value \"7\" was returned at A1.c(3), grid column 1, row 1\n");

    // From the later file every output of the earlier one is a candidate,
    // nearest first among equal grades.
    EXPECT_EQ(analyser->InputTokenQuery("7", second.c_str(), 9, report.c_str(), 0.0f), 0);
    EXPECT_EQ(read_report(report),
              "A2.c(9): value \"7\" was returned at A2.c(3), grid column 1, row 1\n"
              "A2.c(9): value \"7\" was returned at A1.c(5), grid column 1, row 1\n"
              "A2.c(9): value \"7\" was returned at A1.c(3), grid column 1, row 1\n");
}

TEST(TokenQueryCandidates, FileOutsideTheProjectFindsNothing) {
    TestProject project;
    project.set_grids("[grid 1]\nV\n7\n");
    project.add_action("A1.c", "A1()\n{\n GRID(1);\n sqx_assign(C, \"7\");\n}\n");
    auto analyser = project.build(QUARTER_GRADE_WEIGHTS);
    ASSERT_NE(analyser, nullptr);
    std::string report = project.file("report.txt");
    // A bare name: no separator, so the whole text is its base name.
    EXPECT_EQ(analyser->InputTokenQuery("7", "Other.c", 9, report.c_str(), 0.0f), -7);
    EXPECT_EQ(read_report(report), "Other.c(9):No earlier result returned the value \"7\".");
}

// The statement of the recorder's worked example, with grids that returned
// both of its values earlier.
class CursorQueryTest : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override {
        project.set_grids("[grid 1]\nA,B\nx,12\n");
        project.add_action(
            "Action1.c",
            numbered_lines({{1, "Action1()"},
                            {2, "{"},
                            {5, "    GRID(1);"},
                            {10,
                             "    sqx_stmt(Csr1, \"select a from t where b = 'x' and c = 12\", "
                             "-1, 1, 0, 0);"},
                            {12, "    sqx_exec(Csr1, 0, 0);"},
                            {13, "}"}}));
        action = project.file("Action1.c");
        analyser = project.build(QUARTER_GRADE_WEIGHTS, for_database(GetParam()));
        ASSERT_NE(analyser, nullptr);
        report = project.file("report.txt");
    }

    TestProject project;
    std::string action;
    std::unique_ptr<CCorrelationAnalyser> analyser;
    std::string report;
};

TEST_P(CursorQueryTest, ReachesBothValuesFromTheStatementAndTheExecuteLine) {
    for (int line : {10, 12}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(analyser->CursorQuery(action.c_str(), line, report.c_str(), 0.0f), 0);
        EXPECT_EQ(read_report(report),
                  "Correlation candidates for the statement at Action1.c(" + std::to_string(line) +
                      "):\n"
                      "Action1.c(10): value \"12\" was returned at Action1.c(5), grid column 2, "
                      "row 1\n"
                      "Action1.c(10): value \"x\" was returned at Action1.c(5), grid column 1, "
                      "row 1\n");
    }
}

TEST_P(CursorQueryTest, LineWithoutStatementWritesHeaderAndNothingFound) {
    EXPECT_EQ(analyser->CursorQuery(action.c_str(), 11, report.c_str(), 0.0f), -7);
    EXPECT_EQ(read_report(report),
              "Correlation candidates for the statement at Action1.c(11):\n"
              "Action1.c(11):No correlation candidates were found for this statement.");
}

// A name that is not an action file's path, such as a bare base name,
// answers only while one action file has that base name.
TEST_P(CursorQueryTest, BareBaseNameOfAUniqueFileFindsItsStatement) {
    EXPECT_EQ(analyser->CursorQuery("Action1.c", 10, report.c_str(), 0.0f), 0);
}

TEST_P(CursorQueryTest, BareBaseNameSharedByTwoFilesFindsNothing) {
    TestProject shared;
    shared.set_grids("[grid 1]\nA,B\n11,22\n");
    const char *statement = " sqx_stmt(C, \"select a from t where b = %s\"); sqx_exec(C);";
    auto with_value = [&](const char *value) {
        std::string text = statement;
        return numbered_lines({{1, "A()"},
                               {2, "{"},
                               {3, " GRID(1);"},
                               {6, text.replace(text.find("%s"), 2, value)},
                               {7, "}"}});
    };
    shared.add_action("a.c", with_value("11"));
    shared.add_action("sub/a.c", with_value("22"));
    std::string nested = shared.file("sub/a.c");
    auto built = shared.build(QUARTER_GRADE_WEIGHTS, for_database(GetParam()));
    ASSERT_NE(built, nullptr);
    EXPECT_EQ(built->CursorQuery("a.c", 6, report.c_str(), 0.0f), -7);
    EXPECT_EQ(built->CursorQuery(nested.c_str(), 6, report.c_str(), 0.0f), 0);
    EXPECT_NE(read_report(report).find("value \"22\""), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(BothDatabaseFamilies, CursorQueryTest,
                         ::testing::Values("oracle", "odbc"));

// Four files that each return 7 from two grids and send it in two
// statements, so that the value's list crosses every file and a query may
// start anywhere in it; the second statement also sends 8, so that a cursor
// query walks two lists.
std::unique_ptr<CCorrelationAnalyser> build_sevens(TestProject *project) {
    project->set_grids("[grid 1]\nV,W\n7,8\n9,7\n[grid 2]\nV\n7\n");
    for (const char *name : {"A1.c", "A2.c", "A3.c", "A4.c"}) {
        project->add_action(
            name,
            numbered_lines({{1, "A()"},
                            {2, "{"},
                            {3, "    GRID(1);"},
                            {4, "    sqx_stmt(C, \"select a from t where b = 7\", -1, 1, 0, 0);"},
                            {5, "    GRID(2);"},
                            {6,
                             "    sqx_stmt(C, \"select a from t where b = 7 and c = 8\", -1, "
                             "1, 0, 0); sqx_exec(C, 0, 0);"},
                            {7, "}"}}));
    }
    return project->build(QUARTER_GRADE_WEIGHTS);
}

const int SEVENS_LAST_LINE = 8;

// Ways to break the list's order of files and lines, which the scanner
// never does: a query seeking its place from the tail must notice and give
// what the walk from the head gives.
enum list_disorder { IN_ORDER, LAST_MOVED_FIRST, FIRST_MOVED_LAST };

void disorder(token_instances_t *instances, list_disorder how) {
    list_node **list = instances->occurrences;
    list_node *&tail = *instances->last_position;
    list_node *head = *list;
    if (how == LAST_MOVED_FIRST) {
        list_node *moved = tail;
        tail = moved->previous;
        tail->next = nullptr;
        moved->previous = nullptr;
        moved->next = head;
        head->previous = moved;
        *list = moved;
    } else if (how == FIRST_MOVED_LAST) {
        *list = head->next;
        (*list)->previous = nullptr;
        head->next = nullptr;
        head->previous = tail;
        tail->next = head;
        tail = head;
    }
}

bool order_broken_before(list_node *position, const char *file, int line) {
    for (; position != nullptr; position = position->previous) {
        if (at_or_after_place(static_cast<token_entry_tag *>(position->data), file, line)) {
            return true;
        }
    }
    return false;
}

// Both seeks against seek_before and find_input_occurrence, at every place
// of every file, with the list in order and out of it.
TEST(OccurrenceSeek, AgreesWithTheWalksFromTheHead) {
    for (list_disorder how : {IN_ORDER, LAST_MOVED_FIRST, FIRST_MOVED_LAST}) {
        SCOPED_TRACE(how);
        TestProject project;
        auto analyser = build_sevens(&project);
        ASSERT_NE(analyser, nullptr);
        correlation_index *index = analyser_index(analyser.get());
        token_instances_t *instances = find_token_instances(index, "7");
        ASSERT_NE(instances, nullptr);
        disorder(instances, how);
        int order_breaks_seen = 0;
        for (int order = 0; order < action_file_count(index); ++order) {
            const char *file = index->file_paths[order];
            for (int line = 1; line <= SEVENS_LAST_LINE; ++line) {
                SCOPED_TRACE(std::string(file) + ":" + std::to_string(line));
                list_node *expected = nullptr;
                seek_before(instances->occurrences, &expected, file, line);
                token_entry_tag *expected_input = find_input_occurrence(index, "7", file, line);
                token_entry_tag *input = nullptr;
                EXPECT_EQ(seek_input(instances->occurrences, file, line, &input), expected);
                EXPECT_EQ(input, expected_input);

                list_node *from_tail = seek_input_from_tail(index, *instances->last_position, file,
                                                            line, order, &input);
                if (order_broken_before(from_tail, file, line)) {
                    ++order_breaks_seen;
                    continue;
                }
                EXPECT_EQ(from_tail, expected);
                EXPECT_EQ(input, expected_input);
            }
        }
        if (how == IN_ORDER) {
            EXPECT_EQ(order_breaks_seen, 0);
        } else {
            EXPECT_GT(order_breaks_seen, 0);
        }
    }
}

// The reports and best grades of every token and cursor query are the same
// whether the queries seek from the tail or only from the head, also when
// the order is broken and the seek from the tail must be undone.
TEST(OccurrenceSeek, QueriesGiveTheSameFromEitherEnd) {
    for (list_disorder how : {IN_ORDER, LAST_MOVED_FIRST, FIRST_MOVED_LAST}) {
        SCOPED_TRACE(how);
        TestProject head_project;
        TestProject tail_project;
        auto from_head = build_sevens(&head_project);
        auto from_tail = build_sevens(&tail_project);
        ASSERT_NE(from_head, nullptr);
        ASSERT_NE(from_tail, nullptr);
        token_instances_t *head_sevens = find_token_instances(analyser_index(from_head.get()), "7");
        token_instances_t *tail_sevens = find_token_instances(analyser_index(from_tail.get()), "7");
        disorder(head_sevens, how);
        disorder(tail_sevens, how);
        std::string head_report = head_project.file("report.txt");
        std::string tail_report = tail_project.file("report.txt");
        int cursor_reports = 0;
        for (const char *name : {"A1.c", "A2.c", "A3.c", "A4.c"}) {
            std::string head_file = head_project.file(name);
            std::string tail_file = tail_project.file(name);
            for (int line = 1; line <= SEVENS_LAST_LINE; ++line) {
                SCOPED_TRACE(std::string(name) + ":" + std::to_string(line));
                // Each query's own best grade, not the highest of all so far.
                head_sevens->best_grade = tail_sevens->best_grade = 0.0f;
                token_queries_seek_from_tail(false);
                int head_token = from_head->InputTokenQuery("7", head_file.c_str(), line,
                                                            head_report.c_str(), 0.0f);
                std::string head_token_text = read_report(head_report);
                token_queries_seek_from_tail(true);
                EXPECT_EQ(from_tail->InputTokenQuery("7", tail_file.c_str(), line,
                                                     tail_report.c_str(), 0.0f),
                          head_token);
                EXPECT_EQ(read_report(tail_report), head_token_text);
                EXPECT_EQ(tail_sevens->best_grade, head_sevens->best_grade);

                head_sevens->best_grade = tail_sevens->best_grade = 0.0f;
                token_queries_seek_from_tail(false);
                int head_cursor =
                    from_head->CursorQuery(head_file.c_str(), line, head_report.c_str(), 0.0f);
                std::string head_cursor_text = read_report(head_report);
                token_queries_seek_from_tail(true);
                EXPECT_EQ(
                    from_tail->CursorQuery(tail_file.c_str(), line, tail_report.c_str(), 0.0f),
                    head_cursor);
                EXPECT_EQ(read_report(tail_report), head_cursor_text);
                EXPECT_EQ(tail_sevens->best_grade, head_sevens->best_grade);
                cursor_reports += head_cursor == 0;
            }
        }
        EXPECT_GT(cursor_reports, 0);
    }
}

}  // namespace
