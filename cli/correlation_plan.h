// The correlation plan: the pairs of a search grouped by where the value
// comes from. Each source (a grid column read at a script line) becomes one
// rule with a parameter name and every sent value that should use it; a
// value whose best grade several sources share is listed apart, with them.

#ifndef TOKENWEAVE_CLI_CORRELATION_PLAN_H
#define TOKENWEAVE_CLI_CORRELATION_PLAN_H

#include <string>
#include <vector>

#include "pair_records.h"
#include "report_formats.h"

namespace tokenweave_cli {

struct plan_rule {
    std::string parameter;  // identifier-safe, unique in the plan
    output_site source;     // row is that of the first use
    std::vector<int> rows;  // every row the uses read, ascending
    // The pairs that use it, in script order.
    std::vector<const pair_record *> uses;
};

struct correlation_plan {
    std::vector<plan_rule> rules;  // in script order of their source
    // Inputs whose best grade several sources share, in script order.
    std::vector<const pair_record *> ambiguous;
};

// Each sent value (input place) counts once, with its best pair; pairs must
// outlive the plan.
correlation_plan make_plan(const std::vector<pair_record> &pairs);

// An identifier made of a column name: letters, digits and underscores, not
// starting with a digit; a name with none of them gives fallback.
std::string parameter_name(const std::string &column_name, const std::string &fallback);

std::string plan_text(const std::string &project, const correlation_plan &plan);
std::string plan_json(const report_heading &heading, const correlation_plan &plan);

}  // namespace tokenweave_cli

#endif  // TOKENWEAVE_CLI_CORRELATION_PLAN_H
