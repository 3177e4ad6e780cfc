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

#ifndef TOKENWEAVE_INDEX_OFFER_QUEUE_H
#define TOKENWEAVE_INDEX_OFFER_QUEUE_H

#include <stddef.h>

#include "index/candidate_report.h"

struct offer_queue;

// An empty queue with heap slots for capacity offers (it grows past them);
// null when memory ran out.
offer_queue *offer_queue_create(int capacity);
// Frees the queue and every offer still in it. Null is allowed.
void offer_queue_release(offer_queue *queue);

// Queues a copy of pair under queue_grade(pair.grade). 0, or -1 when memory
// ran out (nothing queued).
int offer_queue_push(offer_queue *queue, const candidate_pair_t &pair);
bool offer_queue_is_empty(const offer_queue *queue);
size_t offer_queue_count(const offer_queue *queue);
// The best offer, or null when the queue is empty. Valid until the next push
// or pop.
const candidate_pair_t *offer_queue_top(offer_queue *queue);
// Takes the best offer out; does nothing on an empty queue.
void offer_queue_pop(offer_queue *queue);
// Pair records the queue holds in its blocks, used or free: what the
// queue's high-water mark cost.
size_t offer_queue_record_capacity(const offer_queue *queue);

#endif  // TOKENWEAVE_INDEX_OFFER_QUEUE_H
