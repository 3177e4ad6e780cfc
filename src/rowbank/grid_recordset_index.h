// The "/* RECORDSET N" comments of an action file and the index built from
// them.
//
// A recordset comment is a C block comment whose text starts, after optional
// blanks, with the word "RECORDSET", at least one blank and the decimal
// recordset number, which white space or the end of the comment follows.
// The recordset's text is the rest of the comment, up to the first "*/" (or
// the end of the file when the comment is never closed). Comments are found
// as a C compiler finds them: "/*" inside a string or character literal or
// a line comment starts nothing. A number that does not fit an int makes the
// comment an ordinary one.

#ifndef TOKENWEAVE_ROWBANK_GRID_RECORDSET_INDEX_H
#define TOKENWEAVE_ROWBANK_GRID_RECORDSET_INDEX_H

#include <stddef.h>
#include <stdio.h>

#include "rowbank/grid_source_index.h"

// Fills *extents with every recordset comment of the action file, reading
// it from the start in fixed-size pieces. An extent's header_offset is where
// its "/*" starts. Returns 0, or -1 when the file cannot be read.
int recordset_index_comments(FILE *file, grid_extent_map_t *extents);

// 0 when text[0, length) is "/*" followed by the start of a comment for
// recordset grid whose number ends exactly at length, -1 otherwise.
int recordset_check_header(const char *text, size_t length, int grid);

// 0 when text[0, length) is "*/" or nothing (the end of the file), -1
// otherwise.
int recordset_check_closer(const char *text, size_t length);

#endif  // TOKENWEAVE_ROWBANK_GRID_RECORDSET_INDEX_H
