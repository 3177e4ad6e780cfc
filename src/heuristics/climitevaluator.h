// CLimitEvaluator is the shared mechanism of the counting heuristics: a
// count divided by a configured maximum and capped at 1 (LimitRatio). Each
// heuristic derived from it uses the ratio as it is or as 1 minus it; the
// length heuristic adds a peak.
//
// The heuristics that differ only in what they count, where their maximum is
// kept and which way the ratio runs derive from CLimitHeuristic, each with a
// limit_descriptor that says just that; they add no fields.
//
// Never instantiated itself: it keeps the base's zero grade and its
// SaveSettings. Immutable after construction.

#ifndef TOKENWEAVE_HEURISTICS_CLIMITEVALUATOR_H
#define TOKENWEAVE_HEURISTICS_CLIMITEVALUATOR_H

#include <new>

#include "heuristics/ctokenheuristicevaluator.h"

// The number of a pair that a limit heuristic sets against its maximum.
enum limit_count {
    COUNT_CAPITALS,       // the token record's capital_count
    COUNT_TOTAL,          // the token record's total_count
    COUNT_INPUTS,         // the token record's input_count
    COUNT_OUTPUTS,        // the token record's output_count
    COUNT_LINE_DISTANCE,  // lines between the occurrences; none across files
    COUNT_GRID_REPEAT,    // the output occurrence's grid_repeat
    COUNT_GRID_ROW,       // the output cell's row; none for an input or no cell
};

// All that tells one limit heuristic from another.
struct limit_descriptor {
    const char *section;  // of the weights data file
    const char *key;      // the maximum, within section
    float default_limit;  // when the data file has no number there
    limit_count count;
    bool inverse;  // grades 1 - LimitRatio: the smaller the count, the better
};

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

    // The descriptor's key, or its default.
    static float ReadLimit(const limit_descriptor &descriptor, const char *dataFilePath);
    // The ratio of the descriptor's count, inverted when it says so; 0 when
    // the pair has no such count.
    float DescribedGrade(const limit_descriptor &descriptor, const token_instances_t &token,
                         const token_entry_tag &output, const token_entry_tag &input) const;
    // Writes limit under the descriptor's key; 0, or -1 when the write failed.
    int SaveLimit(const limit_descriptor &descriptor, const char *dataFilePath) const;

    float limit;  // the heuristic's maximum
    float peak;   // the length heuristic's peak; NO_PEAK for every other
};

// A limit heuristic described by Heuristic::DESCRIPTOR, where Heuristic is
// the class that derives from this one.
template <class Heuristic>
class CLimitHeuristic : public CLimitEvaluator {
public:
    explicit CLimitHeuristic(float limit) : CLimitEvaluator(limit) {}

    // Reads the maximum from the weights data file; null when memory ran out.
    static Heuristic *Create(const char *dataFilePath) {
        return new (std::nothrow) Heuristic(ReadLimit(Heuristic::DESCRIPTOR, dataFilePath));
    }

    float EvaluateOwn(const token_instances_t &token, const token_entry_tag &output,
                      const token_entry_tag &input) const override {
        return DescribedGrade(Heuristic::DESCRIPTOR, token, output, input);
    }

    int SaveSettings(const char *dataFilePath) const override {
        return SaveLimit(Heuristic::DESCRIPTOR, dataFilePath);
    }
};

#endif  // TOKENWEAVE_HEURISTICS_CLIMITEVALUATOR_H
