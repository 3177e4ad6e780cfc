#!/usr/bin/env bash
# Runs every unit-test program under valgrind's memcheck: an invalid read or
# write, a jump on uninitialised memory or a definite leak fails the run.
# Uses the optimised build in build/ (built first). Two programs run at a
# time; each one's valgrind log is kept in build/valgrind/.
# The tests that make allocations fail replace operator new themselves;
# valgrind is told to leave those replacements alone (it still sees every
# block through malloc). Left out: the soak (a thousand cycles under valgrind take too long; every
# operation it repeats runs here once) and the install test (it builds a
# host with the compiler, which valgrind would only slow down).
# TOKENWEAVE_VALGRIND_FILTER, when set, is a GoogleTest filter applied to
# every program (CI leaves out the randomized equivalence runs, which take
# most of the time under valgrind and exercise the same code as the rest).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$root/build"
bash "$root/scripts/setup.sh" valgrind
bash "$root/scripts/build.sh" "$build_dir"
log_dir="$build_dir/valgrind"
rm -rf "$log_dir"
mkdir -p "$log_dir"
export TOKENWEAVE_VALGRIND_LOGS="$log_dir"
export TOKENWEAVE_VALGRIND_FILTER="${TOKENWEAVE_VALGRIND_FILTER:-*}"
# Programs run from build/tests, where ctest runs them.
cd "$build_dir/tests"
status=0
printf '%s\n' "$build_dir"/bin/tokenweave_test_* |
    xargs -P 2 -I{} sh -c '
        name=$(basename "$1")
        if timeout --kill-after=30 3000 valgrind --error-exitcode=1 --leak-check=full \
            --soname-synonyms=somalloc=nouserintercepts \
            --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect \
            --log-file="$TOKENWEAVE_VALGRIND_LOGS/$name.log" "$1" --gtest_brief=1 \
            --gtest_filter="${TOKENWEAVE_VALGRIND_FILTER:-*}" \
            >"$TOKENWEAVE_VALGRIND_LOGS/$name.out" 2>&1 </dev/null; then
            echo "valgrind clean: $name"
        else
            echo "valgrind FAILED: $name (see $TOKENWEAVE_VALGRIND_LOGS/$name.log)" >&2
            exit 255
        fi' _ {} || status=1
exit $status
