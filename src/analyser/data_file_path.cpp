#include "analyser/data_file_path.h"

#include <stdlib.h>
#include <string.h>

#include "platlib/platlib.h"

namespace {

#if defined(_WIN32)
const char DATA_FILE_RELATIVE_PATH[] = "..\\dat\\crlt.dat";
#else
const char DATA_FILE_RELATIVE_PATH[] = "../dat/crlt.dat";
#endif

enum { MODULE_PATH_SIZE = 1024 };

}  // namespace

void compute_data_file_path(char *buffer, size_t size) {
    if (size == 0) {
        return;
    }
    buffer[0] = '\0';
    char module_path[MODULE_PATH_SIZE];
    DWORD length = GetModuleFileNameA(nullptr, module_path, MODULE_PATH_SIZE);
    // A cut path comes back as size - 1 bytes: one that fills the buffer
    // may be cut, and a directory taken from it would name the wrong place.
    if (length == 0 || length >= MODULE_PATH_SIZE - 1) {
        return;
    }
    char drive[OS_DRIVE_SIZE];
    char directory[MODULE_PATH_SIZE];
    char file_name[MODULE_PATH_SIZE];
    char extension[OS_EXTENSION_SIZE];
    os_split_path(module_path, drive, directory, file_name, extension);

    size_t needed = strlen(drive) + strlen(directory) + strlen(DATA_FILE_RELATIVE_PATH);
    if (needed + 1 > size) {
        return;
    }
    strcpy(buffer, drive);
    strcat(buffer, directory);
    strcat(buffer, DATA_FILE_RELATIVE_PATH);
}
