#!/usr/bin/env bash
# Builds tokenweave and runs it on the bundled example project.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/build.sh" "$root/build"
"$root/build/bin/tokenweave" find "$root/examples/orders/orders.prj"
