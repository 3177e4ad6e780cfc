#include "index/pair_grader.h"

#include "heuristics/ctokenheuristicevaluator.h"
#include "heuristics/output_grade_probe.h"
#include "index/analyser_access.h"

namespace {

bool reads_output(int input) {
    return input == INPUT_PAIR_LINE_DISTANCE || input == INPUT_TOKEN_GRID_FREQUENCY ||
           input == INPUT_TOKEN_GRID_ROW;
}

// The root's arithmetic for one input: its grade times its weight over the
// weight sum, each step rounded to a float.
float share_of(const pair_grader *grader, int i, const token_instances_t &token,
               const token_entry_tag &output, const token_entry_tag &input) {
    const CTokenHeuristicEvaluator *evaluator = grader->inputs[i];
    float value = evaluator != nullptr ? evaluator->Evaluate(token, output, input) : 0.0f;
    return value * grader->weights[i] / grader->weight_sum;
}

void cache_input_shares(pair_grader *grader, const token_instances_t &token,
                        const token_entry_tag &output, const token_entry_tag &input) {
    float sum = 0.0f;
    for (int i = 0; i < grader->first_output_reader; ++i) {
        sum = sum + share_of(grader, i, token, output, input);
    }
    grader->leading_sum = sum;
    for (int i = grader->first_output_reader; i < ROOT_INPUT_COUNT; ++i) {
        grader->input_shares[i] =
            reads_output(i) ? 0.0f : share_of(grader, i, token, output, input);
    }
    grader->cached_token = &token;
    grader->cached_input = &input;
}

}  // namespace

void pair_grader_init(pair_grader *grader, CCorrelationAnalyser *analyser) {
    *grader = pair_grader();
    grader->analyser = analyser;
    const CTokenHeuristicEvaluator *root = analyser_evaluator(analyser);
    output_grade_probe probe;
    if (!make_output_grade_probe(root, &probe)) {
        return;
    }
    for (int i = 0; i < ROOT_INPUT_COUNT; ++i) {
        grader->inputs[i] = root->Input(i);
        grader->weights[i] = root->Weight(i);
    }
    grader->weight_sum = root->WeightSum();
    grader->first_output_reader = 0;
    while (grader->first_output_reader < ROOT_INPUT_COUNT &&
           !reads_output(grader->first_output_reader)) {
        ++grader->first_output_reader;
    }
    grader->shortcut = true;
}

namespace {

// The grade from the kept shares and the output's values (null: asked of
// the heuristics), summed in the root's order.
float shortcut_grade(pair_grader *grader, token_instances_t *instances, token_entry_tag *output,
                     token_entry_tag *input, const output_values *values) {
    if (instances == nullptr || output == nullptr || input == nullptr) {
        return 0.0f;
    }
    // The root grades 0 without asking its inputs when the weights sum to 0.
    if (grader->weight_sum == 0.0f) {
        return 0.0f;
    }
    if (grader->cached_input != input || grader->cached_token != instances) {
        cache_input_shares(grader, *instances, *output, *input);
    }
    float sum = grader->leading_sum;
    for (int i = grader->first_output_reader; i < ROOT_INPUT_COUNT; ++i) {
        float share = grader->input_shares[i];
        if (values == nullptr && reads_output(i)) {
            share = share_of(grader, i, *instances, *output, *input);
        } else if (reads_output(i)) {
            float value = i == INPUT_PAIR_LINE_DISTANCE     ? values->line_distance
                          : i == INPUT_TOKEN_GRID_FREQUENCY ? values->grid_frequency
                                                            : values->grid_row;
            share = value * grader->weights[i] / grader->weight_sum;
        }
        sum = sum + share;
    }
    // A NaN compares false and so never becomes the best grade.
    if (sum > instances->best_grade) {
        instances->best_grade = sum;
    }
    return sum;
}

}  // namespace

float grade_pair(pair_grader *grader, token_instances_t *instances, token_entry_tag *output,
                 token_entry_tag *input) {
    if (!grader->shortcut) {
        return analyser_evaluate_token(grader->analyser, instances, output, input);
    }
    return shortcut_grade(grader, instances, output, input, nullptr);
}

float grade_pair_given(pair_grader *grader, token_instances_t *instances, token_entry_tag *output,
                       token_entry_tag *input, const output_values &values) {
    if (!grader->shortcut) {
        return analyser_evaluate_token(grader->analyser, instances, output, input);
    }
    return shortcut_grade(grader, instances, output, input, &values);
}
