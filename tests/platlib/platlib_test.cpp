#include "platlib/platlib.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "platlib/message_format.h"
#include "platlib/messages.h"

namespace {

struct split_case {
    const char *path;
    const char *drive;
    const char *directory;
    const char *file_name;
    const char *extension;
};

TEST(SplitPath, SplitsLikeTheRuntime) {
    const split_case cases[] = {
        {"D:\\p\\project.ini", "D:", "\\p\\", "project", ".ini"},
        {"/home/u/p/Action1.c", "", "/home/u/p/", "Action1", ".c"},
        {"sub\\one.c", "", "sub\\", "one", ".c"},
        {"mixed/dir\\name.tar.gz", "", "mixed/dir\\", "name.tar", ".gz"},
        {"c:file.txt", "c:", "", "file", ".txt"},
        {"C:", "C:", "", "", ""},
        {"noext", "", "", "noext", ""},
        {"dir.d/noext", "", "dir.d/", "noext", ""},
        {"trailing/", "", "trailing/", "", ""},
        {".profile", "", "", "", ".profile"},
        {"", "", "", "", ""},
        {"1:x", "", "", "1:x", ""},  // only a letter makes a drive
        {"a.verylongextension", "", "", "a", ".verylongextens"},
    };
    for (const split_case &c : cases) {
        size_t size = strlen(c.path) + 1;
        std::vector<char> directory(size + 1, '#');
        std::vector<char> file_name(size + 1, '#');
        char drive[OS_DRIVE_SIZE + 1];
        char extension[OS_EXTENSION_SIZE + 1];
        drive[OS_DRIVE_SIZE] = '#';
        extension[OS_EXTENSION_SIZE] = '#';
        os_split_path(c.path, drive, directory.data(), file_name.data(), extension);
        EXPECT_STREQ(c.drive, drive) << c.path;
        EXPECT_STREQ(c.directory, directory.data()) << c.path;
        EXPECT_STREQ(c.file_name, file_name.data()) << c.path;
        EXPECT_STREQ(c.extension, extension) << c.path;
        EXPECT_EQ('#', directory[size]) << c.path;
        EXPECT_EQ('#', file_name[size]) << c.path;
        EXPECT_EQ('#', drive[OS_DRIVE_SIZE]) << c.path;
        EXPECT_EQ('#', extension[OS_EXTENSION_SIZE]) << c.path;
    }
}

TEST(SplitPath, DriveAndDirectoryPrefixARelativeName) {
    char drive[OS_DRIVE_SIZE];
    char directory[32];
    os_split_path("D:\\p\\project.ini", drive, directory, nullptr, nullptr);
    EXPECT_EQ("D:\\p\\sub\\one.c", std::string(drive) + directory + "sub\\one.c");
}

struct dir_case {
    const char *path;
    const char *directory;
    const char *base_name;
};

TEST(DirAndBaseName, Table) {
    const dir_case cases[] = {
        {"/p/sub/Action1.c", "/p/sub", "Action1.c"},
        {"D:\\p\\Action1.c", "D:\\p", "Action1.c"},
        {"a/b\\c", "a/b", "c"},
        {"a//b", "a", "b"},
        {"/x", "/", "x"},
        {"\\x", "\\", "x"},
        {"C:\\x", "C:\\", "x"},
        {"x", ".", "x"},
        {"C:x", "C:.", "x"},
        {"C:", "C:", ""},
        {"", "", ""},
        {"dir/", "dir", ""},
    };
    for (const dir_case &c : cases) {
        std::vector<char> directory(strlen(c.path) + 2, '#');
        os_get_dir_name(c.path, directory.data());
        EXPECT_STREQ(c.directory, directory.data()) << c.path;
        EXPECT_EQ('#', directory.back()) << c.path;
        EXPECT_STREQ(c.base_name, os_base_name(c.path)) << c.path;
    }
}

TEST(TextCompare, StrrchrAndStrcmp) {
    const char *path = "D:\\p\\Action1.c";
    EXPECT_EQ(path + 4, os_strrchr(path, '\\'));
    EXPECT_EQ(nullptr, os_strrchr("plain", '\\'));
    EXPECT_EQ(0, os_strcmp("sqx_exec", "sqx_exec"));
    EXPECT_NE(0, os_strcmp("sqx_exec", "SQX_EXEC"));
    EXPECT_NE(0, os_strcmp("sqx_exec", "sqx_exec_ext"));
    EXPECT_NE(0, os_strcmp("a", nullptr));
}

std::string load(unsigned id, int size, const char *a = nullptr, const char *b = nullptr,
                 const char *c = nullptr, const char *d = nullptr) {
    std::vector<char> buffer(static_cast<size_t>(size) + 1, '#');
    int length =
        LoadParameterizedString(GetModuleHandleA(nullptr), id, buffer.data(), size, a, b, c, d);
    EXPECT_EQ('#', buffer[static_cast<size_t>(size)]) << id;
    std::string text(buffer.data());
    EXPECT_EQ(static_cast<int>(text.size()), length) << id;
    return text;
}

TEST(ParameterizedString, BuildsReportPair) {
    std::string pair = load(MSG_PAIR_INPUT, 1024, "Action1.c", "20", "42") +
                       load(MSG_PAIR_RETURNED_AT, 1024) +
                       load(MSG_PAIR_OUTPUT, 1024, "Action1.c", "10", "3", "2");
    EXPECT_EQ("Action1.c(20): value \"42\" was returned at Action1.c(10), grid column 3, row 2",
              pair);
}

TEST(ParameterizedString, CatalogTexts) {
    EXPECT_EQ("No correlation candidates were found.", load(MSG_SEARCH_FOUND_NOTHING, 1024));
    EXPECT_EQ("No earlier result returned the value ", load(MSG_TOKEN_FOUND_NOTHING, 1024));
    EXPECT_EQ("No correlation candidates were found for this statement.",
              load(MSG_CURSOR_FOUND_NOTHING, 1024));
    EXPECT_EQ("Correlation candidates for the statement at a.c(7):",
              load(MSG_CURSOR_HEADER, 2048, "a.c", "7"));
    EXPECT_EQ("", load(12345, 1024));
}

TEST(ParameterizedString, ArgumentsAreNotExpandedAgain) {
    EXPECT_EQ("a.c(1): value \"100%1 %%\"", load(MSG_PAIR_INPUT, 64, "a.c", "1", "100%1 %%"));
}

TEST(ParameterizedString, CutsToSize) {
    EXPECT_EQ("Action1.c(2", load(MSG_PAIR_INPUT, 12, "Action1.c", "20", "42"));
    EXPECT_EQ("", load(MSG_PAIR_INPUT, 1, "Action1.c", "20", "42"));
    char untouched = '#';
    EXPECT_EQ(0, LoadParameterizedString(nullptr, MSG_PAIR_INPUT, &untouched, 0, "a", "b", "c"));
    EXPECT_EQ('#', untouched);
}

struct expand_case {
    const char *text;
    const char *expected;
};

TEST(MessageExpand, PlaceholderSyntax) {
    const char *arguments[12] = {"one", "two", "3", "4",   "5",  "6",
                                 "7",   "8",   "9", "ten", "11", nullptr};
    const expand_case cases[] = {
        {"%2 %1", "two one"},
        {"%10|%11|%100", "ten|11|ten0"},
        {"100%% sure", "100% sure"},
        {"%%1", "%1"},
        {"%0 %x %", "%0 %x %"},
        {"%12", ""},          // a null argument is empty text
        {"%13 end", " end"},  // beyond the arguments
        {"", ""},
    };
    for (const expand_case &c : cases) {
        char buffer[64];
        int length = message_expand(c.text, arguments, 12, buffer, sizeof buffer);
        EXPECT_STREQ(c.expected, buffer) << c.text;
        EXPECT_EQ(static_cast<int>(strlen(c.expected)), length) << c.text;
    }
    EXPECT_EQ(11, message_highest_placeholder("%3 %11 %%99 %2"));
    EXPECT_EQ(0, message_highest_placeholder("%% %0 plain %"));
}

// A compiled text expands exactly as the text itself does, cut included.
TEST(MessageTemplate, ExpandsLikeTheText) {
    const char *arguments[12] = {"one", "two", "3", "4",   "5",  "6",
                                 "7",   "8",   "9", "ten", "11", nullptr};
    const char *const texts[] = {
        "%2 %1",
        "%10|%11|%100",
        "100%% sure",
        "%%1",
        "%0 %x %",
        "%12",
        "%13 end",
        "",
        "%1(%2): value \"%3\"",
        "%1(%2), grid column %3, row %4",
        "%%%%%1%%",
        "%4%4%4",
    };
    const int sizes[] = {64, 8, 4, 1};
    for (const char *text : texts) {
        for (int argument_count : {12, 3, 0}) {
            message_template compiled;
            ASSERT_TRUE(message_template_compile(&compiled, text, argument_count)) << text;
            for (int size : sizes) {
                char expected[64];
                char buffer[64];
                int expected_length =
                    message_expand(text, arguments, argument_count, expected, size);
                EXPECT_EQ(expected_length,
                          message_template_expand(&compiled, arguments, buffer, size))
                    << text << " " << argument_count << " " << size;
                EXPECT_STREQ(expected, buffer) << text << " " << argument_count << " " << size;
                size_t lengths[sizeof arguments / sizeof arguments[0]];
                for (size_t i = 0; i < sizeof arguments / sizeof arguments[0]; ++i) {
                    lengths[i] = arguments[i] != nullptr ? strlen(arguments[i]) : 0;
                }
                char sized[64];
                EXPECT_EQ(expected_length,
                          message_template_expand_sized(&compiled, arguments, lengths, sized, size))
                    << text << " " << argument_count << " " << size;
                EXPECT_STREQ(expected, sized) << text << " " << argument_count << " " << size;
            }
        }
    }
}

TEST(MessageTemplate, RefusesTextsThatDoNotFit) {
    message_template compiled;
    std::string many_pieces;
    for (int i = 0; i < MESSAGE_TEMPLATE_PIECES; ++i) {
        many_pieces += "%1-";
    }
    EXPECT_FALSE(message_template_compile(&compiled, many_pieces.c_str(), 1));
    // Placeholders beyond the arguments take no piece.
    EXPECT_TRUE(message_template_compile(&compiled, many_pieces.c_str(), 0));
    std::string long_text(MESSAGE_TEMPLATE_TEXT_SIZE - 1, 'x');
    EXPECT_TRUE(message_template_compile(&compiled, long_text.c_str(), 0));
    EXPECT_FALSE(message_template_compile(&compiled, (long_text + "x").c_str(), 0));
}

TEST(MessageTemplate, LoadsTheTextLoadParameterizedStringExpands) {
    const char *arguments[] = {"Action1.c", "20", "42", "7"};
    const unsigned ids[] = {MSG_PAIR_INPUT, MSG_PAIR_OUTPUT, MSG_PAIR_RETURNED_AT, 12345u};
    for (unsigned id : ids) {
        message_template compiled;
        ASSERT_TRUE(LoadMessageTemplate(GetModuleHandleA(nullptr), id, &compiled)) << id;
        char buffer[256];
        message_template_expand(&compiled, arguments, buffer, sizeof buffer);
        EXPECT_EQ(load(id, sizeof buffer, arguments[0], arguments[1], arguments[2], arguments[3]),
                  buffer)
            << id;
    }
}

TEST(Charset, LeadBytesOnlyInDoubleByteMode) {
    int saved = xeOsCharsetType;
    EXPECT_EQ(1, xeOsCharsetType);
    EXPECT_EQ(0, os_is_lead_byte(0x81));
    xeOsCharsetType = 2;
    struct {
        int c;
        int lead;
    } cases[] = {{0x80, 0}, {0x81, 1}, {0x9F, 1}, {0xA0, 0}, {0xDF, 0}, {0xE0, 1},
                 {0xFC, 1}, {0xFD, 0}, {'A', 0},  {-127, 1}, {-1, 0}};
    for (const auto &c : cases) {
        EXPECT_EQ(c.lead, os_is_lead_byte(c.c) != 0) << c.c;
    }
    xeOsCharsetType = saved;
}

}  // namespace
