#include "pair_records.h"

#include <string.h>

#include <set>
#include <tuple>

#include "command_common.h"
#include "index/index_inspection.h"

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
    inspection_set_pair_observer(observe, this);
}

pair_collector::~pair_collector() {
    inspection_set_pair_observer(nullptr, nullptr);
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

// Grades every output the query grades for this input (recorded before the
// input's place, in its file or an earlier one) by taking the grade apart,
// which leaves the token's best grade as the query left it.
pair_ambiguity pair_collector::ambiguity_of(const token_instances_t *instances,
                                            const token_entry_tag *input,
                                            const token_entry_tag *reported) {
    pair_ambiguity ambiguity;
    correlation_index *index = inspected_index(&analyser_);
    if (instances == nullptr || index == nullptr) {
        return ambiguity;
    }
    int input_order = file_order_of(index, input->file);
    std::vector<std::pair<const token_entry_tag *, float>> graded;
    std::set<cell_key> seen;
    float best = 0.0f;
    // Nearest first: backward from the first occurrence at the input's
    // place or after it in its file.
    std::vector<const token_entry_tag *> occurrences = index_occurrences(instances);
    size_t place = 0;
    while (place < occurrences.size() &&
           !(occurrences[place]->line >= input->line && occurrences[place]->file != nullptr &&
             input->file != nullptr && strcmp(occurrences[place]->file, input->file) == 0)) {
        ++place;
    }
    while (place > 0) {
        const token_entry_tag *output = occurrences[--place];
        if (output->direction != DIRECTION_OUTPUT ||
            file_order_of(index, output->file) > input_order ||
            !seen.insert(key_of_cell(*output)).second) {
            continue;
        }
        grade_breakdown_t breakdown;
        inspect_grade(&analyser_, *instances, *output, *input, &breakdown);
        if (graded.empty() || breakdown.grade > best) {
            best = breakdown.grade;
        }
        graded.emplace_back(output, breakdown.grade);
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

pair_record pair_collector::describe(const token_entry_tag *input, const token_entry_tag *output,
                                     float grade) {
    correlation_index *index = inspected_index(&analyser_);
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
        const char *call = inspected_call_name(input->call_code);
        site.call = call != nullptr ? call : "";
        site.handle = sources_.call_handle(site.path, site.line, site.call);
    }

    record.output = describe_output(*output);
    if (instances != nullptr) {
        inspect_grade(&analyser_, *instances, *output, *input, &record.breakdown);
    } else {
        record.breakdown = grade_breakdown_t();
    }
    record.ambiguity = ambiguity_of(instances, input, output);
    return record;
}

}  // namespace tokenweave_cli
