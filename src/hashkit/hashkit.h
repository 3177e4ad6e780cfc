// Hash tables keyed by zero-terminated text, holding untyped value pointers.
//
// The table copies every key it stores, so callers may pass keys in temporary
// buffers. Values are stored as given (null included) and belong to the
// caller, except in tables opened with ht_open_ext: those call the release
// function exactly once for every value they remove (ht_delete) or still hold
// when closed (ht_close). A payload room from ht_add_payload is the one value
// that belongs to the table, in every table. Adding a key that is already present leaves the
// stored value as it was. Enumeration yields the values in insertion order,
// so reports and progress are the same on every platform. Keys compare byte
// for byte. The bucket count given at opening is a starting size; tables grow
// as they fill. A null table or key is refused (-1 or null), never followed.

#ifndef TOKENWEAVE_HASHKIT_HASHKIT_H
#define TOKENWEAVE_HASHKIT_HASHKIT_H

#include <stddef.h>

struct ht_table;
struct ht_enumeration;

typedef void (*ht_release_function)(void *value);

// A new table, or null when memory ran out.
ht_table *ht_open(int buckets);
ht_table *ht_open_ext(int buckets, ht_release_function release);

// 0 when the key was added, 1 when it was already present (nothing changes),
// -1 when memory ran out (nothing changes).
int ht_add(ht_table *table, const char *key, void *value);
// Adds key with payload_size bytes of zeroed room for the caller's record
// kept in the entry beside the key's copy, and returns that room, aligned to
// 8 bytes; the key's value is the room's address. The room never moves and
// goes with its entry (ht_delete, ht_close); the release function is never
// called for it. *stored_key, when stored_key is given, is pointed at the
// table's copy of the key, valid while the entry stays. Null when the key is
// present already, payload_size is 0 or memory ran out (nothing changes).
void *ht_add_payload(ht_table *table, const char *key, size_t payload_size,
                     const char **stored_key);
// The value stored under key, or null when the key is absent.
void *ht_get(ht_table *table, const char *key);
// Where the value stored under key is kept, so that a caller can replace it
// in one lookup; the key keeps its place in the insertion order and nothing
// is released. Null when the key is absent, and for a payload room, which is
// its entry's value for good. Valid until the table changes.
void **ht_value_of(ht_table *table, const char *key);
// Starts loading the part of the table a lookup of key reads first, so that
// a caller about to look up several keys waits for their cache misses side
// by side instead of one after another. Changes nothing; a null table or
// key is ignored.
void ht_prefetch(ht_table *table, const char *key);
// 0 when the key was removed (its value released in an ht_open_ext table),
// -1 when it was absent.
int ht_delete(ht_table *table, const char *key);
// Releases the table (and, for ht_open_ext tables, every value). Null is
// allowed.
void ht_close(ht_table *table);
// Number of keys held.
int ht_count(ht_table *table);

// Starts an enumeration of the table's values. The object belongs to the
// table (callers never release it) and is reused by the next call; the table
// must not change while it is enumerated.
ht_enumeration *ht_enumerate_elements(ht_table *table);
// Number of values the enumerated table holds.
int ht_enum_count(ht_enumeration *enumeration);
int ht_enum_has_more_elements(ht_enumeration *enumeration);
void *ht_enum_next_element(ht_enumeration *enumeration);
// Like ht_enum_next_element, and also points *key at the entry's key (valid
// while the entry stays in the table). Tools that show a table whole use it.
void *ht_enum_next_entry(ht_enumeration *enumeration, const char **key);

#endif  // TOKENWEAVE_HASHKIT_HASHKIT_H
