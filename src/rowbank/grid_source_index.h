// Where each grid of a grid source starts and ends, built once per version
// of the source and kept in a small process-wide cache.
//
// A project may refer to one large source thousands of times, each reference
// opening it afresh. Reading the whole source per reference would make
// loading quadratic, so the first open of a source records the byte range of
// every grid in it, and later opens of the same unchanged file (same path,
// size and modification time) reuse that record and read only the grid they
// select. The cache holds at most GRID_SOURCE_CACHE_SIZE sources, dropping
// the least recently used; an index stays alive while a handle still uses
// it. Everything is freed at process exit. The cache is safe to use from
// several threads.

#ifndef TOKENWEAVE_ROWBANK_GRID_SOURCE_INDEX_H
#define TOKENWEAVE_ROWBANK_GRID_SOURCE_INDEX_H

#include <stdint.h>
#include <stdio.h>

#include <memory>
#include <string>
#include <unordered_map>

#include "rowbank/grid_file_io.h"

enum { GRID_SOURCE_CACHE_SIZE = 4 };

// Byte ranges of one grid in its source file.
struct grid_extent_t {
    // Start of what announces the grid: its header line or its comment.
    uint64_t header_offset;
    // The grid's own text: [begin, end).
    uint64_t begin;
    uint64_t end;
    // [end, close_end) is what ends the grid: the next header line or the
    // comment closer; empty when the file ends the grid.
    uint64_t close_end;
};

// Grid number to its extent; a number announced twice keeps the first.
typedef std::unordered_map<int, grid_extent_t> grid_extent_map_t;

// How the grids of a source are announced.
enum grid_index_kind_t {
    GRID_INDEX_SECTIONS,   // "[grid N]" lines of a result-data file
    GRID_INDEX_RECORDSETS  // "/* RECORDSET N" comments of an action file
};

struct grid_source_index_t {
    grid_index_kind_t kind;
    std::string path;
    grid_file_stamp_t stamp;
    grid_extent_map_t extents;
};

typedef std::shared_ptr<const grid_source_index_t> grid_source_index_ref;

// Sets *index to the index of file (open in binary mode, named path), taken
// from the cache when the file is unchanged and otherwise built by reading
// the file from the start. With rebuild set the cached index is not trusted
// and is built again (for a file that changed without its stamp changing).
// Returns 0, or -1 when the file cannot be read (nothing is cached then).
int grid_source_index_acquire(FILE *file, const char *path, grid_index_kind_t kind, bool rebuild,
                              grid_source_index_ref *index);

// 0 and *extent set when the index holds grid, -1 otherwise.
int grid_source_index_find(const grid_source_index_t &index, int grid, grid_extent_t *extent);

// How many indexes have been built since the process started.
unsigned long grid_source_index_build_count();

#endif  // TOKENWEAVE_ROWBANK_GRID_SOURCE_INDEX_H
