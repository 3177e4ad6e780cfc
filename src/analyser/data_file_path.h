// Where the weights file lives: "../dat/crlt.dat" relative to the directory of
// the host executable, so an installed host and the build tree both find the
// file that ships beside the binaries.

#ifndef TOKENWEAVE_ANALYSER_DATA_FILE_PATH_H
#define TOKENWEAVE_ANALYSER_DATA_FILE_PATH_H

#include <stddef.h>

enum { DATA_FILE_PATH_SIZE = 1024 };

// Writes the path into buffer (size bytes, normally DATA_FILE_PATH_SIZE).
// The buffer is left empty when the executable's path is unknown or the
// result would not fit.
void compute_data_file_path(char *buffer, size_t size);

#endif  // TOKENWEAVE_ANALYSER_DATA_FILE_PATH_H
