#include <stdlib.h>
#include <string.h>

#include "index/analyser_access.h"
#include "index/index_builder.h"
#include "index/scanner/scanner.h"
#include "platlib/platlib.h"
#include "port/native_path.h"
#include "port/winapi.h"

namespace {

const char ACTIONS_SECTION[] = "Actions";
const char DEFAULT_ACTION_FILE[] = "init.c";

enum {
    KEY_LIST_INITIAL_SIZE = 2048,
    KEY_LIST_MAX_SIZE = 1 << 24,
    ACTION_VALUE_SIZE = 1024,
    LINE_READ_SIZE = 2048,
    COUNT_BLOCK_SIZE = 32 * 1024
};

// The Actions section's key names, zero-terminated one after another and
// ended by an empty name. The buffer grows until the list fits, so a long
// project loses no action file. Null when memory ran out.
char *read_action_keys(const char *project_path) {
    DWORD size = KEY_LIST_INITIAL_SIZE;
    for (;;) {
        char *keys = static_cast<char *>(malloc(size));
        if (keys == nullptr) {
            return nullptr;
        }
        DWORD length = GetPrivateProfileStringA(ACTIONS_SECTION, nullptr, DEFAULT_ACTION_FILE, keys,
                                                size, project_path);
        // A list cut to fit reports size - 2 bytes.
        if (length + 2 < size || size >= KEY_LIST_MAX_SIZE) {
            return keys;
        }
        free(keys);
        size *= 2;
    }
}

}  // namespace

// Counts what a loop of line reads into a LINE_READ_SIZE buffer would: one
// for every read that ends at a newline or fills the buffer, and one for the
// last read, which meets the end of the file. It reads in large blocks, as
// the count runs over every action file before the scan.
int count_lines(const char *path) {
    FILE *file = os_fopen(path, "r");
    if (file == nullptr) {
        return COUNT_LINES_CANNOT_OPEN;
    }
    const size_t READ_LIMIT = LINE_READ_SIZE - 1;
    char block[COUNT_BLOCK_SIZE];
    int count = 1;
    size_t in_read = 0;  // bytes the current read has taken so far
    for (;;) {
        size_t got = fread(block, 1, sizeof block, file);
        const char *next = block;
        const char *end = block + got;
        while (next < end) {
            size_t room = READ_LIMIT - in_read;
            size_t available = static_cast<size_t>(end - next);
            size_t span = available < room ? available : room;
            const char *newline = static_cast<const char *>(memchr(next, '\n', span));
            if (newline != nullptr) {
                next = newline + 1;
            } else {
                next += span;
                in_read += span;
                if (in_read < READ_LIMIT) {
                    continue;
                }
            }
            ++count;
            in_read = 0;
        }
        if (got < sizeof block) {
            break;
        }
    }
    bool failed = ferror(file) != 0;
    fclose(file);
    return failed ? COUNT_LINES_READ_ERROR : count;
}

int load_project(CCorrelationAnalyser *analyser, correlation_index *index,
                 const char *project_path) {
    char *keys = read_action_keys(project_path);
    size_t path_length = strlen(project_path);
    char *drive = static_cast<char *>(malloc(OS_DRIVE_SIZE));
    char *directory = static_cast<char *>(malloc(path_length + 1));
    char *full_path = static_cast<char *>(malloc(path_length + ACTION_VALUE_SIZE + 1));
    if (keys == nullptr || drive == nullptr || directory == nullptr || full_path == nullptr) {
        free(keys);
        free(drive);
        free(directory);
        free(full_path);
        return -1;
    }
    os_split_path(project_path, drive, directory, nullptr, nullptr);

    int result = 0;
    int total_lines = 0;
    for (const char *key = keys; *key != '\0'; key += strlen(key) + 1) {
        char value[ACTION_VALUE_SIZE];
        GetPrivateProfileStringA(ACTIONS_SECTION, key, DEFAULT_ACTION_FILE, value, sizeof value,
                                 project_path);
        strcpy(full_path, drive);
        strcat(full_path, directory);
        strcat(full_path, value);

        int lines = count_lines(full_path);
        if (lines < 0) {
            lines = 0;
        }
        int registered = register_action_file(index, key, full_path, lines);
        if (registered < 0) {
            result = -1;
            break;
        }
        if (registered == 0) {
            total_lines += lines;
        }
    }
    free(keys);
    free(drive);
    free(directory);
    free(full_path);
    if (result != 0) {
        return result;
    }
    analyser_set_total_lines(analyser, total_lines);
    scan_action_files(action_file_count(index), index->file_paths);
    return 0;
}
