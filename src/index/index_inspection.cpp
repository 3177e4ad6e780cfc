#include "index/index_inspection.h"

#include <string.h>

#include <algorithm>

#include "containers/list.h"
#include "hashkit/hashkit.h"
#include "index/analyser_access.h"
#include "index/chain_table.h"
#include "index/grid_loader.h"
#include "index/scanner/scanner.h"
#include "model/keyword_table.h"
#include "platlib/platlib.h"
#include "rowbank/rowbank.h"

namespace {

const char RESULT_DATA_PATTERN[] = "*.rdf";
enum { FIELD_AS_TEXT = 1 };

#if defined(_WIN32)
const char PATH_SEPARATOR[] = "\\";
#else
const char PATH_SEPARATOR[] = "/";
#endif

// The result-data file beside the action file, as the grid loader finds it;
// empty when there is none.
std::string result_data_file(const char *action_file) {
    std::vector<char> directory(strlen(action_file) + 1, '\0');
    os_get_dir_name(action_file, directory.data());
    std::string with_separator = std::string(directory.data()) + PATH_SEPARATOR;
    char found[GRID_PATH_SIZE];
    return find_first_file(RESULT_DATA_PATTERN, with_separator.c_str(), found) ? found : "";
}

void read_selected_grid(FI_GRID_HANDLE handle, inspected_grid *grid) {
    int column_count = 0;
    fiGridGetNumOfCols(handle, &column_count);
    for (int column = 0; column < column_count; ++column) {
        const char *name = nullptr;
        grid->header.push_back(fiGridGetColName(handle, column, &name) == 0 ? name : "");
    }
    for (int row = 0; fiGridReadRowRecord(handle, row) == 0; ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < column_count; ++column) {
            char *text = nullptr;
            cells.push_back(fiGridGetFieldPtr(handle, column, FIELD_AS_TEXT, &text) == 0
                                ? std::string(text)
                                : std::string());
        }
        grid->rows.push_back(std::move(cells));
    }
}

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

namespace {

struct location_listing {
    const base_name_list *base_names;
    // The base name number of each file whose places stand for its base
    // name's location keys, else -1; by position in the project.
    std::vector<int> keys_of_file;
    std::vector<std::pair<std::string, const token_entry_tag *>> *locations;
};

void add_listed_location(location_listing *listing, int base_name, const chain_table_entry &entry) {
    const char *text = base_name_text(listing->base_names, base_name);
    listing->locations->emplace_back(
        std::string(text != nullptr ? text : "") + ':' + std::to_string(entry.line), entry.chain);
}

void list_location(void *context, const chain_table_entry &entry) {
    location_listing *listing = static_cast<location_listing *>(context);
    if (base_name_filer(listing->base_names, entry.group) == SEVERAL_FILERS) {
        add_listed_location(listing, entry.group, entry);
    }
}

void list_place_as_location(void *context, const chain_table_entry &entry) {
    location_listing *listing = static_cast<location_listing *>(context);
    size_t file = static_cast<size_t>(entry.group);
    if (file < listing->keys_of_file.size() && listing->keys_of_file[file] >= 0) {
        add_listed_location(listing, listing->keys_of_file[file], entry);
    }
}

}  // namespace

std::vector<std::pair<std::string, const token_entry_tag *>> index_locations(
    const correlation_index *index) {
    std::vector<std::pair<std::string, const token_entry_tag *>> locations;
    location_listing listing = {index->location_base_names, {}, &locations};
    for (int i = 0; index->file_paths[i] != nullptr; ++i) {
        int base_name =
            find_base_name_number(listing.base_names, os_base_name(index->file_paths[i]));
        bool stands_for_keys = base_name_filer(listing.base_names, base_name) == i;
        listing.keys_of_file.push_back(stands_for_keys ? base_name : -1);
    }
    chain_table_visit(index->location_table, list_location, &listing);
    chain_table_visit(index->place_table, list_place_as_location, &listing);
    std::sort(locations.begin(), locations.end(), [](const auto &a, const auto &b) {
        return byte_order(a.first.c_str(), b.first.c_str());
    });
    return locations;
}

std::vector<std::pair<const char *, const statement_site_t *>> index_statements(
    const correlation_index *index) {
    return sorted_entries<statement_site_t>(index->statement_table);
}

void inspection_set_echo_stream(FILE *stream) {
    scanner_set_echo_stream(stream);
}

int inspect_grade(CCorrelationAnalyser *analyser, const token_instances_t &token,
                  const token_entry_tag &output, const token_entry_tag &input,
                  grade_breakdown_t *breakdown) {
    return break_down_grade(analyser_evaluator(analyser), token, output, input, breakdown);
}

const char *inspected_call_name(int call_code) {
    return keyword_call_name(call_code);
}

inspected_grid inspect_output_grid(const token_entry_tag &output, const char *grid_settings_path) {
    inspected_grid grid;
    if (output.cell == nullptr || output.file == nullptr) {
        return grid;
    }
    bool recordset = output.call_code == CALL_RECORDSET_XML;
    std::string source = recordset ? output.file : result_data_file(output.file);
    int grid_type = recordset ? FI_GRID_TYPE_RECORDSET : read_grid_type(grid_settings_path);
    FI_GRID_HANDLE handle = nullptr;
    if (source.empty() || fiGridOpenFile(&handle, grid_type, source.c_str()) != 0) {
        return grid;
    }
    if (fiGridOpenTable(handle, &handle, output.cell->grid) == 0) {
        grid.found = true;
        grid.source = source;
        read_selected_grid(handle, &grid);
    }
    fiGridCloseFile(&handle);
    return grid;
}

void inspection_set_pair_observer(pair_observer observer, void *context) {
    set_pair_observer(observer, context);
}
