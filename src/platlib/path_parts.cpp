// Path splitting. Both '\' and '/' separate directories on every platform:
// Windows itself accepts both, and projects recorded there name their files
// with '\' wherever they are loaded.

#include <string.h>

#include "platlib/platlib.h"

namespace {

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

bool is_ascii_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Length of the drive ("X:") at the start of path: 2 or 0.
size_t drive_length(const char *path) {
    return is_ascii_letter(path[0]) && path[1] == ':' ? 2 : 0;
}

// The last separator at or after from, or null.
const char *last_separator(const char *from) {
    const char *last = nullptr;
    for (const char *c = from; *c != '\0'; ++c) {
        if (is_separator(*c)) {
            last = c;
        }
    }
    return last;
}

// Copies length bytes of text into out (of out_size bytes), cut to fit and
// zero-terminated.
void copy_cut(char *out, size_t out_size, const char *text, size_t length) {
    if (out == nullptr || out_size == 0) {
        return;
    }
    if (length > out_size - 1) {
        length = out_size - 1;
    }
    memcpy(out, text, length);
    out[length] = '\0';
}

}  // namespace

void os_split_path(const char *path, char *drive, char *directory, char *file_name,
                   char *extension) {
    size_t path_size = strlen(path) + 1;
    size_t drive_size = drive_length(path);
    copy_cut(drive, OS_DRIVE_SIZE, path, drive_size);

    const char *rest = path + drive_size;
    const char *separator = last_separator(rest);
    const char *name = separator != nullptr ? separator + 1 : rest;
    copy_cut(directory, path_size, rest, static_cast<size_t>(name - rest));

    const char *dot = strrchr(name, '.');
    const char *name_end = dot != nullptr ? dot : name + strlen(name);
    copy_cut(file_name, path_size, name, static_cast<size_t>(name_end - name));
    copy_cut(extension, OS_EXTENSION_SIZE, name_end, strlen(name_end));
}

void os_get_dir_name(const char *path, char *directory) {
    size_t drive_size = drive_length(path);
    const char *rest = path + drive_size;
    const char *separator = last_separator(rest);
    memcpy(directory, path, drive_size);
    char *out = directory + drive_size;
    if (separator == nullptr) {
        // The current directory (of the drive, if any). A bare drive or an
        // empty path has no room for the '.' and stays as it is.
        if (*rest != '\0') {
            *out++ = '.';
        }
        *out = '\0';
        return;
    }
    // Trailing separators go, except the one that names the root.
    const char *end = separator;
    while (end > rest && is_separator(end[-1])) {
        --end;
    }
    if (end == rest) {
        end = rest + 1;
    }
    size_t length = static_cast<size_t>(end - rest);
    memcpy(out, rest, length);
    out[length] = '\0';
}

const char *os_base_name(const char *path) {
    const char *rest = path + drive_length(path);
    const char *separator = last_separator(rest);
    return separator != nullptr ? separator + 1 : rest;
}
