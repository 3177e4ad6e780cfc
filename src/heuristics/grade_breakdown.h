// A pair's grade taken apart: what each of the root's inputs scored, its
// weight, and what it added to the grade.
//
// The grade is a running single-precision sum of score x weight / weight sum
// over the inputs in order; the breakdown repeats those very operations, so
// its sum is the grade the queries rank with, bit for bit, and a reader can
// see which heuristic carried a pair and which held it back.

#ifndef TOKENWEAVE_HEURISTICS_GRADE_BREAKDOWN_H
#define TOKENWEAVE_HEURISTICS_GRADE_BREAKDOWN_H

#include "heuristics/evaluator_inputs.h"
#include "tokenweave/ccorrelationanalyser.h"

class CTokenHeuristicEvaluator;

struct grade_part_t {
    const char *name;    // the input's name in the weights file (InputN)
    float score;         // the input's own grade of the pair
    float weight;        // the input's weight (WeightN)
    float contribution;  // score x weight / weight sum, as the sum adds it
};

struct grade_breakdown_t {
    grade_part_t parts[ROOT_INPUT_COUNT];
    int part_count;    // the root's input count, at most ROOT_INPUT_COUNT
    float weight_sum;  // the root's weight sum
    float grade;       // the sum of the contributions, in input order
};

// Fills *breakdown for the pair (token, output, input) under root. A root
// whose weights sum to 0 grades 0: its scores are still filled in, every
// contribution is 0. A null root, or one of another shape than the tree
// CreateEvaluatorTree builds, gives -1 (breakdown then holds no parts and
// grade 0); otherwise 0.
int break_down_grade(const CTokenHeuristicEvaluator *root, const token_instances_t &token,
                     const token_entry_tag &output, const token_entry_tag &input,
                     grade_breakdown_t *breakdown);

#endif  // TOKENWEAVE_HEURISTICS_GRADE_BREAKDOWN_H
