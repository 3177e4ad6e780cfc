// The pairs of a query as records: everything the JSON, CSV, HTML and plan
// reports show of a pair, taken while the query writes its text report, so
// that every format lists exactly the pairs and grades the text lists.

#ifndef TOKENWEAVE_CLI_PAIR_RECORDS_H
#define TOKENWEAVE_CLI_PAIR_RECORDS_H

#include <string>
#include <vector>

#include "index/index_inspection.h"
#include "project_sources.h"
#include "tokenweave/ccorrelationanalyser.h"

struct candidate_pair_t;

namespace tokenweave_cli {

struct input_site {
    std::string file;  // relative to the project's directory when inside it
    std::string path;  // as the index holds it
    int file_order = 0;
    int line = 0;
    std::string call;    // empty for a place where the script sends nothing
    std::string handle;  // first argument of the call, as the script writes it
};

struct output_site {
    std::string file;
    std::string path;
    int line = 0;
    int grid = 0;
    int row = 0;
    int column = 0;  // among the row's cells that hold data, from 1
    std::string column_name;
    grid_row_view row_view;
};

struct pair_ambiguity {
    // Distinct earlier grid cells that returned the value and that the
    // query grades for this input.
    int sources = 0;
    // True when the reported source is the only one with the best grade.
    bool unique_best = true;
    // Every source with the best grade, when it is not unique.
    std::vector<output_site> best_sources;
};

struct pair_record {
    int rank = 0;  // from 1, the order of the text report
    float grade = 0.0f;
    std::string value;
    input_site input;
    output_site output;
    grade_breakdown_t breakdown;
    pair_ambiguity ambiguity;
};

// Collects the pairs of the queries run while it lives.
class pair_collector {
public:
    pair_collector(CCorrelationAnalyser &analyser, const std::string &project,
                   const std::string &grid_settings);
    ~pair_collector();
    pair_collector(const pair_collector &) = delete;
    pair_collector &operator=(const pair_collector &) = delete;

    const std::vector<pair_record> &pairs() const { return pairs_; }
    project_sources &sources() { return sources_; }

    // The record of one pair of the index, as a report would show it.
    pair_record describe(const token_entry_tag *input, const token_entry_tag *output, float grade);

private:
    static void observe(void *context, const candidate_pair_t *pair);
    // path without the project's directory when it lies inside it.
    std::string relative_to_project(const std::string &path) const;
    output_site describe_output(const token_entry_tag &output);
    pair_ambiguity ambiguity_of(const token_instances_t *instances, const token_entry_tag *input,
                                const token_entry_tag *reported);

    CCorrelationAnalyser &analyser_;
    std::string project_directory_;
    project_sources sources_;
    std::vector<pair_record> pairs_;
};

}  // namespace tokenweave_cli

#endif  // TOKENWEAVE_CLI_PAIR_RECORDS_H
