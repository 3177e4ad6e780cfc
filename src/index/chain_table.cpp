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

struct chain_slot {
    int group;  // FREE_SLOT when the slot is free
    int line;
    token_entry_tag *chain;
};

}  // namespace

struct chain_table {
    chain_slot *slots;
    size_t slot_count;  // a power of two
    int count;
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
void grow(chain_table *table) {
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

}  // namespace

chain_table *chain_table_create() {
    chain_table *table = static_cast<chain_table *>(malloc(sizeof(chain_table)));
    if (table == nullptr) {
        return nullptr;
    }
    table->slots = new_slots(FIRST_SLOT_COUNT);
    table->slot_count = FIRST_SLOT_COUNT;
    table->count = 0;
    if (table->slots == nullptr) {
        free(table);
        return nullptr;
    }
    return table;
}

void chain_table_release(chain_table *table) {
    if (table != nullptr) {
        free(table->slots);
        free(table);
    }
}

int chain_table_add(chain_table *table, int group, int line, token_entry_tag *chain) {
    if (group < 0) {
        return -1;
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
    if (filled >= table->slot_count || table->count == INT32_MAX) {
        return -1;  // the last free slot ends every probe
    }
    table->slots[index] = chain_slot{group, line, chain};
    ++table->count;
    return 0;
}

void chain_table_prefetch(const chain_table *table, int group, int line) {
#if defined(__GNUC__)
    __builtin_prefetch(&table->slots[home_slot(group, line, table->slot_count)]);
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
    const chain_slot &slot = table->slots[find_slot(table->slots, table->slot_count, group, line)];
    return slot.group != FREE_SLOT ? slot.chain : nullptr;
}

int chain_table_count(const chain_table *table) {
    return table->count;
}

void chain_table_visit(const chain_table *table, void (*visit)(void *, const chain_table_entry &),
                       void *context) {
    for (size_t i = 0; i < table->slot_count; ++i) {
        const chain_slot &slot = table->slots[i];
        if (slot.group != FREE_SLOT) {
            visit(context, chain_table_entry{slot.group, slot.line, slot.chain});
        }
    }
}

int chain_table_copy_group(chain_table *target, int target_group, const chain_table *source,
                           int source_group) {
    for (size_t i = 0; i < source->slot_count; ++i) {
        const chain_slot &slot = source->slots[i];
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
