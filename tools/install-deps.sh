#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian 12 machine.
# Runs apt-get only for packages that are missing, so a second run is quick.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev
    libreoffice-calc-nogui libxlsxwriter-dev nodejs
    pst-utils pff-tools
    xvfb xauth
)
if [ "${VELLOQUIN_NO_GUI_DEPS:-0}" = 1 ]; then
    packages=(cmake ninja-build g++ libgtest-dev libgmock-dev libxlsxwriter-dev)
fi

# The npm readers the tests use (SheetJS), pinned by tools/node's lock file
# and kept in tools/node/node_modules.
# Some nodejs packages bring npm along; Debian's has it apart.
install_node_readers() {
    local dir
    dir="$(cd "$(dirname "$0")" && pwd)/node"
    [ -f "$dir/node_modules/xlsx/package.json" ] && return 0
    command -v node >/dev/null 2>&1 || return 0
    if ! command -v npm >/dev/null 2>&1 && [ "$(id -u)" = 0 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq npm >/dev/null
    fi
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
}

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    install_node_readers
    exit 0
fi
if [ "$(id -u)" != 0 ]; then
    echo "These packages are missing: ${missing[*]}" >&2
    echo "Run this script as root (or: sudo apt-get install ${missing[*]})." >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
install_node_readers
