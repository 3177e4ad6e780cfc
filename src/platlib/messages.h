// Numbers of the report messages in the host's string table.

#ifndef TOKENWEAVE_PLATLIB_MESSAGES_H
#define TOKENWEAVE_PLATLIB_MESSAGES_H

enum report_message_id {
    MSG_SEARCH_FOUND_NOTHING = 61554,
    MSG_TOKEN_FOUND_NOTHING = 61555,
    MSG_CURSOR_FOUND_NOTHING = 61556,
    MSG_PAIR_INPUT = 61559,     // %1 file, %2 line, %3 value
    MSG_CURSOR_HEADER = 61563,  // %1 file, %2 line
    MSG_PAIR_RETURNED_AT = 61564,
    MSG_PAIR_OUTPUT = 61565  // %1 file, %2 line, %3 column, %4 row
};

#endif  // TOKENWEAVE_PLATLIB_MESSAGES_H
