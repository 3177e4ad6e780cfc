#!/usr/bin/env bash
# Builds the 32-bit Windows preset (windows-x86) and runs every test under
# Wine, headless.
#   scripts/test-windows.sh [ctest options...]   e.g. -R Profile
#
# The programs find the GCC runtime DLLs beside them in build-windows-x86/bin
# (the build copies them there). Wine runs in its own prefix inside the build
# tree, created on first use (about 15 s), and never opens a window.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$root/build-windows-x86"

# Seconds each step may take before it counts as hung.
SETUP_TIMEOUT=1800
CONFIGURE_TIMEOUT=300
BUILD_TIMEOUT=2400
WINE_START_TIMEOUT=300
TEST_TIMEOUT=1800
WINE_STOP_TIMEOUT=60

timeout "$SETUP_TIMEOUT" bash "$root/scripts/setup.sh" --windows
cd "$root"
timeout "$CONFIGURE_TIMEOUT" cmake --preset windows-x86 >/dev/null
timeout "$BUILD_TIMEOUT" cmake --build --preset windows-x86

export WINEPREFIX="$build_dir/wineprefix"
export WINEARCH=win32
export WINEDEBUG=-all
# No Mono or Gecko install dialogs: the tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# ctest starts one Wine process per test; without a wine server that stays
# up between them, a test can hang while a server shuts down and the next
# starts. So: one persistent server for the whole run, warmed up (prefix
# created, services started) before ctest, and stopped at the end.
mkdir -p "$WINEPREFIX"
stop_wineserver() {
    timeout "$WINE_STOP_TIMEOUT" wineserver -k >/dev/null 2>&1 || true
}
trap stop_wineserver EXIT
timeout "$WINE_START_TIMEOUT" wineserver -p
timeout "$WINE_START_TIMEOUT" wine cmd /c exit 0

timeout "$TEST_TIMEOUT" ctest --preset windows-x86 --parallel 2 "$@" </dev/null
