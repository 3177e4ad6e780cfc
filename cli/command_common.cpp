#include "command_common.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <filesystem>

#include "build_report.h"
#include "index/index_inspection.h"
#include "platlib/platlib.h"
#include "port/native_path.h"
#include "weights_store.h"

namespace tokenweave_cli {

namespace {

enum { PROGRESS_BAR_WIDTH = 40 };

// Draws a bar on standard error while the library reports progress.
struct progress_bar {
    int last_percent = -1;
    bool drawn = false;
};

int draw_progress(void *user_data, float fraction) {
    progress_bar *bar = static_cast<progress_bar *>(user_data);
    if (fraction < 0.0f) {
        fraction = 0.0f;
    }
    if (fraction > 1.0f) {
        fraction = 1.0f;
    }
    int percent = static_cast<int>(fraction * 100.0f);
    if (percent == bar->last_percent) {
        return 0;
    }
    bar->last_percent = percent;
    bar->drawn = true;
    int filled = percent * PROGRESS_BAR_WIDTH / 100;
    fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################",
            PROGRESS_BAR_WIDTH - filled, "", percent);
    fflush(stderr);
    return 0;
}

progress_bar the_progress_bar;

void finish_progress_bar() {
    if (the_progress_bar.drawn) {
        fputc('\n', stderr);
        the_progress_bar = progress_bar();
    }
}

std::filesystem::path comparable_path(const std::string &path) {
    std::string native(path);
    for (char &c : native) {
        if (c == '\\') {
            c = '/';
        }
    }
    std::error_code ignored;
    return std::filesystem::weakly_canonical(native, ignored);
}

}  // namespace

std::string project_directory(const std::string &project) {
    std::string directory(project.size() + 1, '\0');
    char drive[OS_DRIVE_SIZE];
    os_split_path(project.c_str(), drive, directory.data(), nullptr, nullptr);
    return std::string(drive) + directory.c_str();
}

std::string weights_file_in_use(const std::string &requested) {
    return weights_for_reading(requested);
}

void report_error(const std::string &message) {
    fprintf(stderr, "tokenweave: %s\n", message.c_str());
}

namespace {

bool wants_progress(const project_options &options) {
    if (options.progress == "always") {
        return true;
    }
    return options.progress == "auto" && isatty(fileno(stderr)) != 0;
}

// Builds one analyser over the project for the given family. Null, with a
// message, when memory ran out.
std::unique_ptr<CCorrelationAnalyser> build_for_family(const project_options &options,
                                                       const std::string &family,
                                                       const std::string &weights) {
    bool show_progress = wants_progress(options);
    auto analyser = std::make_unique<CCorrelationAnalyser>(
        options.project.c_str(), options.settings.c_str(), show_progress ? draw_progress : nullptr,
        show_progress ? &the_progress_bar : nullptr, family.c_str(), options.grid_settings.c_str());
    analyser->SetDataFilePath(weights.c_str());
    // Our own output goes to standard output; the scanner's echo must not.
    inspection_set_echo_stream(nullptr);
    int built;
    try {
        built = analyser->BuildIndex();
    } catch (const CCorrelationAnalyser::CorrelationScanException &) {
        finish_progress_bar();
        report_error("out of memory while building the index of '" + options.project + "'");
        return nullptr;
    }
    // Scanning reports progress only up to the last recorded call; the
    // index is complete now.
    if (show_progress && the_progress_bar.drawn) {
        draw_progress(&the_progress_bar, 1.0f);
    }
    finish_progress_bar();
    if (built != 0) {
        report_error("cannot create the evaluators (out of memory)");
        return nullptr;
    }
    return analyser;
}

}  // namespace

void add_project_options(CLI::App *command, project_options *options, bool with_learning) {
    command->add_option("PROJECT", options->project, "Project file (INI, section [Actions])")
        ->required();
    command
        ->add_option("--db", options->database,
                     "Database family of the recording: oracle or odbc (default: chosen from "
                     "the scripts)")
        ->check(CLI::IsMember({"oracle", "odbc"}, CLI::ignore_case));
    command->add_option("--grid-settings", options->grid_settings,
                        "INI file naming the grid file type ([Quill] GridType)");
    command
        ->add_option("--progress", options->progress,
                     "Progress bar on standard error: auto (when it is a terminal), always, never")
        ->check(CLI::IsMember({"auto", "always", "never"}))
        ->capture_default_str();
    command->add_flag("--quiet", options->quiet, "Leave out the summary line after building");
    command->add_flag("--strict", options->strict,
                      "Treat every build warning as an error (exit status 1)");
    if (with_learning) {
        command->add_option("--settings", options->settings,
                            "INI file holding the learning speed factor "
                            "([Correlated Queries] Learning Speed Factor)");
        command->add_option("--weights", options->weights,
                            "Weights file to read, and the one feedback writes (default: your "
                            "copy in ~/.local/share/tokenweave, else the shipped file)");
    }
}

std::unique_ptr<CCorrelationAnalyser> build_analyser(const project_options &options) {
    FILE *project = os_fopen(options.project.c_str(), "rb");
    if (project == nullptr) {
        report_error("cannot read project file '" + options.project + "': " + strerror(errno));
        return nullptr;
    }
    fclose(project);
    build_facts facts;
    facts.weights = weights_for_reading(options.weights);
    facts.family = options.database.empty() ? "oracle" : options.database;
    std::unique_ptr<CCorrelationAnalyser> analyser =
        build_for_family(options, facts.family, facts.weights);
    if (analyser && options.database.empty()) {
        facts.family_chosen = true;
        std::string family = family_from_scripts(*analyser);
        if (family != facts.family) {
            facts.family = family;
            analyser = build_for_family(options, family, facts.weights);
        }
    }
    if (!analyser) {
        return nullptr;
    }

    std::vector<tokenweave_diagnostic> diagnostics = build_diagnostics(*analyser);
    for (const tokenweave_diagnostic &diagnostic : diagnostics) {
        // A project file that opens but cannot be read (a directory) is no
        // project: the "init.c" put in its place is not what the user meant.
        if (diagnostic.kind == TOKENWEAVE_DIAGNOSTIC_PROJECT_UNREADABLE) {
            report_error("cannot read project file '" + options.project + "'");
            return nullptr;
        }
    }
    const char *label = options.strict ? "error: " : "warning: ";
    for (const tokenweave_diagnostic &diagnostic : diagnostics) {
        report_error(label + describe_diagnostic(diagnostic));
    }
    if (!options.quiet) {
        fprintf(stderr, "tokenweave: %s\n", build_summary(*analyser, diagnostics, facts).c_str());
    }
    if (options.strict && !diagnostics.empty()) {
        report_error("stopped: --strict and " + std::to_string(diagnostics.size()) +
                     " build problem" + (diagnostics.size() == 1 ? "" : "s"));
        return nullptr;
    }
    return analyser;
}

std::vector<tokenweave_diagnostic> build_diagnostics(CCorrelationAnalyser &analyser) {
    std::vector<tokenweave_diagnostic> diagnostics;
    int count = analyser.BuildDiagnostic(0, nullptr);
    for (int position = 0; position < count; ++position) {
        tokenweave_diagnostic diagnostic{};
        analyser.BuildDiagnostic(position, &diagnostic);
        diagnostics.push_back(diagnostic);
    }
    return diagnostics;
}

bool resolve_action_file(CCorrelationAnalyser &analyser, const project_options &options,
                         const std::string &file, std::string *resolved) {
    std::string in_project = project_directory(options.project) + file;
    correlation_index *index = inspected_index(&analyser);
    char **paths = index != nullptr ? index->file_paths : nullptr;
    for (int i = 0; paths != nullptr && paths[i] != nullptr; ++i) {
        if (in_project == paths[i] || file == paths[i]) {
            *resolved = paths[i];
            return true;
        }
    }
    // The same file under another spelling: "./x.c", an absolute path, or
    // the other separator.
    std::filesystem::path wanted_in_project = comparable_path(in_project);
    std::filesystem::path wanted_as_given = comparable_path(file);
    for (int i = 0; paths != nullptr && paths[i] != nullptr; ++i) {
        std::filesystem::path registered = comparable_path(paths[i]);
        if (registered == wanted_in_project || registered == wanted_as_given) {
            *resolved = paths[i];
            return true;
        }
    }
    report_error("'" + file + "' is not an action file of the project '" + options.project + "'");
    return false;
}

std::string why_not_writable(const std::string &path) {
    std::error_code error;
    std::filesystem::path target(path);
    if (std::filesystem::is_directory(target, error)) {
        return strerror(EISDIR);
    }
    std::filesystem::path parent = target.parent_path();
    if (parent.empty()) {
        parent = ".";
    }
    if (!std::filesystem::is_directory(parent, error)) {
        return strerror(std::filesystem::exists(parent, error) ? ENOTDIR : ENOENT);
    }
    // The parent's name as the C runtime takes it (a narrow string on Windows too).
    std::string checked = std::filesystem::exists(target, error) ? path : parent.string();
    if (access(checked.c_str(), W_OK) != 0) {
        return strerror(errno);
    }
    return "not written completely";
}

void finish_progress() {
    finish_progress_bar();
}

}  // namespace tokenweave_cli
