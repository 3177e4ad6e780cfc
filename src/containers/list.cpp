#include "containers/list.h"

#include <stdlib.h>

namespace {

// Nodes start zero-filled so a node is never seen half-linked.
list_node *new_node(void *data) {
    list_node *node = static_cast<list_node *>(calloc(1, sizeof(list_node)));
    if (node != nullptr) {
        node->data = data;
    }
    return node;
}

}  // namespace

list_node *list_create() {
    return nullptr;
}

void list_link_after(list_node **list, list_node *position, list_node *node) {
    if (position == nullptr) {
        node->previous = nullptr;
        node->next = *list;
        if (*list != nullptr) {
            (*list)->previous = node;
        }
        *list = node;
        return;
    }
    node->previous = position;
    node->next = position->next;
    if (position->next != nullptr) {
        position->next->previous = node;
    }
    position->next = node;
}

int list_add_first(list_node **list, void *data) {
    return list_insert_after(list, nullptr, data);
}

int list_insert_after(list_node **list, list_node *position, void *data) {
    // Only an insertion at the front needs the list record.
    if (list == nullptr && position == nullptr) {
        return 0;
    }
    list_node *node = new_node(data);
    if (node == nullptr) {
        return 0;
    }
    list_link_after(list, position, node);
    return 1;
}

void *list_first(list_node **list) {
    if (list == nullptr || *list == nullptr) {
        return nullptr;
    }
    return (*list)->data;
}

list_node *list_head(list_node **list) {
    return list == nullptr ? nullptr : *list;
}

void *list_next(list_node ** /*list*/, list_node **position) {
    if (position == nullptr || *position == nullptr) {
        return nullptr;
    }
    void *data = (*position)->data;
    *position = (*position)->next;
    return data;
}

void *list_previous(list_node ** /*list*/, list_node **position) {
    if (position == nullptr || *position == nullptr) {
        return nullptr;
    }
    void *data = (*position)->data;
    *position = (*position)->previous;
    return data;
}

void *list_get(list_node ** /*list*/, list_node **position) {
    if (position == nullptr || *position == nullptr) {
        return nullptr;
    }
    return (*position)->data;
}

void list_remove(list_node **list, list_node **position) {
    if (list == nullptr || position == nullptr || *position == nullptr) {
        return;
    }
    list_node *node = *position;
    if (node->next != nullptr) {
        node->next->previous = node->previous;
    }
    if (node->previous != nullptr) {
        node->previous->next = node->next;
    } else {
        *list = node->next;
    }
    free(node);
}

int list_is_empty(list_node **list) {
    return list == nullptr || *list == nullptr ? 1 : 0;
}
