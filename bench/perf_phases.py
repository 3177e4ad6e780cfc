#!/usr/bin/env python3
"""Splits a perf profile of tokenweave_bench by benchmark phase.

Reads the output of `perf script` (recorded with call graphs, -g or
--call-graph dwarf) on standard input, assigns each sample to the phase whose
library entry point is on its stack (BuildIndex, AnalyseIndex, the queries,
the analyser's release) and prints, per phase, the share of samples each
function takes itself (self) and with what it calls (inclusive).

Usage: perf script -i perf.data | bench/perf_phases.py [TOP]
"""

import collections
import re
import sys

# A frame naming the left-hand function puts the sample into the phase on
# the right; the first match from the sampled function outwards wins.
PHASE_MARKERS = [
    ("analyse_index", "AnalyseIndex"),
    ("input_token_query", "InputTokenQuery"),
    ("cursor_query", "CursorQuery"),
    ("find_correlations", "FindCorrelations"),
    ("release_index", "~CCorrelationAnalyser"),
    ("build_correlation_index", "BuildIndex"),
    ("read_files_once", "reading the action files"),
    ("count_index", "counting the index (bench only)"),
]
OFFSET = re.compile(r"\+0x[0-9a-f]+$")


# Outside every entry point, the allocator merging freed blocks can only be
# the bench's probe allocation after the analyser was released (the probe's
# own frame is usually inlined away).
AFTER_RELEASE_MARKER = "malloc_consolidate"


def phase_of(frames):
    for frame in frames:
        for marker, phase in PHASE_MARKERS:
            if marker in frame:
                return phase
    if any(AFTER_RELEASE_MARKER in frame for frame in frames):
        return "allocation after release"
    return "other (start-up, exit)"


def frame_name(line):
    """The function of one stack line: "addr name+0xoff (dso)"."""
    parts = line.strip().split(None, 1)
    if len(parts) != 2:
        return None
    return OFFSET.sub("", parts[1].split(" (")[0])


def main():
    top = int(sys.argv[1]) if len(sys.argv) > 1 else 15
    own = collections.defaultdict(collections.Counter)
    inclusive = collections.defaultdict(collections.Counter)
    totals = collections.Counter()
    frames = []

    def finish_sample():
        if frames:
            phase = phase_of(frames)
            totals[phase] += 1
            own[phase][frames[0]] += 1
            for name in set(frames):
                inclusive[phase][name] += 1

    for line in sys.stdin:
        if not line.strip():
            finish_sample()
            frames = []
        elif line[0] in " \t":
            name = frame_name(line)
            if name:
                frames.append(name)
        else:
            frames = []
    finish_sample()

    all_samples = sum(totals.values()) or 1
    for phase, count in totals.most_common():
        print("== %s: %d samples (%.1f%% of all)" % (phase, count, 100.0 * count / all_samples))
        for title, table in (("self", own[phase]), ("inclusive", inclusive[phase])):
            print("   %s:" % title)
            for name, hits in table.most_common(top):
                print("     %5.1f%%  %s" % (100.0 * hits / count, name))
    return 0


if __name__ == "__main__":
    sys.exit(main())
