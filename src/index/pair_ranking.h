// The next best pairs of the inputs a search has written, ranked a batch at a
// time.
//
// Once a search writes an input's pair it offers that input's next best one,
// which a plain walk finds by grading the input's whole chain again: for a
// value every grid returns, thousands of grades per written pair. Instead,
// the first walk after a write keeps the PAIR_RANKING_BATCH best pairs of the
// chain in order, and later offers take from them; the chain is graded again
// only when a batch is used up. The order is the walk's: higher grade first,
// nearer output first among equal grades, so the report does not change.

#ifndef TOKENWEAVE_INDEX_PAIR_RANKING_H
#define TOKENWEAVE_INDEX_PAIR_RANKING_H

#include "index/correlation_search.h"

struct pair_rankings;

// An empty set of rankings, or null when memory ran out.
pair_rankings *pair_rankings_create();
// Null is allowed.
void pair_rankings_release(pair_rankings *rankings);

// What pick_best_pair answers for input, from input's ranking: the best pair
// of its chain graded above 0 that is not in reported (pair->input null when
// there is none). 0, or -1 when memory ran out.
int pick_next_ranked_pair(CCorrelationAnalyser *analyser, pair_rankings *rankings,
                          token_entry_tag *input, const reported_pairs *reported,
                          candidate_pair_t *pair);

#endif  // TOKENWEAVE_INDEX_PAIR_RANKING_H
