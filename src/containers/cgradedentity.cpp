#include "containers/cgradedentity.h"

#include <cstdint>

GradedEntity::GradedEntity(float grade, void *data, void (*release)(void *))
    : body(new Body{grade, 1, data, release, nullptr}) {}

GradedEntity::GradedEntity(Body *shared) : body(shared) {}

GradedEntity::GradedEntity(const GradedEntity &other) : body(other.body) {
    ++body->references;
}

GradedEntity &GradedEntity::operator=(const GradedEntity &other) {
    // Counting the new body up before dropping the old one keeps a shared
    // body (self-assignment included) alive throughout.
    ++other.body->references;
    drop(body);
    body = other.body;
    return *this;
}

GradedEntity::~GradedEntity() {
    drop(body);
}

void GradedEntity::drop(Body *body) {
    if (--body->references > 0) {
        return;
    }
    if (body->release != nullptr) {
        body->release(body->data);
    }
    if (body->home != nullptr) {
        body->home->reuse(body);
    } else {
        delete body;
    }
}

namespace {

// A slab's first block, and the least any later one adds: enough that the
// small queues of a query's single values need one block.
constexpr std::size_t SLAB_FIRST_CELLS = 64;

}  // namespace

struct entitySlab::Cell {
    alignas(GradedEntity) unsigned char handle[sizeof(GradedEntity)];
    GradedEntity::Body body;
};

// A block's header, followed by its cells.
struct entitySlab::Block {
    Block *next;
    std::size_t cells;
};

entitySlab::~entitySlab() {
    while (blocks != nullptr) {
        Block *next = blocks->next;
        ::operator delete(blocks);
        blocks = next;
    }
}

GradedEntity *entitySlab::make(float grade, void *data, void (*release)(void *)) {
    static_assert(sizeof(Block) % alignof(Cell) == 0, "cells follow the block header aligned");
    if (freeCells == nullptr) {
        // Grows by half like the heap's slots: a fixed step would mean a block
        // per few dozen pairs in a search's queue of hundreds of thousands.
        std::size_t added = cells / 2 > SLAB_FIRST_CELLS ? cells / 2 : SLAB_FIRST_CELLS;
        void *memory = ::operator new(sizeof(Block) + added * sizeof(Cell));
        Block *block = new (memory) Block{blocks, added};
        blocks = block;
        cells += added;
        // Chained first to last, so that a filling queue's entities lie in
        // address order.
        Cell *first = reinterpret_cast<Cell *>(block + 1);
        for (std::size_t i = 0; i < added; ++i) {
            first[i].body.home = this;
            first[i].body.data = i + 1 < added ? &first[i + 1] : nullptr;
        }
        freeCells = first;
    }
    Cell *cell = freeCells;
    freeCells = static_cast<Cell *>(cell->body.data);
    cell->body = GradedEntity::Body{grade, 1, data, release, this};
    return new (cell->handle) GradedEntity(&cell->body);
}

bool entitySlab::madeInSlab(const GradedEntity *entity) {
    // Only the handle stored in a cell sits right before a slab body: any
    // other handle is allocated on its own or lives in its caller's memory.
    std::uintptr_t handle = reinterpret_cast<std::uintptr_t>(entity);
    std::uintptr_t body = reinterpret_cast<std::uintptr_t>(entity->body);
    return entity->body->home != nullptr && body - handle == offsetof(Cell, body);
}

void entitySlab::destroy(GradedEntity *entity) {
    if (madeInSlab(entity)) {
        entity->~GradedEntity();
    } else {
        delete entity;
    }
}

void entitySlab::forget(GradedEntity *entity) {
    entity->body->release = nullptr;
    entity->~GradedEntity();
}

GradedEntity *entitySlab::detach(GradedEntity *entity) {
    if (!madeInSlab(entity)) {
        return entity;
    }
    GradedEntity::Body *body = entity->body;
    if (body->references > 1) {
        GradedEntity *sharing = new GradedEntity(*entity);
        entity->~GradedEntity();
        return sharing;
    }
    GradedEntity *alone = new GradedEntity(body->grade, body->data, body->release);
    forget(entity);
    return alone;
}

GradedEntity *entitySlab::adopt(GradedEntity *entity) {
    if (!madeInSlab(entity)) {
        return entity;
    }
    GradedEntity::Body *body = entity->body;
    if (body->references > 1) {
        return detach(entity);
    }
    GradedEntity *moved = make(body->grade, body->data, body->release);
    forget(entity);
    return moved;
}

void entitySlab::absorb(entitySlab &other) {
    if (&other == this) {
        return;
    }
    while (other.blocks != nullptr) {
        Block *block = other.blocks;
        other.blocks = block->next;
        Cell *first = reinterpret_cast<Cell *>(block + 1);
        for (std::size_t i = 0; i < block->cells; ++i) {
            first[i].body.home = this;
        }
        block->next = blocks;
        blocks = block;
    }
    while (other.freeCells != nullptr) {
        Cell *cell = other.freeCells;
        other.freeCells = static_cast<Cell *>(cell->body.data);
        cell->body.data = freeCells;
        freeCells = cell;
    }
    cells += other.cells;
    other.cells = 0;
}

void entitySlab::reuse(GradedEntity::Body *body) {
    Cell *cell =
        reinterpret_cast<Cell *>(reinterpret_cast<unsigned char *>(body) - offsetof(Cell, body));
    body->data = freeCells;
    freeCells = cell;
}

float GradedEntity::getGrade() const {
    return body->grade;
}
void *GradedEntity::getData() const {
    return body->data;
}

bool GradedEntity::operator==(const GradedEntity &other) const {
    return body->grade == other.body->grade;
}
bool GradedEntity::operator!=(const GradedEntity &other) const {
    return body->grade != other.body->grade;
}
bool GradedEntity::operator<(const GradedEntity &other) const {
    return body->grade < other.body->grade;
}
bool GradedEntity::operator>(const GradedEntity &other) const {
    return body->grade > other.body->grade;
}
bool GradedEntity::operator<=(const GradedEntity &other) const {
    return body->grade <= other.body->grade;
}
bool GradedEntity::operator>=(const GradedEntity &other) const {
    return body->grade >= other.body->grade;
}

graded_heap *heap_create(int capacity) {
    if (capacity < 0) {
        return nullptr;
    }
    try {
        return new graded_heap(static_cast<unsigned>(capacity));
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

int heap_insert(graded_heap *heap, float grade, void *data, void (*release)(void *)) {
    if (heap == nullptr) {
        return -1;
    }
    try {
        // emplace makes room first and the entity second: once the entity
        // exists nothing can fail, so a failure never has to destroy it, which
        // would release data the caller still owns.
        heap->emplace(grade, data, release);
        return 0;
    } catch (const std::bad_alloc &) {
        return -1;
    }
}

int heap_insert_entity(graded_heap *heap, GradedEntity *entity) {
    if (heap == nullptr || entity == nullptr) {
        return -1;
    }
    try {
        heap->growIfFull();
        heap->insert(entity);
        return 0;
    } catch (const std::bad_alloc &) {
        return -1;
    }
}

int heap_is_empty(graded_heap *heap) {
    return heap == nullptr ? 1 : heap->isEmpty();
}

void *heap_top_data(graded_heap *heap) {
    if (heap_is_empty(heap)) {
        return nullptr;
    }
    return heap->top()->getData();
}

float heap_top_grade(graded_heap *heap) {
    if (heap_is_empty(heap)) {
        return 0.0f;
    }
    return heap->top()->getGrade();
}

void heap_remove_top(graded_heap *heap) {
    if (heap != nullptr) {
        heap->removeTop();
    }
}

GradedEntity *heap_detach_top(graded_heap *heap) {
    if (heap == nullptr) {
        return nullptr;
    }
    try {
        return heap->detachTop();
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

int heap_move_top(graded_heap *target, graded_heap *source) {
    if (target == nullptr || heap_is_empty(source)) {
        return -1;
    }
    try {
        source->moveTopTo(*target);
        return 0;
    } catch (const std::bad_alloc &) {
        return -1;
    }
}

int heap_move_all(graded_heap *target, graded_heap *source) {
    if (target == nullptr || source == nullptr) {
        return -1;
    }
    try {
        source->moveAllTo(*target);
        return 0;
    } catch (const std::bad_alloc &) {
        return -1;
    }
}

void heap_clear(graded_heap *heap) {
    if (heap != nullptr) {
        heap->clear();
    }
}

void heap_delete(graded_heap *heap) {
    delete heap;
}
