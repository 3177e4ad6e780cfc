#include <gtest/gtest.h>

#include <vector>

#include "containers/cgradedentity.h"
#include "failing_allocator.h"
#include "release_log.h"

namespace {

using tw_test::record_release;
using tw_test::released;
using tw_test::tag;

class GradedEntityTest : public tw_test::ReleaseLogTest {};

TEST_F(GradedEntityTest, KeepsWhatItWasGiven) {
    GradedEntity entity(0.25f, tag(1), record_release);
    EXPECT_EQ(entity.getGrade(), 0.25f);
    EXPECT_EQ(entity.getData(), tag(1));
    EXPECT_TRUE(released.empty());
}

TEST_F(GradedEntityTest, LastHandleReleasesOnce) {
    { GradedEntity entity(1.0f, tag(1), record_release); }
    EXPECT_EQ(released, std::vector<void *>{tag(1)});
}

TEST_F(GradedEntityTest, CopyKeepsTheBodyAliveAfterTheOriginalGoes) {
    auto *original = new GradedEntity(2.0f, tag(1), record_release);
    auto *copy = new GradedEntity(*original);
    delete original;
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(copy->getGrade(), 2.0f);
    EXPECT_EQ(copy->getData(), tag(1));
    delete copy;
    EXPECT_EQ(released, std::vector<void *>{tag(1)});
}

TEST_F(GradedEntityTest, AssignmentDropsTheOldBodyAndSharesTheNewOne) {
    auto *target = new GradedEntity(1.0f, tag(1), record_release);
    auto *source = new GradedEntity(2.0f, tag(2), record_release);
    *target = *source;
    // The target was the only handle of its old body.
    EXPECT_EQ(released, std::vector<void *>{tag(1)});
    EXPECT_EQ(target->getGrade(), 2.0f);
    EXPECT_EQ(target->getData(), tag(2));

    delete source;
    EXPECT_EQ(released.size(), 1u);
    delete target;
    EXPECT_EQ(released, (std::vector<void *>{tag(1), tag(2)}));
}

TEST_F(GradedEntityTest, AssignmentKeepsAnOldBodyThatOthersStillShare) {
    GradedEntity first(1.0f, tag(1), record_release);
    auto *sharer = new GradedEntity(first);
    {
        GradedEntity second(2.0f, tag(2), record_release);
        *sharer = second;
        EXPECT_TRUE(released.empty());
    }
    EXPECT_TRUE(released.empty());  // sharer still holds the second body
    delete sharer;
    EXPECT_EQ(released, std::vector<void *>{tag(2)});
}

TEST_F(GradedEntityTest, SelfAssignmentChangesNothing) {
    auto *entity = new GradedEntity(3.0f, tag(1), record_release);
    GradedEntity &same = *entity;
    *entity = same;
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(entity->getGrade(), 3.0f);
    EXPECT_EQ(entity->getData(), tag(1));

    // Assigning between two handles of one body is the same case.
    GradedEntity copy(*entity);
    copy = *entity;
    *entity = copy;
    EXPECT_TRUE(released.empty());
    delete entity;
    EXPECT_TRUE(released.empty());
}

TEST_F(GradedEntityTest, NullReleaseFreesOnlyTheBody) {
    GradedEntity entity(1.0f, tag(1), nullptr);
    GradedEntity copy(entity);
    EXPECT_EQ(copy.getData(), tag(1));
}

TEST_F(GradedEntityTest, FailedConstructionThrowsAndReleasesNothing) {
    tw_test::FailingAllocation fail(0);
    EXPECT_THROW(GradedEntity(1.0f, tag(1), record_release), std::bad_alloc);
    EXPECT_TRUE(fail.failed());
    EXPECT_TRUE(released.empty());
}

struct ComparisonCase {
    float left;
    float right;
    bool equal, unequal, less, greater, less_equal, greater_equal;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const ComparisonCase &c, std::ostream *out) {
    *out << c.left << " vs " << c.right;
}

class GradedEntityComparison : public testing::TestWithParam<ComparisonCase> {};

TEST_P(GradedEntityComparison, ComparesGradesOnly) {
    const ComparisonCase &c = GetParam();
    // Data that orders the other way round proves the data plays no part.
    GradedEntity left(c.left, tag(2), nullptr);
    GradedEntity right(c.right, tag(1), nullptr);
    EXPECT_EQ(left == right, c.equal);
    EXPECT_EQ(left != right, c.unequal);
    EXPECT_EQ(left < right, c.less);
    EXPECT_EQ(left > right, c.greater);
    EXPECT_EQ(left <= right, c.less_equal);
    EXPECT_EQ(left >= right, c.greater_equal);
}

INSTANTIATE_TEST_SUITE_P(Grades, GradedEntityComparison,
                         testing::Values(
                             //             ==     !=     <      >      <=     >=
                             ComparisonCase{1.0f, 2.0f, false, true, true, false, true, false},
                             ComparisonCase{2.0f, 1.0f, false, true, false, true, false, true},
                             ComparisonCase{1.5f, 1.5f, true, false, false, false, true, true},
                             ComparisonCase{-1.0f, 0.0f, false, true, true, false, true, false},
                             // Grades differing in the last bit are not equal.
                             ComparisonCase{1.0f, 1.0000001f, false, true, true, false, true,
                                            false}));

}  // namespace
