#include "index/recorder.h"

#include <stdlib.h>
#include <string.h>

#include "containers/list.h"
#include "hashkit/hashkit.h"
#include "index/analyser_access.h"
#include "index/location_key.h"
#include "index/scanner/scanner.h"
#include "model/keyword_table.h"
#include "platlib/platlib.h"
#include "platlib/text.h"

namespace {

enum { PENDING_HANDLE_SIZE = 32, NO_PENDING_LINE = -1, PIECE_ON_STACK = 256 };

const char SQX_PREFIX[] = "sqx_";
const char CMX_PREFIX[] = "cmx_";
// Encloses each value inside the text of a cmx_ call argument.
const char CMX_PIECE_QUOTE[] = "\\'";
const size_t CMX_PIECE_QUOTE_LENGTH = 2;

// Progress is reported each time it grew by more than this fraction.
const double PROGRESS_REPORT_STEP = 0.01;

// The handle and line of the argument 0 most recently seen in an execute or
// bind-placeholder call, waiting for the argument 2 on the same line.
char pending_handle[PENDING_HANDLE_SIZE];
int pending_line = NO_PENDING_LINE;

bool starts_with(const char *text, const char *prefix) {
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

bool is_hex_digit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Only one argument of a call carries the value: the SQL text or assigned
// value at position 1, or the bound value at position 2.
bool argument_is_value(int call_code, int position) {
    switch (call_code) {
        case CALL_STMT:
        case CALL_ASSIGN:
        case CALL_ORA8_STMT:
        case CALL_ORA8_STMT_LITERAL:
        case CALL_ORA8_STMT_EXT:
        case CALL_ASSIGN_LITERAL:
        case CALL_ASSIGN_EXT:
            return position == 1;
        case CALL_ASSIGN_BIND:
        case CALL_ASSIGN_BIND_LITERAL:
        case CALL_ASSIGN_BIND_EXT:
            return position == 2;
        default:
            return false;
    }
}

correlation_index *current_index() {
    CCorrelationAnalyser *analyser = current_analyser();
    return analyser != nullptr ? analyser_index(analyser) : nullptr;
}

// What a value's record knows of where its last occurrence was written.
enum {
    LAST_NOT_LITERAL = -2,   // a grid cell, no occurrence yet, or a literal without a file
    LAST_FILE_UNKNOWN = -1,  // a literal in a file that is not one of file_paths
};

// A value's record with the list heads it points at, kept in its token-table
// entry: recording a value already seen then reads the entry it found and
// the lines right after it, not records spread over the arena. The line and
// file of the last occurrence, when it is a literal, are kept here too: a
// literal is checked against them on every recording, and reading them from
// the occurrence itself was a cache miss for each value met again.
struct token_record {
    token_instances_t instances;
    list_node *occurrences;
    list_node *last_position;  // the list's last node: occurrences are only appended
    int last_literal_line;
    int last_literal_file;  // position in file_paths, or LAST_NOT_LITERAL / LAST_FILE_UNKNOWN
};

token_record *record_of(token_instances_t *instances) {
    return reinterpret_cast<token_record *>(instances);
}

// The position in file_paths of the path equal to file_path (the paths there
// are distinct, so equal positions are equal texts); LAST_NOT_LITERAL for no
// path, LAST_FILE_UNKNOWN for a path not listed. The scanner passes the
// entries themselves, which live as long as the index: the last one found
// is remembered, so the search runs once per file.
const correlation_index *ordinal_index = nullptr;
const char *ordinal_path = nullptr;
int ordinal_of_path = LAST_FILE_UNKNOWN;

int file_ordinal(const correlation_index *index, const char *file_path) {
    if (file_path == nullptr) {
        return LAST_NOT_LITERAL;
    }
    if (index == ordinal_index && file_path == ordinal_path) {
        return ordinal_of_path;
    }
    for (int i = 0; index->file_paths[i] != nullptr; ++i) {
        if (index->file_paths[i] == file_path) {
            ordinal_index = index;
            ordinal_path = file_path;
            ordinal_of_path = i;
            return i;
        }
    }
    for (int i = 0; index->file_paths[i] != nullptr; ++i) {
        if (strcmp(index->file_paths[i], file_path) == 0) {
            return i;
        }
    }
    return LAST_FILE_UNKNOWN;
}

// Adds value to the token table with its record, whose value points at the
// table's copy of the text (the only one). Null when memory ran out (nothing
// is added).
token_instances_t *create_token_instances(ht_table *tokens, const char *value) {
    const char *stored_value = nullptr;
    token_record *record = static_cast<token_record *>(
        ht_add_payload(tokens, value, sizeof(token_record), &stored_value));
    if (record == nullptr) {
        return nullptr;
    }
    token_instances_t *instances = &record->instances;
    record->occurrences = list_create();
    record->last_position = nullptr;
    record->last_literal_file = LAST_NOT_LITERAL;
    instances->occurrences = &record->occurrences;
    instances->last_position = &record->last_position;
    // The record only reads its text; the table owns it.
    instances->value = const_cast<char *>(stored_value);
    instances->best_grade = 0.0f;
    instances->length = static_cast<int>(strlen(stored_value));
    instances->value_class = value_class_of(stored_value);
    return instances;
}

// Appends occurrence, in node, at the end of the token's list. The last node
// is only written, so recording does not wait for it to arrive.
void append_occurrence(token_record *record, list_node *node, token_entry_tag *occurrence,
                       int literal_file) {
    node->data = occurrence;
    list_node *last = record->last_position;
    if (last == nullptr) {
        list_link_after(&record->occurrences, nullptr, node);
    } else {
        node->previous = last;
        node->next = nullptr;
        last->next = node;
    }
    record->last_position = node;
    record->last_literal_line = occurrence->line;
    record->last_literal_file = literal_file;
}

// A literal seen again on the same line of the same file is the same value
// written twice in one statement; a grid cell or another file is not.
bool repeats_last_literal(const token_record *record, int line, int file, const char *file_path) {
    if (record->last_literal_file == LAST_FILE_UNKNOWN || file == LAST_FILE_UNKNOWN) {
        // A path outside file_paths is compared as text with the last one.
        if (record->last_position == nullptr) {
            return false;
        }
        const token_entry_tag *last =
            static_cast<const token_entry_tag *>(record->last_position->data);
        return last->cell == nullptr && last->line == line && last->file != nullptr &&
               file_path != nullptr &&
               (last->file == file_path || strcmp(last->file, file_path) == 0);
    }
    return record->last_literal_file != LAST_NOT_LITERAL && record->last_literal_file == file &&
           record->last_literal_line == line;
}

// Makes occurrence the newest under handle and returns the one it replaces.
token_entry_tag *push_handle_occurrence(correlation_index *index, const char *handle,
                                        token_entry_tag *occurrence) {
    void **newest = ht_value_of(index->handle_table, handle);
    if (newest == nullptr) {
        ht_add(index->handle_table, handle, occurrence);
        return nullptr;
    }
    token_entry_tag *previous = static_cast<token_entry_tag *>(*newest);
    *newest = occurrence;
    return previous;
}

// Moves the handle's pending chain into location_table, under the given line
// of the chain's file and under the handle's statement site.
void publish_handle_chain(correlation_index *index, int line, const char *handle) {
    if (handle == nullptr) {
        return;
    }
    token_entry_tag *newest = static_cast<token_entry_tag *>(ht_get(index->handle_table, handle));
    if (newest == nullptr) {
        return;
    }
    ht_delete(index->handle_table, handle);
    statement_site_t *site =
        static_cast<statement_site_t *>(ht_get(index->statement_table, handle));
    chain_location at_execution;
    chain_location at_statement;
    prepare_chain_location(index, newest->file, line, &at_execution);
    if (site != nullptr) {
        prepare_chain_location(index, site->file_path, site->line, &at_statement);
    }
    file_chain_location(index, &at_execution, newest);
    if (site != nullptr) {
        file_chain_location(index, &at_statement, newest);
    }
}

void register_statement(CCorrelationAnalyser *analyser, correlation_index *index,
                        const char *handle, int line, const char *file_path) {
    if (handle == nullptr) {
        return;
    }
    // The full handle text lives right after the site, in the same block, so
    // the table's plain free releases both.
    size_t handle_length = strlen(handle);
    statement_site_t *site =
        static_cast<statement_site_t *>(malloc(sizeof(statement_site_t) + handle_length + 1));
    if (site == nullptr) {
        return;
    }
    site->line = line;
    // The statement's file is mostly the one the last executed statement
    // filed its chain in, whose base name the index keeps.
    site->file_name =
        file_path == index->chain_file_path ? index->chain_file_base_name : os_base_name(file_path);
    site->file_path = file_path;
    copy_bounded(site->handle, sizeof site->handle, handle);
    memcpy(reinterpret_cast<char *>(site + 1), handle, handle_length + 1);

    statement_site_t *existing =
        static_cast<statement_site_t *>(ht_get(index->statement_table, handle));
    if (existing != nullptr) {
        int replaced_line = existing->line;
        ht_delete(index->statement_table, handle);
        // odbc reuses a statement handle for the next statement without an
        // execute call in between, so the old statement's inputs are filed
        // when it is replaced.
        if (analyser_is_odbc(analyser)) {
            publish_handle_chain(index, replaced_line, handle);
        }
    }
    if (ht_add(index->statement_table, handle, site) != 0) {
        free(site);
    }
}

// Makes first's chain the chain of second followed by first's own.
void merge_handle_chains(correlation_index *index, const char *first, const char *second) {
    // A handle paired with itself would link its chain into a circle.
    if (strcmp(first, second) == 0) {
        return;
    }
    token_entry_tag *second_newest =
        static_cast<token_entry_tag *>(ht_get(index->handle_table, second));
    if (second_newest == nullptr) {
        return;
    }
    token_entry_tag *first_newest =
        static_cast<token_entry_tag *>(ht_get(index->handle_table, first));
    ht_delete(index->handle_table, first);
    ht_add(index->handle_table, first, second_newest);
    token_entry_tag *tail = second_newest;
    while (tail->same_handle_previous != nullptr && tail != first_newest) {
        tail = tail->same_handle_previous;
    }
    if (tail != first_newest) {
        tail->same_handle_previous = first_newest;
    }
    ht_delete(index->handle_table, second);
}

void pair_handles(correlation_index *index, const char *text, int position, int line) {
    if (position == 0) {
        copy_bounded(pending_handle, sizeof pending_handle, text);
        pending_line = line;
        return;
    }
    if (pending_line == line) {
        merge_handle_chains(index, pending_handle, text);
    }
    pending_line = NO_PENDING_LINE;
}

void record_input(const char *value, int call_code, int line, const char *file_path,
                  const char *handle) {
    record_occurrence(value, call_code, DIRECTION_INPUT, line, file_path, NO_GRID_POSITION,
                      NO_GRID_POSITION, NO_GRID_POSITION, LITERAL_MARKER, handle);
}

// Records length bytes of text as one value. The text is not terminated
// there and is not ours to write into, so the piece is copied: on the stack,
// or on the heap for long pieces.
void record_input_piece(const char *text, size_t length, int call_code, int line,
                        const char *file_path, const char *handle) {
    char on_stack[PIECE_ON_STACK];
    char *value = length < sizeof on_stack ? on_stack : static_cast<char *>(malloc(length + 1));
    if (value == nullptr) {
        return;
    }
    memcpy(value, text, length);
    value[length] = '\0';
    record_input(value, call_code, line, file_path, handle);
    if (value != on_stack) {
        free(value);
    }
}

// A cmx_ argument holds its values between backslash-quote pairs; text with
// no such pair is one value.
void record_cmx_argument(const char *text, int line, const char *file_path, const char *handle) {
    const char *opening = strstr(text, CMX_PIECE_QUOTE);
    if (opening == nullptr) {
        record_input(text, CALL_CMX, line, file_path, handle);
        return;
    }
    while (opening != nullptr) {
        const char *piece = opening + CMX_PIECE_QUOTE_LENGTH;
        const char *closing = strstr(piece, CMX_PIECE_QUOTE);
        if (closing == nullptr) {
            return;
        }
        if (closing > piece) {
            record_input_piece(piece, static_cast<size_t>(closing - piece), CALL_CMX, line,
                               file_path, handle);
        }
        opening = strstr(closing + CMX_PIECE_QUOTE_LENGTH, CMX_PIECE_QUOTE);
    }
}

}  // namespace

int recorder_call_code(const char *call_name) {
    if (call_name == nullptr) {
        return NO_CALL_CODE;
    }
    if (starts_with(call_name, SQX_PREFIX)) {
        return keyword_call_code(call_name);
    }
    if (starts_with(call_name, CMX_PREFIX)) {
        return CALL_CMX;
    }
    return -1;
}

int value_class_of(const char *text) {
    int dots = 0;
    bool after_dot = false;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    while (*p != '\0') {
        if (xeOsCharsetType > 1 && os_is_lead_byte(*p) && p[1] != '\0') {
            return VALUE_CLASS_TEXT;  // a double-byte character is neither a digit nor a dot
        }
        if (*p == '.') {
            if (after_dot) {
                return VALUE_CLASS_TEXT;
            }
            ++dots;
            after_dot = true;
        } else if (is_hex_digit(*p)) {
            after_dot = false;
        } else {
            return VALUE_CLASS_TEXT;
        }
        ++p;
    }
    return dots >= 2 ? VALUE_CLASS_DB_ID : VALUE_CLASS_NUMBER;
}

const char *statement_site_handle_key(const statement_site_t *site) {
    return reinterpret_cast<const char *>(site + 1);
}

int scan_cancelled() {
    CCorrelationAnalyser *analyser = current_analyser();
    return analyser == nullptr || analyser_cancelled(analyser);
}

void reset_recorder_state() {
    pending_handle[0] = '\0';
    pending_line = NO_PENDING_LINE;
    ordinal_index = nullptr;
    ordinal_path = nullptr;
}

int update_scan_progress(CCorrelationAnalyser *analyser, int line) {
    int last_line = analyser_last_line(analyser);
    if (line == last_line) {
        return 0;
    }
    int lines_done = analyser_lines_done(analyser);
    // A smaller line number means the scan has moved on to the next file.
    lines_done += line > last_line ? line - last_line : line;
    analyser_set_lines_done(analyser, lines_done);
    analyser_set_last_line(analyser, line);

    int total_lines = analyser_total_lines(analyser);
    if (total_lines <= 0) {
        return 0;
    }
    int unreported = lines_done - analyser_lines_reported(analyser);
    if (static_cast<double>(unreported) / total_lines <= PROGRESS_REPORT_STEP) {
        return 0;
    }
    float fraction = static_cast<float>(lines_done) / static_cast<float>(total_lines);
    if (fraction > 1.0f) {
        fraction = 1.0f;
    }
    analyser_set_lines_reported(analyser, lines_done);
    if (analyser_report_progress(analyser, fraction) == -1) {
        analyser_cancel(analyser);
        return -1;
    }
    return 0;
}

int record_argument(const char *text, const char *call_name, int position, int line,
                    const char *file_path, const char *handle) {
    return record_call_argument(text, recorder_call_code(call_name), position, line, file_path,
                                handle);
}

int record_call_argument(const char *text, int call_code, int position, int line,
                         const char *file_path, const char *handle) {
    CCorrelationAnalyser *analyser = current_analyser();
    if (analyser == nullptr || analyser_cancelled(analyser)) {
        return -1;
    }
    if (update_scan_progress(analyser, line) != 0) {
        return -1;
    }
    correlation_index *index = analyser_index(analyser);
    if (call_code < 0 || index == nullptr) {
        return 0;
    }
    bool has_text = text != nullptr && text[0] != '\0';
    switch (call_code) {
        case CALL_STMT:
            if (argument_is_value(call_code, position) && has_text) {
                record_input(text, call_code, line, file_path, handle);
            } else if (position == 0 && text != nullptr) {
                // The first argument names the site: the handle, or SQL text
                // standing where the handle belongs. It is cut as the scanner
                // cuts a handle, so a long handle's site and its chained
                // inputs share one name.
                char site_name[SCANNER_NAME_SIZE];
                copy_bounded(site_name, sizeof site_name, text);
                register_statement(analyser, index, site_name, line, file_path);
            }
            return 0;
        case CALL_EXEC:
            publish_handle_chain(index, line, handle);
            [[fallthrough]];
        case CALL_BIND_PLACEHOLDER:
            if ((position == 0 || position == 2) && has_text) {
                pair_handles(index, text, position, line);
            }
            return 0;
        case CALL_CMX:
            if (has_text) {
                record_cmx_argument(text, line, file_path, handle);
            }
            return 0;
        default:
            if (argument_is_value(call_code, position) && has_text) {
                record_input(text, call_code, line, file_path, handle);
            }
            return 0;
    }
}

int record_occurrence(const char *value, int call_code, int direction, int line,
                      const char *file_path, int grid, int row, int column, int marker,
                      const char *handle) {
    correlation_index *index = current_index();
    if (index == nullptr || value == nullptr) {
        return -1;
    }
    bool literal = grid < 0;
    token_instances_t *instances =
        static_cast<token_instances_t *>(ht_get(index->token_table, value));
    int literal_file = literal ? file_ordinal(index, file_path) : LAST_NOT_LITERAL;
    if (instances != nullptr && literal &&
        repeats_last_literal(record_of(instances), line, literal_file, file_path)) {
        return 0;
    }

    // Everything that can fail is allocated before anything is linked, so a
    // failure leaves the index as it was (what was taken from the arena stays
    // unused until the index is released).
    record_arena *records = &index->records;
    token_entry_tag *occurrence =
        static_cast<token_entry_tag *>(arena_allocate(records, sizeof(token_entry_tag)));
    list_node *node = static_cast<list_node *>(arena_allocate(records, sizeof(list_node)));
    grid_cell_t *cell = nullptr;
    if (!literal) {
        cell = static_cast<grid_cell_t *>(arena_allocate(records, sizeof(grid_cell_t)));
    }
    if (occurrence == nullptr || node == nullptr || (!literal && cell == nullptr)) {
        return -1;
    }
    if (instances == nullptr) {
        instances = create_token_instances(index->token_table, value);
        if (instances == nullptr) {
            return -1;
        }
    }
    if (cell != nullptr) {
        cell->grid = grid;
        cell->row = row;
        cell->column = column;
        cell->marker = marker;
    }
    occurrence->value = instances->value;
    occurrence->direction = direction;
    occurrence->line = line;
    occurrence->file = file_path;
    occurrence->cell = cell;
    occurrence->next_candidate = nullptr;
    occurrence->call_code = call_code;
    occurrence->mark = 0;
    occurrence->recorded_code = call_code;
    occurrence->source_marker = marker;
    occurrence->grid_repeat = 0;
    occurrence->reserved = 0;
    occurrence->same_handle_previous = nullptr;
    append_occurrence(record_of(instances), node, occurrence, literal_file);
    if (literal && handle != nullptr) {
        occurrence->same_handle_previous = push_handle_occurrence(index, handle, occurrence);
    }

    ++instances->total_count;
    if (direction == DIRECTION_INPUT) {
        ++instances->input_count;
    } else {
        ++instances->output_count;
    }
    if (literal) {
        ++instances->literal_count;
    } else {
        ++instances->grid_count;
    }
    return 0;
}
