// The action-file scanner.
//
// It reads the project's action files one after another, in project order,
// and recognises just enough C to find the recorded database calls at
// statement level inside function bodies: comments, strings, braces and
// parentheses, call names and their arguments, the literals inside SQL text,
// and the GRID / RECORDSET_XML references to stored result grids. Every value
// argument goes to record_argument, every grid reference to a grid loader.
//
// All scanner state is module-wide, so one scan runs at a time in a process.
// It reaches the index through the current analyser that BuildIndex sets.

#ifndef TOKENWEAVE_INDEX_SCANNER_SCANNER_H
#define TOKENWEAVE_INDEX_SCANNER_SCANNER_H

#include <stdio.h>

#include "index/correlation_index.h"

// Room for a call name or a handle, terminator included; the scanner cuts
// longer names to fit.
enum { SCANNER_NAME_SIZE = 256 };

// Scans paths[0..count-1] in order. Files that cannot be opened are skipped
// and get no line count; every file scanned gets its line count stored in
// file_table at its end. An unrecoverable read failure writes its message to
// standard error and ends the scan early; the index keeps what was recorded.
void scan_action_files(int count, char **paths);

// The end-of-input hook: closes the current file, stores its line count and
// opens the next one. 0 when scanning goes on, 1 when no file is left.
int next_action_file();

// Returns the scanner to its initial start condition; returns 0.
int reset_scanner_condition();

// Scanner class of an identifier: the keyword table's class, else 1 for
// names beginning with "cmx_", else 0.
int classify_call_name(const char *identifier);

// What the scanner learns from a name at statement level: its scanner class
// (as classify_call_name) and, for a recognised call, its call code
// (recorder_call_code of the name as the scanner keeps it, cut to fit).
struct call_name_kind {
    int scanner_class;
    int call_code;
};
// Takes in the current analyser's keyword table, which classify_call then
// reads; done when a scan starts. Without an analyser no name is a keyword.
void load_call_keywords();
// The kind of identifier, which has length bytes: the same answer as
// classify_call_name and recorder_call_code, found mostly without hashing.
call_name_kind classify_call(const char *identifier, size_t length);

// Stores line as the scanned line count of the action file at path; returns
// its record, or null when the path is not registered.
action_file_t *set_file_line_count(const char *path, int line);

// Where bytes that no rule matches are copied: standard output by default
// (only a newline inside SQL text ever gets there). Null discards them,
// which a tool printing its own output on standard output needs.
void scanner_set_echo_stream(FILE *stream);

// The scanner's view of the text, for tests and diagnostics.
struct scanner_snapshot {
    int line_number;
    int brace_depth;
    int paren_depth;
    int argument_position;
    int record_identifiers;
    const char *start_condition;  // the condition's name, e.g. "INITIAL"
};
scanner_snapshot scanner_current_state();

#endif  // TOKENWEAVE_INDEX_SCANNER_SCANNER_H
