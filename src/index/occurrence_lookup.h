// Finding occurrences of a value by place. The occurrences of one action
// file lie in ascending line order in a value's list, and files follow each
// other in project order, which is what lets these walks stop early.

#ifndef TOKENWEAVE_INDEX_OCCURRENCE_LOOKUP_H
#define TOKENWEAVE_INDEX_OCCURRENCE_LOOKUP_H

#include "index/correlation_index.h"

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

#endif  // TOKENWEAVE_INDEX_OCCURRENCE_LOOKUP_H
