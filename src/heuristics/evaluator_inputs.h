// The fixed shape of the evaluator tree's root: which heuristic is input N,
// and the names and section under which the weights data file lists them.
// The data file supplies weights and parameters, never this shape.

#ifndef TOKENWEAVE_HEURISTICS_EVALUATOR_INPUTS_H
#define TOKENWEAVE_HEURISTICS_EVALUATOR_INPUTS_H

enum root_input {
    INPUT_TOKEN_TYPE = 0,
    INPUT_TOKEN_LENGTH = 1,
    INPUT_CAPITAL_CHARACTERS = 2,
    INPUT_TOKEN_FREQUENCY = 3,
    INPUT_STATEMENT_TYPE = 4,
    INPUT_INPUT_OUTPUT = 5,
    INPUT_PAIR_LINE_DISTANCE = 6,
    INPUT_TOKEN_GRID_FREQUENCY = 7,
    INPUT_TOKEN_GRID_ROW = 8,
    ROOT_INPUT_COUNT = 9
};

// Section of the root's weights (WeightN) and input names (InputN).
extern const char ROOT_INPUTS_SECTION[];
// InputN of the data file, by root_input.
extern const char *const ROOT_INPUT_NAMES[ROOT_INPUT_COUNT];

#endif  // TOKENWEAVE_HEURISTICS_EVALUATOR_INPUTS_H
