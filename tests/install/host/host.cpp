// A host program built against an installed tokenweave, with nothing but the
// public header and the shared library: it indexes a project, runs a token
// query and the global search, saves the weights, and checks what came back.
//
// Usage: host PROJECT_FILE WORK_DIR
// The weights file comes from the package (HOST_DATA_FILE), because this
// program does not live beside the installed dat/ directory. Reports and the
// saved weights go to WORK_DIR. Exits 0 only when every check passed, and
// prints each failed check.

#include <tokenweave/ccorrelationanalyser.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#ifndef HOST_DATA_FILE
#error "HOST_DATA_FILE must name the installed weights file"
#endif

namespace {

const char QUERY_VALUE[] = "900417";
const char QUERY_FILE[] = "Action3.c";
const int QUERY_LINE = 13;
const char EXPECTED_PAIR[] =
    "Action3.c(13): value \"900417\" was returned at Action2.c(14), grid column 1, row 1";
const float NO_MIN_GRADE = 0.0f;
const int MAX_RESULTS = 100;
const int WEIGHTS_WRITTEN = -2;

int failures = 0;

void check(bool ok, const std::string &what) {
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what.c_str());
        ++failures;
    }
}

int record_progress(void *user_data, float value) {
    static_cast<std::vector<float> *>(user_data)->push_back(value);
    return 0;
}

// Every reported fraction lies in (0, 1]; says which one did not.
void check_progress(const std::vector<float> &values, size_t from, const std::string &phase) {
    check(values.size() > from, phase + " reported no progress");
    for (size_t i = from; i < values.size(); ++i) {
        check(values[i] > 0.0f && values[i] <= 1.0f,
              phase + " reported progress " + std::to_string(values[i]) + ", outside (0, 1]");
    }
}

bool file_has_line(const std::string &path, const std::string &wanted) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line == wanted) {
            return true;
        }
    }
    return false;
}

std::string directory_of(const std::string &path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PROJECT_FILE WORK_DIR\n", argv[0]);
        return 2;
    }
    const std::string project = argv[1];
    const std::string work_dir = argv[2];
    const std::string settings = work_dir + "/settings.ini";  // absent: default learning rate
    const std::string query_report = work_dir + "/query.txt";
    const std::string search_report = work_dir + "/search.txt";
    const std::string saved_weights = work_dir + "/learned.dat";

    std::vector<float> progress;
    CCorrelationAnalyser analyser(project.c_str(), settings.c_str(), record_progress, &progress);
    analyser.SetDataFilePath(HOST_DATA_FILE);

    int built = -1;
    try {
        built = analyser.BuildIndex();
    } catch (const CCorrelationAnalyser::CorrelationScanException &) {
        check(false, "BuildIndex threw CorrelationScanException");
        return 1;
    }
    check(built == 0, "BuildIndex returned " + std::to_string(built));
    check_progress(progress, 0, "BuildIndex");
    analyser.AnalyseIndex();

    size_t before = progress.size();
    const std::string query_file = directory_of(project) + "/" + QUERY_FILE;
    int queried = analyser.InputTokenQuery(QUERY_VALUE, query_file.c_str(), QUERY_LINE,
                                           query_report.c_str(), NO_MIN_GRADE);
    check(queried == 0, "InputTokenQuery returned " + std::to_string(queried));
    check(file_has_line(query_report, EXPECTED_PAIR),
          "the InputTokenQuery report lacks: " + std::string(EXPECTED_PAIR));
    check_progress(progress, before, "InputTokenQuery");
    check(!progress.empty() && progress.back() == 1.0f, "InputTokenQuery did not report 1.0 last");

    before = progress.size();
    int found = analyser.FindCorrelations(search_report.c_str(), NO_MIN_GRADE, MAX_RESULTS);
    check(found == 0, "FindCorrelations returned " + std::to_string(found));
    check(file_has_line(search_report, EXPECTED_PAIR),
          "the FindCorrelations report lacks: " + std::string(EXPECTED_PAIR));
    check_progress(progress, before, "FindCorrelations");

    int exported = analyser.ExportDatFile(saved_weights.c_str());
    check(exported == WEIGHTS_WRITTEN, "ExportDatFile returned " + std::to_string(exported));
    check(std::ifstream(saved_weights).peek() != std::ifstream::traits_type::eof(),
          "ExportDatFile left " + saved_weights + " missing or empty");

    if (failures != 0) {
        std::fprintf(stderr, "%d check(s) failed\n", failures);
        return 1;
    }
    std::printf("host: all checks passed\n");
    return 0;
}
