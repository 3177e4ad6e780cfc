// CTokenLengthHeuristicEvaluator grades a pair by the length of the value:
// the grade rises linearly from 0 to 1 at the peak length and falls linearly
// back to 0 at the maximum length. Very short values (0, 1, Y) are seldom
// worth correlating and very long ones are seldom keys.
//
// Settings: section TokenLength, keys MaxLength (20) and PeakValue (10).
// Immutable after creation.

#ifndef TOKENWEAVE_HEURISTICS_CTOKENLENGTHHEURISTICEVALUATOR_H
#define TOKENWEAVE_HEURISTICS_CTOKENLENGTHHEURISTICEVALUATOR_H

#include "heuristics/climitevaluator.h"

class CTokenLengthHeuristicEvaluator : public CLimitEvaluator {
public:
    CTokenLengthHeuristicEvaluator(float maxLength, float peakLength);

    // Reads MaxLength then PeakValue; null when memory ran out.
    static CTokenLengthHeuristicEvaluator *Create(const char *dataFilePath);

    // PeakRatio of the token record's length.
    float EvaluateOwn(const token_instances_t &token, const token_entry_tag &output,
                      const token_entry_tag &input) const override;
    // Writes MaxLength then PeakValue; 0, or -1 when a write failed.
    int SaveSettings(const char *dataFilePath) const override;

    // 0 for a length of 0 or less or above the limit; length / peak up to the
    // peak; 1 - (length - peak) / (limit - peak) after it. Never divides by
    // zero: the first branch needs a positive peak, the second a peak below
    // a length that is at most the limit.
    float PeakRatio(int n) const;
};

#endif  // TOKENWEAVE_HEURISTICS_CTOKENLENGTHHEURISTICEVALUATOR_H
