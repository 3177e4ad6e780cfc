#include "index/correlation_search.h"

#include <stdlib.h>
#include <string.h>

#include "containers/list.h"
#include "hashkit/hashkit.h"
#include "index/analyser_access.h"
#include "index/fetch_ahead.h"
#include "index/occurrence_lookup.h"
#include "index/offer_gathering.h"
#include "index/offer_queue.h"
#include "index/pair_ranking.h"
#include "platlib/messages.h"

namespace {

const float GATHERING_SHARE = 0.5f;

int file_order_of(correlation_index *index, const char *file) {
    action_file_t *action_file = find_action_file(index, file);
    return action_file != nullptr ? action_file->index : -1;
}

float grade_pair(CCorrelationAnalyser *analyser, token_instances_t *instances,
                 token_entry_tag *output, token_entry_tag *input) {
    return analyser_evaluate_token(analyser, instances, output, input);
}

void release_reported(reported_pairs *reported) {
    while (!list_is_empty(&reported->list)) {
        list_node *head = list_head(&reported->list);
        free(list_get(&reported->list, &head));
        list_remove(&reported->list, &head);
    }
    pair_set_release(&reported->written);
}

// Copies the written pair into the reported list and set.
int remember_reported(reported_pairs *reported, const candidate_pair_t *pair,
                      candidate_pair_t **copy_out) {
    candidate_pair_t *copy = new_candidate_pair(pair->grade, pair->input, pair->output);
    if (copy == nullptr) {
        return -1;
    }
    if (!list_add_first(&reported->list, copy)) {
        free(copy);
        return -1;
    }
    *copy_out = copy;
    return pair_set_add(&reported->written, pair->input, pair->output);
}

// The literal form of the gathering: every input occurrence, from the last
// recorded to the first, links its chain and offers its best pair. Kept for
// trees the shortcut cannot describe and to check the shortcut against.
int gather_value_offers_by_walks(CCorrelationAnalyser *analyser, correlation_index *index,
                                 token_instances_t *instances, float min_grade,
                                 const reported_pairs *reported, offer_queue *queue) {
    list_node **list = instances->occurrences;
    // The walks stop at links an earlier search left; unlinked, every search
    // gates as the first one on a fresh index. A chain never leaves its
    // value, so unlinking value by value is unlinking the whole index.
    for (list_node *p = list_head(list); p != nullptr; p = p->next) {
        static_cast<token_entry_tag *>(p->data)->next_candidate = nullptr;
    }
    list_node *position = *instances->last_position;
    while (position != nullptr) {
        token_entry_tag *input = static_cast<token_entry_tag *>(list_previous(list, &position));
        if (input->direction != DIRECTION_INPUT) {
            continue;
        }
        float gate = 0.0f;
        if (chain_candidates(analyser, index, input->value, input->file, input->line, &gate) == 0) {
            continue;
        }
        if (min_grade > gate) {
            continue;
        }
        candidate_pair_t pair;
        pick_best_pair(analyser, input, reported, &pair);
        if (pair.input != nullptr && offer_queue_push(queue, pair) != 0) {
            return -1;
        }
    }
    return 0;
}

bool gather_by_walks = false;

// Queues the input occurrences' first offers: every input occurrence whose
// gate grade is at least min_grade offers its best pair.
int gather_first_offers(CCorrelationAnalyser *analyser, correlation_index *index, float min_grade,
                        const reported_pairs *reported, offer_queue *queue) {
    output_grade_probe probe;
    bool have_probe = make_output_grade_probe(analyser_evaluator(analyser), &probe);
    offer_scratch scratch;
    memset(&scratch, 0, sizeof scratch);
    pair_grader grader;
    pair_grader_init(&grader, analyser);
    ht_enumeration *values = ht_enumerate_elements(index->token_table);
    int value_count = ht_enum_count(values);
    int examined = 0;
    int result = 0;
    while (result == 0 && ht_enum_has_more_elements(values)) {
        token_instances_t *instances =
            static_cast<token_instances_t *>(ht_enum_next_element(values));
        ++examined;
        analyser_report_progress(analyser, static_cast<float>(examined) /
                                               static_cast<float>(value_count) * GATHERING_SHARE);
        result = gather_by_walks
                     ? gather_value_offers_by_walks(analyser, index, instances, min_grade, reported,
                                                    queue)
                     : gather_value_offers(&grader, instances, have_probe ? &probe : nullptr,
                                           min_grade, queue, &scratch);
    }
    release_offer_scratch(&scratch);
    return result;
}

// Writes the best pairs, each time offering the written input's next best.
int report_best_pairs(CCorrelationAnalyser *analyser, offer_queue *queue, int max_results,
                      reported_pairs *reported, FILE *report) {
    pair_rankings *rankings = pair_rankings_create();
    if (rankings == nullptr) {
        return -1;
    }
    int result = 0;
    report_lines lines;
    for (int written = 0; result == 0 && !offer_queue_is_empty(queue) && written < max_results;) {
        ++written;
        analyser_report_progress(
            analyser,
            static_cast<float>(written) / static_cast<float>(max_results) * GATHERING_SHARE +
                GATHERING_SHARE);
        candidate_pair_t *copy = nullptr;
        int remembered = remember_reported(reported, offer_queue_top(queue), &copy);
        offer_queue_pop(queue);
        if (remembered != 0) {
            result = -1;
            break;
        }
        report_pair_line(&lines, analyser, copy, report);
        candidate_pair_t next;
        int picked = 0;
        if (gather_by_walks) {
            pick_best_pair(analyser, copy->input, reported, &next);
        } else {
            picked = pick_next_ranked_pair(analyser, rankings, copy->input, reported, &next);
        }
        if (picked != 0 || (next.input != nullptr && offer_queue_push(queue, next) != 0)) {
            result = -1;
        }
    }
    pair_rankings_release(rankings);
    return result;
}

// Ends a run of outputs: each gets the run's length.
void close_run(list_node *run_start, int run_length) {
    list_node *position = run_start;
    for (int i = 0; i < run_length && position != nullptr; ++i, position = position->next) {
        static_cast<token_entry_tag *>(position->data)->grid_repeat = run_length;
    }
}

// Grid runs of one value's occurrence list: consecutive cells of one grid.
// The lists live all over the index, so each node is a cache miss; several
// lists are walked side by side so that their misses overlap. Every
// occurrence belongs to one list, so the order of the steps changes nothing.
struct run_walk {
    list_node *position;  // the next node to look at; null once the list is done
    list_node *run_start;
    int run_length;
    int run_grid;
};

enum { RUN_WALKS = 16 };

// Looks at the walk's next occurrence and fetches the one after it; false
// once the list is done (its last run is then closed).
bool step_run_walk(run_walk *walk) {
    list_node *position = walk->position;
    if (position == nullptr) {
        close_run(walk->run_start, walk->run_length);
        return false;
    }
    walk->position = position->next;
    if (walk->position != nullptr) {
        fetch_ahead(walk->position);
    }
    const token_entry_tag *occurrence = static_cast<const token_entry_tag *>(position->data);
    bool is_cell = occurrence->direction == DIRECTION_OUTPUT && occurrence->cell != nullptr;
    if (is_cell && walk->run_length > 0 && occurrence->cell->grid == walk->run_grid) {
        ++walk->run_length;
        return true;
    }
    close_run(walk->run_start, walk->run_length);
    walk->run_start = is_cell ? position : nullptr;
    walk->run_length = is_cell ? 1 : 0;
    walk->run_grid = is_cell ? occurrence->cell->grid : 0;
    return true;
}

// Takes the next values from the enumeration until walks has RUN_WALKS or
// the values run out, and starts a walk for each value a grid returned
// (runs are made of cells; most values only the script sends have none, and
// their lists need not be walked). Returns the number of walks.
int start_run_walks(ht_enumeration *values, run_walk *walks, int active) {
    token_instances_t *taken[RUN_WALKS];
    int count = 0;
    while (count < RUN_WALKS - active && ht_enum_has_more_elements(values)) {
        taken[count] = static_cast<token_instances_t *>(ht_enum_next_element(values));
        fetch_ahead(taken[count]);
        ++count;
    }
    for (int i = 0; i < count; ++i) {
        if (taken[i]->grid_count == 0) {
            continue;
        }
        list_node *head = list_head(taken[i]->occurrences);
        if (head != nullptr) {
            fetch_ahead(head);
        }
        walks[active++] = {head, nullptr, 0, 0};
    }
    return active;
}

}  // namespace

int chain_candidates(CCorrelationAnalyser *analyser, correlation_index *index, const char *token,
                     const char *file, int line, float *gate) {
    *gate = 0.0f;
    token_instances_t *instances = find_token_instances(index, token);
    if (instances == nullptr) {
        return 0;
    }
    token_entry_tag *input = find_input_occurrence(index, token, file, line);
    if (input == nullptr) {
        return 0;
    }
    input->next_candidate = nullptr;
    token_entry_tag *tail = input;
    list_node **list = instances->occurrences;
    list_node *position = nullptr;
    seek_before(list, &position, file, line);
    int input_order = file_order_of(index, input->file);

    int linked = 0;
    while (position != nullptr) {
        token_entry_tag *output = static_cast<token_entry_tag *>(list_previous(list, &position));
        if (output->direction != DIRECTION_OUTPUT ||
            file_order_of(index, output->file) > input_order) {
            continue;
        }
        linked = 1;
        float grade = grade_pair(analyser, instances, output, input);
        if (grade > *gate) {
            *gate = grade;
        }
        tail->next_candidate = output;
        if (output->next_candidate != nullptr) {
            break;  // a later input's walk linked the rest of the chain
        }
        tail = output;
    }
    return linked;
}

void pick_best_pair(CCorrelationAnalyser *analyser, token_entry_tag *input,
                    const reported_pairs *reported, candidate_pair_t *pair) {
    pair->input = nullptr;
    token_instances_t *instances = find_token_instances(analyser_index(analyser), input->value);
    if (instances == nullptr) {
        return;
    }
    float best_grade = 0.0f;
    token_entry_tag *best_output = nullptr;
    for (token_entry_tag *output = input->next_candidate; output != nullptr;
         output = output->next_candidate) {
        float grade = grade_pair(analyser, instances, output, input);
        if (grade > best_grade && !pair_set_contains(&reported->written, input, output)) {
            best_grade = grade;
            best_output = output;
        }
    }
    if (best_output != nullptr) {
        *pair = candidate_pair_t{input, best_output, best_grade};
    }
}

int find_correlations(CCorrelationAnalyser *analyser, correlation_index *index,
                      const char *report_path, float min_grade, int max_results) {
    FILE *report = open_report(report_path);
    if (report == nullptr) {
        return TOKENWEAVE_REPORT_NOT_WRITTEN;
    }
    offer_queue *queue = offer_queue_create();
    reported_pairs reported;
    reported.list = list_create();
    int set_ready = pair_set_init(&reported.written);
    if (queue == nullptr || set_ready != 0) {
        offer_queue_release(queue);
        release_reported(&reported);
        fclose(report);
        return TOKENWEAVE_FAILED;
    }

    int result = TOKENWEAVE_OK;
    if (gather_first_offers(analyser, index, min_grade, &reported, queue) != 0 ||
        offer_queue_order(queue) != 0) {
        result = TOKENWEAVE_FAILED;
    } else if (offer_queue_is_empty(queue)) {
        fprintf(report, "%s\n", load_message(MSG_SEARCH_FOUND_NOTHING));
        result = TOKENWEAVE_NOTHING_FOUND;
    } else if (report_best_pairs(analyser, queue, max_results, &reported, report) != 0) {
        result = TOKENWEAVE_FAILED;
    }
    offer_queue_release(queue);
    release_reported(&reported);
    if (!close_report(report, report_path) && result != TOKENWEAVE_FAILED) {
        return TOKENWEAVE_REPORT_NOT_WRITTEN;
    }
    return result;
}

void analyse_index(CCorrelationAnalyser *, correlation_index *index) {
    ht_enumeration *values = ht_enumerate_elements(index->token_table);
    run_walk walks[RUN_WALKS];
    int active = 0;
    for (;;) {
        while (active < RUN_WALKS && ht_enum_has_more_elements(values)) {
            active = start_run_walks(values, walks, active);
        }
        if (active == 0) {
            return;
        }
        // One step of each walk in turn: each step's node was fetched
        // while the other walks took theirs.
        for (int i = 0; i < active;) {
            if (step_run_walk(&walks[i])) {
                ++i;
            } else {
                walks[i] = walks[--active];
            }
        }
    }
}

void correlation_search_gather_by_walks(bool enabled) {
    gather_by_walks = enabled;
}
