// Reading of stored result grids.
//
// A grid source holds numbered grids; a grid is rows of text cells. Open the
// source, select one grid, then read its rows one after another (or by
// index) and ask each column of the current row for its text. Every call
// returns 0 on success and non-zero on failure.
//
// Grid types:
//   0    result-data file (.rdf): "[grid N]" sections of comma-separated
//        values (RFC 4180 quoting); the first line of a section names the
//        columns, each further record is a row
//   1    the same with tab-separated values and no quoting
//   100  recordsets embedded in an action file: block comments
//        "/* RECORDSET N" holding one recordset persisted as rowset XML
// Any other type fails to open.
//
// Opening a source indexes where each of its grids lies; the index is kept
// for the few most recently opened sources, so opening the same unchanged
// file again and selecting a grid reads only that grid. A cell holds data
// when its text is not empty. Texts are the file's bytes, unchanged, up to
// the first NUL byte (recordset values: UTF-8 with XML escapes resolved).
//
// A handle belongs to the caller from fiGridOpenFile until fiGridCloseFile
// and is used by one thread at a time; different handles may be used on
// different threads.

#ifndef TOKENWEAVE_ROWBANK_ROWBANK_H
#define TOKENWEAVE_ROWBANK_ROWBANK_H

struct fi_grid;
typedef fi_grid *FI_GRID_HANDLE;

enum { FI_GRID_TYPE_CSV = 0, FI_GRID_TYPE_TSV = 1, FI_GRID_TYPE_RECORDSET = 100 };

// Opens the grid source at path ('\' or '/' separated) as grid_type. 0 sets
// *handle; on failure (unknown type, missing or unreadable file) *handle is
// null. No table is selected yet.
int fiGridOpenFile(FI_GRID_HANDLE *handle, int grid_type, const char *path);
// Selects grid number grid as the table the following calls read, before
// its first row; stores handle into *handle_out (when not null). A number the
// source does not hold, or a recordset that is not well-formed rowset XML,
// selects an empty table (no columns, no rows) and returns non-zero.
int fiGridOpenTable(FI_GRID_HANDLE handle, FI_GRID_HANDLE *handle_out, int grid);
// Stores the selected table's column count (0 when none is selected, also
// for a null handle, which returns non-zero).
int fiGridGetNumOfCols(FI_GRID_HANDLE handle, int *column_count);
// row -1 moves to the row after the current one (the first after selecting a
// table); row >= 0 moves to that row (0 is the first). 0 when there is such a
// row; non-zero when there is none, which leaves no current row and makes
// the next -1 fail as well.
int fiGridReadRowRecord(FI_GRID_HANDLE handle, int row);
// 0 when column (0-based) holds data in the current row; non-zero otherwise,
// also for a column out of range or when there is no current row.
int fiGridColContainData(FI_GRID_HANDLE handle, int column);
// Points *text at the cell's zero-terminated text, valid until the next row
// is read, another table is selected or the source is closed; the text must
// not be written to. mode must be 1. Non-zero (and *text null) when the cell
// cannot be delivered: no data, column out of range, no current row.
int fiGridGetFieldPtr(FI_GRID_HANDLE handle, int column, int mode, char **text);
// Points *name at the name of column (0-based) of the selected table, from
// its column-name line or its schema: valid until another table is selected
// or the source is closed; the empty text for a column without a name.
// Non-zero (and *name null) for a column out of range or no table.
int fiGridGetColName(FI_GRID_HANDLE handle, int column, const char **name);
// Closes the source, frees the handle and sets *handle to null; does
// nothing for a null handle.
int fiGridCloseFile(FI_GRID_HANDLE *handle);

#endif  // TOKENWEAVE_ROWBANK_ROWBANK_H
