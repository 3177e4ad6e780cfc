#include "report_formats.h"

#include <stdio.h>
#include <stdlib.h>

#include <map>
#include <tuple>

namespace tokenweave_cli {

namespace {

// Length of the UTF-8 sequence starting at text[i], or 0 when it is not one.
size_t utf8_sequence(const std::string &text, size_t i) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 0;
    if (length == 0 || i + length > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

bool is_utf8(const std::string &text) {
    for (size_t i = 0; i < text.size();) {
        size_t length = utf8_sequence(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

ordered_json number(float value) {
    return strtod(exact_float(value).c_str(), nullptr);
}

ordered_json optional_text(const std::string &text, bool known) {
    return known ? ordered_json(display_text(text)) : ordered_json(nullptr);
}

ordered_json output_json(const output_site &output) {
    bool placed = output.row_view.position > 0;
    return {{"file", display_text(output.file)},
            {"line", output.line},
            {"grid", output.grid},
            {"row", output.row},
            {"column", output.column},
            {"column_position", placed ? ordered_json(output.row_view.position) : nullptr},
            {"column_name", optional_text(output.column_name, placed)}};
}

std::string csv_field(const std::string &text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

}  // namespace

std::string display_text(const std::string &bytes) {
    if (is_utf8(bytes)) {
        return bytes;
    }
    std::string utf8;
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

std::string exact_float(float value) {
    char text[32];
    // Nine significant digits always read back as the same float; fewer
    // often do, and the shortest such text is the one shown.
    for (int digits = 1; digits <= 9; ++digits) {
        snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        // JSON readers take the text as a double first.
        if (strtof(text, nullptr) == value && static_cast<float>(strtod(text, nullptr)) == value) {
            break;
        }
    }
    return text;
}

ordered_json pair_json(const pair_record &pair) {
    ordered_json heuristics = ordered_json::array();
    for (int i = 0; i < pair.breakdown.part_count; ++i) {
        const grade_part_t &part = pair.breakdown.parts[i];
        heuristics.push_back({{"name", part.name},
                              {"score", number(part.score)},
                              {"weight", number(part.weight)},
                              {"contribution", number(part.contribution)}});
    }
    ordered_json ambiguity = {{"sources", pair.ambiguity.sources},
                              {"unique_best", pair.ambiguity.unique_best}};
    if (!pair.ambiguity.unique_best) {
        ordered_json best = ordered_json::array();
        for (const output_site &source : pair.ambiguity.best_sources) {
            best.push_back(output_json(source));
        }
        ambiguity["best_sources"] = best;
    }
    const input_site &input = pair.input;
    return {{"rank", pair.rank},
            {"grade", number(pair.grade)},
            {"value", display_text(pair.value)},
            {"input",
             {{"file", display_text(input.file)},
              {"line", input.line},
              {"call", optional_text(input.call, !input.call.empty())},
              {"handle", optional_text(input.handle, !input.handle.empty())}}},
            {"output", output_json(pair.output)},
            {"heuristics", heuristics},
            {"ambiguity", ambiguity}};
}

std::vector<std::vector<const pair_record *>> group_by_input(
    const std::vector<pair_record> &pairs) {
    std::vector<std::vector<const pair_record *>> groups;
    std::map<std::tuple<std::string, std::string, int>, size_t> group_of_input;
    for (const pair_record &pair : pairs) {
        auto key = std::make_tuple(pair.value, pair.input.path, pair.input.line);
        auto found = group_of_input.find(key);
        if (found == group_of_input.end()) {
            group_of_input.emplace(key, groups.size());
            groups.push_back({&pair});
        } else {
            groups[found->second].push_back(&pair);
        }
    }
    return groups;
}

std::string json_report(const report_heading &heading, const std::vector<pair_record> &pairs) {
    ordered_json entries = ordered_json::array();
    for (const auto &group : group_by_input(pairs)) {
        ordered_json entry = pair_json(*group.front());
        ordered_json more = ordered_json::array();
        for (size_t i = 1; i < group.size(); ++i) {
            more.push_back(pair_json(*group[i]));
        }
        entry["more_count"] = more.size();
        entry["more"] = more;
        entries.push_back(entry);
    }
    ordered_json report = {{"format", static_cast<int>(REPORT_FORMAT_VERSION)},
                           {"command", heading.command},
                           {"query", heading.query},
                           {"weights_file", display_text(heading.weights_file)},
                           {"diagnostics", heading.diagnostics},
                           {"found", heading.found},
                           {"pair_count", pairs.size()},
                           {"entries", entries}};
    return report.dump(2) + "\n";
}

std::string csv_report(const std::vector<pair_record> &pairs) {
    std::string csv =
        "rank,grade,value,input_file,input_line,input_call,input_handle,output_file,output_line,"
        "grid,row,column,column_position,column_name,ambiguous_sources,unique_best";
    for (int i = 0; i < ROOT_INPUT_COUNT; ++i) {
        std::string name = ROOT_INPUT_NAMES[i];
        csv += "," + name + "_score," + name + "_weight," + name + "_contribution";
    }
    csv += "\r\n";
    for (const pair_record &pair : pairs) {
        const output_site &output = pair.output;
        int position = output.row_view.position;
        std::vector<std::string> fields = {std::to_string(pair.rank),
                                           exact_float(pair.grade),
                                           pair.value,
                                           pair.input.file,
                                           std::to_string(pair.input.line),
                                           pair.input.call,
                                           pair.input.handle,
                                           output.file,
                                           std::to_string(output.line),
                                           std::to_string(output.grid),
                                           std::to_string(output.row),
                                           std::to_string(output.column),
                                           position > 0 ? std::to_string(position) : "",
                                           output.column_name,
                                           std::to_string(pair.ambiguity.sources),
                                           pair.ambiguity.unique_best ? "1" : "0"};
        for (int i = 0; i < pair.breakdown.part_count; ++i) {
            const grade_part_t &part = pair.breakdown.parts[i];
            fields.push_back(exact_float(part.score));
            fields.push_back(exact_float(part.weight));
            fields.push_back(exact_float(part.contribution));
        }
        for (size_t i = 0; i < fields.size(); ++i) {
            csv += (i == 0 ? "" : ",") + csv_field(fields[i]);
        }
        csv += "\r\n";
    }
    return csv;
}

}  // namespace tokenweave_cli
