// The heuristics that grade a pair by where its occurrences lie, each
// against its own configured maximum (CLimitEvaluator::LimitRatio); all
// three favour the small end: close together, not repeated, near the top.
//
//   CPairLineDistanceHeuristicEvaluator   lines between output and input
//   CTokenGridFrequencyHeuristicEvaluator run of the value down its grid
//   CTokenGridRowHeuristicEvaluator       row of the output cell
//
// Each reads one key from its own section of the weights data file when it
// is created and is immutable afterwards; its DESCRIPTOR names the section,
// the key and the default.

#ifndef TOKENWEAVE_HEURISTICS_PAIR_POSITION_HEURISTICS_H
#define TOKENWEAVE_HEURISTICS_PAIR_POSITION_HEURISTICS_H

#include "heuristics/climitevaluator.h"

// 1 - LimitRatio of the line distance when both occurrences lie in the same
// action file (paths compared byte for byte); 0 when the files differ or
// either is unknown. The order of the two lines does not matter.
class CPairLineDistanceHeuristicEvaluator
    : public CLimitHeuristic<CPairLineDistanceHeuristicEvaluator> {
public:
    using CLimitHeuristic::CLimitHeuristic;
    static const limit_descriptor DESCRIPTOR;
};

// 1 - LimitRatio of the output occurrence's grid_repeat: a value that fills
// a whole grid column (a flag, a status) grades low. grid_repeat is 0, and
// the grade 1, until AnalyseIndex has counted the runs.
class CTokenGridFrequencyHeuristicEvaluator
    : public CLimitHeuristic<CTokenGridFrequencyHeuristicEvaluator> {
public:
    using CLimitHeuristic::CLimitHeuristic;
    static const limit_descriptor DESCRIPTOR;
};

// 1 - LimitRatio of the output cell's row: a script mostly goes on with the
// first rows a query returned. 0 when the occurrence given as output is an
// input or has no grid cell.
class CTokenGridRowHeuristicEvaluator : public CLimitHeuristic<CTokenGridRowHeuristicEvaluator> {
public:
    using CLimitHeuristic::CLimitHeuristic;
    static const limit_descriptor DESCRIPTOR;
};

#endif  // TOKENWEAVE_HEURISTICS_PAIR_POSITION_HEURISTICS_H
