#include "test_support.h"

#include <stdio.h>
#include <stdlib.h>
#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "port/profile_lines.h"

namespace tw_test {

namespace {

#if defined(_WIN32)
// Windows has no mkdtemp: try random names until one is new.
bool make_unique_directory(std::string *pattern) {
    const size_t suffix_length = 6;
    const int attempts = 100;
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof letters - 2);
    size_t suffix = pattern->size() - suffix_length;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        for (size_t i = suffix; i < pattern->size(); ++i) {
            (*pattern)[i] = letters[pick(random)];
        }
        std::error_code error;
        if (std::filesystem::create_directory(*pattern, error)) {
            return true;
        }
        if (error) {
            return false;
        }
    }
    return false;
}
#else
bool make_unique_directory(std::string *pattern) {
    return mkdtemp(pattern->data()) != nullptr;
}
#endif

}  // namespace

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tokenweave-XXXXXX").string();
    if (!make_unique_directory(&pattern)) {
        abort();
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::file(const std::string &name) const {
    return path_ + "/" + name;
}

std::string TempDir::write(const std::string &name, const std::string &contents) const {
    std::string full = file(name);
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    return full;
}

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::string();
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string read_report(const std::string &path) {
    std::string text = read_file(path);
#if defined(_WIN32)
    std::string lf_text;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            lf_text += text[i];
        }
    }
    text = lf_text;
#endif
    return text;
}

std::vector<std::string> profile_contents(const std::string &text) {
    std::vector<std::string> contents;
    size_t position = 0;
    profile_line line;
    while (profile_next_line(text.data(), text.size(), &position, &line) == 0) {
        profile_line_info info = profile_classify(text.data(), line);
        std::string name(info.name.data != nullptr ? info.name.data : "", info.name.size);
        if (info.kind == PROFILE_LINE_SECTION) {
            contents.push_back("[" + name + "]");
        } else if (info.kind == PROFILE_LINE_ENTRY) {
            contents.push_back(name + "=" + std::string(info.value.data, info.value.size));
        } else if (info.kind != PROFILE_LINE_BLANK) {
            std::string raw = text.substr(line.start, line.content_end - line.start);
            contents.push_back(raw.substr(raw.find_first_not_of(" \t")));
        }
    }
    return contents;
}

bool file_exists(const std::string &path) {
    return std::filesystem::exists(path);
}

namespace {

#if defined(_WIN32)
// Text mode: the child's CRLF line ends arrive as LF, as on POSIX. cmd /c
// drops the first and the last quote of its command line, so the whole
// command gets one more pair.
FILE *open_command(const std::string &command) {
    return _popen(("\"" + command + "\"").c_str(), "rt");
}
// The child's exit code, or -1.
int close_command(FILE *pipe) {
    return _pclose(pipe);
}
#else
FILE *open_command(const std::string &command) {
    return popen(command.c_str(), "r");
}
int close_command(FILE *pipe) {
    int status = pclose(pipe);
    if (status == -1 || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}
#endif

}  // namespace

#if defined(_WIN32)
const char NULL_DEVICE[] = "NUL";

// Paths and the arguments the tests pass hold no double quotes.
std::string quoted_argument(const std::string &text) {
    return "\"" + text + "\"";
}
#else
const char NULL_DEVICE[] = "/dev/null";

std::string quoted_argument(const std::string &text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}
#endif

int run_command(const std::string &command, std::string *output) {
    FILE *pipe = open_command(command);
    if (pipe == nullptr) {
        return -1;
    }
    std::string captured;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        captured.append(chunk, got);
    }
    int status = close_command(pipe);
    if (output != nullptr) {
        *output = captured;
    }
    return status;
}

namespace {

void set_variable(const std::string &name, const char *value) {
#if defined(_WIN32)
    _putenv_s(name.c_str(), value != nullptr ? value : "");
#else
    if (value != nullptr && value[0] != '\0') {
        setenv(name.c_str(), value, 1);
    } else {
        unsetenv(name.c_str());
    }
#endif
}

}  // namespace

int run_command_in(const Environment &environment, const std::string &command,
                   std::string *output) {
    Environment saved;
    std::vector<std::string> unset;
    for (const auto &variable : environment) {
        const char *old = getenv(variable.first.c_str());
        if (old != nullptr) {
            saved.emplace_back(variable.first, old);
        } else {
            unset.push_back(variable.first);
        }
        set_variable(variable.first, variable.second.c_str());
    }
    int status = run_command(command, output);
    for (const auto &variable : saved) {
        set_variable(variable.first, variable.second.c_str());
    }
    for (const std::string &name : unset) {
        set_variable(name, nullptr);
    }
    return status;
}

}  // namespace tw_test
