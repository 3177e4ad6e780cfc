#include "dump_command.h"

#include <string.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <nlohmann/json.hpp>
#include <vector>

#include "index/index_inspection.h"
#include "platlib/platlib.h"

namespace tokenweave_cli {

namespace {

using json = nlohmann::ordered_json;

// Index texts are bytes in whatever encoding the script used. Each byte is
// taken as the code point of the same value, so that the JSON output (ASCII,
// with \u00XX escapes) gives every byte back unchanged.
std::string bytes_as_code_points(const char *text) {
    std::string utf8;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p != '\0'; ++p) {
        if (*p < 0x80) {
            utf8 += static_cast<char>(*p);
        } else {
            utf8 += static_cast<char>(0xC0 | (*p >> 6));
            utf8 += static_cast<char>(0x80 | (*p & 0x3F));
        }
    }
    return utf8;
}

json text(const char *value) {
    return value != nullptr ? bytes_as_code_points(value) : "";
}

json base_name(const char *path) {
    return text(path != nullptr ? os_base_name(path) : nullptr);
}

json dump_files(const correlation_index *index) {
    json files = json::array();
    for (const action_file_t *file : index_files(index)) {
        files.push_back({{"index", file->index},
                         {"key", text(file->key)},
                         {"path", text(file->path)},
                         {"line_count", file->line_count}});
    }
    return files;
}

json dump_occurrence(const token_entry_tag *occurrence) {
    json cell = nullptr;
    if (occurrence->cell != nullptr) {
        cell = {{"grid", occurrence->cell->grid},
                {"row", occurrence->cell->row},
                {"column", occurrence->cell->column}};
    }
    return {{"direction", occurrence->direction},
            {"line", occurrence->line},
            {"file", base_name(occurrence->file)},
            {"call_code", occurrence->call_code},
            {"cell", cell},
            {"grid_repeat", occurrence->grid_repeat}};
}

json dump_tokens(const correlation_index *index) {
    json dumped = json::array();
    for (const token_instances_t *token : index_tokens(index)) {
        json occurrences = json::array();
        for (const token_entry_tag *occurrence : index_occurrences(token)) {
            occurrences.push_back(dump_occurrence(occurrence));
        }
        dumped.push_back({{"value", text(token->value)},
                          {"value_class", token->value_class},
                          {"length", token->length},
                          {"total_count", token->total_count},
                          {"literal_count", token->literal_count},
                          {"grid_count", token->grid_count},
                          {"input_count", token->input_count},
                          {"output_count", token->output_count},
                          {"occurrences", occurrences}});
    }
    return dumped;
}

json dump_locations(const correlation_index *index) {
    json locations = json::array();
    for (const auto &[key, newest] : index_locations(index)) {
        json chain = json::array();
        for (const token_entry_tag *occurrence = newest; occurrence != nullptr;
             occurrence = occurrence->same_handle_previous) {
            chain.push_back({{"value", text(occurrence->value)},
                             {"file", base_name(occurrence->file)},
                             {"line", occurrence->line}});
        }
        locations.push_back({{"key", text(key)}, {"chain", chain}});
    }
    return locations;
}

json dump_statements(const correlation_index *index) {
    json statements = json::array();
    for (const auto &[key, site] : index_statements(index)) {
        statements.push_back(
            {{"handle", text(key)}, {"file", text(site->file_name)}, {"line", site->line}});
    }
    return statements;
}

int run_dump(const project_options &options) {
    std::unique_ptr<CCorrelationAnalyser> analyser = build_analyser(options);
    if (!analyser) {
        return EXIT_ERROR;
    }
    const correlation_index *index = inspected_index(analyser.get());
    json dump = {{"files", dump_files(index)},
                 {"tokens", dump_tokens(index)},
                 {"locations", dump_locations(index)},
                 {"statements", dump_statements(index)}};
    std::cout << dump.dump(2, ' ', true) << '\n';
    std::cout.flush();
    if (!std::cout) {
        report_error("cannot write to standard output");
        return EXIT_ERROR;
    }
    return EXIT_REPORTED;
}

}  // namespace

void add_dump_command(CLI::App *app, project_options *options, int *exit_code) {
    CLI::App *dump = app->add_subcommand(
        "dump", "Build the index of PROJECT and print it as JSON on standard output");
    add_project_options(dump, options, false);
    dump->callback([options, exit_code]() { *exit_code = run_dump(*options); });
}

}  // namespace tokenweave_cli
