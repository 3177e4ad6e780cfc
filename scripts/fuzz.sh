#!/usr/bin/env bash
# Builds the libFuzzer harnesses of tests/fuzz with clang (AddressSanitizer,
# UBSan) in build-fuzz/ and runs each for SECONDS (default 60).
#   scripts/fuzz.sh [SECONDS] [HARNESS...]
# HARNESS is one of: project grid_reader profile weights search_equivalence
# (default: all, one after another). A crash, a leak, a sanitizer report, a
# broken property or a hang fails the script; the input that did it is kept
# in build-fuzz/findings/HARNESS/. Grown corpora stay in build-fuzz/corpus/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
    harnesses=(project grid_reader profile weights search_equivalence)
fi
build_dir="${TOKENWEAVE_FUZZ_BUILD:-$root/build-fuzz}"
fuzz_src="$root/tests/fuzz"
seeds="$fuzz_src/seeds"
separator=$'\n@@@\n'

bash "$root/scripts/setup.sh" clang
cmake -S "$root" -B "$build_dir" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOKENWEAVE_FUZZ=ON -DTOKENWEAVE_BUILD_TESTS=OFF \
    -DTOKENWEAVE_BUILD_CLI=OFF -DTOKENWEAVE_BUILD_BENCH=OFF >/dev/null
targets=()
for harness in "${harnesses[@]}"; do
    targets+=(--target "fuzz_$harness")
done
cmake --build "$build_dir" --parallel "${TOKENWEAVE_JOBS:-$(nproc)}" "${targets[@]}"

# Seed inputs in each harness's input format, from the examples and the
# test inputs kept in tests/fuzz/seeds. One directory per run, so that runs
# side by side do not share it.
seed_dir="$build_dir/seeds.$$"
trap 'rm -rf "$seed_dir"' EXIT
mkdir -p "$seed_dir"/{project,grid_reader,profile,weights}
seed() {  # seed HARNESS (content on stdin)
    cat >"$(mktemp "$seed_dir/$1/seed.XXXXXX")"
}
for example in orders orders-odbc; do
    dir="$root/examples/$example"
    for action in "$dir"/Action*.c; do
        for options in '\x00' '\x02' '\x05' '\x0e'; do
            { printf "$options"; cat "$action"; printf '%s' "$separator"; cat "$dir/orders.rdf"; } |
                seed project
        done
    done
done
for action in "$root"/examples/scanner-tour/tour.c "$root"/examples/scanner-tour/sub/lines.c; do
    { printf '\x00'; cat "$action"; } | seed project
done
for options in '\x00' '\x02' '\x09'; do
    { printf "$options"; cat "$seeds/recordset_action.c"; printf '%s' "$separator";
      cat "$seeds/quoted_grid.rdf"; printf '%s' "$separator"; cat "$seeds/rowset.xml"; } |
        seed project
done
{ printf '\x01'; cat "$seeds/recordset_action.c"; printf '%s' "$separator";
  cat "$seeds/tab_grid.rdf"; } | seed project

{ printf '\x00'; cat "$root/examples/orders/orders.rdf"; } | seed grid_reader
{ printf '\x04'; cat "$seeds/quoted_grid.rdf"; } | seed grid_reader
{ printf '\x01'; cat "$seeds/tab_grid.rdf"; } | seed grid_reader
{ printf '\x02'; cat "$seeds/recordset_action.c"; printf '/* RECORDSET 1\n';
  cat "$seeds/rowset.xml"; printf '*/\n'; } | seed grid_reader
{ printf '\x03'; cat "$seeds/rowset.xml"; } | seed grid_reader

profile_seed() {  # profile_seed FILE SECTION KEY VALUE
    { cat "$1"; printf '%s%s%s%s%s%s' "$separator" "$2" "$separator" "$3" "$separator" "$4"; } |
        seed profile
}
profile_seed "$seeds/profile.ini" TokenEvaluatorInputs Weight0 0.125
profile_seed "$seeds/profile.ini" tokenevaluatorinputs weight3 '" quoted "'
profile_seed "$seeds/profile.ini" 'New Section' Key value
profile_seed "$root/dat/crlt.dat" StatementType Type9 sqx_exec
profile_seed "$root/examples/orders/orders.prj" Actions action9 Action9.c
profile_seed /dev/null Quill GridType 1

for file in "$root/dat/crlt.dat" "$seeds/profile.ini"; do
    seed weights <"$file"
done
printf '[TokenEvaluatorInputs]\nWeight0=1e38\nWeight1=-3\nWeight2=0.0004\n[PairLineDistance]\nMaxDistance=nan\n' |
    seed weights
mkdir -p "$seed_dir/search_equivalence"
cp "$seed_dir/project/"* "$seed_dir/search_equivalence/"

declare -A max_len=([project]=16384 [grid_reader]=16384 [profile]=4096 [weights]=4096
                    [search_equivalence]=8192)
declare -A dict=([project]=project [grid_reader]=grid_reader [profile]=profile
                 [weights]=weights [search_equivalence]=project)
failed=()
for harness in "${harnesses[@]}"; do
    corpus="$build_dir/corpus/$harness"
    findings="$build_dir/findings/$harness"
    mkdir -p "$corpus" "$findings"
    echo "== fuzz_$harness: ${seconds}s" >&2
    # -timeout: one input running 10 s is a hang; the outer timeout guards
    # the run itself.
    if ! timeout --kill-after=30 $((seconds + 300)) "$build_dir/bin/fuzz_$harness" \
        -max_total_time="$seconds" -max_len="${max_len[$harness]}" \
        -dict="$fuzz_src/${dict[$harness]}.dict" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/" \
        "$corpus" "$seed_dir/$harness" </dev/null; then
        failed+=("$harness")
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found problems in: ${failed[*]} (inputs in $build_dir/findings/)" >&2
    exit 1
fi
