// CTokenStatementHeuristicEvaluator grades a pair by the recorded call that
// sent the value (the input occurrence's call_code): a bound value is more
// likely to be a key carried over from a result than a literal in SQL text.
// It keeps a table of entries, each a call code with a weight; the grade is
// the weight of the first entry with the input's code divided by the sum of
// all the entries' weights, 0 when no entry has the code.
//
// Settings, section StatementType: NumberOfStatements (0) entries, entry i
// with Type<i> (a call name of the keyword table, empty by default) and
// Weight<i> (0). Immutable after creation; owns its two arrays.

#ifndef TOKENWEAVE_HEURISTICS_CTOKENSTATEMENTHEURISTICEVALUATOR_H
#define TOKENWEAVE_HEURISTICS_CTOKENSTATEMENTHEURISTICEVALUATOR_H

#include "heuristics/ctokenheuristicevaluator.h"

class CTokenStatementHeuristicEvaluator : public CTokenHeuristicEvaluator {
public:
    // Most entries a data file can configure: a guard against a damaged
    // count (1e30, say), which would otherwise take all memory. A real file
    // names each of the 15 call codes at most a few times and never comes
    // near it, so every entry it configures counts in the weight sum.
    static constexpr int MAX_STATEMENTS = 4096;

    // Copies count weights and codes (count 0 or less: no entries) and sums
    // the weights in entry order into weightSum. Throws std::bad_alloc when
    // memory for the copies runs out.
    CTokenStatementHeuristicEvaluator(int count, const float *weights, const int *codes);
    ~CTokenStatementHeuristicEvaluator() override;

    // Reads the entries from the data file: NumberOfStatements cut toward
    // zero (a negative or non-numeric count gives no entries, a count above
    // MAX_STATEMENTS gives MAX_STATEMENTS), each TypeN looked up among the call
    // names exactly (-1 when it is none of them). Null when memory ran out.
    static CTokenStatementHeuristicEvaluator *Create(const char *dataFilePath);

    // 0 when the weights sum to 0 or no entry has the input's call code. An
    // entry with code -1 never matches but its weight still counts.
    float EvaluateOwn(const token_instances_t &token, const token_entry_tag &output,
                      const token_entry_tag &input) const override;
    // Writes NumberOfStatements, Weight0.., then Type0..; an entry whose code
    // has no call name gets an empty TypeN, which reads back as code -1.
    // 0, or -1 when a write failed.
    int SaveSettings(const char *dataFilePath) const override;

    int StatementCount() const { return statementCount; }

private:
    float *statementWeights;  // owned, statementCount entries; null when none
    int *statementCodes;      // owned, call codes of the keyword table or -1
    int statementCount;
};

#endif  // TOKENWEAVE_HEURISTICS_CTOKENSTATEMENTHEURISTICEVALUATOR_H
