// The token and cursor queries: where, earlier in the script, the server
// returned the value that a statement sends.
//
// A query walks the value's occurrences backward from the input occurrence,
// grades every earlier output occurrence (in the same or an earlier action
// file) with the analyser's evaluators, keeps the pairs graded above
// min_grade and writes them best first to a report file. It keeps nothing
// between calls: queues, pairs and buffers are released and the report file
// is closed on every path. In the index it changes only best_grade.
//
// Results are the query codes of candidate_report.h. Files are the full
// action-file paths the index holds.

#ifndef TOKENWEAVE_INDEX_TOKEN_QUERIES_H
#define TOKENWEAVE_INDEX_TOKEN_QUERIES_H

#include "containers/cgradedentity.h"
#include "index/correlation_index.h"
#include "index/record_arena.h"

int input_token_query(CCorrelationAnalyser *analyser, correlation_index *index, const char *token,
                      const char *file, int line, const char *report_path, float min_grade);

int cursor_query(CCorrelationAnalyser *analyser, correlation_index *index, const char *file,
                 int line, const char *report_path, float min_grade);

// The graded pairs of the input occurrence of token at file:line. When the
// index holds no such input, a provisional one stands in for it: it is added
// to *provisionals and must outlive the pairs (release_provisionals). The
// pairs are placed_pair records (each with its output's place) carved from
// *pairs, which the queue does not own: release it after the queue is
// emptied. Returns a new queue, or null when memory ran out.
graded_heap *gather_candidates(CCorrelationAnalyser *analyser, correlation_index *index,
                               const char *token, const char *file, int line, float min_grade,
                               list_node **provisionals, record_arena *pairs);

// Frees the provisional occurrences gather_candidates made.
void release_provisionals(list_node **provisionals);

// Lets the queries seek a place in the later half of the project from the
// tail of its value's list (the default), or makes them seek every place
// from the head. Both give the same report; tests compare them.
void token_queries_seek_from_tail(bool enabled);

#endif  // TOKENWEAVE_INDEX_TOKEN_QUERIES_H
