#include "project_sources.h"

#include <stdio.h>
#include <string.h>

#include "index/grid_loader.h"
#include "index/keyword_table.h"
#include "platform/platlib.h"
#include "platform/rowbank.h"

namespace tokenweave_cli {

namespace {

const char RESULT_DATA_PATTERN[] = "*.rdf";

#if defined(_WIN32)
const char PATH_SEPARATOR[] = "\\";
#else
const char PATH_SEPARATOR[] = "/";
#endif

// How far back from a value's line the call that holds it is looked for: a
// recorded call with a long SQL text spans a few lines.
enum { CALL_SEARCH_LINES = 40, FIELD_AS_TEXT = 1 };

std::vector<std::string> read_lines(const std::string &path) {
    std::vector<std::string> lines;
    FILE *file = os_fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return lines;
    }
    std::string current;
    int c;
    bool pending = false;
    while ((c = fgetc(file)) != EOF) {
        pending = true;
        if (c == '\n') {
            if (!current.empty() && current.back() == '\r') {
                current.pop_back();
            }
            lines.push_back(current);
            current.clear();
            pending = false;
        } else {
            current += static_cast<char>(c);
        }
    }
    if (pending) {
        lines.push_back(current);
    }
    fclose(file);
    return lines;
}

std::string trimmed(const std::string &text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) {
        return "";
    }
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

}  // namespace

project_sources::project_sources(const std::string &grid_settings_path)
    : grid_type_(read_grid_type(grid_settings_path.c_str())) {}

const std::vector<std::string> &project_sources::lines(const std::string &path) {
    auto found = lines_.find(path);
    if (found == lines_.end()) {
        found = lines_.emplace(path, read_lines(path)).first;
    }
    return found->second;
}

std::string project_sources::line(const std::string &path, int number) {
    const std::vector<std::string> &all = lines(path);
    if (number < 1 || static_cast<size_t>(number) > all.size()) {
        return "";
    }
    return all[static_cast<size_t>(number) - 1];
}

std::string project_sources::call_handle(const std::string &path, int number,
                                         const std::string &call_name) {
    if (call_name.empty()) {
        return "";
    }
    const std::string opening = call_name + "(";
    for (int back = 0; back < CALL_SEARCH_LINES && number - back >= 1; ++back) {
        std::string text = line(path, number - back);
        size_t call = text.find(opening);
        if (call == std::string::npos) {
            continue;
        }
        size_t begin = call + opening.size();
        size_t end = text.find_first_of(",)", begin);
        return trimmed(text.substr(begin, end == std::string::npos ? end : end - begin));
    }
    return "";
}

const project_sources::grid_table &project_sources::table(const std::string &action_file, int grid,
                                                          bool recordset) {
    auto key = std::make_tuple(action_file, grid, recordset);
    auto cached = tables_.find(key);
    if (cached != tables_.end()) {
        return cached->second;
    }
    grid_table &loaded = tables_[key];
    std::string source = action_file;
    if (!recordset) {
        std::vector<char> directory(action_file.size() + 1, '\0');
        os_get_dir_name(action_file.c_str(), directory.data());
        std::string with_separator = std::string(directory.data()) + PATH_SEPARATOR;
        char found[GRID_PATH_SIZE];
        if (!find_first_file(RESULT_DATA_PATTERN, with_separator.c_str(), found)) {
            return loaded;
        }
        source = found;
    }
    FI_GRID_HANDLE handle = nullptr;
    if (fiGridOpenFile(&handle, recordset ? FI_GRID_TYPE_RECORDSET : grid_type_, source.c_str()) !=
        0) {
        return loaded;
    }
    if (fiGridOpenTable(handle, &handle, grid) == 0) {
        loaded.found = true;
        loaded.source = source;
        int column_count = 0;
        fiGridGetNumOfCols(handle, &column_count);
        for (int column = 0; column < column_count; ++column) {
            const char *name = nullptr;
            loaded.header.push_back(fiGridGetColName(handle, column, &name) == 0 ? name : "");
        }
        // Rows are read by index, as the recordset loader does; the result
        // is the same for every source.
        for (int row = 0; fiGridReadRowRecord(handle, row) == 0; ++row) {
            std::vector<std::string> cells;
            for (int column = 0; column < column_count; ++column) {
                char *text = nullptr;
                cells.push_back(fiGridGetFieldPtr(handle, column, FIELD_AS_TEXT, &text) == 0
                                    ? std::string(text)
                                    : std::string());
            }
            loaded.rows.push_back(std::move(cells));
        }
    }
    fiGridCloseFile(&handle);
    return loaded;
}

grid_row_view project_sources::grid_row(const token_entry_tag &output) {
    grid_row_view view;
    if (output.cell == nullptr || output.file == nullptr) {
        return view;
    }
    const grid_table &grid =
        table(output.file, output.cell->grid, output.call_code == CALL_RECORDSET_XML);
    int row = output.cell->row;
    if (!grid.found || row < 1 || static_cast<size_t>(row) > grid.rows.size()) {
        return view;
    }
    view.found = true;
    view.source = grid.source;
    view.header = grid.header;
    view.cells = grid.rows[static_cast<size_t>(row) - 1];
    int with_data = 0;
    for (size_t column = 0; column < view.cells.size(); ++column) {
        if (!view.cells[column].empty() && ++with_data == output.cell->column) {
            view.position = static_cast<int>(column) + 1;
            break;
        }
    }
    return view;
}

}  // namespace tokenweave_cli
