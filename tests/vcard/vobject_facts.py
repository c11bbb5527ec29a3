#!/usr/bin/python3
"""Checks what Standard Mode makes of vCards against python3-vobject.

    vobject_facts.py STANDARD_DUMP DIR_OR_FILE...

vobject reads every .vcf file found; each fact it finds (a name part, an
e-mail, a number, an address part, a date, ...) must be in the slot of the
contact that a user looks for it in, as this script states the mapping on its
own, or, for a fact that has no slot, be quoted in a note on that contact.
At least 97 % of the facts that have a slot must be in place, and no fact may
be missing from both the slots and the notes. Exits 77 (skipped) when vobject
is not installed.
"""
import datetime
import json
import os
import re
import subprocess
import sys

try:
    import vobject
except ImportError:
    print("SKIP: python3-vobject is missing (apt-get install python3-vobject)")
    sys.exit(77)

QUIET = {"VERSION", "PRODID", "REV", "UID", "TZ", "GEO", "LABEL", "CLASS", "SORT-STRING", "KEY",
         "SOURCE", "KIND", "NAME", "PROFILE", "MAILER", "CLIENTPIDMAP", "XML", "X-REDUCTION",
         "X-ABLABEL", "X-ABUID", "BEGIN", "END"}
RELATED = {"spouse": "Spouse", "partner": "Spouse", "child": "Childern", "manager": "Manager",
           "assistant": "Assistant"}
PHONE_OVERFLOW = ["OtherPhone", "HomePhone2", "OfficePhone2", "CallbackPhone", "RadioPhone",
                  "CarPhone", "AssistantPhone", "CompanyMainPhone", "PrimaryPhone", "ISDN",
                  "TTYPhone", "Telex"]
FAXES = ["OfficeFax", "HomeFax", "OtherFax"]
MESSENGERS = {"IMPP", "X-SKYPE", "X-SKYPE-USERNAME", "X-AIM", "X-JABBER", "X-GOOGLE-TALK",
              "X-SIP", "X-MSN", "X-YAHOO", "X-ICQ", "X-QQ", "X-GADUGADU"}
ANNIVERSARIES = {"ANNIVERSARY", "X-ANNIVERSARY", "X-MS-ANNIVERSARY", "X-EVOLUTION-ANNIVERSARY"}
RELATIONS = {"X-SPOUSE": "Spouse", "X-EVOLUTION-SPOUSE": "Spouse", "X-MS-SPOUSE": "Spouse",
             "X-CHILDREN": "Childern", "X-MS-CHILDREN": "Childern", "X-MANAGER": "Manager",
             "X-EVOLUTION-MANAGER": "Manager", "X-ASSISTANT": "Assistant",
             "X-EVOLUTION-ASSISTANT": "Assistant"}
# Where the lexer and vobject read a value differently on purpose.
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from vobject_compare import KNOWN, recode, vcf_files  # noqa: E402

GROUPS = {"home": "Personal", "work": "Business", None: "Other"}
ADR_PARTS = [None, None, None, "City", "State", "Zip", "Country"]


def norm(text):
    """Text as both sides may lay it out: case, white space, commas, quotes."""
    text = str(text).replace("\\n", " ").replace('"', "'")
    return re.sub(r"[\s,;]+", " ", text).strip().lower()


def phone(text):
    text = str(text).strip()
    if text.lower().startswith("tel:"):
        text = text[4:]
    text = re.sub(r";ext=", " ext. ", text, flags=re.I)
    return re.sub(r"\s+", "", text).lower()


def types(line):
    # vobject keeps 2.1's bare parameters (TEL;WORK;VOICE) apart.
    out = {str(v).strip().lower() for v in getattr(line, "singletonparams", [])}
    for key, values in line.params.items():
        for value in values:
            for item in str(value).split(","):
                if key.upper() == "TYPE" or not key:
                    out.add(item.strip().lower())
                elif key.upper() in ("PREF",):
                    out.add("pref")
        if key.upper() in ("HOME", "WORK", "CELL", "FAX", "PAGER", "VOICE", "PREF", "CAR",
                           "ISDN", "INTERNET"):
            out.add(key.lower())
    return out


def phone_slots(kinds):
    if "fax" in kinds:
        own = ["OfficeFax"] if "work" in kinds else ["HomeFax"] if "home" in kinds else []
        return own + FAXES + PHONE_OVERFLOW
    for words, slot in ((("pager",), "Pager"), (("cell", "mobile", "iphone"), "CellPhone"),
                        (("car",), "CarPhone"), (("isdn",), "ISDN"),
                        (("textphone", "tty", "tdd"), "TTYPhone")):
        if any(w in kinds for w in words):
            return [slot] + PHONE_OVERFLOW
    if "home" in kinds:
        return ["HomePhone", "HomePhone2"] + PHONE_OVERFLOW
    if "work" in kinds:
        return ["OfficePhone", "OfficePhone2"] + PHONE_OVERFLOW
    return ["PrimaryPhone"] + PHONE_OVERFLOW


def date_of(text):
    text = str(text).strip()
    m = re.match(r"^(\d{4})-?(\d{2})-?(\d{2})", text)
    if not m:
        return None
    try:
        return datetime.date(int(m[1]), int(m[2]), int(m[3])).isoformat()
    except ValueError:
        return None


def facts_of(line, latin1):
    """(description, value, slots, compare) per fact of one vobject line;
    slots None: a fact with no slot, expected in a note."""
    name = line.name.upper()
    value = line.value
    if name in QUIET or name.startswith("X-ABLABEL"):
        return []
    if isinstance(value, bytes):
        return [(name, "picture", ["Photo"] if name == "PHOTO" else None, "exact")]
    if name == "N" and hasattr(value, "family"):
        parts = [value.family, value.given, value.additional, value.prefix, value.suffix]
        slots = ["LastName", "FirstName", "MiddleName", "Title", "Suffix"]
        return [(f"N.{s}", recode(" ".join(p) if isinstance(p, list) else p, line, latin1), [s],
                 "norm") for p, s in zip(parts, slots) if p]
    if name == "ADR" and hasattr(value, "street"):
        kinds = types(line)
        own = GROUPS["home" if "home" in kinds else "work" if "work" in kinds else None]
        groups = [own] + [g for g in ("Other", "Personal", "Business") if g != own]
        parts = [value.box, value.extended, value.street, value.city, value.region, value.code,
                 value.country]
        out = []
        for i, part in enumerate(parts):
            part = recode(" ".join(part) if isinstance(part, list) else part, line, latin1)
            if not part:
                continue
            field = "Address" if ADR_PARTS[i] is None else ADR_PARTS[i]
            out.append((f"ADR.{field}", part, [g + field for g in groups], "contains"))
        return out
    if name == "ORG":
        # 2.1 values are cut at commas by vobject: each piece is looked for.
        items = value if isinstance(value, list) else [value]
        flat = []
        for item in items:
            flat += item if isinstance(item, list) else [item]
        return [("ORG", recode(i, line, latin1), ["Company", "Department"], "contains")
                for i in flat if i.strip()]
    if name in ("NICKNAME", "CATEGORIES") and isinstance(value, list):
        slot = "NickName" if name == "NICKNAME" else "Categories"
        return [(name, recode(t, line, latin1), [slot], "contains") for t in value if t.strip()]
    if name == "SOUND" and any(k.upper() == "X-IRMC-N" for k in line.params) or \
            name == "SOUND" and "X-IRMC-N" in [str(v).upper() for v in
                                               getattr(line, "singletonparams", [])]:
        text = recode(str(value), line, latin1)
        # The reading of the name, which no output has a place for: noted.
        return [(name, " ".join(t for t in text.split(";") if t.strip()), None, "norm")]
    text = recode(value if isinstance(value, str) else str(value), line, latin1)
    if not text.strip():
        return []
    if name == "N":  # a nested card's N, which vobject leaves as text
        return [(name, text, ["LastName", "FirstName"], "contains")]
    simple = {"FN": "FullName", "TITLE": "JobTitle", "ROLE": "Profession",
              "X-SKYPE-DISPLAYNAME": "FullName"}
    if name in simple:
        # vobject cuts a 2.1 text at its first comma: the piece is looked for.
        return [(name, text, [simple[name]], "contains")]
    if name in ("NICKNAME", "CATEGORIES"):
        slot = "NickName" if name == "NICKNAME" else "Categories"
        return [(name, t, [slot], "contains") for t in text.split(",") if t.strip()]
    if name == "NOTE":
        return [(name, text, ["Comments"], "contains")]
    if name == "EMAIL":
        return [(name, text, ["Email", "Email2", "Email3"], "norm")]
    if name in ("TEL", "X-SKYPE-PSTNNUMBER"):
        kinds = types(line) if name == "TEL" else {"work"}
        return [(name, text, phone_slots(kinds), "phone")]
    if name == "URL":
        return [(name, text, ["WebPage", "PersonalWebPage"], "norm")]
    if name in MESSENGERS:
        return [(name, text, ["IMAddress"], "norm")]
    if name == "BDAY":
        return [(name, text, ["BirthDay"] if date_of(text) else None, "date")]
    if name in ANNIVERSARIES:
        return [(name, text, ["Anniversary"] if date_of(text) else None, "date")]
    if name in RELATIONS:
        return [(name, text, [RELATIONS[name]], "contains")]
    if name == "RELATED":
        slot = next((RELATED[t] for t in types(line) if t in RELATED), None)
        return [(name, text, [slot] if slot else None, "contains")]
    if name == "X-ANDROID-CUSTOM":
        parts = text.split(";")
        if len(parts) > 1 and parts[0].endswith("/nickname"):
            return [(name, parts[1], ["NickName"], "contains")]
        if len(parts) > 2 and parts[0].endswith("/contact_event") and parts[2] in ("1", "3"):
            return [(name, parts[1], ["Anniversary" if parts[2] == "1" else "BirthDay"], "date")]
        rest = [p for p in parts[1:] if p]
        return [(name, rest[0], None, "norm")] if rest else []
    if name == "PHOTO" and text.lower().startswith("data:"):
        return [(name, "picture", ["Photo"], "exact")]  # vobject cuts it at its comma
    if name == "PHOTO":
        return [(name, text, None, "norm")]  # an address: reported, not fetched
    return [(name, text, None, "norm")]


def lines_of(card, nested=False):
    for line in card.getChildren():
        if isinstance(line, vobject.base.Component):
            yield from lines_of(line, True)
        else:
            yield line, nested


def placed(fact, fields):
    _, value, slots, compare = fact
    for slot in slots:
        for have in fields.get(slot, []):
            if compare == "exact" and have == value:
                return True
            if compare == "phone" and phone(have) == phone(value):
                return True
            if compare == "date" and have == date_of(value):
                return True
            if compare == "norm" and norm(have) == norm(value):
                return True
            if compare == "contains" and norm(value) in norm(have):
                return True
    return False


def noted(fact, notes):
    value = norm(fact[1])[:40]
    return any(value in norm(n) for n in notes) if value else True


def main():
    dump, paths = sys.argv[1], sys.argv[2:]
    files = list(vcf_files(paths))
    if not files:
        print("no .vcf files found in", paths)
        return 1
    total = in_place = reported = slot_facts = 0
    lost = []
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
        except Exception as error:
            print(f"{name}: vobject cannot read it ({type(error).__name__}); not compared")
            continue
        out = subprocess.run([dump, path], capture_output=True, check=True).stdout
        mine = json.loads(out.decode("utf-8", errors="replace"))[0]
        contacts = mine["contacts"]
        file_notes = mine["notes"]
        for index, card in enumerate(cards):
            if len(contacts) == len(cards):
                fields = {k: [v] for k, v in contacts[index]["fields"].items()}
                notes = contacts[index]["notes"] + file_notes
            else:  # the readers cut the file differently: the file as a whole
                fields = {}
                for c in contacts:
                    for k, v in c["fields"].items():
                        fields.setdefault(k, []).append(v)
                notes = [n for c in contacts for n in c["notes"]] + file_notes
            every = {}
            for c in contacts:
                for k, v in c["fields"].items():
                    every.setdefault(k, []).append(v)
            every_note = [n for c in contacts for n in c["notes"]] + file_notes
            for line, nested in lines_of(card):
                for fact in facts_of(line, latin1):
                    total += 1
                    has_slot = fact[2] is not None
                    slot_facts += has_slot
                    known = KNOWN.get((name, fact[0].split(".")[0]))
                    if known and has_slot and any(fields.get(s) for s in fact[2]):
                        # The lexer reads this value otherwise on purpose
                        # (vobject_compare.py says why); a value is in the slot.
                        in_place += 1
                        print(f"{name}: {fact[0]}: differs on purpose ({known[0]})")
                        continue
                    # A card inside the card is a contact of its own to the
                    # lexer, or a 2.1 AGENT's value (then reported).
                    where, said = (every, every_note) if nested else (fields, notes)
                    if has_slot and placed(fact, where):
                        in_place += 1
                    elif noted(fact, said) or (nested and any("AGENT" in n for n in said)):
                        reported += 1
                        if has_slot:
                            print(f"{name}: {fact[0]} {fact[1]!r:.80} not in {fact[2][0]}, "
                                  "but noted")
                    else:
                        lost.append(f"{name}: {fact[0]} {fact[1]!r:.80} (slots {fact[2]})")
    for item in lost:
        print("LOST", item)
    share = 100.0 * in_place / max(slot_facts, 1)
    print(f"{len(files)} files, {total} facts, {slot_facts} of them with a slot: {in_place} in "
          f"place ({share:.1f} % of those, {100.0 * in_place / max(total, 1):.1f} % of all), "
          f"{reported} reported in notes, {len(lost)} lost")
    return 1 if lost or share < 97.0 else 0


if __name__ == "__main__":
    sys.exit(main())
