// State shared by the scanner's rules and its glue code. Module-wide: one
// scan runs at a time in a process.

#ifndef TOKENWEAVE_INDEX_SCANNER_SCANNER_STATE_H
#define TOKENWEAVE_INDEX_SCANNER_SCANNER_STATE_H

#include <stddef.h>

#include "index/scanner/scanner.h"

struct scanner_state_t {
    int line_number;         // current line of the current file, from 1
    int brace_depth;         // '{' minus '}' across all files of the scan
    int paren_depth;         // '(' minus ')', grid references not counted
    int argument_position;   // commas seen at paren_depth 1 of a recognised call
    int record_identifiers;  // identifiers among the call's arguments are values
    char current_call_name[SCANNER_NAME_SIZE];
    int current_call_code;  // recorder_call_code of current_call_name, found once per call
    char current_handle[SCANNER_NAME_SIZE];
    char *current_path;  // entry of the index's file_paths; not owned
    int file_count;
    char **file_list;
    int next_file_index;
};

extern scanner_state_t scanner;

// Copies bytes that no rule matched to the echo stream.
void scanner_echo(const char *text, size_t length);

#endif  // TOKENWEAVE_INDEX_SCANNER_SCANNER_STATE_H
