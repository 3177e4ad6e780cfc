// CLimitEvaluator is the shared mechanism of the counting heuristics: a
// count divided by a configured maximum and capped at 1 (LimitRatio). Each
// heuristic derived from it uses the ratio as it is or as 1 minus it; the
// length heuristic adds a peak.
//
// Never instantiated itself: it keeps the base's zero grade and its
// SaveSettings. Immutable after construction.

#ifndef TOKENWEAVE_HEURISTICS_CLIMITEVALUATOR_H
#define TOKENWEAVE_HEURISTICS_CLIMITEVALUATOR_H

#include "heuristics/ctokenheuristicevaluator.h"

class CLimitEvaluator : public CTokenHeuristicEvaluator {
public:
    // n / limit rounded to single precision, or 1 when n reaches the limit or
    // the limit is 0. So a count of 0 gives 0 (for a positive limit) and a
    // count equal to the limit gives exactly 1.
    float LimitRatio(int n) const;

    float Limit() const { return limit; }
    float Peak() const { return peak; }

protected:
    // Marks the heuristics that have no peak.
    static constexpr float NO_PEAK = -1.0f;

    explicit CLimitEvaluator(float limit);
    CLimitEvaluator(float limit, float peak);

    // 1 - LimitRatio(n), for the heuristics where a smaller count is better;
    // rounded to single precision again after the subtraction.
    float InverseLimitRatio(int n) const;

    float limit;  // the heuristic's maximum
    float peak;   // the length heuristic's peak; NO_PEAK for every other
};

#endif  // TOKENWEAVE_HEURISTICS_CLIMITEVALUATOR_H
