#include "heuristics/pair_position_heuristics.h"

// clang-format off
const limit_descriptor CPairLineDistanceHeuristicEvaluator::DESCRIPTOR =
    {"PairLineDistance",   "MaxDistance",  250.0f, COUNT_LINE_DISTANCE, true};
const limit_descriptor CTokenGridFrequencyHeuristicEvaluator::DESCRIPTOR =
    {"TokenGridFrequency", "MaxFrequency", 20.0f,  COUNT_GRID_REPEAT,   true};
const limit_descriptor CTokenGridRowHeuristicEvaluator::DESCRIPTOR =
    {"TokenGridRow",       "MaxRow",       20.0f,  COUNT_GRID_ROW,      true};
// clang-format on
