// WritePrivateProfileStringA for platforms without it.
//
// The file is rewritten from the lines it already has: only the line that
// changes is new, every other byte is copied as it stands (comments, blank
// lines, spacing, line breaks). New lines take the file's own line break,
// judged by its first line; a new or single-line file gets "\r\n", so files
// written here and on Windows look the same to the host.

//
// On Windows the system's function does the rewriting, through a layer that
// refuses the same names and values, and makes the change atomic: the file is
// copied beside the target, changed there and moved over the target.

#if defined(_WIN32)
#define TOKENWEAVE_PORT_SYSTEM_CALLS
#endif

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "port/native_path.h"
#include "port/profile_file.h"
#include "port/profile_lines.h"
#include "port/winapi.h"

namespace {

bool holds_line_break(const char *text) {
    return text != nullptr && strpbrk(text, "\r\n") != nullptr;
}

// Names and values that could not be read back as written are refused: a
// line break would start a new line, and a key holding '=' or starting like a
// comment or a section header would read as something else.
bool writable(LPCSTR section, LPCSTR key, LPCSTR value) {
    if (section == nullptr || holds_line_break(section) || holds_line_break(key) ||
        holds_line_break(value)) {
        return false;
    }
    if (key != nullptr) {
        profile_span name = profile_trimmed(key);
        if (name.size == 0 || memchr(name.data, '=', name.size) != nullptr || name.data[0] == ';' ||
            name.data[0] == '[') {
            return false;
        }
    }
    return true;
}

}  // namespace

#if !defined(_WIN32)

namespace {

// The most pieces a rewrite needs: the text before the change, a break
// closing an unterminated last line, a new header (4), a new entry (4) and
// the text after.
enum { MAX_PARTS = 12 };

const profile_span CRLF = {"\r\n", 2};
const profile_span LF = {"\n", 1};

struct section_layout {
    bool found;
    profile_line header;
    size_t end;              // where the next section starts (or the text ends)
    profile_line last_used;  // last non-blank line of the section, or the header
    bool key_found;
    profile_line key_line;
    size_t value_start;
};

profile_span line_break_of(const profile_text &text) {
    if (text.size == 0) {
        return CRLF;
    }
    const void *newline = memchr(text.data, '\n', text.size);
    if (newline == nullptr) {
        return CRLF;
    }
    size_t at = static_cast<size_t>(static_cast<const char *>(newline) - text.data);
    return at > 0 && text.data[at - 1] == '\r' ? CRLF : LF;
}

section_layout find_layout(const profile_text &text, profile_span section, profile_span key) {
    section_layout layout{};
    size_t position = 0;
    profile_line line;
    while (profile_next_line(text.data, text.size, &position, &line) == 0) {
        profile_line_info info = profile_classify(text.data, line);
        if (!layout.found) {
            if (info.kind == PROFILE_LINE_SECTION && profile_names_equal(info.name, section)) {
                layout.found = true;
                layout.header = line;
                layout.last_used = line;
                layout.end = text.size;
            }
            continue;
        }
        if (info.kind == PROFILE_LINE_SECTION) {
            layout.end = line.start;
            break;
        }
        if (info.kind != PROFILE_LINE_BLANK) {
            layout.last_used = line;
        }
        if (!layout.key_found && info.kind == PROFILE_LINE_ENTRY && key.data != nullptr &&
            profile_names_equal(info.name, key)) {
            layout.key_found = true;
            layout.key_line = line;
            layout.value_start = info.value_start;
        }
    }
    return layout;
}

profile_span span_of(const profile_text &text, size_t from, size_t to) {
    return profile_span{text.data + from, to - from};
}

profile_span text_span(const char *text) {
    return profile_span{text, strlen(text)};
}

}  // namespace

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path) {
    if (path == nullptr || path[0] == '\0' || !writable(section, key, value)) {
        return FALSE;
    }
    profile_text text{nullptr, 0};
    profile_load_result loaded = profile_text_load(path, &text);
    if (loaded == PROFILE_UNREADABLE) {
        // Writing now would replace a file whose content we never saw.
        return FALSE;
    }
    profile_span section_name = profile_trimmed(section);
    profile_span key_name = key != nullptr ? profile_trimmed(key) : profile_span{nullptr, 0};
    profile_span line_break = line_break_of(text);
    section_layout layout = find_layout(text, section_name, key_name);

    profile_span parts[MAX_PARTS];
    size_t count = 0;
    bool removing = key == nullptr || value == nullptr;
    if (!layout.found || (!layout.key_found && key != nullptr)) {
        if (removing) {
            profile_text_free(&text);
            return TRUE;  // nothing to remove
        }
        size_t insert_at = layout.found ? layout.last_used.end : text.size;
        parts[count++] = span_of(text, 0, insert_at);
        bool line_open = insert_at > 0 && text.data[insert_at - 1] != '\n';
        if (line_open) {
            parts[count++] = line_break;
        }
        if (!layout.found) {
            parts[count++] = text_span("[");
            parts[count++] = section_name;
            parts[count++] = text_span("]");
            parts[count++] = line_break;
        }
        parts[count++] = key_name;
        parts[count++] = text_span("=");
        parts[count++] = text_span(value);
        parts[count++] = line_break;
        parts[count++] = span_of(text, insert_at, text.size);
    } else if (key == nullptr) {
        parts[count++] = span_of(text, 0, layout.header.start);
        parts[count++] = span_of(text, layout.end, text.size);
    } else if (value == nullptr) {
        parts[count++] = span_of(text, 0, layout.key_line.start);
        parts[count++] = span_of(text, layout.key_line.end, text.size);
    } else {
        parts[count++] = span_of(text, 0, layout.value_start);
        parts[count++] = text_span(value);
        parts[count++] = span_of(text, layout.key_line.content_end, text.size);
    }
    int written = profile_replace_file(path, parts, count);
    profile_text_free(&text);
    return written == 0 ? TRUE : FALSE;
}

#else  // _WIN32

BOOL port_write_profile_string(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path) {
    if (path == nullptr || path[0] == '\0' || !writable(section, key, value)) {
        return FALSE;
    }
    char full_path[MAX_PATH];
    if (!os_full_path(path, full_path, sizeof full_path)) {
        errno = ENAMETOOLONG;
        return FALSE;
    }
    profile_text text{nullptr, 0};
    profile_load_result loaded = profile_text_load(full_path, &text);
    if (loaded == PROFILE_UNREADABLE) {
        // Writing now would replace a file whose content we never saw.
        return FALSE;
    }
    if (loaded == PROFILE_MISSING && (key == nullptr || value == nullptr)) {
        return TRUE;  // nothing to remove, and no file to create for it
    }
    profile_span whole{text.data != nullptr ? text.data : "", text.size};
    char *temp_path = profile_write_beside(full_path, &whole, 1);
    profile_text_free(&text);
    if (temp_path == nullptr) {
        return FALSE;
    }
    BOOL written =
        strlen(temp_path) < MAX_PATH && WritePrivateProfileStringA(section, key, value, temp_path);
    if (!written) {
        int failure = GetLastError() == ERROR_DISK_FULL ? ENOSPC : EIO;
        DeleteFileA(temp_path);
        errno = failure;
    } else if (profile_move_over(temp_path, full_path) != 0) {
        written = FALSE;
    }
    free(temp_path);
    return written;
}

#endif  // _WIN32
