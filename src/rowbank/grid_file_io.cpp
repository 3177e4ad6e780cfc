#include "rowbank/grid_file_io.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <limits>

bool operator==(const grid_file_stamp_t &a, const grid_file_stamp_t &b) {
    return a.size == b.size && a.modified_seconds == b.modified_seconds &&
           a.modified_nanoseconds == b.modified_nanoseconds;
}

#if defined(_WIN32)

#include <io.h>

int grid_file_stamp(FILE *file, grid_file_stamp_t *stamp) {
    struct _stat64 status;
    if (_fstat64(_fileno(file), &status) != 0 || status.st_size < 0) {
        return -1;
    }
    stamp->size = static_cast<uint64_t>(status.st_size);
    stamp->modified_seconds = status.st_mtime;
    stamp->modified_nanoseconds = 0;
    return 0;
}

int grid_file_seek(FILE *file, uint64_t offset) {
    if (offset > static_cast<uint64_t>(std::numeric_limits<__int64>::max())) {
        return -1;
    }
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0 ? 0 : -1;
}

#else

int grid_file_stamp(FILE *file, grid_file_stamp_t *stamp) {
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || status.st_size < 0) {
        return -1;
    }
    stamp->size = static_cast<uint64_t>(status.st_size);
#if defined(__APPLE__)
    stamp->modified_seconds = status.st_mtimespec.tv_sec;
    stamp->modified_nanoseconds = status.st_mtimespec.tv_nsec;
#else
    stamp->modified_seconds = status.st_mtim.tv_sec;
    stamp->modified_nanoseconds = status.st_mtim.tv_nsec;
#endif
    return 0;
}

int grid_file_seek(FILE *file, uint64_t offset) {
    if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) {
        return -1;
    }
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 ? 0 : -1;
}

#endif

int grid_file_read_range(FILE *file, uint64_t begin, uint64_t end, std::string *out) {
    out->clear();
    if (end < begin || end - begin > std::numeric_limits<size_t>::max() / 2) {
        return -1;
    }
    if (grid_file_seek(file, begin) != 0) {
        return -1;
    }
    size_t length = static_cast<size_t>(end - begin);
    out->resize(length);
    if (length > 0 && fread(&(*out)[0], 1, length, file) != length) {
        out->clear();
        return -1;
    }
    return 0;
}
