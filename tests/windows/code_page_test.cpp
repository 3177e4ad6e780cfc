// Double-byte text under a Japanese ANSI code page (ctest runs this program
// with a Japanese locale, which gives code page 932): the library finds the
// code page double-byte by itself, with no test setting the charset type.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "index_dump.h"
#include "platlib/platlib.h"
#include "test_project.h"

namespace {

const UINT SHIFT_JIS_CODE_PAGE = 932;

TEST(JapaneseCodePage, IsReadAsDoubleByte) {
    ASSERT_EQ(SHIFT_JIS_CODE_PAGE, GetACP()) << "run this program with LC_ALL=ja_JP.SJIS";
    EXPECT_EQ(2, xeOsCharsetType);
    const struct {
        int byte;
        bool lead;
    } cases[] = {{0x81, true},  {0x83, true},  {0x9F, true},  {0xE0, true},  {0xFC, true},
                 {0x80, false}, {0xA0, false}, {0xB1, false}, {0xFD, false}, {'\\', false}};
    for (const auto &c : cases) {
        EXPECT_EQ(c.lead, os_is_lead_byte(c.byte) != 0) << c.byte;
    }
}

TEST(JapaneseCodePage, TrailBackslashDoesNotEndAValueString) {
    ASSERT_EQ(SHIFT_JIS_CODE_PAGE, GetACP());
    tw_test::TestProject project;
    project.add_action("a.c",
                       "{ sqx_assign_bind(Csr1, \":1\", \"\x83\x5c\", 0); "
                       "sqx_assign_bind(Csr1, \":2\", \"B2\", 0); }");
    ASSERT_EQ(0, project.build_index());
    EXPECT_EQ("B2 in a.c:1 3\n\\x83\\ in a.c:1 3\n", tw_test::DumpOccurrences(project.index()));
}

}  // namespace
