#include "heuristics/climitevaluator.h"

#include <limits.h>
#include <string.h>

#include "heuristics/float_setting.h"
#include "model/occurrence_codes.h"

namespace {

// |a - b| without overflowing for lines of any sign, capped at INT_MAX
// (which is beyond every limit anyway).
int line_distance(int a, int b) {
    long long distance = static_cast<long long>(a) - static_cast<long long>(b);
    if (distance < 0) {
        distance = -distance;
    }
    return distance > INT_MAX ? INT_MAX : static_cast<int>(distance);
}

// Stores the pair's count in *n; false when the pair has none, which grades 0.
bool pair_count(limit_count count, const token_instances_t &token, const token_entry_tag &output,
                const token_entry_tag &input, int *n) {
    switch (count) {
        case COUNT_CAPITALS:
            *n = token.capital_count;
            return true;
        case COUNT_TOTAL:
            *n = token.total_count;
            return true;
        case COUNT_INPUTS:
            *n = token.input_count;
            return true;
        case COUNT_OUTPUTS:
            *n = token.output_count;
            return true;
        case COUNT_LINE_DISTANCE:
            // Occurrences of one file usually share its path text, so the
            // address settles most pairs without reading the paths.
            if (output.file == nullptr || input.file == nullptr ||
                (output.file != input.file && strcmp(output.file, input.file) != 0)) {
                return false;
            }
            *n = line_distance(output.line, input.line);
            return true;
        case COUNT_GRID_REPEAT:
            *n = output.grid_repeat;
            return true;
        case COUNT_GRID_ROW:
            // Every output occurrence has a cell; the null test only keeps a
            // malformed record from crashing the grading.
            if (output.direction == DIRECTION_INPUT || output.cell == nullptr) {
                return false;
            }
            *n = output.cell->row;
            return true;
    }
    return false;
}

}  // namespace

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

float CLimitEvaluator::ReadLimit(const limit_descriptor &descriptor, const char *dataFilePath) {
    return ReadFloatSetting(descriptor.section, descriptor.key, descriptor.default_limit,
                            dataFilePath);
}

float CLimitEvaluator::DescribedGrade(const limit_descriptor &descriptor,
                                      const token_instances_t &token, const token_entry_tag &output,
                                      const token_entry_tag &input) const {
    int n;
    if (!pair_count(descriptor.count, token, output, input, &n)) {
        return 0.0f;
    }
    return descriptor.inverse ? InverseLimitRatio(n) : LimitRatio(n);
}

int CLimitEvaluator::SaveLimit(const limit_descriptor &descriptor, const char *dataFilePath) const {
    return WriteFloatSetting(descriptor.section, descriptor.key, limit, dataFilePath);
}
