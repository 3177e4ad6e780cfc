#include "hashkit/hashkit.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#if defined(__linux__)
#include <sys/mman.h>
#endif

// Every entry is the record followed by its key's bytes and, for entries
// added with a payload, the payload after them, so that a lookup finds the
// caller's record in the lines it already loaded to compare the key. Entries of usual
// sizes are carved from blocks the table owns and, once deleted, kept on a
// list of their size for the next add, so a table of a million keys costs a
// few hundred heap calls to fill and as many to close; longer entries are
// heap blocks of their own.
// A payload entry's value is its payload's address, so it keeps no value
// field: its key follows the record at once.
// Entries sit in the table-wide insertion-order list that enumeration walks;
// the table finds them through an open-addressed array of slots, each holding
// an entry's hash beside its address, so a lookup compares hashes within a
// cache line or two and touches an entry only when its hash matches.
struct ht_entry {
    ht_entry *order_prev;
    ht_entry *order_next;
    uint32_t hash;
    uint16_t size_class;     // ENTRY_GRAIN units taken from a block; 0: own heap block
    uint16_t holds_payload;  // value is room inside the entry, never released
    size_t key_length;
    // Then, in an entry without payload, the value; then the key's bytes;
    // then, in a payload entry, the payload.

    void **value_field() { return reinterpret_cast<void **>(this + 1); }
    char *key() {
        return reinterpret_cast<char *>(this + 1) + (holds_payload ? 0 : sizeof(void *));
    }
    void *value();
};

struct ht_slot {
    uint32_t hash;
    ht_entry *entry;  // null: the slot is free
};

struct ht_enumeration {
    ht_table *table;
    ht_entry *next;
};

struct ht_block {
    ht_block *previous;
};

enum { ENTRY_GRAIN = 16, SIZE_CLASSES = 17 };

struct ht_table {
    ht_slot *slots;
    size_t slot_count;  // a power of two, more than count and a seventh once grown
    int count;
    ht_entry *first;
    ht_entry *last;
    ht_release_function release;
    ht_enumeration enumeration;
    ht_block *blocks;  // newest first
    char *block_next;  // free space in the newest block
    char *block_end;
    size_t next_block_size;
    ht_entry *free_entries[SIZE_CLASSES];  // deleted entries by size class, linked by order_next
};

namespace {

const size_t MIN_SLOTS = 16;
// Blocks start small, so the many small tables cost little, and double up
// to the largest size.
const size_t FIRST_BLOCK_SIZE = 1024;
const size_t LARGEST_BLOCK_SIZE = 64 * 1024;
const int MAX_ENTRIES = 0x7fffffff;
// Payloads start at a multiple of this within their entry, and entries start
// at a multiple of it (blocks and heap blocks are aligned further).
const size_t PAYLOAD_ALIGNMENT = 8;

uint64_t load64(const char *bytes) {
    uint64_t word;
    memcpy(&word, bytes, sizeof word);
    return word;
}

uint64_t load32(const char *bytes) {
    uint32_t word;
    memcpy(&word, bytes, sizeof word);
    return word;
}

// One step of the key hash: every bit of the word reaches the high half of
// the product, and the rotation brings the high half back down for the next
// word.
uint64_t mix_word(uint64_t hash, uint64_t word) {
    const uint64_t MULTIPLIER = 0x9e3779b97f4a7c15u;
    const int ROTATION = 29;
    hash = (hash ^ word) * MULTIPLIER;
    return hash << ROTATION | hash >> (64 - ROTATION);
}

// Reads the key eight bytes at a time (a byte at a time, a lookup of a long
// value spent more on hashing it than on finding it). The last read may
// overlap the one before it; the length, mixed in first, keeps keys apart
// that would then read alike. The final steps spread every bit over the low
// bits the slot index takes.
uint32_t hash_key(const char *key, size_t length) {
    const uint64_t SEED = 0x2545f4914f6cdd1du;
    uint64_t hash = mix_word(SEED, length);
    if (length >= 8) {
        size_t offset = 0;
        for (; length - offset > 8; offset += 8) {
            hash = mix_word(hash, load64(key + offset));
        }
        hash = mix_word(hash, load64(key + length - 8));
    } else if (length >= 4) {
        hash = mix_word(hash, load32(key) << 32 | load32(key + length - 4));
    } else if (length > 0) {
        const unsigned char *bytes = reinterpret_cast<const unsigned char *>(key);
        hash = mix_word(
            hash, uint64_t{bytes[0]} << 16 | uint64_t{bytes[length / 2]} << 8 | bytes[length - 1]);
    }
    const uint64_t FINAL_MULTIPLIER = 0xff51afd7ed558ccdu;
    const int FINAL_SHIFT = 33;
    hash ^= hash >> FINAL_SHIFT;
    hash *= FINAL_MULTIPLIER;
    hash ^= hash >> FINAL_SHIFT;
    return static_cast<uint32_t>(hash);
}

#if defined(__linux__)
// Slot arrays from this size up are placed on huge pages where the system
// offers them: a lookup lands on a random slot, and in a table of a few
// hundred thousand keys that was mostly a page-table walk as well as a
// cache miss.
const size_t HUGE_PAGE_SIZE = 2 * 1024 * 1024;
#endif

// A zeroed slot array, or null when memory ran out. Release it with free.
ht_slot *allocate_slots(size_t count) {
#if defined(__linux__)
    size_t bytes = count * sizeof(ht_slot);
    if (bytes >= HUGE_PAGE_SIZE) {
        void *slots = nullptr;
        if (posix_memalign(&slots, HUGE_PAGE_SIZE, bytes) != 0) {
            return nullptr;
        }
        madvise(slots, bytes, MADV_HUGEPAGE);  // only advice: without it pages stay small
        memset(slots, 0, bytes);
        return static_cast<ht_slot *>(slots);
    }
#endif
    return static_cast<ht_slot *>(calloc(count, sizeof(ht_slot)));
}

size_t slot_count_for(int requested) {
    size_t count = MIN_SLOTS;
    while (requested > 0 && count < static_cast<size_t>(requested)) {
        count *= 2;
    }
    return count;
}

// The slot holding key, or the free slot where the probe for it ended.
size_t find_slot(const ht_table *table, const char *key, size_t length, uint32_t hash) {
    size_t mask = table->slot_count - 1;
    size_t index = hash & mask;
    for (;;) {
        const ht_slot &slot = table->slots[index];
        if (slot.entry == nullptr) {
            return index;
        }
        if (slot.hash == hash && slot.entry->key_length == length &&
            memcmp(slot.entry->key(), key, length) == 0) {
            return index;
        }
        index = (index + 1) & mask;
    }
}

// Doubles the slots. Without memory for them the table keeps its slots:
// lookups get slower, never wrong, and the table refuses new keys only when
// no slot would be left free.
void grow(ht_table *table) {
    size_t bigger_count = table->slot_count * 2;
    ht_slot *bigger = allocate_slots(bigger_count);
    if (bigger == nullptr) {
        return;
    }
    size_t mask = bigger_count - 1;
    for (ht_entry *entry = table->first; entry != nullptr; entry = entry->order_next) {
        size_t index = entry->hash & mask;
        while (bigger[index].entry != nullptr) {
            index = (index + 1) & mask;
        }
        bigger[index].hash = entry->hash;
        bigger[index].entry = entry;
    }
    free(table->slots);
    table->slots = bigger;
    table->slot_count = bigger_count;
}

// Empties the slot at index and moves later entries of its probe run back,
// so every entry stays reachable from its home slot without markers.
void free_slot(ht_table *table, size_t index) {
    size_t mask = table->slot_count - 1;
    size_t hole = index;
    size_t next = index;
    for (;;) {
        next = (next + 1) & mask;
        if (table->slots[next].entry == nullptr) {
            break;
        }
        size_t home = table->slots[next].hash & mask;
        // The entry stays when its home lies after the hole, up to where it is.
        bool stays = hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
        if (!stays) {
            table->slots[hole] = table->slots[next];
            hole = next;
        }
    }
    table->slots[hole].entry = nullptr;
    table->slots[hole].hash = 0;
}

// Where an entry's payload starts, counted from the entry.
size_t payload_offset(size_t key_length) {
    return (sizeof(ht_entry) + key_length + 1 + PAYLOAD_ALIGNMENT - 1) & ~(PAYLOAD_ALIGNMENT - 1);
}

// Room for an entry of size bytes, or null when memory ran out.
ht_entry *new_entry(ht_table *table, size_t size) {
    size_t size_class = (size + ENTRY_GRAIN - 1) / ENTRY_GRAIN;
    if (size_class >= SIZE_CLASSES) {
        ht_entry *own = static_cast<ht_entry *>(malloc(size));
        if (own != nullptr) {
            own->size_class = 0;
        }
        return own;
    }
    ht_entry *entry = table->free_entries[size_class];
    if (entry != nullptr) {
        table->free_entries[size_class] = entry->order_next;
        return entry;
    }
    size_t rounded = size_class * ENTRY_GRAIN;
    if (static_cast<size_t>(table->block_end - table->block_next) < rounded) {
        size_t block_size = table->next_block_size;
        ht_block *block = static_cast<ht_block *>(malloc(block_size));
        if (block == nullptr) {
            return nullptr;
        }
        block->previous = table->blocks;
        table->blocks = block;
        // Entries start one grain in, which keeps them aligned for pointers.
        table->block_next = reinterpret_cast<char *>(block) + ENTRY_GRAIN;
        table->block_end = reinterpret_cast<char *>(block) + block_size;
        if (table->next_block_size < LARGEST_BLOCK_SIZE) {
            table->next_block_size *= 2;
        }
    }
    entry = reinterpret_cast<ht_entry *>(table->block_next);
    table->block_next += rounded;
    entry->size_class = static_cast<uint16_t>(size_class);
    return entry;
}

// Frees an entry already out of the table, or keeps it for reuse.
void drop_entry(ht_table *table, ht_entry *entry) {
    if (entry->size_class == 0) {
        free(entry);
        return;
    }
    entry->order_next = table->free_entries[entry->size_class];
    table->free_entries[entry->size_class] = entry;
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

void *ht_entry::value() {
    return holds_payload ? reinterpret_cast<char *>(this) + payload_offset(key_length)
                         : *value_field();
}

ht_table *ht_open(int buckets) {
    return ht_open_ext(buckets, nullptr);
}

ht_table *ht_open_ext(int buckets, ht_release_function release) {
    ht_table *table = static_cast<ht_table *>(calloc(1, sizeof *table));
    if (table == nullptr) {
        return nullptr;
    }
    table->slot_count = slot_count_for(buckets);
    table->slots = allocate_slots(table->slot_count);
    if (table->slots == nullptr) {
        free(table);
        return nullptr;
    }
    table->release = release;
    table->enumeration.table = table;
    table->next_block_size = FIRST_BLOCK_SIZE;
    return table;
}

namespace {

// Adds key, known absent, with payload_size bytes of payload (none when 0)
// and the given value; a payload entry's value is its payload. The new
// entry, or null when memory ran out (nothing changes).
ht_entry *insert_entry(ht_table *table, const char *key, size_t length, uint32_t hash, size_t index,
                       void *value, size_t payload_size) {
    // Keeps an eighth of the slots free: a lookup that finds its key, the
    // usual one, still reads a cache line or two of hashes, and the largest
    // table, the index's values, is not up to twice the size it needs.
    if (static_cast<size_t>(table->count) + 1 > table->slot_count / 8 * 7) {
        grow(table);
        if (static_cast<size_t>(table->count) + 1 >= table->slot_count) {
            return nullptr;
        }
        index = find_slot(table, key, length, hash);
    }
    size_t offset =
        payload_size == 0 ? sizeof(ht_entry) + sizeof(void *) + length + 1 : payload_offset(length);
    if (payload_size > SIZE_MAX - offset) {
        return nullptr;
    }
    ht_entry *entry = new_entry(table, offset + payload_size);
    if (entry == nullptr) {
        return nullptr;
    }
    entry->key_length = length;
    entry->hash = hash;
    entry->holds_payload = payload_size != 0;
    memcpy(entry->key(), key, length + 1);
    if (payload_size != 0) {
        memset(reinterpret_cast<char *>(entry) + offset, 0, payload_size);
    } else {
        *entry->value_field() = value;
    }
    table->slots[index].hash = hash;
    table->slots[index].entry = entry;
    entry->order_prev = table->last;
    entry->order_next = nullptr;
    if (table->last != nullptr) {
        table->last->order_next = entry;
    } else {
        table->first = entry;
    }
    table->last = entry;
    ++table->count;
    return entry;
}

}  // namespace

int ht_add(ht_table *table, const char *key, void *value) {
    if (table == nullptr || key == nullptr || table->count == MAX_ENTRIES) {
        return -1;
    }
    size_t length = strlen(key);
    uint32_t hash = hash_key(key, length);
    size_t index = find_slot(table, key, length, hash);
    if (table->slots[index].entry != nullptr) {
        return 1;
    }
    return insert_entry(table, key, length, hash, index, value, 0) != nullptr ? 0 : -1;
}

void *ht_add_payload(ht_table *table, const char *key, size_t payload_size,
                     const char **stored_key) {
    if (table == nullptr || key == nullptr || payload_size == 0 || table->count == MAX_ENTRIES) {
        return nullptr;
    }
    size_t length = strlen(key);
    uint32_t hash = hash_key(key, length);
    size_t index = find_slot(table, key, length, hash);
    if (table->slots[index].entry != nullptr) {
        return nullptr;
    }
    ht_entry *entry = insert_entry(table, key, length, hash, index, nullptr, payload_size);
    if (entry == nullptr) {
        return nullptr;
    }
    if (stored_key != nullptr) {
        *stored_key = entry->key();
    }
    return entry->value();
}

void *ht_get(ht_table *table, const char *key) {
    if (table == nullptr || key == nullptr) {
        return nullptr;
    }
    size_t length = strlen(key);
    ht_entry *entry = table->slots[find_slot(table, key, length, hash_key(key, length))].entry;
    return entry != nullptr ? entry->value() : nullptr;
}

void **ht_value_of(ht_table *table, const char *key) {
    if (table == nullptr || key == nullptr) {
        return nullptr;
    }
    size_t length = strlen(key);
    ht_entry *entry = table->slots[find_slot(table, key, length, hash_key(key, length))].entry;
    return entry != nullptr && !entry->holds_payload ? entry->value_field() : nullptr;
}

void ht_prefetch(ht_table *table, const char *key) {
    if (table == nullptr || key == nullptr) {
        return;
    }
#if defined(__GNUC__)
    size_t length = strlen(key);
    __builtin_prefetch(&table->slots[hash_key(key, length) & (table->slot_count - 1)]);
#endif
}

int ht_delete(ht_table *table, const char *key) {
    if (table == nullptr || key == nullptr) {
        return -1;
    }
    size_t length = strlen(key);
    size_t index = find_slot(table, key, length, hash_key(key, length));
    ht_entry *entry = table->slots[index].entry;
    if (entry == nullptr) {
        return -1;
    }
    free_slot(table, index);
    unlink_order(table, entry);
    --table->count;
    // The entry is out of the table before the release function runs, so a
    // release function that looks at the table sees it consistent.
    void *value = entry->value();
    bool released = table->release != nullptr && !entry->holds_payload;
    drop_entry(table, entry);
    if (released) {
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
        if (table->release != nullptr && !entry->holds_payload) {
            table->release(entry->value());
        }
        if (entry->size_class == 0) {
            free(entry);
        }
        entry = next;
    }
    ht_block *block = table->blocks;
    while (block != nullptr) {
        ht_block *previous = block->previous;
        free(block);
        block = previous;
    }
    free(table->slots);
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
    void *value = enumeration->next->value();
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
    return entry->value();
}
