#if !defined(_WIN32)

#include "port/profile_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

#include "port/native_path.h"

namespace {

const size_t READ_CHUNK = 64 * 1024;
const size_t TEMP_SUFFIX_SIZE = 64;
const int TEMP_NAME_ATTEMPTS = 100;

// Temporary names differ per process and per call, so concurrent writers of
// one profile never share a temporary file.
std::atomic<unsigned long> next_temp_number{0};

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

#endif  // !_WIN32
