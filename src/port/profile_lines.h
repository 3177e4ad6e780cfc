// Line-level reading of INI profile text, shared by the profile reader and
// writer.
//
// The text is any bytes held in memory (NULs and binary garbage included).
// profile_next_line walks it one line at a time; profile_classify says what a
// line holds. Every result is a span into the caller's text: nothing is
// copied or allocated, so no input can make these functions fail, and the
// writer can copy untouched lines back byte for byte.

#ifndef TOKENWEAVE_PORT_PROFILE_LINES_H
#define TOKENWEAVE_PORT_PROFILE_LINES_H

#include <stddef.h>

struct profile_span {
    const char *data;
    size_t size;
};

// One line of the text: [start, content_end) is its content, [content_end,
// end) its line break ("\n", "\r\n" or nothing at the end of the text).
struct profile_line {
    size_t start;
    size_t content_end;
    size_t end;
};

enum profile_line_kind {
    PROFILE_LINE_BLANK,    // only blanks
    PROFILE_LINE_COMMENT,  // first non-blank is ';'
    PROFILE_LINE_SECTION,  // "[name]"; name is the trimmed text between the brackets
    PROFILE_LINE_ENTRY,    // "key=value"; both trimmed, value without enclosing quotes
    PROFILE_LINE_OTHER     // anything else; never a key
};

struct profile_line_info {
    profile_line_kind kind;
    profile_span name;   // section name or key
    profile_span value;  // entries only
    size_t value_start;  // entries: offset in the text where the raw value starts
                         // (after '=' and the blanks following it)
};

// Reads the line starting at *position of text (size bytes). Returns 0 and
// advances *position past the line, or -1 when the text is exhausted.
int profile_next_line(const char *text, size_t size, size_t *position, profile_line *line);

profile_line_info profile_classify(const char *text, const profile_line &line);

// True when the two names are equal without regard to ASCII letter case.
bool profile_names_equal(profile_span a, profile_span b);

// The name with the blanks around it removed.
profile_span profile_trimmed(const char *name);

// True for the blanks the profile format trims: space and tab.
inline bool profile_is_blank(char c) {
    return c == ' ' || c == '\t';
}

#endif  // TOKENWEAVE_PORT_PROFILE_LINES_H
