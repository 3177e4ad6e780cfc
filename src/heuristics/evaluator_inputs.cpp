#include "heuristics/evaluator_inputs.h"

const char ROOT_INPUTS_SECTION[] = "TokenEvaluatorInputs";

const char *const ROOT_INPUT_NAMES[ROOT_INPUT_COUNT] = {
    "TokenType",   "TokenLength",      "CapitalCharacters",  "TokenFrequency", "StatementType",
    "InputOutput", "PairLineDistance", "TokenGridFrequency", "TokenGridRow",
};
