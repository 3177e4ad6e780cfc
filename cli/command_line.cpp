#include "command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>

namespace tokenweave_cli {

namespace {

const char HELP_COMMAND[] = "help";
const char HELP_OPTION[] = "--help";

// A name this many edits away, or one that begins with what was typed, is
// worth suggesting; anything farther is likely a different word.
const size_t SUGGESTION_DISTANCE = 2;

}  // namespace

std::vector<std::string> expand_help_command(const std::vector<std::string> &arguments) {
    if (arguments.size() < 2 || arguments[1] != HELP_COMMAND) {
        return arguments;
    }
    std::vector<std::string> expanded{arguments[0]};
    expanded.insert(expanded.end(), arguments.begin() + 2, arguments.end());
    expanded.push_back(HELP_OPTION);
    return expanded;
}

size_t edit_distance(const std::string &a, const std::string &b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string check_command_name(CLI::App &app, const std::vector<std::string> &arguments) {
    if (arguments.size() < 2 || arguments[1].empty() || arguments[1][0] == '-') {
        return std::string();
    }
    const std::string &typed = arguments[1];
    std::string nearest;
    size_t nearest_distance = std::string::npos;
    for (const CLI::App *command : app.get_subcommands({})) {
        const std::string &name = command->get_name();
        if (name == typed) {
            return std::string();
        }
        size_t distance =
            name.compare(0, typed.size(), typed) == 0 ? 1 : edit_distance(typed, name);
        if (distance < nearest_distance) {
            nearest = name;
            nearest_distance = distance;
        }
    }
    std::string message = "unknown command \"" + typed + "\"";
    if (!nearest.empty() && nearest_distance <= SUGGESTION_DISTANCE) {
        message += "; did you mean \"" + nearest + "\"?";
    } else {
        message += " (see tokenweave --help)";
    }
    return message;
}

}  // namespace tokenweave_cli
