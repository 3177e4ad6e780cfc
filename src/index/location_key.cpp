#include "index/location_key.h"

#include <stdlib.h>
#include <string.h>

#include "index/chain_table.h"
#include "index/correlation_index.h"
#include "platlib/platlib.h"

namespace {

// Longest decimal form of an int, sign included.
enum { INT_DECIMAL_SIZE = 12 };

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

// While one action file alone files chains under a base name, its location
// keys hold just what its places hold, so they are not kept twice: the
// location table takes the base name's keys only from the moment a second
// file (or a path outside the project) files under it, starting with a copy
// of the first file's places.
void file_under_location_key(correlation_index *index, int base_name, const action_file_t *file,
                             int line, token_entry_tag *chain) {
    base_name_list *names = index->location_base_names;
    int filer = base_name_filer(names, base_name);
    if (file != nullptr && (filer == NO_FILER || filer == file->index)) {
        set_base_name_filer(names, base_name, file->index);
        return;
    }
    if (filer != SEVERAL_FILERS) {
        if (filer != NO_FILER && chain_table_copy_group(index->location_table, base_name,
                                                        index->place_table, filer) != 0) {
            return;  // memory ran out: the keys stay with the first file's places
        }
        set_base_name_filer(names, base_name, SEVERAL_FILERS);
    }
    chain_table_add(index->location_table, base_name, line, chain);
}

}  // namespace

token_entry_tag *chain_at_location_key(const correlation_index *index, int base_name, int line) {
    int filer = base_name_filer(index->location_base_names, base_name);
    if (filer >= 0) {
        return chain_table_get(index->place_table, filer, line);
    }
    return chain_table_get(index->location_table, base_name, line);
}

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
    int base_name = index->chain_file_base_name_number;
    if (file_path != index->chain_file_path) {
        file = find_action_file(index, file_path);
        const char *base_name_text = os_base_name(file_path);
        base_name = base_name_number(index->location_base_names, base_name_text);
        // Only a registered file is kept: its path lives as long as the index.
        if (file != nullptr) {
            index->chain_file_path = file_path;
            index->chain_file = file;
            index->chain_file_base_name = base_name_text;
            index->chain_file_base_name_number = base_name;
        }
    }
    location->file = file;
    location->base_name = base_name;
    location->line = line;
    if (file != nullptr) {
        chain_table_prefetch(index->place_table, file->index, line);
    }
}

void file_chain_location(correlation_index *index, chain_location *location,
                         token_entry_tag *chain) {
    if (location->file != nullptr) {
        chain_table_add(index->place_table, location->file->index, location->line, chain);
    }
    if (location->base_name >= 0) {
        file_under_location_key(index, location->base_name, location->file, location->line, chain);
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
        *chain = chain_table_get(index->place_table, file->index, line);
        if (*chain != nullptr) {
            return 0;
        }
    }
    // Any file of that base name could have filed the key.
    if (files_with_base_name_of(index, file_path) > 1) {
        return 0;
    }
    int base_name = find_base_name_number(index->location_base_names, os_base_name(file_path));
    *chain = chain_at_location_key(index, base_name, line);
    return 0;
}
