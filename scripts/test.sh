#!/usr/bin/env bash
# Builds tokenweave and runs every test.
#   scripts/test.sh             optimised build in build/
#   scripts/test.sh --sanitize  AddressSanitizer + UBSan build in build-sanitize/
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

build_dir="$root/build"
options=()
if [ "${1:-}" = "--sanitize" ]; then
    build_dir="$root/build-sanitize"
    options+=(-DTOKENWEAVE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi

bash "$root/scripts/build.sh" "$build_dir" "${options[@]}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" </dev/null
