#include "heuristics/output_grade_probe.h"

#include <math.h>
#include <string.h>

#include "heuristics/ctokenheuristicevaluator.h"
#include "heuristics/evaluator_inputs.h"
#include "heuristics/pair_position_heuristics.h"

namespace {

uint32_t float_bits(float value) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

}  // namespace

bool make_output_grade_probe(const CTokenHeuristicEvaluator *root, output_grade_probe *probe) {
    if (root == nullptr || root->InputCount() != ROOT_INPUT_COUNT) {
        return false;
    }
    const auto *distance = dynamic_cast<const CPairLineDistanceHeuristicEvaluator *>(
        root->Input(INPUT_PAIR_LINE_DISTANCE));
    const auto *frequency = dynamic_cast<const CTokenGridFrequencyHeuristicEvaluator *>(
        root->Input(INPUT_TOKEN_GRID_FREQUENCY));
    const auto *row =
        dynamic_cast<const CTokenGridRowHeuristicEvaluator *>(root->Input(INPUT_TOKEN_GRID_ROW));
    if (distance == nullptr || frequency == nullptr || row == nullptr || isnan(distance->Limit())) {
        return false;
    }
    probe->distance = distance;
    probe->grid_frequency = frequency;
    probe->grid_row = row;
    return true;
}

uint64_t output_grade_key(const output_grade_probe &probe, const token_instances_t &token,
                          const token_entry_tag &output) {
    // Neither heuristic reads the input occurrence; the output stands in.
    uint32_t frequency = float_bits(probe.grid_frequency->EvaluateOwn(token, output, output));
    uint32_t row = float_bits(probe.grid_row->EvaluateOwn(token, output, output));
    return static_cast<uint64_t>(frequency) << 32 | row;
}

bool output_is_near(const output_grade_probe &probe, const token_instances_t &token,
                    const token_entry_tag &output, const token_entry_tag &input) {
    return probe.distance->EvaluateOwn(token, output, input) != 0.0f;
}
