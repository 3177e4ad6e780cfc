#include "index/candidate_report.h"

#include <float.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "platlib/messages.h"
#include "platlib/platlib.h"
#include "platlib/text.h"
#include "port/native_path.h"
#include "port/winapi.h"

namespace {

enum { DECIMAL_TEXT_SIZE = 16 };

// The last argument-less message loaded. One per thread, so that queries of
// different analysers may run on different threads.
thread_local char message_buffer[MESSAGE_BUFFER_SIZE];

pair_observer the_pair_observer = nullptr;
void *the_pair_observer_context = nullptr;

// number as "%d" writes it; a report formats four numbers per line, so
// this avoids the formatted-output machinery. Returns the length.
size_t decimal_text(int number, char *text) {
    char digits[DECIMAL_TEXT_SIZE];
    char *start = digits + sizeof digits;
    // Negated as unsigned so that the smallest int does not overflow.
    unsigned int magnitude =
        number < 0 ? 0u - static_cast<unsigned int>(number) : static_cast<unsigned int>(number);
    do {
        *--start = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (number < 0) {
        *--start = '-';
    }
    size_t length = static_cast<size_t>(digits + sizeof digits - start);
    memcpy(text, start, length);
    text[length] = '\0';
    return length;
}

// The base name of path (and its length), found once per report for the
// paths its lines keep naming: a query's pairs come from a few hundred files
// at most.
const char *cached_base_name(report_lines *lines, const char *path, size_t *length = nullptr) {
    // Paths are heap or arena texts packed close together: a multiplicative
    // hash spreads their addresses over the slots, where the low bits alone
    // crowd a project of a few hundred files into a few of them.
    const uint64_t spread = 0x9E3779B97F4A7C15u;
    size_t slot =
        static_cast<size_t>((static_cast<uint64_t>(reinterpret_cast<uintptr_t>(path)) * spread) >>
                            (64 - REPORT_BASE_NAMES_BITS));
    if (lines->paths[slot] != path) {
        lines->paths[slot] = path;
        lines->base_names[slot] = os_base_name(path);
        lines->base_name_lengths[slot] = strlen(lines->base_names[slot]);
    }
    if (length != nullptr) {
        *length = lines->base_name_lengths[slot];
    }
    return lines->base_names[slot];
}

HMODULE host_module() {
    return GetModuleHandleA(nullptr);
}

bool is_regular_file(FILE *file) {
#if defined(_WIN32)
    struct _stat64 status;
    return _fstat64(_fileno(file), &status) == 0 && (status.st_mode & _S_IFREG) != 0;
#else
    struct stat status;
    return fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
#endif
}

void remove_file(const char *path) {
    size_t size = strlen(path) + 1;
    char *native = static_cast<char *>(malloc(size));
    if (native != nullptr) {
        os_native_path(path, native, size);
        remove(native);
        free(native);
    }
}

}  // namespace

candidate_pair_t *new_candidate_pair(float grade, token_entry_tag *input, token_entry_tag *output) {
    candidate_pair_t *pair = static_cast<candidate_pair_t *>(malloc(sizeof(candidate_pair_t)));
    if (pair != nullptr) {
        pair->input = input;
        pair->output = output;
        pair->grade = grade;
    }
    return pair;
}

float queue_grade(float grade) {
    if (grade == 0.0f) {
        return FLT_MAX;
    }
    double reciprocal = 1.0 / static_cast<double>(grade);
    if (reciprocal > FLT_MAX) {
        return FLT_MAX;
    }
    if (reciprocal < -FLT_MAX) {
        return -FLT_MAX;
    }
    return static_cast<float>(reciprocal);
}

int queue_candidate(graded_heap *queue, candidate_pair_t *pair) {
    if (heap_insert(queue, queue_grade(pair->grade), pair, free) != 0) {
        free(pair);
        return -1;
    }
    return 0;
}

int queue_borrowed_candidate(graded_heap *queue, candidate_pair_t *pair) {
    return heap_insert(queue, queue_grade(pair->grade), pair, nullptr) != 0 ? -1 : 0;
}

int merge_candidates(graded_heap *target, graded_heap *source) {
    // The entities move as they are: each keeps its pair and queue grade, so
    // the target receives what queueing copies in this order would give it.
    if (heap_move_all(target, source) != 0) {
        discard_candidates(source);
        return -1;
    }
    return 0;
}

void report_candidates(graded_heap *queue, CCorrelationAnalyser *analyser, FILE *report) {
    report_lines lines;
    while (!heap_is_empty(queue)) {
        report_pair_line(&lines, analyser,
                         static_cast<const candidate_pair_t *>(heap_top_data(queue)), report);
        heap_remove_top(queue);
    }
}

void discard_candidates(graded_heap *queue) {
    while (!heap_is_empty(queue)) {
        heap_remove_top(queue);
    }
}

void report_pair(CCorrelationAnalyser *analyser, const candidate_pair_t *pair, FILE *report) {
    report_lines lines;
    report_pair_line(&lines, analyser, pair, report);
}

namespace {

void load_line_messages(report_lines *lines) {
    copy_bounded(lines->returned_at, sizeof lines->returned_at, load_message(MSG_PAIR_RETURNED_AT));
    lines->returned_at_length = strlen(lines->returned_at);
    lines->messages_compiled =
        LoadMessageTemplate(host_module(), MSG_PAIR_INPUT, &lines->input_message) &&
        LoadMessageTemplate(host_module(), MSG_PAIR_OUTPUT, &lines->output_message);
    lines->messages_loaded = true;
}

// Writes what the block holds to its file.
void write_block(report_lines *lines) {
    if (lines->block_used > 0) {
        fwrite(lines->block, 1, lines->block_used, lines->block_file);
        lines->block_used = 0;
    }
}

// Room for one more line of the largest size in the block, for report: the
// lines gathered for another file are written first. Null when the block
// cannot be had.
char *block_room(report_lines *lines, FILE *report) {
    if (lines->block == nullptr) {
        lines->block = static_cast<char *>(malloc(REPORT_BLOCK_SIZE));
        if (lines->block == nullptr) {
            return nullptr;
        }
    }
    if (lines->block_file != report || REPORT_BLOCK_SIZE - lines->block_used < REPORT_LINE_SIZE) {
        write_block(lines);
        lines->block_file = report;
    }
    return lines->block + lines->block_used;
}

}  // namespace

report_lines::~report_lines() {
    if (block != nullptr) {
        write_block(this);
        free(block);
    }
}

output_place place_of(const token_entry_tag *output) {
    output_place place;
    place.file = output->file;
    place.line = output->line;
    place.column = output->cell != nullptr ? output->cell->column : 0;
    place.row = output->cell != nullptr ? output->cell->row : 0;
    return place;
}

void report_pair_line(report_lines *lines, CCorrelationAnalyser *, const candidate_pair_t *pair,
                      FILE *report) {
    report_placed_pair_line(lines, pair, place_of(pair->output), report);
}

void report_placed_candidates(graded_heap *queue, FILE *report) {
    report_lines lines;
    const placed_pair *placed = static_cast<const placed_pair *>(heap_top_data(queue));
    while (placed != nullptr) {
        // The pairs come out in no order of their addresses: the next one is
        // fetched while this one's line is written.
        heap_remove_top(queue);
        const placed_pair *next = static_cast<const placed_pair *>(heap_top_data(queue));
#if defined(__GNUC__)
        __builtin_prefetch(next);
#endif
        report_placed_pair_line(&lines, &placed->pair, placed->place, report);
        placed = next;
    }
}

void report_placed_pair_line(report_lines *lines, const candidate_pair_t *pair,
                             const output_place &place, FILE *report) {
    if (!lines->messages_loaded) {
        load_line_messages(lines);
    }
    const token_entry_tag *input = pair->input;
    // Each message is cut to EXPANDED_MESSAGE_SIZE - 1 bytes on its own.
    if (input != lines->input) {
        char input_line[DECIMAL_TEXT_SIZE];
        decimal_text(input->line, input_line);
        const char *input_file = cached_base_name(lines, input->file);
        char *part = lines->input_part;
        size_t used;
        if (lines->messages_compiled) {
            const char *input_arguments[] = {input_file, input_line, input->value};
            used = static_cast<size_t>(message_template_expand(
                &lines->input_message, input_arguments, part, EXPANDED_MESSAGE_SIZE));
        } else {
            used = static_cast<size_t>(LoadParameterizedString(host_module(), MSG_PAIR_INPUT, part,
                                                               EXPANDED_MESSAGE_SIZE, input_file,
                                                               input_line, input->value));
        }
        memcpy(part + used, lines->returned_at, lines->returned_at_length);
        lines->input_part_length = used + lines->returned_at_length;
        lines->input = input;
    }
    char output_line[DECIMAL_TEXT_SIZE];
    char column_text[DECIMAL_TEXT_SIZE];
    char row_text[DECIMAL_TEXT_SIZE];
    size_t lengths[4];
    const char *output_file = cached_base_name(lines, place.file, &lengths[0]);
    lengths[1] = decimal_text(place.line, output_line);
    lengths[2] = decimal_text(place.column, column_text);
    lengths[3] = decimal_text(place.row, row_text);

    char alone[REPORT_LINE_SIZE];
    char *text = block_room(lines, report);
    if (text == nullptr) {
        text = alone;
    }
    memcpy(text, lines->input_part, lines->input_part_length);
    size_t used = lines->input_part_length;
    if (lines->messages_compiled) {
        const char *output_arguments[] = {output_file, output_line, column_text, row_text};
        used += static_cast<size_t>(message_template_expand_sized(
            &lines->output_message, output_arguments, lengths, text + used, EXPANDED_MESSAGE_SIZE));
    } else {
        used += static_cast<size_t>(LoadParameterizedString(
            host_module(), MSG_PAIR_OUTPUT, text + used, EXPANDED_MESSAGE_SIZE, output_file,
            output_line, column_text, row_text));
    }
    text[used++] = '\n';
    if (text == alone) {
        fwrite(text, 1, used, report);
    } else {
        lines->block_used += used;
    }
    if (the_pair_observer != nullptr) {
        the_pair_observer(the_pair_observer_context, pair);
    }
}

void set_pair_observer(pair_observer observer, void *context) {
    the_pair_observer = observer;
    the_pair_observer_context = context;
}

const char *load_message(int id) {
    message_buffer[0] = '\0';
    LoadParameterizedString(host_module(), static_cast<unsigned int>(id), message_buffer,
                            sizeof message_buffer);
    return message_buffer;
}

int format_cursor_header(int line, const char *file, char *out, size_t out_size) {
    char expanded[EXPANDED_MESSAGE_SIZE];
    char line_text[DECIMAL_TEXT_SIZE];
    decimal_text(line, line_text);
    LoadParameterizedString(host_module(), MSG_CURSOR_HEADER, expanded, sizeof expanded,
                            os_base_name(file), line_text);
    snprintf(out, out_size, "%s", expanded);
    return 0;
}

FILE *open_report(const char *report_path) {
    if (report_path == nullptr || report_path[0] == '\0') {
        return nullptr;
    }
    return os_fopen(report_path, "w+");
}

bool close_report(FILE *report, const char *report_path) {
    bool written = fflush(report) == 0 && !ferror(report);
    // Only a regular file is ours to remove: a report path may name a device
    // or a pipe.
    bool regular = is_regular_file(report);
    bool closed = fclose(report) == 0 && written;
    if (!closed && regular) {
        // A report cut short must not pass for a complete one.
        remove_file(report_path);
    }
    return closed;
}
