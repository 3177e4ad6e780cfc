#!/usr/bin/env python3
"""A quick end-to-end check of the quality tools and the shipped weights.

Generates two tiny labelled projects, ranks them with `tokenweave find` and
the shipped weights, scores the reports, and fails when a metric falls below
a floor that the full held-out measurement clears by a margin; ranks the
hand-made shop case, whose true correlations must all come before its flags
and constants; scores made-up reports whose scores are known, so that a
fault in the scoring itself shows; and checks which pairs the simulated user
of the learning measurement marks, and the weights its steps must give.

Usage: smoke.py --tokenweave PATH --work DIR
"""

import argparse
import os
import shutil
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import evaluate  # noqa: E402
import generate  # noqa: E402
import learn  # noqa: E402
import run  # noqa: E402

SHIPPED = os.path.join(run.ROOT, "dat", "crlt.dat")
SMOKE_SIZE = 4
# (shape, family, seed): one of each family, outside both seed ranges.
PROJECTS = (("orders", "oracle", 900), ("tickets", "odbc", 901))
MIN_TRUE_CORRELATIONS = 30
# More pairs than a smoke project has, so that the search lists them all.
ALL_PAIRS = 100000
FLOORS = {"precision@10": 1.0, "first_pair_accuracy": 0.99, "r_precision": 0.85}


def check(failures, label, name, value, floor):
    if value < floor:
        failures.append("%s: %s is %.3f, below %.3f" % (label, name, value, floor))


def scoring_cases(truth):
    """Reports built from the truth itself, with the scores they must get."""
    right = [((c["file"], c["line"], c["value"]), tuple(c["sources"][0])) for c in truth["correlations"]]
    wrong_source = ("nowhere.c", 1, 1, 1)
    decoys = [((d["file"], d["line"], d["value"]), wrong_source) for d in truth["decoys"]]
    total = len(right)
    return [
        ("every true pair first", right + decoys, {"r_precision": 1.0, "first_pair_accuracy": 1.0, "mrr": 1.0}),
        ("decoys first", decoys + right, {"precision@10": 0.0 if len(decoys) >= 10 else None,
                                          "first_pair_accuracy": 1.0}),
        ("wrong source before each right one", [(p[0], wrong_source) for p in right] + right,
         {"first_pair_accuracy": 0.0, "mrr": 0.5, "r_precision": 0.0}),
        ("half the true pairs", right[: total // 2], {"recall@1000": (total // 2) / total}),
        ("nothing found", [], {"r_precision": 0.0, "precision@10": 0.0}),
    ]


def simulated_user_failures():
    """The pairs the simulated user marks down and up in made-up rankings."""
    a, b, c, d = (("Action2.c", 10 * i, "v%d" % i) for i in range(1, 5))
    truth = {"correlations": [{"file": k[0], "line": k[1], "value": k[2], "sources": [["Action1.c", 5, i, 1]]}
                              for i, k in enumerate((a, b, c), start=1)],
             "decoys": [{"file": d[0], "line": d[1], "value": d[2], "reason": "flag"}]}
    source = {a: ("Action1.c", 5, 1, 1), b: ("Action1.c", 5, 2, 1), c: ("Action1.c", 5, 3, 1)}
    elsewhere = ("Action1.c", 7, 1, 4)
    right = {k: (k, source[k]) for k in (a, b, c)}
    cases = (
        # (label, ranking, highest wrong pair, highest missing right pair)
        ("all right", [right[a], right[b], right[c]], None, None),
        ("decoy first", [(d, elsewhere), right[a], right[b], right[c]], (d, elsewhere), right[c]),
        ("wrong source in the first R", [right[a], (c, elsewhere), right[b], right[c]], (c, elsewhere), right[c]),
        ("found values are not marked again",
         [right[a], (d, elsewhere), right[b], right[a], (b, elsewhere), right[c]], (d, elsewhere), right[c]),
        ("not listed: its first source", [right[a], right[b], (d, elsewhere)], (d, elsewhere), right[c]),
    )
    failures = []
    for label, ranking, wrong, missing in cases:
        got = learn.choose(ranking, truth)
        if got != (wrong, missing):
            failures.append("simulated user, '%s': marked %r, expected %r" % (label, got, (wrong, missing)))
    # The learning rule: up adds rate x score, down takes it away and stops at
    # 0, and the file keeps three decimals.
    rule = (
        ([0.0, 0.0], [("up", [1.0, 0.5])], [0.08, 0.04]),
        ([0.08, 0.04], [("down", [1.0, 0.5])], [0.0, 0.0]),
        ([0.05, 0.2], [("down", [1.0, 0.0]), ("up", [1.0, 0.25])], [0.08, 0.22]),
    )
    for before, steps, expected in rule:
        got = learn.expected_weights(before, steps, learn.LEARNING_RATE)
        if any(abs(x - y) > 1e-9 for x, y in zip(got, expected)):
            failures.append("learning rule from %r by %r: %r, expected %r" % (before, steps, got, expected))
    return failures


def read_text(text):
    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as report:
        report.write(text)
    try:
        return evaluate.read_report(report.name)
    finally:
        os.remove(report.name)


def write_report(path, pairs):
    with open(path, "w") as f:
        for (in_file, in_line, value), (out_file, out_line, column, row) in pairs:
            f.write('%s(%d): value "%s" was returned at %s(%d), grid column %d, row %d\n'
                    % (in_file, in_line, value, out_file, out_line, column, row))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--tokenweave", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args(argv)
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    failures = []
    for shape, family, seed in PROJECTS:
        label = "%s/%s/%d" % (shape, family, seed)
        directory = os.path.join(args.work, label.replace("/", "-"))
        truth = generate.generate(shape, family, seed, SMOKE_SIZE, directory)
        if len(truth["correlations"]) < MIN_TRUE_CORRELATIONS:
            failures.append("%s: only %d true correlations" % (label, len(truth["correlations"])))
            continue
        pairs = run.find(args.tokenweave, directory, truth, SHIPPED, family, os.path.join(directory, "report.txt"))
        scores = evaluate.score(pairs, truth)
        for name, floor in FLOORS.items():
            check(failures, label, name, scores[name], floor)
        print("%s: %d true correlations, R-precision %.3f, precision@10 %.3f, first-pair %.3f"
              % (label, scores["true_correlations"], scores["r_precision"], scores["precision@10"],
                 scores["first_pair_accuracy"]))
        # Every pair the truth names must be one the search can list: the
        # generator counts lines, columns and rows as the index does.
        every = run.find(args.tokenweave, directory, truth, SHIPPED, family, os.path.join(directory, "all.txt"),
                         max_pairs=ALL_PAIRS)
        listed = set(every)
        unlisted = [c for c in truth["correlations"]
                    if not any(((c["file"], c["line"], c["value"]), tuple(src)) in listed for src in c["sources"])]
        inputs = {p[0] for p in every}
        unlisted += [d for d in truth["decoys"] if (d["file"], d["line"], d["value"]) not in inputs]
        if unlisted:
            failures.append("%s: %d places of the truth are not in the full report, first %r"
                            % (label, len(unlisted), unlisted[0]))
        for case, made, expected in scoring_cases(truth):
            report = os.path.join(directory, "made-up.txt")
            write_report(report, made)
            got = evaluate.score(evaluate.read_report(report), truth)
            for name, value in expected.items():
                if value is not None and abs(got[name] - value) > 1e-9:
                    failures.append("%s, scoring '%s': %s is %.3f, expected %.3f" % (label, case, name, got[name],
                                                                                    value))
    hand_truth = run.ensure_handmade()
    hand_pairs = run.find(args.tokenweave, run.HANDMADE, hand_truth, SHIPPED, "oracle",
                          os.path.join(args.work, "handmade-report.txt"))
    hand = evaluate.score(hand_pairs, hand_truth)
    print("hand-made shop: R-precision %.3f" % hand["r_precision"])
    check(failures, "hand-made shop", "r_precision (every true pair before every flag and constant)",
          hand["r_precision"], 1.0)
    for text, expected in ((evaluate.NOTHING_FOUND + "\n", []), ("", [])):
        if read_text(text) != expected:
            failures.append("the report %r did not read as %r" % (text, expected))
    for bad in ("Action1.c(3): something else entirely\n", "a line\nanother line\n",
                'Action1.c(3): value "7" was returned at Action1.c(2), grid column x, row 1\n'):
        try:
            read_text(bad)
            failures.append("a report with lines that are not pairs was accepted: %r" % bad)
        except evaluate.ReportError:
            pass
    failures += simulated_user_failures()
    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
