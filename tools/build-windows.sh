#!/usr/bin/env bash
# tools/build-windows.sh BUILD_DIR
# Cross-builds the Windows programs with mingw-w64 (RelWithDebInfo, warnings as
# errors, linked statically), strips them and packages them. Leaves in
# BUILD_DIR: velloquin-cli.exe, velloquin.exe (the window),
# velloquin-<version>-setup.exe (installer) and velloquin-<version>-win64.zip
# (portable). Installs what it needs first (as root); cross-builds
# libxlsxwriter from Debian's source package into BUILD_DIR/libxlsxwriter on
# the first run.
# VELLOQUIN_WINDOWS_TESTS=ON also builds the tests that tools/test-windows.sh runs.
set -euo pipefail
if [ $# -ne 1 ]; then
    echo "usage: tools/build-windows.sh BUILD_DIR" >&2
    exit 2
fi
cd "$(dirname "$0")/.."
top=$(pwd)
mkdir -p "$1"
build=$(cd "$1" && pwd)

tools/install-deps.sh --windows-build

jobs=${VELLOQUIN_JOBS:-$(nproc)}
version=$(sed -n 's/^project(Velloquin VERSION \([0-9]*\.[0-9]*\).*/\1/p' CMakeLists.txt)
tests=${VELLOQUIN_WINDOWS_TESTS:-OFF}

# libxlsxwriter for --xlsx: Debian ships it for the build machine only, so it
# is cross-built here from Debian's source package, once per build folder,
# and linked statically.
xlsxwriter="$build/libxlsxwriter"
if [ ! -f "$xlsxwriter/lib/libxlsxwriter.a" ]; then
    work="$build/libxlsxwriter-source"
    rm -rf "$work" "$xlsxwriter"
    mkdir -p "$work"
    (cd "$work" && apt-get source -qq libxlsxwriter >/dev/null 2>&1) ||
        { echo "apt-get source libxlsxwriter failed (is a deb-src line configured?)" >&2; exit 1; }
    src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'libxlsxwriter-*' | head -n 1)
    patch -s -d "$src" -p1 <packaging/windows/libxlsxwriter-mingw.patch
    {
        cmake -S "$src" -B "$work/build" -G Ninja \
            -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
            -DBUILD_SHARED_LIBS=OFF -DCMAKE_INSTALL_PREFIX="$xlsxwriter" &&
            cmake --build "$work/build" -j "$jobs" && cmake --install "$work/build"
    } >"$work/build.log" 2>&1 || {
        cat "$work/build.log" >&2
        echo "building libxlsxwriter failed" >&2
        rm -rf "$xlsxwriter"
        exit 1
    }
    rm -rf "$work"
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLOQUIN_WERROR=ON -DVELLOQUIN_GUI=OFF \
    -DVELLOQUIN_XLSXWRITER_ROOT="$xlsxwriter" \
    -DVELLOQUIN_TESTS="$tests" ${VELLOQUIN_LINUX_CLI:+-DVELLOQUIN_LINUX_CLI="$VELLOQUIN_LINUX_CLI"} \
    >/dev/null
if [ "$tests" = ON ]; then
    cmake --build "$build" -j "$jobs"
else
    cmake --build "$build" -j "$jobs" --target velloquin-cli velloquin
fi

# The shipped programs, stripped (the unstripped ones stay in the build tree
# for debugging).
for exe in cli/velloquin-cli.exe app/win32/velloquin.exe; do
    x86_64-w64-mingw32-strip -o "$build/$(basename "$exe")" "$build/$exe"
done

stage="$build/package/velloquin-$version"
rm -rf "$build/package"
mkdir -p "$stage"
cp "$build/velloquin.exe" "$build/velloquin-cli.exe" docs/manual.html "$stage/"
sed 's/$/\r/' packaging/windows/README.txt >"$stage/README.txt"

rm -f "$build/velloquin-$version-setup.exe" "$build/velloquin-$version-win64.zip"
makensis -V2 -DVERSION="$version" -DSOURCE="$stage" -DICON="$top/app/art/velloquin.ico" \
    -DOUTFILE="$build/velloquin-$version-setup.exe" packaging/windows/velloquin.nsi
(cd "$build/package" && zip -q -r -X "$build/velloquin-$version-win64.zip" "velloquin-$version")

echo "Built in $build:"
(cd "$build" && ls -l velloquin-cli.exe velloquin.exe "velloquin-$version-setup.exe" \
    "velloquin-$version-win64.zip")
