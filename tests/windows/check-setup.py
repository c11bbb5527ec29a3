#!/usr/bin/python3
"""check-setup.py [--version X.Y] --icon FILE.ico EXE...

Checks what Windows shows of an installer or uninstaller before it runs: the
version resource (Properties > Details) names the product and its version,
and the icon resource holds the very images of FILE.ico, not NSIS's default.
Without --version only the icon is checked (the entry under Apps and features
shows the program's own).
Prints one FAILED line per fault and exits 1 on any; exits 0 otherwise.
"""
import argparse
import struct
import sys

import pefile


def ico_images(path):
    """The images of an .ico file, keyed by (width, height, bit count)."""
    with open(path, "rb") as f:
        data = f.read()
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    if kind != 1:
        raise ValueError(f"{path} is not an icon file")
    images = {}
    for i in range(count):
        w, h, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        images[(w, h, bits)] = data[offset : offset + size]
    return images


def resources(pe, kind):
    """{id: bytes} of every resource of one type, first language each."""
    found = {}
    top = pe.DIRECTORY_ENTRY_RESOURCE.entries if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []
    for entry in top:
        if entry.id != kind:
            continue
        for item in entry.directory.entries:
            lang = item.directory.entries[0]
            found[item.id] = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
    return found


def exe_icons(pe):
    """The images of the exe's first icon group, keyed like ico_images."""
    groups = resources(pe, pefile.RESOURCE_TYPE["RT_GROUP_ICON"])
    icons = resources(pe, pefile.RESOURCE_TYPE["RT_ICON"])
    if not groups:
        return {}
    group = groups[min(groups, key=lambda k: (k is None, k))]
    _, _, count = struct.unpack_from("<HHH", group, 0)
    images = {}
    for i in range(count):
        w, h, _, _, _, bits, _, ident = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        images[(w, h, bits)] = icons.get(ident, b"")
    return images


def check(path, version, icon):
    faults = []
    pe = pefile.PE(path)
    if version:
        faults += version_faults(pe, version)
    want_images, got_images = ico_images(icon), exe_icons(pe)
    if not got_images:
        faults.append("no icon")
    for size, image in got_images.items():
        if want_images.get(size) != image:
            faults.append(f"its {size[0] or 256}x{size[1] or 256} icon is not the program's")
    return [f"FAILED: {path}: {fault}" for fault in faults]


def version_faults(pe, version):
    faults = []
    strings = {}
    for info in getattr(pe, "FileInfo", []):
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    for key in ("ProductName", "CompanyName", "FileDescription"):
        if not strings.get(key):
            faults.append(f"no {key} in the version resource")
    for key in ("FileVersion", "ProductVersion"):
        if strings.get(key) != version:
            faults.append(f"{key} is {strings.get(key)!r}, not {version!r}")
    fixed = pe.VS_FIXEDFILEINFO[0] if getattr(pe, "VS_FIXEDFILEINFO", None) else None
    wanted = [int(n) for n in (version.split(".") + ["0", "0", "0"])[:4]]
    if fixed is None:
        faults.append("no fixed version information")
    else:
        got = [fixed.ProductVersionMS >> 16, fixed.ProductVersionMS & 0xFFFF,
               fixed.ProductVersionLS >> 16, fixed.ProductVersionLS & 0xFFFF]
        if got != wanted:
            faults.append(f"product version {'.'.join(map(str, got))}, not "
                          f"{'.'.join(map(str, wanted))}")
    return faults


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version")
    parser.add_argument("--icon", required=True)
    parser.add_argument("exes", nargs="+")
    args = parser.parse_args()
    faults = [f for exe in args.exes for f in check(exe, args.version, args.icon)]
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
