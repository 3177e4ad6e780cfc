// Truncated, oversized, binary and malformed grid sources: never a crash or a
// hang, and what is intact still reads.

#include <gtest/gtest.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "rowbank/rowbank.h"
#include "rowbank_test_support.h"
#include "test_support.h"

namespace {

using tw_test::GridContents;
using tw_test::missing_grid;
using tw_test::opened_grid;
using tw_test::read_grid;

constexpr size_t TEN_MEGABYTES = 10 * 1024 * 1024;

const char XML_HEAD[] =
    "<xml xmlns:s=\"uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882\" "
    "xmlns:rs=\"urn:schemas-microsoft-com:rowset\" xmlns:z=\"#RowsetSchema\">"
    "<s:Schema><s:ElementType><s:AttributeType name=\"A\"/><s:AttributeType name=\"B\"/>"
    "</s:ElementType></s:Schema>\n<rs:data>\n";

std::string recordset_comment(int number, const std::string &rows) {
    return "/* RECORDSET " + std::to_string(number) + "\n" + XML_HEAD + rows +
           "</rs:data>\n</xml>\n*/\n";
}

// The bytes of a literal, NUL bytes included.
template <size_t N>
std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

// Small deterministic generator, so a failure can be replayed.
struct Lcg {
    uint32_t state;
    uint32_t next() { return state = state * 1664525u + 1013904223u; }
};

// Reads grids 0 to 3 of path as grid_type; the helper checks that every
// delivered cell is consistent. Returns how many rows were read.
size_t read_every_small_grid(const std::string &path, int grid_type) {
    size_t rows_read = 0;
    for (int grid = 0; grid < 4; ++grid) {
        GridContents contents = read_grid(path, grid_type, grid);
        EXPECT_TRUE(contents.file_opened);
        if (!contents.table_opened) {
            EXPECT_EQ(contents, missing_grid()) << "a failed table is empty";
        }
        for (const tw_test::GridRow &row : contents.rows) {
            EXPECT_EQ(static_cast<int>(row.size()), contents.column_count);
        }
        rows_read += contents.rows.size();
    }
    return rows_read;
}

TEST(GridBadInput, EveryTruncationOfResultDataKeepsCompleteGrids) {
    const std::string first = "[grid 1]\r\nid,\"na,me\"\r\n1,\"a \"\"b\"\"\nc\"\r\n2,,x\r\n";
    const std::string next_header = "[grid 2]";
    const std::string whole = first + next_header + "\nk\n\"unterminated\n";
    tw_test::TempDir dir;
    GridContents complete_first = opened_grid(2, {{"1", "a \"b\"\nc"}, {"2", std::nullopt}});
    std::string path = dir.file("results.rdf");
    for (size_t length = 0; length <= whole.size(); ++length) {
        dir.write("results.rdf", whole.substr(0, length));
        read_every_small_grid(path, FI_GRID_TYPE_CSV);
        // Until the next header line is whole, its start is a row of grid 1.
        if (length >= first.size() + next_header.size()) {
            EXPECT_EQ(read_grid(path, FI_GRID_TYPE_CSV, 1), complete_first) << length;
        }
    }
}

TEST(GridBadInput, EveryTruncationOfAnActionFileKeepsCompleteRecordsets) {
    const std::string first =
        "void f() { char *s = \"x\"; }\n" + recordset_comment(1, "<z:row A=\"a&#42;\" B=\"b\"/>\n");
    const std::string whole = first + recordset_comment(2, "<z:row A=\"2\"/>\n");
    tw_test::TempDir dir;
    std::string path = dir.file("Action.c");
    for (size_t length = 0; length <= whole.size(); ++length) {
        dir.write("Action.c", whole.substr(0, length));
        read_every_small_grid(path, FI_GRID_TYPE_RECORDSET);
        if (length >= first.size()) {
            EXPECT_EQ(read_grid(path, FI_GRID_TYPE_RECORDSET, 1), opened_grid(2, {{"a*", "b"}}))
                << length;
        }
    }
}

TEST(GridBadInput, BinaryGarbageIsReadWithoutHarm) {
    const char *const pieces[] = {"[grid 1]\n", "[grid 2]\r\n", "/* RECORDSET 1\n", "*/", "\"", ",",
                                  "\t",         "\n",           "<z:row A=\""};
    const size_t piece_count = sizeof pieces / sizeof pieces[0];
    tw_test::TempDir dir;
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        Lcg random = {seed};
        std::string garbage;
        while (garbage.size() < 32 * 1024) {
            uint32_t pick = random.next() >> 8;
            if (pick % 8 == 0) {
                garbage += pieces[(pick / 8) % piece_count];
            } else {
                garbage += static_cast<char>(pick & 0xFF);
            }
        }
        garbage += std::string(16, '\0');
        std::string path = dir.write("garbage.bin", garbage);
        EXPECT_GT(read_every_small_grid(path, FI_GRID_TYPE_CSV), 0u) << seed;
        EXPECT_GT(read_every_small_grid(path, FI_GRID_TYPE_TSV), 0u) << seed;
        read_every_small_grid(path, FI_GRID_TYPE_RECORDSET);
    }
}

TEST(GridBadInput, TenMegabyteQuotedCell) {
    std::string cell;
    cell.reserve(TEN_MEGABYTES);
    const std::string chunk = "abc,def\r\n\"\"ghi\"\"\n[grid 2]\n";
    while (cell.size() < TEN_MEGABYTES) {
        cell += chunk;
    }
    // As written: quotes doubled; a header-shaped line inside the quotes
    // would end the grid, so keep that one out of the file's line starts.
    std::string written;
    std::string expected;
    for (size_t i = 0; i < cell.size(); ++i) {
        char c = cell[i];
        if (c == '[') {
            c = '(';
        }
        expected += c;
        written += c;
        if (c == '"') {
            written += '"';
        }
    }
    tw_test::TempDir dir;
    std::string path = dir.write("big.rdf", "[grid 1]\nbig,after\n\"" + written + "\",x\n");
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_CSV, 1), opened_grid(2, {{expected, "x"}}));
}

TEST(GridBadInput, TenMegabyteTabCellAndAttribute) {
    std::string value(TEN_MEGABYTES, 'v');
    tw_test::TempDir dir;
    std::string tab_path = dir.write("big.rdf", "[grid 1]\na\tb\n" + value + "\ty");
    EXPECT_EQ(read_grid(tab_path, FI_GRID_TYPE_TSV, 1), opened_grid(2, {{value, "y"}}));
    std::string action_path =
        dir.write("Action.c", recordset_comment(3, "<z:row B=\"" + value + "\"/>"));
    EXPECT_EQ(read_grid(action_path, FI_GRID_TYPE_RECORDSET, 3),
              opened_grid(2, {{std::nullopt, value}}));
}

TEST(GridBadInput, ManyColumnsAndManyShortRows) {
    const int column_count = 100000;
    std::string names(column_count - 1, ',');
    std::string rows;
    for (int row = 0; row < 1000; ++row) {
        rows += std::to_string(row) + "\n";
    }
    tw_test::TempDir dir;
    std::string path = dir.write("wide.rdf", "[grid 1]\n" + names + "\n" + rows);
    FI_GRID_HANDLE handle = nullptr;
    ASSERT_EQ(fiGridOpenFile(&handle, FI_GRID_TYPE_CSV, path.c_str()), 0);
    ASSERT_EQ(fiGridOpenTable(handle, &handle, 1), 0);
    int columns = 0;
    fiGridGetNumOfCols(handle, &columns);
    EXPECT_EQ(columns, column_count);
    ASSERT_EQ(fiGridReadRowRecord(handle, 999), 0);
    char *text = nullptr;
    ASSERT_EQ(fiGridGetFieldPtr(handle, 0, 1, &text), 0);
    EXPECT_STREQ(text, "999");
    EXPECT_NE(fiGridColContainData(handle, column_count - 1), 0);
    fiGridCloseFile(&handle);
}

TEST(GridBadInput, DeeplyNestedXmlIsReadWithoutCrashing) {
    const int depth = 200000;
    std::string nested;
    for (int i = 0; i < depth; ++i) {
        nested += "<s:ElementType>";
    }
    for (int i = 0; i < depth; ++i) {
        nested += "</s:ElementType>";
    }
    tw_test::TempDir dir;
    std::string path =
        dir.write("Action.c", recordset_comment(1, "<z:row A=\"1\">" + nested + "</z:row>\n") +
                                  "/* RECORDSET 2\n<xml>" + nested + "*/");
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_RECORDSET, 1), opened_grid(2, {{"1", std::nullopt}}));
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_RECORDSET, 2), missing_grid());
}

TEST(GridBadInput, EntityDefinitionsAreNotExpanded) {
    std::string doctype = "<!DOCTYPE xml [<!ENTITY a \"aaaaaaaaaa\">";
    for (int level = 1; level < 10; ++level) {
        std::string previous = "&e" + std::to_string(level - 1) + ";";
        if (level == 1) {
            previous = "&a;";
        }
        std::string expansion;
        for (int i = 0; i < 10; ++i) {
            expansion += previous;
        }
        doctype += "<!ENTITY e" + std::to_string(level) + " \"" + expansion + "\">";
    }
    doctype += "]>\n";
    tw_test::TempDir dir;
    std::string path =
        dir.write("Action.c", "/* RECORDSET 1\n" + doctype + XML_HEAD +
                                  "<z:row A=\"&e9;\" B=\"b\"/></rs:data></xml>\n*/\n");
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_RECORDSET, 1), opened_grid(2, {{"&e9;", "b"}}));
}

TEST(GridBadInput, FilesOfOnlyLineBreaksOrNulBytes) {
    tw_test::TempDir dir;
    for (const std::string &contents :
         {std::string(), std::string("\n\n\r\n\r"), std::string(4096, '\0'),
          bytes("[grid 1]\n\0\0\n"), std::string("\r")}) {
        std::string path = dir.write("odd.rdf", contents);
        read_every_small_grid(path, FI_GRID_TYPE_CSV);
        read_every_small_grid(path, FI_GRID_TYPE_RECORDSET);
    }
    // Not "nul.rdf": on Windows that name is the null device.
    std::string path = dir.write("nuls.rdf", bytes("[grid 1]\n\0\0\nx\n"));
    EXPECT_EQ(read_grid(path, FI_GRID_TYPE_CSV, 1), opened_grid(1, {{"x"}}));
}

}  // namespace
