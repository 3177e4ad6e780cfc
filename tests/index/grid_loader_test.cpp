// Result grids and recordsets as the index sees them: which cells a
// reference records, numbered how, and what a missing or damaged grid
// source costs (the grid, never the rest of the scan).

#include "index/grid_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "index/analyser_access.h"
#include "index/correlation_index.h"
#include "index_dump.h"

namespace {

using tw_test::DumpOccurrences;
using tw_test::TestProject;

typedef std::vector<std::pair<std::string, std::string>> ProjectFiles;

// Grid 1 has an empty cell, grid 2 one value, grid 3 no rows.
const char GRIDS[] =
    "# result grids of the recording\n"
    "[grid 1]\nA,B,C\n1,,3\n4,5,6\n"
    "[grid 2]\nX\n42\n"
    "[grid 3]\nEMPTY\n";
const ProjectFiles GRID_FILES = {{"session.rdf", GRIDS}, {"session.grd", "1\n2\n3\n"}};

struct GridCase {
    const char *name;
    ProjectFiles files;
    const char *grid_type;  // the GridType setting; null: no grid-settings file
    std::string script;
    std::string expected;
};

std::ostream &operator<<(std::ostream &out, const GridCase &c) {
    return out << c.name;
}

std::string OccurrencesOf(const GridCase &c) {
    TestProject project;
    for (const auto &[name, contents] : c.files) {
        project.add_file(name, contents);
    }
    project.add_action("a.c", c.script);
    tw_test::BuildOptions options;
    if (c.grid_type != nullptr) {
        project.add_file("grid.ini", std::string("[Quill]\nGridType=") + c.grid_type + "\n");
        options.grid_settings = project.file("grid.ini");
    }
    if (project.build_index(options) != 0) {
        return "!! BuildIndex failed\n";
    }
    return DumpOccurrences(project.index());
}

class GridLoaderTest : public ::testing::TestWithParam<GridCase> {};

TEST_P(GridLoaderTest, RecordsExactlyTheExpectedCells) {
    EXPECT_EQ(OccurrencesOf(GetParam()), GetParam().expected);
}

std::string Recordset(const std::string &rows) {
    return "<xml xmlns:s=\"uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882\"\n"
           "\txmlns:dt=\"uuid:C2F41010-65B3-11d1-A29F-00AA00C14882\"\n"
           "\txmlns:rs=\"urn:schemas-microsoft-com:rowset\"\n"
           "\txmlns:z=\"#RowsetSchema\">\n"
           "<s:Schema id=\"RowsetSchema\">\n"
           "\t<s:ElementType name=\"row\" content=\"eltOnly\">\n"
           "\t\t<s:AttributeType name=\"ID\" rs:number=\"1\" rs:nullable=\"true\"/>\n"
           "\t\t<s:AttributeType name=\"NAME\" rs:number=\"2\"/>\n"
           "\t</s:ElementType>\n"
           "</s:Schema>\n"
           "<rs:data>\n" +
           rows + "</rs:data>\n</xml>\n";
}

const std::string RECORDSET_SCRIPT =
    "{\nsqx_fetch(C, 1, RECORDSET_XML(3));\nsqx_fetch(C, 1, RECORDSET_XML(4));\n"
    "sqx_assign(C, \"v\");\n}\n"
    "/* RECORDSET 3\n" +
    Recordset(
        "<z:row ID=\"1\" NAME=\"a &amp; b &lt;c&gt;\"/>\n"
        "<z:row NAME=\"Gr\xc3\xbc\xc3\x9f"
        "e\"/>\n") +
    "*/\n/* RECORDSET 4\n<xml><broken\n*/\n";

const GridCase GRID_CASES[] = {
    // Columns are numbered among the cells of their row that hold data.
    {"ReferenceFormsRowsAndColumns", GRID_FILES, nullptr,
     "{\nGRID(2);\nGRID 2;\nGRID1(2);\nGRID12;\nGRID(1 2);\n}\n",
     "1 out a.c:6 5 [1,1,1]\n3 out a.c:6 5 [1,1,2]\n4 out a.c:6 5 [1,2,1]\n"
     "42 out a.c:2 5 [2,1,1]\n42 out a.c:3 5 [2,1,1]\n42 out a.c:4 5 [2,1,1]\n"
     "42 out a.c:6 5 [2,1,1]\n5 out a.c:6 5 [1,2,2]\n6 out a.c:6 5 [1,2,3]\n"},
    {"GridParenthesesAreNotCounted", GRID_FILES, nullptr,
     "{\nsqx_fetch(C, 1, GRID(2));\nsqx_assign(C, \"v\");\n}\n",
     "42 out a.c:2 5 [2,1,1]\nv in a.c:3 2\n"},
    {"LiteralOnTheLineOfAGridWithTheSameValueIsRecorded", GRID_FILES, nullptr,
     "{\nGRID(2); sqx_assign(C, \"42\");\n}\n", "42 out a.c:2 5 [2,1,1]\n42 in a.c:2 2\n"},
    {"GridWordInsideAStringLoadsTheGrid", GRID_FILES, nullptr, "{ s = \"GRID(2)\"; }",
     "42 out a.c:1 5 [2,1,1]\n"},
    {"OnlyTheFirstResultFileInByteOrderIsRead",
     {{"b.rdf", "[grid 2]\nX\n43\n"}, {"a.rdf", "[grid 2]\nX\n42\n"}, {"a.grd", ""}},
     nullptr,
     "{ GRID(2); }",
     "42 out a.c:1 5 [2,1,1]\n"},
    {"MissingGridIndexSkipsTheGridNotTheScan",
     {{"session.rdf", GRIDS}},
     nullptr,
     "{ GRID(2); sqx_assign(C, \"v\"); }",
     "v in a.c:1 2\n"},
    {"MissingResultFileSkipsTheGridNotTheScan",
     {{"session.grd", ""}},
     nullptr,
     "{ GRID(2); sqx_assign(C, \"v\"); }",
     "v in a.c:1 2\n"},
    {"UnknownEmptyAndHugeGridNumbersRecordNothing", GRID_FILES, nullptr,
     "{ GRID(7); GRID(3); GRID(99999999999); sqx_assign(C, \"v\"); }", "v in a.c:1 2\n"},
    {"GridTypeOneReadsTabSeparatedValues",
     {{"session.rdf", "[grid 1]\nA\tB\nx,y\tz\n"}, {"session.grd", ""}},
     "1",
     "{ GRID(1); }",
     "x,y out a.c:1 5 [1,1,1]\nz out a.c:1 5 [1,1,2]\n"},
    {"GridTypeWithTrailingLettersIsAnUnknownType", GRID_FILES, "12abc",
     "{ GRID(2); sqx_assign(C, \"v\"); }", "v in a.c:1 2\n"},
    {"RecordsetsAbsentAttributesEscapesAndUtf8BadXmlLosesOnlyItself",
     {},
     nullptr,
     RECORDSET_SCRIPT,
     "1 out a.c:2 8 [3,1,1]\nGr\\xc3\\xbc\\xc3\\x9fe out a.c:2 8 [3,2,1]\n"
     "a & b <c> out a.c:2 8 [3,1,2]\nv in a.c:4 2\n"},
};
INSTANTIATE_TEST_SUITE_P(, GridLoaderTest, ::testing::ValuesIn(GRID_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

// Damaged grid sources: whatever cells the library makes of them, the scan
// goes on past the reference.
TEST(GridLoaderBadInputTest, DamagedSourcesNeverStopTheScan) {
    std::string garbage;
    unsigned state = 12345;
    for (int i = 0; i < 4096; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += static_cast<char>(state >> 16);
    }
    const std::pair<const char *, ProjectFiles> sources[] = {
        {"EmptyResultFile", {{"s.rdf", ""}, {"s.grd", ""}}},
        {"TruncatedHeader", {{"s.rdf", "[grid 2"}, {"s.grd", ""}}},
        {"TruncatedQuotedCell", {{"s.rdf", "[grid 2]\nX\n\"42"}, {"s.grd", ""}}},
        {"BinaryResultFile", {{"s.rdf", "[grid 2]\n" + garbage}, {"s.grd", garbage}}},
        {"NulBytesInACell", {{"s.rdf", tw_test::Bytes("[grid 2]\nX\n4\0002\n")}, {"s.grd", ""}}},
    };
    for (const auto &[name, files] : sources) {
        GridCase c{name, files, nullptr, "{ GRID(2); RECORDSET_XML(1); sqx_assign(C, \"v\"); }",
                   ""};
        EXPECT_NE(OccurrencesOf(c).find("v in a.c:1 2\n"), std::string::npos) << name;
    }
    const std::pair<const char *, std::string> recordsets[] = {
        {"UnclosedComment", "/* RECORDSET 1\n" + Recordset("<z:row ID=\"1\"/>\n").substr(0, 200)},
        {"BinaryRecordset", "/* RECORDSET 1\n" + garbage + "\n*/\n"},
        {"RecordsetNumberTooBig", "/* RECORDSET 99999999999\n" + Recordset("") + "*/\n"},
    };
    for (const auto &[name, recordset] : recordsets) {
        GridCase c{
            name, {}, nullptr, "{ RECORDSET_XML(1); sqx_assign(C, \"v\"); }\n" + recordset, ""};
        EXPECT_NE(OccurrencesOf(c).find("v in a.c:1 2\n"), std::string::npos) << name;
    }
}

TEST(GridLoaderBadInputTest, TenMegabyteCellIsOneValue) {
    const size_t CELL_SIZE = 10 * 1024 * 1024;
    TestProject project;
    project.add_file("s.rdf", "[grid 2]\nX\n" + std::string(CELL_SIZE, '7') + "\n")
        .add_file("s.grd", "")
        .add_action("a.c", "{ GRID(2); sqx_assign(C, \"v\"); }");
    ASSERT_EQ(project.build_index(), 0);
    const token_instances_t *cell =
        find_token_instances(project.index(), std::string(CELL_SIZE, '7').c_str());
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->length, static_cast<int>(CELL_SIZE));
    EXPECT_EQ(cell->output_count, 1);
    EXPECT_NE(find_token_instances(project.index(), "v"), nullptr);
}

TEST(GridLoaderBadInputTest, DirectoryTooLongForAPathBufferSkipsTheGrid) {
    std::string deep;
    while (deep.size() < GRID_PATH_SIZE) {
        deep += std::string(60, 'd') + "/";
    }
    TestProject project;
    for (const auto &[name, contents] : GRID_FILES) {
        project.add_file(deep + name, contents);
    }
    project.add_file(deep + "a.c", "{ GRID(2); sqx_assign(C, \"v\"); }")
        .list_action("deep", deep + "a.c");
    ASSERT_EQ(project.build_index(), 0);
    EXPECT_EQ(DumpOccurrences(project.index()), "v in a.c:1 2\n");
}

// The files a directory holds are looked up once per run of references in
// it, so each action file must still read its own directory's files, also
// after another directory was searched and when that search found nothing.
TEST(GridLoaderDirectoryTest, EachActionFileReadsItsOwnDirectorysFiles) {
    TestProject project;
    project.add_file("one/s.rdf", "[grid 2]\nX\none\n")
        .add_file("one/s.grd", "")
        .add_file("two/s.rdf", "[grid 2]\nX\ntwo\n")
        .add_file("three/s.rdf", "[grid 2]\nX\nthree\n")
        .add_file("three/s.grd", "");
    const std::pair<const char *, const char *> actions[] = {
        {"one/a.c", "{ GRID(2); GRID(2); }"}, {"two/b.c", "{ GRID(2); }"},
        {"one/c.c", "{ GRID(2); }"},          {"three/d.c", "{ GRID(2); }"},
        {"two/e.c", "{ GRID(2); }"},
    };
    for (const auto &[path, script] : actions) {
        project.add_file(path, script).list_action(path, path);
    }
    ASSERT_EQ(project.build_index(), 0);
    EXPECT_EQ(DumpOccurrences(project.index()),
              "one out a.c:1 5 [2,1,1]\none out a.c:1 5 [2,1,1]\none out c.c:1 5 [2,1,1]\n"
              "three out d.c:1 5 [2,1,1]\n");
}

// Rows wider than the loader looks up at once: every cell keeps its column
// among the row's cells with data, and one value's cells stay in row and
// column order.
TEST(GridLoaderBadInputTest, WideRowsKeepColumnsAndOrder) {
    const int COLUMNS = 75;
    const int EMPTY_COLUMN = 40;
    std::string header, first, second, expected_first, expected_same;
    for (int c = 1; c <= COLUMNS; ++c) {
        const char *separator = c < COLUMNS ? "," : "\n";
        header += "C" + std::to_string(c) + separator;
        second += std::string("same") + separator;
        expected_same += "same out a.c:1 5 [2,2," + std::to_string(c) + "]\n";
        if (c == EMPTY_COLUMN) {
            first += separator;
            continue;
        }
        first += "v" + std::to_string(c) + separator;
        int column = c < EMPTY_COLUMN ? c : c - 1;
        expected_first +=
            "v" + std::to_string(c) + " out a.c:1 5 [2,1," + std::to_string(column) + "]\n";
    }
    TestProject project;
    project.add_file("s.rdf", "[grid 2]\n" + header + first + second)
        .add_file("s.grd", "")
        .add_action("a.c", "{ GRID(2); }");
    ASSERT_EQ(project.build_index(), 0);
    std::string dump = DumpOccurrences(project.index());
    EXPECT_NE(dump.find(expected_same), std::string::npos) << dump;
    for (size_t start = 0, end; (end = expected_first.find('\n', start)) != std::string::npos;
         start = end + 1) {
        std::string line = expected_first.substr(start, end - start + 1);
        EXPECT_NE(dump.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 2 * COLUMNS - 1);
}

TEST(GridCancellationTest, CancelledScanLoadsNoFurtherGrid) {
    TestProject project;
    for (const auto &[name, contents] : GRID_FILES) {
        project.add_file(name, contents);
    }
    project.add_action("a.c", "{ sqx_assign(C, \"v\");\nGRID(2); }\n/* RECORDSET 1\n" +
                                  Recordset("<z:row ID=\"1\"/>\n") + "*/\n");
    tw_test::BuildOptions options;
    options.callback = [](void *, float) { return -1; };
    ASSERT_EQ(project.build_index(options), 0);
    EXPECT_EQ(DumpOccurrences(project.index()), "");

    set_current_analyser(project.analyser());
    const char *path = project.index()->file_paths[0];
    EXPECT_EQ(load_grid(2, 2, path), -1);
    EXPECT_EQ(load_recordset(1, 2, path), -1);
    set_current_analyser(nullptr);
    EXPECT_EQ(DumpOccurrences(project.index()), "");
}

TEST(GridTypeSettingTest, LeadingDigitsOfTheSettingOrZero) {
    tw_test::TempDir dir;
    const std::pair<const char *, int> settings[] = {
        {"[Quill]\nGridType=12abc\n", 12}, {"[Quill]\nGridType=1\n", 1},
        {"[Quill]\nGridType= 7\n", 7},     {"[Quill]\nGridType=abc\n", 0},
        {"[Quill]\nOther=1\n", 0},         {"[Other]\nGridType=1\n", 0},
    };
    for (const auto &[text, grid_type] : settings) {
        EXPECT_EQ(read_grid_type(dir.write("grid.ini", text).c_str()), grid_type) << text;
    }
    EXPECT_EQ(read_grid_type(dir.file("missing.ini").c_str()), 0);
    EXPECT_EQ(read_grid_type(""), 0);
}

}  // namespace
