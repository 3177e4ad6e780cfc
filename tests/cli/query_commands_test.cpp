// tokenweave find / token / cursor / feedback: exit statuses, where reports
// go, FILE arguments, and a learning step that changes a grade and the
// weights file.

#include <gtest/gtest.h>
#include <stdio.h>

#include <string>

#include "test_support.h"

namespace {

const std::string EXAMPLE = TOKENWEAVE_SOURCE_DIR "/examples/orders/orders.prj";
const std::string SHIPPED_WEIGHTS = TOKENWEAVE_SOURCE_DIR "/dat/crlt.dat";

struct CommandResult {
    int status;
    std::string out;
    std::string err;
};

// Commands run with a home of their own, so that no learned weights of the
// real home are read or written; --quiet leaves out the summary line.
CommandResult run(const std::string &arguments) {
    tw_test::TempDir scratch;
    std::string err_path = scratch.file("stderr.txt");
    CommandResult result;
    result.status =
        tw_test::run_command_in({{"HOME", scratch.path()}, {"XDG_DATA_HOME", ""}},
                                std::string(TOKENWEAVE_CLI_PATH) + " " + arguments + " --quiet 2>" +
                                    err_path + " <" + tw_test::NULL_DEVICE,
                                &result.out);
    result.err = tw_test::read_file(err_path);
    return result;
}

int count_lines(const std::string &text) {
    int lines = 0;
    for (char c : text) {
        lines += c == '\n';
    }
    return lines;
}

const char TOKEN_PAIR[] =
    "Action3.c(13): value \"900417\" was returned at Action2.c(14), grid column 1, row 1\n";

TEST(QueryCommands, ExitStatusTellsPairsFromNothingFromErrors) {
    CommandResult found = run("token " + EXAMPLE + " 900417 Action3.c 13");
    EXPECT_EQ(found.status, 0);
    EXPECT_EQ(found.out, TOKEN_PAIR);
    EXPECT_EQ(found.err, "");

    // Sent before any grid returned it: nothing found, and the report line
    // gets the line break the file itself lacks.
    CommandResult nothing = run("token " + EXAMPLE + " OPEN Action2.c 12");
    EXPECT_EQ(nothing.status, 3);
    EXPECT_EQ(nothing.out, "Action2.c(12):No earlier result returned the value \"OPEN\".\n");

    CommandResult unknown_file = run("cursor " + EXAMPLE + " Action9.c 13");
    EXPECT_EQ(unknown_file.status, 1);
    EXPECT_EQ(unknown_file.out, "");
    EXPECT_EQ(count_lines(unknown_file.err), 1);
    EXPECT_NE(unknown_file.err.find("Action9.c"), std::string::npos);

    CommandResult bad_option = run("find " + EXAMPLE + " --max many");
    EXPECT_EQ(bad_option.status, 1);
    EXPECT_EQ(count_lines(bad_option.err), 1);
}

TEST(QueryCommands, FileArgumentsMayBeFullPaths) {
    CommandResult full = run("token " + EXAMPLE +
                             " 900417 " TOKENWEAVE_SOURCE_DIR "/examples/orders/./Action3.c 13");
    EXPECT_EQ(full.status, 0);
    EXPECT_EQ(full.out, TOKEN_PAIR);
}

// Two action files with one base name, each with a statement on line 6:
// the cursor query answers for the file it names. The text report shows
// base names only, so both files read "a.c" there.
TEST(QueryCommands, CursorTellsApartFilesWithOneBaseName) {
    tw_test::TempDir dir;
    dir.write("grids.rdf", "[grid 1]\nA,B\n11,22\n");
    dir.write("grids.grd", "");
    const std::string statement_on_line_6 =
        "A()\n{\n GRID(1);\n\n\n sqx_stmt(C, \"select a from t where b = %s\");\n"
        " sqx_exec(C);\n}\n";
    auto with_value = [&](const char *value) {
        std::string text = statement_on_line_6;
        return text.replace(text.find("%s"), 2, value);
    };
    dir.write("a.c", with_value("11"));
    dir.write("sub/a.c", with_value("22"));
    std::string project = dir.write("p.prj", "[Actions]\ntop=a.c\nnested=sub/a.c\n");
    const std::string options = " 6 --weights " + SHIPPED_WEIGHTS;
    const std::string header = "Correlation candidates for the statement at a.c(6):\n";

    CommandResult top = run("cursor " + project + " a.c" + options);
    EXPECT_EQ(top.status, 0) << top.err;
    EXPECT_EQ(top.out, header +
                           "a.c(6): value \"11\" was returned at a.c(3), grid column 1, "
                           "row 1\n");
    CommandResult nested = run("cursor " + project + " sub/a.c" + options);
    EXPECT_EQ(nested.status, 0) << nested.err;
    EXPECT_EQ(nested.out, header +
                              "a.c(6): value \"22\" was returned at a.c(3), grid column 2, "
                              "row 1\n");
}

TEST(QueryCommands, ReportOptionWritesTheFileInsteadOfStandardOutput) {
    tw_test::TempDir dir;
    std::string report = dir.file("find.txt");
    CommandResult find = run("find " + EXAMPLE + " --max 2 --report " + report);
    EXPECT_EQ(find.status, 0);
    EXPECT_EQ(find.out, "");
    EXPECT_EQ(count_lines(tw_test::read_file(report)), 2);

    CommandResult unwritable = run("find " + EXAMPLE + " --report " + dir.file("missing/find.txt"));
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(count_lines(unwritable.err), 1);
}

TEST(QueryCommands, MissingWeightsFileIsNamedOnStandardError) {
    tw_test::TempDir dir;
    CommandResult run_without = run("find " + EXAMPLE + " --weights " + dir.file("none.dat"));
    EXPECT_EQ(run_without.status, 3);
    EXPECT_NE(run_without.err.find("none.dat"), std::string::npos);
}

TEST(QueryCommands, FeedbackChangesTheGradeAndWritesTheWeights) {
    tw_test::TempDir dir;
    std::string weights = dir.write("weights.dat", tw_test::read_file(SHIPPED_WEIGHTS));
    const std::string pair = " 58821 Action2.c 12 Action2.c 9 --weights " + weights;

    CommandResult up = run("feedback " + EXAMPLE + " up" + pair);
    ASSERT_EQ(up.status, 0) << up.err;
    float before = 0.0f;
    float after = 0.0f;
    ASSERT_EQ(sscanf(up.out.c_str(), "grade of the pair: %f -> %f", &before, &after), 2) << up.out;
    EXPECT_GT(after, before);
    std::string learned = tw_test::read_file(weights);
    EXPECT_NE(learned, tw_test::read_file(SHIPPED_WEIGHTS));

    CommandResult down = run("feedback " + EXAMPLE + " down" + pair);
    ASSERT_EQ(down.status, 0) << down.err;
    float down_before = 0.0f;
    float down_after = 0.0f;
    ASSERT_EQ(sscanf(down.out.c_str(), "grade of the pair: %f -> %f", &down_before, &down_after),
              2);
    // The file keeps three decimals of each learned weight, so the grade read
    // back may differ from the one printed after the step in the fourth.
    EXPECT_NEAR(down_before, after, 1e-3);
    EXPECT_LT(down_after, down_before);

    // A pair the index does not hold changes nothing.
    CommandResult missing =
        run("feedback " + EXAMPLE + " up 58821 Action2.c 13 Action2.c 9 --weights " + weights);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(count_lines(missing.err), 1);
}

}  // namespace
