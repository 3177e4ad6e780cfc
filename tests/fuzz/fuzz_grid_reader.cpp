// Reads a grid source written from the input through the grid-file calls the
// loaders use: a comma- or tab-separated result-data file, or an action file
// holding recordsets as rowset XML. Option byte: bits 0-1 pick the source
// type (comma, tab, recordset, recordset wrapped in its comment), bits 2-3
// the first grid number tried.
//
// Properties: a column holds data exactly when its text can be fetched and
// is not empty; reading the rows one after another and reading them by index
// give the same cells; there is no row after the last.

#include <string.h>

#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "rowbank/rowbank.h"

namespace {

const size_t INPUT_CAP = 16 * 1024;
const int GRIDS_TRIED = 3;
const int NEXT_ROW = -1;
const int FIELD_TEXT = 1;
// Keeps a fuzzed column count from turning one row into a long walk.
const int MAX_COLUMNS_WALKED = 4096;

const char RECORDSET_OPENING[] = "/* RECORDSET 1\n";
const char RECORDSET_CLOSING[] = "\n*/\n";

typedef std::vector<std::optional<std::string>> row_cells;

row_cells current_row(FI_GRID_HANDLE grid, int column_count) {
    row_cells cells;
    int walked = column_count < MAX_COLUMNS_WALKED ? column_count : MAX_COLUMNS_WALKED;
    for (int column = 0; column < walked; ++column) {
        char *text = nullptr;
        int fetched = fiGridGetFieldPtr(grid, column, FIELD_TEXT, &text);
        bool has_data = fiGridColContainData(grid, column) == 0;
        if (fetched != 0 && text != nullptr) {
            fuzz::property_failed("a failed fetch left a text pointer", std::to_string(column));
        }
        bool fetched_text = fetched == 0 && text != nullptr && text[0] != '\0';
        if (has_data != fetched_text) {
            fuzz::property_failed("data test and fetch disagree", std::to_string(column));
        }
        if (fetched == 0 && text != nullptr) {
            cells.emplace_back(std::string(text, strlen(text)));
        } else {
            cells.emplace_back(std::nullopt);
        }
    }
    if (fiGridColContainData(grid, column_count) == 0) {
        fuzz::property_failed("a column past the last holds data", std::to_string(column_count));
    }
    return cells;
}

void check_table(FI_GRID_HANDLE grid) {
    int column_count = -1;
    fiGridGetNumOfCols(grid, &column_count);
    if (column_count < 0) {
        fuzz::property_failed("negative column count", std::to_string(column_count));
    }
    std::vector<row_cells> rows;
    while (fiGridReadRowRecord(grid, NEXT_ROW) == 0) {
        rows.push_back(current_row(grid, column_count));
    }
    for (size_t row = rows.size(); row-- > 0;) {
        if (fiGridReadRowRecord(grid, static_cast<int>(row)) != 0) {
            fuzz::property_failed("a row read in sequence cannot be read by index",
                                  std::to_string(row));
        }
        if (current_row(grid, column_count) != rows[row]) {
            fuzz::property_failed("a row reads differently by index", std::to_string(row));
        }
    }
    if (fiGridReadRowRecord(grid, static_cast<int>(rows.size())) == 0) {
        fuzz::property_failed("a row after the last", std::to_string(rows.size()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > INPUT_CAP) {
        return 0;
    }
    unsigned options = data[0];
    std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
    static const int TYPES[] = {FI_GRID_TYPE_CSV, FI_GRID_TYPE_TSV, FI_GRID_TYPE_RECORDSET,
                                FI_GRID_TYPE_RECORDSET};
    int type = TYPES[options & 3];
    if ((options & 3) == 3) {
        text = RECORDSET_OPENING + text + RECORDSET_CLOSING;
    }
    // A new name per type keeps the source index cache from mixing kinds.
    std::string path = fuzz::scratch_file("source" + std::to_string(options & 3));
    fuzz::write_file(path, text);

    FI_GRID_HANDLE grid = nullptr;
    if (fiGridOpenFile(&grid, type, path.c_str()) != 0) {
        if (grid != nullptr) {
            fuzz::property_failed("a failed open left a handle", path);
        }
        return 0;
    }
    int first_grid = static_cast<int>((options >> 2) & 3);
    for (int number = first_grid; number < first_grid + GRIDS_TRIED; ++number) {
        FI_GRID_HANDLE selected = nullptr;
        fiGridOpenTable(grid, &selected, number);
        if (selected != grid) {
            fuzz::property_failed("selecting a table replaced the handle", path);
        }
        check_table(grid);
    }
    fiGridCloseFile(&grid);
    if (grid != nullptr) {
        fuzz::property_failed("closing left the handle set", path);
    }
    return 0;
}
