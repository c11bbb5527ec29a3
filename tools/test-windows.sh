#!/usr/bin/env bash
# tools/test-windows.sh [LINUX_BUILD_DIR]
# Cross-builds the Windows programs, their tests and the packages
# (tools/build-windows.sh), then runs under wine: the portable test
# executables, the command line into non-ASCII folders (compared with the
# Linux build's velloquin-cli in LINUX_BUILD_DIR), the Win32 window driven on
# Xvfb, and a silent install and uninstall. Called by tools/test-all.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
linux_build=${1:-build-ci}
jobs=${VELLOQUIN_JOBS:-$(nproc)}

linux_cli="$top/$linux_build/cli/velloquin-cli"
[ -x "$linux_cli" ] || linux_cli=""

VELLOQUIN_WINDOWS_TESTS=ON VELLOQUIN_LINUX_CLI="$linux_cli" tools/build-windows.sh build-windows
# A wine prefix of this build's own, made once; the tests share it. Its
# server and wine's background programs start here, apart from any test.
export WINEPREFIX="$top/build-windows/wineprefix"
cmake/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1 || true
cd build-windows
status=0
ctest --output-on-failure -j "$jobs" --timeout 900 || status=$?
wineserver -k 2>/dev/null || true
exit $status
