// Statement chains by place: compact tables from a pair of numbers (which
// file, or which base name, and a line) to the newest occurrence of the chain
// filed there, and the list of base names that numbers the location keys.
//
// An executed statement files its chain under its own line and under its
// statement's line, each by location key and by place: a million-line
// project files over a million entries. Kept as text keys in general tables
// they cost a copy of each key and a 40-byte record each. Here the entries
// that come in (group, line) order, nearly all of them, are a line and a
// chain in blocks, 12 bytes each with nothing free beside them, and only
// the rest sit in an open-addressed array.

#ifndef TOKENWEAVE_INDEX_CHAIN_TABLE_H
#define TOKENWEAVE_INDEX_CHAIN_TABLE_H

#include <stddef.h>

struct token_entry_tag;
struct chain_table;
struct base_name_list;

struct chain_table_entry {
    int group;  // a file's position in the project, or a base name's number
    int line;
    token_entry_tag *chain;
};

// An empty table, or null when memory ran out.
chain_table *chain_table_create();
// Null is allowed; the chains are not the table's.
void chain_table_release(chain_table *table);

// Files chain under (group, line), group 0 or more, unless a chain is filed
// there already: the first one filed stays. 0 when filed, 1 when the place
// was taken, -1 when memory ran out or group is negative (nothing changes).
int chain_table_add(chain_table *table, int group, int line, token_entry_tag *chain);
// Starts loading where filing (group, line) out of order would look first;
// changes nothing.
void chain_table_prefetch(const chain_table *table, int group, int line);
// The chain filed under (group, line), or null.
token_entry_tag *chain_table_get(const chain_table *table, int group, int line);
int chain_table_count(const chain_table *table);
// Calls visit for every entry, in no particular order. The table must not
// change meanwhile.
void chain_table_visit(const chain_table *table, void (*visit)(void *, const chain_table_entry &),
                       void *context);

// Files every chain of source's group under (target_group, its line) in
// target, as chain_table_add does. 0, or -1 when memory ran out.
int chain_table_copy_group(chain_table *target, int target_group, const chain_table *source,
                           int source_group);

// Which files filed chains under a base name's location keys: none yet, one
// (its position in the project) or several (other files, or paths outside the
// project, too).
enum { NO_FILER = -1, SEVERAL_FILERS = -2 };

// An empty list, or null when memory ran out.
base_name_list *base_name_list_create();
// Null is allowed.
void base_name_list_release(base_name_list *names);
// The number of base_name, from 0 in the order first seen, adding it when
// new; -1 when memory ran out.
int base_name_number(base_name_list *names, const char *base_name);
// The number of base_name, or -1 when it was never added.
int find_base_name_number(const base_name_list *names, const char *base_name);
// The text of a number base_name_number gave, or null for any other.
const char *base_name_text(const base_name_list *names, int number);
// The filer of a base name's location keys (NO_FILER for a number
// base_name_number never gave), and a change of it.
int base_name_filer(const base_name_list *names, int number);
void set_base_name_filer(base_name_list *names, int number, int filer);

#endif  // TOKENWEAVE_INDEX_CHAIN_TABLE_H
