#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "containers/cgradedentity.h"
#include "failing_allocator.h"
#include "release_log.h"

namespace {

using tw_test::record_release;
using tw_test::released;
using tw_test::tag;

class HeapTest : public tw_test::ReleaseLogTest {
protected:
    // Deleting a heap frees none of the entities it still holds, so a test
    // that leaves some behind has them destroyed here.
    void TearDown() override {
        while (!heap_is_empty(queue)) {
            heap_remove_top(queue);
        }
        heap_delete(queue);
    }

    void create(int capacity) {
        queue = heap_create(capacity);
        ASSERT_NE(queue, nullptr);
    }

    void insert(float grade, int data) {
        ASSERT_EQ(heap_insert(queue, grade, tag(data), record_release), 0);
    }

    // Removes every entity, returning the tags of their data top first; each
    // must be released as it is removed.
    std::vector<int> drain() {
        std::vector<int> order;
        while (!heap_is_empty(queue)) {
            void *top = heap_top_data(queue);
            size_t before = released.size();
            heap_remove_top(queue);
            EXPECT_EQ(released.size(), before + 1);
            EXPECT_EQ(released.back(), top);
            order.push_back(static_cast<int>(static_cast<char *>(top) - tw_test::tags));
        }
        return order;
    }

    graded_heap *queue = nullptr;
};

TEST_F(HeapTest, RemovesSmallestGradeFirst) {
    create(8);
    insert(3.0f, 3);
    insert(1.0f, 1);
    insert(2.0f, 2);
    EXPECT_EQ(heap_top_grade(queue), 1.0f);
    EXPECT_EQ(heap_top_data(queue), tag(1));
    EXPECT_EQ(drain(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(heap_is_empty(queue), 1);
}

// Entities are allocated in insertion order, so ordering by address instead
// of grade would show here.
TEST_F(HeapTest, ManyRandomGradesComeOutSorted) {
    create(0);  // grows many times on the way
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> coarse(0, 200);  // plenty of ties
    const int total = 2000;
    std::vector<float> grades;
    for (int i = 0; i < total; ++i) {
        float grade = 1.0f / static_cast<float>(1 + coarse(random));
        grades.push_back(grade);
        insert(grade, i);
    }
    EXPECT_EQ(queue->getCount(), static_cast<unsigned>(total));

    std::vector<float> popped;
    while (!heap_is_empty(queue)) {
        popped.push_back(heap_top_grade(queue));
        heap_remove_top(queue);
    }
    std::sort(grades.begin(), grades.end());
    EXPECT_EQ(popped, grades);

    // Every entity released exactly once.
    ASSERT_EQ(released.size(), static_cast<size_t>(total));
    std::sort(released.begin(), released.end());
    for (int i = 0; i < total; ++i) {
        EXPECT_EQ(released[static_cast<size_t>(i)], tag(i));
    }
}

TEST_F(HeapTest, EqualGradeInsertedFirstStaysOnTop) {
    create(4);
    insert(1.0f, 1);
    insert(1.0f, 2);
    EXPECT_EQ(heap_top_data(queue), tag(1));
    insert(0.5f, 3);
    insert(0.5f, 4);
    EXPECT_EQ(heap_top_data(queue), tag(3));
}

struct TieCase {
    const char *label;
    std::vector<float> grades;  // inserted with data 0, 1, 2, ...
    std::vector<int> removal_order;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const TieCase &c, std::ostream *out) {
    *out << c.label;
}

class HeapTies : public tw_test::ReleaseLogTest, public testing::WithParamInterface<TieCase> {};

// Equal grades do not come out first-in first-out: the last element moves to
// the root on removal and sinks below children equal to it, and of two equal
// children the left one rises.
TEST_P(HeapTies, EqualGradesComeOutInTheHeapsOrder) {
    const TieCase &c = GetParam();
    graded_heap *queue = heap_create(16);
    ASSERT_NE(queue, nullptr);
    for (size_t i = 0; i < c.grades.size(); ++i) {
        ASSERT_EQ(heap_insert(queue, c.grades[i], tag(static_cast<int>(i)), record_release), 0);
    }
    std::vector<int> order;
    while (!heap_is_empty(queue)) {
        order.push_back(
            static_cast<int>(static_cast<char *>(heap_top_data(queue)) - tw_test::tags));
        heap_remove_top(queue);
    }
    EXPECT_EQ(order, c.removal_order);
    heap_delete(queue);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, HeapTies,
    testing::Values(
        // [0,1,2,3] -> remove 0: 3 moves up, 1 (left) rises, 3 sinks below it
        // -> [1,3,2] -> remove 1: 2 moves up, 3 rises -> [3,2].
        TieCase{"allEqual", {1, 1, 1, 1}, {0, 1, 3, 2}},
        // [1,3,2,0,4] -> remove 1: 4 sinks below 3 and the equal 0 -> [3,0,2,4]
        // -> remove 3: 4 sinks below 0 -> [0,4,2] -> remove 0 -> [4,2].
        TieCase{"mixed", {2, 1, 2, 1, 2}, {1, 3, 0, 4, 2}}, TieCase{"twoEqual", {5, 5}, {0, 1}}),
    [](const testing::TestParamInfo<TieCase> &info) { return std::string(info.param.label); });

// What reports show depends on the order equal grades leave the heap in,
// so the heap is held to a plain model of it: an insert rises past strictly
// larger parents; a removal moves the last element to the root and sinks it
// below children not larger than it, the left of two equal children rising.
class ModelHeap {
public:
    void insert(float grade, int data) {
        slots.push_back({grade, data});
        size_t p = slots.size() - 1;
        Slot arriving = slots[p];
        while (p > 0 && arriving.grade < slots[(p - 1) / 2].grade) {
            slots[p] = slots[(p - 1) / 2];
            p = (p - 1) / 2;
        }
        slots[p] = arriving;
    }
    int remove() {
        int top = slots[0].data;
        Slot sinking = slots.back();
        slots.pop_back();
        size_t end = slots.size();
        if (end == 0) {
            return top;
        }
        size_t p = 0;
        for (size_t k = 1; k < end; k = 2 * p + 1) {
            if (k + 1 < end && slots[k + 1].grade < slots[k].grade) {
                ++k;
            }
            if (sinking.grade < slots[k].grade) {
                break;
            }
            slots[p] = slots[k];
            p = k;
        }
        slots[p] = sinking;
        return top;
    }
    bool empty() const { return slots.empty(); }

private:
    struct Slot {
        float grade;
        int data;
    };
    std::vector<Slot> slots;
};

struct OrderCase {
    const char *label;
    unsigned seed;
    int distinct_grades;  // grades drawn from this many values: fewer, more ties
    int nan_per_mille;    // grades that are NaN
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const OrderCase &c, std::ostream *out) {
    *out << c.label;
}

class HeapOrder : public tw_test::ReleaseLogTest, public testing::WithParamInterface<OrderCase> {};

TEST_P(HeapOrder, RemovesInTheModelsOrderThroughMixedInsertsAndRemovals) {
    const OrderCase &c = GetParam();
    std::mt19937 random(c.seed);
    std::uniform_int_distribution<int> grade_of(0, c.distinct_grades - 1);
    std::uniform_int_distribution<int> per_mille(0, 999);
    graded_heap *queue = heap_create(4);
    ASSERT_NE(queue, nullptr);
    ModelHeap model;
    std::vector<int> removed;
    std::vector<int> expected;
    const int inserts = 3000;
    for (int data = 0; data < inserts || !model.empty();) {
        // Two inserts to a removal while inserting, then drain.
        if (data < inserts && (model.empty() || per_mille(random) < 667)) {
            float grade = per_mille(random) < c.nan_per_mille
                              ? std::nanf("")
                              : static_cast<float>(grade_of(random));
            ASSERT_EQ(heap_insert(queue, grade, tag(data), record_release), 0);
            model.insert(grade, data);
            ++data;
        } else {
            removed.push_back(
                static_cast<int>(static_cast<char *>(heap_top_data(queue)) - tw_test::tags));
            heap_remove_top(queue);
            expected.push_back(model.remove());
        }
    }
    EXPECT_EQ(heap_is_empty(queue), 1);
    EXPECT_EQ(removed, expected);
    EXPECT_EQ(released.size(), static_cast<size_t>(inserts));
    heap_delete(queue);
}

INSTANTIATE_TEST_SUITE_P(
    Grades, HeapOrder,
    testing::Values(OrderCase{"twoGrades", 7, 2, 0}, OrderCase{"fewGrades", 11, 5, 0},
                    OrderCase{"manyGrades", 13, 100000, 0}, OrderCase{"someNaN", 17, 5, 50},
                    OrderCase{"mostlyNaN", 19, 3, 700}),
    [](const testing::TestParamInfo<OrderCase> &info) { return std::string(info.param.label); });

struct GrowthCase {
    const char *label;
    int initial;
    int inserts;
    unsigned capacity_after;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const GrowthCase &c, std::ostream *out) {
    *out << c.label;
}

class HeapGrowth : public tw_test::ReleaseLogTest,
                   public testing::WithParamInterface<GrowthCase> {};

// A heap keeps one slot free and grows by half (at least HEAP_GROWTH_SLOTS) when an insert
// would use that slot.
TEST_P(HeapGrowth, GrowsWhenTheLastFreeSlotWouldBeUsed) {
    const GrowthCase &c = GetParam();
    graded_heap *queue = heap_create(c.initial);
    ASSERT_NE(queue, nullptr);
    for (int i = 0; i < c.inserts; ++i) {
        ASSERT_EQ(heap_insert(queue, static_cast<float>(c.inserts - i), tag(i), record_release), 0);
    }
    EXPECT_EQ(queue->getCapacity(), c.capacity_after);
    EXPECT_EQ(queue->getCount(), static_cast<unsigned>(c.inserts));
    // Growth kept every element, in order.
    float previous = 0.0f;
    while (!heap_is_empty(queue)) {
        EXPECT_GT(heap_top_grade(queue), previous);
        previous = heap_top_grade(queue);
        heap_remove_top(queue);
    }
    EXPECT_EQ(released.size(), static_cast<size_t>(c.inserts));
    heap_delete(queue);
}

INSTANTIATE_TEST_SUITE_P(
    Capacities, HeapGrowth,
    testing::Values(GrowthCase{"zeroFirstInsert", 0, 1, 5}, GrowthCase{"zeroFilled", 0, 4, 5},
                    GrowthCase{"zeroGrowsAgain", 0, 5, 10}, GrowthCase{"one", 1, 1, 6},
                    GrowthCase{"tenGrowsByFive", 10, 10, 15},
                    GrowthCase{"query2047", 2048, 2047, 2048},
                    GrowthCase{"query2048", 2048, 2048, 3072},
                    GrowthCase{"query3072", 2048, 3072, 4608}),
    [](const testing::TestParamInfo<GrowthCase> &info) { return std::string(info.param.label); });

TEST_F(HeapTest, RemoveTopReleasesTheTopExactlyOnce) {
    create(4);
    insert(2.0f, 2);
    insert(1.0f, 1);
    heap_remove_top(queue);
    EXPECT_EQ(released, std::vector<void *>{tag(1)});
    EXPECT_EQ(heap_top_data(queue), tag(2));
    heap_remove_top(queue);
    EXPECT_EQ(released, (std::vector<void *>{tag(1), tag(2)}));
}

TEST_F(HeapTest, DetachTopHandsTheEntityOverUnreleased) {
    create(4);
    insert(2.0f, 2);
    insert(1.0f, 1);
    GradedEntity *detached = heap_detach_top(queue);
    ASSERT_NE(detached, nullptr);
    EXPECT_EQ(detached->getGrade(), 1.0f);
    EXPECT_EQ(detached->getData(), tag(1));
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(heap_top_data(queue), tag(2));
    EXPECT_EQ(queue->getCount(), 1u);

    delete detached;
    EXPECT_EQ(released, std::vector<void *>{tag(1)});
}

// An entity moved from one heap to another is neither copied nor released,
// and ranks in its new heap by its grade.
TEST_F(HeapTest, DetachedEntityMovesToAnotherHeap) {
    create(4);
    insert(2.0f, 2);
    graded_heap *other = heap_create(1);
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(heap_insert(other, 1.0f, tag(1), record_release), 0);
    ASSERT_EQ(heap_insert(other, 3.0f, tag(3), record_release), 0);
    while (!heap_is_empty(other)) {
        ASSERT_EQ(heap_insert_entity(queue, heap_detach_top(other)), 0);
    }
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(drain(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(heap_insert_entity(queue, nullptr), -1);
    GradedEntity kept(1.0f, tag(4), nullptr);
    EXPECT_EQ(heap_insert_entity(nullptr, &kept), -1);
    heap_delete(other);
}

// Entities inserted through the class keep a pointer here, so the test can
// free what the heap deliberately forgets.
TEST_F(HeapTest, ClearForgetsEntitiesWithoutReleasing) {
    create(4);
    std::vector<GradedEntity *> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(new GradedEntity(static_cast<float>(i), tag(i), record_release));
        queue->insert(held.back());
    }
    heap_clear(queue);
    EXPECT_EQ(heap_is_empty(queue), 1);
    EXPECT_TRUE(released.empty());

    // The heap is usable again.
    insert(9.0f, 9);
    EXPECT_EQ(heap_top_data(queue), tag(9));

    for (GradedEntity *entity : held) {
        delete entity;
    }
    EXPECT_EQ(released, (std::vector<void *>{tag(0), tag(1), tag(2)}));
}

TEST_F(HeapTest, DeleteFreesNeitherHeldEntitiesNorTheirData) {
    create(4);
    std::vector<GradedEntity *> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(new GradedEntity(static_cast<float>(i), tag(i), record_release));
        GradedEntity *&slot = queue->insert(held.back());
        EXPECT_EQ(slot, held.back());
    }
    heap_delete(queue);
    queue = nullptr;
    EXPECT_TRUE(released.empty());
    for (GradedEntity *entity : held) {
        delete entity;
    }
    EXPECT_EQ(released.size(), 3u);
}

// The heap deletes its handle; a body shared with another handle lives on.
TEST_F(HeapTest, RemoveTopOfASharedBodyLeavesItToTheOtherHandle) {
    create(4);
    GradedEntity *kept = new GradedEntity(1.0f, tag(1), record_release);
    queue->insert(new GradedEntity(*kept));
    heap_remove_top(queue);
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(kept->getData(), tag(1));
    delete kept;
    EXPECT_EQ(released, std::vector<void *>{tag(1)});
}

TEST_F(HeapTest, EmptyAndNullHeapsAnswerSafely) {
    create(0);
    EXPECT_EQ(heap_is_empty(queue), 1);
    EXPECT_EQ(heap_top_data(queue), nullptr);
    EXPECT_EQ(heap_top_grade(queue), 0.0f);
    EXPECT_EQ(heap_detach_top(queue), nullptr);
    heap_remove_top(queue);
    EXPECT_EQ(queue->getCount(), 0u);

    EXPECT_EQ(heap_is_empty(nullptr), 1);
    EXPECT_EQ(heap_top_data(nullptr), nullptr);
    EXPECT_EQ(heap_top_grade(nullptr), 0.0f);
    EXPECT_EQ(heap_detach_top(nullptr), nullptr);
    EXPECT_EQ(heap_insert(nullptr, 1.0f, tag(1), record_release), -1);
    heap_remove_top(nullptr);
    heap_clear(nullptr);
    heap_delete(nullptr);
    EXPECT_EQ(heap_create(-1), nullptr);
    EXPECT_TRUE(released.empty());
}

struct InsertCase {
    const char *label;
    int initial;      // capacity the heap is created with
    int inserted;     // entities inserted before the one measured
    int removed;      // of which removed again before it
    int allocations;  // what the measured insert allocates
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const InsertCase &c, std::ostream *out) {
    *out << c.label;
}

class HeapInsertAllocations : public tw_test::ReleaseLogTest,
                              public testing::WithParamInterface<InsertCase> {
protected:
    // A heap that has seen the case's earlier inserts and removals, its top
    // (data -1 when empty) noted.
    graded_heap *prepare(const InsertCase &c) {
        graded_heap *queue = heap_create(c.initial);
        EXPECT_NE(queue, nullptr);
        for (int i = 0; i < c.inserted; ++i) {
            EXPECT_EQ(heap_insert(queue, static_cast<float>(10 + i), tag(10 + i), record_release),
                      0);
        }
        for (int i = 0; i < c.removed; ++i) {
            heap_remove_top(queue);
        }
        released.clear();
        return queue;
    }

    static void empty(graded_heap *queue) {
        while (!heap_is_empty(queue)) {
            heap_remove_top(queue);
        }
        heap_delete(queue);
    }
};

// Entities come from cells the heap owns: an insert allocates only when the
// slots or the cells run out, and cells of removed entities are used again.
TEST_P(HeapInsertAllocations, AllocatesOnlyWhenSlotsOrCellsRunOut) {
    const InsertCase &c = GetParam();
    graded_heap *queue = prepare(c);
    int requested;
    int result;
    {
        tw_test::FailingAllocation fail(c.allocations + 1);
        result = heap_insert(queue, 1.0f, tag(1), record_release);
        requested = fail.requested();
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(requested, c.allocations);
    EXPECT_EQ(heap_top_data(queue), tag(1));
    EXPECT_EQ(queue->getCount(), static_cast<unsigned>(c.inserted - c.removed + 1));
    empty(queue);
    EXPECT_EQ(released.size(), static_cast<size_t>(c.inserted - c.removed + 1));
}

// Whichever of its allocations fails, nothing is inserted, the caller keeps
// its data and the heap still works.
TEST_P(HeapInsertAllocations, FailedInsertLeavesTheDataWithTheCaller) {
    const InsertCase &c = GetParam();
    for (int fail_at = 0; fail_at < c.allocations; ++fail_at) {
        SCOPED_TRACE("failing allocation " + std::to_string(fail_at));
        graded_heap *queue = prepare(c);
        void *top_before = heap_top_data(queue);
        int result;
        bool failed;
        {
            tw_test::FailingAllocation fail(fail_at);
            result = heap_insert(queue, 1.0f, tag(1), record_release);
            failed = fail.failed();
        }
        EXPECT_TRUE(failed);
        EXPECT_EQ(result, -1);
        EXPECT_TRUE(released.empty());
        EXPECT_EQ(queue->getCount(), static_cast<unsigned>(c.inserted - c.removed));
        EXPECT_EQ(heap_top_data(queue), top_before);

        ASSERT_EQ(heap_insert(queue, 1.0f, tag(1), record_release), 0);
        EXPECT_EQ(heap_top_data(queue), tag(1));
        empty(queue);
        EXPECT_EQ(released.size(), static_cast<size_t>(c.inserted - c.removed + 1));
        released.clear();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Inserts, HeapInsertAllocations,
    testing::Values(InsertCase{"firstCells", 8, 0, 0, 1}, InsertCase{"roomLeft", 8, 1, 0, 0},
                    InsertCase{"slotsFull", 2, 1, 0, 1}, InsertCase{"noSlotsNoCells", 0, 0, 0, 2},
                    // The first block holds 64 cells, the next adds as many.
                    InsertCase{"cellsFull", 128, 64, 0, 1},
                    InsertCase{"removedCellsReused", 128, 64, 64, 0},
                    InsertCase{"someCellsReused", 128, 64, 1, 0},
                    InsertCase{"secondBlockFull", 256, 128, 0, 1}),
    [](const testing::TestParamInfo<InsertCase> &info) { return std::string(info.param.label); });

// A copy of an entity the heap made keeps the body alive after the heap lets
// go of it; its cell is used again only after the copy goes.
TEST_F(HeapTest, CopyOfAMadeEntityOutlivesItsRemoval) {
    create(8);
    insert(1.0f, 1);
    GradedEntity *copy = new GradedEntity(*queue->top());
    heap_remove_top(queue);
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(copy->getData(), tag(1));
    insert(2.0f, 2);  // must not land in the copy's cell
    EXPECT_EQ(copy->getGrade(), 1.0f);
    EXPECT_EQ(copy->getData(), tag(1));
    delete copy;
    EXPECT_EQ(released, std::vector<void *>{tag(1)});
    EXPECT_EQ(heap_top_data(queue), tag(2));
}

TEST_F(HeapTest, DetachOfAMadeEntityThatCannotBeAllocatedLeavesItOnTop) {
    create(8);
    insert(2.0f, 2);
    insert(1.0f, 1);
    GradedEntity *detached;
    {
        tw_test::FailingAllocation fail(0);
        detached = heap_detach_top(queue);
        EXPECT_TRUE(fail.failed());
    }
    EXPECT_EQ(detached, nullptr);
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(queue->getCount(), 2u);
    EXPECT_EQ(drain(), (std::vector<int>{1, 2}));
}

// A detached entity whose body a copy shares stays one body: whichever
// handle goes last releases the data, once.
TEST_F(HeapTest, DetachedEntityKeepsSharingItsCopysBody) {
    create(8);
    insert(1.0f, 1);
    GradedEntity *copy = new GradedEntity(*queue->top());
    GradedEntity *detached = heap_detach_top(queue);
    ASSERT_NE(detached, nullptr);
    EXPECT_EQ(heap_is_empty(queue), 1);
    delete detached;
    EXPECT_TRUE(released.empty());
    delete copy;
    EXPECT_EQ(released, std::vector<void *>{tag(1)});
}

class HeapMove : public HeapTest {
protected:
    void TearDown() override {
        while (!heap_is_empty(source)) {
            heap_remove_top(source);
        }
        heap_delete(source);
        HeapTest::TearDown();
    }
    graded_heap *source = nullptr;
};

// Moved entities rank by their grades among the target's, release nothing on
// the way and are released once when the target removes them, after the
// source heap is gone.
TEST_F(HeapMove, MovesEntitiesWithoutReleasingThem) {
    create(4);
    insert(2.0f, 2);
    source = heap_create(4);
    ASSERT_NE(source, nullptr);
    ASSERT_EQ(heap_insert(source, 3.0f, tag(3), record_release), 0);
    ASSERT_EQ(heap_insert(source, 1.0f, tag(1), record_release), 0);
    GradedEntity *given = new GradedEntity(0.5f, tag(0), record_release);
    ASSERT_EQ(heap_insert_entity(source, given), 0);
    while (!heap_is_empty(source)) {
        ASSERT_EQ(heap_move_top(queue, source), 0);
    }
    EXPECT_EQ(heap_top_grade(queue), 0.5f);
    heap_delete(source);
    source = nullptr;
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(drain(), (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(HeapMove, FailedMoveLeavesBothHeapsAsTheyWere) {
    create(128);
    for (int i = 0; i < 64; ++i) {  // the target's first block is full
        insert(static_cast<float>(10 + i), 10 + i);
    }
    source = heap_create(4);
    ASSERT_NE(source, nullptr);
    ASSERT_EQ(heap_insert(source, 1.0f, tag(1), record_release), 0);
    int result;
    {
        tw_test::FailingAllocation fail(0);
        result = heap_move_top(queue, source);
        EXPECT_TRUE(fail.failed());
    }
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(queue->getCount(), 64u);
    EXPECT_EQ(heap_top_data(queue), tag(10));
    EXPECT_EQ(heap_top_data(source), tag(1));

    EXPECT_EQ(heap_move_top(queue, source), 0);
    EXPECT_EQ(heap_top_data(queue), tag(1));
    EXPECT_EQ(heap_is_empty(source), 1);
}

// Moving a whole heap gives the target what moving its top one by one
// would, ties included, and the entities outlive the heap they came from.
TEST_F(HeapMove, MovingAllEqualsMovingTopsOneByOne) {
    std::mt19937 random(424242);
    std::uniform_int_distribution<int> coarse(0, 6);
    graded_heap *heaps[4];  // target and source of each way
    for (graded_heap *&made : heaps) {
        made = heap_create(2);
        ASSERT_NE(made, nullptr);
    }
    for (int i = 0; i < 300; ++i) {
        graded_heap *target_or_source = i % 3 == 0 ? heaps[0] : heaps[1];
        graded_heap *twin = i % 3 == 0 ? heaps[2] : heaps[3];
        float grade = static_cast<float>(coarse(random));
        ASSERT_EQ(heap_insert(target_or_source, grade, tag(i), record_release), 0);
        ASSERT_EQ(heap_insert(twin, grade, tag(i), record_release), 0);
    }
    while (!heap_is_empty(heaps[1])) {
        ASSERT_EQ(heap_move_top(heaps[0], heaps[1]), 0);
    }
    ASSERT_EQ(heap_move_all(heaps[2], heaps[3]), 0);
    EXPECT_EQ(heap_is_empty(heaps[3]), 1);
    heap_delete(heaps[1]);
    heap_delete(heaps[3]);
    EXPECT_TRUE(released.empty());
    std::vector<void *> one_by_one;
    std::vector<void *> all_at_once;
    for (int way = 0; way < 2; ++way) {
        graded_heap *target = heaps[2 * way];
        std::vector<void *> &order = way == 0 ? one_by_one : all_at_once;
        while (!heap_is_empty(target)) {
            order.push_back(heap_top_data(target));
            heap_remove_top(target);
        }
        heap_delete(target);
    }
    EXPECT_EQ(all_at_once, one_by_one);
    EXPECT_EQ(released.size(), 600u);
}

// The target takes the source's cells over, free ones included: after
// moving, removing and inserting as many again, nothing is allocated.
TEST_F(HeapMove, MovingAllHandsTheCellsOver) {
    create(128);
    source = heap_create(128);
    ASSERT_NE(source, nullptr);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(heap_insert(source, static_cast<float>(i), tag(i), record_release), 0);
    }
    heap_remove_top(source);  // one free cell moves too
    ASSERT_EQ(heap_move_all(queue, source), 0);
    heap_delete(source);
    source = nullptr;
    EXPECT_EQ(drain().size(), 63u);
    int requested;
    {
        tw_test::FailingAllocation fail(0);
        for (int i = 0; i < 64; ++i) {
            insert(static_cast<float>(i), i);
        }
        requested = fail.requested();
    }
    EXPECT_EQ(requested, 0);
}

TEST_F(HeapMove, FailedMoveOfAllLeavesBothHeapsAsTheyWere) {
    create(2);
    insert(5.0f, 5);
    source = heap_create(8);
    ASSERT_NE(source, nullptr);
    for (int i = 1; i <= 3; ++i) {
        ASSERT_EQ(heap_insert(source, static_cast<float>(i), tag(i), record_release), 0);
    }
    int result;
    {
        tw_test::FailingAllocation fail(0);  // the target's larger slots
        result = heap_move_all(queue, source);
        EXPECT_TRUE(fail.failed());
    }
    EXPECT_EQ(result, -1);
    EXPECT_EQ(queue->getCount(), 1u);
    EXPECT_EQ(source->getCount(), 3u);
    EXPECT_EQ(heap_top_data(queue), tag(5));
    EXPECT_EQ(heap_top_data(source), tag(1));
    EXPECT_TRUE(released.empty());

    EXPECT_EQ(heap_move_all(queue, source), 0);
    EXPECT_EQ(heap_move_all(queue, source), 0);  // nothing left to move
    EXPECT_EQ(heap_move_all(queue, queue), 0);   // into itself: nothing changes
    EXPECT_EQ(queue->getCount(), 4u);
    EXPECT_EQ(heap_move_all(nullptr, source), -1);
    EXPECT_EQ(heap_move_all(queue, nullptr), -1);
    EXPECT_EQ(drain(), (std::vector<int>{1, 2, 3, 5}));
}

TEST_F(HeapMove, NullOrEmptyHeapsMoveNothing) {
    create(4);
    source = heap_create(4);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(heap_move_top(queue, source), -1);
    ASSERT_EQ(heap_insert(source, 1.0f, tag(1), record_release), 0);
    EXPECT_EQ(heap_move_top(nullptr, source), -1);
    EXPECT_EQ(heap_move_top(queue, nullptr), -1);
    EXPECT_EQ(heap_top_data(source), tag(1));
    EXPECT_EQ(heap_is_empty(queue), 1);
    EXPECT_TRUE(released.empty());
}

// Creating allocates the heap and its slots; its cells come with the first
// insert.
TEST_F(HeapTest, CreateReportsMemoryExhaustionAsNull) {
    for (int fail_at = 0; fail_at < 2; ++fail_at) {
        tw_test::FailingAllocation fail(fail_at);
        EXPECT_EQ(heap_create(2048), nullptr) << "failing " << fail_at;
        EXPECT_TRUE(fail.failed());
    }
}

}  // namespace
