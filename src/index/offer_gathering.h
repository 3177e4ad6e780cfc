// The gathering step of the correlation search, done in one pass per value.
//
// Every input occurrence of a value offers its best pair with the outputs
// recorded before its place (before the first occurrence of its file and
// line), nearest first among equal grades, when that pair grades above 0 and
// the input passes the gate: its gate grade at least min_grade. The value's
// last input is gated by its best pair, every other input by its pair with
// the nearest output before its place (see correlation_search.h). Only the
// first input of a file and line offers: the others at the same place share
// its candidates, and the search pairs the first.
//
// One forward walk over the value's occurrences links the candidate chains
// (each output to the output recorded before it, each offering input to the
// last output before its place) and grades, for each offering input, the
// outputs near it one by one and, of the outputs far from it, one per
// distinct output grade key (see output_grade_probe.h): far outputs with
// equal keys grade alike, and the nearest of them is the one a walk along
// the chain would pick. Offers are queued from the value's last input to its
// first, in the order a walk from the end of the list meets them.

#ifndef TOKENWEAVE_INDEX_OFFER_GATHERING_H
#define TOKENWEAVE_INDEX_OFFER_GATHERING_H

#include <stdint.h>

#include "heuristics/output_grade_probe.h"
#include "index/correlation_index.h"
#include "index/offer_queue.h"
#include "index/pair_grader.h"

struct seen_output {
    token_entry_tag *occurrence;
    int sequence;           // position among the value's occurrences
    int previous_same_key;  // index of the previous seen output with the same key, or -1
    uint64_t key;
    // Its grid frequency and grid row values, when keyed: they read the output alone.
    float grid_frequency;
    float grid_row;
    // The first seen output it took off the unbeaten ones (see
    // offer_gathering.cpp), and the next one its taker took off; -1: none.
    int first_removed;
    int next_removed;
};

struct output_key_slot {
    uint64_t key;
    int latest;  // index of the newest seen output with this key; -1: free slot
};

struct input_offer {
    token_entry_tag *input;
    token_entry_tag *best;  // null when no pair grades above 0
    float grade;
    float nearest_gate;  // grade of the nearest output before the place, 0 at least
    int linked;          // an output lies before the input's place
    int offers;          // first input of its place
};

// Working memory reused from one value to the next; zero-initialise it and
// release it when the search ends.
struct offer_scratch {
    seen_output *outputs;
    int output_count;
    int output_capacity;
    output_key_slot *slots;
    int slot_capacity;  // a power of two, or 0
    int *used_slots;
    int key_count;
    // Seen outputs, one per key at most, that no later output outgrades.
    int *unbeaten;
    int unbeaten_count;
    int unbeaten_capacity;
    input_offer *offers;
    int offer_count;
    int offer_capacity;
};

// Gathers the offers of one value into queue. probe null: every earlier
// output is graded. 0, or -1 when memory ran out.
int gather_value_offers(pair_grader *grader, token_instances_t *instances,
                        const output_grade_probe *probe, float min_grade, offer_queue *queue,
                        offer_scratch *scratch);

void release_offer_scratch(offer_scratch *scratch);

#endif  // TOKENWEAVE_INDEX_OFFER_GATHERING_H
