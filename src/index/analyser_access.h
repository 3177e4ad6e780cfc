// The plain-function face of CCorrelationAnalyser.
//
// The index, scanner, recorder and query code is written as plain functions
// over records; it reaches the analyser that owns the index only through
// these accessors, each taking the analyser first. While BuildIndex runs, the
// analyser being built is also the module-wide current analyser, which the
// scanner and recorder use because flex actions take no context argument.

#ifndef TOKENWEAVE_INDEX_ANALYSER_ACCESS_H
#define TOKENWEAVE_INDEX_ANALYSER_ACCESS_H

#include <stddef.h>

#include "tokenweave/ccorrelationanalyser.h"

correlation_index *analyser_index(CCorrelationAnalyser *analyser);
void analyser_set_index(CCorrelationAnalyser *analyser, correlation_index *index);
ht_table *analyser_keywords(CCorrelationAnalyser *analyser);
void analyser_set_keywords(CCorrelationAnalyser *analyser, ht_table *keywords);
const char *analyser_database_type(CCorrelationAnalyser *analyser);
const char *analyser_grid_settings_path(CCorrelationAnalyser *analyser);
const char *analyser_settings_path(CCorrelationAnalyser *analyser);
CTokenHeuristicEvaluator *analyser_evaluator(CCorrelationAnalyser *analyser);

int analyser_total_lines(CCorrelationAnalyser *analyser);
void analyser_set_total_lines(CCorrelationAnalyser *analyser, int lines);
int analyser_lines_done(CCorrelationAnalyser *analyser);
void analyser_set_lines_done(CCorrelationAnalyser *analyser, int lines);
int analyser_last_line(CCorrelationAnalyser *analyser);
void analyser_set_last_line(CCorrelationAnalyser *analyser, int line);
int analyser_lines_reported(CCorrelationAnalyser *analyser);
void analyser_set_lines_reported(CCorrelationAnalyser *analyser, int lines);

// The cancelled flag: once set it stays set for the analyser's life.
void analyser_cancel(CCorrelationAnalyser *analyser);
int analyser_cancelled(CCorrelationAnalyser *analyser);

// Calls the host's callback with the user data exactly as the host gave it
// (null included) and returns its answer. Without a callback nothing is
// reported and the answer is 0, which never cancels.
int analyser_report_progress(CCorrelationAnalyser *analyser, float value);

// EvaluateToken for the plain-function code.
float analyser_evaluate_token(CCorrelationAnalyser *analyser, token_instances_t *instances,
                              token_entry_tag *output, token_entry_tag *input);

// True when the database family is "odbc", compared without regard to case.
int analyser_is_odbc(CCorrelationAnalyser *analyser);

// Where the index layer reports what it could not use while building. The
// analyser layer, which keeps the diagnostics beside the object, installs
// the hooks; without them the reports go nowhere.
struct analyser_build_hooks {
    void (*diagnostic)(CCorrelationAnalyser *analyser, int kind, const char *file, int line,
                       const char *reason);
    void (*grid_met)(CCorrelationAnalyser *analyser, bool loaded);
};
void analyser_set_build_hooks(const analyser_build_hooks *hooks);

// A build diagnostic (tokenweave_diagnostic_kind) about file at line (0: the
// whole file). Does nothing for a null analyser.
void analyser_report_diagnostic(CCorrelationAnalyser *analyser, int kind, const char *file,
                                int line, const char *reason);
// A grid reference met by the scan, read or not.
void analyser_count_grid(CCorrelationAnalyser *analyser, bool loaded);

// The analyser whose BuildIndex is running, or null.
CCorrelationAnalyser *current_analyser();
void set_current_analyser(CCorrelationAnalyser *analyser);

#endif  // TOKENWEAVE_INDEX_ANALYSER_ACCESS_H
