#include "platlib/message_format.h"

#include <stdarg.h>
#include <string.h>

#include "platlib/message_catalog.h"
#include "platlib/platlib.h"
#include "platlib/text.h"

namespace {

// When text starts a placeholder ("%" and one or two digits, not "%0"),
// returns its number and sets *length to the characters it spans; else 0.
int placeholder_at(const char *text, int *length) {
    if (text[0] != '%' || !is_digit(text[1]) || text[1] == '0') {
        return 0;
    }
    int number = text[1] - '0';
    *length = 2;
    if (is_digit(text[2])) {
        number = number * 10 + (text[2] - '0');
        *length = 3;
    }
    return number;
}

// Appends bytes to a bounded output, dropping what no longer fits.
struct bounded_output {
    char *buffer;
    int capacity;  // size - 1: room for the terminator is kept apart
    int used;

    void append(const char *text, size_t length) {
        size_t room = static_cast<size_t>(capacity - used);
        if (length > room) {
            length = room;
        }
        memcpy(buffer + used, text, length);
        used += static_cast<int>(length);
    }
};

}  // namespace

int message_highest_placeholder(const char *text) {
    int highest = 0;
    for (const char *c = text; *c != '\0'; ++c) {
        int length = 0;
        if (c[0] == '%' && c[1] == '%') {
            ++c;
        } else if (int number = placeholder_at(c, &length)) {
            highest = number > highest ? number : highest;
            c += length - 1;
        }
    }
    return highest;
}

int message_expand(const char *text, const char *const *arguments, int argument_count, char *buffer,
                   int size) {
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    bounded_output out{buffer, size - 1, 0};
    const char *c = text;
    while (*c != '\0' && out.used < out.capacity) {
        int length = 0;
        if (c[0] == '%' && c[1] == '%') {
            out.append("%", 1);
            c += 2;
        } else if (int number = placeholder_at(c, &length)) {
            const char *argument = number <= argument_count ? arguments[number - 1] : nullptr;
            if (argument != nullptr) {
                out.append(argument, strlen(argument));
            }
            c += length;
        } else {
            out.append(c, 1);
            ++c;
        }
    }
    buffer[out.used] = '\0';
    return out.used;
}

bool message_template_compile(message_template *compiled, const char *text, int argument_count) {
    int used = 0;
    int pieces = 0;
    const int literal_capacity = MESSAGE_TEMPLATE_TEXT_SIZE - 1;
    // Consecutive literal bytes ("%%" included) extend the last piece.
    auto add_literal = [&](char byte) {
        if (used == literal_capacity) {
            return false;
        }
        if (pieces == 0 || compiled->pieces[pieces - 1].argument != 0) {
            if (pieces == MESSAGE_TEMPLATE_PIECES) {
                return false;
            }
            compiled->pieces[pieces++] = {static_cast<unsigned short>(used), 0, 0};
        }
        compiled->literals[used++] = byte;
        ++compiled->pieces[pieces - 1].length;
        return true;
    };
    const char *c = text;
    while (*c != '\0') {
        int length = 0;
        if (c[0] == '%' && c[1] == '%') {
            if (!add_literal('%')) {
                return false;
            }
            c += 2;
        } else if (int number = placeholder_at(c, &length)) {
            // A placeholder beyond the arguments passed expands to nothing.
            if (number <= argument_count) {
                if (pieces == MESSAGE_TEMPLATE_PIECES) {
                    return false;
                }
                compiled->pieces[pieces++] = {0, 0, static_cast<unsigned char>(number)};
            }
            c += length;
        } else {
            if (!add_literal(*c)) {
                return false;
            }
            ++c;
        }
    }
    compiled->piece_count = pieces;
    return true;
}

namespace {

// Both expansions walk the pieces the same way; they differ only in how an
// argument's length is found.
template <typename ArgumentLength>
int expand_pieces(const message_template *compiled, const char *const *arguments,
                  ArgumentLength argument_length, char *buffer, int size) {
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    bounded_output out{buffer, size - 1, 0};
    for (int i = 0; i < compiled->piece_count && out.used < out.capacity; ++i) {
        const message_piece &piece = compiled->pieces[i];
        if (piece.argument == 0) {
            out.append(compiled->literals + piece.start, piece.length);
        } else if (const char *argument = arguments[piece.argument - 1]) {
            out.append(argument, argument_length(piece.argument - 1, argument));
        }
    }
    buffer[out.used] = '\0';
    return out.used;
}

}  // namespace

int message_template_expand(const message_template *compiled, const char *const *arguments,
                            char *buffer, int size) {
    return expand_pieces(
        compiled, arguments, [](int, const char *argument) { return strlen(argument); }, buffer,
        size);
}

int message_template_expand_sized(const message_template *compiled, const char *const *arguments,
                                  const size_t *lengths, char *buffer, int size) {
    return expand_pieces(
        compiled, arguments, [lengths](int index, const char *) { return lengths[index]; }, buffer,
        size);
}

namespace {

enum { HOST_TEXT_SIZE = 4096 };

// The text id expands to: the host's string (copied into host_text) when the
// host has one, else the built-in one; null when neither exists.
// *argument_count is how many arguments callers pass for id.
const char *message_text(HMODULE module, unsigned int id, char (&host_text)[HOST_TEXT_SIZE],
                         int *argument_count) {
    // Callers pass as many arguments as the built-in text of the id uses; a
    // host text that uses more must not make us read arguments never passed.
    const char *builtin = builtin_message(id);
    *argument_count = builtin != nullptr ? message_highest_placeholder(builtin) : 0;
#if defined(_WIN32)
    // The host's string table comes first, so a host can word (or translate)
    // its reports; LoadStringA returns 0 when it has no such string.
    if (module != nullptr && LoadStringA(module, id, host_text, HOST_TEXT_SIZE) > 0) {
        return host_text;
    }
#else
    (void)module;
    (void)host_text;
#endif
    return builtin;
}

}  // namespace

bool LoadMessageTemplate(HMODULE module, unsigned int id, message_template *compiled) {
    char host_text[HOST_TEXT_SIZE];
    int passed = 0;
    const char *text = message_text(module, id, host_text, &passed);
    return message_template_compile(compiled, text != nullptr ? text : "", passed);
}

int LoadParameterizedString(HMODULE module, unsigned int id, char *buffer, int size, ...) {
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    char host_text[HOST_TEXT_SIZE];
    int passed = 0;
    const char *text = message_text(module, id, host_text, &passed);
    if (text == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    const char *arguments[MESSAGE_MAX_ARGUMENTS];
    va_list list;
    va_start(list, size);
    for (int i = 0; i < passed; ++i) {
        arguments[i] = va_arg(list, const char *);
    }
    va_end(list);
    return message_expand(text, arguments, passed, buffer, size);
}
