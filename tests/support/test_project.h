// A throwaway script project on disk, and the analyser built over it: the
// one way tests make a project.
//
// The project writes action files (and any grid, settings or other files)
// into a fresh directory, lists the action files under [Actions] of a project
// file in the order given, and builds a CCorrelationAnalyser over it. The
// directory goes with the project, and so does the analyser that build_index
// keeps; build hands its analyser to the caller.

#ifndef TOKENWEAVE_TESTS_TEST_PROJECT_H
#define TOKENWEAVE_TESTS_TEST_PROJECT_H

#include <stdio.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"
#include "tokenweave/ccorrelationanalyser.h"

namespace tw_test {

// Text of an action file whose line n (from 1) is lines[n - 1].
std::string numbered_lines(const std::vector<std::pair<int, std::string>> &lines);

struct BuildOptions {
    const char *database = nullptr;  // null: the analyser's default family
    std::string grid_settings;       // path of the grid-settings file, or empty
    tokenweave_progress_callback callback = nullptr;
    void *user_data = nullptr;
    // Where the scanner's echo of a newline inside SQL text goes while
    // building; null drops it, to keep the test output clean.
    FILE *echo = nullptr;
};

// Options that only report progress to callback.
BuildOptions with_progress(tokenweave_progress_callback callback, void *user_data);
// Options that only name the database family.
BuildOptions for_database(const char *database);

class TestProject {
public:
    // An action file written with text and listed under [Actions] (key
    // "a<position>"); the order of the calls is the project order.
    TestProject &add_action(const std::string &name, const std::string &text);
    // An [Actions] entry whose value is given as it stands; no file is
    // written for it.
    TestProject &list_action(const std::string &key, const std::string &value);
    // Any other file of the project's directory (grids, settings).
    TestProject &add_file(const std::string &name, const std::string &contents);
    // grids.rdf with rdf_text, and its empty grids.grd, beside the actions.
    TestProject &set_grids(const std::string &rdf_text);
    // Writes the weights data file the analysers read and returns its path.
    std::string write_weights(const std::string &text);
    // Writes the project file and returns its path.
    std::string project_path();
    const std::string &directory() const { return dir_.path(); }
    // directory() + "/" + name: an action file's path as the index holds it.
    std::string file(const std::string &name) const { return dir_.file(name); }

    // A new analyser over the project with weights_text as its weights data
    // file, built; null when BuildIndex failed.
    std::unique_ptr<CCorrelationAnalyser> build(const std::string &weights_text,
                                                const BuildOptions &options = BuildOptions());
    // Builds the project's own analyser, with whatever weights file
    // write_weights left (none: every weight at its default). Returns
    // BuildIndex's result; analyser() and index() reach what it built.
    int build_index(const BuildOptions &options = BuildOptions());
    CCorrelationAnalyser *analyser() { return analyser_.get(); }
    // Null before build_index.
    correlation_index *index();

private:
    std::unique_ptr<CCorrelationAnalyser> new_analyser(const BuildOptions &options);
    static int run_build(CCorrelationAnalyser *analyser, const BuildOptions &options);

    TempDir dir_;
    std::vector<std::pair<std::string, std::string>> entries_;
    std::unique_ptr<CCorrelationAnalyser> analyser_;
};

// Weights under which every pair grades 0.25: only the token-type input
// counts, with four equal type weights.
extern const char QUARTER_GRADE_WEIGHTS[];
// Weights under which a pair grades 1 - lines apart / 10 in the same file
// and 0 across files: only the line-distance input counts.
extern const char LINE_DISTANCE_WEIGHTS[];

// Records every progress value a callback receives.
struct ProgressLog {
    std::vector<float> values;
    int answer = 0;
    static int record(void *user_data, float value);
};

}  // namespace tw_test

#endif  // TOKENWEAVE_TESTS_TEST_PROJECT_H
