#include "port/profile_lines.h"

#include <string.h>

#include "port/ascii_case.h"

namespace {

const char UTF8_BOM[] = "\xEF\xBB\xBF";
const size_t UTF8_BOM_SIZE = 3;

profile_span trim(const char *data, size_t size) {
    while (size > 0 && profile_is_blank(*data)) {
        ++data;
        --size;
    }
    while (size > 0 && profile_is_blank(data[size - 1])) {
        --size;
    }
    return profile_span{data, size};
}

bool is_quote(char c) {
    return c == '"' || c == '\'';
}

}  // namespace

int profile_next_line(const char *text, size_t size, size_t *position, profile_line *line) {
    size_t start = *position;
    if (start >= size) {
        return -1;
    }
    // Editors may open a file with a UTF-8 byte order mark; it belongs to no
    // line, so the first section stays readable (and the writer keeps it).
    if (start == 0 && size >= UTF8_BOM_SIZE && memcmp(text, UTF8_BOM, UTF8_BOM_SIZE) == 0) {
        start = UTF8_BOM_SIZE;
    }
    const void *found = memchr(text + start, '\n', size - start);
    size_t newline =
        found != nullptr ? static_cast<size_t>(static_cast<const char *>(found) - text) : size;
    line->start = start;
    line->content_end = newline;
    if (newline > start && text[newline - 1] == '\r') {
        line->content_end = newline - 1;
    }
    line->end = found != nullptr ? newline + 1 : size;
    *position = line->end;
    return 0;
}

profile_line_info profile_classify(const char *text, const profile_line &line) {
    profile_line_info info{PROFILE_LINE_OTHER, {text + line.start, 0}, {text + line.start, 0}, 0};
    profile_span content = trim(text + line.start, line.content_end - line.start);
    if (content.size == 0) {
        info.kind = PROFILE_LINE_BLANK;
        return info;
    }
    if (content.data[0] == ';') {
        info.kind = PROFILE_LINE_COMMENT;
        return info;
    }
    if (content.data[0] == '[') {
        // The last ']' closes the name, so a name may itself hold ']'. A '['
        // line without one is no header and does not end the section.
        for (size_t close = content.size; close-- > 1;) {
            if (content.data[close] == ']') {
                info.kind = PROFILE_LINE_SECTION;
                info.name = trim(content.data + 1, close - 1);
                return info;
            }
        }
        return info;
    }
    const void *equals = memchr(content.data, '=', content.size);
    if (equals == nullptr) {
        return info;
    }
    size_t key_size = static_cast<size_t>(static_cast<const char *>(equals) - content.data);
    profile_span key = trim(content.data, key_size);
    if (key.size == 0) {
        // A nameless entry could never be asked for and would end a key list.
        return info;
    }
    const char *raw_value = content.data + key_size + 1;
    profile_span value = trim(raw_value, content.size - key_size - 1);
    if (value.size >= 2 && is_quote(value.data[0]) && value.data[value.size - 1] == value.data[0]) {
        value.data += 1;
        value.size -= 2;
    }
    info.kind = PROFILE_LINE_ENTRY;
    info.name = key;
    info.value = value;
    info.value_start = static_cast<size_t>(raw_value - text);
    while (info.value_start < line.content_end && profile_is_blank(text[info.value_start])) {
        ++info.value_start;
    }
    return info;
}

profile_span profile_trimmed(const char *name) {
    return trim(name, strlen(name));
}

bool profile_names_equal(profile_span a, profile_span b) {
    if (a.size != b.size) {
        return false;
    }
    for (size_t i = 0; i < a.size; ++i) {
        if (port_ascii_lower(a.data[i]) != port_ascii_lower(b.data[i])) {
            return false;
        }
    }
    return true;
}
