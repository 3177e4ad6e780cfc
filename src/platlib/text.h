// Small byte-level text helpers shared by every layer above the platform
// stand-ins. They look at single bytes and never at the locale: recorded
// scripts and grid files are bytes in whatever code page the recording used,
// and the same file must read the same way on every machine.
#ifndef TOKENWEAVE_PLATLIB_TEXT_H
#define TOKENWEAVE_PLATLIB_TEXT_H

#include <stddef.h>

inline char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Space and tab: what separates words on one line.
inline bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// Blanks, line breaks, vertical tab and form feed.
inline bool is_space(char c) {
    return is_blank(c) || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

inline bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// True when the two texts are equal without regard to ASCII letter case.
bool equal_ignoring_ascii_case(const char *a, const char *b);

// The value of the decimal digits at the start of digits; INT_MAX when it
// would be larger (a grid number or a setting is never allowed to wrap).
// When end is not null it receives the first byte after the digits.
int saturated_decimal(const char *digits, const char **end);

// Copies text into a fixed buffer of size bytes, cutting what does not fit;
// the result is always zero-terminated. A null text gives the empty text.
void copy_bounded(char *buffer, size_t size, const char *text);

#endif  // TOKENWEAVE_PLATLIB_TEXT_H
