#include "heuristics/pair_position_heuristics.h"

#include <limits.h>
#include <string.h>

#include <new>

#include "heuristics/float_setting.h"
#include "model/occurrence_codes.h"

namespace {

const char LINE_DISTANCE_SECTION[] = "PairLineDistance";
const char LINE_DISTANCE_KEY[] = "MaxDistance";
const float DEFAULT_MAX_DISTANCE = 250.0f;

const char GRID_FREQUENCY_SECTION[] = "TokenGridFrequency";
const char GRID_FREQUENCY_KEY[] = "MaxFrequency";
const float DEFAULT_MAX_GRID_FREQUENCY = 20.0f;

const char GRID_ROW_SECTION[] = "TokenGridRow";
const char GRID_ROW_KEY[] = "MaxRow";
const float DEFAULT_MAX_ROW = 20.0f;

// |a - b| without overflowing for lines of any sign, capped at INT_MAX
// (which is beyond every limit anyway).
int line_distance(int a, int b) {
    long long distance = static_cast<long long>(a) - static_cast<long long>(b);
    if (distance < 0) {
        distance = -distance;
    }
    return distance > INT_MAX ? INT_MAX : static_cast<int>(distance);
}

}  // namespace

CPairLineDistanceHeuristicEvaluator::CPairLineDistanceHeuristicEvaluator(float maxDistance)
    : CLimitEvaluator(maxDistance) {}

CPairLineDistanceHeuristicEvaluator *CPairLineDistanceHeuristicEvaluator::Create(
    const char *dataFilePath) {
    float maxDistance = ReadFloatSetting(LINE_DISTANCE_SECTION, LINE_DISTANCE_KEY,
                                         DEFAULT_MAX_DISTANCE, dataFilePath);
    return new (std::nothrow) CPairLineDistanceHeuristicEvaluator(maxDistance);
}

float CPairLineDistanceHeuristicEvaluator::EvaluateOwn(const token_instances_t &,
                                                       const token_entry_tag &output,
                                                       const token_entry_tag &input) const {
    if (output.file == nullptr || input.file == nullptr || strcmp(output.file, input.file) != 0) {
        return 0.0f;
    }
    return InverseLimitRatio(line_distance(output.line, input.line));
}

int CPairLineDistanceHeuristicEvaluator::SaveSettings(const char *dataFilePath) const {
    return WriteFloatSetting(LINE_DISTANCE_SECTION, LINE_DISTANCE_KEY, limit, dataFilePath);
}

CTokenGridFrequencyHeuristicEvaluator::CTokenGridFrequencyHeuristicEvaluator(float maxFrequency)
    : CLimitEvaluator(maxFrequency) {}

CTokenGridFrequencyHeuristicEvaluator *CTokenGridFrequencyHeuristicEvaluator::Create(
    const char *dataFilePath) {
    float maxFrequency = ReadFloatSetting(GRID_FREQUENCY_SECTION, GRID_FREQUENCY_KEY,
                                          DEFAULT_MAX_GRID_FREQUENCY, dataFilePath);
    return new (std::nothrow) CTokenGridFrequencyHeuristicEvaluator(maxFrequency);
}

float CTokenGridFrequencyHeuristicEvaluator::EvaluateOwn(const token_instances_t &,
                                                         const token_entry_tag &output,
                                                         const token_entry_tag &) const {
    return InverseLimitRatio(output.grid_repeat);
}

int CTokenGridFrequencyHeuristicEvaluator::SaveSettings(const char *dataFilePath) const {
    return WriteFloatSetting(GRID_FREQUENCY_SECTION, GRID_FREQUENCY_KEY, limit, dataFilePath);
}

CTokenGridRowHeuristicEvaluator::CTokenGridRowHeuristicEvaluator(float maxRow)
    : CLimitEvaluator(maxRow) {}

CTokenGridRowHeuristicEvaluator *CTokenGridRowHeuristicEvaluator::Create(const char *dataFilePath) {
    float maxRow = ReadFloatSetting(GRID_ROW_SECTION, GRID_ROW_KEY, DEFAULT_MAX_ROW, dataFilePath);
    return new (std::nothrow) CTokenGridRowHeuristicEvaluator(maxRow);
}

float CTokenGridRowHeuristicEvaluator::EvaluateOwn(const token_instances_t &,
                                                   const token_entry_tag &output,
                                                   const token_entry_tag &) const {
    // Every output occurrence has a cell; the null test only keeps a
    // malformed record from crashing the grading.
    if (output.direction == DIRECTION_INPUT || output.cell == nullptr) {
        return 0.0f;
    }
    return InverseLimitRatio(output.cell->row);
}

int CTokenGridRowHeuristicEvaluator::SaveSettings(const char *dataFilePath) const {
    return WriteFloatSetting(GRID_ROW_SECTION, GRID_ROW_KEY, limit, dataFilePath);
}
