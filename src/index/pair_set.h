// A set of (input, output) occurrence pairs, by address. The correlation
// search asks it whether a pair was already written, so that the cost of the
// question does not grow with the number of pairs written.

#ifndef TOKENWEAVE_INDEX_PAIR_SET_H
#define TOKENWEAVE_INDEX_PAIR_SET_H

#include <stddef.h>

struct token_entry_tag;

struct pair_set {
    const token_entry_tag **slots;  // 2 per entry: input, output; null input = free
    size_t capacity;                // entries the slots hold, a power of two
    size_t count;
};

// An empty set. 0, or -1 when memory ran out.
int pair_set_init(pair_set *set);
void pair_set_release(pair_set *set);
// 0 when added (or already present), -1 when memory ran out.
int pair_set_add(pair_set *set, const token_entry_tag *input, const token_entry_tag *output);
bool pair_set_contains(const pair_set *set, const token_entry_tag *input,
                       const token_entry_tag *output);

#endif  // TOKENWEAVE_INDEX_PAIR_SET_H
