#include "index/offer_gathering.h"

#include <stdlib.h>
#include <string.h>

#include "containers/list.h"
#include "heuristics/ctokenheuristicevaluator.h"
#include "index/analyser_access.h"
#include "index/candidate_report.h"
#include "index/pair_grader.h"

namespace {

// Values with at most this many outputs are graded pair by pair; keeping
// the keys would cost more than it saves.
enum { GRADE_EVERY_OUTPUT_UP_TO = 32, INITIAL_SLOTS = 64 };
// Working arrays grown past this many items for a value with many
// occurrences are released when it is done: few values need them, and the
// queue, whose offers pile up until the gathering ends, takes over the
// memory instead of adding to it.
enum { SCRATCH_KEPT_ITEMS = 4096 };

bool grow_array(void **items, int *capacity, int needed, size_t item_size) {
    if (needed <= *capacity) {
        return true;
    }
    int grown = *capacity > 0 ? *capacity : 16;
    while (grown < needed) {
        grown *= 2;
    }
    void *larger = realloc(*items, item_size * static_cast<size_t>(grown));
    if (larger == nullptr) {
        return false;
    }
    *items = larger;
    *capacity = grown;
    return true;
}

size_t slot_of(uint64_t key, int capacity) {
    uint64_t h = key * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(h >> 20) & static_cast<size_t>(capacity - 1);
}

void clear_keys(offer_scratch *scratch) {
    for (int i = 0; i < scratch->key_count; ++i) {
        scratch->slots[scratch->used_slots[i]].latest = -1;
    }
    scratch->key_count = 0;
}

bool grow_slots(offer_scratch *scratch) {
    int capacity = scratch->slot_capacity > 0 ? scratch->slot_capacity * 2 : INITIAL_SLOTS;
    output_key_slot *slots =
        static_cast<output_key_slot *>(malloc(sizeof(output_key_slot) * capacity));
    int *used = static_cast<int *>(malloc(sizeof(int) * capacity));
    if (slots == nullptr || used == nullptr) {
        free(slots);
        free(used);
        return false;
    }
    for (int i = 0; i < capacity; ++i) {
        slots[i].latest = -1;
    }
    int key_count = 0;
    for (int i = 0; i < scratch->key_count; ++i) {
        const output_key_slot &old = scratch->slots[scratch->used_slots[i]];
        size_t slot = slot_of(old.key, capacity);
        while (slots[slot].latest >= 0) {
            slot = (slot + 1) & static_cast<size_t>(capacity - 1);
        }
        slots[slot] = old;
        used[key_count++] = static_cast<int>(slot);
    }
    free(scratch->slots);
    free(scratch->used_slots);
    scratch->slots = slots;
    scratch->used_slots = used;
    scratch->slot_capacity = capacity;
    return true;
}

// Files output index under its key; returns the index of the previous
// output with the same key, or -1. -2 when memory ran out.
int file_under_key(offer_scratch *scratch, uint64_t key, int index) {
    if (2 * (scratch->key_count + 1) > scratch->slot_capacity && !grow_slots(scratch)) {
        return -2;
    }
    size_t mask = static_cast<size_t>(scratch->slot_capacity - 1);
    size_t slot = slot_of(key, scratch->slot_capacity);
    while (scratch->slots[slot].latest >= 0 && scratch->slots[slot].key != key) {
        slot = (slot + 1) & mask;
    }
    output_key_slot &entry = scratch->slots[slot];
    int previous = -1;
    if (entry.latest >= 0) {
        previous = entry.latest;
    } else {
        entry.key = key;
        scratch->used_slots[scratch->key_count++] = static_cast<int>(slot);
    }
    entry.latest = index;
    return previous;
}

// The best pair of one input among candidate outputs, in any order: the
// highest grade above 0, and of equal grades the nearest output, which is
// what a walk along the chain from the input keeps.
// Also keeps the grade of the nearest output, which gates every input but
// the value's last (see offer_gathering.h).
struct best_pair {
    token_entry_tag *output = nullptr;
    float grade = 0.0f;
    int sequence = -1;
    float nearest_grade = 0.0f;
};

void consider_grade(float grade, const seen_output &candidate, bool nearest, best_pair *best) {
    if (nearest) {
        best->nearest_grade = grade;
    }
    if (grade > best->grade ||
        (best->output != nullptr && grade == best->grade && candidate.sequence > best->sequence)) {
        best->output = candidate.occurrence;
        best->grade = grade;
        best->sequence = candidate.sequence;
    }
}

// Grades the first `before` seen outputs against input.
best_pair best_of_earlier_outputs(pair_grader *grader, token_instances_t *instances,
                                  const output_grade_probe *probe, const offer_scratch *scratch,
                                  token_entry_tag *input, int before, bool keyed) {
    best_pair best;
    const seen_output *outputs = scratch->outputs;
    int nearest = before - 1;
    if (!keyed) {
        for (int i = nearest; i >= 0; --i) {
            float grade = grade_pair(grader, instances, outputs[i].occurrence, input);
            consider_grade(grade, outputs[i], i == nearest, &best);
        }
        return best;
    }
    // An output is near while its line distance value is not 0 (as
    // output_is_near tells); that value then also goes into its grade.
    int i = nearest;
    for (; i >= 0; --i) {
        const seen_output &output = outputs[i];
        float distance = probe->distance->Evaluate(*instances, *output.occurrence, *input);
        if (distance == 0.0f) {
            break;
        }
        output_values values = {distance, output.grid_frequency, output.grid_row};
        float grade = grade_pair_given(grader, instances, output.occurrence, input, values);
        consider_grade(grade, output, i == nearest, &best);
    }
    int last_far = i;
    for (int k = 0; k < scratch->key_count; ++k) {
        int j = scratch->slots[scratch->used_slots[k]].latest;
        while (j > last_far) {
            j = outputs[j].previous_same_key;
        }
        if (j >= 0) {
            const seen_output &output = outputs[j];
            output_values values = {0.0f, output.grid_frequency, output.grid_row};
            float grade = grade_pair_given(grader, instances, output.occurrence, input, values);
            consider_grade(grade, output, j == nearest, &best);
        }
    }
    return best;
}

}  // namespace

int gather_value_offers(pair_grader *grader, token_instances_t *instances,
                        const output_grade_probe *probe, float min_grade, offer_queue *queue,
                        offer_scratch *scratch) {
    scratch->output_count = 0;
    scratch->offer_count = 0;
    clear_keys(scratch);
    bool keyed = probe != nullptr && instances->output_count > GRADE_EVERY_OUTPUT_UP_TO;

    token_entry_tag *previous_output = nullptr;
    const char *place_file = nullptr;
    int place_line = 0;
    int outputs_before_place = 0;
    token_entry_tag *last_output_before_place = nullptr;
    bool place_has_offer = false;
    int sequence = 0;
    for (list_node *position = list_head(instances->occurrences); position != nullptr;
         position = position->next, ++sequence) {
        token_entry_tag *occurrence = static_cast<token_entry_tag *>(position->data);
        if (sequence == 0 || occurrence->file != place_file || occurrence->line != place_line) {
            place_file = occurrence->file;
            place_line = occurrence->line;
            outputs_before_place = scratch->output_count;
            last_output_before_place = previous_output;
            place_has_offer = false;
        }
        if (occurrence->direction == DIRECTION_OUTPUT) {
            occurrence->next_candidate = previous_output;
            previous_output = occurrence;
            if (!grow_array(reinterpret_cast<void **>(&scratch->outputs), &scratch->output_capacity,
                            scratch->output_count + 1, sizeof(seen_output))) {
                return -1;
            }
            seen_output &seen = scratch->outputs[scratch->output_count];
            seen.occurrence = occurrence;
            seen.sequence = sequence;
            seen.previous_same_key = -1;
            seen.key = 0;
            seen.grid_frequency = 0.0f;
            seen.grid_row = 0.0f;
            if (keyed) {
                // Neither heuristic reads the input; the output stands in.
                seen.grid_frequency =
                    probe->grid_frequency->Evaluate(*instances, *occurrence, *occurrence);
                seen.grid_row = probe->grid_row->Evaluate(*instances, *occurrence, *occurrence);
                seen.key = output_grade_key(*probe, *instances, *occurrence);
                seen.previous_same_key = file_under_key(scratch, seen.key, scratch->output_count);
                if (seen.previous_same_key == -2) {
                    return -1;
                }
            }
            ++scratch->output_count;
            continue;
        }
        if (!grow_array(reinterpret_cast<void **>(&scratch->offers), &scratch->offer_capacity,
                        scratch->offer_count + 1, sizeof(input_offer))) {
            return -1;
        }
        input_offer &offer = scratch->offers[scratch->offer_count++];
        offer.input = occurrence;
        offer.best = nullptr;
        offer.grade = 0.0f;
        offer.nearest_gate = 0.0f;
        offer.linked = outputs_before_place > 0;
        offer.offers = !place_has_offer;
        if (place_has_offer) {
            // Left from an earlier search; this input offers nothing.
            occurrence->next_candidate = nullptr;
            continue;
        }
        place_has_offer = true;
        occurrence->next_candidate = last_output_before_place;
        best_pair best = best_of_earlier_outputs(grader, instances, probe, scratch, occurrence,
                                                 outputs_before_place, keyed);
        offer.best = best.output;
        offer.grade = best.grade;
        if (best.nearest_grade > 0.0f) {
            offer.nearest_gate = best.nearest_grade;
        }
    }

    for (int i = scratch->offer_count - 1; i >= 0; --i) {
        const input_offer &offer = scratch->offers[i];
        bool last_input = i == scratch->offer_count - 1;
        float gate = last_input ? offer.grade : offer.nearest_gate;
        if (!offer.offers || !offer.linked || min_grade > gate || offer.best == nullptr) {
            continue;
        }
        if (offer_queue_push(queue, candidate_pair_t{offer.input, offer.best, offer.grade}) != 0) {
            return -1;
        }
    }
    if (scratch->output_capacity > SCRATCH_KEPT_ITEMS ||
        scratch->offer_capacity > SCRATCH_KEPT_ITEMS ||
        scratch->slot_capacity > SCRATCH_KEPT_ITEMS) {
        release_offer_scratch(scratch);
    }
    return 0;
}

void release_offer_scratch(offer_scratch *scratch) {
    free(scratch->outputs);
    free(scratch->slots);
    free(scratch->used_slots);
    free(scratch->offers);
    memset(scratch, 0, sizeof *scratch);
}
