// A candidate pair as the index would hand it to the evaluators: a token
// record, an output occurrence (a grid cell) and an input occurrence, with
// every field set. The defaults describe a promising candidate; tests change
// the fields they are about.

#ifndef TOKENWEAVE_TESTS_HEURISTICS_PAIR_RECORDS_H
#define TOKENWEAVE_TESTS_HEURISTICS_PAIR_RECORDS_H

#include <string.h>

#include <string>

#include "tokenweave/ccorrelationanalyser.h"

namespace tw_test {

struct PairRecords {
    token_instances_t token;
    grid_cell_t cell;
    token_entry_tag output;
    token_entry_tag input;

    PairRecords() {
        strcpy(value, "104711");
        strcpy(actionFile, "D:\\project\\Action1.c");
        strcpy(otherActionFile, "D:\\project\\Action2.c");

        memset(&token, 0, sizeof token);
        token.value = value;
        token.length = static_cast<int>(strlen(value));
        token.value_class = 0;
        token.total_count = 2;
        token.literal_count = 1;
        token.grid_count = 1;
        token.input_count = 1;
        token.output_count = 1;

        cell = grid_cell_t{1, 1, 1, 10};

        memset(&output, 0, sizeof output);
        output.value = value;
        output.direction = 1;
        output.line = 40;
        output.file = actionFile;
        output.cell = &cell;
        output.call_code = 5;
        output.recorded_code = 5;
        output.source_marker = 10;
        output.grid_repeat = 1;

        memset(&input, 0, sizeof input);
        input.value = value;
        input.direction = 0;
        input.line = 44;
        input.file = actionFile;
        input.call_code = 3;
        input.recorded_code = 3;
        input.source_marker = -1;
    }
    // The occurrences point into this object.
    PairRecords(const PairRecords &) = delete;
    PairRecords &operator=(const PairRecords &) = delete;

    // Sets the value text (at most 63 bytes) and its length.
    void SetValue(const char *text) {
        strncpy(value, text, sizeof value - 1);
        value[sizeof value - 1] = '\0';
        token.length = static_cast<int>(strlen(value));
    }

    char value[64];
    char actionFile[64];
    char otherActionFile[64];
};

// Bit pattern of a float, to compare results exactly (EXPECT_EQ on floats
// would let 0.0 and -0.0 pass as equal).
inline unsigned FloatBits(float value) {
    unsigned bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

}  // namespace tw_test

#endif  // TOKENWEAVE_TESTS_HEURISTICS_PAIR_RECORDS_H
