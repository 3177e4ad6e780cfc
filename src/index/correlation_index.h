// The token index: every value the script sends and every value a recorded
// result grid returned, filed under its text with the places it occurs.
//
// The index owns its records. Each value's record and text live in its
// token_table entry; occurrences, grid cells and list nodes come from the
// index's arena. Both go with the index in one step. Occurrences point into
// text owned elsewhere (the token record's value, the path in file_paths)
// and never free it.
// It is filled only while BuildIndex runs; afterwards only best_grade,
// grid_repeat and next_candidate change.

#ifndef TOKENWEAVE_INDEX_CORRELATION_INDEX_H
#define TOKENWEAVE_INDEX_CORRELATION_INDEX_H

#include "index/record_arena.h"
#include "model/occurrence_codes.h"
#include "tokenweave/ccorrelationanalyser.h"

struct ht_table;
struct action_file_t;
struct grid_directory_files;
struct chain_table;
struct base_name_list;

enum index_table_size {
    TOKEN_TABLE_BUCKETS = 2048,
    FILE_TABLE_BUCKETS = 64,
    HANDLE_TABLE_BUCKETS = 64,
    STATEMENT_TABLE_BUCKETS = 1024,
    STOP_LIST_BUCKETS = 32
};

enum { STATEMENT_HANDLE_SIZE = 32 };

struct correlation_index {
    ht_table *token_table;        // token text -> token_instances_t (in the entry)
    ht_table *file_table;         // full action-file path -> action_file_t (owned)
    char **file_paths;            // full paths in project order, ended by null (owned)
    ht_table *handle_table;       // handle -> newest input occurrence under it
    chain_table *location_table;  // location key -> first occurrence of a chain
    ht_table *statement_table;    // handle -> statement_site_t (owned)
    ht_table *stop_list;          // token text -> marker; stays empty
    int file_path_slots;          // entries file_paths has room for, terminator included
    // Project position and line -> the chain first filed there: the chains
    // of location_table again, told apart for files that share a base name.
    chain_table *place_table;
    // Location keys are a line and the number of the base name here.
    base_name_list *location_base_names;
    record_arena records;  // what the recorder files; released with the index
    // The action file add_chain_location last filed a chain for, with its
    // base name: an executed statement files its chain twice, mostly in the
    // file of the statement before it.
    const char *chain_file_path;
    action_file_t *chain_file;
    const char *chain_file_base_name;
    int chain_file_base_name_number;  // in location_base_names; -1 when it could not be added
    // The files load_grid last found; null until the first grid (owned).
    grid_directory_files *grid_files;
};

struct action_file_t {
    int index;   // position in the project, from 0
    char *key;   // key of the Actions entry (owned)
    char *path;  // full path (owned)
    int line_count;
};

struct statement_site_t {
    int line;
    const char *file_name;  // base name inside the action file's path
    char handle[STATEMENT_HANDLE_SIZE];
    const char *file_path;  // the action file's full path (one of file_paths)
};

// A heap copy of text (released with free), or null.
char *copy_text(const char *text);

// A fresh occurrence with every field at its "not filled" value, or null.
token_entry_tag *new_token_entry();

// The index's tables, with nothing registered; null when memory ran out.
correlation_index *create_index_tables();
// Closes every table (releasing what they own), frees the file paths and the
// record. Null is allowed.
void release_index(correlation_index *index);

// token_table lookup; null when absent.
token_instances_t *find_token_instances(correlation_index *index, const char *value);
// The token's occurrence list, or null when the value is absent.
list_node **token_occurrences(correlation_index *index, const char *value);
// file_table lookup; null when absent.
action_file_t *find_action_file(correlation_index *index, const char *path);

// Registers an action file at the end of the project order: adds it to
// file_table and file_paths. 0; 1 when the path is registered already (a
// file listed twice is scanned once); -1 when memory ran out (nothing added).
int register_action_file(correlation_index *index, const char *key, const char *path,
                         int line_count);
// Number of registered action files.
int action_file_count(const correlation_index *index);

#endif  // TOKENWEAVE_INDEX_CORRELATION_INDEX_H
