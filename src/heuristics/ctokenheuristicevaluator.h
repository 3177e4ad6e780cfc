// CTokenHeuristicEvaluator grades a correlation candidate: a pair of
// occurrences of one value, where a result grid returned it (the output
// occurrence) and where the script later sends it (the input occurrence).
//
// The class is both the base of every heuristic and the composite that
// combines them. A composite holds inputs, each with a weight, and grades a
// pair with the weighted average of its inputs' grades; a heuristic has no
// inputs and grades the pair itself in EvaluateOwn. All arithmetic is single
// precision with every intermediate stored as a float, so a pair's grade is
// the same bit for bit on every run and every build.
//
// Ownership: a composite owns its inputs and deletes them with itself. The
// evaluators never change the records they grade. Only the learning steps
// change a composite's weights, and nothing changes a heuristic after its
// creation. Not thread-safe: a learning step must not overlap an evaluation.

#ifndef TOKENWEAVE_HEURISTICS_CTOKENHEURISTICEVALUATOR_H
#define TOKENWEAVE_HEURISTICS_CTOKENHEURISTICEVALUATOR_H

#include "tokenweave/ccorrelationanalyser.h"

class CTokenHeuristicEvaluator {
public:
    // Copies count input pointers and count weights (count 0 or less: no
    // inputs, as every heuristic has) and sums the weights in input order.
    // Takes ownership of the evaluators, not of the caller's arrays. When
    // memory for the copies runs out it throws std::bad_alloc and the caller
    // keeps the evaluators.
    CTokenHeuristicEvaluator(CTokenHeuristicEvaluator *const *inputs, const float *weights,
                             int count);
    // Deletes every input.
    virtual ~CTokenHeuristicEvaluator();

    // A heuristic's own grade of the pair; the base grades 0.
    virtual float EvaluateOwn(const token_instances_t &token, const token_entry_tag &output,
                              const token_entry_tag &input) const;
    // Writes the evaluator's settings to the INI file at dataFilePath: for a
    // composite (the tree's root) the input names and the weights of section
    // TokenEvaluatorInputs, never the inputs' own sections. 0 when every
    // write succeeded, -1 when one failed (later keys are then not written;
    // each key already written holds its new value).
    virtual int SaveSettings(const char *dataFilePath) const;

    // The pair's grade: EvaluateOwn for a heuristic; for a composite the
    // weighted average of its inputs' grades, or 0 without evaluating any
    // input when the weights sum to 0.
    float Evaluate(const token_instances_t &token, const token_entry_tag &output,
                   const token_entry_tag &input) const;

    // One learning step: each weight moves up (Increase) or down (Decrease)
    // by rate times its input's grade of the pair, and never below 0. Note
    // the input occurrence comes before the output occurrence here, as the
    // feedback names them. A heuristic has no weights and stays unchanged.
    void IncreaseWeights(const token_instances_t &token, const token_entry_tag &input,
                         const token_entry_tag &output, float rate);
    void DecreaseWeights(const token_instances_t &token, const token_entry_tag &input,
                         const token_entry_tag &output, float rate);

    int InputCount() const { return inputCount; }
    // Input i, still owned by this evaluator; null when there is no input i.
    const CTokenHeuristicEvaluator *Input(int i) const {
        return i >= 0 && i < inputCount ? inputs[i] : nullptr;
    }
    // Weight of input i; 0 when there is no input i.
    float Weight(int i) const { return i >= 0 && i < inputCount ? weights[i] : 0.0f; }
    float WeightSum() const { return weightSum; }

    // An evaluator owns its inputs; a copy would delete them twice.
    CTokenHeuristicEvaluator(const CTokenHeuristicEvaluator &) = delete;
    CTokenHeuristicEvaluator &operator=(const CTokenHeuristicEvaluator &) = delete;

protected:
    // A heuristic: no inputs, weightSum 0 (free for the heuristic's own sum).
    CTokenHeuristicEvaluator();

    CTokenHeuristicEvaluator **inputs;  // owned, inputCount entries; null when none
    float *weights;                     // owned, one per input; null when none
    int inputCount;
    float weightSum;  // single-precision sum of weights in input order

private:
    void LearnStep(const token_instances_t &token, const token_entry_tag &input,
                   const token_entry_tag &output, float rate, bool increase);
    void RecomputeWeightSum();
};

#endif  // TOKENWEAVE_HEURISTICS_CTOKENHEURISTICEVALUATOR_H
