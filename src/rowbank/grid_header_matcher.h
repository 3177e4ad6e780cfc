// Recognises the line or comment that opens a grid in a grid source, one
// byte at a time, so that a header split over two read pieces is still
// found. Both source kinds announce a grid by a word and a number; they
// differ in the brackets around them and in how strictly they are spaced,
// which a header_shape describes.
#ifndef TOKENWEAVE_ROWBANK_GRID_HEADER_MATCHER_H
#define TOKENWEAVE_ROWBANK_GRID_HEADER_MATCHER_H

#include <stddef.h>

struct header_shape {
    char open;   // bracket before the word, or '\0' for none
    char close;  // bracket after the number, or '\0' for none; with one, the
                 // line must end after it (blanks and a carriage return aside)
    const char *word;
    bool blank_after_word;  // at least one blank must separate word and number
    // A number past INT_MAX still makes a header (whose number is unusable)
    // rather than ordinary text.
    bool oversized_number_is_header;
};

enum header_verdict { HEADER_UNDECIDED, NOT_HEADER, IS_HEADER };

struct header_matcher {
    const header_shape *shape;
    int state;
    size_t word_matched;
    long long number;
    bool number_too_big;
};

void header_matcher_reset(header_matcher *m, const header_shape *shape);
// The verdict after c, the next byte (for a shape with a closing bracket a
// line feed ends the line).
header_verdict header_matcher_feed(header_matcher *m, char c);
// The verdict when the text ends here.
header_verdict header_matcher_finish(const header_matcher &m);

#endif  // TOKENWEAVE_ROWBANK_GRID_HEADER_MATCHER_H
