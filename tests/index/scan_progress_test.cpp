// The scan as a whole: the state it carries from byte to byte and from file
// to file, files it cannot read, progress reports and cancellation.

#include <gtest/gtest.h>
#include <stdio.h>
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <string>
#include <vector>

#include "index/analyser_access.h"
#include "index/recorder.h"
#include "index/scanner/scanner.h"
#include "index_dump.h"

namespace {

using tw_test::BuildOptions;
using tw_test::DumpFiles;
using tw_test::DumpOccurrences;
using tw_test::TestProject;

// Scans text alone, with no analyser behind it (so it must hold no recorded
// call), and describes where the scanner stopped.
std::string EndStateOf(const std::string &text) {
    tw_test::TempDir dir;
    std::string path = dir.write("a.c", text);
    char *paths[] = {path.data()};
    scanner_set_echo_stream(nullptr);
    scan_action_files(1, paths);
    scanner_snapshot state = scanner_current_state();
    // The condition would otherwise carry into the next test's build.
    reset_scanner_condition();
    scanner_set_echo_stream(stdout);
    return std::string(state.start_condition) + " brace=" + std::to_string(state.brace_depth) +
           " paren=" + std::to_string(state.paren_depth) +
           " line=" + std::to_string(state.line_number);
}

struct EndStateCase {
    const char *name;
    std::string text;
    const char *expected;
};

std::ostream &operator<<(std::ostream &out, const EndStateCase &c) {
    return out << c.name;
}

class ScannerEndStateTest : public ::testing::TestWithParam<EndStateCase> {};

TEST_P(ScannerEndStateTest, StopsInTheExpectedState) {
    EXPECT_EQ(EndStateOf(GetParam().text), GetParam().expected);
}

const EndStateCase END_STATE_CASES[] = {
    // A word inside a string runs the identifier procedure; at statement
    // level it classifies the word and leaves the string.
    {"WordInStringAtStatementLevelLeavesIt", "{ s = \"ab", "INITIAL brace=1 paren=0 line=1"},
    {"SingleLetterInStringDoesNot", "{ s = \"a", "STRING brace=1 paren=0 line=1"},
    {"WordInStringInsideParenthesesDoesNot", "{ f(\"ab", "STRING brace=1 paren=1 line=1"},
    {"EscapedBackslashThenQuoteDoesNotEndTheString", "{ s = \"\\\\\"",
     "STRING brace=1 paren=0 line=1"},
    {"QuoteInCharacterLiteralOpensAString", "{ c = '\"';", "STRING brace=1 paren=0 line=1"},
    {"DoubleByteBackslashDoesNotEscapeTheQuote", "{ s = \"\x81\\\";",
     "INITIAL brace=1 paren=0 line=1"},
    {"StringCountsItsNewlines", "{ s = \"a\nb", "STRING brace=1 paren=0 line=2"},
    {"CommentCountsItsNewlines", "/* a\nb\n", "COMMENT brace=0 paren=0 line=3"},
    {"HashLineHidesItsQuote", "#include \"a\n", "INITIAL brace=0 paren=0 line=2"},
    {"GridWordInsideAString", "{ s = \"GRID", "GRID_REF brace=1 paren=0 line=1"},
    {"VariantWordInsideAString", "{ s = \"VARIANT", "VARIANT_VALUE brace=1 paren=0 line=1"},
    {"ConditionOutlivesTheCallsParentheses", "{ cmx_send(C)", "VALUE_ARGS brace=1 paren=0 line=1"},
    {"NextStatementWordEndsIt", "{ cmx_send(C); x", "INITIAL brace=1 paren=0 line=1"},
    {"StrayCloseParenthesisGoesNegative", "{ )", "INITIAL brace=1 paren=-1 line=1"},
};
INSTANTIATE_TEST_SUITE_P(, ScannerEndStateTest, ::testing::ValuesIn(END_STATE_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ScanAcrossFilesTest, CommentsCallsAndDepthsContinueIntoTheNextFile) {
    TestProject project;
    project.add_action("a.c", "{ /* open\n")
        .add_action("b.c", "sqx_assign(C, \"v\"); */ sqx_assign(C, \"w\");\n")
        .add_action("c.c", "sqx_assign(C,\n")
        .add_action("d.c", "\"x\"); }\n");
    ASSERT_EQ(project.build_index(), 0);
    EXPECT_EQ(DumpOccurrences(project.index()), "w in b.c:1 2\nx in d.c:1 2\n");
    EXPECT_EQ(DumpFiles(project.index(), project.directory()),
              "0 a0 a.c lines=2\n1 a1 b.c lines=2\n2 a2 c.c lines=2\n3 a3 d.c lines=2\n");
}

TEST(ScanAcrossFilesTest, FileThatCannotBeOpenedIsSkippedWithoutALineCount) {
    TestProject project;
    project.add_action("a.c", "{ sqx_assign(C, \"v\");\n")
        .list_action("gone", "missing.c")
        .add_action("b.c", "sqx_assign(C, \"w\"); }\n");
    ASSERT_EQ(project.build_index(), 0);
    EXPECT_EQ(DumpOccurrences(project.index()), "v in a.c:1 2\nw in b.c:1 2\n");
    EXPECT_EQ(DumpFiles(project.index(), project.directory()),
              "0 a0 a.c lines=2\n1 gone missing.c lines=0\n2 a2 b.c lines=2\n");
    EXPECT_EQ(analyser_total_lines(project.analyser()), 4);
}

TEST(ScanAcrossFilesTest, DirectoryIsSkippedLikeAFileThatCannotBeOpened) {
    TestProject project;
    project.add_action("a.c", "{ sqx_assign(C, \"v\");\n")
        .add_file("folder/keep", "")
        .list_action("folder", "folder")
        .add_action("c.c", "sqx_assign(C, \"w\"); }\n");
    ASSERT_EQ(project.build_index(), 0);
    EXPECT_EQ(DumpOccurrences(project.index()), "v in a.c:1 2\nw in c.c:1 2\n");
    EXPECT_EQ(DumpFiles(project.index(), project.directory()),
              "0 a0 a.c lines=2\n1 folder folder lines=0\n2 a2 c.c lines=2\n");
}

// The process's own memory opens as a file and fails with an input/output
// error at offset 0: a file whose read fails half-way through a scan.
TEST(ScanAcrossFilesTest, ReadErrorEndsTheScanButNotTheBuildOrTheNextOne) {
#if defined(_WIN32)
    GTEST_SKIP() << "no file here whose read fails";
#else
    FILE *memory = fopen("/proc/self/mem", "rb");
    char byte;
    bool fails = memory != nullptr && fread(&byte, 1, 1, memory) == 0 && ferror(memory);
    if (memory != nullptr) {
        fclose(memory);
    }
    if (!fails) {
        GTEST_SKIP() << "no file here whose read fails";
    }
    TestProject project;
    project.add_action("a.c", "{ sqx_assign(C, \"v\");\n")
        .list_action("broken", "broken.c")
        .add_action("c.c", "sqx_assign(C, \"w\"); }\n");
    ASSERT_EQ(symlink("/proc/self/mem", (project.directory() + "/broken.c").c_str()), 0);
    testing::internal::CaptureStderr();
    int built = project.build_index();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "input in flex scanner failed\n");
    ASSERT_EQ(built, 0);
    EXPECT_EQ(DumpOccurrences(project.index()), "v in a.c:1 2\n");
    EXPECT_EQ(DumpFiles(project.index(), project.directory()),
              "0 a0 a.c lines=2\n1 broken broken.c lines=1\n2 a2 c.c lines=1\n");

    EXPECT_EQ(tw_test::DumpOfScript("{ sqx_assign(C, \"z\"); }"),
              "z in a.c:1 2\n-- pending\nC: z@1\n");
#endif
}

TEST(ScanAcrossFilesTest, NewlineInsideSqlTextGoesToTheEchoStreamUncounted) {
    FILE *echo = tmpfile();
    ASSERT_NE(echo, nullptr);
    TestProject project;
    project.add_action("a.c", "{ sqx_stmt(C, \"select\n1\"); }");
    BuildOptions options;
    options.echo = echo;
    ASSERT_EQ(project.build_index(options), 0);
    EXPECT_EQ(ftell(echo), 1);
    rewind(echo);
    EXPECT_EQ(fgetc(echo), '\n');
    fclose(echo);
    // Nor is it counted: the scan ends on line 1 of the two it was counted.
    EXPECT_EQ(DumpFiles(project.index(), project.directory()), "0 a0 a.c lines=1\n");
    EXPECT_EQ(analyser_total_lines(project.analyser()), 2);
}

struct ProgressLog {
    std::vector<float> values;
    int answer = 0;
};

int LogProgress(void *user_data, float value) {
    ProgressLog *log = static_cast<ProgressLog *>(user_data);
    log->values.push_back(value);
    return log->answer;
}

// The current analyser for calls made outside BuildIndex, cleared again
// however the test ends.
class CurrentAnalyser {
public:
    explicit CurrentAnalyser(CCorrelationAnalyser *analyser) { set_current_analyser(analyser); }
    ~CurrentAnalyser() { set_current_analyser(nullptr); }
};

// One file of 100 lines without a final line break: a value on each of the
// lines 2 to 99.
std::string HundredLines() {
    std::string text = "{\n";
    for (int line = 2; line <= 99; ++line) {
        text += "sqx_assign(C, \"v" + std::to_string(line) + "\");\n";
    }
    return text + "}";
}

TEST(ScanProgressTest, ReportsEachTimeTheShareOfLinesGrewByMoreThanOnePercent) {
    ProgressLog log;
    TestProject project;
    project.add_action("a.c", HundredLines()).add_action("b.c", "{\n\nsqx_assign(C, \"w\");\n}");
    BuildOptions options;
    options.callback = LogProgress;
    options.user_data = &log;
    ASSERT_EQ(project.build_index(options), 0);
    ASSERT_EQ(analyser_total_lines(project.analyser()), 104);

    // Lines 2, 4, ... 98 of a.c; then line 3 of b.c adds 3 to the 99 done.
    std::vector<float> expected;
    for (int done = 2; done <= 98; done += 2) {
        expected.push_back(static_cast<float>(done) / 104.0f);
    }
    expected.push_back(102.0f / 104.0f);
    EXPECT_EQ(log.values, expected);
}

TEST(ScanProgressTest, CallsWithoutACallCodeRecordNothingButAdvanceProgress) {
    ProgressLog log;
    TestProject project;
    project.add_action("a.c", "{" + std::string(49, '\n') + "VARIANT abc; }");
    BuildOptions options;
    options.callback = LogProgress;
    options.user_data = &log;
    ASSERT_EQ(project.build_index(options), 0);
    EXPECT_EQ(log.values, std::vector<float>{1.0f});
    EXPECT_EQ(DumpOccurrences(project.index()), "");

    CurrentAnalyser current(project.analyser());
    const char *path = project.index()->file_paths[0];
    int done = analyser_lines_done(project.analyser());
    for (const char *name : {"sqx_unknown", "GRID", "RECORDSET_XML", "printf"}) {
        EXPECT_EQ(record_argument("v", name, 1, 7, path, "C"), 0) << name;
        EXPECT_EQ(record_argument("v", name, 1, 8, path, "C"), 0) << name;
        done += 8;  // a smaller line starts a new file: 7, then 1 more
        EXPECT_EQ(analyser_lines_done(project.analyser()), done) << name;
    }
    EXPECT_EQ(DumpOccurrences(project.index()), "");
}

// A 200-line file whose second value, on line 5, is the first to be
// reported, and a second file.
TestProject &CancellableProject(TestProject &project) {
    return project
        .add_action("a.c", "{ sqx_assign(C, \"a\");\n\n\n\nsqx_assign(C, \"b\");\n" +
                               std::string(195, '\n') + "}\n")
        .add_action("b.c", "{ sqx_assign(C, \"c\"); }\n");
}

TEST(ScanProgressTest, CallbackAnsweringMinusOneCancelsTheRestOfTheScan) {
    ProgressLog log;
    log.answer = -1;
    TestProject project;
    BuildOptions options;
    options.callback = LogProgress;
    options.user_data = &log;
    ASSERT_EQ(CancellableProject(project).build_index(options), 0);
    int total = analyser_total_lines(project.analyser());
    EXPECT_EQ(log.values, std::vector<float>{5.0f / static_cast<float>(total)});
    EXPECT_EQ(DumpOccurrences(project.index()), "a in a.c:1 2\n");
    // The drained rest is not counted: a.c ends at the line where the scan
    // stopped, later files count one line.
    EXPECT_EQ(DumpFiles(project.index(), project.directory()),
              "0 a0 a.c lines=5\n1 a1 b.c lines=1\n");
    EXPECT_TRUE(analyser_cancelled(project.analyser()));
}

TEST(ScanProgressTest, WithoutACallbackTheScanIsNeverCancelled) {
    TestProject project;
    ASSERT_EQ(CancellableProject(project).build_index(), 0);
    EXPECT_EQ(DumpOccurrences(project.index()), "a in a.c:1 2\nb in a.c:5 2\nc in b.c:1 2\n");
    EXPECT_FALSE(analyser_cancelled(project.analyser()));
}

}  // namespace
