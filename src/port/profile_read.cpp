// GetPrivateProfileStringA: our stand-in for platforms without it, and on
// Windows the layer that gives the system's function the same behaviour.

#if defined(_WIN32)
#define TOKENWEAVE_PORT_SYSTEM_CALLS
#endif

#include <stdlib.h>
#include <string.h>

#include "port/native_path.h"
#include "port/profile_file.h"
#include "port/profile_lines.h"
#include "port/winapi.h"

namespace {

// Fills a caller's buffer with zero-terminated names ended by an empty name.
// Names that do not fit whole are dropped rather than cut, so every listed
// name is one that exists; a cut list is still reported as size - 2 bytes.
struct name_list {
    char *buffer;
    DWORD size;
    DWORD used;
    bool cut;
};

bool already_listed(const name_list &list, profile_span name) {
    DWORD position = 0;
    while (position < list.used) {
        size_t length = strlen(list.buffer + position);
        if (profile_names_equal(profile_span{list.buffer + position, length}, name)) {
            return true;
        }
        position += static_cast<DWORD>(length) + 1;
    }
    return false;
}

void list_add(name_list *list, profile_span name) {
    // An empty name would end the list early and one holding a NUL would read
    // as two names; neither can be asked for by name.
    if (list->cut || name.size == 0 || memchr(name.data, '\0', name.size) != nullptr ||
        already_listed(*list, name)) {
        return;
    }
    // Room for the name, its terminator and the list's final terminator.
    // used never passes size - 1, so size - used cannot wrap.
    if (list->size < 2 || name.size + 2 > list->size - list->used) {
        list->cut = true;
        return;
    }
    memcpy(list->buffer + list->used, name.data, name.size);
    list->used += static_cast<DWORD>(name.size);
    list->buffer[list->used++] = '\0';
}

DWORD list_finish(name_list *list) {
    if (list->size < 2) {
        list->buffer[0] = '\0';
        return 0;
    }
    if (list->cut) {
        memset(list->buffer + list->used, 0, list->size - list->used);
        return list->size - 2;
    }
    list->buffer[list->used] = '\0';
    return list->used;
}

DWORD copy_value(profile_span value, char *buffer, DWORD size) {
    size_t length = value.size < size - 1 ? value.size : size - 1;
    memcpy(buffer, value.data, length);
    buffer[length] = '\0';
    return static_cast<DWORD>(length);
}

// The default without trailing blanks, which could never come from a file.
profile_span default_text(const char *default_value) {
    profile_span text{"", 0};
    if (default_value != nullptr) {
        text = profile_span{default_value, strlen(default_value)};
        while (text.size > 0 && profile_is_blank(text.data[text.size - 1])) {
            --text.size;
        }
    }
    return text;
}

}  // namespace

#if !defined(_WIN32)

namespace {

DWORD list_section_names(const profile_text &text, char *buffer, DWORD size) {
    name_list list{buffer, size, 0, false};
    size_t position = 0;
    profile_line line;
    while (profile_next_line(text.data, text.size, &position, &line) == 0) {
        profile_line_info info = profile_classify(text.data, line);
        if (info.kind == PROFILE_LINE_SECTION) {
            list_add(&list, info.name);
        }
    }
    return list_finish(&list);
}

// Positions *position just after the header of the first section called
// section; false when there is none.
bool find_section(const profile_text &text, profile_span section, size_t *position) {
    *position = 0;
    profile_line line;
    while (profile_next_line(text.data, text.size, position, &line) == 0) {
        profile_line_info info = profile_classify(text.data, line);
        if (info.kind == PROFILE_LINE_SECTION && profile_names_equal(info.name, section)) {
            return true;
        }
    }
    return false;
}

DWORD list_key_names(const profile_text &text, size_t position, char *buffer, DWORD size) {
    name_list list{buffer, size, 0, false};
    profile_line line;
    while (profile_next_line(text.data, text.size, &position, &line) == 0) {
        profile_line_info info = profile_classify(text.data, line);
        if (info.kind == PROFILE_LINE_SECTION) {
            break;
        }
        if (info.kind == PROFILE_LINE_ENTRY) {
            list_add(&list, info.name);
        }
    }
    return list_finish(&list);
}

bool find_value(const profile_text &text, size_t position, profile_span key, profile_span *value) {
    profile_line line;
    while (profile_next_line(text.data, text.size, &position, &line) == 0) {
        profile_line_info info = profile_classify(text.data, line);
        if (info.kind == PROFILE_LINE_SECTION) {
            return false;
        }
        if (info.kind == PROFILE_LINE_ENTRY && profile_names_equal(info.name, key)) {
            *value = info.value;
            return true;
        }
    }
    return false;
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value, LPSTR buffer,
                               DWORD size, LPCSTR path) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    profile_text text{nullptr, 0};
    bool loaded = path != nullptr && profile_text_load(path, &text) == PROFILE_LOADED;
    DWORD result;
    size_t position = 0;
    profile_span value;
    if (section == nullptr) {
        result = list_section_names(text, buffer, size);
    } else if (!loaded || !find_section(text, profile_trimmed(section), &position)) {
        // A missing file or section yields the default, as a one-name list
        // when names were asked for: a project without its section of action
        // files still gets the one the caller named as default.
        if (key == nullptr) {
            name_list list{buffer, size, 0, false};
            list_add(&list, default_text(default_value));
            result = list_finish(&list);
        } else {
            result = copy_value(default_text(default_value), buffer, size);
        }
    } else if (key == nullptr) {
        result = list_key_names(text, position, buffer, size);
    } else if (find_value(text, position, profile_trimmed(key), &value)) {
        result = copy_value(value, buffer, size);
    } else {
        result = copy_value(default_text(default_value), buffer, size);
    }
    profile_text_free(&text);
    return result;
}

#else  // _WIN32

namespace {

// The largest list read from the system's function: a profile holding more
// names than this is no profile the library writes or reads.
const DWORD MAX_LIST_SIZE = 64u * 1024 * 1024;
const DWORD FIRST_LIST_SIZE = 4096;

// The whole list the system's function gives (section names when section is
// null, else the section's key names), or null when memory runs out.
// A list that fills the buffer up to its last two bytes may have been cut:
// it is read again into a larger one.
char *read_whole_list(LPCSTR section, LPCSTR path) {
    for (DWORD size = FIRST_LIST_SIZE; size <= MAX_LIST_SIZE; size *= 2) {
        char *names = static_cast<char *>(malloc(size));
        if (names == nullptr) {
            return nullptr;
        }
        DWORD length = GetPrivateProfileStringA(section, nullptr, "", names, size, path);
        if (length + 2 < size) {
            names[length] = '\0';
            names[length + 1] = '\0';
            return names;
        }
        free(names);
    }
    return nullptr;
}

bool lists_name(const char *names, profile_span name) {
    for (const char *listed = names; *listed != '\0'; listed += strlen(listed) + 1) {
        if (profile_names_equal(profile_span{listed, strlen(listed)}, name)) {
            return true;
        }
    }
    return false;
}

// The list into the caller's buffer, each name once (first spelling wins),
// cut on whole names.
DWORD copy_list(const char *names, char *buffer, DWORD size) {
    name_list list{buffer, size, 0, false};
    for (const char *listed = names; *listed != '\0'; listed += strlen(listed) + 1) {
        list_add(&list, profile_trimmed(listed));
    }
    return list_finish(&list);
}

DWORD empty_list(char *buffer, DWORD size) {
    name_list list{buffer, size, 0, false};
    return list_finish(&list);
}

DWORD default_list(const char *default_value, char *buffer, DWORD size) {
    name_list list{buffer, size, 0, false};
    list_add(&list, default_text(default_value));
    return list_finish(&list);
}

// A copy of the default without trailing blanks, as the system's function
// would return it; null when memory runs out.
char *trimmed_default(const char *default_value) {
    profile_span text = default_text(default_value);
    char *copy = static_cast<char *>(malloc(text.size + 1));
    if (copy != nullptr) {
        memcpy(copy, text.data, text.size);
        copy[text.size] = '\0';
    }
    return copy;
}

DWORD read_list(LPCSTR section, LPCSTR default_value, LPSTR buffer, DWORD size, LPCSTR path) {
    char *sections = read_whole_list(nullptr, path);
    if (sections == nullptr) {
        return empty_list(buffer, size);
    }
    DWORD result;
    if (section == nullptr) {
        result = copy_list(sections, buffer, size);
    } else if (!lists_name(sections, profile_trimmed(section))) {
        // As elsewhere: a missing section lists the default as its one name.
        result = default_list(default_value, buffer, size);
    } else {
        char *keys = read_whole_list(section, path);
        result = keys != nullptr ? copy_list(keys, buffer, size) : empty_list(buffer, size);
        free(keys);
    }
    free(sections);
    return result;
}

}  // namespace

DWORD port_get_profile_string(LPCSTR section, LPCSTR key, LPCSTR default_value, LPSTR buffer,
                              DWORD size, LPCSTR path) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    // A relative path would name a file in the Windows directory, and a path
    // the system would have to lengthen past MAX_PATH overruns its buffers:
    // such a file is never read, as if it were missing.
    char full_path[MAX_PATH];
    bool readable = path != nullptr && os_full_path(path, full_path, sizeof full_path);
    if (!readable) {
        if (section != nullptr && key == nullptr) {
            return default_list(default_value, buffer, size);
        }
        if (section == nullptr) {
            return empty_list(buffer, size);
        }
        return copy_value(default_text(default_value), buffer, size);
    }
    if (section == nullptr || key == nullptr) {
        return read_list(section, default_value, buffer, size, full_path);
    }
    char *default_copy = trimmed_default(default_value);
    if (default_copy == nullptr) {
        return copy_value(default_text(default_value), buffer, size);
    }
    DWORD length = GetPrivateProfileStringA(section, key, default_copy, buffer, size, full_path);
    free(default_copy);
    return length;
}

#endif  // _WIN32
