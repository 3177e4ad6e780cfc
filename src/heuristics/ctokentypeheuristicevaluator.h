// CTokenTypeHeuristicEvaluator grades a pair by the kind of text the value
// is (the token record's value_class): number-like, other text, or a dotted
// identifier, each with a configured weight. The grade is the weight of the
// value's kind divided by the sum of the four weights.
//
// Settings: section TokenType, keys NumberWeight (5), StringWeight (3),
// DbIdWeight (7), OtherWeight (1). Immutable after creation.

#ifndef TOKENWEAVE_HEURISTICS_CTOKENTYPEHEURISTICEVALUATOR_H
#define TOKENWEAVE_HEURISTICS_CTOKENTYPEHEURISTICEVALUATOR_H

#include "heuristics/ctokenheuristicevaluator.h"

class CTokenTypeHeuristicEvaluator : public CTokenHeuristicEvaluator {
public:
    // weightSum becomes the single-precision sum of the four, in this order.
    CTokenTypeHeuristicEvaluator(float numberWeight, float stringWeight, float dbIdWeight,
                                 float otherWeight);

    // Reads the four weights from the data file; null when memory ran out.
    static CTokenTypeHeuristicEvaluator *Create(const char *dataFilePath);

    // 0 when the four weights sum to 0.
    float EvaluateOwn(const token_instances_t &token, const token_entry_tag &output,
                      const token_entry_tag &input) const override;
    // Writes the four keys; 0, or -1 when a write failed.
    int SaveSettings(const char *dataFilePath) const override;

private:
    float numberWeight;  // value_class 0: hexadecimal digits with at most one dot
    float stringWeight;  // value_class 1: any other text
    float dbIdWeight;    // value_class 2: hexadecimal groups joined by single dots
    float otherWeight;   // any other value_class
};

#endif  // TOKENWEAVE_HEURISTICS_CTOKENTYPEHEURISTICEVALUATOR_H
