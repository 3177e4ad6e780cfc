// Location keys: the base name of an action file, a colon and a decimal line
// number ("Action1.c:12"). The recorder files statement inputs under them and
// the cursor query looks them up, so both must form them the same way. Keys
// of any length are formed in full: short ones in the record itself, longer
// ones on the heap.

#ifndef TOKENWEAVE_INDEX_LOCATION_KEY_H
#define TOKENWEAVE_INDEX_LOCATION_KEY_H

enum { LOCATION_KEY_INLINE_SIZE = 72 };

struct location_key {
    char inline_text[LOCATION_KEY_INLINE_SIZE];
    char *text;  // inline_text, or a heap copy for long keys
};

// Forms the key of line in the file whose path (or base name) is file_path.
// 0, or -1 when memory ran out (key->text is then null).
int location_key_format(location_key *key, const char *file_path, int line);
// Frees what location_key_format allocated.
void location_key_release(location_key *key);

#endif  // TOKENWEAVE_INDEX_LOCATION_KEY_H
