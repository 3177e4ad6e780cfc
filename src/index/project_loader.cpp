#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>

#include "index/analyser_access.h"
#include "index/index_builder.h"
#include "index/scanner/scanner.h"
#include "platlib/platlib.h"
#include "platlib/text.h"
#include "port/native_path.h"
#include "port/profile_file.h"
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

// The path as the platform names it ('\\' read as a separator).
std::filesystem::path native_path_of(const char *path) {
    std::string native(path);
    for (char &c : native) {
        if (c == '\\') {
            c = '/';
        }
    }
    return std::filesystem::path(native);
}

// The name of a file beside path whose name differs from path's only in
// letter case; empty when there is none.
std::string name_differing_in_case(const char *path) {
    std::filesystem::path wanted = native_path_of(path);
    std::filesystem::path directory = wanted.parent_path();
    if (directory.empty()) {
        directory = ".";
    }
    std::string wanted_name = wanted.filename().string();
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
        std::string name = entry->path().filename().string();
        if (name != wanted_name && equal_ignoring_ascii_case(name.c_str(), wanted_name.c_str())) {
            return name;
        }
    }
    return std::string();
}

// Says why an action file that could not be counted will not be scanned.
void report_unusable_action_file(CCorrelationAnalyser *analyser, const char *path) {
    std::error_code error;
    std::filesystem::path native = native_path_of(path);
    if (std::filesystem::is_directory(native, error)) {
        analyser_report_diagnostic(analyser, TOKENWEAVE_DIAGNOSTIC_ACTION_FILE_IS_DIRECTORY, path,
                                   0, "is a directory, not an action file; skipped");
        return;
    }
    FILE *file = os_fopen(path, "rb");
    int open_error = errno;
    if (file != nullptr) {
        fclose(file);
        analyser_report_diagnostic(analyser, TOKENWEAVE_DIAGNOSTIC_ACTION_FILE_UNREADABLE, path, 0,
                                   "read error; skipped");
        return;
    }
    if (open_error == ENOENT || open_error == ENOTDIR) {
        std::string similar = name_differing_in_case(path);
        std::string reason = "file not found; skipped";
        if (!similar.empty()) {
            reason += " (\"" + similar + "\" differs only in letter case)";
        }
        analyser_report_diagnostic(analyser, TOKENWEAVE_DIAGNOSTIC_ACTION_FILE_MISSING, path, 0,
                                   reason.c_str());
        return;
    }
    std::string reason = std::string(strerror(open_error)) + "; skipped";
    analyser_report_diagnostic(analyser, TOKENWEAVE_DIAGNOSTIC_ACTION_FILE_UNREADABLE, path, 0,
                               reason.c_str());
}

// Whether the project file lists its action files; says so when it does
// not, since the project then silently becomes "init.c".
void check_project_file(CCorrelationAnalyser *analyser, const char *project_path) {
    profile_text text{nullptr, 0};
    profile_load_result loaded = profile_text_load(project_path, &text);
    if (loaded != PROFILE_LOADED) {
        int kind = TOKENWEAVE_DIAGNOSTIC_PROJECT_UNREADABLE;
        const char *reason = loaded == PROFILE_MISSING
                                 ? "project file not found; \"init.c\" beside it was used"
                                 : "project file cannot be read; \"init.c\" beside it was used";
        analyser_report_diagnostic(analyser, kind, project_path, 0, reason);
        return;
    }
    // Every section name fits in a buffer as large as the file.
    DWORD size = static_cast<DWORD>(text.size + 2);
    profile_text_free(&text);
    char *names = static_cast<char *>(malloc(size));
    if (names == nullptr) {
        return;
    }
    GetPrivateProfileStringA(nullptr, nullptr, "", names, size, project_path);
    bool found = false;
    for (const char *name = names; *name != '\0' && !found; name += strlen(name) + 1) {
        found = equal_ignoring_ascii_case(name, ACTIONS_SECTION);
    }
    free(names);
    if (!found) {
        analyser_report_diagnostic(analyser, TOKENWEAVE_DIAGNOSTIC_PROJECT_WITHOUT_ACTIONS,
                                   project_path, 0,
                                   "no [Actions] section; \"init.c\" beside it was used");
    }
}

// An Actions value that names a whole path: "/srv/a.c", "C:\\rec\\a.c",
// "\\\\host\\share\\a.c". Joining it to the project's directory would
// name a file that does not exist.
bool is_absolute_action_path(const char *value) {
    if (value[0] == '/' || value[0] == '\\') {
        return true;
    }
    bool drive_letter =
        (value[0] >= 'A' && value[0] <= 'Z') || (value[0] >= 'a' && value[0] <= 'z');
    return drive_letter && value[1] == ':' && (value[2] == '\\' || value[2] == '/');
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
    check_project_file(analyser, project_path);

    int result = 0;
    int total_lines = 0;
    for (const char *key = keys; *key != '\0'; key += strlen(key) + 1) {
        char value[ACTION_VALUE_SIZE];
        GetPrivateProfileStringA(ACTIONS_SECTION, key, DEFAULT_ACTION_FILE, value, sizeof value,
                                 project_path);
        if (is_absolute_action_path(value)) {
            strcpy(full_path, value);
        } else {
            strcpy(full_path, drive);
            strcat(full_path, directory);
            strcat(full_path, value);
        }

        int lines = count_lines(full_path);
        int registered = register_action_file(index, key, full_path, lines > 0 ? lines : 0);
        if (registered < 0) {
            result = -1;
            break;
        }
        if (registered == 0 && lines < 0) {
            report_unusable_action_file(analyser, full_path);
        }
        if (registered == 0 && lines > 0) {
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
