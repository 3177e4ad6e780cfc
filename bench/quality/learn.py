#!/usr/bin/env python3
"""Measures learning from feedback: a simulated user corrects the ranking.

Start: the uniform weights file, all nine learning weights set to one value
and every other value at its default (or, with --start, as in that file). Then, for
each step, on one project:
  1. rank with `tokenweave find` and score the report;
  2. the highest wrong pair in the report gets `tokenweave feedback ... down`;
  3. the highest missing right pair gets `feedback ... up`: the best-placed
     right pair below place R of a true correlation that has no right pair
     in the first R places (or, when no pair of any of them grades above 0,
     the first such correlation with its first source).
The search lists every pair it can grade, not only the first R, because the
right pair that a user would find missing from the first R is usually far
below: a list cut at 1,000 places shows none of them when R is near 1,000,
and the fallback would mark one and the same correlation up again and again.
R-precision is printed before the first step and after every step, one
column per project, and the mean.

With --trace FILE, every step of every project also goes to FILE: the
R-precision, the nine weights it ranked with, and for each marked pair its
value, why it is wrong (the reason of a decoy, or "wrong source"), where it
sits in the ranking and what each heuristic scored for it (`tokenweave
explain`, which grades the cell that `feedback` learns from); from the
second step on it also checks the weights against the learning rule applied
to the previous step's marks. --order up-down marks the right pair first.

Usage: learn.py [--seeds 101] [--steps 20] [--uniform 0.2] [--start FILE]
                [--size N] [--work DIR] [--tokenweave PATH] [--trace FILE]
                [--order down-up|up-down]
"""

import argparse
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import evaluate  # noqa: E402
import run  # noqa: E402
import weights_file  # noqa: E402

FEEDBACK_TIMEOUT_SECONDS = 120
# More pairs than any project of the corpus has: the search lists them all.
EVERY_PAIR = 10000000
# The learning speed factor the feedback runs with: the default, as no
# settings file is named.
LEARNING_RATE = 0.08
# Short names of the nine heuristics in the trace, in input order.
TRACE_NAMES = ("type", "len", "caps", "freq", "stmt", "io", "dist", "gridf", "row")


def uniform_copy(start, value, path):
    values = weights_file.read(start) if start else weights_file.defaults()
    for i in range(9):
        values["Weight%d" % i] = value
    weights_file.write(path, values)


def feedback(args, directory, truth, weights, family, direction, pair):
    (in_file, in_line, value), (out_file, out_line, _, _) = pair
    command = [args.tokenweave, "feedback", os.path.join(directory, truth["project"]), direction, value,
               in_file, str(in_line), out_file, str(out_line), "--db", family, "--weights", weights]
    done = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=FEEDBACK_TIMEOUT_SECONDS)
    if done.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (" ".join(command), done.returncode,
                                                   done.stderr.decode(errors="replace").strip()))


def explain_scores(args, directory, truth, weights, family, pair):
    """What each of the nine heuristics scores for the pair, as `feedback`
    sees it."""
    (in_file, in_line, value), (out_file, out_line, _, _) = pair
    command = [args.tokenweave, "explain", os.path.join(directory, truth["project"]), value, in_file,
               str(in_line), out_file, str(out_line), "--db", family, "--weights", weights]
    done = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=FEEDBACK_TIMEOUT_SECONDS)
    if done.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (" ".join(command), done.returncode,
                                                   done.stderr.decode(errors="replace").strip()))
    scores = {}
    for line in done.stdout.decode(errors="replace").splitlines():
        words = line.split()
        if len(words) == 4 and words[0] in weights_file.INPUT_NAMES:
            scores[words[0]] = float(words[1])
    return [scores.get(name, float("nan")) for name in weights_file.INPUT_NAMES]


def describe(pair, pairs, truth):
    """The value, why the pair is right or wrong, and its place in the ranking."""
    (in_file, in_line, value), (out_file, out_line, column, row) = pair
    key = (in_file, in_line, value)
    sources = {(c["file"], c["line"], c["value"]): c["sources"] for c in truth["correlations"]}
    reasons = {(d["file"], d["line"], d["value"]): d["reason"] for d in truth["decoys"]}
    if key in sources:
        kind = "true" if [out_file, out_line, column, row] in sources[key] else "wrong source"
    else:
        kind = reasons.get(key, "not in truth")
    place = pairs.index(pair) + 1 if pair in pairs else 0
    return "%r %s, sent %s(%d), returned %s(%d) row %d, place %s" % (
        value, kind, in_file, in_line, out_file, out_line, row, place or "unlisted")


def expected_weights(before, steps, rate):
    """The weights the learning rule gives: each marked pair in turn moves
    every weight by rate x its score, up or down, clamps at 0, and the file
    keeps three decimals."""
    weights = list(before)
    for direction, scores in steps:
        sign = 1.0 if direction == "up" else -1.0
        weights = [round(max(0.0, w + sign * rate * v), 3) for w, v in zip(weights, scores)]
    return weights


def trace_step(args, directory, truth, weights, family, pairs, step, r_precision, marked, previous):
    """Writes one step; returns what the next step needs to check the
    learning rule: the weights and the scores of the marked pairs."""
    values = weights_file.read(weights)
    current = [values["Weight%d" % i] for i in range(len(TRACE_NAMES))]
    line = "step %2d  R-prec %.3f  weights %s\n" % (
        step, r_precision, " ".join("%s %.3f" % (n, w) for n, w in zip(TRACE_NAMES, current)))
    if previous is not None:
        expected = expected_weights(previous[0], previous[1], LEARNING_RATE)
        line += "    learning rule: largest difference %.4f\n" % max(abs(a - b) for a, b in zip(expected, current))
    steps = []
    for direction, pair in marked:
        scores = explain_scores(args, directory, truth, weights, family, pair)
        steps.append((direction, scores))
        line += "    %-4s %s\n         scores %s\n" % (
            direction, describe(pair, pairs, truth),
            " ".join("%s %.3f" % (n, v) for n, v in zip(TRACE_NAMES, scores)))
    args.trace_file.write(line)
    args.trace_file.flush()
    return current, steps


def choose(pairs, truth):
    """The highest wrong pair and the highest missing right pair (or None)."""
    sources = {(c["file"], c["line"], c["value"]): c["sources"] for c in truth["correlations"]}
    total = len(sources)

    def right(p):
        return p[0] in sources and list(p[1]) in sources[p[0]]

    wrong = next((p for p in pairs if not right(p)), None)
    found = {p[0] for p in pairs[:total] if right(p)}
    missing = next((p for p in pairs[total:] if right(p) and p[0] not in found), None)
    if missing is None:
        for key, listed in sources.items():
            if key not in found:
                source = listed[0]
                missing = (key, (source[0], source[1], source[2], source[3]))
                break
    return wrong, missing


def curve(args, shape, family, seed, weights):
    directory, truth = run.ensure_project(args.work, shape, family, seed, args.size)
    # Named by the process, so that runs side by side keep apart.
    report = os.path.join(directory, "learn-report-%d.txt" % os.getpid())
    points = []
    previous = None
    if args.trace_file:
        args.trace_file.write("%s/%s/%d\n" % (shape, family, seed))
    for step in range(args.steps + 1):
        pairs = run.find(args.tokenweave, directory, truth, weights, family, report, EVERY_PAIR)
        points.append(evaluate.score(pairs, truth)["r_precision"])
        if step == args.steps:
            if args.trace_file:
                trace_step(args, directory, truth, weights, family, pairs, step, points[-1], [], previous)
            break
        wrong, missing = choose(pairs, truth)
        order = (("up", missing), ("down", wrong)) if args.order == "up-down" else (("down", wrong), ("up", missing))
        marked = [(d, p) for d, p in order if p is not None]
        if args.trace_file:
            previous = trace_step(args, directory, truth, weights, family, pairs, step, points[-1], marked,
                                  previous)
        for direction, pair in marked:
            feedback(args, directory, truth, weights, family, direction, pair)
    os.remove(report)
    return points


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seeds", default="101")
    parser.add_argument("--steps", type=int, default=20)
    parser.add_argument("--uniform", type=float, default=0.2, help="the value of all nine weights at the start")
    parser.add_argument("--start", default="",
                        help="a weights file whose other sections the uniform file keeps "
                             "(default: none, every other value at its default)")
    parser.add_argument("--trace", default="", help="write every step of every project to this file")
    parser.add_argument("--order", choices=("down-up", "up-down"), default="down-up",
                        help="which of the two pairs of a step is marked first (default down-up)")
    run.common_arguments(parser)
    args = run.parse_common(parser, argv)
    os.makedirs(args.work, exist_ok=True)
    args.trace_file = open(args.trace, "w") if args.trace else None
    columns = []
    curves = []
    projects = []
    for shape in args.shapes:
        for family in args.families:
            per_seed = []
            for seed in run.seed_range(args.seeds):
                weights = os.path.join(args.work, "learn-%s-%s-%d-%d.dat" % (shape, family, seed, os.getpid()))
                uniform_copy(args.start, args.uniform, weights)
                points = curve(args, shape, family, seed, weights)
                os.remove(weights)
                per_seed.append(points)
                projects.append(("%s/%s/%d" % (shape, family, seed), points[-1] - points[0]))
            columns.append("%s/%s" % (shape, family))
            curves.append([sum(p[step] for p in per_seed) / len(per_seed) for step in range(args.steps + 1)])
    print("uniform weights %.3f from %s, seeds %s, size %d, %s; R-precision, mean over the seeds"
          % (args.uniform, run.shown_path(args.start) if args.start else "the defaults", args.seeds, args.size,
             args.order))
    print("| step | " + " | ".join(columns) + " | mean |")
    print("|" + "---|" * (len(columns) + 2))
    for step in range(args.steps + 1):
        values = [c[step] for c in curves]
        print("| %d | %s | %.3f |" % (step, " | ".join("%.3f" % v for v in values), sum(values) / len(values)))
    gains = [c[-1] - c[0] for c in curves]
    worst = min(projects, key=lambda p: p[1])
    print("\nR-precision gain after %d steps: mean %.3f, lowest shape %.3f (%s), lowest project %.3f (%s)"
          % (args.steps, sum(gains) / len(gains), min(gains), columns[gains.index(min(gains))], worst[1], worst[0]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
