// What the command line may read of a built index, and nothing more: the
// files, the values with their occurrences, the published statement chains
// and sites, and the lookups the feedback command needs. The index's tables
// and lists stay the index's business; callers get plain records in a stable
// order (project order for files, byte order for texts), borrowed from the
// index for as long as the analyser lives.

#ifndef TOKENWEAVE_INDEX_INDEX_INSPECTION_H
#define TOKENWEAVE_INDEX_INDEX_INSPECTION_H

#include <stdio.h>

#include <string>
#include <utility>
#include <vector>

#include "heuristics/grade_breakdown.h"
#include "index/candidate_report.h"
#include "index/correlation_index.h"
#include "index/occurrence_lookup.h"
#include "tokenweave/ccorrelationanalyser.h"

// The analyser's index; null before BuildIndex.
correlation_index *inspected_index(CCorrelationAnalyser *analyser);

// The registered action files in project order.
std::vector<const action_file_t *> index_files(const correlation_index *index);

// Every value, in byte order of its text.
std::vector<const token_instances_t *> index_tokens(const correlation_index *index);

// A value's occurrences in recording order.
std::vector<const token_entry_tag *> index_occurrences(const token_instances_t *token);

// Location keys with the newest occurrence of their chain, in key byte order;
// follow same_handle_previous for the rest of the chain.
std::vector<std::pair<std::string, const token_entry_tag *>> index_locations(
    const correlation_index *index);

// Statement sites by handle, in handle byte order.
std::vector<std::pair<const char *, const statement_site_t *>> index_statements(
    const correlation_index *index);

// Where the scanner copies the newlines it meets inside SQL text (standard
// output by default); null discards them, so a report printed on standard
// output stays clean.
void inspection_set_echo_stream(FILE *stream);

// The pair's grade taken apart by the analyser's evaluators: the same bits
// as the grade the queries rank with, without raising the value's best
// grade. -1 (no parts, grade 0) before BuildIndex made the evaluators.
int inspect_grade(CCorrelationAnalyser *analyser, const token_instances_t &token,
                  const token_entry_tag &output, const token_entry_tag &input,
                  grade_breakdown_t *breakdown);

// The name of the recorded call with that code; null when none has it.
const char *inspected_call_name(int call_code);

// The grid that an output occurrence was read from, read again from its
// source as the index loaded it: every column's name and every row with all
// its columns (the empty text for a cell without data).
struct inspected_grid {
    bool found = false;  // false when the source or the grid cannot be read
    std::string source;  // the file the grid was read from
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
};
inspected_grid inspect_output_grid(const token_entry_tag &output, const char *grid_settings_path);

// Sees every pair the queries write, as pair_observer of candidate_report.h
// (null: none).
void inspection_set_pair_observer(pair_observer observer, void *context);

#endif  // TOKENWEAVE_INDEX_INDEX_INSPECTION_H
