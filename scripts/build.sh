#!/usr/bin/env bash
# Configures and builds tokenweave. Usage: scripts/build.sh BUILD_DIR [cmake options...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$1"
shift
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build_dir" "$@" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
