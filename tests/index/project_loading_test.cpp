// Reading a project: which action files it has, in which order, with how
// many lines, and the odbc post-pass after the scan.

#include <gtest/gtest.h>

#include <string>

#include "index/analyser_access.h"
#include "index/index_builder.h"
#include "index_dump.h"

namespace {

using tw_test::DumpFiles;
using tw_test::DumpIndex;
using tw_test::DumpOccurrences;
using tw_test::TestProject;

TEST(ProjectLoadingTest, ActionFilesInProjectOrderEndedByNull) {
    TestProject project;
    project.add_action("c.c", "{ sqx_assign(C, \"7\");\n")
        .add_action("a.c", "sqx_assign(C, \"7\");\n")
        .add_action("b.c", "sqx_assign(C, \"7\"); }\n");
    ASSERT_EQ(project.build_index(), 0);
    EXPECT_EQ(DumpFiles(project.index(), project.directory()),
              "0 a0 c.c lines=2\n1 a1 a.c lines=2\n2 a2 b.c lines=2\n");
    EXPECT_EQ(project.index()->file_paths[3], nullptr);
    EXPECT_EQ(DumpOccurrences(project.index()), "7 in c.c:1 2\n7 in a.c:1 2\n7 in b.c:1 2\n");
    EXPECT_EQ(analyser_total_lines(project.analyser()), 6);
}

TEST(ProjectLoadingTest, ValueWithABackslashIsJoinedToTheProjectDirectory) {
    TestProject project;
    project.add_file("sub/one.c", "{ sqx_assign(C, \"v\"); }").list_action("first", "sub\\one.c");
    ASSERT_EQ(project.build_index(), 0);
    EXPECT_EQ(project.index()->file_paths[0], project.directory() + "/sub\\one.c");
    EXPECT_EQ(DumpFiles(project.index(), project.directory()), "0 first sub\\one.c lines=1\n");
    EXPECT_EQ(DumpOccurrences(project.index()), "v in one.c:1 2\n");
}

TEST(ProjectLoadingTest, WithoutAnActionsSectionTheProjectIsInitC) {
    tw_test::TempDir dir;
    dir.write("init.c", "{ sqx_assign(C, \"v\"); }\n");
    dir.write("bare.prj", "[General]\nName=bare\n");
    for (const char *project : {"bare.prj", "missing.prj"}) {
        CCorrelationAnalyser analyser(dir.file(project).c_str(), "", nullptr, nullptr);
        analyser.SetDataFilePath(dir.file("crlt.dat").c_str());
        ASSERT_EQ(analyser.BuildIndex(), 0);
        EXPECT_EQ(DumpFiles(analyser_index(&analyser), dir.path()), "0 init.c init.c lines=2\n")
            << project;
        EXPECT_EQ(DumpOccurrences(analyser_index(&analyser)), "v in init.c:1 2\n") << project;
    }
}

TEST(ProjectLoadingTest, ManyActionFilesWithLongKeysAreAllRegisteredAndScanned) {
    const int FILE_COUNT = 70;
    TestProject project;
    std::string expected_files, expected_values;
    for (int i = 0; i < FILE_COUNT; ++i) {
        std::string key = "recorded_action_with_a_rather_long_key_" + std::to_string(i);
        std::string name = "f" + std::to_string(i) + ".c";
        project.add_file(name, "{ sqx_assign(C, \"value" + std::to_string(i) + "\"); }")
            .list_action(key, name);
        expected_files += std::to_string(i) + " " + key + " " + name + " lines=1\n";
    }
    ASSERT_EQ(project.build_index(), 0);
    EXPECT_EQ(DumpFiles(project.index(), project.directory()), expected_files);
    EXPECT_EQ(action_file_count(project.index()), FILE_COUNT);
    std::string values = DumpOccurrences(project.index());
    for (int i = 0; i < FILE_COUNT; ++i) {
        std::string line = "value" + std::to_string(i) + " in f" + std::to_string(i) + ".c:1 2\n";
        EXPECT_NE(values.find(line), std::string::npos) << line;
    }
}

TEST(ProjectLoadingTest, FileListedTwiceIsRegisteredAndScannedOnce) {
    TestProject project;
    project.add_file("a.c", "{ sqx_assign(C, \"v\"); }")
        .list_action("first", "a.c")
        .list_action("again", "a.c");
    ASSERT_EQ(project.build_index(), 0);
    EXPECT_EQ(DumpFiles(project.index(), project.directory()), "0 first a.c lines=1\n");
    EXPECT_EQ(DumpOccurrences(project.index()), "v in a.c:1 2\n");
    EXPECT_EQ(analyser_total_lines(project.analyser()), 1);
}

TEST(ProjectLoadingTest, DamagedProjectFilesGiveTheFilesTheyName) {
    std::string garbage;
    unsigned state = 77;
    for (int i = 0; i < 8192; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += static_cast<char>(state >> 16);
    }
    const std::pair<std::string, const char *> projects[] = {
        {"[Actions]\nfirst=a.", "0 first a. lines=0\n"},
        {"[Actions]\nfirst", ""},
        {"[Actions", "0 init.c init.c lines=0\n"},
        {"[Actions]\n" + garbage, nullptr},
        {garbage, nullptr},
    };
    for (const auto &[text, expected] : projects) {
        tw_test::TempDir dir;
        dir.write("p.prj", text);
        CCorrelationAnalyser analyser(dir.file("p.prj").c_str(), "", nullptr, nullptr);
        analyser.SetDataFilePath(dir.file("crlt.dat").c_str());
        ASSERT_EQ(analyser.BuildIndex(), 0) << text.size();
        std::string files = DumpFiles(analyser_index(&analyser), dir.path());
        EXPECT_EQ(files.find("!!"), std::string::npos) << files;
        if (expected != nullptr) {
            EXPECT_EQ(files, expected) << text;
        }
    }
}

TEST(ProjectLoadingTest, OdbcPostPassRunsWhateverTheCaseOfTheDatabaseType) {
    const std::string script = "{\nsqx_stmt(C, \"select 1 from t\");\n}\n";
    const std::string without_post_pass =
        "1 in a.c:2 1\n-- statements\nC a.c:2\n-- pending\nC: 1@2\n";
    const std::string with_post_pass =
        "1 in a.c:2 1\n-- locations\na.c:2: 1@2\n-- statements\nC a.c:2\n-- pending\nC: 1@2\n";
    for (const char *database : {"ODBC", "Odbc", "oracle", "other"}) {
        tw_test::BuildOptions options;
        options.database = database;
        bool odbc = database[0] != 'o';
        EXPECT_EQ(tw_test::DumpOfScript(script, options), odbc ? with_post_pass : without_post_pass)
            << database;
    }
}

TEST(CountLinesTest, OneForEveryReadOfUpToALineOr2047Bytes) {
    tw_test::TempDir dir;
    const std::pair<std::string, int> cases[] = {
        {"", 1},
        {"a", 1},
        {"a\n", 2},
        {"a\nb\n", 3},
        {"a\nb", 2},
        {"a\r\nb\r\n", 3},
        {std::string(2046, 'a') + "\n", 2},
        {std::string(2047, 'a') + "\n", 3},
        {std::string(4094, 'a'), 3},
        // Reads that run across the counter's own blocks.
        {std::string(70000, 'a'), 35},
        {std::string(70000, 'a') + "\n", 36},
        {std::string(100000, '\n'), 100001},
        {std::string(40000, 'a') + "\n" + std::string(30000, '\n') + "b", 30021},
    };
    for (const auto &[text, count] : cases) {
        EXPECT_EQ(count_lines(dir.write("lines.c", text).c_str()), count) << text.size();
    }
    EXPECT_EQ(count_lines(dir.file("missing.c").c_str()), COUNT_LINES_CANNOT_OPEN);
    dir.write("folder/keep", "");
#if defined(_WIN32)
    // Windows opens no directory as a file.
    EXPECT_EQ(count_lines(dir.file("folder").c_str()), COUNT_LINES_CANNOT_OPEN);
#else
    EXPECT_EQ(count_lines(dir.file("folder").c_str()), COUNT_LINES_READ_ERROR);
#endif
}

}  // namespace
