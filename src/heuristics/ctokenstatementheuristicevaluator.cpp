#include "heuristics/ctokenstatementheuristicevaluator.h"

#include <stdio.h>

#include <memory>
#include <new>
#include <vector>

#include "heuristics/float_setting.h"
#include "model/keyword_table.h"
#include "port/winapi.h"

namespace {

const char SECTION[] = "StatementType";
const char COUNT_KEY[] = "NumberOfStatements";
const char TYPE_KEY_FORMAT[] = "Type%d";
const char WEIGHT_KEY_FORMAT[] = "Weight%d";
const float DEFAULT_COUNT = 0.0f;
const float DEFAULT_WEIGHT = 0.0f;
// A missing TypeN names no call.
const char DEFAULT_TYPE[] = "";
// Room for "Weight" and any int.
const int KEY_SIZE = 32;
const int NO_CALL_CODE = -1;

// The configured count cut toward zero. Checked before the conversion, which
// is undefined for a float beyond int range (and for a NaN).
int entry_count(float configured) {
    if (!(configured >= 1.0f)) {
        return 0;
    }
    if (configured >= static_cast<float>(CTokenStatementHeuristicEvaluator::MAX_STATEMENTS)) {
        return CTokenStatementHeuristicEvaluator::MAX_STATEMENTS;
    }
    return static_cast<int>(configured);
}

}  // namespace

CTokenStatementHeuristicEvaluator::CTokenStatementHeuristicEvaluator(int count,
                                                                     const float *weights,
                                                                     const int *codes)
    : statementWeights(nullptr), statementCodes(nullptr), statementCount(0) {
    if (count <= 0) {
        return;
    }
    std::unique_ptr<float[]> weightCopy(new float[count]);
    std::unique_ptr<int[]> codeCopy(new int[count]);
    float sum = 0.0f;
    for (int i = 0; i < count; ++i) {
        weightCopy[i] = weights[i];
        codeCopy[i] = codes[i];
        sum = sum + weights[i];
    }
    statementWeights = weightCopy.release();
    statementCodes = codeCopy.release();
    statementCount = count;
    weightSum = sum;
}

CTokenStatementHeuristicEvaluator::~CTokenStatementHeuristicEvaluator() {
    delete[] statementWeights;
    delete[] statementCodes;
}

CTokenStatementHeuristicEvaluator *CTokenStatementHeuristicEvaluator::Create(
    const char *dataFilePath) {
    int count = entry_count(ReadFloatSetting(SECTION, COUNT_KEY, DEFAULT_COUNT, dataFilePath));
    try {
        std::vector<int> codes(count);
        std::vector<float> weights(count);
        char key[KEY_SIZE];
        char callName[FLOAT_SETTING_BUFFER_SIZE];
        for (int i = 0; i < count; ++i) {
            snprintf(key, sizeof key, TYPE_KEY_FORMAT, i);
            GetPrivateProfileStringA(SECTION, key, DEFAULT_TYPE, callName, sizeof callName,
                                     dataFilePath);
            codes[i] = keyword_call_code(callName);
        }
        for (int i = 0; i < count; ++i) {
            snprintf(key, sizeof key, WEIGHT_KEY_FORMAT, i);
            weights[i] = ReadFloatSetting(SECTION, key, DEFAULT_WEIGHT, dataFilePath);
        }
        return new CTokenStatementHeuristicEvaluator(count, weights.data(), codes.data());
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

float CTokenStatementHeuristicEvaluator::EvaluateOwn(const token_instances_t &,
                                                     const token_entry_tag &,
                                                     const token_entry_tag &input) const {
    if (weightSum == 0.0f) {
        return 0.0f;
    }
    for (int i = 0; i < statementCount; ++i) {
        if (statementCodes[i] != NO_CALL_CODE && statementCodes[i] == input.call_code) {
            float share = statementWeights[i] / weightSum;
            return share;
        }
    }
    return 0.0f;
}

int CTokenStatementHeuristicEvaluator::SaveSettings(const char *dataFilePath) const {
    if (WriteFloatSetting(SECTION, COUNT_KEY, static_cast<float>(statementCount), dataFilePath) !=
        0) {
        return -1;
    }
    char key[KEY_SIZE];
    for (int i = 0; i < statementCount; ++i) {
        snprintf(key, sizeof key, WEIGHT_KEY_FORMAT, i);
        if (WriteFloatSetting(SECTION, key, statementWeights[i], dataFilePath) != 0) {
            return -1;
        }
    }
    for (int i = 0; i < statementCount; ++i) {
        snprintf(key, sizeof key, TYPE_KEY_FORMAT, i);
        const char *callName = keyword_call_name(statementCodes[i]);
        if (!WritePrivateProfileStringA(SECTION, key, callName != nullptr ? callName : DEFAULT_TYPE,
                                        dataFilePath)) {
            return -1;
        }
    }
    return 0;
}
