#include "index/analyser_access.h"

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
