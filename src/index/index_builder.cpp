#include "index/index_builder.h"

#include <mutex>

#include "hashkit/hashkit.h"
#include "index/analyser_access.h"
#include "index/location_key.h"
#include "index/recorder.h"
#include "index/scanner/scanner.h"
#include "model/keyword_table.h"

namespace {

// The scanner, the recorder's pending handle and the current analyser are
// module-wide, so two builds on two threads would record into each other's
// index: a second build waits for the first.
std::mutex index_building;

}  // namespace

correlation_index *build_correlation_index(CCorrelationAnalyser *analyser,
                                           const char *project_path) {
    std::lock_guard<std::mutex> building(index_building);
    correlation_index *index = create_index_tables();
    if (index == nullptr) {
        return nullptr;
    }
    set_current_analyser(analyser);
    ht_table *keywords = build_keyword_table();
    if (keywords == nullptr) {
        release_index(index);
        set_current_analyser(nullptr);
        return nullptr;
    }
    analyser_set_keywords(analyser, keywords);
    analyser_set_index(analyser, index);

    reset_recorder_state();
    load_project(analyser, index, project_path);
    if (analyser_is_odbc(analyser)) {
        run_odbc_post_pass(index);
    }
    set_current_analyser(nullptr);
    reset_scanner_condition();
    return index;
}

void run_odbc_post_pass(correlation_index *index) {
    ht_enumeration *sites = ht_enumerate_elements(index->statement_table);
    while (ht_enum_has_more_elements(sites)) {
        statement_site_t *site = static_cast<statement_site_t *>(ht_enum_next_element(sites));
        void *newest = ht_get(index->handle_table, statement_site_handle_key(site));
        if (newest == nullptr) {
            continue;  // an empty chain would answer like a missing key
        }
        add_chain_location(index, site->file_path, site->line,
                           static_cast<token_entry_tag *>(newest));
    }
}
