// The correlation search's queue: every offer that waits to be written, best
// first.
//
// A search over a large project queues an offer for nearly every input
// occurrence (a quarter of a million at a million script lines) and writes a
// thousand of them. Each offer is one slot (the pair; its queue grade,
// queue_grade, is worked out when compared) in blocks the queue owns, and
// the slots themselves are the heap: no record apart from its slot, no array
// of slot numbers beside the records. The heap moves its slots exactly as
// the heap the queries rank their pairs with moves its own, fed the same
// grades in the same order, so offers of equal grade come out in the same
// order as from an entity queue.
//
// The offers gathered before the first is written wait in the order they
// came; offer_queue_order then lets each rise to its place in turn, which is
// what inserting each as it came would have done, in the slots they already
// occupy. The queue grows by a block at a time and never copies its slots,
// so its high-water mark is the offers it held at once and part of a block.

#ifndef TOKENWEAVE_INDEX_OFFER_QUEUE_H
#define TOKENWEAVE_INDEX_OFFER_QUEUE_H

#include <stddef.h>

#include "index/candidate_report.h"

struct offer_queue;

// An empty queue, not yet ordered; null when memory ran out.
offer_queue *offer_queue_create();
// Frees the queue and every offer still in it. Null is allowed.
void offer_queue_release(offer_queue *queue);

// Keeps a copy of pair: waiting, before offer_queue_order; in the heap under
// queue_grade(pair.grade) after it. 0, or -1 when memory ran out (nothing
// kept).
int offer_queue_push(offer_queue *queue, const candidate_pair_t &pair);
// Puts the waiting offers into the heap in the order they were pushed. Once
// only; needs no memory. 0.
int offer_queue_order(offer_queue *queue);

// The heap's side: empty, top and pop see only offers in the heap.
bool offer_queue_is_empty(const offer_queue *queue);
size_t offer_queue_count(const offer_queue *queue);
// The best offer, or null when the heap is empty. Valid until the next push
// or pop.
const candidate_pair_t *offer_queue_top(offer_queue *queue);
// Takes the best offer out; does nothing on an empty heap.
void offer_queue_pop(offer_queue *queue);

// Slots the queue holds in its blocks, used or free: what the queue's
// high-water mark cost.
size_t offer_queue_capacity(const offer_queue *queue);
// Slots a block holds: the capacity grows by this many at a time.
size_t offer_queue_block_slots();

#endif  // TOKENWEAVE_INDEX_OFFER_QUEUE_H
