#!/usr/bin/python3
"""check-manifest.py [--version V] [--if-present] FILE...

Reads the application manifest out of each Windows program (its RT_MANIFEST
resource) and checks what Windows checks before it starts the program: the
manifest parses as XML and every assemblyIdentity carries a version of four
dotted numbers. Windows refuses to start a program whose manifest fails
either ("side-by-side configuration is incorrect"); wine starts it anyway, so
only a test like this one sees it. With --version, the program's own identity
must carry exactly that version. A FILE ending in .manifest or .in is read as
a manifest itself. With --if-present, missing files are skipped, and exit
status 77 says that none was there. Exits 1 when any file fails, printing why.
"""
import os
import re
import struct
import sys
import xml.etree.ElementTree as ET

RT_MANIFEST = 24
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"


class Problem(Exception):
    pass


def u16(data, at):
    return struct.unpack_from("<H", data, at)[0]


def u32(data, at):
    return struct.unpack_from("<I", data, at)[0]


def sections(data):
    """Yields (virtual address, virtual size, file offset, raw size) per section,
    and the resource directory's RVA, from the PE headers."""
    if data[:2] != b"MZ":
        raise Problem("not a Windows program (no MZ header)")
    pe = u32(data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        raise Problem("no PE signature")
    # COFF header: +2 NumberOfSections, +16 SizeOfOptionalHeader.
    count = u16(data, pe + 6)
    optional = pe + 24
    optional_size = u16(data, pe + 20)
    magic = u16(data, optional)
    # The data directories start at +96 (PE32) or +112 (PE32+); the resource
    # table is the third, 8 bytes each (RVA, size).
    directories = optional + (112 if magic == 0x20B else 96)
    resource_rva = u32(data, directories + 2 * 8)
    table = optional + optional_size
    found = []
    for i in range(count):
        # Section header, 40 bytes: +8 VirtualSize, +12 VirtualAddress,
        # +16 SizeOfRawData, +20 PointerToRawData.
        at = table + 40 * i
        found.append((u32(data, at + 12), u32(data, at + 8), u32(data, at + 20), u32(data, at + 16)))
    return found, resource_rva


def manifests(data):
    """Returns [(resource id, bytes)] of every RT_MANIFEST resource."""
    found, resource_rva = sections(data)
    if resource_rva == 0:
        return []

    def offset(rva):
        for address, size, raw, raw_size in found:
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise Problem("RVA 0x%x lies in no section" % rva)

    base = offset(resource_rva)

    def entries(directory):
        # IMAGE_RESOURCE_DIRECTORY, 16 bytes: +12 named entries, +14 id
        # entries; then 8-byte entries (name or id, offset; the high bit of
        # the offset marks a subdirectory).
        named, ids = u16(data, directory + 12), u16(data, directory + 14)
        for i in range(named + ids):
            at = directory + 16 + 8 * i
            yield u32(data, at), u32(data, at + 4)

    result = []
    for type_id, type_offset in entries(base):
        if type_id != RT_MANIFEST or not type_offset & 0x80000000:
            continue
        for name_id, name_offset in entries(base + (type_offset & 0x7FFFFFFF)):
            for _, leaf in entries(base + (name_offset & 0x7FFFFFFF)):
                # IMAGE_RESOURCE_DATA_ENTRY: +0 data RVA, +4 size.
                entry = base + (leaf & 0x7FFFFFFF)
                start = offset(u32(data, entry))
                result.append((name_id, data[start:start + u32(data, entry + 4)]))
    return result


def check_manifest(text, version):
    try:
        root = ET.fromstring(text)
    except ET.ParseError as e:
        raise Problem("the manifest is not well-formed XML: %s" % e)
    identities = [e for e in root.iter() if e.tag.endswith("}assemblyIdentity")]
    if not identities:
        raise Problem("the manifest has no assemblyIdentity")
    for identity in identities:
        value = identity.get("version", "")
        parts = value.split(".")
        if len(parts) != 4 or not all(re.fullmatch(r"[0-9]+", p) and int(p) <= 65535 for p in parts):
            raise Problem("assemblyIdentity %s has version %r, not four dotted numbers"
                          % (identity.get("name"), value))
    own = root.find(ASM_V1 + "assemblyIdentity")
    if version and (own is None or own.get("version") != version):
        raise Problem("the program's own version is %r, not %r"
                      % (None if own is None else own.get("version"), version))


def check_file(path, version):
    with open(path, "rb") as f:
        data = f.read()
    if path.endswith((".manifest", ".in")):
        check_manifest(data, version)
        return
    found = manifests(data)
    if not found:
        raise Problem("no manifest resource")
    ids = [name_id for name_id, _ in found]
    # ID 1 is the one the loader reads for a program.
    if ids != [1]:
        raise Problem("manifest resources %s, where one with ID 1 is expected" % ids)
    check_manifest(found[0][1], version)


def main(argv):
    version = None
    if len(argv) > 1 and argv[0] == "--version":
        version, argv = argv[1], argv[2:]
    if argv[:1] == ["--if-present"]:
        argv = [path for path in argv[1:] if os.path.exists(path)]
        if not argv:
            print("SKIP: none of the files is there")
            return 77
    if not argv:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    failed = False
    for path in argv:
        try:
            check_file(path, version)
            print("ok: %s" % path)
        except (Problem, OSError, struct.error) as e:
            print("FAILED: %s: %s" % (path, e))
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
