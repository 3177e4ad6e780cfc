// Candidate pairs and the report files that list them.
//
// A candidate pair is an input occurrence and an earlier output occurrence
// of the same value with the grade the evaluators gave it. Pairs are ranked
// in a heap of graded entities under the reciprocal of their grade, so the
// best pair is on top; the heap owns the pairs it holds and frees them as
// they leave it. Reports are text files: one line per pair, best first, built
// from numbered messages of the host's string table and written as they are
// (a '%' in a value or a message is never interpreted).

#ifndef TOKENWEAVE_INDEX_CANDIDATE_REPORT_H
#define TOKENWEAVE_INDEX_CANDIDATE_REPORT_H

#include <stddef.h>
#include <stdio.h>

#include "containers/cgradedentity.h"
#include "index/correlation_index.h"
#include "platlib/message_format.h"

enum {
    TOKEN_QUEUE_CAPACITY = 2048,
    SEARCH_QUEUE_CAPACITY = 32768,
    MESSAGE_BUFFER_SIZE = 1024,
    EXPANDED_MESSAGE_SIZE = 2048
};

struct candidate_pair_t {
    token_entry_tag *input;   // not owned
    token_entry_tag *output;  // not owned
    float grade;
};

// A new pair (plain allocation, released with free), or null.
candidate_pair_t *new_candidate_pair(float grade, token_entry_tag *input, token_entry_tag *output);

// The heap's ordering value of a grade: its reciprocal as a 32-bit float; the
// largest finite float for a grade of 0 (or one so small that the reciprocal
// does not fit).
float queue_grade(float grade);

// Queues pair under queue_grade(pair->grade). 0, or -1 when memory ran out
// (the pair is then freed).
int queue_candidate(graded_heap *queue, candidate_pair_t *pair);

// Queues pair like queue_candidate, but the queue never frees it: for pairs
// whose memory outlives the queue. 0, or -1 when memory ran out.
int queue_borrowed_candidate(graded_heap *queue, candidate_pair_t *pair);

// Moves every pair of source into target; source ends empty. 0, or -1 when
// memory ran out (the pairs not moved are discarded).
int merge_candidates(graded_heap *target, graded_heap *source);
// Writes every pair, best first, and empties the queue.
void report_candidates(graded_heap *queue, CCorrelationAnalyser *analyser, FILE *report);
// Empties the queue without writing.
void discard_candidates(graded_heap *queue);
// Writes one pair as one line.
void report_pair(CCorrelationAnalyser *analyser, const candidate_pair_t *pair, FILE *report);

// What the lines of one report repeat: the base names of the files last
// named, the line's messages, read from the host once per report, and the
// input's part of the line, expanded again only when the input changes
// (a query's pairs come in long runs of one input). Lines are also gathered
// into blocks written to the report whole, one write per REPORT_BLOCK_SIZE
// bytes instead of one per line: the last block goes out when lines is
// destroyed, so keep one per loop over a queue, never across reports, and
// let it go before the report is closed. Valid while the occurrences of the
// pairs written with it are alive.
enum {
    REPORT_BASE_NAMES_BITS = 10,
    REPORT_BASE_NAMES = 1 << REPORT_BASE_NAMES_BITS,
    REPORT_LINE_SIZE = 2 * EXPANDED_MESSAGE_SIZE + MESSAGE_BUFFER_SIZE,
    REPORT_BLOCK_SIZE = 64 * 1024
};
struct report_lines {
    // Base names by file path, each path in the slot its address picks.
    const char *paths[REPORT_BASE_NAMES] = {};
    const char *base_names[REPORT_BASE_NAMES] = {};
    size_t base_name_lengths[REPORT_BASE_NAMES];
    bool messages_loaded = false;
    // False when a host's text did not fit a template: each line then
    // expands the host's texts as they are.
    bool messages_compiled = false;
    message_template input_message;
    message_template output_message;
    char returned_at[MESSAGE_BUFFER_SIZE];
    size_t returned_at_length = 0;
    // The input whose message and returned_at input_part holds.
    const token_entry_tag *input = nullptr;
    char input_part[EXPANDED_MESSAGE_SIZE + MESSAGE_BUFFER_SIZE];
    size_t input_part_length = 0;
    // Lines not yet written to block_file; null when the block could not be
    // allocated, and each line is then written on its own.
    char *block = nullptr;
    size_t block_used = 0;
    FILE *block_file = nullptr;

    report_lines() = default;
    report_lines(const report_lines &) = delete;
    report_lines &operator=(const report_lines &) = delete;
    // Writes the lines still in the block.
    ~report_lines();
};

// report_pair, reusing what lines kept from the report's earlier lines.
void report_pair_line(report_lines *lines, CCorrelationAnalyser *analyser,
                      const candidate_pair_t *pair, FILE *report);

// What a line says of a pair's output occurrence.
struct output_place {
    const char *file;
    int line;
    int column;  // 0 for a script literal, as row
    int row;
};
output_place place_of(const token_entry_tag *output);

// A pair with its output's place, taken when the pair was graded: a query
// writes its pairs long after, best first, when their occurrences have left
// the cache.
struct placed_pair {
    candidate_pair_t pair;  // first, so that a queue of these holds the pairs
    output_place place;
};

// report_pair_line of a pair whose output is at place (place_of its output).
void report_placed_pair_line(report_lines *lines, const candidate_pair_t *pair,
                             const output_place &place, FILE *report);

// report_candidates of a queue of placed pairs.
void report_placed_candidates(graded_heap *queue, FILE *report);

// Called with every pair report_pair writes, right after its line, while
// the pair's occurrences are still alive (a query's provisional input is
// freed when the query returns): a caller that wants the report as records
// as well as text copies what it needs there.
typedef void (*pair_observer)(void *context, const candidate_pair_t *pair);
// Installs observer (null: none) for every report written from now on in
// this process; the queries' text reports are unchanged by it.
void set_pair_observer(pair_observer observer, void *context);

// The host's message id without arguments, in a buffer of the calling thread
// that its next call overwrites.
const char *load_message(int id);
// The cursor report's header line (without line break) into out.
int format_cursor_header(int line, const char *file, char *out, size_t out_size);

// Opens a report file, created or emptied; null when it cannot be.
FILE *open_report(const char *report_path);
// Closes it; false when anything written to it was lost, in which case the
// incomplete file is removed (when it is a regular file).
bool close_report(FILE *report, const char *report_path);

#endif  // TOKENWEAVE_INDEX_CANDIDATE_REPORT_H
