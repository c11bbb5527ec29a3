#!/usr/bin/python3
"""Fails when a source file includes a header of a layer above its own.

Each folder below may include the folders listed for it and nothing else of
the project's. A header outside every listed folder is an error too, so that a
new folder has to be placed in the layers before it is used.
"""
import pathlib
import re
import sys

# Lowest first. The Outlook store writer stands behind the Outlook library's
# interface, so it may see that interface (outlook/Rdo.h) and nothing else of
# outlook/.
ALLOWED = {
    "platform": set(),
    "core": {"platform"},
    "vcard": {"core", "platform"},
    "excel": {"core", "platform"},
    "pst": {"core", "platform", "outlook/Rdo.h"},
    "outlook": {"core", "platform"},
    "app": {"core", "platform", "vcard", "excel", "outlook"},
    "app/gui": {"app", "core", "platform"},
    "app/win32": {"app", "core", "platform"},
    "cli": {"app", "core", "platform", "vcard", "excel", "outlook"},
    "tools/pstverify": {"platform"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def allowed(folder, header):
    target = header.rsplit("/", 1)[0] if "/" in header else folder
    if target == folder:
        return True
    grants = ALLOWED[folder]
    return target in grants or header in grants


def main(root):
    root = pathlib.Path(root)
    faults = []
    for folder in ALLOWED:
        for path in sorted((root / folder).glob("*")):
            if path.suffix not in (".h", ".cpp", ".c", ".rc"):
                continue
            for header in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
                if "/" not in header and not (path.parent / header).exists():
                    continue  # generated in the build folder (version.h)
                if not allowed(folder, header):
                    faults.append(f"{path.relative_to(root)} includes {header}")
    for fault in faults:
        print("upward or sideways include:", fault)
    print(f"{len(faults)} include(s) against the layers")
    return 1 if faults else 0


def self_test():
    """The checker must catch an upward include, or it proves nothing."""
    import tempfile
    with tempfile.TemporaryDirectory() as tmp:
        for folder in ALLOWED:
            (pathlib.Path(tmp) / folder).mkdir(parents=True, exist_ok=True)
        (pathlib.Path(tmp) / "vcard/Reader.cpp").write_text('#include "app/ConversionRun.h"\n')
        (pathlib.Path(tmp) / "pst/Store.cpp").write_text('#include "outlook/OutlookOutput.h"\n')
        (pathlib.Path(tmp) / "excel/Sheet.cpp").write_text('#include "core/Text.h"\n')
        return 0 if main(tmp) == 1 else 1


if __name__ == "__main__":
    if sys.argv[1:] == ["--self-test"]:
        sys.exit(self_test())
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent))
