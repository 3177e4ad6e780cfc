// Makes one chosen allocation through operator new fail, so that tests can
// prove what a failed allocation leaves behind.
//
// The test program replaces the global operator new and delete with versions
// over malloc and free that count the allocations made while a FailingAllocation
// is alive and throw std::bad_alloc on the chosen one. Outside that window
// they behave as usual.

#ifndef TOKENWEAVE_TESTS_CONTAINERS_FAILING_ALLOCATOR_H
#define TOKENWEAVE_TESTS_CONTAINERS_FAILING_ALLOCATOR_H

namespace tw_test {

class FailingAllocation {
public:
    // Lets fail_at allocations succeed and fails the one after them (0 fails
    // the first). Only one may be alive at a time.
    explicit FailingAllocation(int fail_at);
    ~FailingAllocation();
    FailingAllocation(const FailingAllocation &) = delete;
    FailingAllocation &operator=(const FailingAllocation &) = delete;

    // Allocations requested since construction, the failed one included.
    int requested() const;
    bool failed() const;
};

}  // namespace tw_test

#endif  // TOKENWEAVE_TESTS_CONTAINERS_FAILING_ALLOCATOR_H
