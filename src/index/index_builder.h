// Building the token index of a project: tables, keyword table, project
// loading, the scan of every action file, and the odbc post-pass.

#ifndef TOKENWEAVE_INDEX_INDEX_BUILDER_H
#define TOKENWEAVE_INDEX_INDEX_BUILDER_H

#include "index/correlation_index.h"

// Creates the index and the keyword table, stores both in the analyser, loads
// and scans the project at project_path and, for the "odbc" family, runs the
// post-pass. The analyser is the current analyser while this runs and no
// longer afterwards; a build on another thread waits until this one is done. Returns the index, or null (and the analyser holds none)
// when the tables or the keyword table could not be created. Unreadable files
// and a cancelled scan still give an index with what was recorded.
correlation_index *build_correlation_index(CCorrelationAnalyser *analyser,
                                           const char *project_path);

// Reads the project's Actions section and registers every action file with
// its line count, then scans them all. Returns 0, or -1 when memory ran out
// part-way (the files registered so far stay; nothing is scanned).
int load_project(CCorrelationAnalyser *analyser, correlation_index *index,
                 const char *project_path);

// Number of lines of the file as the host counts them: one per read of up to
// 2047 bytes or to the end of a line, plus one for the read that meets the
// end of the file after a final line break. -14 when the file cannot be
// opened, -15 on a read error.
int count_lines(const char *path);

enum { COUNT_LINES_CANNOT_OPEN = -14, COUNT_LINES_READ_ERROR = -15 };

// Files the newest pending input of every statement's handle under the
// statement's own location.
void run_odbc_post_pass(correlation_index *index);

#endif  // TOKENWEAVE_INDEX_INDEX_BUILDER_H
