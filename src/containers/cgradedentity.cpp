#include "containers/cgradedentity.h"

GradedEntity::GradedEntity(float grade, void *data, void (*release)(void *))
    : body(new Body{grade, data, 1, release}) {}

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
    delete body;
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
        // Room first, entity second: once the entity exists nothing can fail,
        // so a failure never has to destroy it, which would release data the
        // caller still owns.
        heap->growIfFull();
        heap->insert(new GradedEntity(grade, data, release));
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
    return heap == nullptr ? nullptr : heap->detachTop();
}

void heap_clear(graded_heap *heap) {
    if (heap != nullptr) {
        heap->clear();
    }
}

void heap_delete(graded_heap *heap) {
    delete heap;
}
