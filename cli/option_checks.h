// Checks of option values, so that a value the commands cannot use is an
// error with a one-line message rather than a silently odd result.

#ifndef TOKENWEAVE_CLI_OPTION_CHECKS_H
#define TOKENWEAVE_CLI_OPTION_CHECKS_H

#include <CLI/CLI.hpp>
#include <string>

namespace tokenweave_cli {

// A whole number of at least 1 (--max, line numbers).
CLI::Validator at_least_one();

// A number from 0 to 1 (--min-grade).
CLI::Validator grade_from_0_to_1();

}  // namespace tokenweave_cli

#endif  // TOKENWEAVE_CLI_OPTION_CHECKS_H
