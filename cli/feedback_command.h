// tokenweave feedback and tokenweave weights: learning from a verdict on a
// pair, and the per-user copy of the weights that learning writes.

#ifndef TOKENWEAVE_CLI_FEEDBACK_COMMAND_H
#define TOKENWEAVE_CLI_FEEDBACK_COMMAND_H

#include "command_common.h"

namespace tokenweave_cli {

void add_feedback_command(CLI::App *app, project_options *options, int *exit_code);
void add_weights_command(CLI::App *app, int *exit_code);

}  // namespace tokenweave_cli

#endif  // TOKENWEAVE_CLI_FEEDBACK_COMMAND_H
