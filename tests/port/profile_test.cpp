#include <gtest/gtest.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#include "port/winapi.h"
#include "test_support.h"

namespace {

using tw_test::read_file;
using tw_test::TempDir;

struct read_result {
    std::string text;
    DWORD length;
};

read_result read_value(const std::string &path, const char *section, const char *key,
                       const char *default_value, DWORD size = 256) {
    std::vector<char> buffer(size + 1, '#');
    DWORD length =
        GetPrivateProfileStringA(section, key, default_value, buffer.data(), size, path.c_str());
    EXPECT_EQ('#', buffer[size]) << "wrote past the buffer";
    return read_result{std::string(buffer.data(), strnlen(buffer.data(), size)), length};
}

// The names of a list result, plus its length.
struct list_result {
    std::vector<std::string> names;
    DWORD length;
};

list_result read_list(const std::string &path, const char *section, const char *default_value,
                      DWORD size = 2048) {
    std::vector<char> buffer(size + 1, '#');
    list_result result;
    result.length = GetPrivateProfileStringA(section, nullptr, default_value, buffer.data(), size,
                                             path.c_str());
    EXPECT_EQ('#', buffer[size]) << "wrote past the buffer";
    size_t position = 0;
    while (position < size && buffer[position] != '\0') {
        std::string name(buffer.data() + position);
        position += name.size() + 1;
        result.names.push_back(name);
    }
    EXPECT_LT(position, size) << "list without its final terminator";
    return result;
}

std::vector<std::string> directory_entries(const std::string &path) {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(path)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// Cases that pin how our stand-in reads damaged files; the system's function
// on Windows reads them its own way, and the library relies on neither.
const bool STAND_IN_ONLY = true;

struct read_case {
    const char *what;
    const char *contents;
    const char *section;
    const char *key;
    const char *default_value;
    const char *expected;
    bool stand_in_only = false;
};

TEST(ProfileRead, FindsValuesLikeWindows) {
    const read_case cases[] = {
        {"plain", "[A]\nk=v\n", "A", "k", "d", "v"},
        {"section case", "[Correlated Queries]\nk=v\n", "correlated QUERIES", "k", "d", "v"},
        {"key case", "[A]\nLearning Speed Factor=0.5\n", "A", "learning speed factor", "d", "0.5"},
        {"blanks trimmed", "  [ \tA  ]  \n \t k \t=  v w \t\n", "A", "k", "d", "v w"},
        {"argument blanks", "[A]\nk=v\n", " A ", "\tk ", "d", "v"},
        {"double quotes", "[A]\nk=\" v \"\n", "A", "k", "d", " v "},
        {"single quotes", "[A]\nk='v'\n", "A", "k", "d", "v"},
        {"mismatched quotes kept", "[A]\nk=\"v'\n", "A", "k", "d", "\"v'"},
        {"lone quote kept", "[A]\nk=\"\n", "A", "k", "d", "\""},
        {"empty value", "[A]\nk=\n", "A", "k", "d", ""},
        {"equals in value", "[A]\nk=a=b\n", "A", "k", "d", "a=b"},
        {"comment", "[A]\n;k=1\n  ; k=2\nk=3\n", "A", "k", "d", "3"},
        {"commented out only", "[A]\n;k=1\n", "A", "k", "d", "d"},
        {"first section wins", "[A]\nk=1\n[B]\nk=2\n[a]\nk=3\nj=4\n", "A", "k", "d", "1"},
        {"later duplicate not merged", "[A]\nk=1\n[a]\nj=4\n", "A", "j", "d", "d"},
        {"first key wins", "[A]\nk=1\nK=2\n", "A", "k", "d", "1"},
        {"line without equals", "[A]\nk\nk=2\n", "A", "k", "d", "2", STAND_IN_ONLY},
        {"key of next section", "[A]\nx=1\n[B]\nk=2\n", "A", "k", "d", "d"},
        {"key before any section", "k=0\n[A]\nx=1\n", "A", "k", "d", "d"},
        {"missing section", "[A]\nk=1\n", "B", "k", "dflt", "dflt"},
        {"null default", "[A]\nk=1\n", "A", "j", nullptr, ""},
        {"default trailing blanks", "[A]\n", "A", "j", "d  \t", "d"},
        {"crlf", "[A]\r\nk=v\r\nj=w\r\n", "A", "j", "d", "w"},
        {"no final line break", "[A]\nk=v", "A", "k", "d", "v"},
        {"header bracket in name", "[a]b]\nk=v\n", "a]b", "k", "d", "v"},
        {"header with comment after", "[A] ; note\nk=v\n", "A", "k", "d", "v"},
        {"unclosed header is no header", "[A]\n[B\nk=v\n", "A", "k", "d", "v"},
        {"empty file", "", "A", "k", "d", "d"},
        {"byte order mark", "\xEF\xBB\xBF[A]\r\nk=v\r\n", "A", "k", "d", "v"},
    };
    TempDir dir;
    for (const read_case &c : cases) {
#if defined(_WIN32)
        if (c.stand_in_only) {
            continue;
        }
#endif
        std::string path = dir.write("case.ini", c.contents);
        read_result got = read_value(path, c.section, c.key, c.default_value);
        EXPECT_EQ(c.expected, got.text) << c.what;
        EXPECT_EQ(strlen(c.expected), got.length) << c.what;
    }
}

TEST(ProfileRead, MissingFileGivesDefault) {
    TempDir dir;
    EXPECT_EQ("0.080000", read_value(dir.file("none.ini"), "A", "k", "0.080000").text);
    EXPECT_EQ("", read_value(dir.file("none.ini"), "A", "k", nullptr).text);
    EXPECT_EQ("d", read_value(dir.file("no/such/dir.ini"), "A", "k", "d").text);
}

TEST(ProfileRead, CutsToBufferSize) {
    TempDir dir;
    std::string path = dir.write("cut.ini", "[A]\nk=abcdef\n");
    read_result got = read_value(path, "A", "k", "d", 4);
    EXPECT_EQ("abc", got.text);
    EXPECT_EQ(3u, got.length);
    got = read_value(path, "A", "k", "d", 1);
    EXPECT_EQ("", got.text);
    EXPECT_EQ(0u, got.length);
    got = read_value(path, "A", "missing", "defaultlong", 5);
    EXPECT_EQ("defa", got.text);
    EXPECT_EQ(4u, got.length);

    char untouched = '#';
    EXPECT_EQ(0u, GetPrivateProfileStringA("A", "k", "d", &untouched, 0, path.c_str()));
    EXPECT_EQ('#', untouched);
}

TEST(ProfileList, ListsKeyNamesOfProjectSection) {
    TempDir dir;
    std::string path = dir.write("project.ini",
                                 "[General]\nName=demo\n[Actions]\r\nsession_init=init.c\r\n"
                                 "Action1=Action1.c\r\n; Old=old.c\r\nsession_end=end.c\r\n"
                                 "[Other]\nx=1\n");
    list_result got = read_list(path, "Actions", "init.c");
    EXPECT_EQ((std::vector<std::string>{"session_init", "Action1", "session_end"}), got.names);
    EXPECT_EQ(strlen("session_init") + strlen("Action1") + strlen("session_end") + 3, got.length);
}

TEST(ProfileList, MissingSectionOrFileGivesDefaultAsOnlyName) {
    TempDir dir;
    std::string path = dir.write("project.ini", "[General]\nName=demo\n");
    for (const std::string &file : {path, dir.file("missing.ini")}) {
        list_result got = read_list(file, "Actions", "init.c");
        EXPECT_EQ(std::vector<std::string>{"init.c"}, got.names) << file;
        EXPECT_EQ(7u, got.length);  // like every list: the names with their terminators
        EXPECT_TRUE(read_list(file, "Actions", nullptr).names.empty());
    }
}

TEST(ProfileList, EmptySectionGivesEmptyList) {
    TempDir dir;
    std::string path = dir.write("project.ini", "[Actions]\n; nothing\n\n[B]\nk=1\n");
    list_result got = read_list(path, "Actions", "init.c");
    EXPECT_TRUE(got.names.empty());
    EXPECT_EQ(0u, got.length);
}

TEST(ProfileList, NullSectionListsSectionNamesOnce) {
    TempDir dir;
    std::string path = dir.write("s.ini", "k=0\n[A]\nk=1\n[ B ]\n[a]\n[]\n[C]\n");
    list_result got = read_list(path, nullptr, "ignored");
    EXPECT_EQ((std::vector<std::string>{"A", "B", "C"}), got.names);
    EXPECT_TRUE(read_list(dir.file("missing.ini"), nullptr, "ignored").names.empty());
}

TEST(ProfileList, DuplicateKeysListedOnce) {
    TempDir dir;
    std::string path = dir.write("d.ini", "[A]\nk=1\nj=2\nK=3\n");
    EXPECT_EQ((std::vector<std::string>{"k", "j"}), read_list(path, "A", "d").names);
}

TEST(ProfileList, CutListKeepsWholeNamesOnly) {
    TempDir dir;
    std::string path = dir.write("c.ini", "[A]\nabc=1\ndefg=2\nhi=3\n");
    // "abc\0" fits in 8 bytes with the final terminator; "defg\0" does not.
    list_result got = read_list(path, "A", "d", 8);
    EXPECT_EQ(std::vector<std::string>{"abc"}, got.names);
    EXPECT_EQ(6u, got.length);
    for (DWORD size : {0u, 1u, 2u, 3u}) {
        std::vector<char> buffer(size + 1, '#');
        DWORD length =
            GetPrivateProfileStringA("A", nullptr, "d", buffer.data(), size, path.c_str());
        EXPECT_EQ(size < 2 ? 0u : size - 2, length) << size;
        EXPECT_EQ('#', buffer[size]) << size;
        if (size > 0) {
            EXPECT_EQ('\0', buffer[0]) << size;
        }
    }
}

TEST(ProfileWrite, CreatesFileSectionAndKey) {
    TempDir dir;
    std::string path = dir.file("new.ini");
    ASSERT_TRUE(WritePrivateProfileStringA("Correlated Queries", "Learning Speed Factor", "0.080",
                                           path.c_str()));
    EXPECT_EQ("[Correlated Queries]\r\nLearning Speed Factor=0.080\r\n", read_file(path));
    ASSERT_TRUE(WritePrivateProfileStringA("Other", "k", "v", path.c_str()));
    EXPECT_EQ("[Correlated Queries]\r\nLearning Speed Factor=0.080\r\n[Other]\r\nk=v\r\n",
              read_file(path));
    EXPECT_EQ("0.080", read_value(path, "correlated queries", "LEARNING speed factor", "d").text);
}

struct write_case {
    const char *what;
    const char *before;
    const char *section;
    const char *key;
    const char *value;
    const char *after;
};

TEST(ProfileWrite, KeepsEveryOtherByte) {
    const write_case cases[] = {
        {"replace in crlf file with comments",
         "; weights\r\n[TokenEvaluatorInputs]\r\n; first\r\nWeight0=0.100\r\nWeight1 = 0.200 "
         "\r\n\r\n[Next]\r\nWeight1=9\r\n",
         "tokenevaluatorinputs", "weight1", "0.300",
         "; weights\r\n[TokenEvaluatorInputs]\r\n; first\r\nWeight0=0.100\r\nWeight1 = 0.300\r\n"
         "\r\n[Next]\r\nWeight1=9\r\n"},
        {"new key after last non-blank line, crlf",
         "[A]\r\nk=1\r\n; tail comment\r\n\r\n\r\n[B]\r\nx=1\r\n", "A", "j", "2",
         "[A]\r\nk=1\r\n; tail comment\r\nj=2\r\n\r\n\r\n[B]\r\nx=1\r\n"},
        {"new key in header-only section", "[A]\n[B]\n", "A", "k", "1", "[A]\nk=1\n[B]\n"},
        {"new key in last section without final break", "[A]\nk=1", "A", "j", "2",
         "[A]\nk=1\nj=2\n"},
        {"new section after unterminated line", "[A]\nk=1", "B", "j", "2", "[A]\nk=1\n[B]\nj=2\n"},
        {"new section in lf file", "; c\n[A]\nk=1\n\n", "B", "j", "2",
         "; c\n[A]\nk=1\n\n[B]\nj=2\n"},
        {"replace first of duplicate keys and sections", "[A]\nk=1\nk=2\n[a]\nk=3\n", "A", "K", "9",
         "[A]\nk=9\nk=2\n[a]\nk=3\n"},
        {"replace quoted value", "[A]\nk=\"old\" \nj=1\n", "A", "k", "new", "[A]\nk=new\nj=1\n"},
        {"replace empty value", "[A]\r\nk=\r\n", "A", "k", "v", "[A]\r\nk=v\r\n"},
        {"remove key", "[A]\r\nk=1\r\nj=2\r\n", "A", "k", nullptr, "[A]\r\nj=2\r\n"},
        {"remove last unterminated key", "[A]\nk=1\nj=2", "A", "j", nullptr, "[A]\nk=1\n"},
        {"remove missing key", "[A]\nk=1\n", "A", "x", nullptr, "[A]\nk=1\n"},
        {"remove section", "; c\n[A]\nk=1\n; in A\n[B]\nj=2\n", "a", nullptr, nullptr,
         "; c\n[B]\nj=2\n"},
        {"remove last section", "[A]\nk=1\n[B]\nj=2", "B", nullptr, "ignored", "[A]\nk=1\n"},
        {"remove missing section", "[A]\nk=1\n", "B", nullptr, nullptr, "[A]\nk=1\n"},
        {"byte order mark kept", "\xEF\xBB\xBF[A]\r\nk=1\r\n", "A", "k", "2",
         "\xEF\xBB\xBF[A]\r\nk=2\r\n"},
        {"name blanks trimmed", "[A]\nk=1\n", " A ", " j\t", "2", "[A]\nk=1\nj=2\n"},
    };
    TempDir dir;
    for (const write_case &c : cases) {
        std::string path = dir.write("case.ini", c.before);
        EXPECT_TRUE(WritePrivateProfileStringA(c.section, c.key, c.value, path.c_str())) << c.what;
#if defined(_WIN32)
        // The system's function rewrites the file in its own spacing and line
        // breaks and drops blank lines; the library relies only on what the
        // file then holds.
        EXPECT_EQ(tw_test::profile_contents(c.after), tw_test::profile_contents(read_file(path)))
            << c.what;
#else
        EXPECT_EQ(c.after, read_file(path)) << c.what;
#endif
    }
    EXPECT_EQ(std::vector<std::string>{"case.ini"}, directory_entries(dir.path()));
}

TEST(ProfileWrite, RemovingFromMissingFileCreatesNothing) {
    TempDir dir;
    std::string path = dir.file("none.ini");
    EXPECT_TRUE(WritePrivateProfileStringA("A", "k", nullptr, path.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("A", nullptr, nullptr, path.c_str()));
    EXPECT_FALSE(tw_test::file_exists(path));
}

TEST(ProfileWrite, WrittenValuesReadBack) {
    TempDir dir;
    std::string path = dir.file("round.ini");
    const char *values[] = {"0.080", "5.000", "", "a=b", "with ; semicolon", "x\"y"};
    for (const char *value : values) {
        ASSERT_TRUE(WritePrivateProfileStringA("S", "k", value, path.c_str()));
        EXPECT_EQ(value, read_value(path, "S", "k", "d").text);
    }
    EXPECT_EQ("[S]\r\nk=x\"y\r\n", read_file(path));
}

TEST(ProfileWrite, RefusesBadArgumentsAndLeavesFileAlone) {
    TempDir dir;
    const std::string original = "[A]\nk=1\n";
    std::string path = dir.write("a.ini", original);
    struct bad_write {
        const char *section;
        const char *key;
        const char *value;
        const char *path;
    } cases[] = {
        {nullptr, "k", "v", path.c_str()}, {"A", "k", "v", ""},
        {"A", "k", "v", nullptr},          {"A", "k", "two\nlines", path.c_str()},
        {"A", "k", "cr\r", path.c_str()},  {"A\n[B]", "k", "v", path.c_str()},
        {"A", "k=x", "v", path.c_str()},   {"A", "", "v", path.c_str()},
        {"A", "  ", "v", path.c_str()},    {"A", ";k", "v", path.c_str()},
        {"A", "[k", "v", path.c_str()},
    };
    for (const bad_write &c : cases) {
        EXPECT_FALSE(WritePrivateProfileStringA(c.section, c.key, c.value, c.path))
            << (c.section ? c.section : "(null)") << " " << c.key << " " << c.value;
    }
    EXPECT_EQ(original, read_file(path));
    EXPECT_EQ(std::vector<std::string>{"a.ini"}, directory_entries(dir.path()));
}

TEST(ProfileWrite, UnwritablePathsFail) {
    TempDir dir;
    std::string plain = dir.write("plain", "not a directory");
    EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", (plain + "/x.ini").c_str()));
    EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", dir.file("no/such/x.ini").c_str()));
    // A directory cannot be read as a profile, so it is never replaced.
    std::filesystem::create_directory(dir.file("sub"));
    EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", dir.file("sub").c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("sub")));
    EXPECT_EQ("not a directory", read_file(plain));
}

// A path without a directory names the current one (the system's functions
// on Windows would look in the Windows directory), and one too long for the
// system is never read or written (Wine's overruns a buffer on its stack).
TEST(ProfilePaths, RelativeAndOverlongPaths) {
    TempDir dir;
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    BOOL written = WritePrivateProfileStringA("A", "k", "v", "relative.ini");
    read_result relative = read_value("relative.ini", "A", "k", "d");
    std::filesystem::current_path(previous);
    EXPECT_TRUE(written);
    EXPECT_EQ("v", relative.text);
    EXPECT_TRUE(tw_test::file_exists(dir.file("relative.ini")));

    for (size_t length : {size_t{MAX_PATH}, size_t{1023}, size_t{4096}}) {
        std::string overlong(length, 'p');
        EXPECT_EQ("d", read_value(overlong, "A", "k", "d").text) << length;
        EXPECT_EQ(std::vector<std::string>{"d"}, read_list(overlong, "A", "d").names) << length;
        EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", overlong.c_str())) << length;
    }
}

TEST(ProfileWrite, AcceptsBackslashSeparators) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    std::string windows_style = dir.path() + "\\sub\\w.ini";
    ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "v", windows_style.c_str()));
    EXPECT_EQ("[A]\r\nk=v\r\n", read_file(dir.file("sub/w.ini")));
    EXPECT_EQ("v", read_value(windows_style, "A", "k", "d").text);
}

TEST(ProfileWrite, KeepsPermissionBits) {
    TempDir dir;
    std::string path = dir.write("mode.ini", "[A]\nk=1\n");
#if defined(_WIN32)
    GTEST_SKIP() << "Windows files have no POSIX permission bits";
#endif
    ASSERT_EQ(0, chmod(path.c_str(), 0640));
    ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "2", path.c_str()));
    struct stat info;
    ASSERT_EQ(0, stat(path.c_str(), &info));
    EXPECT_EQ(0640u, info.st_mode & 07777u);
}

#if !defined(_WIN32)
// Limits the size of files this process may write, as a full disk would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_handler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previous_handler_);
    }

private:
    rlimit saved_;
    void (*previous_handler_)(int);
};
#endif  // !_WIN32

TEST(ProfileWrite, FailedWriteLeavesOriginalAndNoTemporaryFile) {
    TempDir dir;
    const std::string original = "; keep me\r\n[A]\r\nk=1\r\n";
    std::string path = dir.write("full.ini", original);
    std::string big_value(4096, 'x');
#if defined(_WIN32)
    GTEST_SKIP() << "Windows has no per-process file-size limit to make a write fail";
#else
    BOOL written;
    {
        FileSizeLimit limit(64);
        written = WritePrivateProfileStringA("A", "k", big_value.c_str(), path.c_str());
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(original, read_file(path));
    EXPECT_EQ(std::vector<std::string>{"full.ini"}, directory_entries(dir.path()));
    // The same write succeeds once there is room.
    EXPECT_TRUE(WritePrivateProfileStringA("A", "k", big_value.c_str(), path.c_str()));
    EXPECT_EQ(big_value, read_value(path, "A", "k", "d", 8192).text);
#endif
}

#if defined(_WIN32)
// A file another program holds open without sharing its deletion cannot be
// replaced, and a read-only one is refused: either write fails as a whole.
TEST(ProfileWrite, FailedReplaceLeavesOriginalAndNoTemporaryFile) {
    TempDir dir;
    const std::string original = "; keep me\r\n[A]\r\nk=1\r\n";
    std::string path = dir.write("held.ini", original);
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    BOOL written = WritePrivateProfileStringA("A", "k", "2", path.c_str());
    CloseHandle(held);
    EXPECT_FALSE(written);
    EXPECT_EQ(original, read_file(path));
    EXPECT_EQ(std::vector<std::string>{"held.ini"}, directory_entries(dir.path()));

    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    written = WritePrivateProfileStringA("A", "k", "2", path.c_str());
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(written);
    EXPECT_EQ(original, read_file(path));
    EXPECT_EQ(std::vector<std::string>{"held.ini"}, directory_entries(dir.path()));
}
#endif

TEST(ProfileBadInput, BinaryFileNeverBreaksReadsOrWrites) {
    TempDir dir;
    std::string garbage;
    unsigned state = 12345;
    for (int i = 0; i < 64 * 1024; ++i) {
        state = state * 1103515245u + 12345u;
        garbage.push_back(static_cast<char>(state >> 16));
    }
    garbage += std::string("\n[A]\nk=v\0w\n", 12);
    std::string path = dir.write("binary.ini", garbage);
    EXPECT_EQ("v", read_value(path, "A", "k", "d").text);
    read_list(path, nullptr, "d", 64);
    read_list(path, "A", "d", 16);
#if defined(_WIN32)
    // The system's function reads and rewrites a damaged file its own way
    // (a value ends at a NUL); what the library needs is reads that stay in
    // their buffers and a write that reads back.
    ASSERT_TRUE(WritePrivateProfileStringA("Z", "k", "1", path.c_str()));
    EXPECT_EQ("1", read_value(path, "Z", "k", "d").text);
    EXPECT_EQ("v", read_value(path, "A", "k", "d").text);
#else
    EXPECT_EQ(3u, read_value(path, "A", "k", "d").length);  // the NUL and what follows count
    ASSERT_TRUE(WritePrivateProfileStringA("Z", "k", "1", path.c_str()));
    std::string after = read_file(path);
    EXPECT_EQ(garbage, after.substr(0, garbage.size()));
    EXPECT_EQ("1", read_value(path, "Z", "k", "d").text);
#endif
}

TEST(ProfileBadInput, NulInNamesIsNotListed) {
    TempDir dir;
    std::string path = dir.write("nul.ini", std::string("[A]\na\0b=1\nc=2\n", 15));
    std::vector<std::string> names = read_list(path, "A", "d").names;
#if defined(_WIN32)
    // The system's function may give up on a section holding a NUL (Wine
    // reads it as missing); what must hold is that the list stays in its
    // buffer and no name is made up from the damaged line.
    std::string c_value = read_value(path, "A", "c", "d").text;
    if (names == std::vector<std::string>{"d"}) {
        EXPECT_EQ("d", c_value);
    } else {
        ASSERT_FALSE(names.empty());
        EXPECT_EQ("c", names.back());
        EXPECT_EQ("2", c_value);
    }
#else
    EXPECT_EQ(std::vector<std::string>{"c"}, names);
    EXPECT_EQ("d", read_value(path, "A", "a", "d").text);
    EXPECT_EQ("2", read_value(path, "A", "c", "d").text);
#endif
}

TEST(ProfileBadInput, MegabyteLines) {
    TempDir dir;
    std::string long_value(1 << 20, 'v');
    std::string long_name(1 << 20, 'n');
    std::string path = dir.write(
        "long.ini", "[A]\nk=" + long_value + "\n" + long_name + "=x\n[" + long_name + "]\nj=2");
    read_result got = read_value(path, "A", "k", "d");
    EXPECT_EQ(std::string(255, 'v'), got.text);
    EXPECT_EQ(255u, got.length);
    list_result keys = read_list(path, "A", "d");
    EXPECT_FALSE(keys.names.empty());
    EXPECT_EQ("k", keys.names.front());
#if !defined(_WIN32)
    // The system's function cuts lines and names near 64 KB, so on Windows
    // the megabyte section name and key are not found whole.
    EXPECT_EQ("2", read_value(path, long_name.c_str(), "j", "d").text);
    EXPECT_EQ(std::vector<std::string>{"k"}, keys.names);
    EXPECT_EQ(2046u, keys.length);  // the long name did not fit: a cut list
#endif
    ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "short", path.c_str()));
    EXPECT_EQ("short", read_value(path, "A", "k", "d").text);
#if !defined(_WIN32)
    EXPECT_EQ("2", read_value(path, long_name.c_str(), "j", "d").text);
#endif
}

}  // namespace
