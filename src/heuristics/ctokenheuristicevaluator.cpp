#include "heuristics/ctokenheuristicevaluator.h"

#include <stdio.h>

#include <memory>

#include "heuristics/evaluator_inputs.h"
#include "heuristics/float_setting.h"
#include "port/winapi.h"

namespace {

// Room for "Weight" or "Input" and any int.
const int SETTING_KEY_SIZE = 32;

}  // namespace

CTokenHeuristicEvaluator::CTokenHeuristicEvaluator()
    : inputs(nullptr), weights(nullptr), inputCount(0), weightSum(0.0f) {}

CTokenHeuristicEvaluator::CTokenHeuristicEvaluator(CTokenHeuristicEvaluator *const *inputs,
                                                   const float *weights, int count)
    : CTokenHeuristicEvaluator() {
    if (count <= 0) {
        return;
    }
    // Both copies exist before this object takes anything over, so a failed
    // allocation leaves the evaluators with the caller.
    std::unique_ptr<CTokenHeuristicEvaluator *[]> inputCopy(new CTokenHeuristicEvaluator *[count]);
    std::unique_ptr<float[]> weightCopy(new float[count]);
    for (int i = 0; i < count; ++i) {
        inputCopy[i] = inputs[i];
        weightCopy[i] = weights[i];
    }
    this->inputs = inputCopy.release();
    this->weights = weightCopy.release();
    inputCount = count;
    RecomputeWeightSum();
}

CTokenHeuristicEvaluator::~CTokenHeuristicEvaluator() {
    for (int i = 0; i < inputCount; ++i) {
        delete inputs[i];
    }
    delete[] inputs;
    delete[] weights;
}

float CTokenHeuristicEvaluator::EvaluateOwn(const token_instances_t &, const token_entry_tag &,
                                            const token_entry_tag &) const {
    return 0.0f;
}

float CTokenHeuristicEvaluator::Evaluate(const token_instances_t &token,
                                         const token_entry_tag &output,
                                         const token_entry_tag &input) const {
    if (inputCount <= 0) {
        return EvaluateOwn(token, output, input);
    }
    // Also keeps the division below away from zero.
    if (weightSum == 0.0f) {
        return 0.0f;
    }
    float sum = 0.0f;
    for (int i = 0; i < inputCount; ++i) {
        float value = inputs[i] != nullptr ? inputs[i]->Evaluate(token, output, input) : 0.0f;
        float share = value * weights[i] / weightSum;
        sum = sum + share;
    }
    return sum;
}

void CTokenHeuristicEvaluator::IncreaseWeights(const token_instances_t &token,
                                               const token_entry_tag &input,
                                               const token_entry_tag &output, float rate) {
    LearnStep(token, input, output, rate, true);
}

void CTokenHeuristicEvaluator::DecreaseWeights(const token_instances_t &token,
                                               const token_entry_tag &input,
                                               const token_entry_tag &output, float rate) {
    LearnStep(token, input, output, rate, false);
}

void CTokenHeuristicEvaluator::LearnStep(const token_instances_t &token,
                                         const token_entry_tag &input,
                                         const token_entry_tag &output, float rate, bool increase) {
    if (inputCount <= 0) {
        return;
    }
    for (int i = 0; i < inputCount; ++i) {
        float value = inputs[i] != nullptr ? inputs[i]->Evaluate(token, output, input) : 0.0f;
        float change = rate * value;
        float updated = increase ? weights[i] + change : weights[i] - change;
        // Weights never go negative through learning. The negated test also
        // catches a NaN, which would otherwise poison every later grade and
        // the weights file.
        if (!(updated >= 0.0f)) {
            updated = 0.0f;
        }
        weights[i] = updated;
    }
    RecomputeWeightSum();
}

void CTokenHeuristicEvaluator::RecomputeWeightSum() {
    float sum = 0.0f;
    for (int i = 0; i < inputCount; ++i) {
        sum = sum + weights[i];
    }
    weightSum = sum;
}

int CTokenHeuristicEvaluator::SaveSettings(const char *dataFilePath) const {
    // An empty path would make the Windows writer pick win.ini.
    if (dataFilePath == nullptr || dataFilePath[0] == '\0') {
        return -1;
    }
    char key[SETTING_KEY_SIZE];
    for (int i = 0; i < ROOT_INPUT_COUNT; ++i) {
        snprintf(key, sizeof key, "Input%d", i);
        if (!WritePrivateProfileStringA(ROOT_INPUTS_SECTION, key, ROOT_INPUT_NAMES[i],
                                        dataFilePath)) {
            return -1;
        }
    }
    for (int i = 0; i < inputCount; ++i) {
        snprintf(key, sizeof key, "Weight%d", i);
        if (WriteFloatSetting(ROOT_INPUTS_SECTION, key, weights[i], dataFilePath) != 0) {
            return -1;
        }
    }
    return 0;
}
