#include "heuristics/ctokenlengthheuristicevaluator.h"

#include <new>

#include "heuristics/float_setting.h"

namespace {

const char SECTION[] = "TokenLength";
const char MAX_LENGTH_KEY[] = "MaxLength";
const char PEAK_VALUE_KEY[] = "PeakValue";

const float DEFAULT_MAX_LENGTH = 20.0f;
const float DEFAULT_PEAK_VALUE = 10.0f;

}  // namespace

CTokenLengthHeuristicEvaluator::CTokenLengthHeuristicEvaluator(float maxLength, float peakLength)
    : CLimitEvaluator(maxLength, peakLength) {}

CTokenLengthHeuristicEvaluator *CTokenLengthHeuristicEvaluator::Create(const char *dataFilePath) {
    float maxLength = ReadFloatSetting(SECTION, MAX_LENGTH_KEY, DEFAULT_MAX_LENGTH, dataFilePath);
    float peakLength = ReadFloatSetting(SECTION, PEAK_VALUE_KEY, DEFAULT_PEAK_VALUE, dataFilePath);
    return new (std::nothrow) CTokenLengthHeuristicEvaluator(maxLength, peakLength);
}

float CTokenLengthHeuristicEvaluator::EvaluateOwn(const token_instances_t &token,
                                                  const token_entry_tag &,
                                                  const token_entry_tag &) const {
    return PeakRatio(token.length);
}

float CTokenLengthHeuristicEvaluator::PeakRatio(int n) const {
    if (n <= 0) {
        return 0.0f;
    }
    float length = static_cast<float>(n);
    if (length > limit) {
        return 0.0f;
    }
    if (length <= peak) {
        float rising = length / peak;
        return rising;
    }
    float beyondPeak = length - peak;
    float peakToLimit = limit - peak;
    float fraction = beyondPeak / peakToLimit;
    float falling = 1.0f - fraction;
    return falling;
}

int CTokenLengthHeuristicEvaluator::SaveSettings(const char *dataFilePath) const {
    if (WriteFloatSetting(SECTION, MAX_LENGTH_KEY, limit, dataFilePath) != 0 ||
        WriteFloatSetting(SECTION, PEAK_VALUE_KEY, peak, dataFilePath) != 0) {
        return -1;
    }
    return 0;
}
