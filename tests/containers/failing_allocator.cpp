#include "failing_allocator.h"

#include <stdlib.h>

#include <cstddef>
#include <new>

namespace {

bool armed = false;
int requested_while_armed = 0;
int failing_request = -1;
bool failure_happened = false;

void *allocate(std::size_t size) {
    if (armed) {
        int this_request = requested_while_armed++;
        if (this_request == failing_request) {
            failure_happened = true;
            return nullptr;
        }
    }
    return malloc(size == 0 ? 1 : size);
}

}  // namespace

namespace tw_test {

FailingAllocation::FailingAllocation(int fail_at) {
    requested_while_armed = 0;
    failing_request = fail_at;
    failure_happened = false;
    armed = true;
}

FailingAllocation::~FailingAllocation() {
    armed = false;
}

int FailingAllocation::requested() const {
    return requested_while_armed;
}
bool FailingAllocation::failed() const {
    return failure_happened;
}

}  // namespace tw_test

void *operator new(std::size_t size) {
    void *block = allocate(size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void *operator new[](std::size_t size) {
    return operator new(size);
}

void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
    return allocate(size);
}

void *operator new[](std::size_t size, const std::nothrow_t &) noexcept {
    return allocate(size);
}

void operator delete(void *block) noexcept {
    free(block);
}
void operator delete[](void *block) noexcept {
    free(block);
}
void operator delete(void *block, std::size_t) noexcept {
    free(block);
}
void operator delete[](void *block, std::size_t) noexcept {
    free(block);
}
void operator delete(void *block, const std::nothrow_t &) noexcept {
    free(block);
}
void operator delete[](void *block, const std::nothrow_t &) noexcept {
    free(block);
}
