#include "index/grid_loader.h"

#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "hashkit/hashkit.h"
#include "index/analyser_access.h"
#include "index/correlation_index.h"
#include "index/recorder.h"
#include "model/keyword_table.h"
#include "platlib/platlib.h"
#include "platlib/text.h"
#include "port/native_path.h"
#include "port/winapi.h"
#include "rowbank/rowbank.h"

namespace {

const char GRID_SETTINGS_SECTION[] = "Quill";
const char GRID_TYPE_KEY[] = "GridType";
const char DEFAULT_GRID_TYPE[] = "0";
const char RESULT_DATA_PATTERN[] = "*.rdf";
const char GRID_INDEX_PATTERN[] = "*.grd";

#if defined(_WIN32)
const char PATH_SEPARATOR[] = "\\";
#else
const char PATH_SEPARATOR[] = "/";
#endif

enum {
    GRID_TYPE_BUFFER_SIZE = 256,
    // How far a cell text is checked for readability.
    CELL_TEXT_PROBE_LENGTH = 0xFFFF,
    FIELD_AS_TEXT = 1,
    NEXT_ROW = -1,
    // Cells whose lookups start together: more than most rows hold.
    ROW_CELL_BATCH = 32
};

// The number of the text's leading decimal digits, after optional blanks and
// a sign; 0 when there are none.
int leading_number(const char *text) {
    while (is_space(*text)) {
        ++text;
    }
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    int value = saturated_decimal(text, nullptr);
    return negative ? -value : value;
}

// A row's cells, kept until the whole row has been looked at.
struct row_cell {
    const char *text;
    int column;
};

void record_row_cells(const row_cell *cells, int count, int call_code, int grid, int line,
                      const char *file_path, int row) {
    for (int i = 0; i < count; ++i) {
        record_occurrence(cells[i].text, call_code, DIRECTION_OUTPUT, line, file_path, grid, row,
                          cells[i].column, GRID_CELL_MARKER, nullptr);
    }
}

// Hands every cell with data of the selected table to the recorder. Rows are
// read one after another, or by index for sources that need it. An
// unreadable cell text ends the walk.
// Most cells hold values seen once or twice in the project, so each one's
// lookup in the token table starts with a cache miss: a row's lookups are
// started together before its cells are recorded in order.
void record_grid_cells(FI_GRID_HANDLE handle, int call_code, bool rows_by_index, int grid, int line,
                       const char *file_path) {
    CCorrelationAnalyser *analyser = current_analyser();
    correlation_index *index = analyser != nullptr ? analyser_index(analyser) : nullptr;
    ht_table *tokens = index != nullptr ? index->token_table : nullptr;
    int column_count = 0;
    fiGridGetNumOfCols(handle, &column_count);
    int row_index = 0;
    int row = 0;
    row_cell cells[ROW_CELL_BATCH];
    while (fiGridReadRowRecord(handle, rows_by_index ? row_index++ : NEXT_ROW) == 0) {
        ++row;
        int column = 0;
        int pending = 0;
        for (int library_column = 0; library_column < column_count; ++library_column) {
            if (fiGridColContainData(handle, library_column) != 0) {
                continue;
            }
            ++column;
            char *text = nullptr;
            if (fiGridGetFieldPtr(handle, library_column, FIELD_AS_TEXT, &text) != 0) {
                continue;
            }
            if (IsBadStringPtrA(text, CELL_TEXT_PROBE_LENGTH)) {
                record_row_cells(cells, pending, call_code, grid, line, file_path, row);
                return;
            }
            ht_prefetch(tokens, text);
            cells[pending++] = {text, column};
            if (pending == ROW_CELL_BATCH) {
                record_row_cells(cells, pending, call_code, grid, line, file_path, row);
                pending = 0;
            }
        }
        record_row_cells(cells, pending, call_code, grid, line, file_path, row);
    }
}

// The action file's directory with a trailing separator, in a path buffer.
// False when it does not fit.
bool grid_directory_of(const char *file_path, char *directory) {
    size_t length = strlen(file_path);
    char *parent = static_cast<char *>(malloc(length + 1));
    if (parent == nullptr) {
        return false;
    }
    os_get_dir_name(file_path, parent);
    bool fits = strlen(parent) + strlen(PATH_SEPARATOR) < GRID_PATH_SIZE;
    if (fits) {
        strcpy(directory, parent);
        strcat(directory, PATH_SEPARATOR);
    }
    free(parent);
    return fits;
}

// Counts a grid reference and, when it was not read, says why.
void report_grid(int grid, int line, const char *file_path, const std::string &problem) {
    CCorrelationAnalyser *analyser = current_analyser();
    analyser_count_grid(analyser, problem.empty());
    if (!problem.empty()) {
        std::string reason = "grid " + std::to_string(grid) + " not loaded: " + problem;
        analyser_report_diagnostic(analyser, TOKENWEAVE_DIAGNOSTIC_GRID_NOT_LOADED, file_path, line,
                                   reason.c_str());
    }
}

// The files of directory: the index's kept answer when it searched that
// directory last, else a fresh search, kept by the index when it has room
// for it and written to scratch otherwise (a grid loaded outside a build,
// or no memory for the record).
const grid_directory_files *grid_files_in(const char *directory, grid_directory_files *scratch) {
    CCorrelationAnalyser *analyser = current_analyser();
    correlation_index *index = analyser != nullptr ? analyser_index(analyser) : nullptr;
    grid_directory_files *files = scratch;
    if (index != nullptr) {
        if (index->grid_files == nullptr) {
            index->grid_files =
                static_cast<grid_directory_files *>(calloc(1, sizeof(grid_directory_files)));
        } else if (strcmp(index->grid_files->directory, directory) == 0) {
            return index->grid_files;
        }
        if (index->grid_files != nullptr) {
            files = index->grid_files;
        }
    }
    copy_bounded(files->directory, sizeof files->directory, directory);
    files->has_result_data =
        find_first_file(RESULT_DATA_PATTERN, directory, files->result_data_path) != 0;
    files->has_grid_index =
        find_first_file(GRID_INDEX_PATTERN, directory, files->grid_index_path) != 0;
    return files;
}

bool is_supported_grid_type(int grid_type) {
    return grid_type == FI_GRID_TYPE_CSV || grid_type == FI_GRID_TYPE_TSV;
}

}  // namespace

int read_grid_type(const char *grid_settings_path) {
    if (grid_settings_path == nullptr || grid_settings_path[0] == '\0') {
        return 0;
    }
    char text[GRID_TYPE_BUFFER_SIZE];
    GetPrivateProfileStringA(GRID_SETTINGS_SECTION, GRID_TYPE_KEY, DEFAULT_GRID_TYPE, text,
                             sizeof text, grid_settings_path);
    return leading_number(text);
}

int find_first_file(const char *pattern, const char *directory, char *out_path) {
    if (pattern == nullptr || directory == nullptr || out_path == nullptr) {
        return 0;
    }
    out_path[0] = '\0';
    size_t directory_length = strlen(directory);
    if (directory_length + strlen(pattern) >= GRID_PATH_SIZE) {
        return 0;
    }
    char search[GRID_PATH_SIZE];
    strcpy(search, directory);
    strcat(search, pattern);
    WIN32_FIND_DATAA found;
    HANDLE search_handle = FindFirstFileA(search, &found);
    if (search_handle == INVALID_HANDLE_VALUE) {
        return 0;
    }
    int result = 0;
    if (directory_length + strlen(found.cFileName) < GRID_PATH_SIZE) {
        strcpy(out_path, directory);
        strcat(out_path, found.cFileName);
        result = 1;
    }
    FindClose(search_handle);
    return result;
}

int load_grid(int grid, int line, const char *file_path) {
    CCorrelationAnalyser *analyser = current_analyser();
    int grid_type =
        read_grid_type(analyser != nullptr ? analyser_grid_settings_path(analyser) : nullptr);
    if (scan_cancelled()) {
        return -1;
    }
    char directory[GRID_PATH_SIZE];
    if (!grid_directory_of(file_path, directory)) {
        report_grid(grid, line, file_path, "the directory's path is too long");
        return -1;
    }
    grid_directory_files scratch;
    const grid_directory_files *found = grid_files_in(directory, &scratch);
    if (!found->has_result_data) {
        report_grid(grid, line, file_path, std::string("no .rdf file in ") + directory);
        return -1;
    }
    if (!found->has_grid_index) {
        report_grid(grid, line, file_path, std::string("no .grd file in ") + directory);
        return -1;
    }
    const char *result_data_path = found->result_data_path;
    const char *grid_index_path = found->grid_index_path;

    int result = -1;
    std::string problem;
    FI_GRID_HANDLE handle = nullptr;
    FILE *grid_index = nullptr;
    if (fiGridOpenFile(&handle, grid_type, result_data_path) == 0) {
        // The host keeps its grid index in the .grd file; a grid whose index
        // is gone is not trusted, although the file itself is never read.
        grid_index = os_fopen(grid_index_path, "rb");
        if (grid_index != nullptr) {
            if (fiGridOpenTable(handle, &handle, grid) != 0) {
                problem = std::string("no grid of that number in ") + result_data_path;
            }
            record_grid_cells(handle, CALL_GRID, false, grid, line, file_path);
            result = 0;
        } else {
            problem = std::string("cannot open ") + grid_index_path + ": " + strerror(errno);
        }
    } else if (!is_supported_grid_type(grid_type)) {
        problem = "unsupported GridType " + std::to_string(grid_type) + " (0 or 1 are read)";
    } else {
        problem = std::string("cannot read ") + result_data_path;
    }
    report_grid(grid, line, file_path, problem);
    if (grid_index != nullptr) {
        fclose(grid_index);
    }
    if (handle != nullptr) {
        fiGridCloseFile(&handle);
    }
    return result;
}

int load_recordset(int grid, int line, const char *file_path) {
    if (scan_cancelled()) {
        return -1;
    }
    int result = -1;
    FI_GRID_HANDLE handle = nullptr;
    std::string problem;
    if (fiGridOpenFile(&handle, FI_GRID_TYPE_RECORDSET, file_path) == 0) {
        if (fiGridOpenTable(handle, &handle, grid) != 0) {
            problem = "no readable recordset of that number in the action file";
        }
        record_grid_cells(handle, CALL_RECORDSET_XML, true, grid, line, file_path);
        result = 0;
    } else {
        problem = "cannot read the recordsets of the action file";
    }
    report_grid(grid, line, file_path, problem);
    if (handle != nullptr) {
        fiGridCloseFile(&handle);
    }
    return result;
}
