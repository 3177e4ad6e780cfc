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

int LoadParameterizedString(HMODULE module, unsigned int id, char *buffer, int size, ...) {
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    // Callers pass as many arguments as the built-in text of the id uses; a
    // host text that uses more must not make us read arguments never passed.
    const char *builtin = builtin_message(id);
    int passed = builtin != nullptr ? message_highest_placeholder(builtin) : 0;
    const char *text = nullptr;
#if defined(_WIN32)
    // The host's string table comes first, so a host can word (or translate)
    // its reports; LoadStringA returns 0 when it has no such string.
    enum { HOST_TEXT_SIZE = 4096 };
    char host_text[HOST_TEXT_SIZE];
    if (module != nullptr && LoadStringA(module, id, host_text, HOST_TEXT_SIZE) > 0) {
        text = host_text;
    }
#else
    (void)module;
#endif
    if (text == nullptr) {
        text = builtin;
    }
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
