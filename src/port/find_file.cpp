// FindFirstFileA, FindNextFileA and FindClose: our stand-ins for platforms
// without them, and on Windows a layer over the system's.
//
// A search lists the whole directory at once, keeps the regular files whose
// names match, and hands them out in byte order: directory listings have no
// stable order, and the caller takes the first match as the one to use. On
// Windows the system's search also yields directories, "." and "..", and
// matches "*.rdf" against short names too ("x.rdfx" is "X~1.RDF"), so the
// layer lists everything and matches the long names itself.

#if defined(_WIN32)
#define TOKENWEAVE_PORT_SYSTEM_CALLS
#endif

#include <stdlib.h>
#include <string.h>

#if !defined(_WIN32)
#include <dirent.h>
#include <sys/stat.h>
#endif

#include "port/ascii_case.h"
#include "port/native_path.h"
#include "port/winapi.h"

namespace {

const DWORD FILE_ATTRIBUTE_NORMAL_VALUE = 0x80;
const size_t FIRST_NAME_CAPACITY = 16;

struct find_search {
    char **names;
    size_t count;
    size_t capacity;
    size_t next;
};

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

// Windows matching: '*' any run of characters, '?' any one, letters without
// regard to ASCII case, and "*.*" everything (names without a dot included).
bool name_matches(const char *pattern, const char *name) {
    if (strcmp(pattern, "*.*") == 0) {
        return true;
    }
    const char *star = nullptr;  // the last '*' seen, to retry from
    const char *star_name = nullptr;
    while (*name != '\0') {
        if (*pattern == '*') {
            star = pattern++;
            star_name = name;
        } else if (*pattern == '?' ||
                   (*pattern != '\0' && port_ascii_lower(*pattern) == port_ascii_lower(*name))) {
            ++pattern;
            ++name;
        } else if (star != nullptr) {
            pattern = star + 1;
            name = ++star_name;
        } else {
            return false;
        }
    }
    while (*pattern == '*') {
        ++pattern;
    }
    return *pattern == '\0';
}

bool add_name(find_search *search, const char *name) {
    if (search->count == search->capacity) {
        size_t capacity = search->capacity == 0 ? FIRST_NAME_CAPACITY : search->capacity * 2;
        char **bigger = static_cast<char **>(realloc(search->names, capacity * sizeof(char *)));
        if (bigger == nullptr) {
            return false;
        }
        search->names = bigger;
        search->capacity = capacity;
    }
    char *copy = strdup(name);
    if (copy == nullptr) {
        return false;
    }
    search->names[search->count++] = copy;
    return true;
}

void free_search(find_search *search) {
    for (size_t i = 0; i < search->count; ++i) {
        free(search->names[i]);
    }
    free(search->names);
    free(search);
}

int compare_names(const void *a, const void *b) {
    return strcmp(*static_cast<char *const *>(a), *static_cast<char *const *>(b));
}

void fill_found(const char *name, WIN32_FIND_DATAA *found) {
    memset(found, 0, sizeof *found);
    found->dwFileAttributes = FILE_ATTRIBUTE_NORMAL_VALUE;
    strcpy(found->cFileName, name);  // shorter than MAX_PATH, checked when collected
}

// Hands out the first match in byte order and keeps the rest for the next
// calls: both systems' searches end here, so both list alike.
HANDLE start_search(find_search *search, WIN32_FIND_DATAA *found) {
    qsort(search->names, search->count, sizeof(char *), compare_names);
    fill_found(search->names[0], found);
    search->next = 1;
    return static_cast<HANDLE>(search);
}

BOOL next_match(HANDLE handle, WIN32_FIND_DATAA *found) {
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || found == nullptr) {
        return FALSE;
    }
    find_search *search = static_cast<find_search *>(handle);
    if (search->next >= search->count) {
        return FALSE;
    }
    fill_found(search->names[search->next++], found);
    return TRUE;
}

BOOL close_search(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
        return FALSE;
    }
    free_search(static_cast<find_search *>(handle));
    return TRUE;
}

}  // namespace

#if !defined(_WIN32)

namespace {

bool is_regular_file(const char *directory, const char *name) {
    size_t size = strlen(directory) + strlen(name) + 2;
    char *path = static_cast<char *>(malloc(size));
    if (path == nullptr) {
        return false;
    }
    strcpy(path, directory);
    strcat(path, "/");
    strcat(path, name);
    struct stat info;
    bool regular = stat(path, &info) == 0 && S_ISREG(info.st_mode);
    free(path);
    return regular;
}

// Collects the matching names of directory; false when it cannot be listed
// or memory runs out.
bool collect_matches(find_search *search, const char *directory, const char *pattern) {
    DIR *listing = opendir(directory);
    if (listing == nullptr) {
        return false;
    }
    bool complete = true;
    while (dirent *entry = readdir(listing)) {
        const char *name = entry->d_name;
        // Names that cFileName cannot hold whole would lead to the wrong file.
        if (strlen(name) >= MAX_PATH || !name_matches(pattern, name)) {
            continue;
        }
        if (!is_regular_file(directory, name)) {
            continue;
        }
        if (!add_name(search, name)) {
            complete = false;
            break;
        }
    }
    closedir(listing);
    return complete;
}

}  // namespace

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA *found) {
    if (pattern == nullptr || found == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    const char *separator = nullptr;
    for (const char *c = pattern; *c != '\0'; ++c) {
        if (is_separator(*c)) {
            separator = c;
        }
    }
    const char *name_pattern = separator != nullptr ? separator + 1 : pattern;
    // "dir/x" searches dir, "/x" the root, "x" the current directory.
    size_t directory_length =
        separator == nullptr
            ? 0
            : (separator == pattern ? 1 : static_cast<size_t>(separator - pattern));
    char *directory = static_cast<char *>(malloc(directory_length + 2));
    find_search *search = static_cast<find_search *>(calloc(1, sizeof *search));
    bool found_any = false;
    if (directory != nullptr && search != nullptr) {
        if (directory_length == 0) {
            strcpy(directory, ".");
        } else {
            memcpy(directory, pattern, directory_length);
            directory[directory_length] = '\0';
            os_native_path(directory, directory, directory_length + 1);
        }
        found_any = collect_matches(search, directory, name_pattern) && search->count > 0;
    }
    free(directory);
    if (!found_any) {
        if (search != nullptr) {
            free_search(search);
        }
        return INVALID_HANDLE_VALUE;
    }
    return start_search(search, found);
}

BOOL FindNextFileA(HANDLE handle, WIN32_FIND_DATAA *found) {
    return next_match(handle, found);
}

BOOL FindClose(HANDLE handle) {
    return close_search(handle);
}

#else  // _WIN32

namespace {

// Collects the regular files of the directory that prefix (the pattern up to
// and with its last separator) names whose long names match pattern.
bool collect_matches(find_search *search, const char *prefix, size_t prefix_length,
                     const char *pattern) {
    char query[MAX_PATH];
    if (prefix_length + 2 > sizeof query) {
        return false;
    }
    memcpy(query, prefix, prefix_length);
    strcpy(query + prefix_length, "*");
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA(query, &entry);
    if (listing == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool complete = true;
    do {
        const char *name = entry.cFileName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
            !name_matches(pattern, name)) {
            continue;
        }
        if (!add_name(search, name)) {
            complete = false;
            break;
        }
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
    return complete;
}

}  // namespace

HANDLE port_find_first_file(LPCSTR pattern, WIN32_FIND_DATAA *found) {
    if (pattern == nullptr || found == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    const char *name_pattern = pattern;
    for (const char *c = pattern; *c != '\0'; ++c) {
        if (is_separator(*c) || *c == ':') {
            name_pattern = c + 1;
        }
    }
    find_search *search = static_cast<find_search *>(calloc(1, sizeof *search));
    if (search == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    size_t prefix_length = static_cast<size_t>(name_pattern - pattern);
    if (name_pattern[0] == '\0' || !collect_matches(search, pattern, prefix_length, name_pattern) ||
        search->count == 0) {
        free_search(search);
        return INVALID_HANDLE_VALUE;
    }
    return start_search(search, found);
}

BOOL port_find_next_file(HANDLE handle, WIN32_FIND_DATAA *found) {
    return next_match(handle, found);
}

BOOL port_find_close(HANDLE handle) {
    return close_search(handle);
}

#endif  // _WIN32
