// Graded entities and the priority queue that ranks them.
//
// A GradedEntity is a handle to a shared, reference-counted body holding a
// grade, an untyped data pointer and the function that frees the data. Copies
// share the body; when the last handle goes, the body calls release(data) and
// is freed. A null release function means the data is not the entity's to
// free. Handles compare by grade.
//
// priorityQueue<T> is the queue protocol; heap<T> is its binary-heap
// implementation, instantiated for GradedEntity pointers, where the top is an
// entity with the smallest grade. A new entity never displaces an equal one
// from the top, but equal grades are not first-in first-out: after removals
// they come out in whatever order the heap's moves leave them.
//
// The heap owns the entities it holds: removeTop deletes the top one (and so
// releases its data unless another handle shares the body). detachTop hands
// the top one to the caller instead. Destroying a heap frees its slots and
// the cells of the entities it made, but releases no entity's data and
// deletes no entity it was given, so an owner empties it first.
//
// Entities the heap makes itself (emplace, heap_insert) live in an
// entitySlab the heap owns: a query queues tens of thousands of them, and a
// handle and a body allocated apiece cost a fifth of its instructions. Their
// cells are reused as entities leave and freed with the heap. Such an entity
// may be read and copied while the heap holds it, never assigned to, and a
// copy must go before the heap does; detachTop turns it into an ordinary
// entity first.
//
// Allocation failure inside these classes throws std::bad_alloc and leaves the
// heap holding exactly what it held. Plain-function code reaches the heap
// through the wrappers at the end (heap_create, ...), which never throw and
// report failure in their results instead.

#ifndef TOKENWEAVE_CONTAINERS_CGRADEDENTITY_H
#define TOKENWEAVE_CONTAINERS_CGRADEDENTITY_H

#include <climits>
#include <cstddef>
#include <new>

#include "containers/vector.h"

class entitySlab;

class GradedEntity {
public:
    GradedEntity(float grade, void *data, void (*release)(void *));
    GradedEntity(const GradedEntity &other);
    GradedEntity &operator=(const GradedEntity &other);
    ~GradedEntity();

    float getGrade() const;
    void *getData() const;

    bool operator==(const GradedEntity &other) const;
    bool operator!=(const GradedEntity &other) const;
    bool operator<(const GradedEntity &other) const;
    bool operator>(const GradedEntity &other) const;
    bool operator<=(const GradedEntity &other) const;
    bool operator>=(const GradedEntity &other) const;

private:
    friend class entitySlab;

    struct Body {
        float grade;
        int references;  // handles sharing this body
        void *data;      // the next free cell while a slab cell is unused
        void (*release)(void *);
        entitySlab *home;  // the slab whose cell holds this body; null when allocated alone
    };

    explicit GradedEntity(Body *shared);

    // One handle fewer on body; the last one releases the data and frees the
    // body (or hands its cell back to its slab).
    static void drop(Body *body);

    Body *body;
};

// The cells of the entities one heap makes: a handle and its body side by
// side, carved from blocks that grow by half, reused through a free list and
// freed together when the slab goes (whatever data the entities still left in
// it point to is not released).
class entitySlab {
public:
    entitySlab() = default;
    ~entitySlab();
    entitySlab(const entitySlab &) = delete;
    entitySlab &operator=(const entitySlab &) = delete;

    // A new entity in a free cell, adding a block when none is left. Throws
    // std::bad_alloc (the slab unchanged) when the block cannot be had.
    GradedEntity *make(float grade, void *data, void (*release)(void *));

    // True when entity is the handle of a slab cell (of any slab).
    static bool madeInSlab(const GradedEntity *entity);

    // Ends a handle: a slab handle in place, its cell reused once no copy
    // shares its body; any other with delete.
    static void destroy(GradedEntity *entity);

    // The entity as one its caller may delete: a slab handle is replaced by
    // an allocated one taking over its data and release, and its cell is
    // reused; any other is returned as it is. While copies of a slab handle
    // live, the replacement shares their body instead, and like them must go
    // before the slab. Throws std::bad_alloc with nothing changed.
    static GradedEntity *detach(GradedEntity *entity);

    // The entity as one this slab may hold: a slab handle whose body nothing
    // else shares moves into a cell of this slab (its old cell reused); any
    // other is returned as it is. Throws std::bad_alloc with nothing changed.
    GradedEntity *adopt(GradedEntity *entity);

    // Takes over every cell of other, used or free; other ends empty. Its
    // entities stay where they are and now belong to this slab. Absorbing
    // itself changes nothing.
    void absorb(entitySlab &other);

private:
    friend class GradedEntity;  // a body's last handle hands its cell back

    struct Cell;
    struct Block;

    // Puts the cell of body on the free list.
    void reuse(GradedEntity::Body *body);
    // Ends a slab handle whose body nothing else shares without releasing
    // its data, which now belongs to another entity.
    static void forget(GradedEntity *entity);

    Block *blocks = nullptr;
    Cell *freeCells = nullptr;
    std::size_t cells = 0;
};

// The order a heap keeps: an element's own < in general, the pointed-to
// entities' grades for entity pointers (never their addresses).
template <typename T>
inline bool lessThan(const T &a, const T &b) {
    return a < b;
}
inline bool lessThan(GradedEntity *const &a, GradedEntity *const &b) {
    return *a < *b;
}

// How a heap keeps an element in its slots: as it is in general. An entity
// pointer is kept beside a copy of its entity's grade, so ordering the heap
// reads the slots alone and never follows a pointer to a handle and its body
// (a large queue's entities lie all over the heap memory). An entity's grade
// never changes, so the copy stays true while the entity is held.
//
// It also says what the heap does with an element beyond ordering it: what
// else the heap owns for its elements (elementStore), how it makes one in
// place, ends one removeTop takes out, hands one over to a caller
// (detachTop) and takes one over from another heap (moveTopTo). In general
// the heap stores nothing else and an element is just copied.
template <typename T>
struct heapSlot {
    typedef T slot;
    struct elementStore {};
    static slot make(const T &element) { return element; }
    static T &element(slot &held) { return held; }
    static bool less(const slot &a, const slot &b) { return lessThan(a, b); }
    // False for an element less cannot place in one order with the rest.
    static bool ordered(const slot &) { return true; }
    template <typename... Args>
    static T create(elementStore &, Args &&...args) {
        return T(static_cast<Args &&>(args)...);
    }
    static void destroy(T &) {}
    static T detach(T &element) { return element; }
    static T adopt(elementStore &, T &element) { return element; }
    static void absorb(elementStore &, elementStore &) {}
};

template <>
struct heapSlot<GradedEntity *> {
    struct slot {
        float grade;
        GradedEntity *entity;
    };
    static slot make(GradedEntity *const &element) { return slot{element->getGrade(), element}; }
    static GradedEntity *&element(slot &held) { return held.entity; }
    // GradedEntity's own < on the grades.
    static bool less(const slot &a, const slot &b) { return a.grade < b.grade; }
    // A NaN grade is neither less nor more than any other.
    static bool ordered(const slot &held) { return held.grade == held.grade; }

    // An entity pointer is the heap's to delete; the ones it makes itself
    // come from its slab.
    typedef entitySlab elementStore;
    static GradedEntity *create(elementStore &slab, float grade, void *data,
                                void (*release)(void *)) {
        return slab.make(grade, data, release);
    }
    static void destroy(GradedEntity *&element) {
        entitySlab::destroy(element);
        element = nullptr;
    }
    static GradedEntity *detach(GradedEntity *&element) { return entitySlab::detach(element); }
    static GradedEntity *adopt(elementStore &slab, GradedEntity *&element) {
        return slab.adopt(element);
    }
    static void absorb(elementStore &slab, elementStore &other) { slab.absorb(other); }
};

template <typename T>
class priorityQueue {
public:
    // Adds element; returns the slot where it landed.
    virtual T &insert(const T &element) = 0;
    // Nonzero when no element is held.
    virtual int isEmpty() = 0;
    // An element with the smallest grade.
    virtual T top() = 0;
    // Takes the top element out and destroys it.
    virtual void removeTop() = 0;

protected:
    // Queues are owned by their concrete type, never deleted through here.
    ~priorityQueue() = default;
};

// A full heap gains half its slots again, and at least this many. Growth
// copies the whole storage, so a fixed step would make filling a large
// queue (a search over a big project queues hundreds of thousands of pairs)
// quadratic; growing by half keeps it linear at a third of spare room.
constexpr unsigned HEAP_GROWTH_SLOTS = 5;

template <typename T>
class heap final : public priorityQueue<T> {
    typedef heapSlot<T> Held;
    typedef typename Held::slot Slot;

public:
    explicit heap(unsigned n) : storage(n), capacity(n), count(0), unordered(false) {}

    // Grows first when needed (growIfFull). A caller that must not fail
    // half-way calls growIfFull before making the element; insert then cannot
    // fail.
    T &insert(const T &element) override {
        growIfFull();
        return Held::element(storage.at(place(Held::make(element))));
    }

    // Makes an element from args in the heap's own store (for entities: one
    // with grade, data and release, in the heap's slab) and inserts it. Throws
    // std::bad_alloc with the heap holding what it held and the arguments
    // untouched (no data released).
    template <typename... Args>
    T &emplace(Args &&...args) {
        growIfFull();
        return insert(Held::create(owned, static_cast<Args &&>(args)...));
    }

    int isEmpty() override { return count == 0 ? 1 : 0; }

    // A default-made T (null for pointers) when the heap is empty.
    T top() override { return count == 0 ? T() : Held::element(storage.at(0)); }

    void removeTop() override {
        if (count == 0) {
            return;
        }
        Held::destroy(Held::element(storage.at(0)));
        closeGapAtTop();
    }

    // Takes the top element out without destroying it and hands it back; a
    // default-made T when the heap is empty. An entity the heap made is
    // first turned into one the caller may delete, which allocates: throws
    // std::bad_alloc with the heap unchanged when that fails.
    virtual T detachTop() {
        if (count == 0) {
            return T();
        }
        T detached = Held::detach(Held::element(storage.at(0)));
        closeGapAtTop();
        return detached;
    }

    // Moves the top element into target (a heap-made entity into a cell of
    // target's own slab) without releasing or copying what it holds; does
    // nothing when this heap is empty. Throws std::bad_alloc with both heaps
    // unchanged.
    void moveTopTo(heap &target) {
        if (count == 0) {
            return;
        }
        target.growIfFull();
        T moved = Held::adopt(target.owned, Held::element(storage.at(0)));
        closeGapAtTop();
        target.insert(moved);
    }

    // Moves every element into target in the order removeTop would take them
    // out, as moveTopTo one by one would, but keeping each where it lives:
    // target's store takes over this heap's store (for entities: the slab's
    // cells) whole. Moving a heap into itself changes nothing. Throws
    // std::bad_alloc with both heaps unchanged.
    void moveAllTo(heap &target) {
        if (count == 0 || &target == this) {
            return;
        }
        if (count > UINT_MAX - 2 - target.count) {
            throw std::bad_alloc();
        }
        target.reserve(target.count + count);
        Held::absorb(target.owned, owned);
        if (unordered) {
            target.unordered = true;
        }
        while (count > 0) {
            Slot top = storage.at(0);
            closeGapAtTop();
            target.place(top);
        }
    }

    // Keeps at least one slot free for the next insert, growing by half
    // (at least HEAP_GROWTH_SLOTS) when the free slot is used up. Throws
    // std::bad_alloc (the heap unchanged) when the larger storage cannot be
    // had.
    void growIfFull() {
        if (count + 1 < capacity) {
            return;
        }
        unsigned growth = capacity / 2 > HEAP_GROWTH_SLOTS ? capacity / 2 : HEAP_GROWTH_SLOTS;
        if (capacity > UINT_MAX - growth) {
            throw std::bad_alloc();
        }
        storage.resize(storage.size() + growth);
        capacity += growth;
    }

    // Room for n elements with one slot free after them, grown as inserts
    // would grow it. Throws std::bad_alloc (the heap unchanged) when the
    // larger storage cannot be had.
    void reserve(unsigned n) {
        unsigned wanted = capacity;
        while (wanted < n + 1) {
            unsigned growth = wanted / 2 > HEAP_GROWTH_SLOTS ? wanted / 2 : HEAP_GROWTH_SLOTS;
            if (wanted > UINT_MAX - growth) {
                throw std::bad_alloc();
            }
            wanted += growth;
        }
        if (wanted != capacity) {
            storage.resize(wanted);
            capacity = wanted;
        }
    }

    // Forgets every element without destroying any: they belong to whoever
    // still holds them. Entities the heap made are then never released; their
    // cells go with the heap.
    void clear() {
        count = 0;
        unordered = false;
    }

    unsigned getCapacity() const { return capacity; }
    unsigned getCount() const { return count; }

private:
    // Puts arriving into the free slot after the last and lets it rise to its
    // place, which it returns; the slot must be there.
    unsigned place(const Slot &arriving) {
        if (!Held::ordered(arriving)) {
            unordered = true;
        }
        unsigned p = count;
        ++count;
        // Move larger parents down; an equal parent stays above, so equal
        // elements keep the order they arrived in on the path to the root.
        while (p > 0) {
            unsigned q = (p - 1) / 2;
            if (!Held::less(arriving, storage.at(q))) {
                break;
            }
            storage.at(p) = storage.at(q);
            p = q;
        }
        storage.at(p) = arriving;
        return p;
    }

    // Moves the last element into the emptied root and sinks it into place.
    // The last element mostly belongs near the bottom, so the gap first
    // follows the smaller children all the way down and the element then
    // climbs back from there: one comparison per level instead of two. Along
    // that path grades never decrease, so the climb stops exactly where
    // sinking from the top would have: equal grades come out in the same
    // order. An unordered element (a NaN grade) breaks that, so a heap that
    // ever held one sinks from the top.
    void closeGapAtTop() {
        --count;
        if (unordered) {
            storage.at(0) = storage.at(count);
            sift_down(count, 0);
            return;
        }
        Slot sinking = storage.at(count);
        unsigned gap = 0;
        for (;;) {
            std::size_t k = 2 * static_cast<std::size_t>(gap) + 1;
            if (k >= count) {
                break;
            }
            if (k + 1 < count && Held::less(storage.at(k + 1), storage.at(k))) {
                ++k;
            }
            storage.at(gap) = storage.at(k);
            gap = static_cast<unsigned>(k);
        }
        while (gap > 0) {
            unsigned parent = (gap - 1) / 2;
            if (!Held::less(sinking, storage.at(parent))) {
                break;
            }
            storage.at(gap) = storage.at(parent);
            gap = parent;
        }
        storage.at(gap) = sinking;
    }

    // Restores the order below slot p among the first end slots. Children are
    // compared strictly, so of two equal children the left one rises, and the
    // sinking element goes below children equal to it.
    void sift_down(unsigned end, unsigned p) {
        if (p >= end) {
            return;
        }
        Slot sinking = storage.at(p);
        for (;;) {
            std::size_t k = 2 * static_cast<std::size_t>(p) + 1;
            if (k >= end) {
                break;
            }
            if (k + 1 < end && Held::less(storage.at(k + 1), storage.at(k))) {
                ++k;
            }
            if (Held::less(sinking, storage.at(k))) {
                break;
            }
            storage.at(p) = storage.at(k);
            p = static_cast<unsigned>(k);
        }
        storage.at(p) = sinking;
    }

    vector<Slot> storage;               // slot 0 is the root; slot i has children 2i+1 and 2i+2
    unsigned capacity;                  // equals storage.size()
    unsigned count;                     // elements held, in slots 0 to count - 1
    bool unordered;                     // an element that is not ordered was inserted since clear
    typename Held::elementStore owned;  // what emplace makes elements in
};

// Plain-function interface of the entity heap.

typedef heap<GradedEntity *> graded_heap;

// A heap with room for capacity entities; null when capacity is negative or
// memory ran out.
graded_heap *heap_create(int capacity);

// Creates an entity (grade, data, release) and inserts it. Returns 0, or -1
// when the heap is null or memory ran out: then nothing was inserted and data
// was not released, so the caller still owns it.
int heap_insert(graded_heap *heap, float grade, void *data, void (*release)(void *));

// Inserts an entity the caller made or detached from another heap; the heap
// then owns it. 0, or -1 when the heap is null or memory ran out: then the
// entity is still the caller's.
int heap_insert_entity(graded_heap *heap, GradedEntity *entity);

// 1 when the heap holds nothing (or is null), else 0.
int heap_is_empty(graded_heap *heap);

// Data and grade of the top entity; null and 0 when the heap is empty.
void *heap_top_data(graded_heap *heap);
float heap_top_grade(graded_heap *heap);

// Deletes the top entity, releasing its data. Does nothing on an empty heap.
void heap_remove_top(graded_heap *heap);

// Takes the top entity out without destroying it; the caller now owns it and
// deletes it when done. Null when the heap is empty, or when memory ran out
// turning an entity the heap made into one of its own (it then stays on top).
GradedEntity *heap_detach_top(graded_heap *heap);

// Moves the top entity of source into target, neither copying nor releasing
// its data: for merging queues without the allocation detaching costs. 0, or
// -1 when source is empty, either heap is null or memory ran out (then both
// heaps are unchanged).
int heap_move_top(graded_heap *target, graded_heap *source);

// Moves every entity of source into target, in the order heap_move_top one
// by one would, without copying or releasing their data or allocating
// entities. 0, or -1 when either heap is null or memory ran out (then both
// heaps are unchanged).
int heap_move_all(graded_heap *target, graded_heap *source);

// Forgets every entity without destroying any; whoever holds them frees them
// (the ones heap_insert made are never released).
void heap_clear(graded_heap *heap);

// Frees the heap, its slots and the cells of the entities it made, releasing
// none of their data; entities it was given stay alive. Null is allowed.
void heap_delete(graded_heap *heap);

#endif  // TOKENWEAVE_CONTAINERS_CGRADEDENTITY_H
