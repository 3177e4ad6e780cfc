#include "pair_records.h"

#include <set>
#include <tuple>

#include "analyser/analyser_access.h"
#include "command_common.h"
#include "containers/list.h"
#include "heuristics/ctokenheuristicevaluator.h"
#include "index/candidate_report.h"
#include "index/correlation_index.h"
#include "index/keyword_table.h"
#include "index/occurrence_lookup.h"

namespace tokenweave_cli {

namespace {

int file_order_of(correlation_index *index, const char *path) {
    action_file_t *file = path != nullptr ? find_action_file(index, path) : nullptr;
    return file != nullptr ? file->index : -1;
}

// What tells one grid cell from another: the same value read again from
// the same cell (a grid referenced twice on one line) counts once.
typedef std::tuple<std::string, int, int, int, int> cell_key;

cell_key key_of_cell(const token_entry_tag &output) {
    const grid_cell_t *cell = output.cell;
    return std::make_tuple(output.file != nullptr ? output.file : "", output.line,
                           cell != nullptr ? cell->grid : 0, cell != nullptr ? cell->row : 0,
                           cell != nullptr ? cell->column : 0);
}

}  // namespace

pair_collector::pair_collector(CCorrelationAnalyser &analyser, const std::string &project,
                               const std::string &grid_settings)
    : analyser_(analyser), project_directory_(project_directory(project)), sources_(grid_settings) {
    set_pair_observer(observe, this);
}

pair_collector::~pair_collector() {
    set_pair_observer(nullptr, nullptr);
}

void pair_collector::observe(void *context, const candidate_pair_t *pair) {
    pair_collector *collector = static_cast<pair_collector *>(context);
    pair_record record = collector->describe(pair->input, pair->output, pair->grade);
    record.rank = static_cast<int>(collector->pairs_.size()) + 1;
    collector->pairs_.push_back(std::move(record));
}

std::string pair_collector::relative_to_project(const std::string &path) const {
    bool inside = path.compare(0, project_directory_.size(), project_directory_) == 0;
    return inside ? path.substr(project_directory_.size()) : path;
}

output_site pair_collector::describe_output(const token_entry_tag &output) {
    output_site site;
    site.path = output.file != nullptr ? output.file : "";
    site.file = relative_to_project(site.path);
    site.line = output.line;
    if (output.cell != nullptr) {
        site.grid = output.cell->grid;
        site.row = output.cell->row;
        site.column = output.cell->column;
    }
    site.row_view = sources_.grid_row(output);
    int position = site.row_view.position;
    if (position >= 1 && static_cast<size_t>(position) <= site.row_view.header.size()) {
        site.column_name = site.row_view.header[static_cast<size_t>(position) - 1];
    }
    return site;
}

// Grades every output the query grades for this input (recorded before it,
// in its file or an earlier one) with the evaluators alone, so that the
// token's best grade stays as the query left it.
pair_ambiguity pair_collector::ambiguity_of(token_instances_t *instances, token_entry_tag *input,
                                            token_entry_tag *reported) {
    pair_ambiguity ambiguity;
    correlation_index *index = analyser_index(&analyser_);
    const CTokenHeuristicEvaluator *root = analyser_evaluator(&analyser_);
    if (instances == nullptr || root == nullptr) {
        return ambiguity;
    }
    int input_order = file_order_of(index, input->file);
    list_node **list = instances->occurrences;
    list_node *position = nullptr;
    seek_before(list, &position, input->file, input->line);
    std::vector<std::pair<token_entry_tag *, float>> graded;
    std::set<cell_key> seen;
    float best = 0.0f;
    while (position != nullptr) {
        token_entry_tag *output = static_cast<token_entry_tag *>(list_previous(list, &position));
        if (output->direction != DIRECTION_OUTPUT ||
            file_order_of(index, output->file) > input_order) {
            continue;
        }
        if (!seen.insert(key_of_cell(*output)).second) {
            continue;
        }
        float grade = root->Evaluate(*instances, *output, *input);
        if (graded.empty() || grade > best) {
            best = grade;
        }
        graded.emplace_back(output, grade);
    }
    ambiguity.sources = static_cast<int>(graded.size());
    int at_best = 0;
    bool reported_is_best = false;
    for (const auto &candidate : graded) {
        if (candidate.second == best) {
            ++at_best;
            reported_is_best = reported_is_best || candidate.first == reported;
        }
    }
    ambiguity.unique_best = at_best == 1 && reported_is_best;
    if (!ambiguity.unique_best) {
        // Nearest first, as the candidates were walked.
        for (const auto &candidate : graded) {
            if (candidate.second == best) {
                ambiguity.best_sources.push_back(describe_output(*candidate.first));
            }
        }
    }
    return ambiguity;
}

pair_record pair_collector::describe(token_entry_tag *input, token_entry_tag *output, float grade) {
    correlation_index *index = analyser_index(&analyser_);
    pair_record record;
    record.grade = grade;
    record.value = input->value != nullptr ? input->value : "";
    token_instances_t *instances = find_token_instances(index, record.value.c_str());

    input_site &site = record.input;
    site.path = input->file != nullptr ? input->file : "";
    site.file = relative_to_project(site.path);
    site.file_order = file_order_of(index, input->file);
    site.line = input->line;
    // A query about a place where the script sends nothing grades a stand-in
    // input that no call recorded.
    bool recorded =
        find_input_occurrence(index, record.value.c_str(), site.path.c_str(), site.line) == input;
    if (recorded) {
        const char *call = keyword_call_name(input->call_code);
        site.call = call != nullptr ? call : "";
        site.handle = sources_.call_handle(site.path, site.line, site.call);
    }

    record.output = describe_output(*output);
    if (instances != nullptr) {
        break_down_grade(analyser_evaluator(&analyser_), *instances, *output, *input,
                         &record.breakdown);
    } else {
        record.breakdown = grade_breakdown_t();
    }
    record.ambiguity = ambiguity_of(instances, input, output);
    return record;
}

}  // namespace tokenweave_cli
