#include "heuristics/ctokentypeheuristicevaluator.h"

#include <new>

#include "heuristics/float_setting.h"
#include "model/occurrence_codes.h"

namespace {

const char SECTION[] = "TokenType";
const char NUMBER_WEIGHT_KEY[] = "NumberWeight";
const char STRING_WEIGHT_KEY[] = "StringWeight";
const char DB_ID_WEIGHT_KEY[] = "DbIdWeight";
const char OTHER_WEIGHT_KEY[] = "OtherWeight";

const float DEFAULT_NUMBER_WEIGHT = 5.0f;
const float DEFAULT_STRING_WEIGHT = 3.0f;
const float DEFAULT_DB_ID_WEIGHT = 7.0f;
const float DEFAULT_OTHER_WEIGHT = 1.0f;

}  // namespace

CTokenTypeHeuristicEvaluator::CTokenTypeHeuristicEvaluator(float numberWeight, float stringWeight,
                                                           float dbIdWeight, float otherWeight)
    : numberWeight(numberWeight),
      stringWeight(stringWeight),
      dbIdWeight(dbIdWeight),
      otherWeight(otherWeight) {
    float sum = numberWeight + stringWeight;
    sum = sum + dbIdWeight;
    sum = sum + otherWeight;
    weightSum = sum;
}

CTokenTypeHeuristicEvaluator *CTokenTypeHeuristicEvaluator::Create(const char *dataFilePath) {
    float number =
        ReadFloatSetting(SECTION, NUMBER_WEIGHT_KEY, DEFAULT_NUMBER_WEIGHT, dataFilePath);
    float string =
        ReadFloatSetting(SECTION, STRING_WEIGHT_KEY, DEFAULT_STRING_WEIGHT, dataFilePath);
    float dbId = ReadFloatSetting(SECTION, DB_ID_WEIGHT_KEY, DEFAULT_DB_ID_WEIGHT, dataFilePath);
    float other = ReadFloatSetting(SECTION, OTHER_WEIGHT_KEY, DEFAULT_OTHER_WEIGHT, dataFilePath);
    return new (std::nothrow) CTokenTypeHeuristicEvaluator(number, string, dbId, other);
}

float CTokenTypeHeuristicEvaluator::EvaluateOwn(const token_instances_t &token,
                                                const token_entry_tag &,
                                                const token_entry_tag &) const {
    if (weightSum == 0.0f) {
        return 0.0f;
    }
    float weight;
    switch (token.value_class) {
        case VALUE_CLASS_NUMBER:
            weight = numberWeight;
            break;
        case VALUE_CLASS_TEXT:
            weight = stringWeight;
            break;
        case VALUE_CLASS_DB_ID:
            weight = dbIdWeight;
            break;
        default:
            weight = otherWeight;
            break;
    }
    float share = weight / weightSum;
    return share;
}

int CTokenTypeHeuristicEvaluator::SaveSettings(const char *dataFilePath) const {
    if (WriteFloatSetting(SECTION, NUMBER_WEIGHT_KEY, numberWeight, dataFilePath) != 0 ||
        WriteFloatSetting(SECTION, STRING_WEIGHT_KEY, stringWeight, dataFilePath) != 0 ||
        WriteFloatSetting(SECTION, DB_ID_WEIGHT_KEY, dbIdWeight, dataFilePath) != 0 ||
        WriteFloatSetting(SECTION, OTHER_WEIGHT_KEY, otherWeight, dataFilePath) != 0) {
        return -1;
    }
    return 0;
}
