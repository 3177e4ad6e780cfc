#include "index/correlation_index.h"

#include <stdlib.h>
#include <string.h>

#include "hashkit/hashkit.h"
#include "index/chain_table.h"

namespace {

// file_paths starts with room for this many entries (terminator included)
// and doubles as the project grows.
enum { INITIAL_FILE_PATH_SLOTS = 64 };

void destroy_action_file(void *value) {
    action_file_t *file = static_cast<action_file_t *>(value);
    free(file->key);
    free(file->path);
    free(file);
}

}  // namespace

char *copy_text(const char *text) {
    size_t size = strlen(text) + 1;
    char *copy = static_cast<char *>(malloc(size));
    if (copy != nullptr) {
        memcpy(copy, text, size);
    }
    return copy;
}

token_entry_tag *new_token_entry() {
    token_entry_tag *entry = static_cast<token_entry_tag *>(malloc(sizeof(token_entry_tag)));
    if (entry == nullptr) {
        return nullptr;
    }
    entry->value = nullptr;
    entry->direction = DIRECTION_UNSET;
    entry->line = -1;
    entry->file = nullptr;
    entry->cell = nullptr;
    entry->same_handle_previous = nullptr;
    entry->next_candidate = nullptr;
    entry->call_code = -1;
    entry->mark = -1;
    entry->recorded_code = -1;
    entry->source_marker = -1;
    entry->grid_repeat = 0;
    entry->reserved = 0;
    return entry;
}

correlation_index *create_index_tables() {
    correlation_index *index = static_cast<correlation_index *>(calloc(1, sizeof *index));
    if (index == nullptr) {
        return nullptr;
    }
    arena_init(&index->records);
    index->token_table = ht_open(TOKEN_TABLE_BUCKETS);
    index->file_table = ht_open_ext(FILE_TABLE_BUCKETS, destroy_action_file);
    index->handle_table = ht_open(HANDLE_TABLE_BUCKETS);
    index->location_table = chain_table_create();
    index->statement_table = ht_open_ext(STATEMENT_TABLE_BUCKETS, free);
    index->stop_list = ht_open(STOP_LIST_BUCKETS);
    index->place_table = chain_table_create();
    index->location_base_names = base_name_list_create();
    index->chain_file_base_name_number = -1;
    index->file_paths = static_cast<char **>(calloc(INITIAL_FILE_PATH_SLOTS, sizeof(char *)));
    index->file_path_slots = INITIAL_FILE_PATH_SLOTS;
    if (index->token_table == nullptr || index->file_table == nullptr ||
        index->handle_table == nullptr || index->location_table == nullptr ||
        index->statement_table == nullptr || index->stop_list == nullptr ||
        index->place_table == nullptr || index->location_base_names == nullptr ||
        index->file_paths == nullptr) {
        release_index(index);
        return nullptr;
    }
    return index;
}

void release_index(correlation_index *index) {
    if (index == nullptr) {
        return;
    }
    ht_close(index->token_table);
    ht_close(index->file_table);
    ht_close(index->handle_table);
    chain_table_release(index->location_table);
    ht_close(index->statement_table);
    ht_close(index->stop_list);
    chain_table_release(index->place_table);
    base_name_list_release(index->location_base_names);
    arena_release(&index->records);
    free(index->grid_files);
    if (index->file_paths != nullptr) {
        for (int i = 0; index->file_paths[i] != nullptr; ++i) {
            free(index->file_paths[i]);
        }
        free(index->file_paths);
    }
    free(index);
}

token_instances_t *find_token_instances(correlation_index *index, const char *value) {
    if (index == nullptr || value == nullptr) {
        return nullptr;
    }
    return static_cast<token_instances_t *>(ht_get(index->token_table, value));
}

list_node **token_occurrences(correlation_index *index, const char *value) {
    token_instances_t *instances = find_token_instances(index, value);
    return instances != nullptr ? instances->occurrences : nullptr;
}

action_file_t *find_action_file(correlation_index *index, const char *path) {
    if (index == nullptr || path == nullptr) {
        return nullptr;
    }
    return static_cast<action_file_t *>(ht_get(index->file_table, path));
}

int action_file_count(const correlation_index *index) {
    int count = 0;
    while (index->file_paths[count] != nullptr) {
        ++count;
    }
    return count;
}

// Makes room for one more path and its terminator.
static int reserve_file_path_slot(correlation_index *index, int count) {
    if (count + 1 < index->file_path_slots) {
        return 0;
    }
    int slots = index->file_path_slots * 2;
    char **grown = static_cast<char **>(realloc(index->file_paths, sizeof(char *) * slots));
    if (grown == nullptr) {
        return -1;
    }
    for (int i = index->file_path_slots; i < slots; ++i) {
        grown[i] = nullptr;
    }
    index->file_paths = grown;
    index->file_path_slots = slots;
    return 0;
}

int register_action_file(correlation_index *index, const char *key, const char *path,
                         int line_count) {
    if (find_action_file(index, path) != nullptr) {
        return 1;
    }
    int count = action_file_count(index);
    if (reserve_file_path_slot(index, count) != 0) {
        return -1;
    }
    action_file_t *file = static_cast<action_file_t *>(malloc(sizeof(action_file_t)));
    char *key_copy = copy_text(key);
    char *path_copy = copy_text(path);
    char *listed_path = copy_text(path);
    if (file == nullptr || key_copy == nullptr || path_copy == nullptr || listed_path == nullptr) {
        free(file);
        free(key_copy);
        free(path_copy);
        free(listed_path);
        return -1;
    }
    file->index = count;
    file->key = key_copy;
    file->path = path_copy;
    file->line_count = line_count;
    if (ht_add(index->file_table, path, file) != 0) {
        destroy_action_file(file);
        free(listed_path);
        return -1;
    }
    index->file_paths[count] = listed_path;
    return 0;
}
