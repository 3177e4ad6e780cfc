// A resizable array and a polymorphic iterator over it.
//
// vector<T> owns one block of slots and nothing the slots point to: its
// destructor frees the block only. Slots are reached by index with no bounds
// check. resize moves the leading elements into a new block; if the new block
// cannot be allocated it throws std::bad_alloc and the vector is unchanged.
// A vector is not copyable: two owners of one block would free it twice.
//
// iterator<T> is the walking protocol (reset, hasMore, current, next,
// replace); vectorIterator<T> walks a vector by slot index. An iterator
// borrows its vector, which must outlive it, and is not deleted through the
// abstract base.

#ifndef TOKENWEAVE_CONTAINERS_VECTOR_H
#define TOKENWEAVE_CONTAINERS_VECTOR_H

template <typename T>
class vector {
public:
    // n slots whose contents are left uninitialised.
    explicit vector(unsigned n) : storage(new T[n]), slotCount(n) {}

    // n slots, each holding fill.
    vector(unsigned n, const T &fill) : vector(n) {
        for (unsigned i = 0; i < slotCount; ++i) {
            storage[i] = fill;
        }
    }

    virtual ~vector() { delete[] storage; }

    vector(const vector &) = delete;
    vector &operator=(const vector &) = delete;

    T &at(unsigned i) { return storage[i]; }
    const T &at(unsigned i) const { return storage[i]; }

    unsigned size() const { return slotCount; }

    // Gives the vector n slots, keeping the first min(size(), n) elements in
    // order; slots beyond the old size are uninitialised. Returns n.
    unsigned resize(unsigned n) {
        T *resized = new T[n];
        unsigned kept = n < slotCount ? n : slotCount;
        try {
            for (unsigned i = 0; i < kept; ++i) {
                resized[i] = storage[i];
            }
        } catch (...) {
            delete[] resized;
            throw;
        }
        delete[] storage;
        storage = resized;
        slotCount = n;
        return n;
    }

private:
    T *storage;
    // The number of slots, reported by size(); a member cannot share the
    // accessor's name.
    unsigned slotCount;
};

template <typename T>
class iterator {
public:
    // Starts over at the first element; returns hasMore().
    virtual int reset() = 0;
    // Nonzero while the iterator stands on an element.
    virtual int hasMore() = 0;
    virtual T current() = 0;
    // Steps to the following element; returns hasMore().
    virtual int next() = 0;
    // Stores value where the iterator stands; returns that slot.
    virtual T &replace(const T &value) = 0;

protected:
    // Iterators are owned by their concrete type, never deleted through here.
    ~iterator() = default;
};

template <typename T>
class vectorIterator final : public iterator<T> {
public:
    explicit vectorIterator(vector<T> *walked) : position(0), items(walked) { reset(); }

    int reset() override {
        position = 0;
        return hasMore();
    }
    int hasMore() override { return position < items->size() ? 1 : 0; }
    T current() override { return items->at(position); }
    int next() override {
        ++position;
        return hasMore();
    }
    T &replace(const T &value) override {
        T &slot = items->at(position);
        slot = value;
        return slot;
    }

private:
    unsigned position;  // slot index of the current element
    vector<T> *items;   // borrowed
};

#endif  // TOKENWEAVE_CONTAINERS_VECTOR_H
