// 1,000 lifetimes (250 under Wine) of an analyser on the example project in one process:
// construct, build, analyse, the three queries, feedback both ways, export,
// destroy. Every cycle must give the same answers, and the resident memory
// after the last cycle must stay within 1 MB of what it was after the 10th:
// anything a cycle leaks or lets grow shows up as a steady climb.

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#if defined(_WIN32)
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#else
#include <unistd.h>
#endif

#include <string>

#include "test_support.h"
#include "tokenweave/ccorrelationanalyser.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TOKENWEAVE_SOAK_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TOKENWEAVE_SOAK_SANITIZED 1
#endif

namespace {

#if defined(_WIN32)
// Under Wine a cycle takes about 170 ms, nearly all of it file handling in
// the Wine server; 250 cycles still show a steady climb against the 10th.
const int CYCLES = 250;
#else
const int CYCLES = 1000;
#endif
const int BASELINE_CYCLE = 10;
const long MAX_GROWTH_BYTES = 1024 * 1024;
const char EXAMPLE_DIR[] = TOKENWEAVE_SOURCE_DIR "/examples/orders";
const char SHARED_MEMORY_DIR[] = "/dev/shm";

#if defined(_WIN32)
long resident_bytes() {
    PROCESS_MEMORY_COUNTERS counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        return -1;
    }
    return static_cast<long>(counters.WorkingSetSize);
}
#else
long resident_bytes() {
    FILE *statm = fopen("/proc/self/statm", "r");
    if (statm == nullptr) {
        return -1;
    }
    long total_pages = 0;
    long resident_pages = -1;
    if (fscanf(statm, "%ld %ld", &total_pages, &resident_pages) != 2) {
        resident_pages = -1;
    }
    fclose(statm);
    return resident_pages < 0 ? -1 : resident_pages * sysconf(_SC_PAGESIZE);
}
#endif

int progress(void *, float) {
    return 0;
}

struct Answers {
    int build = 0;
    int token = 0;
    int cursor = 0;
    int search = 0;
    int increase = 0;
    int decrease = 0;
    int exported = 0;
    std::string report;
    bool operator==(const Answers &other) const {
        return build == other.build && token == other.token && cursor == other.cursor &&
               search == other.search && increase == other.increase && decrease == other.decrease &&
               exported == other.exported && report == other.report;
    }
};

Answers one_lifetime(const tw_test::TempDir &scratch) {
    static int user_data;
    const std::string project = std::string(EXAMPLE_DIR) + "/orders.prj";
    const std::string action1 = std::string(EXAMPLE_DIR) + "/Action1.c";
    const std::string settings = scratch.file("settings.ini");
    const std::string weights = scratch.file("crlt.dat");
    const std::string report = scratch.file("report.txt");
    Answers answers;
    CCorrelationAnalyser analyser(project.c_str(), settings.c_str(), progress, &user_data);
    analyser.SetDataFilePath(weights.c_str());
    answers.build = analyser.BuildIndex();
    analyser.AnalyseIndex();
    answers.token = analyser.InputTokenQuery("TK-8F3A21", action1.c_str(), 14, report.c_str(), 0);
    answers.cursor = analyser.CursorQuery(action1.c_str(), 16, report.c_str(), 0.0f);
    answers.search = analyser.FindCorrelations(report.c_str(), 0.0f, 20);
    answers.report = tw_test::read_file(report);
    answers.increase = analyser.IncreaseGrade("TK-8F3A21", action1.c_str(), 14, action1.c_str(), 9);
    answers.decrease = analyser.DecreaseGrade("TK-8F3A21", action1.c_str(), 14, action1.c_str(), 9);
    // Each cycle reads the weights the previous one wrote.
    answers.exported = analyser.ExportDatFile();
    return answers;
}

}  // namespace

int main() {
#if !defined(_WIN32)
    // Every export flushes the weights file to disk; in memory that costs
    // nothing, so the cycles measure the library rather than the disk.
    struct stat shm;
    if (stat(SHARED_MEMORY_DIR, &shm) == 0 && S_ISDIR(shm.st_mode)) {
        setenv("TMPDIR", SHARED_MEMORY_DIR, 1);
    }
#endif
    tw_test::TempDir scratch;
    scratch.write("crlt.dat", tw_test::read_file(TOKENWEAVE_SOURCE_DIR "/dat/crlt.dat"));
    Answers first = one_lifetime(scratch);
    if (first.build != 0 || first.token != 0 || first.search != 0 || first.increase != 0 ||
        first.decrease != 0 || first.exported != -2 || first.report.empty()) {
        fprintf(stderr,
                "the first cycle already failed: build %d token %d search %d feedback %d/%d "
                "export %d\n",
                first.build, first.token, first.search, first.increase, first.decrease,
                first.exported);
        return 1;
    }
    long baseline = -1;
    for (int cycle = 2; cycle <= CYCLES; ++cycle) {
        if (!(one_lifetime(scratch) == first)) {
            fprintf(stderr, "cycle %d answered differently from the first\n", cycle);
            return 1;
        }
        if (cycle == BASELINE_CYCLE) {
            baseline = resident_bytes();
        }
    }
    long final_size = resident_bytes();
    printf("resident memory after cycle %d: %ld bytes, after cycle %d: %ld bytes\n", BASELINE_CYCLE,
           baseline, CYCLES, final_size);
    if (baseline < 0 || final_size < 0) {
        fprintf(stderr, "cannot read the resident memory size\n");
        return 1;
    }
#if defined(TOKENWEAVE_SOAK_SANITIZED)
    // The sanitizer's quarantine keeps freed blocks resident on purpose; its
    // leak check at exit covers what a growing footprint would show.
    printf("sanitizer build: the leak check at exit replaces the memory bound\n");
#else
    if (final_size - baseline > MAX_GROWTH_BYTES) {
        fprintf(stderr, "resident memory grew by %ld bytes over %d cycles\n", final_size - baseline,
                CYCLES - BASELINE_CYCLE);
        return 1;
    }
#endif
    return 0;
}
