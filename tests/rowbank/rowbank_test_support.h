// Reading whole grids through the grid-file calls, for the grid-file tests.

#ifndef TOKENWEAVE_TESTS_PLATFORM_ROWBANK_TEST_SUPPORT_H
#define TOKENWEAVE_TESTS_PLATFORM_ROWBANK_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "rowbank/rowbank.h"

namespace tw_test {

// A cell's text, or nullopt when the cell holds no data.
using GridCell = std::optional<std::string>;
using GridRow = std::vector<GridCell>;

struct GridContents {
    bool file_opened = false;
    bool table_opened = false;
    int column_count = -1;
    std::vector<GridRow> rows;
};

inline bool operator==(const GridContents &a, const GridContents &b) {
    return a.file_opened == b.file_opened && a.table_opened == b.table_opened &&
           a.column_count == b.column_count && a.rows == b.rows;
}

// Reads the current row, checking that the data test and the text agree.
inline GridRow read_current_row(FI_GRID_HANDLE handle, int column_count) {
    GridRow row;
    for (int column = 0; column < column_count; ++column) {
        char *text = nullptr;
        int has_data = fiGridColContainData(handle, column);
        int delivered = fiGridGetFieldPtr(handle, column, 1, &text);
        EXPECT_EQ(has_data == 0, delivered == 0) << "column " << column;
        if (delivered == 0 && text != nullptr) {
            EXPECT_NE(text[0], '\0') << "a cell with data has text";
            row.emplace_back(std::string(text));
        } else {
            row.emplace_back(std::nullopt);
        }
    }
    return row;
}

// Opens path as grid_type, selects grid and reads every row with "next row".
inline GridContents read_grid(const std::string &path, int grid_type, int grid) {
    GridContents contents;
    FI_GRID_HANDLE handle = nullptr;
    contents.file_opened = fiGridOpenFile(&handle, grid_type, path.c_str()) == 0;
    if (!contents.file_opened) {
        EXPECT_EQ(handle, nullptr);
        return contents;
    }
    FI_GRID_HANDLE table = nullptr;
    contents.table_opened = fiGridOpenTable(handle, &table, grid) == 0;
    EXPECT_EQ(table, handle);
    fiGridGetNumOfCols(handle, &contents.column_count);
    while (fiGridReadRowRecord(handle, -1) == 0) {
        contents.rows.push_back(read_current_row(handle, contents.column_count));
    }
    fiGridCloseFile(&handle);
    EXPECT_EQ(handle, nullptr);
    return contents;
}

// An opened table with the given columns and rows.
inline GridContents opened_grid(int column_count, std::vector<GridRow> rows) {
    GridContents contents;
    contents.file_opened = true;
    contents.table_opened = true;
    contents.column_count = column_count;
    contents.rows = std::move(rows);
    return contents;
}

// What reading a grid number the source lacks gives.
inline GridContents missing_grid() {
    GridContents contents = opened_grid(0, {});
    contents.table_opened = false;
    return contents;
}

inline std::ostream &operator<<(std::ostream &out, const GridContents &contents) {
    out << "{file " << (contents.file_opened ? "open" : "failed") << ", table "
        << (contents.table_opened ? "open" : "failed") << ", columns " << contents.column_count
        << ", rows [";
    for (const GridRow &row : contents.rows) {
        out << "[";
        for (const GridCell &cell : row) {
            out << (cell ? "\"" + *cell + "\"" : std::string("-")) << " ";
        }
        out << "]";
    }
    return out << "]}";
}

}  // namespace tw_test

#endif  // TOKENWEAVE_TESTS_PLATFORM_ROWBANK_TEST_SUPPORT_H
