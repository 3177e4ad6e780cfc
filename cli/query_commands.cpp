#include "query_commands.h"

#include <stdio.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>

#include "index/index_inspection.h"

namespace tokenweave_cli {

namespace {

enum { DEFAULT_MAX_RESULTS = 100 };

// Result codes of the library that the commands tell apart.
struct query_options {
    float min_grade = 0.0f;
    int max_results = DEFAULT_MAX_RESULTS;
    std::string report;
    std::string value;
    std::string file;
    int line = 0;
};

struct feedback_options {
    std::string direction;
    std::string value;
    std::string input_file;
    int input_line = 0;
    std::string output_file;
    int output_line = 0;
};

// Where a report goes: the file the user named, or a temporary file that is
// printed on standard output and removed.
class report_target {
public:
    explicit report_target(const std::string &requested) : requested_(requested) {
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
        std::cout << text;
        if (!text.empty() && text.back() != '\n') {
            std::cout << '\n';
        }
        std::cout.flush();
        return static_cast<bool>(std::cout);
    }

private:
    std::string requested_;
    std::string path_;
};

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
            report_error("cannot create the report file '" + report.path() + "'");
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

// Builds and analyses the index, names the query's action file (when it has
// one) and runs the query into its report.
template <typename Query>
int run_query(const project_options &options, const query_options &query, bool names_a_file,
              Query run) {
    std::unique_ptr<CCorrelationAnalyser> analyser = build_and_analyse(options);
    if (!analyser) {
        return EXIT_ERROR;
    }
    std::string file;
    if (names_a_file && !resolve_action_file(*analyser, options, query.file, &file)) {
        return EXIT_ERROR;
    }
    report_target report(query.report);
    return exit_status_of_query(run(*analyser, file.c_str(), report.path().c_str()), report);
}

int run_find(const project_options &options, const query_options &query) {
    return run_query(options, query, false,
                     [&](CCorrelationAnalyser &analyser, const char *, const char *report) {
                         return analyser.FindCorrelations(report, query.min_grade,
                                                          query.max_results);
                     });
}

int run_token(const project_options &options, const query_options &query) {
    return run_query(options, query, true,
                     [&](CCorrelationAnalyser &analyser, const char *file, const char *report) {
                         return analyser.InputTokenQuery(query.value.c_str(), file, query.line,
                                                         report, query.min_grade);
                     });
}

int run_cursor(const project_options &options, const query_options &query) {
    return run_query(options, query, true,
                     [&](CCorrelationAnalyser &analyser, const char *file, const char *report) {
                         return analyser.CursorQuery(file, query.line, report, query.min_grade);
                     });
}

// The pair's grade as the evaluators see it now, or a negative number when
// the pair is not in the index.
float grade_of_pair(CCorrelationAnalyser &analyser, const feedback_options &feedback,
                    const std::string &input_file, const std::string &output_file) {
    correlation_index *index = inspected_index(&analyser);
    const char *value = feedback.value.c_str();
    token_instances_t *instances = find_token_instances(index, value);
    token_entry_tag *input =
        find_input_occurrence(index, value, input_file.c_str(), feedback.input_line);
    token_entry_tag *output =
        find_output_occurrence(index, value, output_file.c_str(), feedback.output_line);
    if (instances == nullptr || input == nullptr || output == nullptr) {
        return -1.0f;
    }
    return analyser.EvaluateToken(instances, output, input);
}

int run_feedback(const project_options &options, const feedback_options &feedback) {
    std::unique_ptr<CCorrelationAnalyser> analyser = build_and_analyse(options);
    if (!analyser) {
        return EXIT_ERROR;
    }
    std::string input_file;
    std::string output_file;
    if (!resolve_action_file(*analyser, options, feedback.input_file, &input_file) ||
        !resolve_action_file(*analyser, options, feedback.output_file, &output_file)) {
        return EXIT_ERROR;
    }
    float before = grade_of_pair(*analyser, feedback, input_file, output_file);
    bool up = feedback.direction == "up";
    const char *value = feedback.value.c_str();
    int code = up ? analyser->IncreaseGrade(value, input_file.c_str(), feedback.input_line,
                                            output_file.c_str(), feedback.output_line)
                  : analyser->DecreaseGrade(value, input_file.c_str(), feedback.input_line,
                                            output_file.c_str(), feedback.output_line);
    if (code == TOKENWEAVE_PAIR_NOT_FOUND) {
        report_error("no such pair: \"" + feedback.value + "\" is not sent at " +
                     feedback.input_file + "(" + std::to_string(feedback.input_line) +
                     ") or not returned at " + feedback.output_file + "(" +
                     std::to_string(feedback.output_line) + ")");
        return EXIT_ERROR;
    }
    if (code != 0) {
        report_error("the learning step failed (result code " + std::to_string(code) + ")");
        return EXIT_ERROR;
    }
    float after = grade_of_pair(*analyser, feedback, input_file, output_file);
    if (analyser->ExportDatFile() != TOKENWEAVE_EXPORTED) {
        report_error("cannot write the weights file");
        return EXIT_ERROR;
    }
    printf("grade of the pair: %.4f -> %.4f\n", before, after);
    return EXIT_REPORTED;
}

void add_grade_option(CLI::App *command, query_options *query, const char *meaning) {
    command->add_option("--min-grade", query->min_grade, meaning)->capture_default_str();
    command->add_option("--report", query->report,
                        "Write the report to this file instead of standard output");
}

}  // namespace

void add_query_commands(CLI::App *app, project_options *options, int *exit_code) {
    static query_options query;
    static feedback_options feedback;

    CLI::App *find =
        app->add_subcommand("find", "Rank the best correlation candidates of the whole project");
    add_project_options(find, options, true);
    add_grade_option(find, &query,
                     "Leave out the sent values whose gate grade is below this (0 to 1)");
    find->add_option("--max", query.max_results, "Report at most this many pairs")
        ->capture_default_str();
    find->callback([options, exit_code]() { *exit_code = run_find(*options, query); });

    CLI::App *token = app->add_subcommand(
        "token", "Candidates for VALUE as sent at FILE(LINE): where was it returned before?");
    add_project_options(token, options, true);
    token->add_option("VALUE", query.value, "The value as the script sends it")->required();
    token->add_option("FILE", query.file, "Action file, relative to the project or full path")
        ->required();
    token->add_option("LINE", query.line, "Line of the value in FILE")->required();
    add_grade_option(token, &query, "Report only pairs graded above this (0 to 1)");
    token->callback([options, exit_code]() { *exit_code = run_token(*options, query); });

    CLI::App *cursor =
        app->add_subcommand("cursor", "Candidates for every value of the statement at FILE(LINE)");
    add_project_options(cursor, options, true);
    cursor->add_option("FILE", query.file, "Action file, relative to the project or full path")
        ->required();
    cursor->add_option("LINE", query.line, "Line of the statement or of its execute call")
        ->required();
    add_grade_option(cursor, &query, "Report only pairs graded above this (0 to 1)");
    cursor->callback([options, exit_code]() { *exit_code = run_cursor(*options, query); });

    CLI::App *learn = app->add_subcommand(
        "feedback", "Tell tokenweave a pair was right (up) or wrong (down) and save the weights");
    add_project_options(learn, options, true);
    learn->add_option("DIRECTION", feedback.direction, "up or down")
        ->required()
        ->check(CLI::IsMember({"up", "down"}));
    learn->add_option("VALUE", feedback.value, "The value of the pair")->required();
    learn->add_option("INPUT_FILE", feedback.input_file, "Where the value is sent")->required();
    learn->add_option("INPUT_LINE", feedback.input_line, "Line where it is sent")->required();
    learn->add_option("OUTPUT_FILE", feedback.output_file, "Where the value was returned")
        ->required();
    learn
        ->add_option("OUTPUT_LINE", feedback.output_line,
                     "Line of the grid reference that returned it")
        ->required();
    learn->callback([options, exit_code]() { *exit_code = run_feedback(*options, feedback); });
}

}  // namespace tokenweave_cli
