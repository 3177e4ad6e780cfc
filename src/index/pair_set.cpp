#include "index/pair_set.h"

#include <stdint.h>
#include <stdlib.h>

namespace {

enum { INITIAL_CAPACITY = 64 };

size_t hash_pair(const token_entry_tag *input, const token_entry_tag *output) {
    uint64_t a = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(input));
    uint64_t b = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(output));
    uint64_t h = a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull + (a << 6) + (a >> 2));
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return static_cast<size_t>(h);
}

// The slot index of the pair, or of the free slot where it belongs.
size_t find_slot(const pair_set *set, const token_entry_tag *input, const token_entry_tag *output) {
    size_t mask = set->capacity - 1;
    size_t slot = hash_pair(input, output) & mask;
    while (set->slots[2 * slot] != nullptr &&
           (set->slots[2 * slot] != input || set->slots[2 * slot + 1] != output)) {
        slot = (slot + 1) & mask;
    }
    return slot;
}

int grow(pair_set *set) {
    pair_set grown;
    grown.capacity = set->capacity * 2;
    grown.count = set->count;
    grown.slots = static_cast<const token_entry_tag **>(
        calloc(2 * grown.capacity, sizeof(const token_entry_tag *)));
    if (grown.slots == nullptr) {
        return -1;
    }
    for (size_t i = 0; i < set->capacity; ++i) {
        const token_entry_tag *input = set->slots[2 * i];
        if (input != nullptr) {
            size_t slot = find_slot(&grown, input, set->slots[2 * i + 1]);
            grown.slots[2 * slot] = input;
            grown.slots[2 * slot + 1] = set->slots[2 * i + 1];
        }
    }
    free(set->slots);
    *set = grown;
    return 0;
}

}  // namespace

int pair_set_init(pair_set *set) {
    set->capacity = INITIAL_CAPACITY;
    set->count = 0;
    set->slots = static_cast<const token_entry_tag **>(
        calloc(2 * set->capacity, sizeof(const token_entry_tag *)));
    return set->slots != nullptr ? 0 : -1;
}

void pair_set_release(pair_set *set) {
    free(set->slots);
    set->slots = nullptr;
    set->capacity = 0;
    set->count = 0;
}

int pair_set_add(pair_set *set, const token_entry_tag *input, const token_entry_tag *output) {
    // Kept at most half full so that probes stay short.
    if (2 * (set->count + 1) > set->capacity && grow(set) != 0) {
        return -1;
    }
    size_t slot = find_slot(set, input, output);
    if (set->slots[2 * slot] == nullptr) {
        set->slots[2 * slot] = input;
        set->slots[2 * slot + 1] = output;
        ++set->count;
    }
    return 0;
}

bool pair_set_contains(const pair_set *set, const token_entry_tag *input,
                       const token_entry_tag *output) {
    if (input == nullptr || set->capacity == 0) {
        return false;
    }
    return set->slots[2 * find_slot(set, input, output)] != nullptr;
}
