// Column names of a selected grid: from the column-name line of result-data
// files (quoting as for cells) and from the schema of recordsets.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rowbank/rowbank.h"
#include "test_support.h"

namespace {

const char RECORDSET[] =
    "/* RECORDSET 3\n"
    "<xml xmlns:s=\"uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882\" "
    "xmlns:rs=\"urn:schemas-microsoft-com:rowset\" xmlns:z=\"#RowsetSchema\">\n"
    "<s:Schema id=\"RowsetSchema\"><s:ElementType name=\"row\">\n"
    "<s:AttributeType name=\"ORDER_ID\"/><s:AttributeType/>"
    "<s:AttributeType name=\"A&amp;B\"/>\n"
    "</s:ElementType></s:Schema>\n"
    "<rs:data><z:row ORDER_ID=\"1\"/></rs:data></xml>\n*/\n";

// The names of grid's columns, or the text "no table" when it cannot be
// selected.
std::vector<std::string> column_names(const std::string &path, int type, int grid) {
    FI_GRID_HANDLE handle = nullptr;
    std::vector<std::string> names;
    if (fiGridOpenFile(&handle, type, path.c_str()) != 0 ||
        fiGridOpenTable(handle, &handle, grid) != 0) {
        fiGridCloseFile(&handle);
        return {"no table"};
    }
    int count = 0;
    fiGridGetNumOfCols(handle, &count);
    for (int column = 0; column < count; ++column) {
        const char *name = nullptr;
        EXPECT_EQ(fiGridGetColName(handle, column, &name), 0);
        names.push_back(name != nullptr ? name : "(null)");
    }
    const char *beyond = "unchanged";
    EXPECT_NE(fiGridGetColName(handle, count, &beyond), 0);
    EXPECT_EQ(beyond, nullptr);
    EXPECT_NE(fiGridGetColName(handle, -1, &beyond), 0);
    fiGridCloseFile(&handle);
    return names;
}

TEST(GridColumnNames, ComeFromTheHeaderLineOrTheSchema) {
    tw_test::TempDir dir;
    std::string csv = dir.write("g.rdf",
                                "[grid 1]\r\nID,\"NAME, FULL\",,\"SAY \"\"HI\"\"\"\r\n1,a,b,c\r\n"
                                "[grid 2]\n\n\nONLY\n");
    std::string tsv = dir.write("t.rdf", "[grid 1]\nID\tNAME\n1\tx\n");
    std::string recordset = dir.write("Action1.c", RECORDSET);
    struct {
        std::string path;
        int type;
        int grid;
        std::vector<std::string> names;
    } cases[] = {
        {csv, FI_GRID_TYPE_CSV, 1, {"ID", "NAME, FULL", "", "SAY \"HI\""}},
        {csv, FI_GRID_TYPE_CSV, 2, {"ONLY"}},
        {csv, FI_GRID_TYPE_CSV, 7, {"no table"}},
        {tsv, FI_GRID_TYPE_TSV, 1, {"ID", "NAME"}},
        {recordset, FI_GRID_TYPE_RECORDSET, 3, {"ORDER_ID", "", "A&B"}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(column_names(c.path, c.type, c.grid), c.names) << c.path << " grid " << c.grid;
    }
}

TEST(GridColumnNames, NoHandleOrNoOutputIsRefused) {
    const char *name = "unchanged";
    EXPECT_NE(fiGridGetColName(nullptr, 0, &name), 0);
    EXPECT_EQ(name, nullptr);
    EXPECT_NE(fiGridGetColName(nullptr, 0, nullptr), 0);
}

}  // namespace
