// Files named by paths that may use either separator.
//
// Recorded projects come from Windows, where '\' and '/' both separate
// directories; their Actions values ("sub\one.c") must open on every platform.
// These two stand where the C runtime's fopen would, so everything above them
// opens files the same way.
#ifndef TOKENWEAVE_PORT_NATIVE_PATH_H
#define TOKENWEAVE_PORT_NATIVE_PATH_H

#include <stddef.h>
#include <stdio.h>

// Copies path into out (of out_size bytes) with '\' turned into the
// platform's separator. Returns out, or null when the path does not fit.
char *os_native_path(const char *path, char *out, size_t out_size);

// fopen by a path that may use either separator.
FILE *os_fopen(const char *path, const char *mode);

#if defined(_WIN32)
// The full form of path (drive and directory made explicit) in out, of
// out_size bytes. False when it cannot be made or does not fit: the system's
// profile functions read a relative path from the Windows directory.
bool os_full_path(const char *path, char *out, size_t out_size);
#endif

#endif  // TOKENWEAVE_PORT_NATIVE_PATH_H
