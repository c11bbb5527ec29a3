#!/usr/bin/python3
"""Compares what the standards lexer reads with what python3-vobject reads.

    vobject_compare.py LEXER_DUMP DIR_OR_FILE...

For every .vcf file found, each property that vobject parses (nested cards
included) must be among the lexer's properties of that file with the same
group, name and value: structured values (N, ADR, ORG) component by
component, pictures byte for byte, other values as unescaped text. The few
places where the two readers follow different rules on purpose are listed in
KNOWN below with the reason, and each must still show up as the lexer says.
Exits 77 (skipped) when vobject is not installed.
"""
import collections
import json
import os
import subprocess
import sys

try:
    import vobject
except ImportError:
    print("SKIP: python3-vobject is missing (apt-get install python3-vobject)")
    sys.exit(77)

STRUCTURED = {"N", "ADR", "ORG"}

# Where the two readers follow different rules on purpose: (file, name) ->
# (why, what the lexer must show instead). "diagnostic" entries name a text
# that one of the lexer's problems must quote; the others give the lexer's
# value, as Python's own codecs decode it.
KNOWN = {
    # A BEGIN:VCARD inside a card that is no AGENT's ends the card (reported);
    # vobject nests the cards, so the parent's last line is outside any card.
    ("v21_nest.vcf", "TEL"): ("nested card", ("diagnostic", "TEL:1")),
    # A line without a ':' is no property; vobject glues a trailing
    # backslash to an "eof" of its own.
    ("v21_adr_multiple_line.vcf", "ADR"): ("line without ':'", ("diagnostic", "9999999")),
    # 2.1 defines no escapes outside structured values.
    ("v21_backslash.vcf", "FN"): ("2.1 text is not unescaped", ("text", "A;B\\C\\;D:E\\\\")),
    # 2.1 unfolds as RFC 822 does: the white space after the line end stays.
    ("v21_invalid_multiple_line.vcf", "EMAIL"):
        ("RFC 822 unfolding", ("text", '"Omega"  <omega@example.com>')),
    # vobject decodes quoted-printable bytes without their CHARSET.
    ("v21_japanese_2.vcf", "ADR"): ("CHARSET after quoted-printable", (
        "parts", ("", bytes.fromhex("938c8b9e9373" "8f61924a8be68df78b7592ac") .decode("shift_jis")
                  + "26-1" + bytes.fromhex("835a838b838a83418393835e838f815b").decode("shift_jis")
                  + "6" + bytes.fromhex("8a4b").decode("shift_jis"), "", "", "", "150-8512"))),
    ("v21_japanese_2.vcf", "NOTE"): ("CHARSET after quoted-printable",
                                     ("text", bytes.fromhex("83818382").decode("shift_jis"))),
    # Shift_JIS trail bytes 0x5C are no backslashes: the CHARSET is decoded
    # before escapes and separators are looked for; vobject does it after.
    ("v21_japanese_3.vcf", "FN"): ("CHARSET before escapes", ("text", "伊能 圭一 伊予")),
    ("v21_japanese_3.vcf", "N"): ("CHARSET before escapes", ("parts", ("伊能", "圭一", "伊予"))),
    ("v30_japanese.vcf", "FN"): ("CHARSET before escapes", ("text", "伊能 圭一 伊予")),
    ("v30_japanese.vcf", "N"): ("CHARSET before escapes", ("parts", ("伊能", "圭一", "伊予"))),
    # vobject skips characters outside the Base64 alphabet; the lexer reports them.
    ("v21_malformed_photo.vcf", "PHOTO"): ("bad Base64", ("diagnostic", "PHOTO is not Base64")),
    # vobject reads a 2.1 AGENT's card as a nested card and leaves the AGENT
    # empty; the lexer keeps the card's text as the AGENT's value (its
    # properties are compared as well).
    ("vcard21-examples.vcf", "AGENT"): ("embedded card", ("text", None)),
}
FIELDS = {"N": 5, "ADR": 7}


def vcf_files(paths):
    for path in paths:
        if os.path.isdir(path):
            for root, _, names in os.walk(path):
                for name in sorted(names):
                    if name.lower().endswith(".vcf"):
                        yield os.path.join(root, name)
        elif os.path.isfile(path):
            yield path


def charset_of(line):
    for key, values in line.params.items():
        if key.upper() == "CHARSET" and values:
            return values[0]
    return None


def recode(text, line, latin1):
    # A file that is not UTF-8 is handed to vobject as Latin-1, so that each
    # byte is one character; the CHARSET then says what the bytes were.
    charset = charset_of(line)
    if latin1 and isinstance(text, str):
        raw = text.encode("latin-1", errors="replace")
        try:
            return raw.decode(charset or "cp1252")
        except (LookupError, UnicodeDecodeError):
            return text
    return text


def trimmed(components):
    components = list(components)
    while components and components[-1] == "":
        components.pop()
    return components


def vobject_value(line, latin1):
    value = line.value
    name = line.name.upper()
    if isinstance(value, bytes):
        return ("bytes", value.hex())
    if name == "N" and hasattr(value, "family"):
        parts = [value.family, value.given, value.additional, value.prefix, value.suffix]
    elif name == "ADR" and hasattr(value, "street"):
        parts = [value.box, value.extended, value.street, value.city, value.region,
                 value.code, value.country]
    elif name == "ORG" and isinstance(value, list):
        parts = value
    elif isinstance(value, list):
        # A list value (CATEGORIES in 3.0 and 4.0): its items as the lexer
        # splits them.
        return ("items", tuple(recode(v, line, latin1) for v in value))
    else:
        return ("text", recode(value if isinstance(value, str) else str(value), line, latin1))
    joined = [",".join(p) if isinstance(p, list) else p for p in parts]
    return ("parts", tuple(trimmed(recode(p, line, latin1) for p in joined)))


def lexer_values(prop):
    yield ("bytes", prop["bytes"])
    parts = [",".join(items) for items in prop["components"]]
    if prop["name"] in FIELDS:
        parts = parts[:FIELDS[prop["name"]]]
    yield ("parts", tuple(trimmed(parts)))
    yield ("text", prop["text"])
    # vobject keeps only the first of the comma-separated values of a text
    # property (LABEL, GEO, ...).
    if len(prop["items"]) > 1:
        yield ("first", prop["items"][0])
    yield ("items", tuple(prop["items"]))
    # vobject cuts a data: URI at its comma; the lexer decodes it.
    if prop["binary"] and prop["media"]:
        yield ("text", "data:" + prop["media"] + ";base64")


def walk(component):
    for child in component.getChildren():
        if isinstance(child, vobject.base.Component):
            yield from walk(child)
        else:
            yield child


def main():
    dump, paths = sys.argv[1], sys.argv[2:]
    files = list(vcf_files(paths))
    if not files:
        print("no .vcf files found in", paths)
        return 1
    failures = []
    differing = []
    compared = 0
    for path in files:
        name = os.path.basename(path)
        raw = open(path, "rb").read()
        try:
            text = raw.decode("utf-8-sig")
            latin1 = False
        except UnicodeDecodeError:
            text = raw.decode("latin-1")
            latin1 = True
        try:
            cards = list(vobject.readComponents(text, allowQP=True, ignoreUnreadable=True))
        except Exception as error:  # vobject gives up on the whole file
            print(f"{name}: vobject cannot read it ({type(error).__name__}); not compared")
            continue
        out = subprocess.run([dump, path], capture_output=True, check=True).stdout
        mine = json.loads(out.decode("utf-8", errors="replace"))[0]
        props = collections.Counter()
        found = collections.defaultdict(list)

        def add(prop):
            for value in set(lexer_values(prop)):
                props[(prop["group"].lower(), prop["name"], value)] += 1
            found[prop["name"]].append(prop)
            for inner in prop["embedded"]:
                add(inner)

        for card in mine["cards"]:
            for prop in card["properties"]:
                add(prop)
        messages = [d["message"] for d in mine["file_diagnostics"]]
        for card in mine["cards"]:
            messages += [d["message"] for d in card["diagnostics"]]
        for card in cards:
            for line in walk(card):
                if line.name.upper() in ("BEGIN", "END"):
                    continue
                kind, value = vobject_value(line, latin1)
                group = (line.group or "").lower()
                compared += 1
                keys = [(group, line.name.upper(), (kind, value))]
                if kind == "text":
                    keys.append((group, line.name.upper(), ("first", value)))
                hit = next((k for k in keys if props[k] > 0), None)
                if hit:
                    props[hit] -= 1
                    continue
                known = KNOWN.get((name, line.name.upper()))
                if known:
                    what, expected = known[1]
                    if what == "diagnostic":
                        ok = any(expected in m for m in messages)
                    elif expected is None:
                        ok = any(p["embedded"] for p in found[line.name.upper()])
                    else:
                        ok = any((what, expected) in set(lexer_values(p)) for p in found[line.name.upper()])
                    if ok:
                        differing.append(f"{name}: {line.name}: {known[0]}")
                        continue
                failures.append(f"{name}: {line.group or ''}.{line.name} vobject={value!r:.200}")
    for difference in differing:
        print("differs on purpose:", difference)
    for failure in failures:
        print("MISMATCH", failure)
    print(f"{len(files)} files, {compared} vobject properties compared, {len(failures)} mismatches")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
