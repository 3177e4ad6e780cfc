#include "feedback_command.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <CLI/CLI.hpp>

#include "index/index_inspection.h"
#include "option_checks.h"
#include "weights_store.h"

namespace tokenweave_cli {

namespace {

struct feedback_pair {
    token_instances_t *instances = nullptr;
    token_entry_tag *input = nullptr;
    token_entry_tag *output = nullptr;
};

feedback_pair find_pair(CCorrelationAnalyser &analyser, const feedback_options &feedback,
                        const std::string &input_file, const std::string &output_file) {
    correlation_index *index = inspected_index(&analyser);
    const char *value = feedback.value.c_str();
    feedback_pair pair;
    pair.instances = find_token_instances(index, value);
    pair.input = find_input_occurrence(index, value, input_file.c_str(), feedback.input_line);
    pair.output = find_output_occurrence(index, value, output_file.c_str(), feedback.output_line);
    return pair;
}

// A pair is a candidate only when the output is a grid cell recorded before
// the input: a value cannot have been captured from a result that arrives
// after it was sent, and learning from such a pair would teach nonsense.
bool is_candidate(const feedback_pair &pair) {
    if (pair.output->cell == nullptr) {
        return false;
    }
    for (const token_entry_tag *occurrence : index_occurrences(pair.instances)) {
        if (occurrence == pair.output) {
            return true;
        }
        if (occurrence == pair.input) {
            return false;
        }
    }
    return false;
}

std::string place(const std::string &file, int line) {
    return file + "(" + std::to_string(line) + ")";
}

int run_feedback(const project_options &given, const feedback_options &feedback) {
    std::string target;
    std::string error;
    if (!weights_for_learning(given.weights, &target, &error) ||
        !may_write_weights(target, &error)) {
        report_error(error);
        return EXIT_ERROR;
    }
    project_options options = given;
    options.weights = weights_for_reading(given.weights);
    std::unique_ptr<CCorrelationAnalyser> analyser = build_analyser(options);
    if (!analyser) {
        return EXIT_ERROR;
    }
    analyser->AnalyseIndex();
    std::string input_file;
    std::string output_file;
    if (!resolve_action_file(*analyser, options, feedback.input_file, &input_file) ||
        !resolve_action_file(*analyser, options, feedback.output_file, &output_file)) {
        return EXIT_ERROR;
    }
    feedback_pair pair = find_pair(*analyser, feedback, input_file, output_file);
    if (pair.instances == nullptr || pair.input == nullptr || pair.output == nullptr) {
        report_error("no such pair: \"" + feedback.value + "\" is not sent at " +
                     place(feedback.input_file, feedback.input_line) + " or not returned at " +
                     place(feedback.output_file, feedback.output_line));
        return EXIT_ERROR;
    }
    if (!is_candidate(pair)) {
        report_error("not a candidate: the grid at " +
                     place(feedback.output_file, feedback.output_line) +
                     " is not read before the value is sent at " +
                     place(feedback.input_file, feedback.input_line) + "; nothing learned");
        return EXIT_ERROR;
    }
    float before = analyser->EvaluateToken(pair.instances, pair.output, pair.input);
    bool up = feedback.direction == "up";
    const char *value = feedback.value.c_str();
    int code = up ? analyser->IncreaseGrade(value, input_file.c_str(), feedback.input_line,
                                            output_file.c_str(), feedback.output_line)
                  : analyser->DecreaseGrade(value, input_file.c_str(), feedback.input_line,
                                            output_file.c_str(), feedback.output_line);
    if (code != 0) {
        report_error("the learning step failed (result code " + std::to_string(code) + ")");
        return EXIT_ERROR;
    }
    float after = analyser->EvaluateToken(pair.instances, pair.output, pair.input);
    if (given.weights.empty() && !create_user_copy(target, &error)) {
        report_error(error);
        return EXIT_ERROR;
    }
    errno = 0;
    if (analyser->ExportDatFile(target.c_str()) != TOKENWEAVE_EXPORTED) {
        report_error("cannot write " + target + ": " +
                     (errno != 0 ? strerror(errno) : "the weights were not written"));
        return EXIT_ERROR;
    }
    printf("grade of the pair: %.4f -> %.4f\n", before, after);
    return EXIT_REPORTED;
}

int run_weights_reset() {
    bool removed = false;
    std::string error;
    if (!reset_user_weights(&removed, &error)) {
        report_error(error);
        return EXIT_ERROR;
    }
    std::string user = user_weights_path();
    if (removed) {
        printf("removed %s; the shipped weights apply again\n", user.c_str());
    } else {
        printf("no learned weights at %s; nothing to remove\n",
               user.empty() ? "(no home directory)" : user.c_str());
    }
    return EXIT_REPORTED;
}

}  // namespace

void add_feedback_command(CLI::App *app, project_options *options, int *exit_code) {
    static feedback_options feedback;
    CLI::App *learn = app->add_subcommand(
        "feedback", "Tell tokenweave a pair was right (up) or wrong (down) and save the weights");
    add_project_options(learn, options, true);
    learn->add_option("DIRECTION", feedback.direction, "up or down")
        ->required()
        ->check(CLI::IsMember({"up", "down"}));
    learn->add_option("VALUE", feedback.value, "The value of the pair")->required();
    learn->add_option("INPUT_FILE", feedback.input_file, "Where the value is sent")->required();
    learn->add_option("INPUT_LINE", feedback.input_line, "Line where it is sent")
        ->required()
        ->check(at_least_one());
    learn->add_option("OUTPUT_FILE", feedback.output_file, "Where the value was returned")
        ->required();
    learn
        ->add_option("OUTPUT_LINE", feedback.output_line,
                     "Line of the grid reference that returned it")
        ->required()
        ->check(at_least_one());
    learn->callback([options, exit_code]() { *exit_code = run_feedback(*options, feedback); });
}

void add_weights_command(CLI::App *app, int *exit_code) {
    CLI::App *weights = app->add_subcommand(
        "weights", "Manage your learned weights ($XDG_DATA_HOME/tokenweave/crlt.dat)");
    weights->require_subcommand(1);
    CLI::App *reset = weights->add_subcommand(
        "reset", "Remove your learned weights; the shipped weights apply again");
    reset->callback([exit_code]() { *exit_code = run_weights_reset(); });
}

}  // namespace tokenweave_cli
