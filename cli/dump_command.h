// tokenweave dump: the index of a project as JSON, to see what it holds.

#ifndef TOKENWEAVE_CLI_DUMP_COMMAND_H
#define TOKENWEAVE_CLI_DUMP_COMMAND_H

#include "command_common.h"

namespace tokenweave_cli {

void add_dump_command(CLI::App *app, project_options *options, int *exit_code);

}  // namespace tokenweave_cli

#endif  // TOKENWEAVE_CLI_DUMP_COMMAND_H
