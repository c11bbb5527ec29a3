#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian 12 machine.
# Runs apt-get only for packages that are missing, so a second run is quick.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev clang-format clang-tidy
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev libxlsxwriter-dev
    libreoffice-calc-nogui
    pst-utils pff-tools
    # An independent vCard reader for the lexer's comparison test.
    python3-vobject
    xvfb xauth
    # The Windows build and its tests under wine (tools/test-windows.sh).
    g++-mingw-w64-x86-64 googletest wine wine64 nsis zip
    libz-mingw-w64-dev dpkg-dev patch python3-pefile
    xdotool xclip openbox x11-utils imagemagick
)
if [ "${VELLOQUIN_NO_GUI_DEPS:-0}" = 1 ]; then
    packages=(cmake ninja-build g++ libgtest-dev libgmock-dev libxlsxwriter-dev)
fi
# Debian's nodejs and npm for the tests' independent readers, unless a node
# with npm is already installed.
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)
# tools/build-windows.sh: only what the cross build and the packages need.
windows_build=0
if [ "${1:-}" = --windows-build ]; then
    windows_build=1
    packages=(cmake ninja-build g++-mingw-w64-x86-64 googletest nsis zip
        libz-mingw-w64-dev dpkg-dev patch)
fi

# tools/build-windows.sh cross-builds libxlsxwriter from Debian's source
# package, which apt-get only fetches with a deb-src line.
if [ "${VELLOQUIN_NO_GUI_DEPS:-0}" != 1 ] &&
    ! apt-cache showsrc libxlsxwriter 2>/dev/null | grep -q '^Package:'; then
    if [ "$(id -u)" != 0 ]; then
        # Only a first Windows build needs it; a later one has its library.
        echo "No deb-src line for Debian's source packages, which a first" >&2
        echo "tools/build-windows.sh needs: run this script as root to add one." >&2
    else
        # The same archives as the binary packages come from, as sources.
        if [ -f /etc/apt/sources.list.d/debian.sources ]; then
            sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
                >/etc/apt/sources.list.d/velloquin-deb-src.sources
        elif [ -f /etc/apt/sources.list ]; then
            sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list \
                >/etc/apt/sources.list.d/velloquin-deb-src.list
        fi
        apt-get update -qq
    fi
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
    if [ "$(id -u)" != 0 ]; then
        echo "These packages are missing: ${missing[*]}" >&2
        echo "Run this script as root (or: sudo apt-get install ${missing[*]})." >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The npm readers the tests use (pst-extractor, SheetJS), pinned by the lock
# file in tools/node and kept in tools/node/node_modules.
node_dir="$(cd "$(dirname "$0")" && pwd)/node"
if [ $windows_build = 0 ] && { [ ! -f "$node_dir/node_modules/pst-extractor/package.json" ] ||
    [ ! -f "$node_dir/node_modules/xlsx/package.json" ]; }; then
    (cd "$node_dir" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
fi
