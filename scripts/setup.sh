#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
#   scripts/setup.sh [EXTRA_PACKAGE...]   (the fuzz build adds clang, the
#                                          memory check valgrind)
set -euo pipefail

# chromium renders the HTML report in its browser test.
packages=(cmake make g++ flex pkg-config libgtest-dev libgmock-dev libpugixml-dev
          libcli11-dev nlohmann-json3-dev python3 chromium "$@")

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}" >&2
run_as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        run_as_root=(sudo)
    else
        echo "error: need root (or sudo) to install: ${missing[*]}" >&2
        exit 1
    fi
fi
export DEBIAN_FRONTEND=noninteractive
"${run_as_root[@]}" apt-get update -q </dev/null
"${run_as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
