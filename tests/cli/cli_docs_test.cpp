// The documentation shows what the program prints. These tests run the
// command and compare, so that a changed help text, ranking or example
// cannot leave the documents behind.

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {

const std::string SOURCE_DIR = TOKENWEAVE_SOURCE_DIR;

std::string cli_output(const std::string &arguments, int *status) {
    std::string output;
    // A home of its own: no learned weights of the real home are read.
    tw_test::TempDir home;
    *status =
        tw_test::run_command_in({{"HOME", home.path()}, {"XDG_DATA_HOME", ""}},
                                "\"" TOKENWEAVE_CLI_PATH "\" " + arguments + " 2>&1", &output);
    return output;
}

std::string without_trailing_newlines(std::string text) {
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

// A fenced block holding exactly text: documents show outputs this way.
std::string fenced(const std::string &text) {
    return "```\n" + text + "\n```";
}

// The parameter names a subcommand; empty for the program's own help.
class CliReferenceTest : public testing::TestWithParam<const char *> {};

TEST_P(CliReferenceTest, ShowsTheHelpVerbatim) {
    const std::string subcommand = GetParam();
    int status = -1;
    std::string help = cli_output(subcommand + " --help", &status);
    ASSERT_EQ(status, 0) << help;
    ASSERT_NE(help.find("Usage: tokenweave " + subcommand), std::string::npos) << help;

    std::string reference = tw_test::read_file(SOURCE_DIR + "/docs/cli.md");
    ASSERT_FALSE(reference.empty()) << "docs/cli.md cannot be read";
    EXPECT_NE(reference.find(fenced(without_trailing_newlines(help))), std::string::npos)
        << "docs/cli.md does not show this output of `tokenweave " << subcommand << " --help`:\n"
        << help;
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, CliReferenceTest,
                         testing::Values("", "dump", "find", "token", "cursor", "feedback",
                                         "explain", "plan", "weights"),
                         [](const testing::TestParamInfo<const char *> &info) {
                             std::string name = info.param;
                             return name.empty() ? std::string("program") : name;
                         });

TEST(DocsExamples, SearchOfTheBundledProjectIsShownAsPrinted) {
    int status = -1;
    std::string report =
        cli_output("find \"" + SOURCE_DIR + "/examples/orders/orders.prj\" --weights \"" +
                       SOURCE_DIR + "/dat/crlt.dat\" --quiet",
                   &status);
    ASSERT_EQ(status, 0) << report;
    std::string shown = fenced(without_trailing_newlines(report));
    for (const char *document : {"/docs/reports.md", "/examples/orders/README.md"}) {
        EXPECT_NE(tw_test::read_file(SOURCE_DIR + document).find(shown), std::string::npos)
            << document << " does not show the search as the command prints it:\n"
            << report;
    }
}

TEST(DocsExamples, PlanOfTheBundledProjectIsShownAsPrinted) {
    int status = -1;
    std::string plan =
        cli_output("plan \"" + SOURCE_DIR + "/examples/orders/orders.prj\" --weights \"" +
                       SOURCE_DIR + "/dat/crlt.dat\" --quiet",
                   &status);
    ASSERT_EQ(status, 0) << plan;
    std::string shown = fenced(without_trailing_newlines(plan));
    for (const char *document :
         {"/docs/reports.md", "/docs/cli.md", "/examples/orders/README.md"}) {
        EXPECT_NE(tw_test::read_file(SOURCE_DIR + document).find(shown), std::string::npos)
            << document << " does not show the plan as the command prints it:\n"
            << plan;
    }
}

TEST(DocsExamples, ExplanationIsShownAsPrinted) {
    int status = -1;
    std::string explained = cli_output("explain \"" + SOURCE_DIR +
                                           "/examples/orders/orders.prj\" 58821 Action2.c 12 "
                                           "Action2.c 9 --weights \"" +
                                           SOURCE_DIR + "/dat/crlt.dat\" --quiet",
                                       &status);
    ASSERT_EQ(status, 0) << explained;
    EXPECT_NE(tw_test::read_file(SOURCE_DIR + "/docs/cli.md")
                  .find(fenced(without_trailing_newlines(explained))),
              std::string::npos)
        << "docs/cli.md does not show the explanation as the command prints it:\n"
        << explained;
}

TEST(DocsExamples, LibraryGuideListsTheHostExampleAsItIs) {
    std::string source = tw_test::read_file(SOURCE_DIR + "/examples/host/host_example.cpp");
    ASSERT_FALSE(source.empty());
    std::string guide = tw_test::read_file(SOURCE_DIR + "/docs/library-api.md");
    EXPECT_NE(guide.find("```cpp\n" + source + "```"), std::string::npos)
        << "docs/library-api.md does not list examples/host/host_example.cpp as it is";
}

}  // namespace
