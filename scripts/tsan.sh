#!/usr/bin/env bash
# Builds the reliability tests with ThreadSanitizer in build-tsan/ and runs
# the thread test: two analysers building and querying on two threads. A
# data race (or an index that differs from the one built alone) fails.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$root/build-tsan"
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build_dir" -DTOKENWEAVE_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOKENWEAVE_BUILD_CLI=OFF -DTOKENWEAVE_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" --parallel "${TOKENWEAVE_JOBS:-$(nproc)}" \
    --target tokenweave_test_reliability
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}"
timeout --kill-after=30 600 "$build_dir/bin/tokenweave_test_reliability" \
    --gtest_filter='ConcurrentBuild.*' </dev/null
