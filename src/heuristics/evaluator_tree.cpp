#include "heuristics/evaluator_tree.h"

#include <stdio.h>

#include <memory>
#include <new>

#include "heuristics/ctokenheuristicevaluator.h"
#include "heuristics/ctokenlengthheuristicevaluator.h"
#include "heuristics/ctokenstatementheuristicevaluator.h"
#include "heuristics/ctokentypeheuristicevaluator.h"
#include "heuristics/evaluator_inputs.h"
#include "heuristics/float_setting.h"
#include "heuristics/pair_position_heuristics.h"
#include "heuristics/token_count_heuristics.h"

namespace {

const float DEFAULT_ROOT_WEIGHT = 0.0f;

const char INPUT_OUTPUT_SECTION[] = "InputOutput";
const char INPUT_WEIGHT_KEY[] = "in";
const char OUTPUT_WEIGHT_KEY[] = "out";
const float DEFAULT_DIRECTION_WEIGHT = 1.0f;
enum { INPUT_OUTPUT_COUNT = 2 };

// Room for "Weight" and any int.
const int KEY_SIZE = 32;

typedef std::unique_ptr<CTokenHeuristicEvaluator> evaluator_ptr;

// A composite over evaluators held in owners; on success the composite owns
// them and the owners are emptied, otherwise the owners keep them. Null when
// memory ran out.
CTokenHeuristicEvaluator *create_composite(evaluator_ptr *owners, const float *weights, int count) {
    CTokenHeuristicEvaluator *raw[ROOT_INPUT_COUNT];
    if (count > ROOT_INPUT_COUNT) {
        return nullptr;
    }
    for (int i = 0; i < count; ++i) {
        if (!owners[i]) {
            return nullptr;
        }
        raw[i] = owners[i].get();
    }
    CTokenHeuristicEvaluator *composite;
    try {
        composite = new CTokenHeuristicEvaluator(raw, weights, count);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    for (int i = 0; i < count; ++i) {
        owners[i].release();
    }
    return composite;
}

// Input 5: how the value is spread over the two directions, weighted by the
// in and out keys of section InputOutput.
CTokenHeuristicEvaluator *create_input_output(const char *dataFilePath) {
    float weights[INPUT_OUTPUT_COUNT];
    weights[0] = ReadFloatSetting(INPUT_OUTPUT_SECTION, INPUT_WEIGHT_KEY, DEFAULT_DIRECTION_WEIGHT,
                                  dataFilePath);
    weights[1] = ReadFloatSetting(INPUT_OUTPUT_SECTION, OUTPUT_WEIGHT_KEY, DEFAULT_DIRECTION_WEIGHT,
                                  dataFilePath);
    evaluator_ptr inputs[INPUT_OUTPUT_COUNT];
    inputs[0].reset(CTokenInputFrequencyHeuristicEvaluator::Create(dataFilePath));
    inputs[1].reset(CTokenOutputFrequencyHeuristicEvaluator::Create(dataFilePath));
    return create_composite(inputs, weights, INPUT_OUTPUT_COUNT);
}

}  // namespace

CTokenHeuristicEvaluator *CreateEvaluatorTree(const char *dataFilePath) {
    float weights[ROOT_INPUT_COUNT];
    char key[KEY_SIZE];
    for (int i = 0; i < ROOT_INPUT_COUNT; ++i) {
        snprintf(key, sizeof key, "Weight%d", i);
        weights[i] = ReadFloatSetting(ROOT_INPUTS_SECTION, key, DEFAULT_ROOT_WEIGHT, dataFilePath);
    }

    // Created in input order, each reading its own section; a null stops
    // the tree and the owners free what was made.
    evaluator_ptr inputs[ROOT_INPUT_COUNT];
    inputs[INPUT_TOKEN_TYPE].reset(CTokenTypeHeuristicEvaluator::Create(dataFilePath));
    inputs[INPUT_TOKEN_LENGTH].reset(CTokenLengthHeuristicEvaluator::Create(dataFilePath));
    inputs[INPUT_CAPITAL_CHARACTERS].reset(CTokenCapitalsHeuristicEvaluator::Create(dataFilePath));
    inputs[INPUT_TOKEN_FREQUENCY].reset(CTokenFrequencyHeuristicEvaluator::Create(dataFilePath));
    inputs[INPUT_STATEMENT_TYPE].reset(CTokenStatementHeuristicEvaluator::Create(dataFilePath));
    inputs[INPUT_INPUT_OUTPUT].reset(create_input_output(dataFilePath));
    inputs[INPUT_PAIR_LINE_DISTANCE].reset(
        CPairLineDistanceHeuristicEvaluator::Create(dataFilePath));
    inputs[INPUT_TOKEN_GRID_FREQUENCY].reset(
        CTokenGridFrequencyHeuristicEvaluator::Create(dataFilePath));
    inputs[INPUT_TOKEN_GRID_ROW].reset(CTokenGridRowHeuristicEvaluator::Create(dataFilePath));

    return create_composite(inputs, weights, ROOT_INPUT_COUNT);
}
