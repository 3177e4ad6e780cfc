// The search's offer queue: offers leave it in exactly the order an entity
// heap fed the same grades gives them (equal grades included), whether they
// waited for the heap or went in as they came, each with the pair it was
// queued with; the slots of offers gone are used again.

#include "index/offer_queue.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <vector>

#include "containers/cgradedentity.h"

namespace {

token_entry_tag occurrences[64];

candidate_pair_t pair_of(int input, int output, float grade) {
    return candidate_pair_t{&occurrences[input], &occurrences[output], grade};
}

// One step of a run: push a pair with this grade, or (grade < 0) pop.
struct Step {
    float grade;
};
const float POP = -1.0f;

// Runs steps on both queues and compares every pop; returns the pairs popped.
// The offer queue is ordered at the first pop: the pushes before it wait.
std::vector<candidate_pair_t> run_both(const std::vector<Step> &steps) {
    offer_queue *queue = offer_queue_create();
    graded_heap *entities = heap_create(2);
    std::vector<candidate_pair_t> popped;
    int pushed = 0;
    bool ordered = false;
    for (const Step &step : steps) {
        if (step.grade < 0.0f && !ordered) {
            size_t capacity = offer_queue_capacity(queue);
            EXPECT_EQ(offer_queue_order(queue), 0);
            ordered = true;
            // Ordered where they wait: no slot more than a block's rest.
            EXPECT_EQ(offer_queue_capacity(queue), capacity);
            EXPECT_LT(capacity, static_cast<size_t>(pushed) + offer_queue_block_slots());
            EXPECT_EQ(offer_queue_count(queue), static_cast<size_t>(pushed));
        }
        if (step.grade >= 0.0f) {
            candidate_pair_t pair = pair_of(pushed % 64, (pushed * 7 + 3) % 64, step.grade);
            ++pushed;
            EXPECT_EQ(offer_queue_push(queue, pair), 0);
            EXPECT_EQ(
                queue_candidate(entities, new_candidate_pair(pair.grade, pair.input, pair.output)),
                0);
            continue;
        }
        const candidate_pair_t *top = offer_queue_top(queue);
        const candidate_pair_t *expected =
            static_cast<const candidate_pair_t *>(heap_top_data(entities));
        EXPECT_EQ(top == nullptr, expected == nullptr);
        if (top != nullptr && expected != nullptr) {
            EXPECT_EQ(top->input, expected->input) << "pop " << popped.size();
            EXPECT_EQ(top->output, expected->output);
            EXPECT_EQ(top->grade, expected->grade);
            popped.push_back(*top);
        }
        offer_queue_pop(queue);
        heap_remove_top(entities);
    }
    EXPECT_EQ(offer_queue_count(queue), entities->getCount());
    offer_queue_release(queue);
    discard_candidates(entities);
    heap_delete(entities);
    return popped;
}

TEST(OfferQueue, LeavesInTheEntityHeapsOrderTiesIncluded) {
    // Many equal grades, a zero grade (queued under the largest float), and
    // pops between pushes, so that the heap's moves decide among ties.
    std::vector<Step> steps;
    const float grades[] = {0.5f, 0.25f, 0.5f, 0.0f, 0.75f, 0.5f, 0.25f, 0.25f, 1.0f, 0.5f};
    for (int round = 0; round < 40; ++round) {
        for (float grade : grades) {
            steps.push_back({grade});
        }
        for (int i = 0; i < round % 7; ++i) {
            steps.push_back({POP});
        }
    }
    while (steps.size() < 1000) {
        steps.push_back({POP});
    }
    std::vector<candidate_pair_t> popped = run_both(steps);
    EXPECT_EQ(popped.size(), 400u);
    // Best first: grades never rise along the pops of the final drain.
    for (size_t i = popped.size() - 200; i + 1 < popped.size(); ++i) {
        EXPECT_GE(popped[i].grade, popped[i + 1].grade) << i;
    }
}

TEST(OfferQueue, RandomRunsMatchTheEntityHeap) {
    srand(7);
    for (int run = 0; run < 20; ++run) {
        std::vector<Step> steps;
        for (int i = 0; i < 3000; ++i) {
            bool pop = rand() % 3 == 0;
            // Few distinct grades, so ties are common.
            steps.push_back({pop ? POP : static_cast<float>(rand() % 5) / 4.0f});
        }
        run_both(steps);
    }
    // Offers waiting in several blocks before the first pop, as a search's
    // gathering leaves them; then pushes and pops across block boundaries.
    std::vector<Step> steps;
    for (int i = 0; i < 3 * static_cast<int>(offer_queue_block_slots()) + 17; ++i) {
        steps.push_back({static_cast<float>(rand() % 7) / 8.0f});
    }
    for (int i = 0; i < 20000; ++i) {
        steps.push_back({rand() % 2 == 0 ? POP : static_cast<float>(rand() % 7) / 8.0f});
    }
    run_both(steps);
}

TEST(OfferQueue, EmptyHeapHasNoTopAndPopDoesNothing) {
    offer_queue *queue = offer_queue_create();
    ASSERT_NE(queue, nullptr);
    // Waiting offers are not in the heap yet.
    ASSERT_EQ(offer_queue_push(queue, pair_of(0, 1, 0.5f)), 0);
    EXPECT_TRUE(offer_queue_is_empty(queue));
    EXPECT_EQ(offer_queue_top(queue), nullptr);
    offer_queue_pop(queue);
    ASSERT_EQ(offer_queue_order(queue), 0);
    EXPECT_EQ(offer_queue_count(queue), 1u);
    EXPECT_EQ(offer_queue_order(queue), 0);  // once only: nothing added twice
    EXPECT_EQ(offer_queue_count(queue), 1u);
    offer_queue_pop(queue);
    EXPECT_TRUE(offer_queue_is_empty(queue));
    EXPECT_EQ(offer_queue_top(queue), nullptr);
    offer_queue_pop(queue);
    offer_queue_release(queue);
    offer_queue_release(nullptr);
}

TEST(OfferQueue, SlotsOfOffersGoneAreUsedAgain) {
    offer_queue *queue = offer_queue_create();
    ASSERT_EQ(offer_queue_order(queue), 0);
    // Far more offers pass through than are ever held at once.
    const int HELD = 100;
    for (int i = 0; i < HELD; ++i) {
        ASSERT_EQ(offer_queue_push(queue, pair_of(i % 64, 0, 1.0f + i)), 0);
    }
    size_t capacity = offer_queue_capacity(queue);
    EXPECT_GE(capacity, static_cast<size_t>(HELD));
    for (int i = 0; i < 100000; ++i) {
        offer_queue_pop(queue);
        ASSERT_EQ(offer_queue_push(queue, pair_of(i % 64, 1, 0.5f)), 0);
    }
    EXPECT_EQ(offer_queue_count(queue), static_cast<size_t>(HELD));
    EXPECT_EQ(offer_queue_capacity(queue), capacity);
    // Every offer still held reads back what it was queued with.
    while (!offer_queue_is_empty(queue)) {
        const candidate_pair_t *top = offer_queue_top(queue);
        EXPECT_EQ(top->output, &occurrences[1]);
        EXPECT_EQ(top->grade, 0.5f);
        offer_queue_pop(queue);
    }
    offer_queue_release(queue);
}

}  // namespace
