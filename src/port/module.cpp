// GetModuleFileNameA and GetModuleHandleA for platforms without them (only
// the running executable is a module here), and on Windows the layer that
// gives the system's GetModuleFileNameA the same cut: a path too long for the
// buffer is cut to size - 1 bytes and always ends in a terminator, where the
// system's leaves it out on some versions and reports size on all.

#if defined(_WIN32)

#define TOKENWEAVE_PORT_SYSTEM_CALLS
#include "port/winapi.h"

DWORD port_module_file_name(HMODULE module, LPSTR buffer, DWORD size) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    DWORD length = GetModuleFileNameA(module, buffer, size);
    if (length == 0) {
        buffer[0] = '\0';
        return 0;
    }
    if (length >= size) {
        buffer[size - 1] = '\0';
        return size - 1;
    }
    return length;
}

#else

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "port/winapi.h"

namespace {

// What GetModuleHandleA(nullptr) hands out: any non-null value would do,
// callers only pass it back.
char executable_module;

const size_t FIRST_LINK_SIZE = 256;
const size_t MAX_LINK_SIZE = 1 << 20;

// The target of /proc/self/exe in a new allocation, or null.
char *read_executable_path() {
    for (size_t size = FIRST_LINK_SIZE; size <= MAX_LINK_SIZE; size *= 2) {
        char *path = static_cast<char *>(malloc(size));
        if (path == nullptr) {
            return nullptr;
        }
        ssize_t length = readlink("/proc/self/exe", path, size);
        if (length >= 0 && static_cast<size_t>(length) < size) {
            path[length] = '\0';
            return path;
        }
        free(path);
        if (length < 0) {
            return nullptr;
        }
    }
    return nullptr;
}

}  // namespace

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    if (buffer == nullptr || size == 0 ||
        (module != nullptr && module != static_cast<HMODULE>(&executable_module))) {
        return 0;
    }
    char *path = read_executable_path();
    if (path == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    size_t length = strlen(path);
    if (length > size - 1) {
        length = size - 1;
    }
    memcpy(buffer, path, length);
    buffer[length] = '\0';
    free(path);
    return static_cast<DWORD>(length);
}

HMODULE GetModuleHandleA(LPCSTR name) {
    return name == nullptr ? static_cast<HMODULE>(&executable_module) : nullptr;
}

#endif  // _WIN32
