// Path, string, character-set and message helpers.
//
// Paths: a leading "X:" is a drive on every platform, and both '\' and '/'
// separate directories on every platform (Windows accepts both), so a project
// written on Windows (Actions values like "sub\one.c") loads anywhere.

#ifndef TOKENWEAVE_PLATLIB_PLATLIB_H
#define TOKENWEAVE_PLATLIB_PLATLIB_H

#include <stddef.h>
#include <stdio.h>

#include "port/winapi.h"

// Sizes of the drive and extension buffers that os_split_path fills.
enum { OS_DRIVE_SIZE = 4, OS_EXTENSION_SIZE = 16 };

// Splits path into drive ("X:" or empty), directory (with its leading and
// trailing separators, so drive + directory + a relative name is a path),
// file name without extension, and extension with its dot. directory and
// file_name must hold strlen(path) + 1 bytes; drive holds OS_DRIVE_SIZE and
// extension OS_EXTENSION_SIZE bytes, and what does not fit is cut. Any out
// buffer may be null.
void os_split_path(const char *path, char *drive, char *directory, char *file_name,
                   char *extension);

// Last occurrence of ch in text, or null.
char *os_strrchr(const char *text, int ch);

// 0 when the two texts are equal byte for byte, non-zero otherwise.
int os_strcmp(const char *a, const char *b);

// The directory part of path (drive included) without a trailing separator,
// except the one that names a root: "a/b/c" gives "a/b", "/x" gives "/" and
// "C:\x" gives "C:\". A path without a separator gives "." after its drive
// ("x" gives ".", "C:x" gives "C:."); an empty path or a bare drive gives
// itself. directory must hold strlen(path) + 1 bytes.
void os_get_dir_name(const char *path, char *directory);

// The text after the last separator of path, or the whole path (after its
// drive) when it has none. Points into path.
const char *os_base_name(const char *path);

// Message text id of the module's string table, with %1, %2, ... replaced by
// the text arguments that follow, in order; "%%" stands for one '%'. Written
// zero-terminated into buffer and cut to size - 1 bytes. Texts the host does
// not provide come from the built-in catalog. Callers pass as many arguments
// as the id's built-in text uses; a host text with more placeholders gets
// empty text for the extra ones. Returns the length written.
int LoadParameterizedString(HMODULE module, unsigned int id, char *buffer, int size, ...);

struct message_template;
// Compiles the text LoadParameterizedString would expand for id (host text
// first, then the built-in catalog; an id without text compiles to empty
// text), for as many arguments as callers pass for id. False when the text
// does not fit a template: expand it with LoadParameterizedString instead.
bool LoadMessageTemplate(HMODULE module, unsigned int id, message_template *compiled);

// 2 when the platform character set is a double-byte one, else 1.
extern int xeOsCharsetType;

// Nonzero when c starts a double-byte character in the platform character set.
int os_is_lead_byte(int c);

#endif  // TOKENWEAVE_PLATLIB_PLATLIB_H
