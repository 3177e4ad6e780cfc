#include "containers/vector.h"

#include <new>

vector<void *> *vector_create(int n) {
    if (n < 0) {
        return nullptr;
    }
    try {
        return new vector<void *>(static_cast<unsigned>(n), nullptr);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

void *vector_get(vector<void *> *items, int index) {
    if (items == nullptr || index < 0 || static_cast<unsigned>(index) >= items->size()) {
        return nullptr;
    }
    return items->at(static_cast<unsigned>(index));
}

void *vector_put(vector<void *> *items, void *item) {
    if (items == nullptr) {
        return nullptr;
    }
    vectorIterator<void *> walk(items);
    for (int more = walk.reset(); more; more = walk.next()) {
        if (walk.current() == nullptr) {
            walk.replace(item);
            return item;
        }
    }
    return nullptr;
}

void vector_delete(vector<void *> *items) {
    delete items;
}
