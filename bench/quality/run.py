#!/usr/bin/env python3
"""Generates labelled projects over a seed range, runs `tokenweave find` on
each with one weights file, scores the reports and prints one table: a row
per application shape and database family (the mean over the seeds, and the
lowest R-precision of any seed), then the mean of all rows and the worst row.

Seeds 1 to 5 are the development seeds (the weights were tuned on them);
seeds 101 to 110 are held out and are the ones to report.

Usage: run.py [--seeds 101-110] [--weights FILE] [--tokenweave PATH]
              [--size N] [--work DIR] [--shapes orders,banking,tickets]
              [--families oracle,odbc] [--json FILE] [--corpus]
"""

import argparse
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import evaluate  # noqa: E402
import generate  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(HERE))
DEVELOPMENT_SEEDS = "1-5"
HELD_OUT_SEEDS = "101-110"
# The search lists this many pairs, or R when a project has more true
# correlations, so that R-precision is always measured.
REPORT_PAIRS = 1000
FIND_TIMEOUT_SECONDS = 300
COLUMNS = ("precision@10", "precision@100", "precision@1000", "recall@1000", "r_precision",
           "first_pair_accuracy", "mrr")


def seed_range(text):
    seeds = []
    for part in text.split(","):
        low, _, high = part.partition("-")
        seeds.extend(range(int(low), int(high or low) + 1))
    return seeds


def project_dir(work, shape, family, seed, size):
    return os.path.join(work, "%s-%s-s%d-n%d" % (shape, family, seed, size))


def ensure_project(work, shape, family, seed, size):
    """Generates the project once; later runs reuse it."""
    directory = project_dir(work, shape, family, seed, size)
    truth_path = os.path.join(directory, "truth.json")
    if not os.path.exists(truth_path):
        generate.generate(shape, family, seed, size, directory)
    with open(truth_path) as f:
        return directory, json.load(f)


HANDMADE = os.path.join(HERE, "handmade")


def ensure_handmade():
    """The truth of the hand-made shop project, kept in the repository."""
    with open(os.path.join(HANDMADE, "truth.json")) as f:
        return json.load(f)


def find(tokenweave, directory, truth, weights, family, report, max_pairs=None):
    """Runs the search; returns the listed pairs."""
    count = max_pairs or max(REPORT_PAIRS, len(truth["correlations"]))
    command = [tokenweave, "find", os.path.join(directory, truth["project"]), "--max", str(count),
               "--db", family, "--weights", weights, "--report", report]
    done = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=FIND_TIMEOUT_SECONDS)
    if done.returncode not in (0, 3):
        raise RuntimeError("%s failed (%d): %s" % (" ".join(command), done.returncode,
                                                   done.stderr.decode(errors="replace").strip()))
    return evaluate.read_report(report)


def measure(args, weights, seeds):
    """Scores every shape, family and seed; returns {(shape, family): [scores]}
    and {(shape, family): [truths]}."""
    results = {}
    truths = {}
    for shape in args.shapes:
        for family in args.families:
            for seed in seeds:
                directory, truth = ensure_project(args.work, shape, family, seed, args.size)
                report = os.path.join(directory, "report.txt")
                pairs = find(args.tokenweave, directory, truth, weights, family, report)
                results.setdefault((shape, family), []).append(evaluate.score(pairs, truth))
                truths.setdefault((shape, family), []).append(truth)
    return results, truths


def print_corpus(truths, out=sys.stdout):
    """Per shape and family, the mean size of a project and its decoys by reason."""
    reasons = sorted({d["reason"] for ts in truths.values() for t in ts for d in t["decoys"]})
    header = ("shape", "family", "action files", "script lines", "grid cells", "true correlations",
              "decoys") + tuple(reasons)
    out.write("| " + " | ".join(header) + " |\n")
    out.write("|" + "---|" * len(header) + "\n")
    for (shape, family), ts in truths.items():
        def mean(f):
            return sum(f(t) for t in ts) / len(ts)
        cells = [mean(lambda t: len(t["files"])), mean(lambda t: t["script_lines"]), mean(lambda t: t["grid_cells"]),
                 mean(lambda t: len(t["correlations"])), mean(lambda t: len(t["decoys"]))]
        cells += [mean(lambda t, r=r: sum(1 for d in t["decoys"] if d["reason"] == r)) for r in reasons]
        out.write("| %s | %s | %s |\n" % (shape, family, " | ".join("%.0f" % c for c in cells)))


def summarise(results):
    """Mean of each metric per row, the lowest R-precision of a seed, the
    mean of all rows and the worst row (lowest mean R-precision)."""
    rows = []
    for (shape, family), scores in results.items():
        row = {"shape": shape, "family": family, "projects": len(scores)}
        for column in COLUMNS + ("true_correlations", "pairs_listed"):
            row[column] = sum(s[column] for s in scores) / len(scores)
        row["min_r_precision"] = min(s["r_precision"] for s in scores)
        row["min_precision@10"] = min(s["precision@10"] for s in scores)
        wrong = {}
        for s in scores:
            for reason, count in s["wrong_in_top_r"].items():
                wrong[reason] = wrong.get(reason, 0) + count
        row["wrong_in_top_r"] = wrong
        rows.append(row)
    return rows


def print_table(rows, out=sys.stdout):
    header = ("shape", "family", "P@10", "P@100", "P@1000", "R@1000", "R-prec", "min R-prec",
              "first-pair", "MRR", "true/proj")
    out.write("| " + " | ".join(header) + " |\n")
    out.write("|" + "---|" * len(header) + "\n")

    def line(label_shape, label_family, r):
        out.write("| %s | %s | %.3f | %.3f | %.3f | %.3f | %.3f | %.3f | %.3f | %.3f | %.0f |\n" % (
            label_shape, label_family, r["precision@10"], r["precision@100"], r["precision@1000"],
            r["recall@1000"], r["r_precision"], r["min_r_precision"], r["first_pair_accuracy"], r["mrr"],
            r["true_correlations"]))

    for r in rows:
        line(r["shape"], r["family"], r)
    mean = {c: sum(r[c] for r in rows) / len(rows) for c in COLUMNS + ("true_correlations",)}
    mean["min_r_precision"] = min(r["min_r_precision"] for r in rows)
    line("**all**", "mean", mean)
    worst = min(rows, key=lambda r: r["r_precision"])
    line("**worst**", "%s/%s" % (worst["shape"], worst["family"]), worst)


def shown_path(path):
    """A path inside the repository relative to its root, others as given."""
    inside = os.path.relpath(os.path.abspath(path), ROOT)
    return path if inside.startswith("..") else inside


def common_arguments(parser):
    parser.add_argument("--tokenweave", default=os.path.join(ROOT, "build", "bin", "tokenweave"))
    parser.add_argument("--size", type=int, default=generate.DEFAULT_SIZE,
                        help="business transactions per project (default %d)" % generate.DEFAULT_SIZE)
    parser.add_argument("--work", default="/tmp/tokenweave-quality",
                        help="where the projects and reports are kept (default /tmp/tokenweave-quality)")
    parser.add_argument("--shapes", default=",".join(generate.SHAPES))
    parser.add_argument("--families", default=",".join(generate.FAMILIES))


def parse_common(parser, argv):
    args = parser.parse_args(argv)
    args.shapes = args.shapes.split(",")
    args.families = args.families.split(",")
    for shape in args.shapes:
        if shape not in generate.SHAPES:
            parser.error("unknown shape %r" % shape)
    for family in args.families:
        if family not in generate.FAMILIES:
            parser.error("unknown family %r" % family)
    if not os.access(args.tokenweave, os.X_OK):
        parser.error("%s is not an executable; build first (bash scripts/test.sh)" % args.tokenweave)
    return args


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seeds", default=HELD_OUT_SEEDS, help="seed range (default %s)" % HELD_OUT_SEEDS)
    parser.add_argument("--weights", default=os.path.join(ROOT, "dat", "crlt.dat"))
    parser.add_argument("--json", help="also write the rows as JSON to this file")
    parser.add_argument("--corpus", action="store_true", help="also print the size of the projects")
    common_arguments(parser)
    args = parse_common(parser, argv)
    results, truths = measure(args, args.weights, seed_range(args.seeds))
    rows = summarise(results)
    print("weights %s, seeds %s, size %d" % (shown_path(args.weights), args.seeds, args.size))
    print_table(rows)
    print()
    for r in rows:
        wrong = ", ".join("%s %d" % item for item in sorted(r["wrong_in_top_r"].items(), key=lambda i: -i[1]))
        print("wrong pairs in the first R, %s/%s: %s" % (r["shape"], r["family"], wrong or "none"))
    if args.corpus:
        print()
        print_corpus(truths)
    if args.json:
        with open(args.json, "w") as f:
            json.dump(rows, f, indent=1, sort_keys=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
