#include "rowbank/rowbank.h"

#include <stdio.h>

#include <string>

#include "platlib/platlib.h"
#include "port/native_path.h"
#include "rowbank/grid_file_io.h"
#include "rowbank/grid_rdf_index.h"
#include "rowbank/grid_rdf_reader.h"
#include "rowbank/grid_recordset_index.h"
#include "rowbank/grid_recordset_reader.h"
#include "rowbank/grid_row.h"
#include "rowbank/grid_source_index.h"

namespace {

constexpr int FAILED = -1;
constexpr int NEXT_ROW = -1;
constexpr int TEXT_MODE = 1;

}  // namespace

// An open grid source and the table selected in it.
struct fi_grid {
    int grid_type = FI_GRID_TYPE_CSV;
    std::string path;
    // Open from fiGridOpenFile to fiGridCloseFile, so every table comes from
    // the file that was indexed even if the name is reused meanwhile.
    FILE *file = nullptr;
    grid_source_index_ref index;

    int column_count = 0;
    int row_count = 0;
    // The row that "next row" moves to.
    int next_row = 0;
    bool has_current_row = false;
    grid_row_t row;

    rdf_table_t rdf;
    recordset_table_t recordset;
};

namespace {

grid_index_kind_t index_kind(int grid_type) {
    return grid_type == FI_GRID_TYPE_RECORDSET ? GRID_INDEX_RECORDSETS : GRID_INDEX_SECTIONS;
}

void clear_table(fi_grid *grid) {
    grid->column_count = 0;
    grid->row_count = 0;
    grid->next_row = 0;
    grid->has_current_row = false;
    grid_row_reset(&grid->row, 0);
    grid->rdf = rdf_table_t();
    recordset_table_clear(&grid->recordset);
}

// Reads the text of the grid at extent into *text after checking that the
// header before it and the closer after it are still where the index says:
// a file rewritten within the resolution of its stamp must not be read at
// stale offsets.
int read_grid_text(fi_grid *grid, int number, const grid_extent_t &extent, std::string *text) {
    if (grid_file_read_range(grid->file, extent.header_offset, extent.close_end, text) != 0) {
        return FAILED;
    }
    // A grid that the end of the file closes must still end there.
    if (extent.close_end == extent.end && fgetc(grid->file) != EOF) {
        text->clear();
        return FAILED;
    }
    const char *bytes = text->data();
    size_t header_length = static_cast<size_t>(extent.begin - extent.header_offset);
    size_t close_start = static_cast<size_t>(extent.end - extent.header_offset);
    size_t close_length = text->size() - close_start;
    bool recordset = grid->grid_type == FI_GRID_TYPE_RECORDSET;
    int header = recordset ? recordset_check_header(bytes, header_length, number)
                           : rdf_check_header(bytes, header_length, number);
    int closer = recordset ? recordset_check_closer(bytes + close_start, close_length)
                           : rdf_check_closer(bytes + close_start, close_length);
    if (header != 0 || closer != 0) {
        text->clear();
        return FAILED;
    }
    text->resize(close_start);
    text->erase(0, header_length);
    return 0;
}

int select_table(fi_grid *grid, int number) {
    clear_table(grid);
    std::string text;
    for (int attempt = 0;; ++attempt) {
        grid_extent_t extent;
        if (grid_source_index_find(*grid->index, number, &extent) != 0) {
            return FAILED;
        }
        if (read_grid_text(grid, number, extent, &text) == 0) {
            break;
        }
        // The file changed without its stamp showing it: index it afresh.
        grid_source_index_ref fresh;
        if (attempt > 0 ||
            grid_source_index_acquire(grid->file, grid->path.c_str(), index_kind(grid->grid_type),
                                      true, &fresh) != 0) {
            return FAILED;
        }
        grid->index = fresh;
    }
    if (grid->grid_type == FI_GRID_TYPE_RECORDSET) {
        if (recordset_table_load(std::move(text), &grid->recordset) != 0) {
            return FAILED;
        }
        grid->column_count = grid->recordset.column_count;
        grid->row_count = static_cast<int>(grid->recordset.rows.size());
    } else {
        const rdf_dialect_t &dialect =
            grid->grid_type == FI_GRID_TYPE_TSV ? RDF_TAB_DIALECT : RDF_COMMA_DIALECT;
        rdf_table_load(std::move(text), dialect, &grid->rdf);
        grid->column_count = grid->rdf.column_count;
        grid->row_count = static_cast<int>(grid->rdf.row_starts.size());
    }
    return 0;
}

int move_to_row(fi_grid *grid, int row) {
    grid->has_current_row = false;
    if (row < NEXT_ROW) {
        grid_row_reset(&grid->row, 0);
        return FAILED;
    }
    int target = row == NEXT_ROW ? grid->next_row : row;
    if (target >= grid->row_count) {
        grid->next_row = grid->row_count;
        grid_row_reset(&grid->row, 0);
        return FAILED;
    }
    int read = grid->grid_type == FI_GRID_TYPE_RECORDSET
                   ? recordset_table_read_row(grid->recordset, target, &grid->row)
                   : rdf_table_read_row(grid->rdf, target, &grid->row);
    if (read != 0) {
        return FAILED;
    }
    grid->has_current_row = true;
    grid->next_row = target + 1;
    return 0;
}

const char *current_cell(const fi_grid *grid, int column) {
    return grid->has_current_row ? grid_row_cell(grid->row, column) : nullptr;
}

}  // namespace

int fiGridOpenFile(FI_GRID_HANDLE *handle, int grid_type, const char *path) {
    if (handle == nullptr) {
        return FAILED;
    }
    *handle = nullptr;
    bool known_type = grid_type == FI_GRID_TYPE_CSV || grid_type == FI_GRID_TYPE_TSV ||
                      grid_type == FI_GRID_TYPE_RECORDSET;
    if (!known_type || path == nullptr) {
        return FAILED;
    }
    fi_grid *grid = nullptr;
    try {
        grid = new fi_grid;
        grid->grid_type = grid_type;
        grid->path = path;
        grid->file = os_fopen(path, "rb");
        if (grid->file != nullptr &&
            grid_source_index_acquire(grid->file, path, index_kind(grid_type), false,
                                      &grid->index) == 0) {
            *handle = grid;
            return 0;
        }
    } catch (...) {
        // Out of memory: reported like an unreadable source.
    }
    if (grid != nullptr) {
        if (grid->file != nullptr) {
            fclose(grid->file);
        }
        delete grid;
    }
    return FAILED;
}

int fiGridOpenTable(FI_GRID_HANDLE handle, FI_GRID_HANDLE *handle_out, int grid) {
    if (handle_out != nullptr) {
        *handle_out = handle;
    }
    if (handle == nullptr) {
        return FAILED;
    }
    try {
        return select_table(handle, grid);
    } catch (...) {
        clear_table(handle);
        return FAILED;
    }
}

int fiGridGetNumOfCols(FI_GRID_HANDLE handle, int *column_count) {
    if (column_count == nullptr) {
        return FAILED;
    }
    *column_count = handle != nullptr ? handle->column_count : 0;
    return handle != nullptr ? 0 : FAILED;
}

int fiGridReadRowRecord(FI_GRID_HANDLE handle, int row) {
    if (handle == nullptr) {
        return FAILED;
    }
    try {
        return move_to_row(handle, row);
    } catch (...) {
        handle->has_current_row = false;
        return FAILED;
    }
}

int fiGridColContainData(FI_GRID_HANDLE handle, int column) {
    if (handle == nullptr) {
        return FAILED;
    }
    return current_cell(handle, column) != nullptr ? 0 : FAILED;
}

int fiGridGetFieldPtr(FI_GRID_HANDLE handle, int column, int mode, char **text) {
    if (text == nullptr) {
        return FAILED;
    }
    *text = nullptr;
    if (handle == nullptr || mode != TEXT_MODE) {
        return FAILED;
    }
    const char *cell = current_cell(handle, column);
    if (cell == nullptr) {
        return FAILED;
    }
    // The interface hands out a mutable pointer; callers only read it.
    *text = const_cast<char *>(cell);
    return 0;
}

int fiGridGetColName(FI_GRID_HANDLE handle, int column, const char **name) {
    if (name == nullptr) {
        return FAILED;
    }
    *name = nullptr;
    if (handle == nullptr || column < 0 || column >= handle->column_count) {
        return FAILED;
    }
    if (handle->grid_type == FI_GRID_TYPE_RECORDSET) {
        *name = handle->recordset.column_names[static_cast<size_t>(column)];
    } else {
        const char *text = grid_row_cell(handle->rdf.names, column);
        *name = text != nullptr ? text : "";
    }
    return 0;
}

int fiGridCloseFile(FI_GRID_HANDLE *handle) {
    if (handle == nullptr || *handle == nullptr) {
        return 0;
    }
    if ((*handle)->file != nullptr) {
        fclose((*handle)->file);
    }
    delete *handle;
    *handle = nullptr;
    return 0;
}
