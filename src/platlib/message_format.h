// Placeholder expansion of message texts.
//
// "%1" to "%99" stand for the arguments in order (two digits at most, so
// "%100" is argument 10 followed by '0'); "%%" stands for one '%'. Any other
// '%' is copied as it is. Argument texts are copied literally, never expanded
// again.

#ifndef TOKENWEAVE_PLATLIB_MESSAGE_FORMAT_H
#define TOKENWEAVE_PLATLIB_MESSAGE_FORMAT_H

#include <stddef.h>

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

// A message text split once into literal runs and placeholders, so that a
// report that expands it for every line reads the text (and the host's string
// table) once. A plain record of fixed size: no allocation, nothing to free.
enum { MESSAGE_TEMPLATE_TEXT_SIZE = 4096, MESSAGE_TEMPLATE_PIECES = 64 };
struct message_piece {
    unsigned short start;    // literal run: offset into literals
    unsigned short length;   // literal run: its length
    unsigned char argument;  // 0 for a literal run, else the placeholder number
};
struct message_template {
    char literals[MESSAGE_TEMPLATE_TEXT_SIZE];
    message_piece pieces[MESSAGE_TEMPLATE_PIECES];
    int piece_count;
};

// Splits text for expanding with argument_count arguments (placeholders above
// it expand to empty text, as message_expand does). False when text does not
// fit the template (over MESSAGE_TEMPLATE_PIECES pieces, or its literal text
// over MESSAGE_TEMPLATE_TEXT_SIZE - 1 bytes); the caller then expands the text
// itself.
bool message_template_compile(message_template *compiled, const char *text, int argument_count);

// What message_expand(text, arguments, argument_count, buffer, size) writes
// for the text compiled, with the same cut and result.
int message_template_expand(const message_template *compiled, const char *const *arguments,
                            char *buffer, int size);

// message_template_expand for arguments whose lengths the caller knows:
// lengths[i] is strlen(arguments[i]) (ignored for a null argument).
int message_template_expand_sized(const message_template *compiled, const char *const *arguments,
                                  const size_t *lengths, char *buffer, int size);

#endif  // TOKENWEAVE_PLATLIB_MESSAGE_FORMAT_H
