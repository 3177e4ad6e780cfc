// Location keys: the base name of an action file, a colon and a decimal line
// number ("Action1.c:12"). The recorder files statement inputs under them and
// the cursor query looks them up, so both must form them the same way. Keys
// of any length are formed in full: short ones in the record itself, longer
// ones on the heap.
//
// Two action files with one base name (a.c and sub\a.c) form the same keys,
// so every chain is also filed under its place: the file's position in the
// project and the line. The cursor query looks the place up first.

#ifndef TOKENWEAVE_INDEX_LOCATION_KEY_H
#define TOKENWEAVE_INDEX_LOCATION_KEY_H

enum {
    LOCATION_KEY_INLINE_SIZE = 72,
    // Two ints in decimal, signs included, a colon and the terminator.
    PLACE_KEY_SIZE = 2 * 12 + 2
};

struct location_key {
    char inline_text[LOCATION_KEY_INLINE_SIZE];
    char *text;  // inline_text, or a heap copy for long keys
};

// Forms the key of line in the file whose path (or base name) is file_path.
// 0, or -1 when memory ran out (key->text is then null).
int location_key_format(location_key *key, const char *file_path, int line);
// Frees what location_key_format allocated.
void location_key_release(location_key *key);

struct correlation_index;
struct token_entry_tag;

// Files chain under line of the action file at file_path (one of the
// index's file_paths): under its location key and under its place in the
// project. A key already present keeps its chain.
void add_chain_location(correlation_index *index, const char *file_path, int line,
                        token_entry_tag *chain);

// The keys of one place a chain is about to be filed under. Every executed
// statement files its chain under two new keys in each of two large tables,
// where each key's slot is a cache miss: preparing all of them before filing
// any lets those misses overlap.
struct chain_location {
    location_key key;
    bool keyed;  // key formed (memory did not run out)
    char place[PLACE_KEY_SIZE];
    bool placed;  // the file is an action file of the index: place formed
};

// Forms the keys add_chain_location would file under and starts loading
// their slots.
void prepare_chain_location(correlation_index *index, const char *file_path, int line,
                            chain_location *location);
// Files chain under the prepared keys, as add_chain_location does, and
// releases them.
void file_chain_location(correlation_index *index, chain_location *location,
                         token_entry_tag *chain);

// Sets *chain to the chain filed under line of the action file at file_path,
// or null. A path that is no action file of the index (a bare base name, say)
// is looked up by its location key, and only while at most one action file
// has that base name. 0, or -1 when memory ran out.
int find_chain_location(correlation_index *index, const char *file_path, int line,
                        token_entry_tag **chain);

#endif  // TOKENWEAVE_INDEX_LOCATION_KEY_H
