// A complete host of the tokenweave library.
//
// It indexes a recorded project, asks for the candidates of one statement
// and for the best candidates of the whole project, prints both reports,
// confirms one pair as a right correlation and saves what the library
// learned into a weights file of its own.
//
// Usage: host_example PROJECT WEIGHTS
//   PROJECT  the project file, e.g. examples/orders/orders.prj
//   WEIGHTS  a weights file the host may change (start from a copy of
//            dat/crlt.dat); it is read by BuildIndex and rewritten at the end

#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "tokenweave/ccorrelationanalyser.h"

namespace {

// Result codes of the library.
const int OK = 0;
const int NOTHING_FOUND = -7;
const int WEIGHTS_WRITTEN = -2;

// What the progress callback is handed back: the host's own state.
struct progress_state {
    const char *stage;
    int next_percent;  // print when the work reaches this share
};

// Called by the library with the share of the work done (0 to 1). Returning
// -1 while BuildIndex scans would cancel the rest of the scan; this host
// never cancels.
int show_progress(void *user_data, float done) {
    progress_state *state = static_cast<progress_state *>(user_data);
    int percent = static_cast<int>(done * 100.0f);
    if (percent >= state->next_percent) {
        printf("  %s: %d%%\n", state->stage, percent);
        while (state->next_percent <= percent) {
            state->next_percent += 25;
        }
    }
    return 0;
}

void start_stage(progress_state *state, const char *stage) {
    state->stage = stage;
    state->next_percent = 25;
}

// The library names action files by the path it built from the project
// file's directory and the [Actions] entry; a host builds them the same way.
std::string action_file(const std::string &project, const std::string &name) {
    std::string::size_type separator = project.find_last_of("/\\");
    std::string directory = separator == std::string::npos ? "" : project.substr(0, separator + 1);
    return directory + name;
}

std::string report_path(const char *name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

void print_report(const char *title, int code, const std::string &path) {
    printf("%s (result %d):\n", title, code);
    if (code != OK && code != NOTHING_FOUND) {
        return;  // no report was written
    }
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The token and cursor reports end without a newline when they say that
    // nothing was found.
    if (!text.empty() && text.back() != '\n') {
        text += '\n';
    }
    fputs(text.c_str(), stdout);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s PROJECT WEIGHTS\n", argv[0]);
        return 2;
    }
    const std::string project = argv[1];
    const std::string weights = argv[2];

    progress_state progress{"", 25};
    // The settings file holds the learning speed factor; a file without it
    // (or no file at all) gives the default 0.08.
    CCorrelationAnalyser analyser(project.c_str(), "", show_progress, &progress, "oracle", "");
    analyser.SetDataFilePath(weights.c_str());

    start_stage(&progress, "BuildIndex");
    int built;
    try {
        built = analyser.BuildIndex();
    } catch (const CCorrelationAnalyser::CorrelationScanException &) {
        fprintf(stderr, "out of memory while indexing %s\n", project.c_str());
        return 1;
    }
    if (built != OK) {
        fprintf(stderr, "BuildIndex failed (%d)\n", built);
        return 1;
    }
    // What the build could not use: a missing grid or action file leaves
    // fewer candidates, which the user should know.
    tokenweave_diagnostic diagnostic;
    for (int i = 0; i < analyser.BuildDiagnostic(0, nullptr); ++i) {
        analyser.BuildDiagnostic(i, &diagnostic);
        fprintf(stderr, "warning: %s:%d: %s\n", diagnostic.file, diagnostic.line,
                diagnostic.reason);
    }
    // Counts how often a value repeats down its grid, which one heuristic
    // reads; call it before the queries.
    analyser.AnalyseIndex();

    const std::string action3 = action_file(project, "Action3.c");
    const std::string cursor_report = report_path("host_example_cursor.txt");
    start_stage(&progress, "CursorQuery");
    int code = analyser.CursorQuery(action3.c_str(), 18, cursor_report.c_str(), 0.0f);
    print_report("Values of the statement executed at Action3.c line 18", code, cursor_report);

    const std::string find_report = report_path("host_example_find.txt");
    start_stage(&progress, "FindCorrelations");
    code = analyser.FindCorrelations(find_report.c_str(), 0.0f, 5);
    print_report("The five best pairs of the project", code, find_report);

    // The user confirms that the customer id sent at Action2.c line 12 is
    // the one grid 2 returned at line 9.
    const std::string action2 = action_file(project, "Action2.c");
    code = analyser.IncreaseGrade("58821", action2.c_str(), 12, action2.c_str(), 9);
    printf("IncreaseGrade: %d\n", code);

    code = analyser.ExportDatFile();
    printf("ExportDatFile: %d (%s)\n", code,
           code == WEIGHTS_WRITTEN ? "weights written" : "weights NOT written");
    return code == WEIGHTS_WRITTEN ? 0 : 1;
}
