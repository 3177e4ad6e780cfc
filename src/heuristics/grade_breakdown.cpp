#include "heuristics/grade_breakdown.h"

#include "heuristics/ctokenheuristicevaluator.h"

int break_down_grade(const CTokenHeuristicEvaluator *root, const token_instances_t &token,
                     const token_entry_tag &output, const token_entry_tag &input,
                     grade_breakdown_t *breakdown) {
    breakdown->part_count = 0;
    breakdown->weight_sum = 0.0f;
    breakdown->grade = 0.0f;
    if (root == nullptr || root->InputCount() != ROOT_INPUT_COUNT) {
        return -1;
    }
    float weight_sum = root->WeightSum();
    breakdown->weight_sum = weight_sum;
    breakdown->part_count = ROOT_INPUT_COUNT;
    // The same operations, in the same order and precision, as the root's
    // Evaluate: each share is rounded to a float before it is added.
    float sum = 0.0f;
    for (int i = 0; i < ROOT_INPUT_COUNT; ++i) {
        const CTokenHeuristicEvaluator *part = root->Input(i);
        float value = part != nullptr ? part->Evaluate(token, output, input) : 0.0f;
        float weight = root->Weight(i);
        float share = 0.0f;
        if (weight_sum != 0.0f) {
            share = value * weight / weight_sum;
            sum = sum + share;
        }
        breakdown->parts[i] = grade_part_t{ROOT_INPUT_NAMES[i], value, weight, share};
    }
    breakdown->grade = sum;
    return 0;
}
