#include "index/offer_queue.h"

#include <stdint.h>
#include <stdlib.h>

#include <new>

#include "containers/cgradedentity.h"

namespace {

// 4,096 records of 24 bytes: blocks below the size the C library maps on
// its own, few enough to list in a small table.
enum { RECORDS_PER_BLOCK_BITS = 12, RECORDS_PER_BLOCK = 1 << RECORDS_PER_BLOCK_BITS };
const uint32_t NO_RECORD = UINT32_MAX;

// A heap slot: the offer's queue grade beside its record's number. Ordered
// by the grade alone, as the entity heap orders its slots.
struct queued_offer {
    float grade;
    uint32_t record;

    bool operator<(const queued_offer &other) const { return grade < other.grade; }
};

// A record holds an offer, or while free the number of the next free one.
union offer_record {
    candidate_pair_t pair;
    uint32_t next_free;
};

}  // namespace

struct offer_queue {
    offer_queue() = default;
    ~offer_queue() {
        delete order;
        for (uint32_t i = 0; i < block_count; ++i) {
            free(blocks[i]);
        }
        free(blocks);
    }
    offer_queue(const offer_queue &) = delete;
    offer_queue &operator=(const offer_queue &) = delete;

    heap<queued_offer> *order = nullptr;  // null until offer_queue_order
    offer_record **blocks = nullptr;
    uint32_t block_count = 0;
    uint32_t block_slots = 0;   // entries blocks has room for
    uint32_t records_made = 0;  // records ever handed out; the rest of the last block is new
    uint32_t first_free = NO_RECORD;
};

namespace {

offer_record *record_at(const offer_queue *queue, uint32_t number) {
    return &queue->blocks[number >> RECORDS_PER_BLOCK_BITS][number & (RECORDS_PER_BLOCK - 1)];
}

// The number of a record for a new offer, adding a block when every record
// is in use; NO_RECORD when memory ran out.
uint32_t take_record(offer_queue *queue) {
    if (queue->first_free != NO_RECORD) {
        uint32_t number = queue->first_free;
        queue->first_free = record_at(queue, number)->next_free;
        return number;
    }
    if (queue->records_made == static_cast<uint32_t>(queue->block_count) * RECORDS_PER_BLOCK) {
        if (queue->block_count == UINT32_MAX >> RECORDS_PER_BLOCK_BITS) {
            return NO_RECORD;
        }
        if (queue->block_count == queue->block_slots) {
            uint32_t slots = queue->block_slots > 0 ? queue->block_slots * 2 : 16;
            void *larger = realloc(queue->blocks, sizeof(offer_record *) * slots);
            if (larger == nullptr) {
                return NO_RECORD;
            }
            queue->blocks = static_cast<offer_record **>(larger);
            queue->block_slots = slots;
        }
        offer_record *block =
            static_cast<offer_record *>(malloc(sizeof(offer_record) * RECORDS_PER_BLOCK));
        if (block == nullptr) {
            return NO_RECORD;
        }
        queue->blocks[queue->block_count++] = block;
    }
    return queue->records_made++;
}

void give_back_record(offer_queue *queue, uint32_t number) {
    record_at(queue, number)->next_free = queue->first_free;
    queue->first_free = number;
}

}  // namespace

offer_queue *offer_queue_create() {
    return new (std::nothrow) offer_queue();
}

void offer_queue_release(offer_queue *queue) {
    delete queue;
}

int offer_queue_push(offer_queue *queue, const candidate_pair_t &pair) {
    uint32_t number = take_record(queue);
    if (number == NO_RECORD) {
        return -1;
    }
    if (queue->order != nullptr) {
        try {
            // Room first: once it is there the insert cannot fail.
            queue->order->growIfFull();
        } catch (const std::bad_alloc &) {
            give_back_record(queue, number);
            return -1;
        }
        queue->order->insert(queued_offer{queue_grade(pair.grade), number});
    }
    record_at(queue, number)->pair = pair;
    return 0;
}

int offer_queue_order(offer_queue *queue) {
    if (queue->order != nullptr) {
        return 0;
    }
    // Nothing has left the queue yet, so the waiting offers are the records
    // handed out, in the order they were pushed. One slot more than them:
    // the heap grows when its last slot would be taken.
    uint32_t waiting = queue->records_made;
    try {
        queue->order = new heap<queued_offer>(waiting + 1);
    } catch (const std::bad_alloc &) {
        return -1;
    }
    for (uint32_t number = 0; number < waiting; ++number) {
        queue->order->insert(
            queued_offer{queue_grade(record_at(queue, number)->pair.grade), number});
    }
    return 0;
}

bool offer_queue_is_empty(const offer_queue *queue) {
    return offer_queue_count(queue) == 0;
}

size_t offer_queue_count(const offer_queue *queue) {
    return queue->order != nullptr ? queue->order->getCount() : 0;
}

const candidate_pair_t *offer_queue_top(offer_queue *queue) {
    if (offer_queue_is_empty(queue)) {
        return nullptr;
    }
    return &record_at(queue, queue->order->top().record)->pair;
}

void offer_queue_pop(offer_queue *queue) {
    if (offer_queue_is_empty(queue)) {
        return;
    }
    uint32_t number = queue->order->top().record;
    queue->order->removeTop();
    give_back_record(queue, number);
}

size_t offer_queue_record_capacity(const offer_queue *queue) {
    return static_cast<size_t>(queue->block_count) * RECORDS_PER_BLOCK;
}

size_t offer_queue_slot_capacity(const offer_queue *queue) {
    return queue->order != nullptr ? queue->order->getCapacity() : 0;
}
