#include "index/location_key.h"

#include <stdio.h>
#include <stdlib.h>

#include "platlib/platlib.h"

int location_key_format(location_key *key, const char *file_path, int line) {
    const char *base_name = os_base_name(file_path);
    int length = snprintf(key->inline_text, sizeof key->inline_text, "%s:%d", base_name, line);
    if (length < 0) {
        key->text = nullptr;
        return -1;
    }
    if (static_cast<size_t>(length) < sizeof key->inline_text) {
        key->text = key->inline_text;
        return 0;
    }
    key->text = static_cast<char *>(malloc(static_cast<size_t>(length) + 1));
    if (key->text == nullptr) {
        return -1;
    }
    snprintf(key->text, static_cast<size_t>(length) + 1, "%s:%d", base_name, line);
    return 0;
}

void location_key_release(location_key *key) {
    if (key->text != key->inline_text) {
        free(key->text);
    }
    key->text = nullptr;
}
