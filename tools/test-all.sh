#!/usr/bin/env bash
# Builds and runs every test: the normal build (warnings as errors), the same
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, the Windows
# build and its tests under wine (tools/test-windows.sh), and a bounded run of
# each fuzz target. Installs what it needs first (as root).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

tools/install-deps.sh

jobs=${VELLOQUIN_JOBS:-$(nproc)}
fuzz_seconds=${VELLOQUIN_FUZZ_SECONDS:-60}
status=0

export QT_QPA_PLATFORM=offscreen

echo "== build: release with warnings as errors"
cmake -S . -B build-ci -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLOQUIN_WERROR=ON >/dev/null
cmake --build build-ci -j "$jobs"
echo "== tests"
(cd build-ci && ctest --output-on-failure -j "$jobs" --timeout 1800) || status=1

echo "== build: AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELLOQUIN_WERROR=ON \
    -DVELLOQUIN_SANITIZE=ON -DVELLOQUIN_GUI=OFF >/dev/null
cmake --build build-asan -j "$jobs"
echo "== tests under the sanitizers (the slow store sizes are left to the normal build)"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j "$jobs" --timeout 1800 -LE slow) || status=1

echo "== Windows: cross build, tests under wine, the window on Xvfb, the installer"
tools/test-windows.sh build-ci || status=1

if command -v clang++ >/dev/null; then
    echo "== fuzzing, ${fuzz_seconds}s per target"
    CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVELLOQUIN_FUZZ=ON -DVELLOQUIN_GUI=OFF -DVELLOQUIN_TESTS=OFF >/dev/null
    cmake --build build-fuzz -j "$jobs"
    fuzz/run-all.sh build-fuzz "$fuzz_seconds" || status=1
fi

if [ $status -ne 0 ]; then
    echo "FAILED"
fi
exit $status
