// Helpers shared by every test program: scratch directories and file I/O.

#ifndef TOKENWEAVE_TESTS_TEST_SUPPORT_H
#define TOKENWEAVE_TESTS_TEST_SUPPORT_H

#include <string>
#include <utility>
#include <vector>

namespace tw_test {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return path_; }
    // path() + "/" + name.
    std::string file(const std::string &name) const;
    // Writes contents (bytes as given) to file(name), creating parent
    // directories; returns the full path.
    std::string write(const std::string &name, const std::string &contents) const;

private:
    std::string path_;
};

// The whole file as bytes; empty when it cannot be read.
std::string read_file(const std::string &path);
// A report file as text: Windows reports end their lines in CRLF, which
// reads as LF here, so expectations are the same on every platform.
std::string read_report(const std::string &path);
bool file_exists(const std::string &path);

// What a profile holds for its readers: every section header ("[name]"),
// entry ("key=value", without spacing) and other line in order, trimmed;
// blank lines and line breaks left out. On Windows the system's profile
// functions rewrite a file in their own spacing and drop blank lines, so
// tests there compare this instead of the bytes.
std::vector<std::string> profile_contents(const std::string &text);

// Runs a shell command (sh, or cmd.exe on Windows), capturing its standard
// output; returns the exit status (or -1 when it could not run).
int run_command(const std::string &command, std::string *output);

// run_command with environment variables set for the command (an empty value
// removes the variable), as `env` would, on every platform; the test's own
// environment is restored afterwards.
typedef std::vector<std::pair<std::string, std::string>> Environment;
int run_command_in(const Environment &environment, const std::string &command, std::string *output);

// What the shell of run_command knows as the null device, and text quoted as
// one argument for it.
extern const char NULL_DEVICE[];
std::string quoted_argument(const std::string &text);

}  // namespace tw_test

#endif  // TOKENWEAVE_TESTS_TEST_SUPPORT_H
