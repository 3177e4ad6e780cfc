#include "tokenweave/ccorrelationanalyser.h"

#include <string.h>

#include "analyser/data_file_path.h"
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

namespace {

const char DEFAULT_DATABASE_TYPE[] = "oracle";
const char LEARNING_SECTION[] = "Correlated Queries";
const char LEARNING_KEY[] = "Learning Speed Factor";
const float DEFAULT_LEARNING_RATE = 0.08f;

// Codes of our own beside the query codes.

enum learning_direction { LEARN_UP, LEARN_DOWN };

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
    data_file_override[0] = '\0';
}

CCorrelationAnalyser::CCorrelationAnalyser(const char *project_path, const char *settings_path,
                                           int (*callback)(void *, float), void *user_data)
    : CCorrelationAnalyser(project_path, settings_path, callback, user_data, nullptr, nullptr) {}

CCorrelationAnalyser::~CCorrelationAnalyser() {
    release_index(index);
    release_keyword_table(keywords);
    delete evaluator;
}

void CCorrelationAnalyser::SetDataFilePath(const char *path) {
    copy_bounded(data_file_override, sizeof data_file_override, path);
}

// The weights file: the host's choice, or the one beside the executable.
static void choose_data_file_path(const char *override_path, char *buffer, size_t size) {
    if (override_path[0] != '\0') {
        copy_bounded(buffer, size, override_path);
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
    build_correlation_index(this, project_path);
    if (index == nullptr) {
        throw CorrelationScanException();
    }
    char path[DATA_FILE_PATH_SIZE];
    choose_data_file_path(data_file_override, path, sizeof path);
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
    choose_data_file_path(data_file_override, path, sizeof path);
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
