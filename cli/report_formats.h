// The query reports in machine-readable and browsable forms: JSON, CSV and
// HTML, built from the pair records of one query. The text report is the
// library's own and is never rebuilt here.

#ifndef TOKENWEAVE_CLI_REPORT_FORMATS_H
#define TOKENWEAVE_CLI_REPORT_FORMATS_H

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "pair_records.h"

namespace tokenweave_cli {

using ordered_json = nlohmann::ordered_json;

// Version of the JSON reports' layout; raised when a field changes meaning
// or goes away (new fields keep it).
enum { REPORT_FORMAT_VERSION = 1 };

// What a report says about the query besides its pairs.
struct report_heading {
    std::string command;  // find, token, cursor or plan
    ordered_json query;   // the query's arguments
    std::string weights_file;
    ordered_json diagnostics;  // array
    bool found = false;        // false when the query found nothing
};

// Project texts are bytes in the script's encoding: valid UTF-8 stays as it
// is; otherwise each byte becomes the character of the same code (Latin-1),
// so that the output is always valid UTF-8.
std::string display_text(const std::string &bytes);

// A float as the shortest decimal that reads back as the same float.
std::string exact_float(float value);

// One JSON object per pair (heuristics and ambiguity included).
ordered_json pair_json(const pair_record &pair);

// Pairs of one input place, best first: the JSON and HTML reports show each
// group as one entry with "and N more".
std::vector<std::vector<const pair_record *>> group_by_input(const std::vector<pair_record> &pairs);

std::string json_report(const report_heading &heading, const std::vector<pair_record> &pairs);
std::string csv_report(const std::vector<pair_record> &pairs);
std::string html_report(const report_heading &heading, const std::vector<pair_record> &pairs,
                        project_sources &sources);

}  // namespace tokenweave_cli

#endif  // TOKENWEAVE_CLI_REPORT_FORMATS_H
