// Grades candidate pairs as the analyser's EvaluateToken does, bit for bit,
// without asking the whole evaluator tree for every pair.
//
// A search grades one input against many earlier outputs of its value. Of
// the root's inputs only the line distance, the grid frequency and the grid
// row read the output occurrence; the others read the value's record and the
// input occurrence alone. The grader keeps the weighted shares of those for
// the input it last graded and adds the output's shares to them in the
// root's own order, so every sum is the one the root would form.
//
// The shares are valid while the weights and the value's counts stay as
// they are: make a grader per search or query, never across a learning
// step. When the tree has another shape, every pair goes through
// EvaluateToken.

#ifndef TOKENWEAVE_INDEX_PAIR_GRADER_H
#define TOKENWEAVE_INDEX_PAIR_GRADER_H

#include "heuristics/evaluator_inputs.h"
#include "tokenweave/ccorrelationanalyser.h"

class CTokenHeuristicEvaluator;

struct pair_grader {
    CCorrelationAnalyser *analyser;
    // The root's inputs and weights; inputs[0] null when the shortcut is off.
    const CTokenHeuristicEvaluator *inputs[ROOT_INPUT_COUNT];
    float weights[ROOT_INPUT_COUNT];
    float weight_sum;
    bool shortcut;
    int first_output_reader;  // the first input that reads the output occurrence
    // What the shares below were computed for.
    const token_instances_t *cached_token;
    const token_entry_tag *cached_input;
    // Sum of the shares before the first input that reads the output, and the
    // shares of the input-only inputs after it.
    float leading_sum;
    float input_shares[ROOT_INPUT_COUNT];
};

// A grader for the analyser's current tree and weights.
void pair_grader_init(pair_grader *grader, CCorrelationAnalyser *analyser);

// The grade EvaluateToken gives the pair, which it also records as the
// value's best grade when higher; 0 for a null record.
float grade_pair(pair_grader *grader, token_instances_t *instances, token_entry_tag *output,
                 token_entry_tag *input);

// The values of the root's inputs that read the output occurrence, for a
// caller that has them already: the search computes the grid frequency and
// row once per output, and knows the line distance of far outputs is 0.
struct output_values {
    float line_distance;
    float grid_frequency;
    float grid_row;
};

// grade_pair with the output's values given instead of asked of their
// heuristics; they must be what those heuristics give for the pair.
float grade_pair_given(pair_grader *grader, token_instances_t *instances, token_entry_tag *output,
                       token_entry_tag *input, const output_values &values);

#endif  // TOKENWEAVE_INDEX_PAIR_GRADER_H
