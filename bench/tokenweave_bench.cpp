// Benchmark of one script project: how long indexing and the queries take and
// how much memory they need.
//
// For the project given it measures, in this order and in one process:
// reading every action file into memory once (the floor any scan has to pay),
// scanning them with the scanner's rules in full tables and empty actions
// (the floor any index build has to pay), BuildIndex, AnalyseIndex, one InputTokenQuery for a
// correlated value, one InputTokenQuery for the value the grids return most, one CursorQuery,
// FindCorrelations, and last the analyser's release with the first larger
// allocation after it. Query targets come from the "targets" file that
// generate_project.py writes beside the project. Wall times are steady-clock
// seconds, with the process's CPU time beside the long phases; peak memory
// is the process's high-water mark (VmHWM of /proc/self/status and
// ru_maxrss), read after the index is built and again before the release.
//
// The result is one Markdown table row on standard output (--header prints
// the header rows instead). A phase that runs longer than --timeout seconds
// is reported as timed out, the phases after it as not run, and the row is
// printed all the same; --skip-find leaves the global search out. Progress
// and diagnostics go to standard error. Linux only (it reads /proc).

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "hashkit/hashkit.h"
#include "index/analyser_access.h"
#include "index/correlation_index.h"
#include "index/scanner/scanner.h"
#include "tokenweave/ccorrelationanalyser.h"

// The bare scanner generated from the rule file (bare_scanner.cmake).
int bare_scan_lex();
void bare_scan_restart(FILE *input);

namespace {

using steady = std::chrono::steady_clock;

const char DEFAULT_WEIGHTS_PATH[] = TOKENWEAVE_SOURCE_DIR "/dat/crlt.dat";
const int DEFAULT_MAX_RESULTS = 1000;
const double DEFAULT_PHASE_TIMEOUT_SECONDS = 600.0;
// Every pair graded above 0 is a candidate, as the command line's default.
const float MIN_GRADE = 0.0f;
const double BYTES_PER_MB = 1024.0 * 1024.0;
const double KB_PER_MB = 1024.0;
const int EXIT_TIMED_OUT = 3;
// Large enough to be served from the heap's merged free blocks, small enough
// not to get a mapping of its own.
const int RELEASE_PROBE_BYTES = 64 * 1024;

// Where the release probe's block goes, so that the allocation cannot be
// optimised away.
void *volatile allocation_probe = nullptr;

// ---- measurements --------------------------------------------------------

double seconds_since(steady::time_point start) {
    return std::chrono::duration<double>(steady::now() - start).count();
}

// User plus system CPU time of the process: beside the wall time, it shows
// how much of a phase the machine's other load took.
double cpu_seconds() {
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0) {
        return 0;
    }
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Wall and CPU time since it was started.
class stopwatch {
public:
    stopwatch() : wall_start_(steady::now()), cpu_start_(cpu_seconds()) {}
    double wall() const { return seconds_since(wall_start_); }
    double cpu() const { return cpu_seconds() - cpu_start_; }

private:
    steady::time_point wall_start_;
    double cpu_start_;
};

struct memory_peak {
    long vm_hwm_kb = -1;
    long max_rss_kb = -1;
};

// The process's resident-memory high-water mark, both as the kernel's
// VmHWM and as getrusage reports it; -1 where one cannot be read.
memory_peak read_memory_peak() {
    memory_peak peak;
    FILE *status = fopen("/proc/self/status", "r");
    if (status != nullptr) {
        char line[256];
        while (fgets(line, sizeof line, status) != nullptr) {
            if (strncmp(line, "VmHWM:", 6) == 0) {
                peak.vm_hwm_kb = strtol(line + 6, nullptr, 10);
                break;
            }
        }
        fclose(status);
    }
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) == 0) {
        peak.max_rss_kb = usage.ru_maxrss;
    }
    return peak;
}

std::string format(const char *pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *pattern, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, pattern);
    vsnprintf(text, sizeof text, pattern, arguments);
    va_end(arguments);
    return text;
}

std::string format_times(double wall, double cpu) {
    return format("%.3f (cpu %.3f)", wall, cpu);
}

std::string format_peak(const memory_peak &peak) {
    return format("%.0f / %.0f", peak.vm_hwm_kb / KB_PER_MB, peak.max_rss_kb / KB_PER_MB);
}

// Number of lines a report file holds: one per reported pair, plus the
// header line of a cursor report.
long count_report_lines(const std::string &path) {
    FILE *report = fopen(path.c_str(), "rb");
    if (report == nullptr) {
        return -1;
    }
    long lines = 0;
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, report)) > 0) {
        for (size_t i = 0; i < got; ++i) {
            lines += buffer[i] == '\n';
        }
    }
    fclose(report);
    return lines;
}

// ---- inputs --------------------------------------------------------------

struct options {
    std::string project;
    std::string targets;
    std::string weights = DEFAULT_WEIGHTS_PATH;
    std::string label;
    int max_results = DEFAULT_MAX_RESULTS;
    double timeout_seconds = DEFAULT_PHASE_TIMEOUT_SECONDS;
    bool skip_find = false;
    bool header_only = false;
};

void print_usage(FILE *out) {
    fprintf(out,
            "Usage: tokenweave_bench --project PRJ [--targets FILE] [--weights DAT]\n"
            "                        [--label TEXT] [--max N] [--timeout SECONDS]\n"
            "                        [--skip-find]\n"
            "       tokenweave_bench --header\n"
            "Prints one Markdown table row with the timings and peak memory of PRJ.\n"
            "--targets defaults to the file \"targets\" beside PRJ, --weights to the\n"
            "source tree's dat/crlt.dat, --max to %d, --timeout (per phase) to %.0f.\n",
            DEFAULT_MAX_RESULTS, DEFAULT_PHASE_TIMEOUT_SECONDS);
}

std::string directory_of(const std::string &path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// 0 and *out filled, or -1 after printing why the arguments are wrong.
int parse_options(int argc, char **argv, options *out) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        bool has_value = i + 1 < argc;
        if (name == "--header") {
            out->header_only = true;
        } else if (name == "--skip-find") {
            out->skip_find = true;
        } else if (name == "--help" || name == "-h") {
            print_usage(stdout);
            exit(0);
        } else if (has_value && name == "--project") {
            out->project = argv[++i];
        } else if (has_value && name == "--targets") {
            out->targets = argv[++i];
        } else if (has_value && name == "--weights") {
            out->weights = argv[++i];
        } else if (has_value && name == "--label") {
            out->label = argv[++i];
        } else if (has_value && name == "--max") {
            out->max_results = atoi(argv[++i]);
        } else if (has_value && name == "--timeout") {
            out->timeout_seconds = atof(argv[++i]);
        } else {
            fprintf(stderr, "tokenweave_bench: unknown or incomplete option '%s'\n", argv[i]);
            print_usage(stderr);
            return -1;
        }
    }
    if (out->header_only) {
        return 0;
    }
    if (out->project.empty() || out->timeout_seconds <= 0) {
        print_usage(stderr);
        return -1;
    }
    // The index records action-file paths as the project's directory plus
    // the [Actions] value, so an absolute project path gives absolute keys.
    char *absolute = realpath(out->project.c_str(), nullptr);
    if (absolute == nullptr) {
        fprintf(stderr, "tokenweave_bench: cannot find project '%s'\n", out->project.c_str());
        return -1;
    }
    out->project = absolute;
    free(absolute);
    if (out->targets.empty()) {
        out->targets = directory_of(out->project) + "targets";
    }
    if (out->label.empty()) {
        std::string directory = directory_of(out->project);
        directory.pop_back();
        out->label = directory.substr(directory.find_last_of('/') + 1);
    }
    return 0;
}

std::string trim(const std::string &text) {
    size_t begin = text.find_first_not_of(" \t\r\n");
    size_t end = text.find_last_not_of(" \t\r\n");
    return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
}

// key=value lines; '#' and ';' start comments. Empty when unreadable.
std::map<std::string, std::string> read_key_values(const std::string &path,
                                                   const char *only_section) {
    std::map<std::string, std::string> values;
    FILE *file = fopen(path.c_str(), "r");
    if (file == nullptr) {
        return values;
    }
    bool in_section = only_section == nullptr;
    char line[4096];
    while (fgets(line, sizeof line, file) != nullptr) {
        std::string text = trim(line);
        if (text.empty() || text[0] == '#' || text[0] == ';') {
            continue;
        }
        if (text[0] == '[') {
            in_section = only_section != nullptr && text == std::string("[") + only_section + "]";
            continue;
        }
        size_t equals = text.find('=');
        if (in_section && equals != std::string::npos) {
            values[trim(text.substr(0, equals))] = trim(text.substr(equals + 1));
        }
    }
    fclose(file);
    return values;
}

// Full paths of the project's action files, as the index spells them.
std::vector<std::string> action_file_paths(const std::string &project) {
    std::vector<std::string> paths;
    for (const auto &entry : read_key_values(project, "Actions")) {
        paths.push_back(directory_of(project) + entry.second);
    }
    return paths;
}

// Reads every file whole into one reused buffer. Total bytes, or -1 when a
// file cannot be read.
long long read_files_once(const std::vector<std::string> &paths) {
    std::vector<char> buffer;
    long long total = 0;
    for (const std::string &path : paths) {
        FILE *file = fopen(path.c_str(), "rb");
        if (file == nullptr) {
            return -1;
        }
        fseek(file, 0, SEEK_END);
        long size = ftell(file);
        fseek(file, 0, SEEK_SET);
        if (size < 0) {
            fclose(file);
            return -1;
        }
        buffer.resize(static_cast<size_t>(size));
        size_t got = size > 0 ? fread(buffer.data(), 1, buffer.size(), file) : 0;
        fclose(file);
        if (got != buffer.size()) {
            return -1;
        }
        total += size;
    }
    return total;
}

// Scans every file with the bare scanner. False when a file cannot be read.
bool bare_scan_once(const std::vector<std::string> &paths) {
    for (const std::string &path : paths) {
        FILE *file = fopen(path.c_str(), "rb");
        if (file == nullptr) {
            return false;
        }
        bare_scan_restart(file);
        while (bare_scan_lex() != 0) {
        }
        fclose(file);
    }
    return true;
}

// ---- the table row -------------------------------------------------------

enum column_id {
    COL_PROJECT,
    COL_LINES,
    COL_FILES,
    COL_GRID_REFS,
    COL_CELLS,
    COL_INDEX,
    COL_ACTION_MB,
    COL_READ,
    COL_BARE_SCAN,
    COL_BUILD,
    COL_ANALYSE,
    COL_BUILD_ANALYSE,
    COL_SCAN_RATE,
    COL_BARE_RATIO,
    COL_PEAK_BUILD,
    COL_TOKEN,
    COL_TOKEN_COMMON,
    COL_CURSOR,
    COL_FIND,
    COL_PEAK_END,
    COL_RELEASE,
    COLUMN_COUNT
};

const char *const COLUMN_TITLES[COLUMN_COUNT] = {
    "project",
    "script lines",
    "action files",
    "grid refs",
    "grid cells",
    "values / inputs / outputs",
    "action MB",
    "read files s (MB/s)",
    "bare -Cf scan s (MB/s)",
    "BuildIndex s",
    "AnalyseIndex s",
    "build + analyse s",
    "scan MB/s",
    "BuildIndex / bare scan throughput (cpu)",
    "peak after build MB (VmHWM / maxrss)",
    "InputTokenQuery id s (pairs)",
    "InputTokenQuery common value s (pairs)",
    "CursorQuery s (pairs)",
    "FindCorrelations s",
    "peak at end MB (VmHWM / maxrss)",
    "release s (destructor + next 64 KB malloc)",
};

// The cells of the row, filled as the phases finish. The watchdog may print
// the row from its own thread, so every access holds the lock.
class table_row {
public:
    table_row() : cells_(COLUMN_COUNT, "not run") {}

    void set(column_id column, const std::string &text) {
        std::lock_guard<std::mutex> hold(lock_);
        cells_[column] = text;
    }

    void print(FILE *out) {
        std::lock_guard<std::mutex> hold(lock_);
        fputc('|', out);
        for (const std::string &cell : cells_) {
            fprintf(out, " %s |", cell.c_str());
        }
        fputc('\n', out);
        fflush(out);
    }

private:
    std::mutex lock_;
    std::vector<std::string> cells_;
};

void print_header(FILE *out) {
    fputc('|', out);
    for (const char *title : COLUMN_TITLES) {
        fprintf(out, " %s |", title);
    }
    fputs("\n|", out);
    for (int i = 0; i < COLUMN_COUNT; ++i) {
        fputs(i == COL_PROJECT ? " --- |" : " ---: |", out);
    }
    fputc('\n', out);
}

// Ends the process with the row printed when one phase outlives its time:
// the library offers no way to interrupt a query, and the table should
// still be complete. clean_up runs on the watchdog's thread just before.
class phase_watchdog {
public:
    phase_watchdog(table_row *row, double timeout_seconds, std::function<void()> clean_up)
        : row_(row),
          timeout_(timeout_seconds),
          clean_up_(std::move(clean_up)),
          thread_([this] { watch(); }) {}

    ~phase_watchdog() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    void begin(column_id column) {
        std::lock_guard<std::mutex> hold(lock_);
        column_ = column;
        deadline_ = steady::now() + std::chrono::duration_cast<steady::duration>(
                                        std::chrono::duration<double>(timeout_));
        running_ = true;
        wake_.notify_all();
    }

    void end() {
        std::lock_guard<std::mutex> hold(lock_);
        running_ = false;
        wake_.notify_all();
    }

private:
    void watch() {
        std::unique_lock<std::mutex> hold(lock_);
        while (!stopping_) {
            if (!running_) {
                wake_.wait(hold);
                continue;
            }
            if (wake_.wait_until(hold, deadline_) == std::cv_status::timeout && running_ &&
                steady::now() >= deadline_) {
                row_->set(column_, format("timeout (> %g s)", timeout_));
                row_->print(stdout);
                fprintf(stderr, "tokenweave_bench: %s ran longer than %g s; stopped\n",
                        COLUMN_TITLES[column_], timeout_);
                clean_up_();
                _exit(EXIT_TIMED_OUT);
            }
        }
    }

    table_row *row_;
    double timeout_;
    std::function<void()> clean_up_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool running_ = false;
    column_id column_ = COL_PROJECT;
    steady::time_point deadline_;
    std::thread thread_;
};

// ---- the phases ------------------------------------------------------------

int keep_going(void *, float) {
    return 0;
}

struct index_counts {
    long values = 0;
    long inputs = 0;
    long outputs = 0;
};

index_counts count_index(CCorrelationAnalyser *analyser) {
    index_counts counts;
    correlation_index *index = analyser_index(analyser);
    if (index == nullptr) {
        return counts;
    }
    ht_enumeration *values = ht_enumerate_elements(index->token_table);
    while (ht_enum_has_more_elements(values)) {
        const token_instances_t *instances =
            static_cast<const token_instances_t *>(ht_enum_next_element(values));
        ++counts.values;
        counts.inputs += instances->input_count;
        counts.outputs += instances->output_count;
    }
    return counts;
}

// A query's wall time, its CPU time (the figure to compare on a busy
// machine) and what it wrote.
std::string query_cell(double seconds, double cpu, int code, long pairs) {
    std::string times = format("%.4f (cpu %.4f)", seconds, cpu);
    if (code == -7) {
        return times + " (none found)";
    }
    if (code != 0) {
        return times + format(" (error %d)", code);
    }
    return times + format(" (%ld)", pairs);
}

class bench_run {
public:
    bench_run(const options &opts, table_row *row) : opts_(opts), row_(row) {}

    int run() {
        targets_ = read_key_values(opts_.targets, nullptr);
        row_->set(COL_PROJECT, opts_.label);
        row_->set(COL_LINES, target("lines", "?"));
        row_->set(COL_FILES, target("files", "?"));
        row_->set(COL_GRID_REFS, target("grid_refs", "?"));
        row_->set(COL_CELLS, target("cells", "?"));

        std::vector<std::string> files = action_file_paths(opts_.project);
        if (files.empty()) {
            fprintf(stderr, "tokenweave_bench: no [Actions] in '%s'\n", opts_.project.c_str());
            return 1;
        }
        if (measure_reading(files) != 0 || measure_bare_scan(files) != 0) {
            return 1;
        }
        phase_watchdog watchdog(row_, opts_.timeout_seconds, [this] { remove_reports(); });
        std::unique_ptr<CCorrelationAnalyser> analyser(
            new CCorrelationAnalyser(opts_.project.c_str(), "", keep_going, this, "oracle", ""));
        analyser->SetDataFilePath(opts_.weights.c_str());
        if (measure_build(analyser.get(), &watchdog) != 0) {
            return 1;
        }
        measure_token_query(analyser.get(), &watchdog, COL_TOKEN, "token");
        measure_token_query(analyser.get(), &watchdog, COL_TOKEN_COMMON, "common");
        measure_cursor_query(analyser.get(), &watchdog);
        if (opts_.skip_find) {
            row_->set(COL_FIND, "skipped");
        } else {
            measure_find(analyser.get(), &watchdog);
        }
        row_->set(COL_PEAK_END, format_peak(read_memory_peak()));
        measure_release(&analyser, &watchdog);
        return 0;
    }

    ~bench_run() { remove_reports(); }

private:
    // Report files are created before the query that writes them starts, so
    // the list does not change while a query runs.
    void remove_reports() {
        for (const std::string &path : reports_) {
            remove(path.c_str());
        }
        if (!report_directory_.empty()) {
            rmdir(report_directory_.c_str());
        }
    }

    std::string target(const char *key, const char *fallback) const {
        auto found = targets_.find(key);
        return found != targets_.end() ? found->second : fallback;
    }

    std::string report_path(const char *name) {
        if (report_directory_.empty()) {
            char pattern[] = "/tmp/tokenweave_bench.XXXXXX";
            if (mkdtemp(pattern) != nullptr) {
                report_directory_ = pattern;
            } else {
                report_directory_ = "/tmp";
            }
        }
        std::string path = report_directory_ + "/" + name + ".txt";
        reports_.push_back(path);
        return path;
    }

    int measure_reading(const std::vector<std::string> &files) {
        // The first pass brings the files into the page cache, as the
        // line counting of BuildIndex does before its scan.
        if (read_files_once(files) < 0) {
            fprintf(stderr, "tokenweave_bench: cannot read the action files\n");
            return -1;
        }
        stopwatch elapsed;
        action_bytes_ = read_files_once(files);
        read_seconds_ = elapsed.wall();
        double megabytes = action_bytes_ / BYTES_PER_MB;
        row_->set(COL_ACTION_MB, format("%.1f", megabytes));
        row_->set(COL_READ, format("%.4f (%.0f)", read_seconds_, megabytes / read_seconds_));
        fprintf(stderr, "[%s] read %.1f MB of action files in %.3f s\n", opts_.label.c_str(),
                megabytes, read_seconds_);
        return 0;
    }

    int measure_bare_scan(const std::vector<std::string> &files) {
        stopwatch elapsed;
        if (!bare_scan_once(files)) {
            fprintf(stderr, "tokenweave_bench: cannot read the action files\n");
            return -1;
        }
        bare_scan_seconds_ = elapsed.wall();
        bare_scan_cpu_ = elapsed.cpu();
        row_->set(COL_BARE_SCAN,
                  format("%s (%.0f)", format_times(bare_scan_seconds_, bare_scan_cpu_).c_str(),
                         action_bytes_ / BYTES_PER_MB / bare_scan_seconds_));
        fprintf(stderr, "[%s] bare scan in %.3f s\n", opts_.label.c_str(), bare_scan_seconds_);
        return 0;
    }

    int measure_build(CCorrelationAnalyser *analyser, phase_watchdog *watchdog) {
        // Our own table goes to standard output; the scanner's echo of
        // newlines inside SQL text must not.
        scanner_set_echo_stream(nullptr);
        watchdog->begin(COL_BUILD);
        stopwatch build_time;
        int built;
        try {
            built = analyser->BuildIndex();
        } catch (const CCorrelationAnalyser::CorrelationScanException &) {
            watchdog->end();
            fprintf(stderr, "tokenweave_bench: BuildIndex ran out of memory\n");
            return -1;
        }
        double build_seconds = build_time.wall();
        double build_cpu = build_time.cpu();
        watchdog->end();
        if (built != 0) {
            fprintf(stderr, "tokenweave_bench: BuildIndex returned %d (weights '%s')\n", built,
                    opts_.weights.c_str());
            return -1;
        }
        row_->set(COL_BUILD, format_times(build_seconds, build_cpu));
        row_->set(COL_SCAN_RATE, format("%.1f", action_bytes_ / BYTES_PER_MB / build_seconds));
        // Both are one thread's work; CPU time keeps the ratio steady when
        // other processes take the cores.
        row_->set(COL_BARE_RATIO, format("%.2f (wall %.2f)", bare_scan_cpu_ / build_cpu,
                                         bare_scan_seconds_ / build_seconds));

        watchdog->begin(COL_ANALYSE);
        stopwatch analyse_time;
        analyser->AnalyseIndex();
        double analyse_seconds = analyse_time.wall();
        double analyse_cpu = analyse_time.cpu();
        watchdog->end();
        row_->set(COL_ANALYSE, format_times(analyse_seconds, analyse_cpu));
        row_->set(COL_BUILD_ANALYSE,
                  format_times(build_seconds + analyse_seconds, build_cpu + analyse_cpu));
        row_->set(COL_PEAK_BUILD, format_peak(read_memory_peak()));

        index_counts counts = count_index(analyser);
        row_->set(COL_INDEX,
                  format("%ld / %ld / %ld", counts.values, counts.inputs, counts.outputs));
        fprintf(stderr, "[%s] BuildIndex %.3f s (cpu %.3f s), AnalyseIndex %.3f s; %ld values\n",
                opts_.label.c_str(), build_seconds, build_cpu, analyse_seconds, counts.values);
        return 0;
    }

    // prefix "token" or "common": the targets' <prefix>_value, _file, _line.
    void measure_token_query(CCorrelationAnalyser *analyser, phase_watchdog *watchdog,
                             column_id column, const std::string &prefix) {
        std::string value = target((prefix + "_value").c_str(), "");
        std::string file = target((prefix + "_file").c_str(), "");
        int line = atoi(target((prefix + "_line").c_str(), "0").c_str());
        if (value.empty() || file.empty() || line <= 0) {
            row_->set(column, "no target");
            return;
        }
        std::string report = report_path(prefix.c_str());
        std::string path = directory_of(opts_.project) + file;
        watchdog->begin(column);
        stopwatch elapsed;
        int code =
            analyser->InputTokenQuery(value.c_str(), path.c_str(), line, report.c_str(), MIN_GRADE);
        double seconds = elapsed.wall();
        double cpu = elapsed.cpu();
        watchdog->end();
        std::string cell = query_cell(seconds, cpu, code, count_report_lines(report));
        fprintf(stderr, "[%s] InputTokenQuery \"%s\" %s\n", opts_.label.c_str(), value.c_str(),
                cell.c_str());
        if (column == COL_TOKEN_COMMON) {
            cell = "\"" + value + "\" " + cell;
        }
        row_->set(column, cell);
    }

    void measure_cursor_query(CCorrelationAnalyser *analyser, phase_watchdog *watchdog) {
        std::string file = target("cursor_file", "");
        int line = atoi(target("cursor_line", "0").c_str());
        if (file.empty() || line <= 0) {
            row_->set(COL_CURSOR, "no target");
            return;
        }
        std::string report = report_path("cursor");
        std::string path = directory_of(opts_.project) + file;
        watchdog->begin(COL_CURSOR);
        stopwatch elapsed;
        int code = analyser->CursorQuery(path.c_str(), line, report.c_str(), MIN_GRADE);
        double seconds = elapsed.wall();
        double cpu = elapsed.cpu();
        watchdog->end();
        // The first line of a cursor report is its header.
        long pairs = count_report_lines(report) - 1;
        std::string cell = query_cell(seconds, cpu, code, pairs);
        row_->set(COL_CURSOR, cell);
        fprintf(stderr, "[%s] CursorQuery %s\n", opts_.label.c_str(), cell.c_str());
    }

    void measure_find(CCorrelationAnalyser *analyser, phase_watchdog *watchdog) {
        std::string report = report_path("find");
        watchdog->begin(COL_FIND);
        stopwatch find_time;
        int code = analyser->FindCorrelations(report.c_str(), MIN_GRADE, opts_.max_results);
        double seconds = find_time.wall();
        double cpu = find_time.cpu();
        watchdog->end();
        long pairs = count_report_lines(report);
        std::string cell = code == 0 && pairs == opts_.max_results
                               ? format_times(seconds, cpu)
                               : query_cell(seconds, cpu, code, pairs);
        row_->set(COL_FIND, cell);
        fprintf(stderr, "[%s] FindCorrelations %s (%ld pairs, cpu %.3f s)\n", opts_.label.c_str(),
                cell.c_str(), pairs, cpu);
    }

    // Destroying the analyser frees millions of small blocks; the allocator
    // merges them only when a later request needs a larger block, so that
    // first request pays too. A host closing a project sees both.
    void measure_release(std::unique_ptr<CCorrelationAnalyser> *analyser,
                         phase_watchdog *watchdog) {
        watchdog->begin(COL_RELEASE);
        stopwatch destroy_time;
        analyser->reset();
        double destroy_seconds = destroy_time.wall();
        stopwatch allocation_time;
        allocation_probe = malloc(RELEASE_PROBE_BYTES);
        double allocation_seconds = allocation_time.wall();
        free(allocation_probe);
        watchdog->end();
        row_->set(COL_RELEASE, format("%.3f + %.3f", destroy_seconds, allocation_seconds));
        fprintf(stderr, "[%s] destructor %.3f s, next %d-byte malloc %.3f s\n", opts_.label.c_str(),
                destroy_seconds, RELEASE_PROBE_BYTES, allocation_seconds);
    }

    const options &opts_;
    table_row *row_;
    std::map<std::string, std::string> targets_;
    long long action_bytes_ = 0;
    double read_seconds_ = 0;
    double bare_scan_seconds_ = 0;
    double bare_scan_cpu_ = 0;
    std::string report_directory_;
    std::vector<std::string> reports_;
};

}  // namespace

int main(int argc, char **argv) {
    options opts;
    if (parse_options(argc, argv, &opts) != 0) {
        return 2;
    }
    if (opts.header_only) {
        print_header(stdout);
        return 0;
    }
    table_row row;
    int result;
    {
        bench_run run(opts, &row);
        result = run.run();
    }
    row.print(stdout);
    return result;
}
