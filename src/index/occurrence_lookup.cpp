#include "index/occurrence_lookup.h"

#include "containers/list.h"
#include "platlib/platlib.h"

static token_entry_tag *find_occurrence(correlation_index *index, const char *value,
                                        const char *file, int line, int direction) {
    if (value == nullptr || file == nullptr) {
        return nullptr;
    }
    list_node **list = token_occurrences(index, value);
    if (list == nullptr) {
        return nullptr;
    }
    list_node *position = list_head(list);
    while (position != nullptr) {
        token_entry_tag *occurrence = static_cast<token_entry_tag *>(list_next(list, &position));
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
