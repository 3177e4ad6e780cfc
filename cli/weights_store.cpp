#include "weights_store.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>

#include "analyser/data_file_path.h"
#include "analyser/weights_file.h"
#include "port/winapi.h"

namespace tokenweave_cli {

namespace {

const char WEIGHTS_FILE_NAME[] = "crlt.dat";
const char USER_DATA_DIRECTORY[] = "tokenweave";
const char INSTALLED_WEIGHTS[] = "../share/tokenweave/crlt.dat";

enum { MODULE_PATH_SIZE = 1024 };

bool exists(const std::string &path) {
    std::error_code ignored;
    return !path.empty() && std::filesystem::exists(path, ignored);
}

std::string environment(const char *name) {
    const char *value = getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

std::string shipped_weights_path() {
    char module_path[MODULE_PATH_SIZE];
    DWORD length = GetModuleFileNameA(nullptr, module_path, MODULE_PATH_SIZE);
    // A path that fills the buffer may have been cut (size - 1 bytes back).
    if (length > 0 && length < MODULE_PATH_SIZE - 1) {
        std::filesystem::path installed =
            std::filesystem::path(module_path).parent_path() / INSTALLED_WEIGHTS;
        if (exists(installed.string())) {
            return installed.lexically_normal().string();
        }
    }
    char beside[DATA_FILE_PATH_SIZE];
    compute_data_file_path(beside, sizeof beside);
    return beside[0] != '\0' ? std::filesystem::path(beside).lexically_normal().string() : "";
}

std::string user_weights_path() {
    std::string base = environment("XDG_DATA_HOME");
    // Relative values are to be ignored, so a stray setting cannot make the
    // copy depend on the working directory.
    if (base.empty() || !std::filesystem::path(base).is_absolute()) {
        std::string home = environment("HOME");
        if (home.empty()) {
            return "";
        }
        base = home + "/.local/share";
    }
    return base + "/" + USER_DATA_DIRECTORY + "/" + WEIGHTS_FILE_NAME;
}

std::string weights_for_reading(const std::string &named) {
    if (!named.empty()) {
        return named;
    }
    std::string user = user_weights_path();
    return exists(user) ? user : shipped_weights_path();
}

bool weights_for_learning(const std::string &named, std::string *path, std::string *error) {
    *path = named.empty() ? user_weights_path() : named;
    if (path->empty()) {
        *error =
            "no home directory for the learned weights (set HOME or XDG_DATA_HOME, or name "
            "a file with --weights)";
        return false;
    }
    return true;
}

bool create_user_copy(const std::string &path, std::string *error) {
    if (exists(path)) {
        return true;
    }
    std::error_code failure;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), failure);
    if (!failure) {
        std::filesystem::copy_file(shipped_weights_path(), path, failure);
    }
    if (!failure) {
        // The copy is the user's own, whatever the shipped file's mode.
        std::filesystem::permissions(
            path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
            std::filesystem::perm_options::add, failure);
    }
    if (failure) {
        *error = "cannot write " + path + ": " + failure.message();
        return false;
    }
    return true;
}

bool may_write_weights(const std::string &path, std::string *error) {
    switch (inspect_weights_file(path.c_str())) {
        case WEIGHTS_FILE_MISSING:
        case WEIGHTS_FILE_USABLE:
            return true;
        case WEIGHTS_FILE_UNREADABLE:
            *error = "cannot read " + path + ": " + strerror(errno);
            return false;
        case WEIGHTS_FILE_WITHOUT_SECTIONS:
            *error = "refusing to write " + path +
                     ": it holds none of the weights sections, so it is not a weights file";
            return false;
    }
    return false;
}

bool reset_user_weights(bool *removed, std::string *error) {
    std::string user = user_weights_path();
    *removed = false;
    if (user.empty() || !exists(user)) {
        return true;
    }
    std::error_code failure;
    *removed = std::filesystem::remove(user, failure);
    if (failure) {
        *error = "cannot remove " + user + ": " + failure.message();
        return false;
    }
    return true;
}

}  // namespace tokenweave_cli
