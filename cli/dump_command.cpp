#include "dump_command.h"

#include <string.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <nlohmann/json.hpp>
#include <vector>

#include "analyser/analyser_access.h"
#include "containers/list.h"
#include "index/correlation_index.h"
#include "index/recorder.h"
#include "platform/hashkit.h"
#include "platform/platlib.h"

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

bool byte_order(const char *a, const char *b) {
    return strcmp(a, b) < 0;
}

json dump_files(correlation_index *index) {
    json files = json::array();
    for (int i = 0; index->file_paths[i] != nullptr; ++i) {
        const action_file_t *file = find_action_file(index, index->file_paths[i]);
        if (file == nullptr) {
            continue;
        }
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

json dump_tokens(correlation_index *index) {
    std::vector<const token_instances_t *> tokens;
    ht_enumeration *values = ht_enumerate_elements(index->token_table);
    while (ht_enum_has_more_elements(values)) {
        tokens.push_back(static_cast<const token_instances_t *>(ht_enum_next_element(values)));
    }
    std::sort(tokens.begin(), tokens.end(),
              [](const token_instances_t *a, const token_instances_t *b) {
                  return byte_order(a->value, b->value);
              });
    json dumped = json::array();
    for (const token_instances_t *token : tokens) {
        json occurrences = json::array();
        for (list_node *position = list_head(token->occurrences); position != nullptr;
             position = position->next) {
            occurrences.push_back(dump_occurrence(static_cast<token_entry_tag *>(position->data)));
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

// Entries of a table with their keys, sorted by key byte by byte.
std::vector<std::pair<const char *, void *>> sorted_entries(ht_table *table) {
    std::vector<std::pair<const char *, void *>> entries;
    ht_enumeration *enumeration = ht_enumerate_elements(table);
    while (ht_enum_has_more_elements(enumeration)) {
        const char *key = nullptr;
        void *value = ht_enum_next_entry(enumeration, &key);
        entries.emplace_back(key, value);
    }
    std::sort(entries.begin(), entries.end(),
              [](const auto &a, const auto &b) { return byte_order(a.first, b.first); });
    return entries;
}

json dump_locations(correlation_index *index) {
    json locations = json::array();
    for (const auto &[key, value] : sorted_entries(index->location_table)) {
        json chain = json::array();
        for (const token_entry_tag *occurrence = static_cast<const token_entry_tag *>(value);
             occurrence != nullptr; occurrence = occurrence->same_handle_previous) {
            chain.push_back({{"value", text(occurrence->value)},
                             {"file", base_name(occurrence->file)},
                             {"line", occurrence->line}});
        }
        locations.push_back({{"key", text(key)}, {"chain", chain}});
    }
    return locations;
}

json dump_statements(correlation_index *index) {
    json statements = json::array();
    for (const auto &[key, value] : sorted_entries(index->statement_table)) {
        const statement_site_t *site = static_cast<const statement_site_t *>(value);
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
    correlation_index *index = analyser_index(analyser.get());
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
