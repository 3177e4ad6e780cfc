// The composite: weighted average, the zero-sum short cut and the learning
// steps, over test heuristics that return fixed grades.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "heuristics/ctokenheuristicevaluator.h"
#include "pair_records.h"

namespace {

using tw_test::FloatBits;
using tw_test::PairRecords;

// A heuristic with a fixed grade that counts how often it was asked.
class FixedEvaluator : public CTokenHeuristicEvaluator {
public:
    FixedEvaluator(float grade, int *evaluations, int *destroyed = nullptr)
        : grade(grade), evaluations(evaluations), destroyed(destroyed) {}
    ~FixedEvaluator() override {
        if (destroyed != nullptr) {
            ++*destroyed;
        }
    }
    float EvaluateOwn(const token_instances_t &, const token_entry_tag &,
                      const token_entry_tag &) const override {
        ++*evaluations;
        return grade;
    }

private:
    float grade;
    int *evaluations;
    int *destroyed;
};

// A composite over fixed grades with the given weights.
struct Composite {
    Composite(const std::vector<float> &grades, const std::vector<float> &weights)
        : evaluations(0) {
        std::vector<CTokenHeuristicEvaluator *> inputs;
        for (float grade : grades) {
            inputs.push_back(new FixedEvaluator(grade, &evaluations));
        }
        root.reset(new CTokenHeuristicEvaluator(inputs.data(), weights.data(),
                                                static_cast<int>(inputs.size())));
    }
    int evaluations;
    std::unique_ptr<CTokenHeuristicEvaluator> root;
    PairRecords pair;

    float Grade() { return root->Evaluate(pair.token, pair.output, pair.input); }
};

TEST(CompositeTest, WeightedAverageOfItsInputs) {
    Composite composite({1.0f, 0.5f, 0.25f}, {2.0f, 1.0f, 1.0f});
    EXPECT_EQ(composite.root->WeightSum(), 4.0f);
    EXPECT_EQ(composite.Grade(), 0.6875f);
    EXPECT_EQ(composite.evaluations, 3);
}

TEST(CompositeTest, EachTermIsRoundedToSinglePrecision) {
    // Grades and weights for which summing in double precision and rounding
    // once at the end gives a different float than the per-term rounding.
    const std::vector<float> grades = {0.1f, 0.7f, 0.3f};
    const std::vector<float> weights = {0.3f, 0.9f, 1.1f};
    Composite composite(grades, weights);

    float weightSum = 0.0f;
    for (float weight : weights) {
        weightSum = weightSum + weight;
    }
    float expected = 0.0f;
    double wide = 0.0;
    for (size_t i = 0; i < grades.size(); ++i) {
        float share = grades[i] * weights[i] / weightSum;
        expected = expected + share;
        wide += static_cast<double>(grades[i]) * weights[i] / weightSum;
    }
    ASSERT_NE(FloatBits(expected), FloatBits(static_cast<float>(wide)))
        << "the case no longer tells the two apart";
    EXPECT_EQ(FloatBits(composite.root->WeightSum()), FloatBits(weightSum));
    EXPECT_EQ(FloatBits(composite.Grade()), FloatBits(expected));
}

TEST(CompositeTest, ZeroWeightSumGradesZeroWithoutEvaluatingInputs) {
    Composite composite({1.0f, 1.0f}, {0.0f, 0.0f});
    EXPECT_EQ(composite.Grade(), 0.0f);
    EXPECT_EQ(composite.evaluations, 0);

    // Weights that cancel out count as a zero sum too.
    Composite cancelling({1.0f, 1.0f}, {2.0f, -2.0f});
    EXPECT_EQ(cancelling.Grade(), 0.0f);
    EXPECT_EQ(cancelling.evaluations, 0);
}

TEST(CompositeTest, NegativeWeightsAreTakenAsTheyAre) {
    Composite composite({1.0f, 0.0f}, {-1.0f, 3.0f});
    EXPECT_EQ(composite.Grade(), -0.5f);
}

TEST(CompositeTest, DeletesItsInputsAndCopiesTheCallersArrays) {
    int evaluations = 0;
    int destroyed = 0;
    {
        CTokenHeuristicEvaluator *inputs[2] = {new FixedEvaluator(1.0f, &evaluations, &destroyed),
                                               new FixedEvaluator(0.0f, &evaluations, &destroyed)};
        float weights[2] = {1.0f, 1.0f};
        CTokenHeuristicEvaluator composite(inputs, weights, 2);
        inputs[0] = nullptr;
        weights[0] = 100.0f;
        PairRecords pair;
        EXPECT_EQ(composite.Evaluate(pair.token, pair.output, pair.input), 0.5f);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 2);
}

TEST(LearningTest, DecreaseClampsAtZero) {
    Composite composite({1.0f, 0.5f, 0.0f}, {0.02f, 1.0f, -1.0f});
    CTokenHeuristicEvaluator &root = *composite.root;
    PairRecords &pair = composite.pair;

    root.DecreaseWeights(pair.token, pair.input, pair.output, 0.08f);
    // 0.02 - 0.08 and the negative weight from the file both end at exactly
    // +0; the weight whose input graded 0.5 only loses 0.04.
    EXPECT_EQ(FloatBits(root.Weight(0)), FloatBits(0.0f));
    EXPECT_EQ(FloatBits(root.Weight(1)), FloatBits(1.0f - 0.5f * 0.08f));
    EXPECT_EQ(FloatBits(root.Weight(2)), FloatBits(0.0f));
    EXPECT_EQ(FloatBits(root.WeightSum()), FloatBits(1.0f - 0.5f * 0.08f));

    root.DecreaseWeights(pair.token, pair.input, pair.output, 100.0f);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(FloatBits(root.Weight(i)), FloatBits(0.0f)) << i;
    }
    EXPECT_EQ(composite.Grade(), 0.0f);
}

TEST(LearningTest, StepEvaluatesEveryInputEvenWithZeroWeights) {
    Composite composite({1.0f, 1.0f}, {0.0f, 0.0f});
    composite.root->IncreaseWeights(composite.pair.token, composite.pair.input,
                                    composite.pair.output, 0.5f);
    EXPECT_EQ(composite.evaluations, 2);
    EXPECT_EQ(composite.root->Weight(0), 0.5f);
    EXPECT_EQ(composite.Grade(), 1.0f);
}

TEST(LearningTest, NanRateLeavesNoNanWeight) {
    Composite composite({1.0f}, {1.0f});
    composite.root->IncreaseWeights(composite.pair.token, composite.pair.input,
                                    composite.pair.output, std::nanf(""));
    EXPECT_EQ(composite.root->Weight(0), 0.0f);
    EXPECT_EQ(composite.Grade(), 0.0f);
}

}  // namespace
