// Result-data files (grid types 0 and 1): records, quoting, grid headers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rowbank/rowbank.h"
#include "rowbank_test_support.h"
#include "test_support.h"

namespace {

using tw_test::GridContents;
using tw_test::GridRow;
using tw_test::missing_grid;
using tw_test::opened_grid;
using tw_test::read_grid;

const std::nullopt_t NO_DATA = std::nullopt;

// The bytes of a literal, NUL bytes included.
template <size_t N>
std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

struct RdfCase {
    const char *name;
    int grid_type;
    std::string file;
    int grid;
    GridContents expected;
};

std::ostream &operator<<(std::ostream &out, const RdfCase &c) {
    return out << c.name;
}

class RdfCaseTest : public ::testing::TestWithParam<RdfCase> {};

TEST_P(RdfCaseTest, ReadsTheGridAsExpected) {
    const RdfCase &c = GetParam();
    tw_test::TempDir dir;
    std::string path = dir.write("results.rdf", c.file);
    EXPECT_EQ(read_grid(path, c.grid_type, c.grid), c.expected);
}

const RdfCase RFC_4180_CASES[] = {
    {"QuotedFieldHoldsSeparators", FI_GRID_TYPE_CSV, "[grid 1]\na,b\n\"x,y\",z\n", 1,
     opened_grid(2, {{"x,y", "z"}})},
    {"DoubledQuoteIsOneQuote", FI_GRID_TYPE_CSV, "[grid 1]\na,b\n\"say \"\"hi\"\"\",\"\"\"\"\n", 1,
     opened_grid(2, {{"say \"hi\"", "\""}})},
    {"LineBreakInsideQuotes", FI_GRID_TYPE_CSV, "[grid 1]\na,b\n\"line1\nline2\",b\n2,3\n", 1,
     opened_grid(2, {{"line1\nline2", "b"}, {"2", "3"}})},
    {"CrLfEndsRecordsAndIsKeptInsideQuotes", FI_GRID_TYPE_CSV,
     "[grid 1]\r\na,b\r\n1,2\r\n\"x\r\ny\",\"q\"\r\n", 1,
     opened_grid(2, {{"1", "2"}, {"x\r\ny", "q"}})},
    {"FinalLineWithoutLineBreak", FI_GRID_TYPE_CSV, "[grid 1]\na,b\n1,2", 1,
     opened_grid(2, {{"1", "2"}})},
    {"UnterminatedQuoteRunsToEndOfFile", FI_GRID_TYPE_CSV, "[grid 1]\na,b\n1,\"open\nmore,x\n", 1,
     opened_grid(2, {{"1", "open\nmore,x"}})},
    {"UnterminatedQuoteWithoutFinalLineBreak", FI_GRID_TYPE_CSV, "[grid 1]\na,b\n1,\"open", 1,
     opened_grid(2, {{"1", "open"}})},
    {"HeaderInsideUnterminatedQuoteEndsTheGrid", FI_GRID_TYPE_CSV,
     "[grid 1]\na,b\n1,\"open\r\n[grid 2]\nc\nfine\n", 1, opened_grid(2, {{"1", "open"}})},
    {"GridAfterUnterminatedQuoteIsIntact", FI_GRID_TYPE_CSV,
     "[grid 1]\na,b\n1,\"open\r\n[grid 2]\nc\nfine\n", 2, opened_grid(1, {{"fine"}})},
    {"TextAfterClosingQuoteIsKept", FI_GRID_TYPE_CSV, "[grid 1]\na,b\n\"ab\"cd,e\n", 1,
     opened_grid(2, {{"abcd", "e"}})},
    {"QuoteInsideUnquotedFieldIsLiteral", FI_GRID_TYPE_CSV, "[grid 1]\na,b\nab\"c,d\n", 1,
     opened_grid(2, {{"ab\"c", "d"}})},
    {"BlanksAreData", FI_GRID_TYPE_CSV, "[grid 1]\na,b\n x , \n", 1,
     opened_grid(2, {{" x ", " "}})},
    {"QuotedColumnNamesCount", FI_GRID_TYPE_CSV, "[grid 1]\n\"a,b\",\"c\nd\"\n1,2\n", 1,
     opened_grid(2, {{"1", "2"}})},
};
INSTANTIATE_TEST_SUITE_P(Rfc4180, RdfCaseTest, ::testing::ValuesIn(RFC_4180_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

const RdfCase CELL_CASES[] = {
    {"EmptyAndMissingCellsHoldNoData", FI_GRID_TYPE_CSV,
     "[grid 1]\na,b,c\n1,,\n,2\n4\n\"\",\"\",5\n", 1,
     opened_grid(3, {{"1", NO_DATA, NO_DATA},
                     {NO_DATA, "2", NO_DATA},
                     {"4", NO_DATA, NO_DATA},
                     {NO_DATA, NO_DATA, "5"}})},
    {"FieldsBeyondColumnCountAreIgnored", FI_GRID_TYPE_CSV, "[grid 1]\na,b\n1,2,3,\"4\n5\"\n6,7\n",
     1, opened_grid(2, {{"1", "2"}, {"6", "7"}})},
    {"EmptyLinesAreSkipped", FI_GRID_TYPE_CSV, "[grid 1]\n\n\r\na,b\n\n1,2\r\n\r\n3,4\n\n", 1,
     opened_grid(2, {{"1", "2"}, {"3", "4"}})},
    {"GridWithoutRows", FI_GRID_TYPE_CSV, "[grid 1]\na,b\n[grid 2]\nc\n1\n", 1, opened_grid(2, {})},
    {"GridWithoutColumnLine", FI_GRID_TYPE_CSV, "[grid 1]\n[grid 2]\nc\n1\n", 1,
     opened_grid(0, {})},
    {"NulByteEndsTheCellText", FI_GRID_TYPE_CSV, bytes("[grid 1]\na,b,c\nab\0cd,\0x,y\n"), 1,
     opened_grid(3, {{"ab", NO_DATA, "y"}})},
    {"TabTypeSplitsAtTabsAndDoesNotQuote", FI_GRID_TYPE_TSV,
     "[grid 1]\r\na\tb\r\n\"x\ty\"\tz\r\n,1\t\r\n", 1,
     opened_grid(2, {{"\"x", "y\""}, {",1", NO_DATA}})},
    {"BytesPassUnchanged", FI_GRID_TYPE_CSV, "[grid 1]\na,b\n\xC3\xBC\xE2\x82\xAC,\x82\xA0\xFF\n",
     1, opened_grid(2, {{"\xC3\xBC\xE2\x82\xAC", "\x82\xA0\xFF"}})},
};
INSTANTIATE_TEST_SUITE_P(Cells, RdfCaseTest, ::testing::ValuesIn(CELL_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

const std::string TWO_GRIDS = "[grid 1]\nx\none\n[grid 2]\ny\ntwo\n";

const RdfCase HEADER_CASES[] = {
    {"BlanksAroundNumberAndInsideBrackets", FI_GRID_TYPE_CSV,
     "[grid 1]\nx\n1\n  [ grid\t 7 ]  \r\nc\n7\n", 7, opened_grid(1, {{"7"}})},
    {"NoBlankBeforeNumberAndLeadingZeros", FI_GRID_TYPE_CSV, "[grid007]\nc\n7\n", 7,
     opened_grid(1, {{"7"}})},
    {"HeaderOnLastLineWithoutLineBreak", FI_GRID_TYPE_CSV, "[grid 1]\nc\n1\n[grid 2]", 2,
     opened_grid(0, {})},
    {"LargestGridNumber", FI_GRID_TYPE_CSV, "[grid 2147483647]\nc\nmax\n", 2147483647,
     opened_grid(1, {{"max"}})},
    {"LinesThatAreNotHeadersAreRows", FI_GRID_TYPE_CSV,
     "[grid 1]\nc\n[Grid 2]\n[grid -3]\n[grid 4] x\n[grid]\n[grid 5 6]\n[grid 7\n", 1,
     opened_grid(
         1,
         {{"[Grid 2]"}, {"[grid -3]"}, {"[grid 4] x"}, {"[grid]"}, {"[grid 5 6]"}, {"[grid 7"}})},
    {"DuplicateNumberFirstWins", FI_GRID_TYPE_CSV, "[grid 3]\nc\nfirst\n[grid 3]\nc\nsecond\n", 3,
     opened_grid(1, {{"first"}})},
    {"DuplicateDoesNotSpillIntoNextGrid", FI_GRID_TYPE_CSV,
     "[grid 3]\nc\nfirst\n[grid 3]\nc\nsecond\n[grid 4]\nd\nfourth\n", 4,
     opened_grid(1, {{"fourth"}})},
    {"MissingGridNumber", FI_GRID_TYPE_CSV, TWO_GRIDS, 3, missing_grid()},
    {"NegativeGridNumber", FI_GRID_TYPE_CSV, TWO_GRIDS, -1, missing_grid()},
    {"SecondOfTwoGrids", FI_GRID_TYPE_CSV, TWO_GRIDS, 2, opened_grid(1, {{"two"}})},
    {"CommentsAndTextBeforeFirstHeaderAreIgnored", FI_GRID_TYPE_CSV,
     "# written by the recorder\n\nstray,line\n# [grid 9]\n[grid 1]\nc\n1\n", 1,
     opened_grid(1, {{"1"}})},
    {"ByteOrderMarkBeforeFirstHeader", FI_GRID_TYPE_CSV, "\xEF\xBB\xBF[grid 1]\nc\n1\n", 1,
     opened_grid(1, {{"1"}})},
    {"TabTypeUsesTheSameHeaders", FI_GRID_TYPE_TSV, "[grid 1]\na\n1\n[ grid 2 ]\nb\tc\n2\t3\n", 2,
     opened_grid(2, {{"2", "3"}})},
};
INSTANTIATE_TEST_SUITE_P(Headers, RdfCaseTest, ::testing::ValuesIn(HEADER_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

// A header whose number does not fit an int is still a header line: it ends
// the grid before it, and its own lines belong to no grid.
TEST(RdfHugeGridNumber, EndsThePreviousGridAndIsUnreachable) {
    tw_test::TempDir dir;
    std::string path = dir.write("results.rdf",
                                 "[grid 1]\nc\none\n[grid 99999999999999999999]\nd\nlost\n"
                                 "[grid 2147483648]\ne\nlost too\n[grid 2]\nf\ntwo\n");
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_CSV, 1), opened_grid(1, {{"one"}}));
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_CSV, 2), opened_grid(1, {{"two"}}));
    // What the number wraps or is cut to must not find those lines either.
    for (int grid : {0, -1, -2147483647 - 1, 1661992960, 214748364, 2147483647}) {
        EXPECT_EQ(read_grid(path, FI_GRID_TYPE_CSV, grid), missing_grid()) << grid;
    }
}

TEST(RdfOpenFile, UnknownTypesFail) {
    tw_test::TempDir dir;
    std::string path = dir.write("results.rdf", TWO_GRIDS);
    for (int type : {-1, 2, 3, 99, 101}) {
        FI_GRID_HANDLE handle = reinterpret_cast<FI_GRID_HANDLE>(&type);
        EXPECT_NE(fiGridOpenFile(&handle, type, path.c_str()), 0) << type;
        EXPECT_EQ(handle, nullptr) << type;
    }
}

TEST(RdfOpenFile, MissingAndUnreadableSourcesFail) {
    tw_test::TempDir dir;
    for (const std::string &path : {dir.file("absent.rdf"), dir.path()}) {
        FI_GRID_HANDLE handle = nullptr;
        EXPECT_NE(fiGridOpenFile(&handle, FI_GRID_TYPE_CSV, path.c_str()), 0) << path;
        EXPECT_EQ(handle, nullptr) << path;
    }
    FI_GRID_HANDLE handle = nullptr;
    EXPECT_NE(fiGridOpenFile(&handle, FI_GRID_TYPE_CSV, nullptr), 0);
    EXPECT_NE(fiGridOpenFile(nullptr, FI_GRID_TYPE_CSV, dir.file("x").c_str()), 0);
}

TEST(RdfOpenFile, AcceptsBackslashSeparatedPaths) {
    tw_test::TempDir dir;
    dir.write("sub/results.rdf", TWO_GRIDS);
    std::string windows_path = dir.path() + "\\sub\\results.rdf";
    EXPECT_EQ(read_grid(windows_path, FI_GRID_TYPE_CSV, 2), opened_grid(1, {{"two"}}));
}

}  // namespace
