#include "heuristics/token_count_heuristics.h"

#include <new>

#include "heuristics/float_setting.h"

namespace {

const char CAPITALS_SECTION[] = "CapitalCharacters";
const char CAPITALS_KEY[] = "MaxCapitals";
const float DEFAULT_MAX_CAPITALS = 20.0f;

const char FREQUENCY_SECTION[] = "TokenFrequency";
const char INPUT_FREQUENCY_SECTION[] = "TokenInputFrequency";
const char OUTPUT_FREQUENCY_SECTION[] = "TokenOutputFrequency";
const char FREQUENCY_KEY[] = "MaxFrequency";
const float DEFAULT_MAX_FREQUENCY = 200.0f;
// With a maximum of 1 the two direction counts only say whether the value
// occurs in that direction at all.
const float DEFAULT_MAX_DIRECTION_FREQUENCY = 1.0f;

}  // namespace

CTokenCapitalsHeuristicEvaluator::CTokenCapitalsHeuristicEvaluator(float maxCapitals)
    : CLimitEvaluator(maxCapitals) {}

CTokenCapitalsHeuristicEvaluator *CTokenCapitalsHeuristicEvaluator::Create(
    const char *dataFilePath) {
    float maxCapitals =
        ReadFloatSetting(CAPITALS_SECTION, CAPITALS_KEY, DEFAULT_MAX_CAPITALS, dataFilePath);
    return new (std::nothrow) CTokenCapitalsHeuristicEvaluator(maxCapitals);
}

float CTokenCapitalsHeuristicEvaluator::EvaluateOwn(const token_instances_t &token,
                                                    const token_entry_tag &,
                                                    const token_entry_tag &) const {
    return LimitRatio(token.capital_count);
}

int CTokenCapitalsHeuristicEvaluator::SaveSettings(const char *dataFilePath) const {
    return WriteFloatSetting(CAPITALS_SECTION, CAPITALS_KEY, limit, dataFilePath);
}

CTokenFrequencyHeuristicEvaluator::CTokenFrequencyHeuristicEvaluator(float maxFrequency)
    : CLimitEvaluator(maxFrequency) {}

CTokenFrequencyHeuristicEvaluator *CTokenFrequencyHeuristicEvaluator::Create(
    const char *dataFilePath) {
    float maxFrequency =
        ReadFloatSetting(FREQUENCY_SECTION, FREQUENCY_KEY, DEFAULT_MAX_FREQUENCY, dataFilePath);
    return new (std::nothrow) CTokenFrequencyHeuristicEvaluator(maxFrequency);
}

float CTokenFrequencyHeuristicEvaluator::EvaluateOwn(const token_instances_t &token,
                                                     const token_entry_tag &,
                                                     const token_entry_tag &) const {
    return LimitRatio(token.total_count);
}

int CTokenFrequencyHeuristicEvaluator::SaveSettings(const char *dataFilePath) const {
    return WriteFloatSetting(FREQUENCY_SECTION, FREQUENCY_KEY, limit, dataFilePath);
}

CTokenInputFrequencyHeuristicEvaluator::CTokenInputFrequencyHeuristicEvaluator(float maxFrequency)
    : CLimitEvaluator(maxFrequency) {}

CTokenInputFrequencyHeuristicEvaluator *CTokenInputFrequencyHeuristicEvaluator::Create(
    const char *dataFilePath) {
    float maxFrequency = ReadFloatSetting(INPUT_FREQUENCY_SECTION, FREQUENCY_KEY,
                                          DEFAULT_MAX_DIRECTION_FREQUENCY, dataFilePath);
    return new (std::nothrow) CTokenInputFrequencyHeuristicEvaluator(maxFrequency);
}

float CTokenInputFrequencyHeuristicEvaluator::EvaluateOwn(const token_instances_t &token,
                                                          const token_entry_tag &,
                                                          const token_entry_tag &) const {
    return LimitRatio(token.input_count);
}

int CTokenInputFrequencyHeuristicEvaluator::SaveSettings(const char *dataFilePath) const {
    return WriteFloatSetting(INPUT_FREQUENCY_SECTION, FREQUENCY_KEY, limit, dataFilePath);
}

CTokenOutputFrequencyHeuristicEvaluator::CTokenOutputFrequencyHeuristicEvaluator(float maxFrequency)
    : CLimitEvaluator(maxFrequency) {}

CTokenOutputFrequencyHeuristicEvaluator *CTokenOutputFrequencyHeuristicEvaluator::Create(
    const char *dataFilePath) {
    float maxFrequency = ReadFloatSetting(OUTPUT_FREQUENCY_SECTION, FREQUENCY_KEY,
                                          DEFAULT_MAX_DIRECTION_FREQUENCY, dataFilePath);
    return new (std::nothrow) CTokenOutputFrequencyHeuristicEvaluator(maxFrequency);
}

float CTokenOutputFrequencyHeuristicEvaluator::EvaluateOwn(const token_instances_t &token,
                                                           const token_entry_tag &,
                                                           const token_entry_tag &) const {
    return InverseLimitRatio(token.output_count);
}

int CTokenOutputFrequencyHeuristicEvaluator::SaveSettings(const char *dataFilePath) const {
    return WriteFloatSetting(OUTPUT_FREQUENCY_SECTION, FREQUENCY_KEY, limit, dataFilePath);
}
