#include "rowbank/grid_row.h"

#include <string.h>

void grid_row_reset(grid_row_t *row, int column_count) {
    row->text.clear();
    row->cell_start.assign(column_count > 0 ? static_cast<size_t>(column_count) : 0,
                           GRID_ROW_NO_DATA);
}

size_t grid_row_begin_cell(const grid_row_t &row) {
    return row.text.size();
}

void grid_row_end_cell(grid_row_t *row, int column, size_t mark) {
    const char *cell = row->text.data() + mark;
    size_t length = row->text.size() - mark;
    // Callers read the text up to its terminator, so nothing after an
    // embedded NUL could ever reach them.
    const void *nul = memchr(cell, '\0', length);
    if (nul != nullptr) {
        length = static_cast<size_t>(static_cast<const char *>(nul) - cell);
    }
    bool usable = column >= 0 && static_cast<size_t>(column) < row->cell_start.size() &&
                  row->cell_start[column] == GRID_ROW_NO_DATA && length > 0;
    if (!usable) {
        row->text.resize(mark);
        return;
    }
    row->text.resize(mark + length);
    row->text.push_back('\0');
    row->cell_start[column] = mark;
}

void grid_row_set_cell(grid_row_t *row, int column, const char *bytes, size_t length) {
    size_t mark = grid_row_begin_cell(*row);
    row->text.append(bytes, length);
    grid_row_end_cell(row, column, mark);
}

const char *grid_row_cell(const grid_row_t &row, int column) {
    if (column < 0 || static_cast<size_t>(column) >= row.cell_start.size()) {
        return nullptr;
    }
    size_t start = row.cell_start[column];
    return start == GRID_ROW_NO_DATA ? nullptr : row.text.data() + start;
}
