#include "index/analyser_access.h"

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <atomic>

#include "platlib/text.h"

// The one friend of CCorrelationAnalyser: the accessors below go through it
// so that the class keeps its members private.
struct analyser_access {
    static correlation_index *&index(CCorrelationAnalyser *a) { return a->index; }
    static ht_table *&keywords(CCorrelationAnalyser *a) { return a->keywords; }
    static const char *database_type(CCorrelationAnalyser *a) { return a->database_type; }
    static const char *grid_settings_path(CCorrelationAnalyser *a) { return a->grid_settings_path; }
    static const char *settings_path(CCorrelationAnalyser *a) { return a->settings_path; }
    static CTokenHeuristicEvaluator *evaluator(CCorrelationAnalyser *a) { return a->evaluator; }
    static int &total_lines(CCorrelationAnalyser *a) { return a->total_lines; }
    static int &lines_done(CCorrelationAnalyser *a) { return a->lines_done; }
    static int &last_line(CCorrelationAnalyser *a) { return a->last_line; }
    static int &lines_reported(CCorrelationAnalyser *a) { return a->lines_reported; }
    static int &cancelled(CCorrelationAnalyser *a) { return a->cancelled; }
    static int report(CCorrelationAnalyser *a, float value) {
        if (a->callback == nullptr) {
            return 0;
        }
        return a->callback(a->user_data, value);
    }

#if UINTPTR_MAX == 0xFFFFFFFFu
    // 32-bit hosts allocate the object from the class declaration they were
    // compiled against, and the evaluators take the records by value: their
    // sizes and member offsets are fixed, and no member may be added.
    static_assert(offsetof(CCorrelationAnalyser, evaluator) == 0, "analyser layout");
    static_assert(offsetof(CCorrelationAnalyser, index) == 4, "analyser layout");
    static_assert(offsetof(CCorrelationAnalyser, keywords) == 8, "analyser layout");
    static_assert(offsetof(CCorrelationAnalyser, project_path) == 12, "analyser layout");
    static_assert(offsetof(CCorrelationAnalyser, settings_path) == 1036, "analyser layout");
    static_assert(offsetof(CCorrelationAnalyser, database_type) == 2060, "analyser layout");
    static_assert(offsetof(CCorrelationAnalyser, grid_settings_path) == 2316, "analyser layout");
    static_assert(offsetof(CCorrelationAnalyser, callback) == 2576, "analyser layout");
    static_assert(offsetof(CCorrelationAnalyser, total_lines) == 2580, "analyser layout");
    static_assert(offsetof(CCorrelationAnalyser, lines_done) == 2584, "analyser layout");
    static_assert(offsetof(CCorrelationAnalyser, last_line) == 2588, "analyser layout");
    static_assert(offsetof(CCorrelationAnalyser, lines_reported) == 2592, "analyser layout");
    static_assert(offsetof(CCorrelationAnalyser, user_data) == 2596, "analyser layout");
    static_assert(offsetof(CCorrelationAnalyser, cancelled) == 2600, "analyser layout");
    static_assert(sizeof(CCorrelationAnalyser) == 2604, "analyser layout");

    static_assert(offsetof(token_instances_t, occurrences) == 0, "token record layout");
    static_assert(offsetof(token_instances_t, value) == 4, "token record layout");
    static_assert(offsetof(token_instances_t, last_position) == 8, "token record layout");
    static_assert(offsetof(token_instances_t, best_grade) == 12, "token record layout");
    static_assert(offsetof(token_instances_t, length) == 16, "token record layout");
    static_assert(offsetof(token_instances_t, value_class) == 20, "token record layout");
    static_assert(offsetof(token_instances_t, capital_count) == 24, "token record layout");
    static_assert(offsetof(token_instances_t, total_count) == 28, "token record layout");
    static_assert(offsetof(token_instances_t, literal_count) == 32, "token record layout");
    static_assert(offsetof(token_instances_t, grid_count) == 36, "token record layout");
    static_assert(offsetof(token_instances_t, input_count) == 40, "token record layout");
    static_assert(offsetof(token_instances_t, output_count) == 44, "token record layout");
    static_assert(sizeof(token_instances_t) == 48, "token record layout");

    static_assert(offsetof(token_entry_tag, value) == 0, "occurrence layout");
    static_assert(offsetof(token_entry_tag, direction) == 4, "occurrence layout");
    static_assert(offsetof(token_entry_tag, line) == 8, "occurrence layout");
    static_assert(offsetof(token_entry_tag, file) == 12, "occurrence layout");
    static_assert(offsetof(token_entry_tag, cell) == 16, "occurrence layout");
    static_assert(offsetof(token_entry_tag, same_handle_previous) == 20, "occurrence layout");
    static_assert(offsetof(token_entry_tag, next_candidate) == 24, "occurrence layout");
    static_assert(offsetof(token_entry_tag, call_code) == 28, "occurrence layout");
    static_assert(offsetof(token_entry_tag, mark) == 32, "occurrence layout");
    static_assert(offsetof(token_entry_tag, recorded_code) == 36, "occurrence layout");
    static_assert(offsetof(token_entry_tag, source_marker) == 40, "occurrence layout");
    static_assert(offsetof(token_entry_tag, grid_repeat) == 44, "occurrence layout");
    static_assert(offsetof(token_entry_tag, reserved) == 48, "occurrence layout");
    static_assert(sizeof(token_entry_tag) == 52, "occurrence layout");

    static_assert(offsetof(grid_cell_t, grid) == 0, "grid cell layout");
    static_assert(offsetof(grid_cell_t, row) == 4, "grid cell layout");
    static_assert(offsetof(grid_cell_t, column) == 8, "grid cell layout");
    static_assert(offsetof(grid_cell_t, marker) == 12, "grid cell layout");
    static_assert(sizeof(grid_cell_t) == 16, "grid cell layout");
#endif
};

namespace {

CCorrelationAnalyser *the_current_analyser = nullptr;
// Installed by every analyser (always the same hooks), possibly on two
// threads at once: atomic, so that is no race.
std::atomic<const analyser_build_hooks *> the_build_hooks{nullptr};

}  // namespace

correlation_index *analyser_index(CCorrelationAnalyser *a) {
    return analyser_access::index(a);
}
void analyser_set_index(CCorrelationAnalyser *a, correlation_index *index) {
    analyser_access::index(a) = index;
}
ht_table *analyser_keywords(CCorrelationAnalyser *a) {
    return analyser_access::keywords(a);
}
void analyser_set_keywords(CCorrelationAnalyser *a, ht_table *keywords) {
    analyser_access::keywords(a) = keywords;
}
const char *analyser_database_type(CCorrelationAnalyser *a) {
    return analyser_access::database_type(a);
}
const char *analyser_grid_settings_path(CCorrelationAnalyser *a) {
    return analyser_access::grid_settings_path(a);
}
const char *analyser_settings_path(CCorrelationAnalyser *a) {
    return analyser_access::settings_path(a);
}
CTokenHeuristicEvaluator *analyser_evaluator(CCorrelationAnalyser *a) {
    return analyser_access::evaluator(a);
}

int analyser_total_lines(CCorrelationAnalyser *a) {
    return analyser_access::total_lines(a);
}
void analyser_set_total_lines(CCorrelationAnalyser *a, int lines) {
    analyser_access::total_lines(a) = lines;
}
int analyser_lines_done(CCorrelationAnalyser *a) {
    return analyser_access::lines_done(a);
}
void analyser_set_lines_done(CCorrelationAnalyser *a, int lines) {
    analyser_access::lines_done(a) = lines;
}
int analyser_last_line(CCorrelationAnalyser *a) {
    return analyser_access::last_line(a);
}
void analyser_set_last_line(CCorrelationAnalyser *a, int line) {
    analyser_access::last_line(a) = line;
}
int analyser_lines_reported(CCorrelationAnalyser *a) {
    return analyser_access::lines_reported(a);
}
void analyser_set_lines_reported(CCorrelationAnalyser *a, int lines) {
    analyser_access::lines_reported(a) = lines;
}

void analyser_cancel(CCorrelationAnalyser *a) {
    analyser_access::cancelled(a) = 1;
}
int analyser_cancelled(CCorrelationAnalyser *a) {
    return analyser_access::cancelled(a);
}

int analyser_report_progress(CCorrelationAnalyser *a, float value) {
    return analyser_access::report(a, value);
}

float analyser_evaluate_token(CCorrelationAnalyser *a, token_instances_t *instances,
                              token_entry_tag *output, token_entry_tag *input) {
    return a->EvaluateToken(instances, output, input);
}

int analyser_is_odbc(CCorrelationAnalyser *a) {
    return equal_ignoring_ascii_case(analyser_access::database_type(a), "odbc");
}

void analyser_set_build_hooks(const analyser_build_hooks *hooks) {
    the_build_hooks = hooks;
}

void analyser_report_diagnostic(CCorrelationAnalyser *a, int kind, const char *file, int line,
                                const char *reason) {
    const analyser_build_hooks *hooks = the_build_hooks.load();
    if (a != nullptr && hooks != nullptr && hooks->diagnostic != nullptr) {
        hooks->diagnostic(a, kind, file, line, reason);
    }
}

void analyser_count_grid(CCorrelationAnalyser *a, bool loaded) {
    const analyser_build_hooks *hooks = the_build_hooks.load();
    if (a != nullptr && hooks != nullptr && hooks->grid_met != nullptr) {
        hooks->grid_met(a, loaded);
    }
}

CCorrelationAnalyser *current_analyser() {
    return the_current_analyser;
}
void set_current_analyser(CCorrelationAnalyser *analyser) {
    the_current_analyser = analyser;
}
