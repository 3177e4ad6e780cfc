#!/usr/bin/env python3
"""Measures learning from feedback: a simulated user corrects the ranking.

Start: the uniform weights file, all nine learning weights set to one value
and every other value at its default (or, with --start, as in that file). Then, for
each step, on one project:
  1. rank with `tokenweave find` and score the report;
  2. the highest wrong pair in the report gets `tokenweave feedback ... down`;
  3. the highest missing right pair gets `feedback ... up`: the best-placed
     right pair below place R of a true correlation that has no right pair
     in the first R places (or, when the report lists none of them, the
     first such correlation with its first source).
R-precision is printed before the first step and after every step, one
column per project, and the mean.

Usage: learn.py [--seeds 101] [--steps 20] [--uniform 0.2] [--start FILE]
                [--size N] [--work DIR] [--tokenweave PATH]
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
    report = os.path.join(directory, "learn-report.txt")
    points = []
    for step in range(args.steps + 1):
        pairs = run.find(args.tokenweave, directory, truth, weights, family, report)
        points.append(evaluate.score(pairs, truth)["r_precision"])
        if step == args.steps:
            break
        wrong, missing = choose(pairs, truth)
        if wrong is not None:
            feedback(args, directory, truth, weights, family, "down", wrong)
        if missing is not None:
            feedback(args, directory, truth, weights, family, "up", missing)
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
    run.common_arguments(parser)
    args = run.parse_common(parser, argv)
    os.makedirs(args.work, exist_ok=True)
    columns = []
    curves = []
    projects = []
    for shape in args.shapes:
        for family in args.families:
            per_seed = []
            for seed in run.seed_range(args.seeds):
                weights = os.path.join(args.work, "learn-%s-%s-%d.dat" % (shape, family, seed))
                uniform_copy(args.start, args.uniform, weights)
                points = curve(args, shape, family, seed, weights)
                per_seed.append(points)
                projects.append(("%s/%s/%d" % (shape, family, seed), points[-1] - points[0]))
            columns.append("%s/%s" % (shape, family))
            curves.append([sum(p[step] for p in per_seed) / len(per_seed) for step in range(args.steps + 1)])
    print("uniform weights %.3f from %s, seeds %s, size %d; R-precision, mean over the seeds"
          % (args.uniform, run.shown_path(args.start) if args.start else "the defaults", args.seeds, args.size))
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
