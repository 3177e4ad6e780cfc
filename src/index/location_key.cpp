#include "index/location_key.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "hashkit/hashkit.h"
#include "index/correlation_index.h"
#include "platlib/platlib.h"

namespace {

// Room for two ints, a colon and the terminator.
enum { PLACE_KEY_SIZE = 24 };

void format_place_key(char (&key)[PLACE_KEY_SIZE], int file_position, int line) {
    snprintf(key, sizeof key, "%d:%d", file_position, line);
}

// Number of action files whose base name is that of file_path.
int files_with_base_name_of(const correlation_index *index, const char *file_path) {
    const char *base_name = os_base_name(file_path);
    int count = 0;
    for (int i = 0; index->file_paths[i] != nullptr; ++i) {
        if (strcmp(os_base_name(index->file_paths[i]), base_name) == 0) {
            ++count;
        }
    }
    return count;
}

}  // namespace

int location_key_format(location_key *key, const char *file_path, int line) {
    const char *base_name = os_base_name(file_path);
    int length = snprintf(key->inline_text, sizeof key->inline_text, "%s:%d", base_name, line);
    if (length < 0) {
        key->text = nullptr;
        return -1;
    }
    if (static_cast<size_t>(length) < sizeof key->inline_text) {
        key->text = key->inline_text;
        return 0;
    }
    key->text = static_cast<char *>(malloc(static_cast<size_t>(length) + 1));
    if (key->text == nullptr) {
        return -1;
    }
    snprintf(key->text, static_cast<size_t>(length) + 1, "%s:%d", base_name, line);
    return 0;
}

void location_key_release(location_key *key) {
    if (key->text != key->inline_text) {
        free(key->text);
    }
    key->text = nullptr;
}

void add_chain_location(correlation_index *index, const char *file_path, int line,
                        token_entry_tag *chain) {
    location_key key;
    if (location_key_format(&key, file_path, line) == 0) {
        ht_add(index->location_table, key.text, chain);
        location_key_release(&key);
    }
    action_file_t *file = find_action_file(index, file_path);
    if (file != nullptr) {
        char place[PLACE_KEY_SIZE];
        format_place_key(place, file->index, line);
        ht_add(index->place_table, place, chain);
    }
}

int find_chain_location(correlation_index *index, const char *file_path, int line,
                        token_entry_tag **chain) {
    *chain = nullptr;
    action_file_t *file = find_action_file(index, file_path);
    if (file != nullptr) {
        char place[PLACE_KEY_SIZE];
        format_place_key(place, file->index, line);
        *chain = static_cast<token_entry_tag *>(ht_get(index->place_table, place));
        if (*chain != nullptr) {
            return 0;
        }
    }
    // Any file of that base name could have filed the key.
    if (files_with_base_name_of(index, file_path) > 1) {
        return 0;
    }
    location_key key;
    if (location_key_format(&key, file_path, line) != 0) {
        return -1;
    }
    *chain = static_cast<token_entry_tag *>(ht_get(index->location_table, key.text));
    location_key_release(&key);
    return 0;
}
