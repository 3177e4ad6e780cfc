// The correlation search gathers its offers in one pass per value; the
// literal walk along every input's chain is the reference. On a project
// written from the input (see fuzz::write_project) both must write the same
// report, byte for byte, whichever ran first on the index.

#include <stdio.h>

#include <memory>
#include <string>

#include "fuzz_support.h"
#include "index/correlation_search.h"
#include "tokenweave/ccorrelationanalyser.h"

namespace {

const size_t INPUT_CAP = 8 * 1024;
const int MAX_RESULTS = 400;
const int QUERY_NOTHING_FOUND = -7;

std::string search_report(CCorrelationAnalyser &analyser, float min_grade, bool by_walks) {
    std::string path = fuzz::scratch_file("report.txt");
    correlation_search_gather_by_walks(by_walks);
    int code = analyser.FindCorrelations(path.c_str(), min_grade, MAX_RESULTS);
    correlation_search_gather_by_walks(false);
    if (code != 0 && code != QUERY_NOTHING_FOUND) {
        fuzz::property_failed("FindCorrelations failed", std::to_string(code));
    }
    return fuzz::read_file(path);
}

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
    for (float min_grade : {0.0f, 0.3f}) {
        std::string walked = search_report(analyser, min_grade, true);
        std::string gathered = search_report(analyser, min_grade, false);
        if (gathered != walked) {
            fuzz::property_failed("one-pass search differs from the chain walks",
                                  "walks:\n" + walked + "\none pass:\n" + gathered);
        }
        if (search_report(analyser, min_grade, true) != walked) {
            fuzz::property_failed("chain walks changed after a one-pass search", walked);
        }
    }
    return 0;
}
