#include "project_sources.h"

#include <stdio.h>
#include <string.h>

#include "port/native_path.h"

namespace tokenweave_cli {

namespace {

// How far back from a value's line the call that holds it is looked for: a
// recorded call with a long SQL text spans a few lines.
enum { CALL_SEARCH_LINES = 40 };

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
    : grid_settings_path_(grid_settings_path) {}

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

const inspected_grid &project_sources::grid_of(const token_entry_tag &output) {
    auto key = std::make_tuple(std::string(output.file), output.cell->grid, output.call_code);
    auto cached = grids_.find(key);
    if (cached == grids_.end()) {
        cached =
            grids_.emplace(key, inspect_output_grid(output, grid_settings_path_.c_str())).first;
    }
    return cached->second;
}

grid_row_view project_sources::grid_row(const token_entry_tag &output) {
    grid_row_view view;
    if (output.cell == nullptr || output.file == nullptr) {
        return view;
    }
    const inspected_grid &grid = grid_of(output);
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
