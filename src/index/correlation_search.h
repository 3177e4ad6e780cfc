// The correlation search over the whole index, and the grid-run analysis.
//
// The search pairs every input occurrence with the earlier output
// occurrences of its value and writes the best max_results pairs, best
// first. It ranks lazily: each input occurrence offers its best pair first
// and its next best only after that one was written. Candidates are chained
// through next_candidate (an input to its nearest earlier output, each output
// to the output recorded before it).
//
// min_grade gates input occurrences, not pairs. The inputs of a value are
// walked from the last recorded to the first; the first walk that meets an
// output links and grades every output before it, and each later walk stops
// at its nearest output, which is linked by then. So the value's last input
// is gated by its best pair and every other input by the pair with its
// nearest output, even where a farther output grades above min_grade. Every
// search relinks the chains it gathers, so every search over the same index
// gates and reports as the first one does.

#ifndef TOKENWEAVE_INDEX_CORRELATION_SEARCH_H
#define TOKENWEAVE_INDEX_CORRELATION_SEARCH_H

#include "index/candidate_report.h"
#include "index/pair_set.h"

// The pairs written so far in one search: copies, newest first, owned by the
// list, and a set to find them by address.
struct reported_pairs {
    list_node *list;
    pair_set written;
};

// Query code: 0, -1, -7 or -10.
int find_correlations(CCorrelationAnalyser *analyser, correlation_index *index,
                      const char *report_path, float min_grade, int max_results);

// Links the candidate chain of the input occurrence of token at file:line and
// sets *gate to the best grade (0 at least) of the outputs this walk graded:
// back from the nearest, up to and including the first one an earlier walk
// had linked. Returns 1 when the chain holds at least one output occurrence,
// else 0.
int chain_candidates(CCorrelationAnalyser *analyser, correlation_index *index, const char *token,
                     const char *file, int line, float *gate);

// The best pair of input's chain that is not yet reported, graded above 0;
// nearest first among equal grades. Sets *pair to it; pair->input is null
// when there is none.
void pick_best_pair(CCorrelationAnalyser *analyser, token_entry_tag *input,
                    const reported_pairs *reported, candidate_pair_t *pair);

// Sets the grid_repeat of every output occurrence to the length of its run:
// consecutive output occurrences of the value from the same grid number.
void analyse_index(CCorrelationAnalyser *analyser, correlation_index *index);

// Makes the search gather its offers by walking each input's chain, as
// chain_candidates and pick_best_pair do, instead of in one pass per value,
// and find each written input's next pair by walking its chain again instead
// of from its ranking. Both give the same report; tests compare them.
void correlation_search_gather_by_walks(bool enabled);

#endif  // TOKENWEAVE_INDEX_CORRELATION_SEARCH_H
