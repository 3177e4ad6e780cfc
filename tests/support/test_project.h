// A throwaway script project on disk: action files, a result-data file with
// its grid index, a weights file, and the project file listing the actions.

#ifndef TOKENWEAVE_TESTS_TEST_PROJECT_H
#define TOKENWEAVE_TESTS_TEST_PROJECT_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"
#include "tokenweave/ccorrelationanalyser.h"

namespace tw_test {

// Text of an action file whose line n (from 1) is lines[n - 1].
std::string numbered_lines(const std::vector<std::pair<int, std::string>> &lines);

class TestProject {
public:
    // Adds an action file (listed in the project in the order added); returns
    // its full path as the index will hold it.
    std::string add_action(const std::string &name, const std::string &text);
    // Writes grids.rdf and grids.grd beside the action files.
    void set_grids(const std::string &rdf_text);
    // Writes a weights file and returns its path.
    std::string write_weights(const std::string &text);
    std::string write_file(const std::string &name, const std::string &text);
    // Writes the project file and returns its path.
    std::string project_path();
    const std::string &directory() const { return dir_.path(); }
    std::string file(const std::string &name) const { return dir_.file(name); }

    // An analyser over the project with the given weights text, built.
    std::unique_ptr<CCorrelationAnalyser> build(const std::string &weights_text,
                                                const char *database_type = nullptr,
                                                int (*callback)(void *, float) = nullptr,
                                                void *user_data = nullptr);

private:
    TempDir dir_;
    std::vector<std::string> actions_;
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
