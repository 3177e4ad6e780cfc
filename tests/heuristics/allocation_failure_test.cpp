// Memory running out while the tree is built: CreateEvaluatorTree and the
// factories return null, throw nothing and leak nothing (the sanitizer build
// reports any leak); and while a cursor query queues its pairs. The test
// program's operator new fails on request.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <new>
#include <string>

#include "heuristics/ctokenheuristicevaluator.h"
#include "heuristics/evaluator_tree.h"
#include "pair_records.h"
#include "test_project.h"
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

// A statement whose two values were returned by one grid: the query walks
// both values' lists and merges their queues, each step able to fail.
TEST(AllocationFailureTest, CursorQueryFailsCleanlyAtEveryAllocation) {
    tw_test::TestProject project;
    project.set_grids("[grid 1]\nA,B\nx,12\n");
    project.add_action("Action1.c",
                       tw_test::numbered_lines(
                           {{1, "Action1()"},
                            {2, "{"},
                            {5, "    GRID(1);"},
                            {10,
                             "    sqx_stmt(Csr1, \"select a from t where b = 'x' and c = 12\", "
                             "-1, 1, 0, 0);"},
                            {12, "    sqx_exec(Csr1, 0, 0);"},
                            {13, "}"}}));
    std::string action = project.file("Action1.c");
    std::string report = project.file("report.txt");
    auto analyser = project.build(tw_test::QUARTER_GRADE_WEIGHTS);
    ASSERT_NE(analyser, nullptr);
    ASSERT_EQ(analyser->CursorQuery(action.c_str(), 10, report.c_str(), 0.0f), TOKENWEAVE_OK);
    std::string expected = tw_test::read_report(report);

    long failedAt = 0;
    for (;; ++failedAt) {
        ASSERT_LT(failedAt, MAX_ALLOCATIONS);
        allocations_left = failedAt;
        int result = analyser->CursorQuery(action.c_str(), 10, report.c_str(), 0.0f);
        allocations_left = -1;
        if (result == TOKENWEAVE_OK) {
            break;
        }
        EXPECT_EQ(result, TOKENWEAVE_FAILED) << failedAt;
    }
    // The queues of both values and the result queue failed once above, and
    // the failures changed nothing the next query reads.
    EXPECT_GE(failedAt, 3);
    EXPECT_EQ(tw_test::read_report(report), expected);
}

}  // namespace
