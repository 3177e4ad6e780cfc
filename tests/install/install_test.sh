#!/usr/bin/env bash
# Installs a tokenweave build into a scratch prefix and uses it the way a host
# would: checks what was installed, builds tests/install/host against the
# installed CMake package and again against the installed pkg-config file,
# runs both, and runs the installed tokenweave command. The scratch prefix is
# removed on every exit. Needs no network and reads nothing from stdin.
#
# Usage: install_test.sh --build-dir=DIR --version=X.Y.Z [--config=CONFIG]
#          [--cmake=CMAKE] [--cxx=CXX] [--generator=GEN] [--make-program=PROG]
#          [--libdir=LIBDIR] [--pkg-config=PKG_CONFIG] [--host-flags=FLAGS] [--with-cli=1|0]
# --host-flags are added to every compile and link of the host program; a
# build made with the sanitizers needs its flags there, or the host cannot
# link against (or load) the instrumented library.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"

build_dir=""
version=""
config=""
cmake="cmake"
cxx="c++"
generator=""
make_program=""
libdir="lib"
pkg_config="pkg-config"
host_flags=""
with_cli=1
for argument in "$@"; do
    case "$argument" in
        --build-dir=*) build_dir="${argument#*=}" ;;
        --version=*) version="${argument#*=}" ;;
        --config=*) config="${argument#*=}" ;;
        --cmake=*) cmake="${argument#*=}" ;;
        --cxx=*) cxx="${argument#*=}" ;;
        --generator=*) generator="${argument#*=}" ;;
        --make-program=*) make_program="${argument#*=}" ;;
        --libdir=*) libdir="${argument#*=}" ;;
        --pkg-config=*) pkg_config="${argument#*=}" ;;
        --host-flags=*) host_flags="${argument#*=}" ;;
        --with-cli=*) with_cli="${argument#*=}" ;;
        *)
            echo "install_test.sh: unknown argument '$argument'" >&2
            exit 2
            ;;
    esac
done
if [ -z "$build_dir" ] || [ -z "$version" ] || [[ "$with_cli" != [01] ]]; then
    echo "install_test.sh: needs --build-dir and --version; --with-cli takes 1 or 0" >&2
    exit 2
fi

project="$root/examples/orders/orders.prj"
expected_pair='Action3.c(13): value "900417" was returned at Action2.c(14), grid column 1, row 1'
read -r -a extra_flags <<<"$host_flags"

work="$(mktemp -d "${TMPDIR:-/tmp}/tokenweave-install.XXXXXX")"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

step() { echo "== $*"; }
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
# Runs a command with its output in a log, shown only when it fails.
quietly() {
    local log="$work/command.log"
    if ! "$@" </dev/null >"$log" 2>&1; then
        cat "$log" >&2
        fail "$*"
    fi
}

step "install into $prefix"
install_command=("$cmake" --install "$build_dir" --prefix "$prefix")
if [ -n "$config" ]; then
    install_command+=(--config "$config")
fi
quietly "${install_command[@]}"

step "installed files"
for file in "include/tokenweave/ccorrelationanalyser.h" "dat/crlt.dat" "share/tokenweave/crlt.dat" \
    "$libdir/libtokenweave.so" "$libdir/cmake/tokenweave/tokenweaveConfig.cmake" \
    "$libdir/cmake/tokenweave/tokenweaveConfigVersion.cmake" \
    "$libdir/pkgconfig/tokenweave.pc"; do
    [ -e "$prefix/$file" ] || fail "$file was not installed"
done
cmp -s "$root/dat/crlt.dat" "$prefix/dat/crlt.dat" || fail "dat/crlt.dat differs from the source"
cmp -s "$root/dat/crlt.dat" "$prefix/share/tokenweave/crlt.dat" ||
    fail "share/tokenweave/crlt.dat differs from the source"
soname_link="$prefix/$libdir/libtokenweave.so.${version%%.*}"
[ -L "$prefix/$libdir/libtokenweave.so" ] && [ -L "$soname_link" ] &&
    [ -f "$prefix/$libdir/libtokenweave.so.$version" ] ||
    fail "libtokenweave.so, libtokenweave.so.${version%%.*} -> libtokenweave.so.$version"
if [ -n "$(find "$prefix" -name '*.a' -o -name 'tokenweave_test_*')" ]; then
    fail "the static core or a test program was installed: $(find "$prefix" -name '*.a' -o -name 'tokenweave_test_*')"
fi
if [ "$with_cli" -eq 1 ]; then
    [ -x "$prefix/bin/tokenweave" ] || fail "bin/tokenweave was not installed"
fi

if command -v nm >/dev/null 2>&1 && command -v c++filt >/dev/null 2>&1; then
    step "exported symbols"
    exported="$(nm -D --defined-only "$soname_link" | c++filt | awk '{ $1 = ""; $2 = ""; print }')"
    foreign="$(grep -v 'CCorrelationAnalyser' <<<"$exported" || true)"
    [ -z "$foreign" ] || fail "the library exports more than the class:"$'\n'"$foreign"
    grep -q 'CCorrelationAnalyser::BuildIndex()' <<<"$exported" ||
        fail "the library does not export CCorrelationAnalyser::BuildIndex()"
    grep -q 'typeinfo for CCorrelationAnalyser::CorrelationScanException' <<<"$exported" ||
        fail "the library does not export the type of CorrelationScanException"
fi

step "host built with find_package(tokenweave)"
configure_command=("$cmake" -S "$here/host" -B "$work/host-cmake"
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
    -DTOKENWEAVE_EXPECTED_VERSION="$version" -DCMAKE_CXX_COMPILER="$cxx"
    -DCMAKE_CXX_FLAGS="$host_flags" -DCMAKE_EXE_LINKER_FLAGS="$host_flags")
if [ -n "$generator" ]; then
    configure_command+=(-G "$generator")
fi
if [ -n "$make_program" ]; then
    configure_command+=(-DCMAKE_MAKE_PROGRAM="$make_program")
fi
quietly "${configure_command[@]}"
found_at="$(sed -n 's/^tokenweave_DIR:PATH=//p' "$work/host-cmake/CMakeCache.txt")"
[ "$found_at" = "$prefix/$libdir/cmake/tokenweave" ] ||
    fail "find_package found tokenweave at '$found_at', not in $prefix"
quietly "$cmake" --build "$work/host-cmake" --config Release
host="$(find "$work/host-cmake" -type f -name host -perm -u+x | head -n 1)"
[ -n "$host" ] || fail "the host program was not built"
mkdir "$work/run-cmake"
"$host" "$project" "$work/run-cmake" </dev/null >/dev/null || fail "host (CMake package) failed"

step "host built with pkg-config"
command -v "$pkg_config" >/dev/null 2>&1 ||
    fail "pkg-config not found (scripts/setup.sh installs it)"
export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
[ "$("$pkg_config" --modversion tokenweave)" = "$version" ] ||
    fail "pkg-config reports version $("$pkg_config" --modversion tokenweave), not $version"
read -r -a cflags <<<"$("$pkg_config" --cflags tokenweave)"
read -r -a libs <<<"$("$pkg_config" --libs tokenweave)"
pc_libdir="$("$pkg_config" --variable=libdir tokenweave)"
pc_datafile="$("$pkg_config" --variable=datafile tokenweave)"
[ "$(cd "$pc_libdir" && pwd)" = "$prefix/$libdir" ] ||
    fail "pkg-config libdir '$pc_libdir' is not $prefix/$libdir"
grep -q -- '-lpugixml' <<<"$("$pkg_config" --static --libs tokenweave)" ||
    fail "a static link through pkg-config would miss pugixml"
# The run path lets the host load the library from the scratch prefix.
quietly "$cxx" -std=c++17 -Wall -Wextra -Wpedantic -Werror "${extra_flags[@]}" "${cflags[@]}" \
    -DHOST_DATA_FILE="\"$pc_datafile\"" "$here/host/host.cpp" -o "$work/host-pkgconfig" \
    "${libs[@]}" "-Wl,-rpath,$pc_libdir"
mkdir "$work/run-pkgconfig"
"$work/host-pkgconfig" "$project" "$work/run-pkgconfig" </dev/null >/dev/null ||
    fail "host (pkg-config) failed"

if [ "$with_cli" -eq 1 ]; then
    step "installed tokenweave find"
    # Run from elsewhere, with a home of its own: the command must find
    # <prefix>/share/tokenweave/crlt.dat by itself.
    status=0
    mkdir "$work/home"
    (cd "$work" && HOME="$work/home" XDG_DATA_HOME="" "$prefix/bin/tokenweave" find "$project" \
        </dev/null >"$work/cli.txt" 2>&1) || status=$?
    [ "$status" -eq 0 ] || fail "tokenweave find exited with $status: $(cat "$work/cli.txt")"
    grep -Fxq "$expected_pair" "$work/cli.txt" ||
        fail "tokenweave find did not report: $expected_pair"
    grep -Fq "weights $prefix/share/tokenweave/crlt.dat" "$work/cli.txt" ||
        fail "tokenweave find did not read share/tokenweave/crlt.dat: $(cat "$work/cli.txt")"
fi

echo "install test passed"
