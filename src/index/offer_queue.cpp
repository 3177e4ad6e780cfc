#include "index/offer_queue.h"

#include <stdint.h>
#include <stdlib.h>

namespace {

// 4,096 offers a block: blocks below the size the C library maps on its
// own, few enough to list in a small table.
enum { SLOTS_PER_BLOCK_BITS = 12, SLOTS_PER_BLOCK = 1 << SLOTS_PER_BLOCK_BITS };
const uint32_t MAX_BLOCKS = UINT32_MAX >> SLOTS_PER_BLOCK_BITS;

// The pairs' fields apart, so that an offer takes 20 bytes (12 in a 32-bit
// build) instead of a padded 24; its queue grade is worked out when
// compared.
struct offer_block {
    token_entry_tag *inputs[SLOTS_PER_BLOCK];
    token_entry_tag *outputs[SLOTS_PER_BLOCK];
    float grades[SLOTS_PER_BLOCK];
};

// An offer on its way through the heap, ordered by queue_grade alone (the
// smaller first), as the entity heap orders its slots.
struct offer_slot {
    token_entry_tag *input;
    token_entry_tag *output;
    float grade;
    float queue_grade;
};

}  // namespace

struct offer_queue {
    offer_block **blocks;
    uint32_t block_count;
    uint32_t block_slots;  // entries blocks has room for
    uint32_t count;        // slots in use, from the first: the heap once ordered
    bool ordered;
    candidate_pair_t top;  // what offer_queue_top last handed out
};

namespace {

offer_slot slot_at(const offer_queue *queue, uint32_t number) {
    const offer_block *block = queue->blocks[number >> SLOTS_PER_BLOCK_BITS];
    uint32_t at = number & (SLOTS_PER_BLOCK - 1);
    return offer_slot{block->inputs[at], block->outputs[at], block->grades[at],
                      queue_grade(block->grades[at])};
}

void put_slot(offer_queue *queue, uint32_t number, const offer_slot &slot) {
    offer_block *block = queue->blocks[number >> SLOTS_PER_BLOCK_BITS];
    uint32_t at = number & (SLOTS_PER_BLOCK - 1);
    block->inputs[at] = slot.input;
    block->outputs[at] = slot.output;
    block->grades[at] = slot.grade;
}

bool before(const offer_slot &a, const offer_slot &b) {
    return a.queue_grade < b.queue_grade;
}

// Room for one more slot: a new block when every slot is in use. False when
// memory ran out (nothing changes).
bool make_room(offer_queue *queue) {
    if (queue->count < queue->block_count * static_cast<uint64_t>(SLOTS_PER_BLOCK)) {
        return true;
    }
    if (queue->block_count == MAX_BLOCKS) {
        return false;
    }
    if (queue->block_count == queue->block_slots) {
        uint32_t slots = queue->block_slots > 0 ? queue->block_slots * 2 : 16;
        void *larger = realloc(queue->blocks, sizeof(offer_block *) * slots);
        if (larger == nullptr) {
            return false;
        }
        queue->blocks = static_cast<offer_block **>(larger);
        queue->block_slots = slots;
    }
    offer_block *block = static_cast<offer_block *>(malloc(sizeof(offer_block)));
    if (block == nullptr) {
        return false;
    }
    queue->blocks[queue->block_count++] = block;
    return true;
}

// Lets the slot at position rise above larger parents; an equal parent stays
// above, so equal offers keep the order they arrived in on the path to the
// root.
void rise(offer_queue *queue, uint32_t position) {
    offer_slot arriving = slot_at(queue, position);
    while (position > 0) {
        uint32_t parent = (position - 1) / 2;
        if (!before(arriving, slot_at(queue, parent))) {
            break;
        }
        put_slot(queue, position, slot_at(queue, parent));
        position = parent;
    }
    put_slot(queue, position, arriving);
}

// Moves the last slot into the emptied root: the gap follows the smaller
// children all the way down and the slot then climbs back from there, which
// places equal grades exactly where the entity heap places them.
void close_gap_at_top(offer_queue *queue) {
    uint32_t count = --queue->count;
    offer_slot sinking = slot_at(queue, count);
    uint32_t gap = 0;
    for (;;) {
        uint64_t child = 2 * static_cast<uint64_t>(gap) + 1;
        if (child >= count) {
            break;
        }
        uint32_t smaller = static_cast<uint32_t>(child);
        if (child + 1 < count && before(slot_at(queue, smaller + 1), slot_at(queue, smaller))) {
            ++smaller;
        }
        put_slot(queue, gap, slot_at(queue, smaller));
        gap = smaller;
    }
    while (gap > 0) {
        uint32_t parent = (gap - 1) / 2;
        if (!before(sinking, slot_at(queue, parent))) {
            break;
        }
        put_slot(queue, gap, slot_at(queue, parent));
        gap = parent;
    }
    put_slot(queue, gap, sinking);
}

}  // namespace

offer_queue *offer_queue_create() {
    offer_queue *queue = static_cast<offer_queue *>(calloc(1, sizeof(offer_queue)));
    return queue;
}

void offer_queue_release(offer_queue *queue) {
    if (queue == nullptr) {
        return;
    }
    for (uint32_t i = 0; i < queue->block_count; ++i) {
        free(queue->blocks[i]);
    }
    free(queue->blocks);
    free(queue);
}

int offer_queue_push(offer_queue *queue, const candidate_pair_t &pair) {
    if (!make_room(queue)) {
        return -1;
    }
    uint32_t position = queue->count++;
    put_slot(queue, position, offer_slot{pair.input, pair.output, pair.grade, 0.0f});
    if (queue->ordered) {
        rise(queue, position);
    }
    return 0;
}

int offer_queue_order(offer_queue *queue) {
    if (queue->ordered) {
        return 0;
    }
    // Nothing has left the queue yet: the slots in use are the waiting
    // offers in the order they were pushed, and the ones before each form
    // the heap it arrives in.
    for (uint32_t position = 1; position < queue->count; ++position) {
        rise(queue, position);
    }
    queue->ordered = true;
    return 0;
}

bool offer_queue_is_empty(const offer_queue *queue) {
    return offer_queue_count(queue) == 0;
}

size_t offer_queue_count(const offer_queue *queue) {
    return queue->ordered ? queue->count : 0;
}

const candidate_pair_t *offer_queue_top(offer_queue *queue) {
    if (offer_queue_is_empty(queue)) {
        return nullptr;
    }
    offer_slot top = slot_at(queue, 0);
    queue->top = candidate_pair_t{top.input, top.output, top.grade};
    return &queue->top;
}

void offer_queue_pop(offer_queue *queue) {
    if (offer_queue_is_empty(queue)) {
        return;
    }
    close_gap_at_top(queue);
}

size_t offer_queue_capacity(const offer_queue *queue) {
    return static_cast<size_t>(queue->block_count) * SLOTS_PER_BLOCK;
}

size_t offer_queue_block_slots() {
    return SLOTS_PER_BLOCK;
}
