#include "index/record_arena.h"

#include <stdlib.h>
#include <string.h>

struct arena_block {
    arena_block *previous;
    // Keeps the space after the header aligned as the records need.
    alignas(alignof(void *)) char space[1];
};

namespace {

// Large enough that the blocks of a big index number a few thousand, small
// enough that a small project does not hold much it never uses.
const size_t BLOCK_SPACE = 256 * 1024;
// Requests larger than this get a block of their own, so a long value text
// does not leave most of a shared block unused.
const size_t OWN_BLOCK_THRESHOLD = BLOCK_SPACE / 8;
const size_t RECORD_ALIGNMENT = alignof(void *);

size_t aligned_size(size_t size) {
    return (size + RECORD_ALIGNMENT - 1) & ~(RECORD_ALIGNMENT - 1);
}

arena_block *new_block(size_t space) {
    return static_cast<arena_block *>(calloc(1, offsetof(arena_block, space) + space));
}

}  // namespace

void arena_init(record_arena *arena) {
    arena->blocks = nullptr;
    arena->next = nullptr;
    arena->end = nullptr;
}

void *arena_allocate(record_arena *arena, size_t size) {
    size_t needed = aligned_size(size == 0 ? 1 : size);
    if (needed < size) {
        return nullptr;  // the size wrapped around
    }
    if (needed > OWN_BLOCK_THRESHOLD) {
        if (needed > (size_t)-1 - offsetof(arena_block, space)) {
            return nullptr;
        }
        arena_block *own = new_block(needed);
        if (own == nullptr) {
            return nullptr;
        }
        // Kept behind the newest block so that block's free space stays in use.
        if (arena->blocks != nullptr) {
            own->previous = arena->blocks->previous;
            arena->blocks->previous = own;
        } else {
            arena->blocks = own;
        }
        return own->space;
    }
    if (arena->next == nullptr || static_cast<size_t>(arena->end - arena->next) < needed) {
        arena_block *block = new_block(BLOCK_SPACE);
        if (block == nullptr) {
            return nullptr;
        }
        block->previous = arena->blocks;
        arena->blocks = block;
        arena->next = block->space;
        arena->end = block->space + BLOCK_SPACE;
    }
    void *record = arena->next;
    arena->next += needed;
    return record;
}

char *arena_copy_text(record_arena *arena, const char *text, size_t length) {
    if (length + 1 == 0) {
        return nullptr;
    }
    char *copy = static_cast<char *>(arena_allocate(arena, length + 1));
    if (copy != nullptr) {
        memcpy(copy, text, length);
        copy[length] = '\0';
    }
    return copy;
}

void arena_release(record_arena *arena) {
    arena_block *block = arena->blocks;
    while (block != nullptr) {
        arena_block *previous = block->previous;
        free(block);
        block = previous;
    }
    arena_init(arena);
}
