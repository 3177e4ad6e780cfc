#include "platlib/text.h"

#include <limits.h>
#include <string.h>

bool equal_ignoring_ascii_case(const char *a, const char *b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (ascii_lower(*a) != ascii_lower(*b)) {
            return false;
        }
    }
    return *a == *b;
}

int saturated_decimal(const char *digits, const char **end) {
    long long number = 0;
    const char *p = digits;
    for (; is_digit(*p); ++p) {
        if (number <= INT_MAX) {
            number = number * 10 + (*p - '0');
        }
    }
    if (end != nullptr) {
        *end = p;
    }
    return number > INT_MAX ? INT_MAX : static_cast<int>(number);
}

void copy_bounded(char *buffer, size_t size, const char *text) {
    if (size == 0) {
        return;
    }
    if (text == nullptr) {
        buffer[0] = '\0';
        return;
    }
    size_t length = strnlen(text, size - 1);
    memcpy(buffer, text, length);
    buffer[length] = '\0';
}
