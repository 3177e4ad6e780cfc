// Loading the result grids a script refers to.
//
// A GRID reference names a grid of the first result-data file (.rdf) in the
// action file's directory; a RECORDSET_XML reference names a recordset stored
// inside the action file itself. Every cell with data becomes an output
// occurrence of its text, with the grid number, the row (from 1, every row
// read) and the column (from 1, among the cells of that row that hold data).
// Each call opens, reads and closes its source; every file is closed on every
// path.

#ifndef TOKENWEAVE_INDEX_GRID_LOADER_H
#define TOKENWEAVE_INDEX_GRID_LOADER_H

enum { GRID_PATH_SIZE = 260 };

// The result-data and grid-index files found in one directory. Every grid
// reference of an action file searches the same directory, and listing it
// per reference cost as much as reading the grids, so the index keeps the
// last directory's answer for the rest of its build.
struct grid_directory_files {
    char directory[GRID_PATH_SIZE];  // with its trailing separator
    char result_data_path[GRID_PATH_SIZE];
    char grid_index_path[GRID_PATH_SIZE];
    bool has_result_data;
    bool has_grid_index;
};

// Both return 0 when the grid was read (also when reading stopped at an
// unreadable cell), -1 when the scan was cancelled or the grid could not be
// found or opened.
int load_grid(int grid, int line, const char *file_path);
int load_recordset(int grid, int line, const char *file_path);

// Writes directory followed by the first file name matching pattern into
// out_path (GRID_PATH_SIZE bytes) and returns 1; returns 0 when nothing
// matches, when an argument is null, or when a path would not fit.
int find_first_file(const char *pattern, const char *directory, char *out_path);

// The grid type named by the grid-settings file ("GridType" in section
// "Quill": its leading decimal digits), 0 when the path is empty or the
// setting is missing.
int read_grid_type(const char *grid_settings_path);

#endif  // TOKENWEAVE_INDEX_GRID_LOADER_H
