// tokenweave find / token / cursor / feedback: the queries and learning.

#ifndef TOKENWEAVE_CLI_QUERY_COMMANDS_H
#define TOKENWEAVE_CLI_QUERY_COMMANDS_H

#include "command_common.h"

namespace tokenweave_cli {

void add_query_commands(CLI::App *app, project_options *options, int *exit_code);

}  // namespace tokenweave_cli

#endif  // TOKENWEAVE_CLI_QUERY_COMMANDS_H
