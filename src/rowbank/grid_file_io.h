// File access shared by the grid readers: the identity stamp of an open
// source and reads of byte ranges at 64-bit offsets.
//
// All functions work on a FILE opened in binary mode by the caller, who
// keeps owning it. They return 0 on success and -1 on failure; a failed read
// leaves the output empty.

#ifndef TOKENWEAVE_ROWBANK_GRID_FILE_IO_H
#define TOKENWEAVE_ROWBANK_GRID_FILE_IO_H

#include <stdint.h>
#include <stdio.h>

#include <string>

// What tells one version of a file from another without reading it: its
// size and its modification time, as finely as the platform keeps it.
struct grid_file_stamp_t {
    uint64_t size;
    int64_t modified_seconds;
    int64_t modified_nanoseconds;
};

bool operator==(const grid_file_stamp_t &a, const grid_file_stamp_t &b);

// The stamp of the file as it is now.
int grid_file_stamp(FILE *file, grid_file_stamp_t *stamp);

// Moves the read position to offset bytes from the start.
int grid_file_seek(FILE *file, uint64_t offset);

// Replaces *out with bytes [begin, end) of the file. Fails when the file
// ends before end (it changed since its index was built) or cannot be read.
int grid_file_read_range(FILE *file, uint64_t begin, uint64_t end, std::string *out);

#endif  // TOKENWEAVE_ROWBANK_GRID_FILE_IO_H
