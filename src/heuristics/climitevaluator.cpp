#include "heuristics/climitevaluator.h"

CLimitEvaluator::CLimitEvaluator(float limit) : CLimitEvaluator(limit, NO_PEAK) {}

CLimitEvaluator::CLimitEvaluator(float limit, float peak) : limit(limit), peak(peak) {}

float CLimitEvaluator::LimitRatio(int n) const {
    if (limit == 0.0f) {
        return 1.0f;
    }
    float count = static_cast<float>(n);
    if (count >= limit) {
        return 1.0f;
    }
    float ratio = count / limit;
    return ratio;
}

float CLimitEvaluator::InverseLimitRatio(int n) const {
    float ratio = LimitRatio(n);
    float inverse = 1.0f - ratio;
    return inverse;
}
