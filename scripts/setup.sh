#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
#   scripts/setup.sh [EXTRA_PACKAGE...]   what the Linux build needs, and the
#                                          extra packages named (the fuzz build
#                                          adds clang, the memory check valgrind)
#   scripts/setup.sh --windows  also the 32-bit Windows cross build and Wine
#                               to run its tests, and the pugixml source that
#                               the cross build compiles for itself
#   scripts/setup.sh --i686     also the 32-bit Linux compiler and libraries
#                               that ARCH=i686 bench/run_bench.sh builds with
set -euo pipefail

windows=0
i686=0
extra=()
for argument in "$@"; do
    case "$argument" in
        --windows) windows=1 ;;
        --i686) i686=1 ;;
        -*)
            echo "usage: $0 [--windows] [--i686] [EXTRA_PACKAGE...]" >&2
            exit 2
            ;;
        *) extra+=("$argument") ;;
    esac
done

# chromium renders the HTML report in its browser test.
packages=(cmake make g++ flex pkg-config libgtest-dev libgmock-dev libpugixml-dev
          libcli11-dev nlohmann-json3-dev python3 chromium "${extra[@]}")
if [ "$windows" -eq 1 ]; then
    # googletest: the GoogleTest sources in /usr/src/googletest, compiled by
    # the cross build. dpkg-dev: dpkg-source unpacks the pugixml source.
    packages+=(g++-mingw-w64-i686-posix mingw-w64-tools wine wine32:i386 googletest dpkg-dev)
fi
if [ "$i686" -eq 1 ]; then
    packages+=(g++-multilib libpugixml-dev:i386)
fi

# Where the cross build finds the pugixml source (cmake/TokenweaveWindowsDependencies.cmake).
pugixml_source_dir=/usr/local/src/pugixml

run_as_root=()
need_root() {
    if [ "$(id -u)" -ne 0 ] && [ ${#run_as_root[@]} -eq 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            run_as_root=(sudo)
        else
            echo "error: need root (or sudo) to $1" >&2
            exit 1
        fi
    fi
}
export DEBIAN_FRONTEND=noninteractive

if [ $((windows + i686)) -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    need_root "add the i386 architecture (for wine32 and the 32-bit libraries)"
    "${run_as_root[@]}" dpkg --add-architecture i386
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}" >&2
    need_root "install: ${missing[*]}"
    "${run_as_root[@]}" apt-get update -q </dev/null
    "${run_as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
fi

if [ "$windows" -eq 0 ] || [ -f "$pugixml_source_dir/src/pugixml.cpp" ]; then
    exit 0
fi

# Debian ships pugixml for the host only, so the cross build compiles it from
# Debian's source package, of the same version as the installed headers. The
# source index is fetched into a private directory: the machine's own apt
# configuration stays as it is.
need_root "install the pugixml source in $pugixml_source_dir"
version="$(dpkg-query -W -f='${source:Version}' libpugixml-dev)"
echo "Fetching the pugixml $version source into $pugixml_source_dir" >&2
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/sources.list.d" "$work/lists/partial" "$work/unpack"
for list in /etc/apt/sources.list.d/*.sources; do
    [ -f "$list" ] || continue
    sed 's/^Types:.*/Types: deb-src/' "$list" >"$work/sources.list.d/$(basename "$list")"
done
if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >"$work/sources.list"
else
    : >"$work/sources.list"
fi
apt_source=(-o "Dir::Etc::SourceList=$work/sources.list"
            -o "Dir::Etc::SourceParts=$work/sources.list.d"
            -o "Dir::State::Lists=$work/lists"
            -o "APT::Sandbox::User=root")
apt-get "${apt_source[@]}" update -q </dev/null
(cd "$work/unpack" && apt-get "${apt_source[@]}" source -q "pugixml=$version" </dev/null)
unpacked="$(find "$work/unpack" -mindepth 1 -maxdepth 1 -type d -name 'pugixml-*' | head -n 1)"
if [ -z "$unpacked" ] || [ ! -f "$unpacked/src/pugixml.cpp" ]; then
    echo "error: the pugixml source package did not unpack to a tree with src/pugixml.cpp" >&2
    exit 1
fi
"${run_as_root[@]}" mkdir -p "$(dirname "$pugixml_source_dir")"
"${run_as_root[@]}" rm -rf "$pugixml_source_dir.new"
"${run_as_root[@]}" cp -r "$unpacked" "$pugixml_source_dir.new"
"${run_as_root[@]}" rm -rf "$pugixml_source_dir"
"${run_as_root[@]}" mv "$pugixml_source_dir.new" "$pugixml_source_dir"
