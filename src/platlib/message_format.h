// Placeholder expansion of message texts.
//
// "%1" to "%99" stand for the arguments in order (two digits at most, so
// "%100" is argument 10 followed by '0'); "%%" stands for one '%'. Any other
// '%' is copied as it is. Argument texts are copied literally, never expanded
// again.

#ifndef TOKENWEAVE_PLATLIB_MESSAGE_FORMAT_H
#define TOKENWEAVE_PLATLIB_MESSAGE_FORMAT_H

enum { MESSAGE_MAX_ARGUMENTS = 99 };

// The highest placeholder number text uses (0 when none): how many arguments
// expanding it will read.
int message_highest_placeholder(const char *text);

// Writes text with its placeholders replaced into buffer, zero-terminated and
// cut to size - 1 bytes. arguments[i] replaces placeholder i + 1; placeholders
// beyond argument_count, and null arguments, become empty text. Returns the
// length written (0 when size is 0 or less).
int message_expand(const char *text, const char *const *arguments, int argument_count, char *buffer,
                   int size);

#endif  // TOKENWEAVE_PLATLIB_MESSAGE_FORMAT_H
