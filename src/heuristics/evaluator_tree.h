// Building the evaluator tree from the weights data file.
//
// The root is a plain CTokenHeuristicEvaluator over the nine inputs of
// evaluator_inputs.h; input 5 is itself a plain composite over the input-
// and output-frequency heuristics. Only the root's nine weights learn and
// are exported.

#ifndef TOKENWEAVE_HEURISTICS_EVALUATOR_TREE_H
#define TOKENWEAVE_HEURISTICS_EVALUATOR_TREE_H

class CTokenHeuristicEvaluator;

// Reads Weight0..Weight8 of section TokenEvaluatorInputs (default 0) and
// every heuristic's own section from the INI file at dataFilePath, and
// returns the root, owned by the caller (delete it to free the whole tree).
// A missing file, section or key gives the defaults, so without a data file
// every weight is 0 and every pair grades 0. Null only when memory ran out;
// nothing is leaked then. Throws nothing.
CTokenHeuristicEvaluator *CreateEvaluatorTree(const char *dataFilePath);

#endif  // TOKENWEAVE_HEURISTICS_EVALUATOR_TREE_H
