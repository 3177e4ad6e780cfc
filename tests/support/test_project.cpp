#include "test_project.h"

namespace tw_test {

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

std::string TestProject::add_action(const std::string &name, const std::string &text) {
    actions_.push_back(name);
    return dir_.write(name, text);
}

void TestProject::set_grids(const std::string &rdf_text) {
    dir_.write("grids.rdf", rdf_text);
    dir_.write("grids.grd", "");
}

std::string TestProject::write_weights(const std::string &text) {
    return dir_.write("weights.dat", text);
}

std::string TestProject::write_file(const std::string &name, const std::string &text) {
    return dir_.write(name, text);
}

std::string TestProject::project_path() {
    std::string text = "[Actions]\n";
    for (size_t i = 0; i < actions_.size(); ++i) {
        text += "action" + std::to_string(i) + "=" + actions_[i] + "\n";
    }
    return dir_.write("project.prj", text);
}

std::unique_ptr<CCorrelationAnalyser> TestProject::build(const std::string &weights_text,
                                                         const char *database_type,
                                                         int (*callback)(void *, float),
                                                         void *user_data) {
    std::string project = project_path();
    std::string weights = write_weights(weights_text);
    auto analyser = std::make_unique<CCorrelationAnalyser>(
        project.c_str(), file("settings.ini").c_str(), callback, user_data, database_type, nullptr);
    analyser->SetDataFilePath(weights.c_str());
    if (analyser->BuildIndex() != 0) {
        return nullptr;
    }
    return analyser;
}

int ProgressLog::record(void *user_data, float value) {
    ProgressLog *log = static_cast<ProgressLog *>(user_data);
    log->values.push_back(value);
    return log->answer;
}

}  // namespace tw_test
