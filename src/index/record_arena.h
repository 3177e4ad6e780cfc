// Arenas for the index's records: occurrences, grid cells, value records,
// value texts and list nodes are carved from large blocks that the index
// releases all at once, instead of one heap block each.
//
// A million-line project files millions of small records; allocated one by
// one they cost a heap call each to make, another to free, and leave the heap
// so fragmented that the first larger allocation after the release pays for
// merging them. Records live as long as the index, so nothing is freed alone.

#ifndef TOKENWEAVE_INDEX_RECORD_ARENA_H
#define TOKENWEAVE_INDEX_RECORD_ARENA_H

#include <stddef.h>

struct arena_block;

struct record_arena {
    arena_block *blocks;  // newest first
    char *next;           // free space in the newest block
    char *end;
};

// An empty arena: no block is taken before the first allocation.
void arena_init(record_arena *arena);

// size bytes aligned for any record holding pointers and ints, zero-filled,
// or null when memory ran out (the arena is unchanged).
void *arena_allocate(record_arena *arena, size_t size);

// A zero-terminated copy of the length bytes at text, or null.
char *arena_copy_text(record_arena *arena, const char *text, size_t length);

// Frees every block; the arena is empty again and every record it gave out
// is gone.
void arena_release(record_arena *arena);

#endif  // TOKENWEAVE_INDEX_RECORD_ARENA_H
