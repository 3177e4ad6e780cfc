#include "tokenweave/ccorrelationanalyser.h"

#include <string.h>

#include "analyser/analyser_state.h"
#include "analyser/data_file_path.h"
#include "analyser/weights_file.h"
#include "heuristics/ctokenheuristicevaluator.h"
#include "heuristics/evaluator_tree.h"
#include "heuristics/float_setting.h"
#include "index/analyser_access.h"
#include "index/correlation_index.h"
#include "index/correlation_search.h"
#include "index/index_builder.h"
#include "index/occurrence_lookup.h"
#include "index/token_queries.h"
#include "model/keyword_table.h"
#include "platlib/text.h"
#include "port/profile_file.h"

namespace {

const char DEFAULT_DATABASE_TYPE[] = "oracle";
const char LEARNING_SECTION[] = "Correlated Queries";
const char LEARNING_KEY[] = "Learning Speed Factor";
const float DEFAULT_LEARNING_RATE = 0.08f;

enum learning_direction { LEARN_UP, LEARN_DOWN };

void record_diagnostic(CCorrelationAnalyser *analyser, int kind, const char *file, int line,
                       const char *reason) {
    analyser_state_add_diagnostic(analyser, kind, file, line, reason);
}

void record_grid(CCorrelationAnalyser *analyser, bool loaded) {
    analyser_state_count_grid(analyser, loaded);
}

const analyser_build_hooks BUILD_HOOKS = {record_diagnostic, record_grid};

// A configuration file the host named that is not there is worth saying:
// its settings silently fall back to their defaults.
void check_named_file(const CCorrelationAnalyser *analyser, const char *path, int kind) {
    if (path[0] == '\0') {
        return;
    }
    profile_text text{nullptr, 0};
    profile_load_result loaded = profile_text_load(path, &text);
    profile_text_free(&text);
    if (loaded == PROFILE_MISSING) {
        analyser_state_add_diagnostic(analyser, kind, path, 0,
                                      "file not found; the defaults are used");
    } else if (loaded == PROFILE_UNREADABLE) {
        analyser_state_add_diagnostic(analyser, kind, path, 0,
                                      "cannot be read; the defaults are used");
    }
}

void check_weights_file(const CCorrelationAnalyser *analyser, const char *path) {
    switch (inspect_weights_file(path)) {
        case WEIGHTS_FILE_USABLE:
            return;
        case WEIGHTS_FILE_MISSING:
            analyser_state_add_diagnostic(analyser, TOKENWEAVE_DIAGNOSTIC_WEIGHTS_MISSING, path, 0,
                                          "no weights file; every pair grades 0");
            return;
        case WEIGHTS_FILE_UNREADABLE:
            analyser_state_add_diagnostic(analyser, TOKENWEAVE_DIAGNOSTIC_WEIGHTS_MISSING, path, 0,
                                          "weights file cannot be read; every pair grades 0");
            return;
        case WEIGHTS_FILE_WITHOUT_SECTIONS:
            analyser_state_add_diagnostic(
                analyser, TOKENWEAVE_DIAGNOSTIC_WEIGHTS_WITHOUT_SECTIONS, path, 0,
                "holds none of the weights sections; every pair grades 0");
            return;
    }
}

}  // namespace

CCorrelationAnalyser::CCorrelationAnalyser(const char *project_path, const char *settings_path,
                                           int (*callback)(void *, float), void *user_data,
                                           const char *database_type,
                                           const char *grid_settings_path)
    : evaluator(nullptr),
      index(nullptr),
      keywords(nullptr),
      callback(callback),
      total_lines(0),
      lines_done(0),
      last_line(0),
      lines_reported(0),
      user_data(user_data),
      cancelled(0) {
    copy_bounded(this->project_path, sizeof this->project_path, project_path);
    copy_bounded(this->settings_path, sizeof this->settings_path, settings_path);
    copy_bounded(this->database_type, sizeof this->database_type,
                 database_type != nullptr ? database_type : DEFAULT_DATABASE_TYPE);
    copy_bounded(this->grid_settings_path, sizeof this->grid_settings_path, grid_settings_path);
}

CCorrelationAnalyser::CCorrelationAnalyser(const char *project_path, const char *settings_path,
                                           int (*callback)(void *, float), void *user_data)
    : CCorrelationAnalyser(project_path, settings_path, callback, user_data, nullptr, nullptr) {}

CCorrelationAnalyser::~CCorrelationAnalyser() {
    release_index(index);
    release_keyword_table(keywords);
    delete evaluator;
    analyser_state_forget(this);
}

void CCorrelationAnalyser::SetDataFilePath(const char *path) {
    // Cut as the fixed-size paths of the object are.
    char bounded[DATA_FILE_PATH_SIZE];
    copy_bounded(bounded, sizeof bounded, path);
    analyser_state_set_data_file(this, bounded);
}

// The weights file: the host's choice, or the one beside the executable.
static void choose_data_file_path(const CCorrelationAnalyser *analyser, char *buffer, size_t size) {
    std::string chosen = analyser_state_data_file(analyser);
    if (!chosen.empty()) {
        copy_bounded(buffer, size, chosen.c_str());
    } else {
        compute_data_file_path(buffer, size);
    }
}

int CCorrelationAnalyser::BuildIndex() {
    // A second build would leave the host's earlier queries pointing into a
    // released index.
    if (index != nullptr) {
        return TOKENWEAVE_FAILED;
    }
    analyser_state_clear_build(this);
    analyser_set_build_hooks(&BUILD_HOOKS);
    check_named_file(this, settings_path, TOKENWEAVE_DIAGNOSTIC_SETTINGS_MISSING);
    check_named_file(this, grid_settings_path, TOKENWEAVE_DIAGNOSTIC_GRID_SETTINGS_MISSING);
    build_correlation_index(this, project_path);
    if (index == nullptr) {
        throw CorrelationScanException();
    }
    char path[DATA_FILE_PATH_SIZE];
    choose_data_file_path(this, path, sizeof path);
    check_weights_file(this, path);
    evaluator = CreateEvaluatorTree(path);
    return evaluator != nullptr ? 0 : TOKENWEAVE_FAILED;
}

int CCorrelationAnalyser::InputTokenQuery(const char *token, const char *file, int line,
                                          const char *report_path, float min_grade) {
    if (index == nullptr) {
        return TOKENWEAVE_NOT_BUILT;
    }
    return input_token_query(this, index, token, file, line, report_path, min_grade);
}

int CCorrelationAnalyser::OutputTokenQuery(const char *, const char *, int, const char *, float) {
    return 0;
}

int CCorrelationAnalyser::CursorQuery(const char *file, int line, const char *report_path,
                                      float min_grade) {
    if (index == nullptr) {
        return TOKENWEAVE_NOT_BUILT;
    }
    return cursor_query(this, index, file, line, report_path, min_grade);
}

int CCorrelationAnalyser::FindCorrelations(const char *report_path, float min_grade,
                                           int max_results) {
    if (index == nullptr) {
        return TOKENWEAVE_NOT_BUILT;
    }
    return find_correlations(this, index, report_path, min_grade, max_results);
}

// One learning step on the pair named by value, input and output place.
static int learn_from_pair(correlation_index *index, CTokenHeuristicEvaluator *root,
                           const char *settings_path, learning_direction direction,
                           const char *token, const char *input_file, int input_line,
                           const char *output_file, int output_line) {
    if (index == nullptr || root == nullptr) {
        return TOKENWEAVE_NOT_BUILT;
    }
    if (token == nullptr || input_file == nullptr || output_file == nullptr) {
        return TOKENWEAVE_PAIR_NOT_FOUND;
    }
    token_entry_tag *input = find_input_occurrence(index, token, input_file, input_line);
    token_entry_tag *output = find_output_occurrence(index, token, output_file, output_line);
    token_instances_t *instances = find_token_instances(index, token);
    if (input == nullptr || output == nullptr || instances == nullptr) {
        return TOKENWEAVE_PAIR_NOT_FOUND;
    }
    // Read at every call, so a changed settings file takes effect at once.
    float rate =
        ReadFloatSetting(LEARNING_SECTION, LEARNING_KEY, DEFAULT_LEARNING_RATE, settings_path);
    const token_instances_t instances_copy = *instances;
    const token_entry_tag input_copy = *input;
    const token_entry_tag output_copy = *output;
    if (direction == LEARN_UP) {
        root->IncreaseWeights(instances_copy, input_copy, output_copy, rate);
    } else {
        root->DecreaseWeights(instances_copy, input_copy, output_copy, rate);
    }
    return 0;
}

int CCorrelationAnalyser::IncreaseGrade(const char *token, const char *input_file, int input_line,
                                        const char *output_file, int output_line) {
    return learn_from_pair(index, evaluator, settings_path, LEARN_UP, token, input_file, input_line,
                           output_file, output_line);
}

int CCorrelationAnalyser::DecreaseGrade(const char *token, const char *input_file, int input_line,
                                        const char *output_file, int output_line) {
    return learn_from_pair(index, evaluator, settings_path, LEARN_DOWN, token, input_file,
                           input_line, output_file, output_line);
}

float CCorrelationAnalyser::EvaluateToken(token_instances_t *instances, token_entry_tag *output,
                                          token_entry_tag *input) {
    if (instances == nullptr || output == nullptr || input == nullptr) {
        return 0.0f;
    }
    float grade = 0.0f;
    if (evaluator != nullptr) {
        const token_instances_t instances_copy = *instances;
        const token_entry_tag output_copy = *output;
        const token_entry_tag input_copy = *input;
        grade = evaluator->Evaluate(instances_copy, output_copy, input_copy);
    }
    // A NaN compares false and so never becomes the best grade.
    if (grade > instances->best_grade) {
        instances->best_grade = grade;
    }
    return grade;
}

void CCorrelationAnalyser::AnalyseIndex() {
    if (index != nullptr) {
        analyse_index(this, index);
    }
}

void CCorrelationAnalyser::AddToStopList(const char *) {}

int CCorrelationAnalyser::ResetStopList() {
    return 0;
}

int CCorrelationAnalyser::ExportDatFile() {
    if (evaluator == nullptr) {
        return TOKENWEAVE_NOT_BUILT;
    }
    char path[DATA_FILE_PATH_SIZE];
    choose_data_file_path(this, path, sizeof path);
    return ExportDatFile(path);
}

int CCorrelationAnalyser::ExportDatFile(const char *path) {
    if (evaluator == nullptr) {
        return TOKENWEAVE_NOT_BUILT;
    }
    if (path == nullptr || path[0] == '\0') {
        return TOKENWEAVE_FAILED;
    }
    return evaluator->SaveSettings(path) == 0 ? TOKENWEAVE_EXPORTED : TOKENWEAVE_FAILED;
}

int CCorrelationAnalyser::BuildDiagnostic(int position, tokenweave_diagnostic *diagnostic) const {
    return analyser_state_diagnostic(this, position, diagnostic);
}
