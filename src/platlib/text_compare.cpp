#include <string.h>

#include "platlib/platlib.h"

char *os_strrchr(const char *text, int ch) {
    return text != nullptr ? const_cast<char *>(strrchr(text, ch)) : nullptr;
}

int os_strcmp(const char *a, const char *b) {
    if (a == nullptr || b == nullptr) {
        return a == b ? 0 : 1;
    }
    return strcmp(a, b);
}
