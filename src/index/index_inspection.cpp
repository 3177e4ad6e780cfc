#include "index/index_inspection.h"

#include <string.h>

#include <algorithm>

#include "containers/list.h"
#include "hashkit/hashkit.h"
#include "index/analyser_access.h"
#include "index/scanner/scanner.h"

namespace {

bool byte_order(const char *a, const char *b) {
    return strcmp(a, b) < 0;
}

template <typename Value>
std::vector<std::pair<const char *, const Value *>> sorted_entries(ht_table *table) {
    std::vector<std::pair<const char *, const Value *>> entries;
    ht_enumeration *enumeration = ht_enumerate_elements(table);
    while (ht_enum_has_more_elements(enumeration)) {
        const char *key = nullptr;
        void *value = ht_enum_next_entry(enumeration, &key);
        entries.emplace_back(key, static_cast<const Value *>(value));
    }
    std::sort(entries.begin(), entries.end(),
              [](const auto &a, const auto &b) { return byte_order(a.first, b.first); });
    return entries;
}

}  // namespace

correlation_index *inspected_index(CCorrelationAnalyser *analyser) {
    return analyser_index(analyser);
}

std::vector<const action_file_t *> index_files(const correlation_index *index) {
    std::vector<const action_file_t *> files;
    for (int i = 0; index->file_paths[i] != nullptr; ++i) {
        const action_file_t *file =
            find_action_file(const_cast<correlation_index *>(index), index->file_paths[i]);
        if (file != nullptr) {
            files.push_back(file);
        }
    }
    return files;
}

std::vector<const token_instances_t *> index_tokens(const correlation_index *index) {
    std::vector<const token_instances_t *> tokens;
    for (const auto &entry : sorted_entries<token_instances_t>(index->token_table)) {
        tokens.push_back(entry.second);
    }
    return tokens;
}

std::vector<const token_entry_tag *> index_occurrences(const token_instances_t *token) {
    std::vector<const token_entry_tag *> occurrences;
    for (list_node *position = list_head(token->occurrences); position != nullptr;
         position = position->next) {
        occurrences.push_back(static_cast<const token_entry_tag *>(position->data));
    }
    return occurrences;
}

std::vector<std::pair<const char *, const token_entry_tag *>> index_locations(
    const correlation_index *index) {
    return sorted_entries<token_entry_tag>(index->location_table);
}

std::vector<std::pair<const char *, const statement_site_t *>> index_statements(
    const correlation_index *index) {
    return sorted_entries<statement_site_t>(index->statement_table);
}

void inspection_set_echo_stream(FILE *stream) {
    scanner_set_echo_stream(stream);
}
