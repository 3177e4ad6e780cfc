#include "index/token_queries.h"

#include <stdlib.h>
#include <string.h>

#include "containers/list.h"
#include "hashkit/hashkit.h"
#include "index/analyser_access.h"
#include "index/candidate_report.h"
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

// Starts loading the cache line at address; only a hint.
inline void fetch_ahead(const void *address) {
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

// Grades every output occurrence recorded before cursor in the input's file
// or an earlier one and queues the pairs graded above min_grade. ORDER_BROKEN
// as soon as an occurrence reaches the checked place, OUT_OF_MEMORY when
// memory ran out.
int grade_earlier_outputs(CCorrelationAnalyser *analyser, correlation_index *index,
                          token_instances_t *instances, list_node *cursor, token_entry_tag *input,
                          int input_order, float min_grade, place_check *check, graded_heap *queue,
                          record_arena *pairs) {
    file_order_cache orders = {nullptr, -1};
    pair_grader grader;
    pair_grader_init(&grader, analyser);
    // The nodes lie all over the index: the next one and its occurrence are
    // fetched while this one is graded.
    for (list_node *position = cursor; position != nullptr; position = position->previous) {
        list_node *next = position->previous;
        if (next != nullptr) {
            fetch_ahead(next->data);
            fetch_ahead(next->previous);
        }
        token_entry_tag *output = static_cast<token_entry_tag *>(position->data);
        if (reaches_place(check, output)) {
            return ORDER_BROKEN;
        }
        if (output->direction != DIRECTION_OUTPUT) {
            continue;
        }
        if (file_order(index, &orders, output->file) > input_order) {
            continue;
        }
        float grade = grade_pair(&grader, instances, output, input);
        if (!(min_grade < grade)) {
            continue;
        }
        // A query can queue tens of thousands of pairs, all released
        // together when its report is written.
        placed_pair *placed =
            static_cast<placed_pair *>(arena_allocate(pairs, sizeof(placed_pair)));
        if (placed == nullptr) {
            return OUT_OF_MEMORY;
        }
        placed->pair.input = input;
        placed->pair.output = output;
        placed->pair.grade = grade;
        placed->place = place_of(output);
        if (queue_borrowed_candidate(queue, &placed->pair) != 0) {
            return OUT_OF_MEMORY;
        }
    }
    return GATHERED;
}

bool seek_from_tail = true;

// A place in the later half of the project is sought from the list's tail.
bool near_the_end(correlation_index *index, const action_file_t *place_file) {
    return seek_from_tail && 2 * place_file->index >= action_file_count(index);
}

// gather_candidates' work for a value found in the index, seeking the place
// from the tail or the head. On ORDER_BROKEN the queue is empty again and
// nothing else changed.
int gather_from(CCorrelationAnalyser *analyser, correlation_index *index,
                token_instances_t *instances, const char *token, const char *file, int line,
                const action_file_t *place_file, bool from_tail, float min_grade,
                list_node **provisionals, record_arena *pairs, graded_heap *queue) {
    token_entry_tag *input = nullptr;
    list_node *cursor = from_tail ? seek_input_from_tail(index, *instances->last_position, file,
                                                         line, place_file->index, &input)
                                  : seek_input(instances->occurrences, file, line, &input);
    bool provisional = input == nullptr;
    if (provisional) {
        input = new_provisional_input(token, file, line);
        if (input == nullptr || !list_add_first(provisionals, input)) {
            if (input != nullptr) {
                free_provisional(input);
            }
            return OUT_OF_MEMORY;
        }
    }
    if (place_file == nullptr) {
        return GATHERED;
    }
    place_check check = {from_tail ? file : nullptr, line, nullptr, false};
    float best_grade = instances->best_grade;
    int status = grade_earlier_outputs(analyser, index, instances, cursor, input, place_file->index,
                                       min_grade, &check, queue, pairs);
    if (status == ORDER_BROKEN) {
        instances->best_grade = best_grade;
        discard_candidates(queue);
        if (provisional) {
            list_node *head = list_head(provisionals);
            free_provisional(static_cast<token_entry_tag *>(list_get(provisionals, &head)));
            list_remove(provisionals, &head);
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
    const action_file_t *place_file = find_action_file(index, file);
    bool from_tail = place_file != nullptr && *instances->last_position != nullptr &&
                     near_the_end(index, place_file);
    int status = gather_from(analyser, index, instances, token, file, line, place_file, from_tail,
                             min_grade, provisionals, pairs, queue);
    if (status == ORDER_BROKEN) {
        status = gather_from(analyser, index, instances, token, file, line, place_file, false,
                             min_grade, provisionals, pairs, queue);
    }
    if (status == OUT_OF_MEMORY) {
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
    for (; occurrence != nullptr && failure == 0; occurrence = occurrence->same_handle_previous) {
        if (ht_get(index->stop_list, occurrence->value) != nullptr) {
            continue;
        }
        graded_heap *gathered =
            gather_candidates(analyser, index, occurrence->value, occurrence->file,
                              occurrence->line, min_grade, &provisionals, &pairs);
        if (gathered == nullptr) {
            failure = TOKENWEAVE_FAILED;
            break;
        }
        if (merge_candidates(result_queue, gathered) != 0) {
            failure = TOKENWEAVE_FAILED;
        }
        heap_delete(gathered);
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
