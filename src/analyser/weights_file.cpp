#include "analyser/weights_file.h"

#include <stdlib.h>
#include <string.h>

#include "heuristics/evaluator_inputs.h"
#include "platlib/text.h"
#include "port/profile_file.h"
#include "port/winapi.h"

namespace {

bool is_weights_section(const char *name) {
    if (equal_ignoring_ascii_case(name, ROOT_INPUTS_SECTION)) {
        return true;
    }
    for (const char *input_name : ROOT_INPUT_NAMES) {
        if (equal_ignoring_ascii_case(name, input_name)) {
            return true;
        }
    }
    return false;
}

}  // namespace

weights_file_state inspect_weights_file(const char *path) {
    if (path == nullptr || path[0] == '\0') {
        return WEIGHTS_FILE_MISSING;
    }
    profile_text text{nullptr, 0};
    switch (profile_text_load(path, &text)) {
        case PROFILE_MISSING:
            return WEIGHTS_FILE_MISSING;
        case PROFILE_UNREADABLE:
            return WEIGHTS_FILE_UNREADABLE;
        case PROFILE_LOADED:
            break;
    }
    // Every section name fits in a buffer as large as the file.
    DWORD size = static_cast<DWORD>(text.size + 2);
    profile_text_free(&text);
    char *names = static_cast<char *>(malloc(size));
    if (names == nullptr) {
        return WEIGHTS_FILE_UNREADABLE;
    }
    GetPrivateProfileStringA(nullptr, nullptr, "", names, size, path);
    weights_file_state state = WEIGHTS_FILE_WITHOUT_SECTIONS;
    for (const char *name = names; *name != '\0'; name += strlen(name) + 1) {
        if (is_weights_section(name)) {
            state = WEIGHTS_FILE_USABLE;
            break;
        }
    }
    free(names);
    return state;
}
