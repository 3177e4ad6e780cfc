#include "containers/vector.h"

#include <gtest/gtest.h>

#include "failing_allocator.h"

namespace {

int values[8];

TEST(Vector, FillConstructorSetsEverySlot) {
    vector<int *> slots(4, &values[2]);
    ASSERT_EQ(slots.size(), 4u);
    for (unsigned i = 0; i < slots.size(); ++i) {
        EXPECT_EQ(slots.at(i), &values[2]) << "slot " << i;
    }
}

struct ResizeCase {
    const char *label;
    unsigned from;
    unsigned to;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const ResizeCase &c, std::ostream *out) {
    *out << c.label;
}

class VectorResize : public testing::TestWithParam<ResizeCase> {};

TEST_P(VectorResize, KeepsTheLeadingElementsInOrder) {
    const ResizeCase &c = GetParam();
    vector<int> numbers(c.from);
    for (unsigned i = 0; i < c.from; ++i) {
        numbers.at(i) = static_cast<int>(100 + i);
    }
    EXPECT_EQ(numbers.resize(c.to), c.to);
    ASSERT_EQ(numbers.size(), c.to);
    unsigned kept = c.from < c.to ? c.from : c.to;
    for (unsigned i = 0; i < kept; ++i) {
        EXPECT_EQ(numbers.at(i), static_cast<int>(100 + i)) << "slot " << i;
    }
    // New slots are usable.
    for (unsigned i = kept; i < c.to; ++i) {
        numbers.at(i) = -1;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, VectorResize,
                         testing::Values(ResizeCase{"smaller", 6, 3}, ResizeCase{"larger", 3, 8},
                                         ResizeCase{"same", 4, 4}, ResizeCase{"toEmpty", 4, 0},
                                         ResizeCase{"fromEmpty", 0, 5}),
                         [](const testing::TestParamInfo<ResizeCase> &info) {
                             return std::string(info.param.label);
                         });

TEST(Vector, FailedResizeLeavesTheVectorAsItWas) {
    vector<int> numbers(3, 7);
    {
        tw_test::FailingAllocation fail(0);
        EXPECT_THROW(numbers.resize(10), std::bad_alloc);
    }
    ASSERT_EQ(numbers.size(), 3u);
    EXPECT_EQ(numbers.at(2), 7);
}

TEST(VectorIterator, WalksEverySlotInOrderAndReplaces) {
    vector<int *> slots(3, nullptr);
    slots.at(0) = &values[0];
    slots.at(1) = &values[1];
    slots.at(2) = &values[2];
    vectorIterator<int *> walk(&slots);
    ASSERT_EQ(walk.hasMore(), 1);  // the constructor has reset it
    int visited = 0;
    for (int more = walk.reset(); more; more = walk.next()) {
        EXPECT_EQ(walk.current(), &values[visited]);
        int *&slot = walk.replace(&values[visited + 4]);
        EXPECT_EQ(&slot, &slots.at(static_cast<unsigned>(visited)));
        ++visited;
    }
    EXPECT_EQ(visited, 3);
    EXPECT_EQ(walk.hasMore(), 0);
    for (unsigned i = 0; i < 3; ++i) {
        EXPECT_EQ(slots.at(i), &values[i + 4]);
    }
    EXPECT_EQ(walk.reset(), 1);
    EXPECT_EQ(walk.current(), &values[4]);
}

TEST(VectorIterator, HasNothingOnAnEmptyVector) {
    vector<int *> slots(0, nullptr);
    vectorIterator<int *> walk(&slots);
    EXPECT_EQ(walk.hasMore(), 0);
    EXPECT_EQ(walk.reset(), 0);
}

}  // namespace
