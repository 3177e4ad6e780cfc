#!/usr/bin/env bash
# Builds the benchmark program, generates script projects of several sizes
# and prints one Markdown table of their timings and peak memory.
#
# Usage: bench/run_bench.sh
# Environment (all optional):
#   SIZES           script lines of each project       (10000 100000 1000000)
#   LINES_PER_FILE  script lines per action file        (5000; at least 4 files)
#   SEED            generator seed                      (1)
#   TIMEOUT         seconds one phase may run           (600)
#   SKIP_FIND       1 leaves FindCorrelations out        (0)
#   ARCH            native, or i686 for the 32-bit build (native); i686
#                   installs its compiler and libraries first (setup.sh --i686)
#   BUILD_DIR       build directory                     (<source>/build-bench,
#                   <source>/build-bench-i686 for ARCH=i686)
#   WORK_DIR        where the projects are generated    (${TMPDIR:-/tmp}/tokenweave-bench)
# Projects already generated with the same size, file count and seed are
# reused. The table goes to standard output, progress to standard error.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
sizes="${SIZES:-10000 100000 1000000}"
lines_per_file="${LINES_PER_FILE:-5000}"
seed="${SEED:-1}"
timeout="${TIMEOUT:-600}"
skip_find="${SKIP_FIND:-0}"
arch="${ARCH:-native}"
arch_options=()
case "$arch" in
    native) build_dir="${BUILD_DIR:-$root/build-bench}" ;;
    i686)
        # The library ships as a 32-bit module, where every pointer in the
        # index is half as wide: its memory is measured on the same projects.
        build_dir="${BUILD_DIR:-$root/build-bench-i686}"
        bash "$root/scripts/setup.sh" --i686 >&2
        arch_options=(-DCMAKE_C_FLAGS=-m32 -DCMAKE_CXX_FLAGS=-m32
            -Dpugixml_DIR=/usr/lib/i386-linux-gnu/cmake/pugixml)
        ;;
    *)
        echo "run_bench.sh: ARCH must be native or i686, not '$arch'" >&2
        exit 2
        ;;
esac
work_dir="${WORK_DIR:-${TMPDIR:-/tmp}/tokenweave-bench}"
min_files=4
exit_timed_out=3

if ! command -v python3 >/dev/null 2>&1; then
    echo "run_bench.sh: python3 is needed to generate the projects" >&2
    exit 1
fi

# 10000 -> 10k, 1000000 -> 1M, 1500000 -> 1500k.
label_of() {
    local lines="$1"
    if ((lines % 1000000 == 0)); then
        echo "$((lines / 1000000))M"
    elif ((lines % 1000 == 0)); then
        echo "$((lines / 1000))k"
    else
        echo "$lines"
    fi
}

echo "Building tokenweave_bench (Release, $arch) in $build_dir" >&2
cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DTOKENWEAVE_BUILD_TESTS=OFF \
    -DTOKENWEAVE_BUILD_CLI=OFF -DTOKENWEAVE_BUILD_BENCH=ON "${arch_options[@]}" >/dev/null
cmake --build "$build_dir" -j2 --target tokenweave_bench >/dev/null
bench="$build_dir/bin/tokenweave_bench"

bench_options=(--timeout "$timeout")
if [[ "$skip_find" == 1 ]]; then
    bench_options+=(--skip-find)
fi

echo "Command: SIZES=\"$sizes\" LINES_PER_FILE=$lines_per_file SEED=$seed TIMEOUT=$timeout" \
    "SKIP_FIND=$skip_find ARCH=$arch bench/run_bench.sh"
echo
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')," \
    "$(awk '/MemTotal/ {printf "%.1f GB RAM", $2 / 1048576}' /proc/meminfo);" \
    "commit $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)"
# Other work on the machine shows as wall time above CPU time; the load
# average tells how busy the cores were.
echo "Load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
"$bench" --header

for lines in $sizes; do
    files=$((lines / lines_per_file))
    if ((files < min_files)); then
        files=$min_files
    fi
    label="$(label_of "$lines")"
    if [[ "$arch" != native ]]; then
        label="$label $arch"
    fi
    project_dir="$work_dir/lines$lines-files$files-seed$seed"
    if [[ ! -f "$project_dir/targets" ]]; then
        echo "Generating $label: $lines lines in $files action files" >&2
        rm -rf "$project_dir" "$project_dir.partial"
        python3 "$root/bench/generate_project.py" --lines "$lines" --files "$files" \
            --seed "$seed" --out "$project_dir.partial"
        mv "$project_dir.partial" "$project_dir"
    fi
    status=0
    "$bench" --project "$project_dir/bench.prj" --label "$label" "${bench_options[@]}" ||
        status=$?
    if ((status != 0 && status != exit_timed_out)); then
        echo "run_bench.sh: the bench program failed on $label (exit $status)" >&2
        exit "$status"
    fi
done
echo
echo "Load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
