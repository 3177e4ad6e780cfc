#include "heuristics/token_count_heuristics.h"

namespace {

const char FREQUENCY_KEY[] = "MaxFrequency";
// With a maximum of 1 the two direction counts only say whether the value
// occurs in that direction at all.
const float DEFAULT_MAX_DIRECTION_FREQUENCY = 1.0f;

}  // namespace

// clang-format off
const limit_descriptor CTokenCapitalsHeuristicEvaluator::DESCRIPTOR =
    {"CapitalCharacters",    "MaxCapitals", 20.0f,  COUNT_CAPITALS, false};
const limit_descriptor CTokenFrequencyHeuristicEvaluator::DESCRIPTOR =
    {"TokenFrequency",       FREQUENCY_KEY, 200.0f, COUNT_TOTAL,    false};
const limit_descriptor CTokenInputFrequencyHeuristicEvaluator::DESCRIPTOR =
    {"TokenInputFrequency",  FREQUENCY_KEY, DEFAULT_MAX_DIRECTION_FREQUENCY, COUNT_INPUTS,  false};
const limit_descriptor CTokenOutputFrequencyHeuristicEvaluator::DESCRIPTOR =
    {"TokenOutputFrequency", FREQUENCY_KEY, DEFAULT_MAX_DIRECTION_FREQUENCY, COUNT_OUTPUTS, true};
// clang-format on
