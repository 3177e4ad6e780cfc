#include "port/native_path.h"

#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include "port/winapi.h"
#endif

char *os_native_path(const char *path, char *out, size_t out_size) {
    size_t length = strlen(path);
    if (length + 1 > out_size) {
        return nullptr;
    }
    for (size_t i = 0; i <= length; ++i) {
#if defined(_WIN32)
        out[i] = path[i];
#else
        out[i] = path[i] == '\\' ? '/' : path[i];
#endif
    }
    return out;
}

FILE *os_fopen(const char *path, const char *mode) {
    enum { ON_STACK = 1024 };
    char small[ON_STACK];
    size_t size = strlen(path) + 1;
    char *native = size <= sizeof small ? small : static_cast<char *>(malloc(size));
    if (native == nullptr) {
        return nullptr;
    }
    os_native_path(path, native, size);
    FILE *file = fopen(native, mode);
    if (native != small) {
        free(native);
    }
    return file;
}

#if defined(_WIN32)
bool os_full_path(const char *path, char *out, size_t out_size) {
    if (path == nullptr || path[0] == '\0' || out_size == 0) {
        return false;
    }
    DWORD length = GetFullPathNameA(path, static_cast<DWORD>(out_size), out, nullptr);
    return length > 0 && length < out_size;
}
#endif
