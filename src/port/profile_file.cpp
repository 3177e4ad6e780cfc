#include "port/profile_file.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <atomic>

#if defined(_WIN32)
#include "port/winapi.h"
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "port/native_path.h"

namespace {

const size_t READ_CHUNK = 64 * 1024;
const size_t TEMP_SUFFIX_SIZE = 64;
const int TEMP_NAME_ATTEMPTS = 100;

// Temporary names differ per process and per call, so concurrent writers of
// one profile never share a temporary file.
std::atomic<unsigned long> next_temp_number{0};

}  // namespace

#if !defined(_WIN32)

namespace {

char *native_copy(const char *path) {
    size_t size = strlen(path) + 1;
    char *native = static_cast<char *>(malloc(size));
    if (native != nullptr) {
        os_native_path(path, native, size);
    }
    return native;
}

const int MAX_LINK_DEPTH = 40;

// The file a path finally names: symbolic links are followed (also to a
// target that does not exist yet), so that a write replaces the file the
// link points to and leaves the link in place. Takes ownership of path and
// returns the resolved path (null when memory ran out or the links loop).
char *follow_links(char *path) {
    for (int depth = 0; path != nullptr; ++depth) {
        struct stat status;
        if (lstat(path, &status) != 0 || !S_ISLNK(status.st_mode)) {
            return path;
        }
        if (depth == MAX_LINK_DEPTH) {
            errno = ELOOP;
            break;
        }
        size_t capacity = static_cast<size_t>(status.st_size > 0 ? status.st_size : 255) + 1;
        char *link = static_cast<char *>(malloc(capacity));
        ssize_t length = link != nullptr ? readlink(path, link, capacity) : -1;
        if (length < 0 || static_cast<size_t>(length) >= capacity) {
            free(link);
            break;
        }
        link[length] = '\0';
        char *next = link;
        if (link[0] != '/') {
            // A relative link is read from the link's own directory.
            const char *slash = strrchr(path, '/');
            size_t directory_length = slash != nullptr ? static_cast<size_t>(slash - path) + 1 : 0;
            next = static_cast<char *>(malloc(directory_length + static_cast<size_t>(length) + 1));
            if (next != nullptr) {
                memcpy(next, path, directory_length);
                strcpy(next + directory_length, link);
            }
            free(link);
        }
        free(path);
        path = next;
    }
    free(path);
    return nullptr;
}

int write_all(int fd, const char *data, size_t size) {
    while (size > 0) {
        ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

// Creates a new, empty file beside path and returns its descriptor (the name
// in temp_path, which holds strlen(path) + TEMP_SUFFIX_SIZE bytes), or -1.
int create_temp_beside(const char *path, char *temp_path, size_t temp_size) {
    for (int attempt = 0; attempt < TEMP_NAME_ATTEMPTS; ++attempt) {
        snprintf(temp_path, temp_size, "%s.%ld.%lu.tmp", path, static_cast<long>(getpid()),
                 next_temp_number.fetch_add(1));
        int fd = open(temp_path, O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Makes the rename itself durable; a failure here loses nothing that the
// rename has not already made visible, so it is not reported.
void sync_directory_of(const char *path) {
    const char *slash = strrchr(path, '/');
    char *directory =
        slash == nullptr ? strdup(".") : strndup(path, slash == path ? 1 : slash - path);
    if (directory == nullptr) {
        return;
    }
    int fd = open(directory, O_RDONLY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
    free(directory);
}

int write_temp_file(int fd, const char *target, const profile_span *parts, size_t part_count) {
    struct stat existing;
    if (stat(target, &existing) == 0 &&
        (!S_ISREG(existing.st_mode) || fchmod(fd, existing.st_mode & 07777) != 0)) {
        // Renaming over a device or a directory would destroy it.
        return -1;
    }
    for (size_t i = 0; i < part_count; ++i) {
        if (write_all(fd, parts[i].data, parts[i].size) != 0) {
            return -1;
        }
    }
    return fsync(fd);
}

}  // namespace

#endif  // !_WIN32

profile_load_result profile_text_load(const char *path, profile_text *text) {
    text->data = nullptr;
    text->size = 0;
    FILE *file = os_fopen(path, "rb");
    if (file == nullptr) {
        return errno == ENOENT || errno == ENOTDIR ? PROFILE_MISSING : PROFILE_UNREADABLE;
    }
    // A device or a pipe is no profile: /dev/zero would be read forever.
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
        fclose(file);
        return PROFILE_UNREADABLE;
    }
    // Room for the whole file and one byte more, so that a file that does not
    // grow meanwhile is read in one piece: settings are read key by key, each
    // time from the whole file.
    size_t capacity = static_cast<size_t>(status.st_size) + 1;
    text->data = static_cast<char *>(malloc(capacity));
    if (text->data == nullptr) {
        capacity = 0;
    }
    for (;;) {
        if (capacity == text->size) {
            size_t grown = capacity + (capacity > READ_CHUNK ? capacity : READ_CHUNK);
            char *bigger = static_cast<char *>(realloc(text->data, grown));
            if (bigger == nullptr) {
                break;
            }
            text->data = bigger;
            capacity = grown;
        }
        size_t got = fread(text->data + text->size, 1, capacity - text->size, file);
        text->size += got;
        if (got == 0) {
            break;
        }
    }
    bool complete = feof(file) && !ferror(file);
    fclose(file);
    if (!complete) {
        profile_text_free(text);
        return PROFILE_UNREADABLE;
    }
    return PROFILE_LOADED;
}

void profile_text_free(profile_text *text) {
    free(text->data);
    text->data = nullptr;
    text->size = 0;
}

#if !defined(_WIN32)

int profile_replace_file(const char *path, const profile_span *parts, size_t part_count) {
    if (path == nullptr || path[0] == '\0') {
        return -1;
    }
    char *target = follow_links(native_copy(path));
    size_t temp_size = (target != nullptr ? strlen(target) : 0) + TEMP_SUFFIX_SIZE;
    char *temp_path = static_cast<char *>(malloc(temp_size));
    int result = -1;
    if (target != nullptr && temp_path != nullptr) {
        int fd = create_temp_beside(target, temp_path, temp_size);
        if (fd >= 0) {
            bool written = write_temp_file(fd, target, parts, part_count) == 0;
            bool closed = close(fd) == 0;
            if (written && closed && rename(temp_path, target) == 0) {
                sync_directory_of(target);
                result = 0;
            } else {
                // The caller may name the reason: keep the failure's errno.
                int failure = errno;
                unlink(temp_path);
                errno = failure;
            }
        }
    }
    free(temp_path);
    free(target);
    return result;
}

#else  // _WIN32

namespace {

// The C runtime's code for the last Windows error, so that callers can name
// the reason as they do elsewhere.
int errno_of_last_error() {
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        default:
            return EIO;
    }
}

bool write_all(HANDLE file, const profile_span *parts, size_t part_count) {
    for (size_t i = 0; i < part_count; ++i) {
        const char *data = parts[i].data;
        size_t left = parts[i].size;
        while (left > 0) {
            DWORD chunk =
                left > READ_CHUNK ? static_cast<DWORD>(READ_CHUNK) : static_cast<DWORD>(left);
            DWORD written = 0;
            if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) {
                return false;
            }
            data += written;
            left -= written;
        }
    }
    return true;
}

}  // namespace

char *profile_write_beside(const char *path, const profile_span *parts, size_t part_count) {
    if (path == nullptr || path[0] == '\0') {
        errno = ENOENT;
        return nullptr;
    }
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        // Moving over a directory would fail at the end anyway; fail first.
        errno = EISDIR;
        return nullptr;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        // Windows refuses to replace a read-only file, Wine does not: refuse
        // on both.
        errno = EACCES;
        return nullptr;
    }
    size_t temp_size = strlen(path) + TEMP_SUFFIX_SIZE;
    char *temp_path = static_cast<char *>(malloc(temp_size));
    if (temp_path == nullptr) {
        errno = ENOMEM;
        return nullptr;
    }
    // A short name in the target's directory: the profile functions change
    // the new file by name, and a name near MAX_PATH would not reach them.
    const char *name = path;
    for (const char *c = path; *c != '\0'; ++c) {
        if (*c == '\\' || *c == '/' || *c == ':') {
            name = c + 1;
        }
    }
    int directory_length = static_cast<int>(name - path);
    for (int attempt = 0; attempt < TEMP_NAME_ATTEMPTS; ++attempt) {
        snprintf(temp_path, temp_size, "%.*s~tw%lu.%lu.tmp", directory_length, path,
                 static_cast<unsigned long>(GetCurrentProcessId()), next_temp_number.fetch_add(1));
        HANDLE file = CreateFileA(temp_path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS) {
                continue;
            }
            break;
        }
        bool written = write_all(file, parts, part_count) && FlushFileBuffers(file);
        int failure = written ? 0 : errno_of_last_error();
        bool closed = CloseHandle(file) != 0;
        if (written && closed) {
            return temp_path;
        }
        DeleteFileA(temp_path);
        free(temp_path);
        errno = failure != 0 ? failure : EIO;
        return nullptr;
    }
    errno = errno_of_last_error();
    free(temp_path);
    return nullptr;
}

int profile_move_over(const char *temp_path, const char *path) {
    if (MoveFileExA(temp_path, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return 0;
    }
    int failure = errno_of_last_error();
    DeleteFileA(temp_path);
    errno = failure;
    return -1;
}

int profile_replace_file(const char *path, const profile_span *parts, size_t part_count) {
    char *temp_path = profile_write_beside(path, parts, part_count);
    if (temp_path == nullptr) {
        return -1;
    }
    int result = profile_move_over(temp_path, path);
    free(temp_path);
    return result;
}

#endif  // _WIN32
