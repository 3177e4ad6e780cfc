#!/usr/bin/env python3
"""Searches the weights file's values on the development seeds.

Coordinate search: starting from the values of a weights file, each value in
turn is set to each of its candidates (a few multiples of the current value
and a few fixed points), the whole development corpus is ranked with
`tokenweave find` and scored, and the best candidate is kept; the passes
repeat until one changes nothing or the pass limit is reached. Everything is
deterministic: the same start, seeds and size give the same result.

The score of a weights file, higher is better:
  the lowest R-precision of any shape and family (each the mean over the
  seeds), plus a quarter of the mean R-precision, minus 1 for each shape and
  family whose precision@10 falls below 1 or whose first-pair accuracy falls
  below 0.99, minus 1 when the hand-made shop case ranks a flag or a
  constant above a true correlation.
So the worst shape leads, and a value that buys recall with wrong first
pairs or top-ten mistakes is never taken.

Usage: tune.py [--seeds 1-5] [--start dat/crlt.dat] [--out FILE] [--passes 2]
               [--jobs 2] [--size N] [--work DIR] [--tokenweave PATH]
The chosen values are printed and written as a complete weights file
(without the shipped file's comments) to --out.
"""

import argparse
import concurrent.futures
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import evaluate  # noqa: E402
import run  # noqa: E402
import weights_file  # noqa: E402

MULTIPLES = (0.0, 0.25, 0.5, 0.75, 1.5, 2.0, 3.0)
# Values searched, in this order. Capital letters count nothing (the index
# never counts them) and the "other" value kind never occurs, so their values
# are left as they are.
SEARCHED = ("Weight0", "Weight1", "Weight3", "Weight4", "Weight5", "Weight6", "Weight7", "Weight8",
            "NumberWeight", "StringWeight", "DbIdWeight", "MaxLength", "PeakValue", "StatementBind",
            "StatementAssign", "StatementSql", "in", "out", "InputMax", "OutputMax", "MaxDistance",
            "GridFrequencyMax", "MaxRow", "TokenFrequencyMax")
FIXED_POINTS = {
    "MaxLength": (16, 24, 32, 40, 48, 64, 80, 100),
    "PeakValue": (0, 4, 6, 8, 10, 12, 16, 24),
    "OutputMax": (2, 3, 5, 8, 10, 15, 20, 40),
    "InputMax": (1, 2, 5, 10, 20, 50),
    "MaxDistance": (0, 25, 50, 100, 250, 500, 1000, 2000),
    "GridFrequencyMax": (0, 2, 3, 5, 10, 20, 40),
    "MaxRow": (0, 5, 10, 20, 40, 80),
    "TokenFrequencyMax": (10, 50, 200, 1000, 1e6),
}
PENALTY = 1.0
WORST_SHARE = 1.0
MEAN_SHARE = 0.25
FIRST_PAIR_TARGET = 0.99


class Corpus:
    def __init__(self, args):
        self.args = args
        self.projects = []
        for shape in args.shapes:
            for family in args.families:
                for seed in run.seed_range(args.seeds):
                    directory, truth = run.ensure_project(args.work, shape, family, seed, args.size)
                    self.projects.append((shape, family, directory, truth))
        self.pool = concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs)
        self.counter = 0

    def score(self, values):
        self.counter += 1
        path = os.path.join(self.args.work, "tune-%d.dat" % (self.counter % (2 * self.args.jobs + 2)))
        weights_file.write(path, values)

        def one(item):
            shape, family, directory, truth = item
            report = os.path.join(directory, "tune-report-%d.txt" % self.counter)
            try:
                pairs = run.find(self.args.tokenweave, directory, truth, path, family, report)
            finally:
                if os.path.exists(report):
                    os.remove(report)
            return (shape, family), evaluate.score(pairs, truth)

        results = {}
        for key, scored in self.pool.map(one, self.projects):
            results.setdefault(key, []).append(scored)
        rows = run.summarise(results)
        hand_truth = run.ensure_handmade()
        hand_report = os.path.join(self.args.work, "tune-handmade.txt")
        hand = evaluate.score(run.find(self.args.tokenweave, run.HANDMADE, hand_truth, path, "oracle", hand_report),
                              hand_truth)
        worst = min(r["r_precision"] for r in rows)
        mean = sum(r["r_precision"] for r in rows) / len(rows)
        total = WORST_SHARE * worst + MEAN_SHARE * mean
        for r in rows:
            if r["min_precision@10"] < 1.0:
                total -= PENALTY
            if r["first_pair_accuracy"] < FIRST_PAIR_TARGET:
                total -= PENALTY
        if hand["r_precision"] < 1.0:
            total -= PENALTY
        return total, worst, mean, hand["r_precision"]


def candidates(name, value):
    found = {round(value * m, 3) for m in MULTIPLES}
    found.update(FIXED_POINTS.get(name, ()))
    if value == 0:
        found.update((0.1, 0.2, 0.4, 0.8))
    found.discard(value)
    return sorted(v for v in found if v >= 0)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seeds", default=run.DEVELOPMENT_SEEDS)
    parser.add_argument("--start", default=os.path.join(run.ROOT, "dat", "crlt.dat"))
    parser.add_argument("--out", default="/tmp/tokenweave-quality/tuned.dat")
    parser.add_argument("--passes", type=int, default=2)
    parser.add_argument("--jobs", type=int, default=2)
    run.common_arguments(parser)
    args = run.parse_common(parser, argv)
    os.makedirs(args.work, exist_ok=True)
    corpus = Corpus(args)
    values = weights_file.read(args.start)
    best = corpus.score(values)
    print("start: score %.4f, worst R-precision %.4f, mean %.4f, hand-made %.2f" % best, flush=True)
    for number in range(1, args.passes + 1):
        changed = False
        for name in SEARCHED:
            for candidate in candidates(name, values[name]):
                trial = dict(values)
                trial[name] = candidate
                result = corpus.score(trial)
                if result[0] > best[0] + 1e-9:
                    print("pass %d: %s %g -> %g: score %.4f, worst %.4f, mean %.4f, hand-made %.2f"
                          % ((number, name, values[name], candidate) + result), flush=True)
                    best = result
                    values = trial
                    changed = True
        if not changed:
            break
    weights_file.write(args.out, values)
    print("best: score %.4f, worst R-precision %.4f, mean %.4f, hand-made %.2f" % best)
    for name in sorted(values):
        print("  %s = %g" % (name, values[name]))
    print("written to %s" % args.out)
    corpus.pool.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
