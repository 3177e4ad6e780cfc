// The current row of a grid table: one text per column, or no data.
//
// The readers of every grid format fill a grid_row_t; the grid calls hand
// out pointers into it. Those pointers stay valid until the row is reset for
// the next row. A cell's text ends at its first NUL byte, because callers
// receive it as a zero-terminated string; a cell whose text is empty after
// that holds no data.

#ifndef TOKENWEAVE_ROWBANK_GRID_ROW_H
#define TOKENWEAVE_ROWBANK_GRID_ROW_H

#include <stddef.h>

#include <string>
#include <vector>

struct grid_row_t {
    // Every cell text of the row, each followed by a NUL byte.
    std::string text;
    // Per column: offset of its text in text, or GRID_ROW_NO_DATA.
    std::vector<size_t> cell_start;
};

constexpr size_t GRID_ROW_NO_DATA = static_cast<size_t>(-1);

// Empties row and gives it column_count cells without data.
void grid_row_reset(grid_row_t *row, int column_count);

// Opens a cell: the bytes appended to row->text from now on, up to
// grid_row_end_cell, are the cell's text. Returns the mark to pass there.
size_t grid_row_begin_cell(const grid_row_t &row);

// Closes the cell opened at mark as the text of column. Out-of-range columns
// and columns that already hold a text keep what they have (the appended
// bytes are dropped); so does every column when the text is empty.
void grid_row_end_cell(grid_row_t *row, int column, size_t mark);

// Sets column to the given bytes (begin_cell, append, end_cell in one).
void grid_row_set_cell(grid_row_t *row, int column, const char *bytes, size_t length);

// The zero-terminated text of column, or null when it holds no data or is
// out of range.
const char *grid_row_cell(const grid_row_t &row, int column);

#endif  // TOKENWEAVE_ROWBANK_GRID_ROW_H
