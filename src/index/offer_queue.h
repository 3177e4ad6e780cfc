// The correlation search's queue: every offer that waits to be written, best
// first.
//
// A search over a large project queues an offer for nearly every input
// occurrence (a quarter of a million at a million script lines) and writes a
// thousand of them. Each offer is one pair record in blocks the queue owns,
// reused as soon as the offer leaves, and the heap orders 8-byte slots: the
// offer's queue grade (queue_grade) and the number of its record. The heap is
// the one the queries rank their pairs with, fed the same grades in the same
// order, so offers of equal grade come out in the same order as from an
// entity queue.
//
// The offers gathered before the first is written wait as records only;
// offer_queue_order then puts them into a heap with room for just them, in
// the order they came, which is what inserting each as it came would have
// made. A heap grown by half while they came would hold a third more slots
// than needed, and its last growth both the old and the new slots at once.

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
// only; 0, or -1 when memory ran out (they keep waiting).
int offer_queue_order(offer_queue *queue);

// The heap's side: empty, top and pop see only offers in the heap.
bool offer_queue_is_empty(const offer_queue *queue);
size_t offer_queue_count(const offer_queue *queue);
// The best offer, or null when the heap is empty. Valid until the next push
// or pop.
const candidate_pair_t *offer_queue_top(offer_queue *queue);
// Takes the best offer out; does nothing on an empty heap.
void offer_queue_pop(offer_queue *queue);

// Pair records the queue holds in its blocks, used or free: what the
// queue's high-water mark cost.
size_t offer_queue_record_capacity(const offer_queue *queue);
// Slots of the heap, 0 before offer_queue_order.
size_t offer_queue_slot_capacity(const offer_queue *queue);

#endif  // TOKENWEAVE_INDEX_OFFER_QUEUE_H
