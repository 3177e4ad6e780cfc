#include "query_commands.h"

#include <stdio.h>
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>

#include "build_report.h"
#include "correlation_plan.h"
#include "index/index_inspection.h"
#include "option_checks.h"
#include "pair_records.h"
#include "report_formats.h"

namespace tokenweave_cli {

namespace {

enum { DEFAULT_MAX_RESULTS = 100 };

// The library writes reports with the platform's line ends.
#if defined(_WIN32)
const char REPORT_LINE_END[] = "\r\n";
#else
const char REPORT_LINE_END[] = "\n";
#endif

// Standard output in binary mode for the object's life: a report copied
// through a Windows text-mode stream would have every CRLF turned into
// CR CR LF.
class binary_standard_output {
public:
#if defined(_WIN32)
    binary_standard_output() {
        fflush(stdout);
        previous_mode_ = _setmode(_fileno(stdout), _O_BINARY);
    }
    ~binary_standard_output() {
        fflush(stdout);
        if (previous_mode_ != -1) {
            _setmode(_fileno(stdout), previous_mode_);
        }
    }

private:
    int previous_mode_;
#endif
};

struct query_options {
    std::string format = "text";
    float min_grade = 0.0f;
    int max_results = DEFAULT_MAX_RESULTS;
    std::string report;
    std::string value;
    std::string file;
    int line = 0;
};

// Which cell of the output line explain grades when its grid (or grids)
// returned the value more than once; 0 means any.
struct cell_choice {
    int grid = 0;
    int row = 0;
    int column = 0;
};

// Where a report goes: the file the user named, or a temporary file that is
// printed on standard output and removed.
class report_target {
public:
    // "-" names standard output, as no --report does.
    explicit report_target(const std::string &requested)
        : requested_(requested == "-" ? std::string() : requested) {
        if (!requested_.empty()) {
            path_ = requested_;
            return;
        }
        std::random_device random;
        std::filesystem::path directory = std::filesystem::temp_directory_path();
        path_ = (directory / ("tokenweave-report-" + std::to_string(random()) + ".txt")).string();
    }
    ~report_target() {
        if (requested_.empty()) {
            std::error_code ignored;
            std::filesystem::remove(path_, ignored);
        }
    }
    report_target(const report_target &) = delete;
    report_target &operator=(const report_target &) = delete;

    const std::string &path() const { return path_; }

    // Prints a temporary report on standard output. False when that failed.
    bool publish() const {
        if (!requested_.empty()) {
            return true;
        }
        std::ifstream in(path_, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        [[maybe_unused]] binary_standard_output binary;  // does nothing off Windows
        std::cout << text;
        if (!text.empty() && text.back() != '\n') {
            std::cout << REPORT_LINE_END;
        }
        std::cout.flush();
        return static_cast<bool>(std::cout);
    }

private:
    std::string requested_;
    std::string path_;
};

// Writes a report built here (not by the library) to the file the user
// named or to standard output. False, with a message, when that failed.
bool write_report(const std::string &requested, const std::string &text) {
    if (requested.empty() || requested == "-") {
        std::cout << text;
        std::cout.flush();
        if (!std::cout) {
            report_error("cannot write to standard output");
            return false;
        }
        return true;
    }
    std::ofstream out(requested, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        report_error("cannot write the report file '" + requested +
                     "': " + why_not_writable(requested));
        return false;
    }
    return true;
}

int exit_status_of_query(int code, const report_target &report) {
    finish_progress();
    switch (code) {
        case TOKENWEAVE_OK:
        case TOKENWEAVE_NOTHING_FOUND:
            if (!report.publish()) {
                report_error("cannot write to standard output");
                return EXIT_ERROR;
            }
            return code == TOKENWEAVE_OK ? EXIT_REPORTED : EXIT_NOTHING_FOUND;
        case TOKENWEAVE_REPORT_NOT_WRITTEN:
            report_error("cannot write the report file '" + report.path() +
                         "': " + why_not_writable(report.path()));
            return EXIT_ERROR;
        default:
            report_error("the query failed (result code " + std::to_string(code) + ")");
            return EXIT_ERROR;
    }
}

std::unique_ptr<CCorrelationAnalyser> build_and_analyse(const project_options &options) {
    std::unique_ptr<CCorrelationAnalyser> analyser = build_analyser(options);
    if (analyser) {
        analyser->AnalyseIndex();
    }
    return analyser;
}

// The diagnostics of the index build that the JSON and HTML reports carry.
ordered_json diagnostics_json(CCorrelationAnalyser &analyser) {
    ordered_json list = ordered_json::array();
    for (const tokenweave_diagnostic &diagnostic : build_diagnostics(analyser)) {
        list.push_back({{"kind", diagnostic.kind},
                        {"file", display_text(diagnostic.file)},
                        {"line", diagnostic.line},
                        {"reason", display_text(diagnostic.reason)}});
    }
    return list;
}

report_heading heading_of(const std::string &command, const project_options &options,
                          const query_options &query, CCorrelationAnalyser &analyser) {
    report_heading heading;
    heading.command = command;
    heading.query = {
        {"project", display_text(options.project)},
        {"db", options.database.empty() ? family_from_scripts(analyser) : options.database}};
    if (command == "token") {
        heading.query["value"] = display_text(query.value);
    }
    if (command == "token" || command == "cursor") {
        heading.query["file"] = display_text(query.file);
        heading.query["line"] = query.line;
    }
    heading.query["min_grade"] = strtod(exact_float(query.min_grade).c_str(), nullptr);
    if (command == "find" || command == "plan") {
        heading.query["max"] = query.max_results;
    }
    heading.weights_file = weights_file_in_use(options.weights);
    heading.diagnostics = diagnostics_json(analyser);
    return heading;
}

// The report in a format built from the pair records, after the library
// wrote its text report to a scratch file.
int report_in_format(const std::string &command, const project_options &options,
                     const query_options &query, CCorrelationAnalyser &analyser,
                     pair_collector &collector, int code) {
    finish_progress();
    if (code != TOKENWEAVE_OK && code != TOKENWEAVE_NOTHING_FOUND) {
        report_target scratch("");
        return exit_status_of_query(code, scratch);
    }
    report_heading heading = heading_of(command, options, query, analyser);
    heading.found = code == TOKENWEAVE_OK;
    const std::vector<pair_record> &pairs = collector.pairs();
    std::string text;
    if (command == "plan") {
        correlation_plan plan = make_plan(pairs);
        text = query.format == "json" ? plan_json(heading, plan) : plan_text(options.project, plan);
    } else if (query.format == "json") {
        text = json_report(heading, pairs);
    } else if (query.format == "csv") {
        text = csv_report(pairs);
    } else {
        text = html_report(heading, pairs, collector.sources());
    }
    if (!write_report(query.report, text)) {
        return EXIT_ERROR;
    }
    return code == TOKENWEAVE_OK ? EXIT_REPORTED : EXIT_NOTHING_FOUND;
}

// Builds and analyses the index, names the query's action file (when it has
// one) and runs the query into its report.
template <typename Query>
int run_query(const std::string &command, const project_options &options,
              const query_options &query, bool names_a_file, Query run) {
    std::unique_ptr<CCorrelationAnalyser> analyser = build_and_analyse(options);
    if (!analyser) {
        return EXIT_ERROR;
    }
    std::string file;
    if (names_a_file && !resolve_action_file(*analyser, options, query.file, &file)) {
        return EXIT_ERROR;
    }
    // The plan is built from the pair records in every format.
    if (query.format == "text" && command != "plan") {
        report_target report(query.report);
        return exit_status_of_query(run(*analyser, file.c_str(), report.path().c_str()), report);
    }
    pair_collector collector(*analyser, options.project, options.grid_settings);
    report_target scratch("");
    int code = run(*analyser, file.c_str(), scratch.path().c_str());
    return report_in_format(command, options, query, *analyser, collector, code);
}

int run_find(const project_options &options, const query_options &query,
             const std::string &command) {
    return run_query(command, options, query, false,
                     [&](CCorrelationAnalyser &analyser, const char *, const char *report) {
                         return analyser.FindCorrelations(report, query.min_grade,
                                                          query.max_results);
                     });
}

int run_token(const project_options &options, const query_options &query) {
    return run_query("token", options, query, true,
                     [&](CCorrelationAnalyser &analyser, const char *file, const char *report) {
                         return analyser.InputTokenQuery(query.value.c_str(), file, query.line,
                                                         report, query.min_grade);
                     });
}

int run_cursor(const project_options &options, const query_options &query) {
    return run_query("cursor", options, query, true,
                     [&](CCorrelationAnalyser &analyser, const char *file, const char *report) {
                         return analyser.CursorQuery(file, query.line, report, query.min_grade);
                     });
}

const std::vector<std::string> QUERY_FORMATS = {"text", "json", "csv", "html"};
const std::vector<std::string> PLAN_FORMATS = {"text", "json"};
const char QUERY_FORMAT_MEANING[] =
    "text: one line per pair, as always; json, csv: every field of every pair; html: a page to "
    "browse (docs/reports.md)";

void add_format_option(CLI::App *command, query_options *query,
                       const std::vector<std::string> &formats, const char *meaning) {
    command->add_option("--format", query->format, meaning)
        ->check(CLI::IsMember(formats))
        ->capture_default_str();
}

// The output occurrence of value at file:line in the chosen cell: the first
// recorded one that matches, as feedback takes the first at that line.
const token_entry_tag *find_chosen_output(correlation_index *index, const std::string &value,
                                          const std::string &file, int line,
                                          const cell_choice &cell) {
    token_instances_t *instances = find_token_instances(index, value.c_str());
    if (instances == nullptr) {
        return nullptr;
    }
    for (const token_entry_tag *output : index_occurrences(instances)) {
        if (output->direction != DIRECTION_OUTPUT || output->cell == nullptr ||
            output->line != line || file != output->file) {
            continue;
        }
        if ((cell.grid == 0 || cell.grid == output->cell->grid) &&
            (cell.row == 0 || cell.row == output->cell->row) &&
            (cell.column == 0 || cell.column == output->cell->column)) {
            return output;
        }
    }
    return nullptr;
}

void print_explanation(const pair_record &pair) {
    const input_site &input = pair.input;
    const output_site &output = pair.output;
    printf("value \"%s\" sent at %s(%d)", pair.value.c_str(), input.file.c_str(), input.line);
    if (!input.call.empty()) {
        printf(" by %s", input.call.c_str());
    }
    printf("\nreturned at %s(%d), grid %d, row %d, column %d", output.file.c_str(), output.line,
           output.grid, output.row, output.column);
    if (output.row_view.position > 0) {
        printf(" (position %d, \"%s\")", output.row_view.position, output.column_name.c_str());
    }
    printf("\n\n%-20s %10s %10s %14s\n", "heuristic", "score", "weight", "contribution");
    const grade_breakdown_t &breakdown = pair.breakdown;
    for (int i = 0; i < breakdown.part_count; ++i) {
        const grade_part_t &part = breakdown.parts[i];
        printf("%-20s %10.6f %10.6f %14.9f\n", part.name, static_cast<double>(part.score),
               static_cast<double>(part.weight), static_cast<double>(part.contribution));
    }
    printf("%-20s %10s %10.6f %14.9f\n", "sum", "", static_cast<double>(breakdown.weight_sum),
           static_cast<double>(breakdown.grade));
    if (breakdown.weight_sum == 0.0f) {
        printf("(the weights sum to 0: every pair grades 0)\n");
    }
    printf("grade: %s\n", exact_float(breakdown.grade).c_str());
}

int run_explain(const project_options &options, const feedback_options &pair,
                const cell_choice &cell) {
    std::unique_ptr<CCorrelationAnalyser> analyser = build_and_analyse(options);
    if (!analyser) {
        return EXIT_ERROR;
    }
    std::string input_file;
    std::string output_file;
    if (!resolve_action_file(*analyser, options, pair.input_file, &input_file) ||
        !resolve_action_file(*analyser, options, pair.output_file, &output_file)) {
        return EXIT_ERROR;
    }
    correlation_index *index = inspected_index(analyser.get());
    token_entry_tag *input =
        find_input_occurrence(index, pair.value.c_str(), input_file.c_str(), pair.input_line);
    const token_entry_tag *output =
        find_chosen_output(index, pair.value, output_file, pair.output_line, cell);
    if (input == nullptr || output == nullptr) {
        report_error(
            "no such pair: \"" + pair.value + "\" is not sent at " + pair.input_file + "(" +
            std::to_string(pair.input_line) + ") or not returned at " + pair.output_file + "(" +
            std::to_string(pair.output_line) +
            (cell.grid != 0 || cell.row != 0 || cell.column != 0 ? ") in the chosen cell" : ")"));
        return EXIT_ERROR;
    }
    pair_collector describer(*analyser, options.project, options.grid_settings);
    print_explanation(describer.describe(input, output, 0.0f));
    fflush(stdout);
    if (ferror(stdout)) {
        report_error("cannot write to standard output");
        return EXIT_ERROR;
    }
    return EXIT_REPORTED;
}

void add_grade_option(CLI::App *command, query_options *query, const char *meaning) {
    command->add_option("--min-grade", query->min_grade, meaning)
        ->check(grade_from_0_to_1())
        ->capture_default_str();
    command->add_option("--report", query->report,
                        "Write the report to this file (\"-\" or none: standard output)");
}

}  // namespace

void add_query_commands(CLI::App *app, project_options *options, int *exit_code) {
    static query_options query;

    CLI::App *find =
        app->add_subcommand("find", "Rank the best correlation candidates of the whole project");
    add_project_options(find, options, true);
    add_grade_option(find, &query,
                     "Leave out the sent values whose gate grade is below this (0 to 1)");
    find->add_option("--max", query.max_results, "Report at most this many pairs")
        ->check(at_least_one())
        ->capture_default_str();
    add_format_option(find, &query, QUERY_FORMATS, QUERY_FORMAT_MEANING);
    find->callback([options, exit_code]() { *exit_code = run_find(*options, query, "find"); });

    CLI::App *token = app->add_subcommand(
        "token", "Candidates for VALUE as sent at FILE(LINE): where was it returned before?");
    add_project_options(token, options, true);
    token->add_option("VALUE", query.value, "The value as the script sends it")->required();
    token->add_option("FILE", query.file, "Action file, relative to the project or full path")
        ->required();
    token->add_option("LINE", query.line, "Line of the value in FILE")
        ->required()
        ->check(at_least_one());
    add_grade_option(token, &query, "Report only pairs graded above this (0 to 1)");
    add_format_option(token, &query, QUERY_FORMATS, QUERY_FORMAT_MEANING);
    token->callback([options, exit_code]() { *exit_code = run_token(*options, query); });

    CLI::App *cursor =
        app->add_subcommand("cursor", "Candidates for every value of the statement at FILE(LINE)");
    add_project_options(cursor, options, true);
    cursor->add_option("FILE", query.file, "Action file, relative to the project or full path")
        ->required();
    cursor->add_option("LINE", query.line, "Line of the statement or of its execute call")
        ->required()
        ->check(at_least_one());
    add_grade_option(cursor, &query, "Report only pairs graded above this (0 to 1)");
    add_format_option(cursor, &query, QUERY_FORMATS, QUERY_FORMAT_MEANING);
    cursor->callback([options, exit_code]() { *exit_code = run_cursor(*options, query); });

    static feedback_options explained;
    static cell_choice cell;
    CLI::App *explain = app->add_subcommand(
        "explain", "Show how the grade of one pair is made: each heuristic's share");
    add_project_options(explain, options, true);
    explain->add_option("VALUE", explained.value, "The value of the pair")->required();
    explain->add_option("FILE", explained.input_file, "Where the value is sent")->required();
    explain->add_option("LINE", explained.input_line, "Line where it is sent")
        ->required()
        ->check(at_least_one());
    explain->add_option("OUTFILE", explained.output_file, "Where the value was returned")
        ->required();
    explain
        ->add_option("OUTLINE", explained.output_line,
                     "Line of the grid reference that returned it")
        ->required();
    explain->add_option("--grid", cell.grid, "Grade the cell of this grid number");
    explain->add_option("--row", cell.row, "Grade the cell in this row (from 1)");
    explain->add_option("--column", cell.column,
                        "Grade the cell in this column (from 1, counting cells with data)");
    explain->callback(
        [options, exit_code]() { *exit_code = run_explain(*options, explained, cell); });

    CLI::App *plan = app->add_subcommand(
        "plan", "The correlation plan: which grid column feeds which sent values");
    add_project_options(plan, options, true);
    plan->add_option("--min-grade", query.min_grade,
                     "Leave out the sent values whose best pair grades below this (0 to 1)")
        ->check(grade_from_0_to_1())
        ->capture_default_str();
    plan->add_option("--max", query.max_results, "Plan from at most this many pairs")
        ->check(at_least_one())
        ->capture_default_str();
    plan->add_option("--report", query.report,
                     "Write the plan to this file instead of standard output");
    add_format_option(plan, &query, PLAN_FORMATS, "Plan as text or JSON (docs/reports.md)");
    plan->callback([options, exit_code]() { *exit_code = run_find(*options, query, "plan"); });
}

}  // namespace tokenweave_cli
