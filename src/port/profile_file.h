// Whole-file access for the profile functions: the reader loads a profile
// into memory, the writer replaces it atomically.
//
// Paths may use '\' or '/' as separator.

#ifndef TOKENWEAVE_PORT_PROFILE_FILE_H
#define TOKENWEAVE_PORT_PROFILE_FILE_H

#include <stddef.h>

#include "port/profile_lines.h"

// A file's bytes, owned by the record: release with profile_text_free.
struct profile_text {
    char *data;
    size_t size;
};

enum profile_load_result {
    PROFILE_LOADED = 0,
    PROFILE_MISSING = 1,  // no such file (or a path through something that is no directory)
    PROFILE_UNREADABLE = -1
};

// Loads the whole file at path; anything but a regular file is unreadable. On PROFILE_LOADED the
// caller owns text; otherwise text is empty and nothing needs releasing.
profile_load_result profile_text_load(const char *path, profile_text *text);
void profile_text_free(profile_text *text);

// Replaces the file at path with the concatenation of parts. The bytes go to
// a new file beside the target, which is flushed to disk and then renamed over
// the target, so readers and crashes see the old file or the new one, never a
// mix. An existing target keeps its permission bits. A symbolic link is
// followed (POSIX): the file it points to is replaced and the link stays. Returns 0 on success;
// on failure -1, the target untouched and no temporary file left behind.
int profile_replace_file(const char *path, const profile_span *parts, size_t part_count);

#if defined(_WIN32)
// The two halves of profile_replace_file, for a writer that changes the new
// file before it replaces the target. profile_write_beside creates a new file
// beside path holding parts and returns its name (the caller frees it), or
// null with errno set. profile_move_over moves it over path, or removes it
// and returns -1 with errno set.
char *profile_write_beside(const char *path, const profile_span *parts, size_t part_count);
int profile_move_over(const char *temp_path, const char *path);
#endif

#endif  // TOKENWEAVE_PORT_PROFILE_FILE_H
