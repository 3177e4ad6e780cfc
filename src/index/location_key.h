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

struct correlation_index;
struct token_entry_tag;

// Files chain under line of the action file at file_path (one of the
// index's file_paths): under its location key and under its place in the
// project. A key already present keeps its chain.
void add_chain_location(correlation_index *index, const char *file_path, int line,
                        token_entry_tag *chain);

// Where a chain is about to be filed: its file (null for a path that is no
// action file of the index), the number of its base name (-1 when memory ran
// out) and the line. Every executed statement files its chain in two places,
// each slot of the large place table a cache miss: preparing both before
// filing either lets the misses overlap.
struct action_file_t;
struct chain_location {
    action_file_t *file;
    int base_name;
    int line;
};

// Finds what add_chain_location files under and starts loading the place
// table's slot.
void prepare_chain_location(correlation_index *index, const char *file_path, int line,
                            chain_location *location);
// Files chain where prepared, as add_chain_location does.
void file_chain_location(correlation_index *index, chain_location *location,
                         token_entry_tag *chain);

// The chain filed under the location key of a base name (its number in the
// index's location_base_names) and line, or null.
token_entry_tag *chain_at_location_key(const correlation_index *index, int base_name, int line);

// Sets *chain to the chain filed under line of the action file at file_path,
// or null. A path that is no action file of the index (a bare base name, say)
// is looked up by its location key, and only while at most one action file
// has that base name. 0, or -1 when memory ran out.
int find_chain_location(correlation_index *index, const char *file_path, int line,
                        token_entry_tag **chain);

#endif  // TOKENWEAVE_INDEX_LOCATION_KEY_H
