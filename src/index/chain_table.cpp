#include "index/chain_table.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "hashkit/hashkit.h"

namespace {

const size_t FIRST_SLOT_COUNT = 1024;
const int FREE_SLOT = -1;
const int FIRST_NAME_SLOTS = 16;
const int BASE_NAME_BUCKETS = 64;

// Entries in order are kept in blocks of this many: below the size the C
// library maps on its own, and a small project's table takes one.
enum { ENTRIES_PER_BLOCK_BITS = 11, ENTRIES_PER_BLOCK = 1 << ENTRIES_PER_BLOCK_BITS };
const int FIRST_DIRECTORY_SLOTS = 16;
// A chain is published when its statement ends, a few lines after lines
// filed already: an entry of the newest group that goes at most this many
// entries back is put in its place; one further back, where moving the
// entries after it would cost more than hashing, goes to the table of
// entries out of order.
const int MAX_MOVED_ENTRIES = 64;

struct chain_slot {
    int group;  // FREE_SLOT when the slot is free
    int line;
    token_entry_tag *chain;
};

// Lines and chains apart, so that an entry takes 12 bytes (8 in a 32-bit
// build) instead of a padded 16.
struct ordered_block {
    int lines[ENTRIES_PER_BLOCK];
    token_entry_tag *chains[ENTRIES_PER_BLOCK];
};

// Where a group's entries start among the entries in order.
struct group_start {
    int group;
    int first;
};

// The entries filed out of order: an open-addressed table.
struct scattered_table {
    chain_slot *slots;  // null until the first entry
    size_t slot_count;  // a power of two
    int count;
};

}  // namespace

// The recorder files chains file by file and, within a file, nearly line by
// line: nearly every entry comes after the last one filed in (group, line)
// order, or a few entries before it in the same group. Those are kept in
// that order, with no free slots beside them, and found by binary search;
// the rest go into an open-addressed table. No key is in both: a key goes
// into the table only when it comes before the last entry in order by more
// than a few entries of its group, or belongs to an earlier group, and both
// stay true as entries are added.
struct chain_table {
    ordered_block **blocks;
    int block_count;
    int block_slots;  // entries blocks has room for
    int ordered_count;
    group_start *groups;  // one per group among the entries in order, ascending
    int group_count;
    int group_slots;
    scattered_table scattered;
};

struct base_name_list {
    ht_table *numbers;  // base name -> its number + 1
    char **texts;       // by number (owned)
    int *filers;        // by number
    int count;
    int slots;
};

namespace {

size_t home_slot(int group, int line, size_t slot_count) {
    uint64_t key =
        (static_cast<uint64_t>(static_cast<uint32_t>(group)) << 32) | static_cast<uint32_t>(line);
    uint64_t mixed = key * 0x9E3779B97F4A7C15ull;
    mixed ^= mixed >> 29;
    return static_cast<size_t>(mixed * 0xBF58476D1CE4E5B9ull >> 32) & (slot_count - 1);
}

// The slot holding (group, line), or the free slot where its probe ended.
size_t find_slot(const chain_slot *slots, size_t slot_count, int group, int line) {
    size_t mask = slot_count - 1;
    size_t index = home_slot(group, line, slot_count);
    while (slots[index].group != FREE_SLOT &&
           (slots[index].group != group || slots[index].line != line)) {
        index = (index + 1) & mask;
    }
    return index;
}

chain_slot *new_slots(size_t count) {
    chain_slot *slots = static_cast<chain_slot *>(malloc(sizeof(chain_slot) * count));
    if (slots != nullptr) {
        for (size_t i = 0; i < count; ++i) {
            slots[i].group = FREE_SLOT;
        }
    }
    return slots;
}

// Doubles the slots. Without memory for them the table keeps its slots:
// lookups get slower, never wrong, and the table refuses new entries only
// when no slot would be left free.
void grow(scattered_table *table) {
    if (table->slot_count > SIZE_MAX / 2 / sizeof(chain_slot)) {
        return;
    }
    size_t bigger_count = table->slot_count * 2;
    chain_slot *bigger = new_slots(bigger_count);
    if (bigger == nullptr) {
        return;
    }
    for (size_t i = 0; i < table->slot_count; ++i) {
        const chain_slot &slot = table->slots[i];
        if (slot.group != FREE_SLOT) {
            bigger[find_slot(bigger, bigger_count, slot.group, slot.line)] = slot;
        }
    }
    free(table->slots);
    table->slots = bigger;
    table->slot_count = bigger_count;
}

// As chain_table_add, for a key known to be absent from the entries in order.
int scattered_add(scattered_table *table, int group, int line, token_entry_tag *chain) {
    if (table->slots == nullptr) {
        table->slots = new_slots(FIRST_SLOT_COUNT);
        if (table->slots == nullptr) {
            return -1;
        }
        table->slot_count = FIRST_SLOT_COUNT;
    }
    size_t index = find_slot(table->slots, table->slot_count, group, line);
    if (table->slots[index].group != FREE_SLOT) {
        return 1;
    }
    // Grown at three quarters full, where probes stay short.
    size_t filled = static_cast<size_t>(table->count) + 1;
    if (filled * 4 > table->slot_count * 3) {
        grow(table);
        index = find_slot(table->slots, table->slot_count, group, line);
    }
    if (filled >= table->slot_count) {
        return -1;  // the last free slot ends every probe
    }
    table->slots[index] = chain_slot{group, line, chain};
    ++table->count;
    return 0;
}

token_entry_tag *scattered_get(const scattered_table *table, int group, int line) {
    if (table->slots == nullptr) {
        return nullptr;
    }
    const chain_slot &slot = table->slots[find_slot(table->slots, table->slot_count, group, line)];
    return slot.group != FREE_SLOT ? slot.chain : nullptr;
}

int line_at(const chain_table *table, int number) {
    return table->blocks[number >> ENTRIES_PER_BLOCK_BITS]->lines[number & (ENTRIES_PER_BLOCK - 1)];
}

token_entry_tag *chain_at(const chain_table *table, int number) {
    return table->blocks[number >> ENTRIES_PER_BLOCK_BITS]
        ->chains[number & (ENTRIES_PER_BLOCK - 1)];
}

// The numbers [*first, *end) of group's entries in order; false when it has
// none.
bool group_range(const chain_table *table, int group, int *first, int *end) {
    int low = 0;
    int high = table->group_count;
    while (low < high) {
        int middle = low + (high - low) / 2;
        if (table->groups[middle].group < group) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    if (low == table->group_count || table->groups[low].group != group) {
        return false;
    }
    *first = table->groups[low].first;
    *end = low + 1 < table->group_count ? table->groups[low + 1].first : table->ordered_count;
    return true;
}

// Where (group, line) is or would go among group's entries in order, as
// *position; true when it is there. False, with *position -1, when the group
// has no entries in order.
bool find_ordered(const chain_table *table, int group, int line, int *position) {
    int low = 0;
    int end = 0;
    *position = -1;
    if (!group_range(table, group, &low, &end)) {
        return false;
    }
    int high = end;
    while (low < high) {
        int middle = low + (high - low) / 2;
        if (line_at(table, middle) < line) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    *position = low;
    return low < end && line_at(table, low) == line;
}

int last_group(const chain_table *table) {
    return table->group_count > 0 ? table->groups[table->group_count - 1].group : -1;
}

// Whether (group, line) comes after every entry in order.
bool comes_last(const chain_table *table, int group, int line) {
    if (table->ordered_count == 0) {
        return true;
    }
    return group > last_group(table) ||
           (group == last_group(table) && line > line_at(table, table->ordered_count - 1));
}

// Makes room for one more element in an array of *slots elements holding
// count, doubling it when full. False when memory ran out (nothing changes).
bool room_for_one_more(void **array, int count, int *slots, size_t element_size) {
    if (count < *slots) {
        return true;
    }
    if (*slots > INT32_MAX / 2) {
        return false;
    }
    int larger_slots = *slots > 0 ? *slots * 2 : FIRST_DIRECTORY_SLOTS;
    void *larger = realloc(*array, element_size * static_cast<size_t>(larger_slots));
    if (larger == nullptr) {
        return false;
    }
    *array = larger;
    *slots = larger_slots;
    return true;
}

// Room for one more entry in order, and for a new group's start when
// new_group. False when memory ran out (nothing changes that matters).
bool room_for_entry(chain_table *table, bool new_group) {
    if (table->ordered_count == INT32_MAX - table->scattered.count) {
        return false;
    }
    if (new_group &&
        !room_for_one_more(reinterpret_cast<void **>(&table->groups), table->group_count,
                           &table->group_slots, sizeof(group_start))) {
        return false;
    }
    if (table->ordered_count >> ENTRIES_PER_BLOCK_BITS < table->block_count) {
        return true;
    }
    if (!room_for_one_more(reinterpret_cast<void **>(&table->blocks), table->block_count,
                           &table->block_slots, sizeof(ordered_block *))) {
        return false;
    }
    ordered_block *block = static_cast<ordered_block *>(malloc(sizeof(ordered_block)));
    if (block == nullptr) {
        return false;
    }
    table->blocks[table->block_count++] = block;
    return true;
}

void set_entry(chain_table *table, int number, int line, token_entry_tag *chain) {
    ordered_block *block = table->blocks[number >> ENTRIES_PER_BLOCK_BITS];
    block->lines[number & (ENTRIES_PER_BLOCK - 1)] = line;
    block->chains[number & (ENTRIES_PER_BLOCK - 1)] = chain;
}

// Appends (group, line), known to come last. 0, or -1 when memory ran out
// (nothing changes).
int append_ordered(chain_table *table, int group, int line, token_entry_tag *chain) {
    bool new_group = table->group_count == 0 || last_group(table) != group;
    if (!room_for_entry(table, new_group)) {
        return -1;
    }
    if (new_group) {
        table->groups[table->group_count++] = group_start{group, table->ordered_count};
    }
    set_entry(table, table->ordered_count++, line, chain);
    return 0;
}

// Puts an entry of the last group at position, moving the ones after it up.
// 0, or -1 when memory ran out (nothing changes).
int insert_ordered(chain_table *table, int position, int line, token_entry_tag *chain) {
    if (!room_for_entry(table, false)) {
        return -1;
    }
    for (int number = table->ordered_count; number > position; --number) {
        set_entry(table, number, line_at(table, number - 1), chain_at(table, number - 1));
    }
    set_entry(table, position, line, chain);
    ++table->ordered_count;
    return 0;
}

}  // namespace

chain_table *chain_table_create() {
    return static_cast<chain_table *>(calloc(1, sizeof(chain_table)));
}

void chain_table_release(chain_table *table) {
    if (table != nullptr) {
        for (int i = 0; i < table->block_count; ++i) {
            free(table->blocks[i]);
        }
        free(table->blocks);
        free(table->groups);
        free(table->scattered.slots);
        free(table);
    }
}

int chain_table_add(chain_table *table, int group, int line, token_entry_tag *chain) {
    if (group < 0) {
        return -1;
    }
    if (comes_last(table, group, line)) {
        return append_ordered(table, group, line, chain);
    }
    int position = 0;
    if (find_ordered(table, group, line, &position)) {
        return 1;
    }
    if (group == last_group(table) && table->ordered_count - position <= MAX_MOVED_ENTRIES) {
        return insert_ordered(table, position, line, chain);
    }
    if (table->ordered_count + table->scattered.count == INT32_MAX) {
        return -1;
    }
    return scattered_add(&table->scattered, group, line, chain);
}

void chain_table_prefetch(const chain_table *table, int group, int line) {
#if defined(__GNUC__)
    // Appending writes the newest block, which stays in the cache; only the
    // table of entries out of order is read at random.
    if (table->scattered.slots != nullptr) {
        __builtin_prefetch(
            &table->scattered.slots[home_slot(group, line, table->scattered.slot_count)]);
    }
#else
    (void)table;
    (void)group;
    (void)line;
#endif
}

token_entry_tag *chain_table_get(const chain_table *table, int group, int line) {
    if (group < 0) {
        return nullptr;
    }
    int position = 0;
    if (find_ordered(table, group, line, &position)) {
        return chain_at(table, position);
    }
    return scattered_get(&table->scattered, group, line);
}

int chain_table_count(const chain_table *table) {
    return table->ordered_count + table->scattered.count;
}

void chain_table_visit(const chain_table *table, void (*visit)(void *, const chain_table_entry &),
                       void *context) {
    for (int g = 0; g < table->group_count; ++g) {
        int end = g + 1 < table->group_count ? table->groups[g + 1].first : table->ordered_count;
        for (int number = table->groups[g].first; number < end; ++number) {
            visit(context, chain_table_entry{table->groups[g].group, line_at(table, number),
                                             chain_at(table, number)});
        }
    }
    const scattered_table &scattered = table->scattered;
    for (size_t i = 0; scattered.slots != nullptr && i < scattered.slot_count; ++i) {
        const chain_slot &slot = scattered.slots[i];
        if (slot.group != FREE_SLOT) {
            visit(context, chain_table_entry{slot.group, slot.line, slot.chain});
        }
    }
}

int chain_table_copy_group(chain_table *target, int target_group, const chain_table *source,
                           int source_group) {
    int first = 0;
    int end = 0;
    if (group_range(source, source_group, &first, &end)) {
        for (int number = first; number < end; ++number) {
            if (chain_table_add(target, target_group, line_at(source, number),
                                chain_at(source, number)) < 0) {
                return -1;
            }
        }
    }
    const scattered_table &scattered = source->scattered;
    for (size_t i = 0; scattered.slots != nullptr && i < scattered.slot_count; ++i) {
        const chain_slot &slot = scattered.slots[i];
        if (slot.group == source_group &&
            chain_table_add(target, target_group, slot.line, slot.chain) < 0) {
            return -1;
        }
    }
    return 0;
}

base_name_list *base_name_list_create() {
    base_name_list *names = static_cast<base_name_list *>(calloc(1, sizeof(base_name_list)));
    if (names == nullptr) {
        return nullptr;
    }
    names->numbers = ht_open(BASE_NAME_BUCKETS);
    if (names->numbers == nullptr) {
        free(names);
        return nullptr;
    }
    return names;
}

void base_name_list_release(base_name_list *names) {
    if (names == nullptr) {
        return;
    }
    ht_close(names->numbers);
    for (int i = 0; i < names->count; ++i) {
        free(names->texts[i]);
    }
    free(names->texts);
    free(names->filers);
    free(names);
}

int find_base_name_number(const base_name_list *names, const char *base_name) {
    void *found = ht_get(names->numbers, base_name);
    return found != nullptr ? static_cast<int>(reinterpret_cast<intptr_t>(found) - 1) : -1;
}

int base_name_number(base_name_list *names, const char *base_name) {
    int number = find_base_name_number(names, base_name);
    if (number >= 0) {
        return number;
    }
    if (names->count == names->slots) {
        if (names->slots > INT32_MAX / 2) {
            return -1;
        }
        int slots = names->slots > 0 ? names->slots * 2 : FIRST_NAME_SLOTS;
        void *larger = realloc(names->texts, sizeof(char *) * static_cast<size_t>(slots));
        if (larger == nullptr) {
            return -1;
        }
        names->texts = static_cast<char **>(larger);
        larger = realloc(names->filers, sizeof(int) * static_cast<size_t>(slots));
        if (larger == nullptr) {
            return -1;
        }
        names->filers = static_cast<int *>(larger);
        names->slots = slots;
    }
    size_t length = strlen(base_name);
    char *text = static_cast<char *>(malloc(length + 1));
    if (text == nullptr) {
        return -1;
    }
    memcpy(text, base_name, length + 1);
    number = names->count;
    if (ht_add(names->numbers, base_name,
               reinterpret_cast<void *>(static_cast<intptr_t>(number) + 1)) != 0) {
        free(text);
        return -1;
    }
    names->texts[number] = text;
    names->filers[number] = NO_FILER;
    ++names->count;
    return number;
}

const char *base_name_text(const base_name_list *names, int number) {
    return number >= 0 && number < names->count ? names->texts[number] : nullptr;
}

int base_name_filer(const base_name_list *names, int number) {
    return number >= 0 && number < names->count ? names->filers[number] : NO_FILER;
}

void set_base_name_filer(base_name_list *names, int number, int filer) {
    if (number >= 0 && number < names->count) {
        names->filers[number] = filer;
    }
}
