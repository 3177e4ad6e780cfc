// Reading of stored result grids.
//
// A grid source holds numbered grids; a grid is rows of text cells. Open the
// source, select one grid, then read its rows one after another and ask each
// column of the current row for its text. Every call returns 0 on success.
//
// Grid types:
//   0    result-data file (.rdf): "[grid N]" sections of comma-separated
//        values (RFC 4180 quoting)
//   1    the same with tab-separated values and no quoting
//   100  recordsets embedded in an action file: block comments
//        "/* RECORDSET N" holding one recordset persisted as rowset XML
// Any other type fails to open.

#ifndef TOKENWEAVE_PLATFORM_ROWBANK_H
#define TOKENWEAVE_PLATFORM_ROWBANK_H

struct fi_grid;
typedef fi_grid *FI_GRID_HANDLE;

enum {
    FI_GRID_TYPE_CSV = 0,
    FI_GRID_TYPE_TSV = 1,
    FI_GRID_TYPE_RECORDSET = 100
};

// Opens the grid source at path; 0 sets *handle, anything else leaves it null.
int fiGridOpenFile(FI_GRID_HANDLE *handle, int grid_type, const char *path);
// Selects grid number grid as the table the following calls read. A number the
// source does not hold selects an empty table and returns non-zero. May
// replace *handle_out (here it stores handle).
int fiGridOpenTable(FI_GRID_HANDLE handle, FI_GRID_HANDLE *handle_out, int grid);
// Stores the selected table's column count (0 when none is selected).
int fiGridGetNumOfCols(FI_GRID_HANDLE handle, int *column_count);
// row -1 moves to the next row; row >= 0 moves to that row (0 is the first).
// 0 when there is such a row, non-zero when there are no more.
int fiGridReadRowRecord(FI_GRID_HANDLE handle, int row);
// 0 when column (0-based) holds data in the current row, non-zero otherwise.
int fiGridColContainData(FI_GRID_HANDLE handle, int column);
// Points *text at the cell's zero-terminated text, valid until the next row
// is read or the source is closed. mode must be 1. Non-zero when the cell
// cannot be delivered.
int fiGridGetFieldPtr(FI_GRID_HANDLE handle, int column, int mode, char **text);
// Closes the source and sets *handle to null.
int fiGridCloseFile(FI_GRID_HANDLE *handle);

#endif  // TOKENWEAVE_PLATFORM_ROWBANK_H
