#include "index/location_key.h"

#include <stdlib.h>
#include <string.h>

#include "hashkit/hashkit.h"
#include "index/correlation_index.h"
#include "platlib/platlib.h"

namespace {

// Longest decimal form of an int, sign included.
enum { INT_DECIMAL_SIZE = 12 };

static_assert(PLACE_KEY_SIZE == 2 * INT_DECIMAL_SIZE + 2, "a place key holds two ints");

// Writes line in decimal at the end of digits (which has INT_DECIMAL_SIZE
// bytes) and returns where the text starts. Keys are formed for every
// executed statement, so this avoids the formatted-output machinery.
char *format_decimal(char *digits, int line) {
    char *start = digits + INT_DECIMAL_SIZE;
    // Negated as unsigned so that the smallest int does not overflow.
    unsigned int magnitude =
        line < 0 ? 0u - static_cast<unsigned int>(line) : static_cast<unsigned int>(line);
    do {
        *--start = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (line < 0) {
        *--start = '-';
    }
    return start;
}

// Appends the decimal form of number at out and returns the end of it.
char *append_decimal(char *out, int number) {
    char digits[INT_DECIMAL_SIZE];
    const char *text = format_decimal(digits, number);
    size_t length = static_cast<size_t>(digits + INT_DECIMAL_SIZE - text);
    memcpy(out, text, length);
    return out + length;
}

void format_place_key(char (&key)[PLACE_KEY_SIZE], int file_position, int line) {
    char *end = append_decimal(key, file_position);
    *end++ = ':';
    end = append_decimal(end, line);
    *end = '\0';
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

int format_base_name_key(location_key *key, const char *base_name, int line) {
    size_t name_length = strlen(base_name);
    char digits[INT_DECIMAL_SIZE];
    const char *number = format_decimal(digits, line);
    size_t number_length = static_cast<size_t>(digits + INT_DECIMAL_SIZE - number);
    size_t length = name_length + 1 + number_length;
    if (length < sizeof key->inline_text) {
        key->text = key->inline_text;
    } else {
        key->text = static_cast<char *>(malloc(length + 1));
        if (key->text == nullptr) {
            return -1;
        }
    }
    memcpy(key->text, base_name, name_length);
    key->text[name_length] = ':';
    memcpy(key->text + name_length + 1, number, number_length);
    key->text[length] = '\0';
    return 0;
}

}  // namespace

int location_key_format(location_key *key, const char *file_path, int line) {
    return format_base_name_key(key, os_base_name(file_path), line);
}

void location_key_release(location_key *key) {
    if (key->text != key->inline_text) {
        free(key->text);
    }
    key->text = nullptr;
}

void prepare_chain_location(correlation_index *index, const char *file_path, int line,
                            chain_location *location) {
    action_file_t *file = index->chain_file;
    const char *base_name = index->chain_file_base_name;
    if (file_path != index->chain_file_path) {
        file = find_action_file(index, file_path);
        base_name = os_base_name(file_path);
        // Only a registered file is kept: its path lives as long as the index.
        if (file != nullptr) {
            index->chain_file_path = file_path;
            index->chain_file = file;
            index->chain_file_base_name = base_name;
        }
    }
    location->keyed = format_base_name_key(&location->key, base_name, line) == 0;
    if (location->keyed) {
        ht_prefetch(index->location_table, location->key.text);
    }
    location->placed = file != nullptr;
    if (location->placed) {
        format_place_key(location->place, file->index, line);
        ht_prefetch(index->place_table, location->place);
    }
}

void file_chain_location(correlation_index *index, chain_location *location,
                         token_entry_tag *chain) {
    if (location->keyed) {
        ht_add(index->location_table, location->key.text, chain);
        location_key_release(&location->key);
        location->keyed = false;
    }
    if (location->placed) {
        ht_add(index->place_table, location->place, chain);
        location->placed = false;
    }
}

void add_chain_location(correlation_index *index, const char *file_path, int line,
                        token_entry_tag *chain) {
    chain_location location;
    prepare_chain_location(index, file_path, line, &location);
    file_chain_location(index, &location, chain);
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
