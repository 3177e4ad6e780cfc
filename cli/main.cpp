// tokenweave: finds correlation candidates in recorded database load-test
// scripts.

#include <CLI/CLI.hpp>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "command_common.h"
#include "command_line.h"
#include "dump_command.h"
#include "feedback_command.h"
#include "query_commands.h"

int main(int argc, char **argv) {
    CLI::App app{
        "tokenweave finds values that a recorded load-test script sends and that the server "
        "returned earlier: correlation candidates.",
        "tokenweave"};
    app.require_subcommand(1);
    // Options are spelt --name everywhere; on Windows a "/name" option would
    // take a full path (as Wine passes them) for an option.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", "tokenweave 0.1.0");

    tokenweave_cli::project_options options;
    int exit_code = tokenweave_cli::EXIT_ERROR;
    tokenweave_cli::add_dump_command(&app, &options, &exit_code);
    tokenweave_cli::add_query_commands(&app, &options, &exit_code);
    tokenweave_cli::add_feedback_command(&app, &options, &exit_code);
    tokenweave_cli::add_weights_command(&app, &exit_code);

    std::vector<std::string> arguments =
        tokenweave_cli::expand_help_command(std::vector<std::string>(argv, argv + argc));
    std::string unknown = tokenweave_cli::check_command_name(app, arguments);
    if (!unknown.empty()) {
        tokenweave_cli::report_error(unknown);
        return tokenweave_cli::EXIT_ERROR;
    }
    // CLI11 takes the arguments without the program name, last one first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend() - 1);

    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp &help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp &help) {
        return app.exit(help);
    } catch (const CLI::CallForVersion &version) {
        return app.exit(version);
    } catch (const CLI::ParseError &error) {
        tokenweave_cli::report_error(std::string(error.what()) + " (see tokenweave --help)");
        return tokenweave_cli::EXIT_ERROR;
    } catch (const std::bad_alloc &) {
        tokenweave_cli::report_error("out of memory");
        return tokenweave_cli::EXIT_ERROR;
    } catch (const std::exception &error) {
        tokenweave_cli::report_error(error.what());
        return tokenweave_cli::EXIT_ERROR;
    }
    return exit_code;
}
