// The command line after building: a warning per build diagnostic, a summary
// line, --strict, and the conventions every subcommand follows (names,
// help, option values, report target, progress, the database family), the
// dump's text form, and the rules that keep feedback from doing harm.

#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "test_support.h"
#include "tokenweave/ccorrelationanalyser.h"

namespace {

using tw_test::TempDir;

const std::string SOURCE_DIR = TOKENWEAVE_SOURCE_DIR;
const std::string EXAMPLE = SOURCE_DIR + "/examples/orders/orders.prj";
const std::string ODBC_EXAMPLE = SOURCE_DIR + "/examples/orders-odbc/orders.prj";
const std::string SHIPPED_WEIGHTS = TOKENWEAVE_BINARY_DIR "/dat/crlt.dat";
const std::string CANDIDATE = " 58821 Action2.c 12 Action2.c 9";

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// Runs the command with a home of its own (data_home: where the learned
// copy goes), so that the real home is never read or written.
Outcome run_in(const TempDir &home, const std::string &arguments) {
    TempDir scratch;
    Outcome outcome;
    outcome.status =
        tw_test::run_command_in({{"HOME", home.path()}, {"XDG_DATA_HOME", home.file("data")}},
                                std::string(TOKENWEAVE_CLI_PATH) + " " + arguments + " 2>" +
                                    scratch.file("err") + " <" + tw_test::NULL_DEVICE,
                                &outcome.out);
    outcome.err = tw_test::read_report(scratch.file("err"));
    return outcome;
}

Outcome run(const std::string &arguments) {
    TempDir home;
    return run_in(home, arguments);
}

bool contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

int count_lines(const std::string &text) {
    int lines = 0;
    for (char c : text) {
        lines += c == '\n';
    }
    return lines;
}

// One project with a grid and a value sent after it; each case breaks one
// thing a new user gets wrong and says what the warning must name.
struct WarningCase {
    const char *name;
    std::string (*arrange)(const TempDir &dir);  // returns extra arguments
    const char *warning;
};

std::string write_project(const TempDir &dir, const std::string &action_name) {
    dir.write("Action1.c", "{\nsqx_fetch(C, 1, GRID(1));\nsqx_assign(C, \"42\");\n}\n");
    dir.write("grids.rdf", "[grid 1]\nA\n42\n");
    dir.write("grids.grd", "");
    dir.write("p.prj", "[Actions]\na=" + action_name + "\n");
    return "";
}

const WarningCase WARNING_CASES[] = {
    {"MissingGridIndex",
     [](const TempDir &d) {
         write_project(d, "Action1.c");
         remove(d.file("grids.grd").c_str());
         return std::string();
     },
     "Action1.c:2: grid 1 not loaded: no .grd file"},
    {"BinaryFileAsProject",
     [](const TempDir &d) {
         write_project(d, "Action1.c");
         d.write("p.prj", std::string("\x7f"
                                      "ELF\x02\x01\x01\0\0\0",
                                      10));
         return std::string();
     },
     "no [Actions] section"},
    {"UnsupportedGridType",
     [](const TempDir &d) {
         write_project(d, "Action1.c");
         return " --grid-settings " + d.write("grid.ini", "[Quill]\nGridType=2\n");
     },
     "unsupported GridType 2"},
    {"ReadmeAsWeights",
     [](const TempDir &d) {
         write_project(d, "Action1.c");
         return " --weights " + d.write("README.md", "# Notes\n\nNot weights.\n");
     },
     "README.md: holds none of the weights sections"},
    {"MissingGridSettings",
     [](const TempDir &d) {
         write_project(d, "Action1.c");
         return " --grid-settings " + d.file("missing.ini");
     },
     "missing.ini: file not found"},
    {"MissingSettings",
     [](const TempDir &d) {
         write_project(d, "Action1.c");
         return " --settings " + d.file("missing.ini");
     },
     "missing.ini: file not found"},
    {"ActionNameInOtherCase", [](const TempDir &d) { return write_project(d, "action1.c"); },
     "\"Action1.c\" differs only in letter case"},
};

class BuildWarnings : public testing::TestWithParam<WarningCase> {};

TEST_P(BuildWarnings, WarnThenFailWithStrict) {
    const WarningCase &c = GetParam();
#if defined(_WIN32)
    if (std::string(c.name) == "ActionNameInOtherCase") {
        GTEST_SKIP() << "Windows file names ignore letter case: the file opens";
    }
#endif
    TempDir dir;
    std::string extra = c.arrange(dir);
    std::string command = "find " + dir.file("p.prj") + extra;
    if (!contains(extra, "--weights")) {
        command += " --weights " + SHIPPED_WEIGHTS;
    }
    Outcome lenient = run(command);
    EXPECT_NE(lenient.status, 1) << lenient.err;
    EXPECT_TRUE(contains(lenient.err, "tokenweave: warning: ")) << lenient.err;
    EXPECT_TRUE(contains(lenient.err, c.warning)) << lenient.err;
    EXPECT_TRUE(contains(lenient.err, "tokenweave: indexed ")) << lenient.err;

    Outcome strict = run(command + " --strict");
    EXPECT_EQ(strict.status, 1);
    EXPECT_EQ(strict.out, "");
    EXPECT_TRUE(contains(strict.err, c.warning)) << strict.err;

    Outcome quiet = run(command + " --quiet");
    EXPECT_FALSE(contains(quiet.err, "tokenweave: indexed ")) << quiet.err;
    EXPECT_TRUE(contains(quiet.err, c.warning)) << quiet.err;
}

void PrintTo(const WarningCase &c, std::ostream *out) {
    *out << c.name;
}

INSTANTIATE_TEST_SUITE_P(WhyCases, BuildWarnings, testing::ValuesIn(WARNING_CASES),
                         [](const testing::TestParamInfo<WarningCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(BuildSummary, CountsFilesGridsAndValuesAndNamesFamilyAndWeights) {
    Outcome clean = run("find " + EXAMPLE + " --db oracle --weights " + SHIPPED_WEIGHTS);
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.err,
              "tokenweave: indexed 3 of 3 action files, 4 of 4 grids, 28 values; "
              "database oracle; weights " +
                  SHIPPED_WEIGHTS + "\n");
}

TEST(BuildSummary, LargeCountsAreGroupedByThousands) {
    TempDir dir;
    std::string script = "{\n";
    for (int i = 0; i < 1234; ++i) {
        script += "sqx_assign(C, \"v" + std::to_string(i) + "\");\n";
    }
    dir.write("a.c", script + "}\n");
    dir.write("p.prj", "[Actions]\na=a.c\n");
    Outcome outcome = run("dump " + dir.file("p.prj"));
    EXPECT_TRUE(contains(outcome.err, "indexed 1 of 1 action files, 0 of 0 grids, 1,234 values"))
        << outcome.err;
}

TEST(BuildSummary, ProjectThatCannotBeReadIsAnError) {
    TempDir dir;
    for (const std::string &project : {dir.path(), dir.file("missing.prj")}) {
        Outcome outcome = run("find " + project);
        EXPECT_EQ(outcome.status, 1) << project;
        EXPECT_EQ(count_lines(outcome.err), 1) << outcome.err;
        EXPECT_TRUE(contains(outcome.err, "cannot read project file")) << outcome.err;
    }
}

TEST(CommandConventions, UnknownCommandSuggestsTheNearest) {
    Outcome typo = run("fin " + EXAMPLE);
    EXPECT_EQ(typo.status, 1);
    EXPECT_EQ(typo.err, "tokenweave: unknown command \"fin\"; did you mean \"find\"?\n");
    Outcome far = run("xyzzy");
    EXPECT_EQ(far.status, 1);
    EXPECT_EQ(count_lines(far.err), 1);
    EXPECT_TRUE(contains(far.err, "unknown command \"xyzzy\"")) << far.err;
}

TEST(CommandConventions, HelpSubcommandAndVersion) {
    Outcome help = run("help find");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, run("find --help").out);
    EXPECT_TRUE(contains(help.out, "Usage: tokenweave find")) << help.out;
    EXPECT_EQ(run("help").out, run("--help").out);
    Outcome version = run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "tokenweave 0.1.0\n");
}

TEST(CommandConventions, OptionValuesOutOfRangeAreOneLineErrors) {
    const char *bad[] = {
        "find @P --max 0",
        "find @P --max -3",
        "find @P --min-grade 1.5",
        "find @P --min-grade -0.1",
        "find @P --min-grade x",
        "token @P 900417 Action3.c 0",
        "cursor @P Action3.c -1",
        "feedback @P up 58821 Action2.c 0 Action2.c 9",
        "find @P --progress sometimes",
    };
    for (std::string arguments : bad) {
        arguments.replace(arguments.find("@P"), 2, EXAMPLE);
        Outcome outcome = run(arguments);
        EXPECT_EQ(outcome.status, 1) << arguments;
        EXPECT_EQ(count_lines(outcome.err), 1) << arguments << ": " << outcome.err;
        EXPECT_EQ(outcome.out, "") << arguments;
    }
}

TEST(CommandConventions, ReportDashIsStandardOutputAndOnlyPairsExitZero) {
    std::string weights = " --weights " + SHIPPED_WEIGHTS + " --quiet";
    Outcome dash = run("find " + EXAMPLE + " --max 1 --report -" + weights);
    EXPECT_EQ(dash.status, 0);
    EXPECT_EQ(dash.out, run("find " + EXAMPLE + " --max 1" + weights).out);
    EXPECT_EQ(count_lines(dash.out), 1);
    EXPECT_FALSE(tw_test::file_exists("-"));

    Outcome nothing = run("token " + EXAMPLE + " OPEN Action2.c 12" + weights);
    EXPECT_EQ(nothing.status, 3);
}

TEST(CommandConventions, ProgressAlwaysDrawsAndNeverDoesNot) {
    std::string base = "find " + EXAMPLE + " --quiet --weights " + SHIPPED_WEIGHTS;
    EXPECT_TRUE(contains(run(base + " --progress=always").err, "100%"));
    EXPECT_EQ(run(base + " --progress=never").err, "");
    EXPECT_EQ(run(base).err, "");  // auto: standard error is no terminal here
}

TEST(CommandConventions, FamilyIsChosenFromTheScriptsWhenNotGiven) {
    std::string weights = " --weights " + SHIPPED_WEIGHTS;
    Outcome chosen = run("find " + ODBC_EXAMPLE + weights);
    EXPECT_TRUE(contains(chosen.err, "database odbc (from the scripts)")) << chosen.err;
    EXPECT_EQ(chosen.out, run("find " + ODBC_EXAMPLE + " --db odbc" + weights).out);
    Outcome oracle = run("find " + EXAMPLE + weights);
    EXPECT_TRUE(contains(oracle.err, "database oracle (from the scripts)")) << oracle.err;
}

TEST(CommandConventions, ReportWriteErrorNamesPathAndReason) {
    TempDir dir;
    std::string report = dir.file("missing/find.txt");
    Outcome failed =
        run("find " + EXAMPLE + " --quiet --weights " + SHIPPED_WEIGHTS + " --report " + report);
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err, "tokenweave: cannot write the report file '" + report +
                              "': No such file or directory\n");
}

TEST(DumpText, ValidUtf8AsItIsOtherBytesEscaped) {
    TempDir dir;
    dir.write("a.c",
              "{\nsqx_assign(C, \"M\xc3\xbcller-\xe6\x9d\xb1\xe4\xba\xac\");\n"
              "sqx_assign(C, \"bad\xff\xc3x\");\n}\n");
    dir.write("p.prj", "[Actions]\na=a.c\n");
    Outcome text = run("dump " + dir.file("p.prj") + " --quiet");
    EXPECT_TRUE(contains(text.out, "\"value\": \"M\xc3\xbcller-\xe6\x9d\xb1\xe4\xba\xac\""))
        << text.out;
    EXPECT_TRUE(contains(text.out, "\"value\": \"bad\\u00ff\\u00c3x\"")) << text.out;
    Outcome bytes = run("dump " + dir.file("p.prj") + " --quiet --byte-escapes");
    EXPECT_TRUE(contains(bytes.out, "\"value\": \"M\\u00c3\\u00bcller-\\u00e6\\u009d\\u00b1"))
        << bytes.out;
}

// Feedback --------------------------------------------------------------

TEST(Feedback, RefusesAPairWhoseGridIsReadAfterTheValueIsSent) {
    TempDir dir;
    std::string weights = dir.write("w.dat", tw_test::read_file(SHIPPED_WEIGHTS));
    Outcome later = run("feedback " + EXAMPLE + " up AX-100 Action3.c 7 Action3.c 9 --weights " +
                        weights + " --quiet");
    EXPECT_EQ(later.status, 1);
    EXPECT_TRUE(contains(later.err, "not a candidate")) << later.err;
    EXPECT_EQ(tw_test::read_file(weights), tw_test::read_file(SHIPPED_WEIGHTS));
}

TEST(Feedback, RefusesToWriteAFileHoldingNoWeights) {
    TempDir dir;
    const std::string readme = "# Project\n\nSome notes.\n";
    std::string path = dir.write("README.md", readme);
    Outcome refused = run("feedback " + EXAMPLE + " up" + CANDIDATE + " --weights " + path);
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(contains(refused.err, "refusing to write " + path)) << refused.err;
    EXPECT_EQ(tw_test::read_file(path), readme);
}

TEST(Feedback, WritesTheTargetOfASymbolicLink) {
#if defined(_WIN32)
    GTEST_SKIP() << "a program needs a privilege to make symbolic links on Windows";
#else
    TempDir dir;
    std::string target = dir.write("real.dat", tw_test::read_file(SHIPPED_WEIGHTS));
    std::string link = dir.file("link.dat");
    ASSERT_EQ(symlink("real.dat", link.c_str()), 0);
    Outcome learned = run("feedback " + EXAMPLE + " up" + CANDIDATE + " --weights " + link);
    ASSERT_EQ(learned.status, 0) << learned.err;
    struct stat status;
    ASSERT_EQ(lstat(link.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_NE(tw_test::read_file(target), tw_test::read_file(SHIPPED_WEIGHTS));
#endif
}

TEST(Feedback, WriteErrorNamesPathAndReason) {
    TempDir dir;
    std::string path = dir.file("no-such-directory/crlt.dat");
    Outcome failed = run("feedback " + EXAMPLE + " up" + CANDIDATE + " --weights " + path);
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(contains(failed.err, "cannot write " + path + ": No such file or directory"))
        << failed.err;
}

// True when the summary line on err names the weights file at path; the
// command may spell it another way (on Windows it names the shipped file
// from its own executable's path, "Z:\...").
bool names_weights(const std::string &err, const std::string &path) {
    const std::string label = "; weights ";
    size_t at = err.rfind(label);
    if (at == std::string::npos) {
        return false;
    }
    std::string named = err.substr(at + label.size());
    named = named.substr(0, named.find('\n'));
    std::error_code ignored;
    return std::filesystem::equivalent(named, path, ignored);
}

TEST(Feedback, LearnsIntoTheUserCopyAndNeverTheShippedFile) {
    TempDir home;
    const std::string shipped = tw_test::read_file(SHIPPED_WEIGHTS);
    const std::string copy = home.file("data") + "/tokenweave/crlt.dat";

    Outcome before = run_in(home, "find " + EXAMPLE);
    EXPECT_TRUE(names_weights(before.err, SHIPPED_WEIGHTS)) << before.err;
    Outcome refused = run_in(home, "feedback " + EXAMPLE + " up AX-100 Action3.c 7 Action3.c 9");
    EXPECT_EQ(refused.status, 1);
    EXPECT_FALSE(tw_test::file_exists(copy));  // nothing learned, nothing copied

    Outcome learned = run_in(home, "feedback " + EXAMPLE + " up" + CANDIDATE);
    ASSERT_EQ(learned.status, 0) << learned.err;
    EXPECT_EQ(tw_test::read_file(SHIPPED_WEIGHTS), shipped);
    ASSERT_TRUE(tw_test::file_exists(copy));
    EXPECT_NE(tw_test::read_file(copy), shipped);
    EXPECT_TRUE(contains(tw_test::read_file(copy), "[TokenType]"));  // whole file copied

    Outcome after = run_in(home, "find " + EXAMPLE);
    EXPECT_TRUE(names_weights(after.err, copy)) << after.err;

    Outcome reset = run_in(home, "weights reset");
    EXPECT_EQ(reset.status, 0);
    EXPECT_FALSE(tw_test::file_exists(copy));
    EXPECT_TRUE(names_weights(run_in(home, "find " + EXAMPLE).err, SHIPPED_WEIGHTS));
}

}  // namespace

namespace {

// The formatted reports carry the same diagnostics the warnings name.
TEST(BuildWarnings, JsonAndHtmlReportsCarryTheDiagnostics) {
    TempDir dir;
    write_project(dir, "Action1.c");
    remove(dir.file("grids.grd").c_str());
    Outcome json_report = run("find " + dir.file("p.prj") + " --format json --quiet");
    nlohmann::json parsed = nlohmann::json::parse(json_report.out);
    ASSERT_EQ(parsed.at("diagnostics").size(), 1u) << json_report.out;
    const nlohmann::json &diagnostic = parsed.at("diagnostics").at(0);
    EXPECT_EQ(diagnostic.at("kind"), TOKENWEAVE_DIAGNOSTIC_GRID_NOT_LOADED);
    EXPECT_EQ(diagnostic.at("line"), 2);
    EXPECT_TRUE(contains(diagnostic.at("file").get<std::string>(), "Action1.c"));
    EXPECT_TRUE(contains(diagnostic.at("reason").get<std::string>(), "no .grd file"));

    Outcome html_report = run("find " + dir.file("p.prj") + " --format html --quiet");
    EXPECT_TRUE(contains(html_report.out, "<ul class=\"diagnostics\"><li>"));
    EXPECT_TRUE(contains(html_report.out, "Action1.c(2): "));
}

}  // namespace
