#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>
#include <string>
#include <vector>

#include "port/winapi.h"
#include "test_support.h"

namespace {

using tw_test::TempDir;

// Every name a search yields, in order; empty when nothing matched.
std::vector<std::string> search_all(const std::string &pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    EXPECT_TRUE(FindClose(search));
    return names;
}

class FindFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        // No two names differ in letter case alone: Windows would make them one file.
        for (const char *name : {"b.rdf", "a.rdf", "C.RDF", "c.grd", "Z.rdf", "x.rdfx", "rdf"}) {
            dir_.write(name, "grid");
        }
        std::filesystem::create_directory(dir_.file("dir.rdf"));
    }
    TempDir dir_;
};

TEST_F(FindFileTest, MatchesRegularFilesInByteOrder) {
    EXPECT_EQ((std::vector<std::string>{"C.RDF", "Z.rdf", "a.rdf", "b.rdf"}),
              search_all(dir_.path() + "/*.rdf"));
    EXPECT_EQ(std::vector<std::string>{"c.grd"}, search_all(dir_.path() + "/*.grd"));
}

TEST_F(FindFileTest, BackslashSeparatorsAsTheGridLoaderBuildsThem) {
    std::string windows_style = dir_.path();
    for (char &c : windows_style) {
        if (c == '/') {
            c = '\\';
        }
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((windows_style + "\\*.rdf").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    EXPECT_STREQ("C.RDF", found.cFileName);
    EXPECT_TRUE(FindClose(search));
}

TEST_F(FindFileTest, PatternSyntax) {
    struct {
        const char *pattern;
        std::vector<std::string> names;
    } cases[] = {
        {"?.grd", {"c.grd"}},
        {"a.*", {"a.rdf"}},
        {"*.rdf*", {"C.RDF", "Z.rdf", "a.rdf", "b.rdf", "x.rdfx"}},
        {"rdf", {"rdf"}},
        {"*", {"C.RDF", "Z.rdf", "a.rdf", "b.rdf", "c.grd", "rdf", "x.rdfx"}},
        {"*.*", {"C.RDF", "Z.rdf", "a.rdf", "b.rdf", "c.grd", "rdf", "x.rdfx"}},
        {"*a*f", {"a.rdf"}},
        {"??.rdf", {}},
        {"", {}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.names, search_all(dir_.path() + "/" + c.pattern)) << c.pattern;
    }
}

TEST_F(FindFileTest, NothingToFind) {
    WIN32_FIND_DATAA found;
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA((dir_.path() + "/*.xyz").c_str(), &found));
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA((dir_.path() + "/none/*.rdf").c_str(), &found));
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA(nullptr, &found));
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA("*.rdf", nullptr));
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
}

TEST(ModuleFile, NamesTheRunningTestProgram) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(strlen(path), length);
#if defined(_WIN32)
    std::string name = "tokenweave_test_port.exe";
    EXPECT_EQ(':', path[1]) << path;  // a full path, drive first
#else
    std::string name = "tokenweave_test_port";
    EXPECT_EQ('/', path[0]);
#endif
    ASSERT_GE(length, name.size());
    EXPECT_EQ(name, std::string(path + length - name.size()));

    char again[MAX_PATH];
    EXPECT_EQ(length, GetModuleFileNameA(GetModuleHandleA(nullptr), again, sizeof again));
    EXPECT_STREQ(path, again);
}

TEST(ModuleFile, CutsToSize) {
    char full[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, full, sizeof full), 4u);
    char small[8];
    memset(small, '#', sizeof small);
    EXPECT_EQ(4u, GetModuleFileNameA(nullptr, small, 5));
    EXPECT_EQ(std::string(full, 4), std::string(small));
    EXPECT_EQ('#', small[5]);
    EXPECT_EQ(0u, GetModuleFileNameA(nullptr, small, 0));
    EXPECT_EQ('#', small[5]);
}

TEST(ModuleHandle, OnlyTheExecutable) {
    EXPECT_NE(nullptr, GetModuleHandleA(nullptr));
    EXPECT_EQ(GetModuleHandleA(nullptr), GetModuleHandleA(nullptr));
    EXPECT_EQ(nullptr, GetModuleHandleA("other.dll"));
    char path[MAX_PATH];
    int unknown = 0;
    EXPECT_EQ(0u, GetModuleFileNameA(reinterpret_cast<HMODULE>(&unknown), path, sizeof path));
}

TEST(StringPointer, OnlyNullIsBad) {
    EXPECT_TRUE(IsBadStringPtrA(nullptr, 10));
    EXPECT_FALSE(IsBadStringPtrA("cell", 10));
    EXPECT_FALSE(IsBadStringPtrA("", static_cast<UINT_PTR>(-1)));
}

}  // namespace
