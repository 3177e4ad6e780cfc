#include "test_project.h"

#include "index/analyser_access.h"
#include "index/scanner/scanner.h"

namespace tw_test {

namespace {

const char PROJECT_FILE[] = "project.prj";
const char WEIGHTS_FILE[] = "weights.dat";
// Absent unless a test writes it: the default learning speed.
const char SETTINGS_FILE[] = "settings.ini";

}  // namespace

const char QUARTER_GRADE_WEIGHTS[] =
    "[TokenEvaluatorInputs]\nWeight0=1\n"
    "[TokenType]\nNumberWeight=1\nStringWeight=1\nDbIdWeight=1\nOtherWeight=1\n";

const char LINE_DISTANCE_WEIGHTS[] =
    "[TokenEvaluatorInputs]\nWeight6=1\n"
    "[PairLineDistance]\nMaxDistance=10\n";

std::string numbered_lines(const std::vector<std::pair<int, std::string>> &lines) {
    std::string text;
    int current = 1;
    for (const auto &[number, line] : lines) {
        while (current < number) {
            text += "\n";
            ++current;
        }
        text += line + "\n";
        ++current;
    }
    return text;
}

BuildOptions with_progress(tokenweave_progress_callback callback, void *user_data) {
    BuildOptions options;
    options.callback = callback;
    options.user_data = user_data;
    return options;
}

BuildOptions for_database(const char *database) {
    BuildOptions options;
    options.database = database;
    return options;
}

TestProject &TestProject::add_action(const std::string &name, const std::string &text) {
    dir_.write(name, text);
    return list_action("a" + std::to_string(entries_.size()), name);
}

TestProject &TestProject::list_action(const std::string &key, const std::string &value) {
    entries_.emplace_back(key, value);
    return *this;
}

TestProject &TestProject::add_file(const std::string &name, const std::string &contents) {
    dir_.write(name, contents);
    return *this;
}

TestProject &TestProject::set_grids(const std::string &rdf_text) {
    dir_.write("grids.rdf", rdf_text);
    dir_.write("grids.grd", "");
    return *this;
}

std::string TestProject::write_weights(const std::string &text) {
    return dir_.write(WEIGHTS_FILE, text);
}

std::string TestProject::project_path() {
    std::string text = "[Actions]\n";
    for (const auto &[key, value] : entries_) {
        text += key + "=" + value + "\n";
    }
    return dir_.write(PROJECT_FILE, text);
}

std::unique_ptr<CCorrelationAnalyser> TestProject::new_analyser(const BuildOptions &options) {
    auto analyser = std::make_unique<CCorrelationAnalyser>(
        project_path().c_str(), file(SETTINGS_FILE).c_str(), options.callback, options.user_data,
        options.database, options.grid_settings.c_str());
    analyser->SetDataFilePath(file(WEIGHTS_FILE).c_str());
    return analyser;
}

int TestProject::run_build(CCorrelationAnalyser *analyser, const BuildOptions &options) {
    // Restores the echo even when BuildIndex throws.
    struct EchoTo {
        explicit EchoTo(FILE *stream) { scanner_set_echo_stream(stream); }
        ~EchoTo() { scanner_set_echo_stream(stdout); }
    } echo(options.echo);
    return analyser->BuildIndex();
}

std::unique_ptr<CCorrelationAnalyser> TestProject::build(const std::string &weights_text,
                                                         const BuildOptions &options) {
    write_weights(weights_text);
    std::unique_ptr<CCorrelationAnalyser> analyser = new_analyser(options);
    if (run_build(analyser.get(), options) != 0) {
        return nullptr;
    }
    return analyser;
}

int TestProject::build_index(const BuildOptions &options) {
    analyser_ = new_analyser(options);
    return run_build(analyser_.get(), options);
}

correlation_index *TestProject::index() {
    return analyser_ != nullptr ? analyser_index(analyser_.get()) : nullptr;
}

int ProgressLog::record(void *user_data, float value) {
    ProgressLog *log = static_cast<ProgressLog *>(user_data);
    log->values.push_back(value);
    return log->answer;
}

}  // namespace tw_test
