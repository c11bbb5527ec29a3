#!/usr/bin/env bash
# The house style, checked: `format` fails on any source file clang-format
# would change; `tidy BUILD_DIR` runs the checks of .clang-tidy over the
# product's sources with that build's compile commands.
set -euo pipefail
cd "$(dirname "$0")/.."

sources() {
    # Every C and C++ file of ours; build folders and the fetched node readers
    # are not ours.
    find app bench cli core excel fuzz outlook platform pst tests tools vcard \
        -path tools/node -prune -o -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print |
        sort
}

case "${1:-}" in
format)
    sources | xargs clang-format --dry-run --Werror
    echo "clang-format: $(sources | wc -l) files as the house style has them"
    ;;
tidy)
    build=${2:?usage: check-style.sh tidy BUILD_DIR}
    # The product only: the tests' own idioms (gtest macros) are not judged.
    # The Windows sources are checked by the cross build's compiler alone.
    files=$(find app cli core excel outlook platform pst vcard -name '*.cpp' |
        grep -v -e Win32 -e Windows -e '^app/win32/' | sort)
    run-clang-tidy -p "$build" -quiet -j "${VELLOQUIN_JOBS:-$(nproc)}" $files
    ;;
*)
    echo "usage: check-style.sh format | tidy BUILD_DIR" >&2
    exit 2
    ;;
esac
