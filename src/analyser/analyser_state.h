// State of an analyser that does not live in the object.
//
// Hosts allocate CCorrelationAnalyser from its declaration, so its members
// are fixed. What was added later (the weights file a host named, the build
// diagnostics, build counts) is kept here, keyed by the object's address:
// created on first use, dropped by the destructor. One mutex guards the
// table, since two analysers may be used on two threads.

#ifndef TOKENWEAVE_ANALYSER_ANALYSER_STATE_H
#define TOKENWEAVE_ANALYSER_ANALYSER_STATE_H

#include <string>
#include <vector>

#include "tokenweave/ccorrelationanalyser.h"

// Counts of what the last BuildIndex read.
struct analyser_build_counts {
    int grids_referenced = 0;  // grid references the scan met (a cancelled scan stops meeting them)
    int grids_loaded = 0;      // of these, grids read
};

void analyser_state_set_data_file(const CCorrelationAnalyser *analyser, const char *path);
// Empty when the host named none.
std::string analyser_state_data_file(const CCorrelationAnalyser *analyser);

void analyser_state_clear_build(const CCorrelationAnalyser *analyser);
void analyser_state_add_diagnostic(const CCorrelationAnalyser *analyser, int kind, const char *file,
                                   int line, const char *reason);
void analyser_state_count_grid(const CCorrelationAnalyser *analyser, bool loaded);

std::vector<tokenweave_diagnostic> analyser_state_diagnostics(const CCorrelationAnalyser *analyser);
// The number of diagnostics; copies entry position into *out when it exists.
int analyser_state_diagnostic(const CCorrelationAnalyser *analyser, int position,
                              tokenweave_diagnostic *out);
analyser_build_counts analyser_state_build_counts(const CCorrelationAnalyser *analyser);

// Drops everything kept for the analyser.
void analyser_state_forget(const CCorrelationAnalyser *analyser);

#endif  // TOKENWEAVE_ANALYSER_ANALYSER_STATE_H
