// What every tokenweave subcommand shares: the project and its options,
// building the analyser, the progress bar, and naming action files.

#ifndef TOKENWEAVE_CLI_COMMAND_COMMON_H
#define TOKENWEAVE_CLI_COMMAND_COMMON_H

#include <memory>
#include <string>
#include <vector>

#include "tokenweave/ccorrelationanalyser.h"

namespace CLI {
class App;
}

namespace tokenweave_cli {

enum exit_status { EXIT_REPORTED = 0, EXIT_ERROR = 1, EXIT_NOTHING_FOUND = 3 };

// One pair named on the command line: a value, the input that sends it and
// the output that returned it (feedback and explain); direction is
// feedback's "up" or "down".
struct feedback_options {
    std::string direction;
    std::string value;
    std::string input_file;
    int input_line = 0;
    std::string output_file;
    int output_line = 0;
};

struct project_options {
    std::string project;
    std::string database;  // empty: chosen from the scripts
    std::string grid_settings;
    std::string settings;
    std::string weights;
    std::string progress = "auto";
    bool quiet = false;
    bool strict = false;
};

// Adds PROJECT and --db / --grid-settings / --progress / --quiet / --strict
// to a subcommand; with_learning adds --settings and --weights as well.
void add_project_options(CLI::App *command, project_options *options, bool with_learning);

// Builds the analyser's index (after checking that the project file can be
// read), then prints a warning per build diagnostic and the summary line.
// Null, with a message on standard error, when it cannot be built, or when
// --strict is given and there was a diagnostic.
std::unique_ptr<CCorrelationAnalyser> build_analyser(const project_options &options);

// The build diagnostics of a built analyser, in the order met.
std::vector<tokenweave_diagnostic> build_diagnostics(CCorrelationAnalyser &analyser);

// Sets *resolved to the full action-file path the index holds for a FILE
// argument given relative to the project file's directory, or as a full
// path. False, with a message on standard error, when the project has no
// such action file.
bool resolve_action_file(CCorrelationAnalyser &analyser, const project_options &options,
                         const std::string &file, std::string *resolved);

// The directory of the project file, with its trailing separator (empty
// for a project file named without one).
std::string project_directory(const std::string &project);

// The weights file a command reads: the one requested with --weights, else
// the user's learned copy when it exists, else the shipped one.
std::string weights_file_in_use(const std::string &requested);

// Why a file at path cannot be written, as the system words it ("No such
// file or directory", "Permission denied", "Is a directory"); for a write
// that failed part-way, "not written completely".
std::string why_not_writable(const std::string &path);

// Ends the progress bar's line, if one was drawn.
void finish_progress();

// Prints "tokenweave: message" on standard error.
void report_error(const std::string &message);

}  // namespace tokenweave_cli

#endif  // TOKENWEAVE_CLI_COMMAND_COMMON_H
