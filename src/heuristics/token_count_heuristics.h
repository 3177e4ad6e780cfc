// The heuristics that grade a pair by one count of the token record, each
// against its own configured maximum (CLimitEvaluator::LimitRatio):
//
//   CTokenCapitalsHeuristicEvaluator        capital_count    grows with the count
//   CTokenFrequencyHeuristicEvaluator       total_count      grows with the count
//   CTokenInputFrequencyHeuristicEvaluator  input_count      grows with the count
//   CTokenOutputFrequencyHeuristicEvaluator output_count     falls with the count
//
// Each reads one key from its own section of the weights data file when it
// is created and is immutable afterwards; its DESCRIPTOR names the section,
// the key and the default.

#ifndef TOKENWEAVE_HEURISTICS_TOKEN_COUNT_HEURISTICS_H
#define TOKENWEAVE_HEURISTICS_TOKEN_COUNT_HEURISTICS_H

#include "heuristics/climitevaluator.h"

// The number of capital letters in the value. The index never counts them
// (capital_count stays 0), so this grades 0 for every pair with a positive
// maximum and 1 with a maximum of 0.
class CTokenCapitalsHeuristicEvaluator : public CLimitHeuristic<CTokenCapitalsHeuristicEvaluator> {
public:
    using CLimitHeuristic::CLimitHeuristic;
    static const limit_descriptor DESCRIPTOR;
};

// How often the value was recorded anywhere in the project.
class CTokenFrequencyHeuristicEvaluator
    : public CLimitHeuristic<CTokenFrequencyHeuristicEvaluator> {
public:
    using CLimitHeuristic::CLimitHeuristic;
    static const limit_descriptor DESCRIPTOR;
};

// How often the script sends the value.
class CTokenInputFrequencyHeuristicEvaluator
    : public CLimitHeuristic<CTokenInputFrequencyHeuristicEvaluator> {
public:
    using CLimitHeuristic::CLimitHeuristic;
    static const limit_descriptor DESCRIPTOR;
};

// How rarely result grids returned the value: 1 for a value never returned,
// 0 once it was returned the maximum number of times.
class CTokenOutputFrequencyHeuristicEvaluator
    : public CLimitHeuristic<CTokenOutputFrequencyHeuristicEvaluator> {
public:
    using CLimitHeuristic::CLimitHeuristic;
    static const limit_descriptor DESCRIPTOR;
};

#endif  // TOKENWEAVE_HEURISTICS_TOKEN_COUNT_HEURISTICS_H
