// The command line before CLI11 reads it: "help SUB", and a subcommand name
// that is unknown or misspelled.

#ifndef TOKENWEAVE_CLI_COMMAND_LINE_H
#define TOKENWEAVE_CLI_COMMAND_LINE_H

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tokenweave_cli {

// The arguments (program name first) with "help" and "help SUB" turned
// into "--help" and "SUB --help".
std::vector<std::string> expand_help_command(const std::vector<std::string> &arguments);

// An empty text when the first argument names a subcommand of app (or is an
// option); otherwise the message for it, with the nearest name as a
// suggestion when one is close: unknown command "fin"; did you mean "find"?
std::string check_command_name(CLI::App &app, const std::vector<std::string> &arguments);

// The number of single-character edits that turn a into b.
size_t edit_distance(const std::string &a, const std::string &b);

}  // namespace tokenweave_cli

#endif  // TOKENWEAVE_CLI_COMMAND_LINE_H
