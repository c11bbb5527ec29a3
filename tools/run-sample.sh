#!/usr/bin/env bash
# Builds the program and starts it on the sample backup: the window where a
# display exists, the command line otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

sample=samples/skype-contacts-sample.vcf
out=${VELLOQUIN_OUT:-out-sample}
mkdir -p "$out"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/app/gui/velloquin ]; then
    echo "Starting the window. Choose $sample with 'Browse vCard File...', then Convert."
    exec build/app/gui/velloquin
fi
echo "No display: converting $sample with the command line into $out/"
build/cli/velloquin-cli --excel --out "$out" "$sample"
build/cli/velloquin-cli --outlook --out "$out" "$sample"
ls -l "$out"
