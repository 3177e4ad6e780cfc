// The "[grid N]" header lines of a result-data file and the index built from
// them.
//
// A header line is '[', the word "grid", the decimal grid number and ']',
// with blanks (spaces or tabs) allowed before, between and after them and a
// CR before the line feed. Header lines are found line by line without
// regard to CSV quoting, so a grid whose quote is never closed ends at the
// next header all the same. A header whose number does not fit an int still
// ends the grid before it; its own lines belong to no grid.

#ifndef TOKENWEAVE_ROWBANK_GRID_RDF_INDEX_H
#define TOKENWEAVE_ROWBANK_GRID_RDF_INDEX_H

#include <stddef.h>
#include <stdio.h>

#include "rowbank/grid_source_index.h"

// Fills *extents with every grid of the result-data file, reading it from
// the start in fixed-size pieces. A grid's text runs from the line after its
// header to the start of the next header line or the end of the file.
// Returns 0, or -1 when the file cannot be read.
int rdf_index_sections(FILE *file, grid_extent_map_t *extents);

// 0 when text[0, length) is exactly one header line (line feed included when
// present) announcing grid, -1 otherwise.
int rdf_check_header(const char *text, size_t length, int grid);

// 0 when text[0, length) is what may end a grid: one header line, whatever
// its number, or nothing (the end of the file); -1 otherwise.
int rdf_check_closer(const char *text, size_t length);

#endif  // TOKENWEAVE_ROWBANK_GRID_RDF_INDEX_H
