// Grades are single-precision sums rounded at every step; a pair must grade
// the same bit for bit on every run and in every build. CI runs this test in
// the optimised build and again in the sanitizer build (no optimisation), so
// the two builds are held to the same bits.

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "containers/list.h"
#include "hashkit/hashkit.h"
#include "index/analyser_access.h"
#include "index/correlation_index.h"
#include "platlib/platlib.h"
#include "test_support.h"

namespace {

// Every input and every heuristic counts, with weights and limits chosen so
// that the sums need rounding.
const char WEIGHTS[] =
    "[TokenEvaluatorInputs]\nWeight0=0.3\nWeight1=0.7\nWeight2=0.11\nWeight3=0.13\n"
    "Weight4=0.37\nWeight5=0.41\nWeight6=0.53\nWeight7=0.29\nWeight8=0.17\n"
    "[TokenType]\nNumberWeight=3\nStringWeight=7\nDbIdWeight=5\nOtherWeight=1\n"
    "[TokenLength]\nMaxLength=30\nPeakValue=7\n"
    "[TokenFrequency]\nMaxFrequency=7\n"
    "[StatementType]\nNumberOfStatements=2\nType0=sqx_assign_bind\nWeight0=3\n"
    "Type1=sqx_stmt\nWeight1=1\n"
    "[InputOutput]\nin=0.6\nout=0.9\n"
    "[TokenInputFrequency]\nMaxFrequency=3\n[TokenOutputFrequency]\nMaxFrequency=3\n"
    "[PairLineDistance]\nMaxDistance=9\n[TokenGridFrequency]\nMaxFrequency=3\n"
    "[TokenGridRow]\nMaxRow=3\n";

// Value, input place, output place and cell, and the grade's bits, of every
// (output, input) pair of the bundled example project after AnalyseIndex.
const char *const EXPECTED_GRADES[] = {
    "10473 Action1.c:13 Action1.c:9 r1c1 3f160527",      // 0.586016
    "10473 Action2.c:18 Action1.c:9 r1c1 3ef9f492",      // 0.488194
    "12.50 Action3.c:17 Action3.c:9 r1c3 3ef783bc",      // 0.483427
    "3301 Action3.c:15 Action3.c:9 r1c1 3efa89e0",       // 0.489333
    "3307 Action3.c:22 Action3.c:9 r2c1 3ed2d942",       // 0.411814
    "4 Action2.c:7 Action2.c:9 r1c4 3eb4e042",           // 0.353273
    "4 Action2.c:7 Action2.c:9 r2c4 3eab3cae",           // 0.334447
    "4.75 Action3.c:24 Action3.c:9 r2c3 3ed2d942",       // 0.411814
    "58821 Action2.c:12 Action2.c:9 r1c1 3f0510c6",      // 0.519787
    "900417 Action2.c:19 Action2.c:14 r1c1 3f215334",    // 0.630176
    "900417 Action3.c:13 Action2.c:14 r1c1 3f0d4a83",    // 0.551918
    "900417 Action3.c:20 Action2.c:14 r1c1 3f0d4a83",    // 0.551918
    "900417 Action3.c:28 Action2.c:14 r1c1 3efb1d1a",    // 0.490456
    "AX-100 Action3.c:7 Action3.c:9 r1c2 3f18f52e",      // 0.597491
    "BX-220 Action3.c:7 Action3.c:9 r2c2 3f142364",      // 0.578665
    "OPEN Action2.c:12 Action2.c:14 r1c2 3f07f2a1",      // 0.531046
    "TK-8F3A21 Action1.c:14 Action1.c:9 r1c2 3f233930",  // 0.637591
    "TK-8F3A21 Action3.c:28 Action1.c:9 r1c2 3efee912",  // 0.497872
    "Y Action1.c:7 Action1.c:9 r1c4 3ec7498a",           // 0.389233
    "Y Action1.c:7 Action3.c:9 r1c4 3e61736f",           // 0.220167
    "Y Action1.c:7 Action3.c:9 r2c4 3e4e2c46",           // 0.201341
};

std::string describe(const token_instances_t &token, const token_entry_tag &output,
                     const token_entry_tag &input, float grade) {
    unsigned bits;
    memcpy(&bits, &grade, sizeof bits);
    char text[256];
    snprintf(text, sizeof text, "%s %s:%d %s:%d r%dc%d %08x", token.value, os_base_name(input.file),
             input.line, os_base_name(output.file), output.line, output.cell->row,
             output.cell->column, bits);
    return text;
}

TEST(GradeStability, ExamplePairsGradeToTheSameBits) {
    tw_test::TempDir dir;
    std::string weights = dir.write("weights.dat", WEIGHTS);
    CCorrelationAnalyser analyser(TOKENWEAVE_SOURCE_DIR "/examples/orders/orders.prj", "", nullptr,
                                  nullptr);
    analyser.SetDataFilePath(weights.c_str());
    ASSERT_EQ(analyser.BuildIndex(), 0);
    analyser.AnalyseIndex();

    std::vector<std::string> grades;
    ht_enumeration *values = ht_enumerate_elements(analyser_index(&analyser)->token_table);
    while (ht_enum_has_more_elements(values)) {
        auto *token = static_cast<token_instances_t *>(ht_enum_next_element(values));
        for (list_node *o = list_head(token->occurrences); o != nullptr; o = o->next) {
            auto *output = static_cast<token_entry_tag *>(o->data);
            if (output->direction != 1) {
                continue;
            }
            for (list_node *i = list_head(token->occurrences); i != nullptr; i = i->next) {
                auto *input = static_cast<token_entry_tag *>(i->data);
                if (input->direction == 0) {
                    float grade = analyser.EvaluateToken(token, output, input);
                    grades.push_back(describe(*token, *output, *input, grade));
                }
            }
        }
    }
    std::sort(grades.begin(), grades.end());
    EXPECT_EQ(grades,
              std::vector<std::string>(std::begin(EXPECTED_GRADES), std::end(EXPECTED_GRADES)));
}

}  // namespace
