// Report lines written through one report_lines: the input's part kept
// between lines, lines gathered into blocks, and every byte in order.

#include "index/candidate_report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct LinesCase {
    const char *label;
    // Pairs as (input, output) indexes into the occurrences below.
    std::vector<std::pair<int, int>> pairs;
};

// Failure messages name the case instead of dumping its pairs.
void PrintTo(const LinesCase &c, std::ostream *out) {
    *out << c.label;
}

// Runs of one input, as a query writes them, long enough together to fill
// several blocks.
std::vector<std::pair<int, int>> long_runs() {
    std::vector<std::pair<int, int>> pairs;
    for (int i = 0; i < 3000; ++i) {
        pairs.push_back({(i / 700) % 2, i % 3});
    }
    return pairs;
}

class ReportLines : public testing::TestWithParam<LinesCase> {
protected:
    void SetUp() override {
        report = tmpfile();
        ASSERT_NE(report, nullptr);
    }
    void TearDown() override { fclose(report); }

    std::string written() {
        fflush(report);
        rewind(report);
        std::string text;
        char chunk[4096];
        size_t got;
        while ((got = fread(chunk, 1, sizeof chunk, report)) > 0) {
            text.append(chunk, got);
        }
        return text;
    }

    // The line each pair must give, spelled out.
    static std::string expected_line(const token_entry_tag &input, const token_entry_tag &output,
                                     const char *input_base, const char *output_base) {
        int column = output.cell != nullptr ? output.cell->column : 0;
        int row = output.cell != nullptr ? output.cell->row : 0;
        return std::string(input_base) + "(" + std::to_string(input.line) + "): value \"" +
               input.value + "\" was returned at " + output_base + "(" +
               std::to_string(output.line) + "), grid column " + std::to_string(column) + ", row " +
               std::to_string(row) + "\n";
    }

    FILE *report = nullptr;
    grid_cell_t cells[2] = {{1, 5, 2, 10}, {3, 12345, 678, 10}};
    // A '%' in a value is written as it is.
    token_entry_tag inputs[2] = {
        {"x", 0, 3, "scripts/a.c", nullptr, nullptr, nullptr, 0, 0, 0, -1, 0, 0},
        {"100%1 %%", 0, 2147483647, "b.c", nullptr, nullptr, nullptr, 0, 0, 0, -1, 0, 0}};
    token_entry_tag outputs[3] = {
        {"x", 1, 7, "scripts/c.c", &cells[0], nullptr, nullptr, 0, 0, 0, 10, 0, 0},
        {"y", 1, -4, "d.c", nullptr, nullptr, nullptr, 0, 0, 0, -1, 0, 0},
        {"z", 1, 0, "deep/er/e.c", &cells[1], nullptr, nullptr, 0, 0, 0, 10, 0, 0}};
    const char *input_bases[2] = {"a.c", "b.c"};
    const char *output_bases[3] = {"c.c", "d.c", "e.c"};
};

// A header before and a trailer after the lines stay where they were written:
// the lines' last block goes out when report_lines goes, before the trailer.
TEST_P(ReportLines, WritesEveryLineInOrderBetweenWhatSurroundsThem) {
    const LinesCase &c = GetParam();
    std::string expected = "header\n";
    fputs("header\n", report);
    {
        report_lines lines;
        for (const auto &pair : c.pairs) {
            candidate_pair_t written_pair = {&inputs[pair.first], &outputs[pair.second], 0.5f};
            report_pair_line(&lines, nullptr, &written_pair, report);
            expected += expected_line(inputs[pair.first], outputs[pair.second],
                                      input_bases[pair.first], output_bases[pair.second]);
        }
    }
    fputs("trailer", report);
    expected += "trailer";
    EXPECT_EQ(written(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, ReportLines,
    testing::Values(LinesCase{"none", {}}, LinesCase{"oneInput", {{0, 0}, {0, 1}, {0, 2}, {0, 0}}},
                    LinesCase{"inputsAlternate", {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {1, 2}, {0, 2}}},
                    LinesCase{"runsOverSeveralBlocks", long_runs()}),
    [](const testing::TestParamInfo<LinesCase> &info) { return std::string(info.param.label); });

// report_pair writes its one line before it returns.
TEST_F(ReportLines, ReportPairWritesItsLineAtOnce) {
    candidate_pair_t pair = {&inputs[1], &outputs[2], 0.5f};
    report_pair(nullptr, &pair, report);
    EXPECT_EQ(written(), expected_line(inputs[1], outputs[2], input_bases[1], output_bases[2]));
}

}  // namespace
