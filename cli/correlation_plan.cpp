#include "correlation_plan.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "platlib/platlib.h"

namespace tokenweave_cli {

namespace {

typedef std::tuple<std::string, int, int, int> source_key;

source_key key_of(const output_site &source) {
    // Cells without a known position are told apart by the index's column.
    int column = source.row_view.position > 0 ? source.row_view.position : -source.column;
    return std::make_tuple(source.path, source.line, source.grid, column);
}

bool in_script_order(const pair_record *a, const pair_record *b) {
    return std::make_tuple(a->input.file_order, a->input.line, a->value) <
           std::make_tuple(b->input.file_order, b->input.line, b->value);
}

bool is_identifier_character(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

std::string counted(size_t count, const std::string &noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string source_text(const output_site &source) {
    std::string text = source.file + "(" + std::to_string(source.line) + "), grid " +
                       std::to_string(source.grid) + ", column ";
    if (source.row_view.position > 0) {
        text += std::to_string(source.row_view.position) + " \"" + source.column_name + "\"";
    } else {
        text += std::to_string(source.column);
    }
    return text;
}

std::string rows_text(const std::vector<int> &rows) {
    std::string text = rows.size() == 1 ? "row " : "rows ";
    for (size_t i = 0; i < rows.size(); ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(rows[i]);
    }
    return text;
}

std::string use_text(const pair_record &use) {
    std::string text = "  " + use.input.file + "(" + std::to_string(use.input.line) + ")";
    if (!use.input.call.empty()) {
        text += " " + use.input.call;
    }
    return text + " \"" + use.value + "\"";
}

ordered_json source_json(const output_site &source) {
    bool placed = source.row_view.position > 0;
    return {{"file", display_text(source.file)},
            {"line", source.line},
            {"grid", source.grid},
            {"column", source.column},
            {"column_position", placed ? ordered_json(source.row_view.position) : nullptr},
            {"column_name", placed ? ordered_json(display_text(source.column_name)) : nullptr}};
}

ordered_json use_json(const pair_record &use) {
    return {{"file", display_text(use.input.file)},
            {"line", use.input.line},
            {"call", use.input.call.empty() ? ordered_json(nullptr) : ordered_json(use.input.call)},
            {"value", display_text(use.value)},
            {"row", use.output.row},
            {"grade", strtod(exact_float(use.grade).c_str(), nullptr)}};
}

}  // namespace

std::string parameter_name(const std::string &column_name, const std::string &fallback) {
    std::string name;
    for (char c : column_name) {
        name += is_identifier_character(c) ? c : '_';
    }
    if (name.find_first_not_of('_') == std::string::npos) {
        return fallback;
    }
    if (name[0] >= '0' && name[0] <= '9') {
        name = "_" + name;
    }
    return name;
}

correlation_plan make_plan(const std::vector<pair_record> &pairs) {
    // Best pair of each input place: the first reported, as the search
    // reports an input's pairs best first.
    std::vector<const pair_record *> best;
    std::set<std::tuple<std::string, std::string, int>> seen;
    for (const pair_record &pair : pairs) {
        if (seen.insert(std::make_tuple(pair.value, pair.input.path, pair.input.line)).second) {
            best.push_back(&pair);
        }
    }
    std::stable_sort(best.begin(), best.end(), in_script_order);

    correlation_plan plan;
    std::map<source_key, size_t> rule_of_source;
    for (const pair_record *pair : best) {
        if (!pair->ambiguity.unique_best) {
            plan.ambiguous.push_back(pair);
            continue;
        }
        source_key key = key_of(pair->output);
        auto found = rule_of_source.find(key);
        if (found == rule_of_source.end()) {
            found = rule_of_source.emplace(key, plan.rules.size()).first;
            plan_rule rule;
            rule.source = pair->output;
            plan.rules.push_back(rule);
        }
        plan_rule &rule = plan.rules[found->second];
        rule.uses.push_back(pair);
        if (std::find(rule.rows.begin(), rule.rows.end(), pair->output.row) == rule.rows.end()) {
            rule.rows.push_back(pair->output.row);
        }
    }

    std::set<std::string> taken;
    for (plan_rule &rule : plan.rules) {
        std::sort(rule.rows.begin(), rule.rows.end());
        std::string fallback =
            "grid" + std::to_string(rule.source.grid) + "_column" +
            std::to_string(rule.source.row_view.position > 0 ? rule.source.row_view.position
                                                             : rule.source.column);
        std::string base = parameter_name(rule.source.column_name, fallback);
        std::string name = base;
        for (int suffix = 2; taken.count(name) != 0; ++suffix) {
            name = base + "_" + std::to_string(suffix);
        }
        taken.insert(name);
        rule.parameter = name;
    }
    return plan;
}

std::string plan_text(const std::string &project, const correlation_plan &plan) {
    size_t uses = 0;
    for (const plan_rule &rule : plan.rules) {
        uses += rule.uses.size();
    }
    std::string text = "Correlation plan for " + std::string(os_base_name(project.c_str())) + ": " +
                       counted(plan.rules.size(), "parameter") + ", " + counted(uses, "sent value");
    if (!plan.ambiguous.empty()) {
        text += ", " + std::to_string(plan.ambiguous.size()) + " ambiguous";
    }
    text += "\n";
    for (const plan_rule &rule : plan.rules) {
        text += "\n" + rule.parameter + " = " + source_text(rule.source) + ", " +
                rows_text(rule.rows) + "\n";
        for (const pair_record *use : rule.uses) {
            text += use_text(*use);
            if (rule.rows.size() > 1) {
                text += " (row " + std::to_string(use->output.row) + ")";
            }
            text += "\n";
        }
    }
    if (!plan.ambiguous.empty()) {
        text += "\nAmbiguous: several sources returned the value with the same best grade\n";
        for (const pair_record *pair : plan.ambiguous) {
            text += use_text(*pair) + "\n";
            for (const output_site &candidate : pair->ambiguity.best_sources) {
                text += "    candidate " + source_text(candidate) + ", row " +
                        std::to_string(candidate.row) + "\n";
            }
        }
    }
    return text;
}

std::string plan_json(const report_heading &heading, const correlation_plan &plan) {
    ordered_json rules = ordered_json::array();
    for (const plan_rule &rule : plan.rules) {
        ordered_json uses = ordered_json::array();
        for (const pair_record *use : rule.uses) {
            uses.push_back(use_json(*use));
        }
        rules.push_back({{"parameter", display_text(rule.parameter)},
                         {"source", source_json(rule.source)},
                         {"rows", rule.rows},
                         {"uses", uses}});
    }
    ordered_json ambiguous = ordered_json::array();
    for (const pair_record *pair : plan.ambiguous) {
        ordered_json candidates = ordered_json::array();
        for (const output_site &candidate : pair->ambiguity.best_sources) {
            ordered_json source = source_json(candidate);
            source["row"] = candidate.row;
            candidates.push_back(source);
        }
        ordered_json entry = use_json(*pair);
        entry.erase("row");
        entry["candidates"] = candidates;
        ambiguous.push_back(entry);
    }
    ordered_json report = {{"format", static_cast<int>(REPORT_FORMAT_VERSION)},
                           {"command", heading.command},
                           {"query", heading.query},
                           {"weights_file", display_text(heading.weights_file)},
                           {"diagnostics", heading.diagnostics},
                           {"rules", rules},
                           {"ambiguous", ambiguous}};
    return report.dump(2) + "\n";
}

}  // namespace tokenweave_cli
