// Memory running out while the tree is built: CreateEvaluatorTree and the
// factories return null, throw nothing and leak nothing (the sanitizer build
// reports any leak). The test program's operator new fails on request.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <new>
#include <string>

#include "heuristics/ctokenheuristicevaluator.h"
#include "heuristics/evaluator_tree.h"
#include "pair_records.h"
#include "test_support.h"

namespace {

// Allocations still allowed before operator new fails; negative: no limit.
long allocations_left = -1;

void *allocate(size_t size) {
    if (allocations_left == 0) {
        return nullptr;
    }
    if (allocations_left > 0) {
        --allocations_left;
    }
    return malloc(size == 0 ? 1 : size);
}

}  // namespace

void *operator new(size_t size) {
    void *memory = allocate(size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}
void *operator new[](size_t size) {
    return operator new(size);
}
void *operator new(size_t size, const std::nothrow_t &) noexcept {
    return allocate(size);
}
void *operator new[](size_t size, const std::nothrow_t &) noexcept {
    return allocate(size);
}
void operator delete(void *memory) noexcept {
    free(memory);
}
void operator delete[](void *memory) noexcept {
    free(memory);
}
void operator delete(void *memory, size_t) noexcept {
    free(memory);
}
void operator delete[](void *memory, size_t) noexcept {
    free(memory);
}
void operator delete(void *memory, const std::nothrow_t &) noexcept {
    free(memory);
}
void operator delete[](void *memory, const std::nothrow_t &) noexcept {
    free(memory);
}

namespace {

using tw_test::PairRecords;
using tw_test::TempDir;

// Upper bound on the allocations one tree needs, so a tree that never
// succeeds ends the loop.
const long MAX_ALLOCATIONS = 1000;

TEST(AllocationFailureTest, CreateEvaluatorTreeFailsCleanlyAtEveryAllocation) {
    TempDir dir;
    std::string path = dir.write("crlt.dat",
                                 "[TokenEvaluatorInputs]\nWeight0=1\n"
                                 "[StatementType]\nNumberOfStatements=3\nType0=sqx_stmt\n"
                                 "Weight0=1\nType1=sqx_assign\nWeight1=1\nType2=x\nWeight2=1\n");
    PairRecords pair;
    long failedAt = 0;
    for (;; ++failedAt) {
        ASSERT_LT(failedAt, MAX_ALLOCATIONS);
        allocations_left = failedAt;
        CTokenHeuristicEvaluator *root = CreateEvaluatorTree(path.c_str());
        allocations_left = -1;
        if (root != nullptr) {
            EXPECT_EQ(root->InputCount(), 9);
            EXPECT_EQ(root->Evaluate(pair.token, pair.output, pair.input), 0.3125f);
            delete root;
            break;
        }
    }
    // Every object and array of the tree failed once above.
    EXPECT_GE(failedAt, 15);
}

}  // namespace
