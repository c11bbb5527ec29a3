"""What a user might write instead: vobject reads the backup, xlwt writes a
workbook with the same 36 columns. Only a yardstick for bench/run.sh."""
import sys

import vobject
import xlwt

COLUMNS = 36

def main(src, dst):
    book = xlwt.Workbook()
    sheet = book.add_sheet("Contacts")
    for c in range(COLUMNS):
        sheet.write(0, c, "Column %d" % (c + 1))
    with open(src, encoding="utf-8", errors="replace") as f:
        for row, card in enumerate(vobject.readComponents(f), start=1):
            values = []
            n = getattr(card, "n", None)
            if n is not None:
                values += [n.value.given, n.value.additional, n.value.family]
            for name in ("email", "org", "title", "url", "tel", "adr", "bday", "note"):
                prop = getattr(card, name, None)
                values.append(str(prop.value) if prop is not None else "")
            for c, v in enumerate(values[:COLUMNS]):
                sheet.write(row, c, str(v)[:255])
    book.save(dst)

if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
