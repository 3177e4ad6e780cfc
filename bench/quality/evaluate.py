#!/usr/bin/env python3
"""Scores a text report of `tokenweave find` against a project's truth.json.

A listed pair is right when its sent value is a true correlation and its
returned cell is one of that correlation's acceptable sources. With R the
number of true correlations:

  precision@k    right pairs among the first k listed, divided by k (by the
                 number listed when the report is shorter)
  recall@k       true correlations with a right pair among the first k
                 listed, divided by R
  R-precision    recall@R: how many of the R best places the true
                 correlations fill
  first-pair     of the true correlations the report lists, the share whose
  accuracy       first listed pair names an acceptable source
  MRR            mean over the listed true correlations of 1 / the position
                 of the first right pair among that value's own pairs

Wrong pairs among the first R are counted by the reason of their sent value
(flag, status, ..., or "wrong source" for a true value paired with a cell it
did not come from).

Usage: evaluate.py REPORT TRUTH [--json]
"""

import json
import re
import sys

PAIR = re.compile(r'^(.*)\((\d+)\): value "(.*)" was returned at (.*)\((\d+)\), grid column (\d+), row (\d+)$')
CUTOFFS = (10, 100, 1000)
NOTHING_FOUND = "No correlation candidates were found."


class ReportError(Exception):
    pass


def read_report(path):
    """The pairs of a find report, best first, as (input, output) tuples.
    A report that found nothing holds only the search's message saying so."""
    pairs = []
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        lines = [line.rstrip("\r") for line in f.read().split("\n")]
    if [line for line in lines if line] == [NOTHING_FOUND]:
        return []
    for number, line in enumerate(lines, start=1):
        if not line:
            continue
        match = PAIR.match(line)
        if match is None:
            raise ReportError("%s:%d: not a pair line: %r" % (path, number, line))
        in_file, in_line, value, out_file, out_line, column, row = match.groups()
        pairs.append(((in_file, int(in_line), value), (out_file, int(out_line), int(column), int(row))))
    return pairs


def score(pairs, truth):
    sources = {}
    for c in truth["correlations"]:
        sources[(c["file"], c["line"], c["value"])] = {tuple(s) for s in c["sources"]}
    reasons = {(d["file"], d["line"], d["value"]): d["reason"] for d in truth["decoys"]}
    total = len(sources)
    right = [p[0] in sources and p[1] in sources[p[0]] for p in pairs]

    def precision(k):
        listed = min(k, len(pairs))
        return sum(right[:k]) / listed if listed else 0.0

    def recall(k):
        found = {p[0] for p, ok in zip(pairs[:k], right[:k]) if ok}
        return len(found) / total if total else 0.0

    first = {}
    position = {}
    seen_count = {}
    for p, ok in zip(pairs, right):
        if p[0] not in sources:
            continue
        seen_count[p[0]] = seen_count.get(p[0], 0) + 1
        first.setdefault(p[0], ok)
        if ok and p[0] not in position:
            position[p[0]] = seen_count[p[0]]
    wrong_by_reason = {}
    for p, ok in zip(pairs[:total], right[:total]):
        if ok:
            continue
        reason = "wrong source" if p[0] in sources else reasons.get(p[0], "not in truth")
        wrong_by_reason[reason] = wrong_by_reason.get(reason, 0) + 1
    result = {
        "true_correlations": total,
        "pairs_listed": len(pairs),
        "r_precision": recall(total),
        "first_pair_accuracy": sum(first.values()) / len(first) if first else 0.0,
        "mrr": sum(1.0 / position[key] if key in position else 0.0 for key in first) / len(first) if first else 0.0,
        "wrong_in_top_r": wrong_by_reason,
    }
    for k in CUTOFFS:
        result["precision@%d" % k] = precision(k)
        result["recall@%d" % k] = recall(k)
    return result


def main(argv):
    args = [a for a in argv if a != "--json"]
    if len(args) != 2:
        sys.stderr.write(__doc__.split("Usage: ")[1])
        return 2
    try:
        pairs = read_report(args[0])
        with open(args[1]) as f:
            truth = json.load(f)
    except (OSError, ValueError, ReportError) as error:
        sys.stderr.write("evaluate.py: %s\n" % error)
        return 1
    result = score(pairs, truth)
    if "--json" in argv:
        json.dump(result, sys.stdout, indent=1, sort_keys=True)
        sys.stdout.write("\n")
    else:
        for key in sorted(result):
            print("%-22s %s" % (key, result[key]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
