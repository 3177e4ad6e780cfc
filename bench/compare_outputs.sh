#!/usr/bin/env bash
# Runs two tokenweave command binaries on the same inputs and compares every
# report byte for byte. A change meant only to make things faster must leave
# all of them equal.
#
# Usage: bench/compare_outputs.sh BEFORE_BINARY AFTER_BINARY [WORK_DIR]
#
# Keep the starting point's binary as DIR/bin/tokenweave with DIR/dat/crlt.dat
# beside it, as a build lays them out.
#
# Inputs: the bundled examples (dump, find, a cursor query on every line and
# a token query for every quoted value of every action file) and, when
# present, the generated 100k and frequent-values bench projects (dump, find
# at two sizes, their token and cursor targets, in every report format).
# BENCH_DIR overrides where the generated projects are looked for.
# Exit status: 0 when every report is equal, 1 when one differs, 2 on misuse.
set -u

if [ $# -lt 2 ]; then
    echo "usage: $0 BEFORE_BINARY AFTER_BINARY [WORK_DIR]" >&2
    exit 2
fi
before=$(realpath "$1")
after=$(realpath "$2")
for binary in "$before" "$after"; do
    if [ ! -x "$binary" ]; then
        echo "$0: $binary: not an executable" >&2
        exit 2
    fi
    # Commands without --weights read the shipped file beside the binary.
    if [ ! -f "$(dirname "$binary")/../dat/crlt.dat" ]; then
        echo "$0: $binary: no ../dat/crlt.dat beside it; copy a build's bin/ together with dat/" >&2
        exit 2
    fi
done
repo=$(cd "$(dirname "$0")/.." && pwd)
work=${3:-$(mktemp -d)}
bench_dir=${BENCH_DIR:-${TMPDIR:-/tmp}/tokenweave-bench}
weights="$repo/dat/crlt.dat"
mkdir -p "$work/before" "$work/after"

compared=0
differing=0

# run NAME ARGS...: one report from each binary, then cmp.
run() {
    local name=$1
    shift
    local side binary
    for side in before after; do
        binary=$before
        [ "$side" = after ] && binary=$after
        timeout 600 "$binary" "$@" >"$work/$side/$name" 2>"$work/$side/$name.err"
        echo "exit $?" >>"$work/$side/$name.err"
    done
    compared=$((compared + 1))
    if ! cmp -s "$work/before/$name" "$work/after/$name" ||
        ! cmp -s "$work/before/$name.err" "$work/after/$name.err"; then
        differing=$((differing + 1))
        echo "DIFFERS: $name ($*)"
    fi
}

# Every report a project can give: its index, its ranking, and the queries
# at the places named.
project_reports() {
    local label=$1 project=$2 max=$3
    run "$label.dump" dump --quiet "$project"
    run "$label.find" find --quiet --weights "$weights" --max "$max" "$project"
    run "$label.find.json" find --quiet --weights "$weights" --max 1000 --format json "$project"
}

for example in "$repo"/examples/*/*.prj; do
    label=$(basename "$example" .prj)
    project_reports "$label" "$example" 1000
    for action in "$(dirname "$example")"/*.c; do
        file=$(basename "$action")
        line_count=$(wc -l <"$action")
        for line in $(seq 1 "$line_count"); do
            run "$label.$file.$line.cursor" cursor --quiet --weights "$weights" "$example" "$file" "$line"
            # Each quoted value on the line, as the script sends it.
            sed -n "${line}p" "$action" | grep -o '"[^"]*"' | tr -d '"' | sort -u |
                while IFS= read -r value; do
                    [ -n "$value" ] || continue
                    safe=$(printf '%s' "$value" | tr -c 'A-Za-z0-9' '_' | cut -c1-40)
                    run "$label.$file.$line.token.$safe" token --quiet --weights "$weights" \
                        "$example" "$value" "$file" "$line"
                done
        done
    done
done

target() { sed -n "s/^$2=//p" "$1/targets"; }

hundred_k="$bench_dir/lines100000-files20-seed1"
if [ -f "$hundred_k/bench.prj" ]; then
    project_reports 100k "$hundred_k/bench.prj" 1000000
    for format in text json csv; do
        run "100k.token.$format" token --quiet --weights "$weights" --format "$format" "$hundred_k/bench.prj" \
            "$(target "$hundred_k" token_value)" "$(target "$hundred_k" token_file)" "$(target "$hundred_k" token_line)"
        run "100k.common.$format" token --quiet --weights "$weights" --format "$format" "$hundred_k/bench.prj" \
            "$(target "$hundred_k" common_value)" "$(target "$hundred_k" common_file)" "$(target "$hundred_k" common_line)"
        run "100k.cursor.$format" cursor --quiet --weights "$weights" --format "$format" "$hundred_k/bench.prj" \
            "$(target "$hundred_k" cursor_file)" "$(target "$hundred_k" cursor_line)"
    done
else
    echo "note: $hundred_k not generated; run bench/run_bench.sh with SIZES=100000 to include it"
fi

frequent="$bench_dir/frequent-values"
if [ -f "$frequent/bench.prj" ]; then
    project_reports frequent "$frequent/bench.prj" 40000
else
    echo "note: $frequent not generated (bench/generate_project.py --profile frequent-values --files 300 --lines 1 --out $frequent)"
fi

echo "$compared reports compared, $differing differ (reports in $work)"
[ "$differing" -eq 0 ]
