// A doubly linked list of untyped data pointers, walked through positions
// that the caller keeps.
//
// A list is a one-word record: a list_node pointer to its first node, null
// when the list is empty. Every function takes the address of that record so
// that it can change which node comes first. A position is a list_node
// pointer held in the caller's own variable, null once it has walked past
// either end; because positions live outside the list, any number of walks
// over one list can run side by side.
//
// The list owns its nodes and never the data: list_remove frees a node, not
// what it points to, so an owner empties a list by taking list_head, freeing
// the data with its own function and removing that position, until
// list_is_empty. A failed insertion (0) leaves the list exactly as it was.
//
// list_next, list_previous, list_get and list_remove need a non-null
// position; given a null one (or a null position variable) they do nothing
// and return null rather than crash. Removing a node leaves every position
// that pointed at it dangling: the caller moves them off first.

#ifndef TOKENWEAVE_CONTAINERS_LIST_H
#define TOKENWEAVE_CONTAINERS_LIST_H

struct list_node {
    void *data;
    list_node *next;      // null at the end
    list_node *previous;  // null at the start
};

// The first-node pointer of an empty list: null.
list_node *list_create();

// Puts data in a new node in front. Returns 1, or 0 when memory ran out.
int list_add_first(list_node **list, void *data);

// Puts data in a new node right after position's node; the position itself
// does not move. A null position means the front, as list_add_first.
// Returns 1, or 0 when memory ran out.
int list_insert_after(list_node **list, list_node *position, void *data);

// Data of the first node; null when the list is empty.
void *list_first(list_node **list);

// The first node as a position; null when the list is empty.
list_node *list_head(list_node **list);

// Data of the position's node; the position moves to the following node.
void *list_next(list_node **list, list_node **position);

// Data of the position's node; the position moves to the preceding node.
void *list_previous(list_node **list, list_node **position);

// Data of the position's node; the position stays.
void *list_get(list_node **list, list_node **position);

// Unlinks the position's node and frees it (not its data). The position
// variable is left as it was and must not be used again.
void list_remove(list_node **list, list_node **position);

// Links node, whose memory the caller provides, right after position's node
// (a null position means the front). The list never frees such a node, so a
// list built this way is released by its nodes' owner, never by list_remove.
void list_link_after(list_node **list, list_node *position, list_node *node);

// 1 when the list has no node, else 0.
int list_is_empty(list_node **list);

#endif  // TOKENWEAVE_CONTAINERS_LIST_H
