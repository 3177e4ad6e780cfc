#include "index/occurrence_lookup.h"

#include "containers/list.h"
#include "platlib/platlib.h"

// The occurrence of direction at file and line, walking on from walk; the
// walk stops at the file's first occurrence past line, since a file's
// occurrences come in line order.
static token_entry_tag *occurrence_from(list_node *walk, int direction, const char *file,
                                        int line) {
    for (; walk != nullptr; walk = walk->next) {
        token_entry_tag *occurrence = static_cast<token_entry_tag *>(walk->data);
        if (occurrence->direction != direction || os_strcmp(occurrence->file, file) != 0) {
            continue;
        }
        if (occurrence->line == line) {
            return occurrence;
        }
        if (occurrence->line > line) {
            return nullptr;
        }
    }
    return nullptr;
}

static token_entry_tag *find_occurrence(correlation_index *index, const char *value,
                                        const char *file, int line, int direction) {
    if (value == nullptr || file == nullptr) {
        return nullptr;
    }
    list_node **list = token_occurrences(index, value);
    if (list == nullptr) {
        return nullptr;
    }
    return occurrence_from(list_head(list), direction, file, line);
}

token_entry_tag *find_input_occurrence(correlation_index *index, const char *value,
                                       const char *file, int line) {
    return find_occurrence(index, value, file, line, DIRECTION_INPUT);
}

token_entry_tag *find_output_occurrence(correlation_index *index, const char *value,
                                        const char *file, int line) {
    return find_occurrence(index, value, file, line, DIRECTION_OUTPUT);
}

void seek_before(list_node **list, list_node **position, const char *file, int line) {
    list_node *walk = list_head(list);
    list_node *last_passed = nullptr;
    while (walk != nullptr) {
        const token_entry_tag *occurrence = static_cast<const token_entry_tag *>(walk->data);
        if (occurrence->line >= line && os_strcmp(occurrence->file, file) == 0) {
            break;
        }
        last_passed = walk;
        walk = walk->next;
    }
    *position = last_passed;
}

namespace {

// The input find_input_occurrence gives, looked for from walk, the first
// occurrence at_or_after_place: before it no input of the file is at line
// or after it, so the walk from the head would pass them all.
token_entry_tag *input_from(list_node *walk, const char *file, int line) {
    return occurrence_from(walk, DIRECTION_INPUT, file, line);
}

}  // namespace

list_node *seek_input(list_node **list, const char *file, int line, token_entry_tag **input) {
    list_node *walk = list_head(list);
    list_node *last_passed = nullptr;
    while (walk != nullptr &&
           !at_or_after_place(static_cast<const token_entry_tag *>(walk->data), file, line)) {
        last_passed = walk;
        walk = walk->next;
    }
    *input = input_from(walk, file, line);
    return last_passed;
}

list_node *seek_input_from_tail(correlation_index *index, list_node *tail, const char *file,
                                int line, int file_order, token_entry_tag **input) {
    // Consecutive occurrences mostly share their file: its order is kept.
    const char *known_file = nullptr;
    int known_order = -1;
    list_node *first_at_place = nullptr;
    for (list_node *walk = tail; walk != nullptr; walk = walk->previous) {
        const token_entry_tag *occurrence = static_cast<const token_entry_tag *>(walk->data);
        if (at_or_after_place(occurrence, file, line)) {
            first_at_place = walk;
            continue;
        }
        if (occurrence->file != known_file) {
            action_file_t *action_file = find_action_file(index, occurrence->file);
            known_file = occurrence->file;
            known_order = action_file != nullptr ? action_file->index : -1;
        }
        if (known_order <= file_order) {
            break;
        }
    }
    *input = input_from(first_at_place, file, line);
    return first_at_place != nullptr ? first_at_place->previous : tail;
}
