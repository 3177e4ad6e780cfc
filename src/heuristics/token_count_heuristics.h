// The heuristics that grade a pair by one count of the token record, each
// against its own configured maximum (CLimitEvaluator::LimitRatio):
//
//   CTokenCapitalsHeuristicEvaluator        capital_count    grows with the count
//   CTokenFrequencyHeuristicEvaluator       total_count      grows with the count
//   CTokenInputFrequencyHeuristicEvaluator  input_count      grows with the count
//   CTokenOutputFrequencyHeuristicEvaluator output_count     falls with the count
//
// Each reads one key from its own section of the weights data file when it
// is created and is immutable afterwards. Settings (default):
// CapitalCharacters/MaxCapitals (20), TokenFrequency/MaxFrequency (200),
// TokenInputFrequency/MaxFrequency (1), TokenOutputFrequency/MaxFrequency (1).

#ifndef TOKENWEAVE_HEURISTICS_TOKEN_COUNT_HEURISTICS_H
#define TOKENWEAVE_HEURISTICS_TOKEN_COUNT_HEURISTICS_H

#include "heuristics/climitevaluator.h"

// The number of capital letters in the value. The index never counts them
// (capital_count stays 0), so this grades 0 for every pair with a positive
// maximum and 1 with a maximum of 0.
class CTokenCapitalsHeuristicEvaluator : public CLimitEvaluator {
public:
    explicit CTokenCapitalsHeuristicEvaluator(float maxCapitals);
    // Null when memory ran out.
    static CTokenCapitalsHeuristicEvaluator *Create(const char *dataFilePath);
    float EvaluateOwn(const token_instances_t &token, const token_entry_tag &output,
                      const token_entry_tag &input) const override;
    int SaveSettings(const char *dataFilePath) const override;
};

// How often the value was recorded anywhere in the project.
class CTokenFrequencyHeuristicEvaluator : public CLimitEvaluator {
public:
    explicit CTokenFrequencyHeuristicEvaluator(float maxFrequency);
    static CTokenFrequencyHeuristicEvaluator *Create(const char *dataFilePath);
    float EvaluateOwn(const token_instances_t &token, const token_entry_tag &output,
                      const token_entry_tag &input) const override;
    int SaveSettings(const char *dataFilePath) const override;
};

// How often the script sends the value.
class CTokenInputFrequencyHeuristicEvaluator : public CLimitEvaluator {
public:
    explicit CTokenInputFrequencyHeuristicEvaluator(float maxFrequency);
    static CTokenInputFrequencyHeuristicEvaluator *Create(const char *dataFilePath);
    float EvaluateOwn(const token_instances_t &token, const token_entry_tag &output,
                      const token_entry_tag &input) const override;
    int SaveSettings(const char *dataFilePath) const override;
};

// How rarely result grids returned the value: 1 for a value never returned,
// 0 once it was returned the maximum number of times.
class CTokenOutputFrequencyHeuristicEvaluator : public CLimitEvaluator {
public:
    explicit CTokenOutputFrequencyHeuristicEvaluator(float maxFrequency);
    static CTokenOutputFrequencyHeuristicEvaluator *Create(const char *dataFilePath);
    float EvaluateOwn(const token_instances_t &token, const token_entry_tag &output,
                      const token_entry_tag &input) const override;
    int SaveSettings(const char *dataFilePath) const override;
};

#endif  // TOKENWEAVE_HEURISTICS_TOKEN_COUNT_HEURISTICS_H
