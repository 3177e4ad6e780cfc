// What a pair's grade reads of its output occurrence.
//
// Grading one input against thousands of earlier outputs of a common value
// is the correlation search's main cost. In the evaluator tree only three
// heuristics read the output occurrence: the line distance (its file and
// line, against the input's), the grid frequency (its run length) and the
// grid row (its row). Every other input reads the token record or the input
// occurrence alone. So for one input, two outputs whose three heuristic
// values are bit-identical grade bit-identically; and an output in another
// file, or so far back in the same file that the distance heuristic has
// saturated, has a distance value of exactly 0, as does every output before
// it. The probe computes those values so that a caller can grade one
// representative per distinct value instead of every output.

#ifndef TOKENWEAVE_HEURISTICS_OUTPUT_GRADE_PROBE_H
#define TOKENWEAVE_HEURISTICS_OUTPUT_GRADE_PROBE_H

#include <stdint.h>

#include "tokenweave/ccorrelationanalyser.h"

class CTokenHeuristicEvaluator;

struct output_grade_probe {
    const CTokenHeuristicEvaluator *distance;
    const CTokenHeuristicEvaluator *grid_frequency;
    const CTokenHeuristicEvaluator *grid_row;
};

// Fills probe from a tree of the shape CreateEvaluatorTree builds. False when
// root is null, has another shape, or has a line-distance limit that is not a
// number (its value would then never settle at 0): callers must grade every
// pair then.
bool make_output_grade_probe(const CTokenHeuristicEvaluator *root, output_grade_probe *probe);

// The grid-frequency and grid-row values of output, as one key: equal keys
// mean equal values, bit for bit.
uint64_t output_grade_key(const output_grade_probe &probe, const token_instances_t &token,
                          const token_entry_tag &output);

// True when the line-distance value of the pair is not 0: the output lies in
// the input's file and near enough that its distance still counts. Once this
// is false for an output, it is false for every output recorded before it.
bool output_is_near(const output_grade_probe &probe, const token_instances_t &token,
                    const token_entry_tag &output, const token_entry_tag &input);

#endif  // TOKENWEAVE_HEURISTICS_OUTPUT_GRADE_PROBE_H
