// Builds, analyses and searches a project whose action file, result-data file
// and recordset come from the input (see fuzz::write_project), in the oracle
// and the odbc family. Any crash, leak or sanitizer report is a finding; so is
// a search that fails to write its report.

#include <stdio.h>

#include <memory>
#include <string>

#include "fuzz_support.h"
#include "tokenweave/ccorrelationanalyser.h"

namespace {

const size_t INPUT_CAP = 16 * 1024;
const int MAX_RESULTS = 100;
const int QUERY_NOTHING_FOUND = -7;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::silence_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > INPUT_CAP) {
        return 0;
    }
    std::unique_ptr<CCorrelationAnalyser> project =
        fuzz::analysed_project(fuzz::write_project(data, size));
    CCorrelationAnalyser &analyser = *project;
    std::string report = fuzz::scratch_file("report.txt");
    int code = analyser.FindCorrelations(report.c_str(), 0.0f, MAX_RESULTS);
    if ((code != 0 && code != QUERY_NOTHING_FOUND) || !fuzz::file_exists(report)) {
        fuzz::property_failed("FindCorrelations did not write its report", std::to_string(code));
    }
    return 0;
}
