// Finding occurrences of a value by place. The occurrences of one action
// file lie in ascending line order in a value's list, and files follow each
// other in project order, which is what lets these walks stop early.

#ifndef TOKENWEAVE_INDEX_OCCURRENCE_LOOKUP_H
#define TOKENWEAVE_INDEX_OCCURRENCE_LOOKUP_H

#include "index/correlation_index.h"
#include "platlib/platlib.h"

// The first recorded input (or output) occurrence of value at file:line, file
// being the full action-file path; null when there is none.
token_entry_tag *find_input_occurrence(correlation_index *index, const char *value,
                                       const char *file, int line);
token_entry_tag *find_output_occurrence(correlation_index *index, const char *value,
                                        const char *file, int line);

// Sets *position to the last occurrence recorded before the first occurrence
// (any direction) of file at or after line: null when that is the first
// occurrence, the last one when there is none. Walking backward from there
// visits exactly the occurrences recorded before that place.
void seek_before(list_node **list, list_node **position, const char *file, int line);

// True when occurrence is of file at line or after it: the occurrences
// seek_before walks past are exactly those before the first such one.
inline bool at_or_after_place(const token_entry_tag *occurrence, const char *file, int line) {
    return occurrence->line >= line &&
           (occurrence->file == file || os_strcmp(occurrence->file, file) == 0);
}

// seek_before and find_input_occurrence of one place in one walk from the
// head: returns the position seek_before sets and gives the input occurrence
// in *input (null when there is none).
list_node *seek_input(list_node **list, const char *file, int line, token_entry_tag **input);

// seek_input walking from the tail instead, for a place near the end of a
// long list. It stops at the first occurrence of an earlier file, or of the
// place's file before line, taking the file order the index gives (file_order
// is the place's own). The answer equals seek_input's unless the list breaks
// its order, which a caller must rule out: no occurrence from the returned
// position back to the head may be at_or_after_place. A caller walking back
// from there anyway checks each as it passes, and asks seek_input when one is.
list_node *seek_input_from_tail(correlation_index *index, list_node *tail, const char *file,
                                int line, int file_order, token_entry_tag **input);

#endif  // TOKENWEAVE_INDEX_OCCURRENCE_LOOKUP_H
