#include "index/token_queries.h"

#include <stdlib.h>
#include <string.h>

#include "containers/list.h"
#include "hashkit/hashkit.h"
#include "index/analyser_access.h"
#include "index/candidate_report.h"
#include "index/fetch_ahead.h"
#include "index/location_key.h"
#include "index/occurrence_lookup.h"
#include "index/pair_grader.h"
#include "model/keyword_table.h"
#include "platlib/messages.h"
#include "platlib/platlib.h"

namespace {

const float PROGRESS_GATHERING = 0.1f;
const float PROGRESS_GATHERED = 0.5f;
const float PROGRESS_DONE = 1.0f;

enum { CURSOR_HEADER_SIZE = 8192 };

void free_provisional(token_entry_tag *occurrence) {
    free(const_cast<char *>(occurrence->value));
    free(const_cast<char *>(occurrence->file));
    free(occurrence);
}

// An input occurrence for a place where the index holds none, so a value
// seen only as output (or not at all) can still be asked about.
token_entry_tag *new_provisional_input(const char *token, const char *file, int line) {
    token_entry_tag *occurrence = new_token_entry();
    if (occurrence == nullptr) {
        return nullptr;
    }
    occurrence->value = copy_text(token);
    occurrence->file = copy_text(file);
    if (occurrence->value == nullptr || occurrence->file == nullptr) {
        free_provisional(occurrence);
        return nullptr;
    }
    occurrence->direction = DIRECTION_INPUT;
    occurrence->line = line;
    occurrence->call_code = CALL_STMT;
    return occurrence;
}

// Project position of an occurrence's file; consecutive occurrences mostly
// share their file, so the last answer is kept.
struct file_order_cache {
    const char *file;
    int order;
};

int file_order(correlation_index *index, file_order_cache *cache, const char *file) {
    if (cache->file != file) {
        action_file_t *action_file = find_action_file(index, file);
        cache->file = file;
        cache->order = action_file != nullptr ? action_file->index : -1;
    }
    return cache->order;
}

// What a walk back from a place found near the tail must check: the
// occurrences it passes are all before the place only while the list keeps
// its order (seek_input_from_tail). The last file compared is kept.
struct place_check {
    const char *file;  // null: nothing to check
    int line;
    const char *compared_file;
    bool same_file;
};

bool reaches_place(place_check *check, const token_entry_tag *occurrence) {
    if (check->file == nullptr || occurrence->line < check->line) {
        return false;
    }
    if (occurrence->file != check->compared_file) {
        check->compared_file = occurrence->file;
        check->same_file =
            occurrence->file == check->file || os_strcmp(occurrence->file, check->file) == 0;
    }
    return check->same_file;
}

enum gather_status { GATHERED = 0, OUT_OF_MEMORY = -1, ORDER_BROKEN = 1 };

bool seek_from_tail = true;

// A place in the later half of the project is sought from the list's tail.
bool near_the_end(correlation_index *index, const action_file_t *place_file) {
    return seek_from_tail && 2 * place_file->index >= action_file_count(index);
}

// One value's gathering: the walk back from the input's place over the
// value's occurrences, grading every output recorded before it in the
// input's file or an earlier one and queueing the pairs graded above
// min_grade.
struct value_walk {
    token_instances_t *instances;
    token_entry_tag *input;
    bool provisional;     // input is the newest of the query's provisionals
    list_node *position;  // the next occurrence to look at; null once done
    bool graded;          // whether the walk had anything to grade
    float best_grade;     // the value's best grade before the walk
    int input_order;
    place_check check;
    file_order_cache orders;
    pair_grader grader;
    graded_heap *queue;  // not owned
};

// Seeks the place of token's input at file:line and readies the walk from
// there, making a provisional input when the index holds none. GATHERED, or
// OUT_OF_MEMORY.
int start_walk(value_walk *walk, CCorrelationAnalyser *analyser, correlation_index *index,
               token_instances_t *instances, const char *token, const char *file, int line,
               bool from_tail, list_node **provisionals, graded_heap *queue) {
    const action_file_t *place_file = find_action_file(index, file);
    from_tail = from_tail && place_file != nullptr && *instances->last_position != nullptr &&
                near_the_end(index, place_file);
    walk->instances = instances;
    walk->queue = queue;
    walk->position = nullptr;
    walk->graded = false;
    token_entry_tag *input = nullptr;
    list_node *cursor = from_tail ? seek_input_from_tail(index, *instances->last_position, file,
                                                         line, place_file->index, &input)
                                  : seek_input(instances->occurrences, file, line, &input);
    walk->provisional = input == nullptr;
    if (walk->provisional) {
        input = new_provisional_input(token, file, line);
        if (input == nullptr || !list_add_first(provisionals, input)) {
            if (input != nullptr) {
                free_provisional(input);
            }
            walk->provisional = false;
            return OUT_OF_MEMORY;
        }
    }
    walk->input = input;
    if (place_file == nullptr) {
        return GATHERED;
    }
    walk->position = cursor;
    walk->graded = true;
    walk->best_grade = instances->best_grade;
    walk->input_order = place_file->index;
    walk->check = {from_tail ? file : nullptr, line, nullptr, false};
    walk->orders = {nullptr, -1};
    pair_grader_init(&walk->grader, analyser);
    return GATHERED;
}

// Looks at the walk's next occurrence and steps back past it. GATHERED (the
// walk is done once its position is null), ORDER_BROKEN as soon as an
// occurrence reaches the checked place, OUT_OF_MEMORY when memory ran out.
int step_walk(value_walk *walk, correlation_index *index, float min_grade, record_arena *pairs) {
    list_node *position = walk->position;
    walk->position = position->previous;
    // The nodes lie all over the index: the next one and its occurrence are
    // fetched while this one is graded.
    if (walk->position != nullptr) {
        fetch_ahead(walk->position->data);
        fetch_ahead(walk->position->previous);
    }
    token_entry_tag *output = static_cast<token_entry_tag *>(position->data);
    if (reaches_place(&walk->check, output)) {
        return ORDER_BROKEN;
    }
    if (output->direction != DIRECTION_OUTPUT ||
        file_order(index, &walk->orders, output->file) > walk->input_order) {
        return GATHERED;
    }
    float grade = grade_pair(&walk->grader, walk->instances, output, walk->input);
    if (!(min_grade < grade)) {
        return GATHERED;
    }
    // A query can queue tens of thousands of pairs, all released together
    // when its report is written.
    placed_pair *placed = static_cast<placed_pair *>(arena_allocate(pairs, sizeof(placed_pair)));
    if (placed == nullptr) {
        return OUT_OF_MEMORY;
    }
    placed->pair.input = walk->input;
    placed->pair.output = output;
    placed->pair.grade = grade;
    placed->place = place_of(output);
    return queue_borrowed_candidate(walk->queue, &placed->pair) != 0 ? OUT_OF_MEMORY : GATHERED;
}

int finish_walk(value_walk *walk, correlation_index *index, float min_grade, record_arena *pairs) {
    int status = GATHERED;
    while (status == GATHERED && walk->position != nullptr) {
        status = step_walk(walk, index, min_grade, pairs);
    }
    return status;
}

// Undoes what a started walk changed: its queue is empty again, its value's
// best grade as before and its provisional input (the newest) freed.
void undo_walk(value_walk *walk, list_node **provisionals) {
    if (walk->graded) {
        walk->instances->best_grade = walk->best_grade;
    }
    discard_candidates(walk->queue);
    if (walk->provisional) {
        list_node *head = list_head(provisionals);
        free_provisional(static_cast<token_entry_tag *>(list_get(provisionals, &head)));
        list_remove(provisionals, &head);
        walk->provisional = false;
    }
}

// The gathering of one value into queue, seeking from the tail when the
// place is near it, from the head again when the list's order breaks.
int gather_value(CCorrelationAnalyser *analyser, correlation_index *index,
                 token_instances_t *instances, const char *token, const char *file, int line,
                 float min_grade, list_node **provisionals, record_arena *pairs,
                 graded_heap *queue) {
    value_walk walk;
    int status = GATHERED;
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool from_tail = attempt == 0;
        status = start_walk(&walk, analyser, index, instances, token, file, line, from_tail,
                            provisionals, queue);
        if (status == GATHERED) {
            status = finish_walk(&walk, index, min_grade, pairs);
        }
        if (status != ORDER_BROKEN) {
            break;
        }
        undo_walk(&walk, provisionals);
    }
    return status;
}

enum { WALKS_TOGETHER = 8 };

// The gatherings of the inputs at places (at most WALKS_TOGETHER) into
// their queues, one occurrence of each walk in turn: the lists lie all over
// the index, and walked side by side their cache misses overlap. Each queue
// receives what gather_value, called for each place in order, would put in
// it. GATHERED, or OUT_OF_MEMORY.
int gather_together(CCorrelationAnalyser *analyser, correlation_index *index,
                    token_entry_tag *const *places, int count, float min_grade,
                    list_node **provisionals, record_arena *pairs, graded_heap *const *queues) {
    value_walk walks[WALKS_TOGETHER];
    token_instances_t *values[WALKS_TOGETHER];
    int status = GATHERED;
    for (int i = 0; i < count; ++i) {
        walks[i] = value_walk();
        walks[i].queue = queues[i];
        values[i] =
            places[i]->file != nullptr ? find_token_instances(index, places[i]->value) : nullptr;
        if (values[i] != nullptr && status == GATHERED) {
            status = start_walk(&walks[i], analyser, index, values[i], places[i]->value,
                                places[i]->file, places[i]->line, true, provisionals, queues[i]);
        }
    }
    bool walking = true;
    while (status == GATHERED && walking) {
        walking = false;
        for (int i = 0; i < count && status == GATHERED; ++i) {
            if (walks[i].position != nullptr) {
                status = step_walk(&walks[i], index, min_grade, pairs);
                walking = walking || walks[i].position != nullptr;
            }
        }
    }
    if (status != ORDER_BROKEN) {
        return status;
    }
    // Back to where the first walk started, newest provisional first, then
    // one value after another as the query would without walking together.
    for (int i = count - 1; i >= 0; --i) {
        undo_walk(&walks[i], provisionals);
    }
    status = GATHERED;
    for (int i = 0; i < count && status == GATHERED; ++i) {
        if (values[i] != nullptr) {
            status = gather_value(analyser, index, values[i], places[i]->value, places[i]->file,
                                  places[i]->line, min_grade, provisionals, pairs, queues[i]);
        }
    }
    return status;
}

void write_token_nothing_found(FILE *report, const char *file, int line, const char *token) {
    fprintf(report, "%s(%d):", os_base_name(file), line);
    fputs(load_message(MSG_TOKEN_FOUND_NOTHING), report);
    fputs("\"", report);
    fputs(token, report);
    fputs("\".", report);
}

void write_cursor_nothing_found(FILE *report, const char *file, int line) {
    fprintf(report, "%s(%d):", os_base_name(file), line);
    fputs(load_message(MSG_CURSOR_FOUND_NOTHING), report);
}

// Writes the queue (or the nothing-found line), closes the report and gives
// the query's result.
int finish_report(CCorrelationAnalyser *analyser, graded_heap *queue, FILE *report,
                  const char *report_path,
                  void (*write_nothing_found)(FILE *, const char *, int, const char *),
                  const char *file, int line, const char *token) {
    int result = TOKENWEAVE_OK;
    if (heap_is_empty(queue)) {
        write_nothing_found(report, file, line, token);
        result = TOKENWEAVE_NOTHING_FOUND;
    } else {
        report_placed_candidates(queue, report);
    }
    heap_delete(queue);
    if (!close_report(report, report_path)) {
        return TOKENWEAVE_REPORT_NOT_WRITTEN;
    }
    analyser_report_progress(analyser, PROGRESS_DONE);
    return result;
}

void write_cursor_nothing_found_adapter(FILE *report, const char *file, int line, const char *) {
    write_cursor_nothing_found(report, file, line);
}

}  // namespace

void token_queries_seek_from_tail(bool enabled) {
    seek_from_tail = enabled;
}

void release_provisionals(list_node **provisionals) {
    while (!list_is_empty(provisionals)) {
        list_node *head = list_head(provisionals);
        free_provisional(static_cast<token_entry_tag *>(list_get(provisionals, &head)));
        list_remove(provisionals, &head);
    }
}

graded_heap *gather_candidates(CCorrelationAnalyser *analyser, correlation_index *index,
                               const char *token, const char *file, int line, float min_grade,
                               list_node **provisionals, record_arena *pairs) {
    graded_heap *queue = heap_create(TOKEN_QUEUE_CAPACITY);
    if (queue == nullptr) {
        return nullptr;
    }
    token_instances_t *instances = find_token_instances(index, token);
    if (instances == nullptr || file == nullptr) {
        return queue;
    }
    if (gather_value(analyser, index, instances, token, file, line, min_grade, provisionals, pairs,
                     queue) != GATHERED) {
        discard_candidates(queue);
        heap_delete(queue);
        return nullptr;
    }
    return queue;
}

int input_token_query(CCorrelationAnalyser *analyser, correlation_index *index, const char *token,
                      const char *file, int line, const char *report_path, float min_grade) {
    if (token == nullptr) {
        token = "";
    }
    if (file == nullptr) {
        file = "";
    }
    analyser_report_progress(analyser, PROGRESS_GATHERING);
    list_node *provisionals = list_create();
    record_arena pairs;
    arena_init(&pairs);
    graded_heap *queue =
        gather_candidates(analyser, index, token, file, line, min_grade, &provisionals, &pairs);
    if (queue == nullptr) {
        arena_release(&pairs);
        release_provisionals(&provisionals);
        return TOKENWEAVE_FAILED;
    }
    analyser_report_progress(analyser, PROGRESS_GATHERED);
    FILE *report = open_report(report_path);
    if (report == nullptr) {
        discard_candidates(queue);
        heap_delete(queue);
        arena_release(&pairs);
        release_provisionals(&provisionals);
        return TOKENWEAVE_REPORT_NOT_WRITTEN;
    }
    int result = finish_report(analyser, queue, report, report_path, write_token_nothing_found,
                               file, line, token);
    arena_release(&pairs);
    release_provisionals(&provisionals);
    return result;
}

int cursor_query(CCorrelationAnalyser *analyser, correlation_index *index, const char *file,
                 int line, const char *report_path, float min_grade) {
    if (file == nullptr) {
        file = "";
    }
    FILE *report = open_report(report_path);
    if (report == nullptr) {
        return TOKENWEAVE_REPORT_NOT_WRITTEN;
    }
    char *header = static_cast<char *>(malloc(CURSOR_HEADER_SIZE));
    graded_heap *result_queue = heap_create(TOKEN_QUEUE_CAPACITY);
    token_entry_tag *occurrence = nullptr;
    bool looked_up = find_chain_location(index, file, line, &occurrence) == 0;
    if (header == nullptr || result_queue == nullptr || !looked_up) {
        free(header);
        heap_delete(result_queue);
        fclose(report);
        return TOKENWEAVE_FAILED;
    }
    format_cursor_header(line, file, header, CURSOR_HEADER_SIZE);
    fputs(header, report);
    fputs("\n", report);
    free(header);
    analyser_report_progress(analyser, PROGRESS_GATHERING);

    list_node *provisionals = list_create();
    record_arena pairs;
    arena_init(&pairs);
    int failure = 0;
    while (occurrence != nullptr && failure == 0) {
        token_entry_tag *places[WALKS_TOGETHER];
        int count = 0;
        for (; occurrence != nullptr && count < WALKS_TOGETHER;
             occurrence = occurrence->same_handle_previous) {
            if (ht_get(index->stop_list, occurrence->value) == nullptr) {
                places[count++] = occurrence;
            }
        }
        graded_heap *queues[WALKS_TOGETHER];
        int created = 0;
        while (created < count &&
               (queues[created] = heap_create(TOKEN_QUEUE_CAPACITY)) != nullptr) {
            ++created;
        }
        if (created < count || gather_together(analyser, index, places, count, min_grade,
                                               &provisionals, &pairs, queues) != GATHERED) {
            failure = TOKENWEAVE_FAILED;
        }
        for (int i = 0; i < created; ++i) {
            if (failure == 0 && merge_candidates(result_queue, queues[i]) != 0) {
                failure = TOKENWEAVE_FAILED;
            }
            discard_candidates(queues[i]);
            heap_delete(queues[i]);
        }
    }
    if (failure != 0) {
        discard_candidates(result_queue);
        heap_delete(result_queue);
        fclose(report);
        arena_release(&pairs);
        release_provisionals(&provisionals);
        return failure;
    }
    analyser_report_progress(analyser, PROGRESS_GATHERED);
    int result = finish_report(analyser, result_queue, report, report_path,
                               write_cursor_nothing_found_adapter, file, line, nullptr);
    arena_release(&pairs);
    release_provisionals(&provisionals);
    return result;
}
