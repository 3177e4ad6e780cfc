// What the reports show of the project's own files: the lines of an action
// file and the rows of a result grid with its column names. Each file is read
// once per command and kept for the reports that follow.

#ifndef TOKENWEAVE_CLI_PROJECT_SOURCES_H
#define TOKENWEAVE_CLI_PROJECT_SOURCES_H

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "index/index_inspection.h"

namespace tokenweave_cli {

// One row of a grid, every column in place (empty cells included).
struct grid_row_view {
    bool found = false;  // false when the source, the grid or the row cannot be read
    std::string source;  // the grid file the row was read from
    std::vector<std::string> header;
    std::vector<std::string> cells;
    // The cell's position counting every column, from 1; 0 when unknown.
    int position = 0;
};

class project_sources {
public:
    explicit project_sources(const std::string &grid_settings_path);

    // The lines of an action file without their line breaks; empty when it
    // cannot be read.
    const std::vector<std::string> &lines(const std::string &path);

    // Line number (from 1) of path, or the empty text.
    std::string line(const std::string &path, int number);

    // The row of the output occurrence's grid, with the position of its cell:
    // the column'th column holding data, counting from 1, as the index counts.
    grid_row_view grid_row(const token_entry_tag &output);

    // The first argument of the recorded call that holds line number of
    // path: the handle the script passes it; empty when it cannot be told.
    std::string call_handle(const std::string &path, int number, const std::string &call_name);

private:
    const inspected_grid &grid_of(const token_entry_tag &output);

    std::string grid_settings_path_;
    std::map<std::string, std::vector<std::string>> lines_;
    // By action file, grid number and the call that read the grid.
    std::map<std::tuple<std::string, int, int>, inspected_grid> grids_;
};

}  // namespace tokenweave_cli

#endif  // TOKENWEAVE_CLI_PROJECT_SOURCES_H
