#include "hashkit/hashkit.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

// Every entry is one allocation: the record followed by its key's bytes.
// Entries sit in two lists at once: their bucket's chain, and the table-wide
// insertion-order list that enumeration walks.
struct ht_entry {
    ht_entry *chain_next;
    ht_entry *order_prev;
    ht_entry *order_next;
    void *value;
    uint32_t hash;
    size_t key_length;

    char *key() { return reinterpret_cast<char *>(this + 1); }
};

struct ht_enumeration {
    ht_table *table;
    ht_entry *next;
};

struct ht_table {
    ht_entry **buckets;
    size_t bucket_count;  // a power of two
    int count;
    ht_entry *first;
    ht_entry *last;
    ht_release_function release;
    ht_enumeration enumeration;
};

namespace {

const size_t MIN_BUCKETS = 16;
const int MAX_ENTRIES = 0x7fffffff;

uint32_t hash_key(const char *key, size_t length) {
    const uint32_t FNV_OFFSET = 2166136261u;
    const uint32_t FNV_PRIME = 16777619u;
    uint32_t hash = FNV_OFFSET;
    for (size_t i = 0; i < length; ++i) {
        hash ^= static_cast<unsigned char>(key[i]);
        hash *= FNV_PRIME;
    }
    return hash;
}

size_t bucket_count_for(int requested) {
    size_t count = MIN_BUCKETS;
    while (requested > 0 && count < static_cast<size_t>(requested)) {
        count *= 2;
    }
    return count;
}

// The address of the link that points at the entry holding key (or at null
// when there is none), so callers can both find and unlink.
ht_entry **find_link(ht_table *table, const char *key, size_t length, uint32_t hash) {
    ht_entry **link = &table->buckets[hash & (table->bucket_count - 1)];
    while (*link != nullptr) {
        ht_entry *entry = *link;
        if (entry->hash == hash && entry->key_length == length &&
            memcmp(entry->key(), key, length) == 0) {
            break;
        }
        link = &entry->chain_next;
    }
    return link;
}

// Doubles the buckets. Without memory for them the table keeps its current
// buckets: lookups get slower, never wrong.
void grow(ht_table *table) {
    size_t bigger_count = table->bucket_count * 2;
    ht_entry **bigger = static_cast<ht_entry **>(calloc(bigger_count, sizeof *bigger));
    if (bigger == nullptr) {
        return;
    }
    for (ht_entry *entry = table->first; entry != nullptr; entry = entry->order_next) {
        ht_entry **head = &bigger[entry->hash & (bigger_count - 1)];
        entry->chain_next = *head;
        *head = entry;
    }
    free(table->buckets);
    table->buckets = bigger;
    table->bucket_count = bigger_count;
}

void unlink_order(ht_table *table, ht_entry *entry) {
    if (entry->order_prev != nullptr) {
        entry->order_prev->order_next = entry->order_next;
    } else {
        table->first = entry->order_next;
    }
    if (entry->order_next != nullptr) {
        entry->order_next->order_prev = entry->order_prev;
    } else {
        table->last = entry->order_prev;
    }
}

}  // namespace

ht_table *ht_open(int buckets) {
    return ht_open_ext(buckets, nullptr);
}

ht_table *ht_open_ext(int buckets, ht_release_function release) {
    ht_table *table = static_cast<ht_table *>(calloc(1, sizeof *table));
    if (table == nullptr) {
        return nullptr;
    }
    table->bucket_count = bucket_count_for(buckets);
    table->buckets = static_cast<ht_entry **>(calloc(table->bucket_count, sizeof(ht_entry *)));
    if (table->buckets == nullptr) {
        free(table);
        return nullptr;
    }
    table->release = release;
    table->enumeration.table = table;
    return table;
}

int ht_add(ht_table *table, const char *key, void *value) {
    if (table == nullptr || key == nullptr || table->count == MAX_ENTRIES) {
        return -1;
    }
    size_t length = strlen(key);
    uint32_t hash = hash_key(key, length);
    ht_entry **link = find_link(table, key, length, hash);
    if (*link != nullptr) {
        return 1;
    }
    ht_entry *entry = static_cast<ht_entry *>(malloc(sizeof(ht_entry) + length + 1));
    if (entry == nullptr) {
        return -1;
    }
    memcpy(entry->key(), key, length + 1);
    entry->key_length = length;
    entry->hash = hash;
    entry->value = value;
    entry->chain_next = nullptr;
    *link = entry;
    entry->order_prev = table->last;
    entry->order_next = nullptr;
    if (table->last != nullptr) {
        table->last->order_next = entry;
    } else {
        table->first = entry;
    }
    table->last = entry;
    ++table->count;
    if (static_cast<size_t>(table->count) > table->bucket_count) {
        grow(table);
    }
    return 0;
}

void *ht_get(ht_table *table, const char *key) {
    if (table == nullptr || key == nullptr) {
        return nullptr;
    }
    size_t length = strlen(key);
    ht_entry *entry = *find_link(table, key, length, hash_key(key, length));
    return entry != nullptr ? entry->value : nullptr;
}

int ht_delete(ht_table *table, const char *key) {
    if (table == nullptr || key == nullptr) {
        return -1;
    }
    size_t length = strlen(key);
    ht_entry **link = find_link(table, key, length, hash_key(key, length));
    ht_entry *entry = *link;
    if (entry == nullptr) {
        return -1;
    }
    *link = entry->chain_next;
    unlink_order(table, entry);
    --table->count;
    // The entry is out of the table before the release function runs, so a
    // release function that looks at the table sees it consistent.
    void *value = entry->value;
    free(entry);
    if (table->release != nullptr) {
        table->release(value);
    }
    return 0;
}

void ht_close(ht_table *table) {
    if (table == nullptr) {
        return;
    }
    ht_entry *entry = table->first;
    while (entry != nullptr) {
        ht_entry *next = entry->order_next;
        if (table->release != nullptr) {
            table->release(entry->value);
        }
        free(entry);
        entry = next;
    }
    free(table->buckets);
    free(table);
}

int ht_count(ht_table *table) {
    return table != nullptr ? table->count : 0;
}

ht_enumeration *ht_enumerate_elements(ht_table *table) {
    if (table == nullptr) {
        return nullptr;
    }
    table->enumeration.next = table->first;
    return &table->enumeration;
}

int ht_enum_count(ht_enumeration *enumeration) {
    return enumeration != nullptr ? enumeration->table->count : 0;
}

int ht_enum_has_more_elements(ht_enumeration *enumeration) {
    return enumeration != nullptr && enumeration->next != nullptr;
}

void *ht_enum_next_element(ht_enumeration *enumeration) {
    if (enumeration == nullptr || enumeration->next == nullptr) {
        return nullptr;
    }
    void *value = enumeration->next->value;
    enumeration->next = enumeration->next->order_next;
    return value;
}

void *ht_enum_next_entry(ht_enumeration *enumeration, const char **key) {
    if (enumeration == nullptr || enumeration->next == nullptr) {
        if (key != nullptr) {
            *key = nullptr;
        }
        return nullptr;
    }
    ht_entry *entry = enumeration->next;
    if (key != nullptr) {
        *key = entry->key();
    }
    enumeration->next = entry->order_next;
    return entry->value;
}
