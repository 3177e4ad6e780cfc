#include "index/offer_gathering.h"

#include <math.h>
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

// Skipping far outputs that cannot be an input's best pair.
//
// A far output's grade is the input's fixed shares and the output's two
// shares, value * weight / weight sum for its grid frequency and grid row,
// added in the root's fixed order. Rounding makes each step monotone: with
// finite nonzero factors a share never decreases (or, by the signs, never
// increases) as its value grows; a weight of 0 gives every finite value a
// share of 0 (either sign, which every later step treats alike); and x + s
// never decreases as x or s grows, except where infinities of both signs
// meet: then the lower sum becomes NaN or -inf, and stays so. So when
// output a lies after output b and each of a's values is at least b's in
// the way that raises the grade (NaN compares false: it never outgrades nor
// is outgraded), then for every input to which both are far, b grades no
// higher than a, or grades NaN or -inf. Either way b never wins: a ties it
// and is nearer, and a NaN or -inf is neither above 0 nor above the value's
// best grade. Grading b changes nothing.
//
// So the gathering keeps the unbeaten outputs: each output seen, until a
// later one outgrades it or has its key (bit-identical values: it grades
// alike and is nearer). An input grades the outputs that were unbeaten when
// its last far output was seen: the unbeaten ones up to it, and those taken
// off by a later (near) output. Each skipped far output was taken off by a
// far output, which is graded or was itself taken off by a later far one,
// and so on to one graded that is at least as high and nearer. The nearest
// output is never skipped: nothing after it is far.
enum share_order { SHARE_RAISES, SHARE_LOWERS, SHARE_ZERO };

struct far_grade_order {
    bool enabled;
    share_order frequency;
    share_order row;
};

share_order share_order_of(float weight, float weight_sum) {
    if (weight == 0.0f) {
        return SHARE_ZERO;
    }
    return (weight > 0.0f) == (weight_sum > 0.0f) ? SHARE_RAISES : SHARE_LOWERS;
}

far_grade_order far_grade_order_of(const pair_grader *grader, bool keyed) {
    far_grade_order order = {false, SHARE_ZERO, SHARE_ZERO};
    float frequency = grader->weights[INPUT_TOKEN_GRID_FREQUENCY];
    float row = grader->weights[INPUT_TOKEN_GRID_ROW];
    float sum = grader->weight_sum;
    if (!keyed || !grader->shortcut || !isfinite(frequency) || !isfinite(row) || !isfinite(sum) ||
        sum == 0.0f) {
        return order;
    }
    order.enabled = true;
    order.frequency = share_order_of(frequency, sum);
    order.row = share_order_of(row, sum);
    return order;
}

// Whether value a's share is at least value b's.
bool share_at_least(float a, float b, share_order order) {
    switch (order) {
        case SHARE_RAISES:
            return a >= b;
        case SHARE_LOWERS:
            return a <= b;
        case SHARE_ZERO:
            break;
    }
    return isfinite(a) && isfinite(b);
}

bool outgrades(const far_grade_order &order, const seen_output &later, const seen_output &earlier) {
    return share_at_least(later.grid_frequency, earlier.grid_frequency, order.frequency) &&
           share_at_least(later.grid_row, earlier.grid_row, order.row);
}

// Adds seen output index to the unbeaten outputs and takes off those it
// outgrades and the previous output of its key. False when memory ran out.
bool add_unbeaten(offer_scratch *scratch, const far_grade_order &order, int index) {
    seen_output *outputs = scratch->outputs;
    const seen_output &added = outputs[index];
    int kept = 0;
    for (int i = 0; i < scratch->unbeaten_count; ++i) {
        int other = scratch->unbeaten[i];
        if (outgrades(order, added, outputs[other]) || outputs[other].key == added.key) {
            outputs[other].next_removed = outputs[index].first_removed;
            outputs[index].first_removed = other;
        } else {
            scratch->unbeaten[kept++] = other;
        }
    }
    scratch->unbeaten_count = kept;
    if (!grow_array(reinterpret_cast<void **>(&scratch->unbeaten), &scratch->unbeaten_capacity,
                    kept + 1, sizeof(int))) {
        return false;
    }
    scratch->unbeaten[scratch->unbeaten_count++] = index;
    return true;
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

void grade_far_output(pair_grader *grader, token_instances_t *instances, const seen_output &output,
                      token_entry_tag *input, bool nearest, best_pair *best) {
    output_values values = {0.0f, output.grid_frequency, output.grid_row};
    float grade = grade_pair_given(grader, instances, output.occurrence, input, values);
    consider_grade(grade, output, nearest, best);
}

// Grades the first `before` seen outputs against input.
best_pair best_of_earlier_outputs(pair_grader *grader, token_instances_t *instances,
                                  const output_grade_probe *probe, const offer_scratch *scratch,
                                  token_entry_tag *input, int before, bool keyed,
                                  const far_grade_order &order) {
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
    if (order.enabled) {
        for (int u = 0; u < scratch->unbeaten_count; ++u) {
            int j = scratch->unbeaten[u];
            if (j <= last_far) {
                grade_far_output(grader, instances, outputs[j], input, j == nearest, &best);
            }
        }
        for (int taker = last_far + 1; taker < scratch->output_count; ++taker) {
            for (int j = outputs[taker].first_removed; j >= 0; j = outputs[j].next_removed) {
                if (j <= last_far) {
                    grade_far_output(grader, instances, outputs[j], input, j == nearest, &best);
                }
            }
        }
        return best;
    }
    for (int k = 0; k < scratch->key_count; ++k) {
        int j = scratch->slots[scratch->used_slots[k]].latest;
        while (j > last_far) {
            j = outputs[j].previous_same_key;
        }
        if (j >= 0) {
            grade_far_output(grader, instances, outputs[j], input, j == nearest, &best);
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
    far_grade_order order = far_grade_order_of(grader, keyed);
    scratch->unbeaten_count = 0;

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
            seen.first_removed = -1;
            seen.next_removed = -1;
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
                if (order.enabled && !add_unbeaten(scratch, order, scratch->output_count)) {
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
                                                 outputs_before_place, keyed, order);
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
        scratch->slot_capacity > SCRATCH_KEPT_ITEMS ||
        scratch->unbeaten_capacity > SCRATCH_KEPT_ITEMS) {
        release_offer_scratch(scratch);
    }
    return 0;
}

void release_offer_scratch(offer_scratch *scratch) {
    free(scratch->outputs);
    free(scratch->slots);
    free(scratch->used_slots);
    free(scratch->unbeaten);
    free(scratch->offers);
    memset(scratch, 0, sizeof *scratch);
}
