#!/usr/bin/python3
"""Prints the properties of nodes of a Unicode .pst file, one per line, for
side-by-side comparisons with stores that Outlook wrote.

    tools/pst-props.py FILE.pst [NID ...]      (default: the message store 0x21)
    tools/pst-props.py FILE.pst --folders      (every folder's property context)
    tools/pst-props.py FILE.pst --messages     (every message's property context)

Named properties are shown by their GUID and LID (or name) from the store's
name map. Values larger than 64 bytes are cut.
"""
import struct
import sys

# Decoding table of the compressible encoding (bCryptMethod 1).
DECODE = bytes.fromhex(
    "47f1b4e60b6a7248854e9eebe2f89453e0bba002e85a09abdbe3bac67cc310dd"
    "39059630f53760828cc9134a6b1df3fb8f2697ca911701c4322d6e3195ffd923"
    "d1005e79dc443b1a28c5615720903d83b943be67d2464276c06d5b7eb20f1629"
    "3ca903540dda5ddff6b7c762cd8d06d3695c86d614f7a56675acb1e94521700c"
    "879f74a4224c6fbf1f56aa2eb3783350b0a392bccf191ca763cb1e4d3e4b1b9b"
    "4fe7f0eead3ab55904ea40552551e57a893868527bfc27aed7bdfa07f4cc8e5f"
    "ef359c842b15d5773449b6120a7f7188fd9d18417d93d8582ccefe24afdeb836"
    "c8a180a69998a82f0e816573e4c2a28ad4e111d0088b2af2ed9a643fc16cf9ec"
)
assert len(DECODE) == 256 and len(set(DECODE)) == 256

GUIDS = {
    bytes.fromhex("0420060000000000c000000000000046"): "PSETID_Address",
    bytes.fromhex("0820060000000000c000000000000046"): "PSETID_Common",
    bytes.fromhex("0320060000000000c000000000000046"): "PSETID_Task",
    bytes.fromhex("0220060000000000c000000000000046"): "PSETID_Appointment",
}


class Pst:
    def __init__(self, path):
        self.b = open(path, "rb").read()
        b = self.b
        self.crypt = b[513]
        self.nbt, self.bbt = {}, {}
        self._walk(struct.unpack_from("<Q", b, 224)[0], False)
        self._walk(struct.unpack_from("<Q", b, 240)[0], True)
        self.names = self._name_map()

    # BTPAGE: entries at 0, cEnt at 488, cbEnt at 490, cLevel at 491.
    def _walk(self, ib, bbt):
        p = self.b[ib:ib + 512]
        n, cb, level = p[488], p[490], p[491]
        for i in range(n):
            e = p[i * cb:(i + 1) * cb]
            if level:
                self._walk(struct.unpack_from("<Q", e, 16)[0], bbt)
            elif bbt:
                bid, bib, size = struct.unpack_from("<QQH", e)
                self.bbt[bid & ~1] = (bib, size)
            else:
                nid, data, sub = struct.unpack_from("<QQQ", e)
                self.nbt[nid & 0xFFFFFFFF] = (data, sub)

    def block(self, bid):
        ib, cb = self.bbt[bid & ~1]
        d = self.b[ib:ib + cb]
        if self.crypt == 1 and not bid & 2:
            d = bytes(DECODE[x] for x in d)
        return d

    # XBLOCK / XXBLOCK: btype 1, cLevel, cEnt u16, lcbTotal u32, bids.
    def blocks(self, bid):
        d = self.block(bid)
        if not bid & 2:
            return [d]
        out = []
        for i in range(struct.unpack_from("<H", d, 2)[0]):
            out += self.blocks(struct.unpack_from("<Q", d, 8 + 8 * i)[0])
        return out

    # SLBLOCK / SIBLOCK: btype 2, cLevel, cEnt u16, then entries.
    def subnodes(self, bid):
        out = {}
        if not bid:
            return out
        d = self.block(bid)
        n = struct.unpack_from("<H", d, 2)[0]
        for i in range(n):
            if d[1] == 0:
                nid, data, sub = struct.unpack_from("<QQQ", d, 8 + 24 * i)
                out[nid & 0xFFFFFFFF] = (data, sub)
            else:
                out.update(self.subnodes(struct.unpack_from("<Q", d, 8 + 16 * i + 8)[0]))
        return out

    def props(self, data, sub):
        """The property context of a node: {(id, type): bytes or int}."""
        heap = self.blocks(data)
        subs = self.subnodes(sub)

        def alloc(hid):
            blk = heap[hid >> 16]
            ibhnpm = struct.unpack_from("<H", blk, 0)[0]
            i = (hid >> 5) & 0x7FF
            a, z = struct.unpack_from("<HH", blk, ibhnpm + 4 + 2 * (i - 1))
            return blk[a:z]

        def value(hnid):
            if hnid == 0:
                return b""
            if hnid & 0x1F == 0:
                return alloc(hnid)
            if hnid in subs:
                return b"".join(self.blocks(subs[hnid][0]))
            return None

        root = struct.unpack_from("<I", heap[0], 4)[0]
        if heap[0][3] != 0xBC:
            return {}
        bth = alloc(root)
        levels, top = bth[3], struct.unpack_from("<I", bth, 4)[0]
        recs = []

        def leaves(hid, level):
            node = alloc(hid)
            if level == 0:
                recs.extend(node[i:i + 8] for i in range(0, len(node), 8))
            else:
                for i in range(0, len(node), 6):
                    leaves(struct.unpack_from("<I", node, i + 2)[0], level - 1)

        if top:
            leaves(top, levels)
        out = {}
        for r in recs:
            pid, ptype, hnid = struct.unpack("<HHI", r)
            inline = ptype in (0x2, 0x3, 0x4, 0xA, 0xB)
            out[(pid, ptype)] = hnid if inline else value(hnid)
        return out

    def _name_map(self):
        if 0x61 not in self.nbt:
            return {}
        p = self.props(*self.nbt[0x61])
        guids = p.get((2, 0x102)) or b""
        entries = p.get((3, 0x102)) or b""
        strings = p.get((4, 0x102)) or b""
        names = {}
        for i in range(0, len(entries) - 7, 8):
            key, kind, idx = struct.unpack_from("<IHH", entries, i)
            g = kind >> 1
            gname = {1: "PS_MAPI", 2: "PS_PUBLIC_STRINGS"}.get(g)
            if not gname:
                raw = guids[16 * (g - 3):16 * (g - 2)]
                gname = GUIDS.get(raw, raw.hex())
            if kind & 1:
                n = struct.unpack_from("<I", strings, key)[0]
                label = strings[key + 4:key + 4 + n].decode("utf-16le")
            else:
                label = "0x%04X" % key
            names[0x8000 + idx] = "%s:%s" % (gname, label)
        return names


def show(value, ptype):
    if isinstance(value, int):
        return str(value) if ptype != 0xB else str(bool(value))
    if value is None:
        return "<missing subnode>"
    if ptype == 0x1F:
        return repr(value.decode("utf-16le", "replace"))[:80]
    if ptype in (0x14, 0x40) and len(value) == 8:
        return "0x%016X" % struct.unpack("<Q", value)[0]
    if ptype == 0x1003:
        return str(list(struct.unpack("<%dI" % (len(value) // 4), value)))
    return value[:64].hex() + ("..." if len(value) > 64 else "") + " (%d bytes)" % len(value)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    pst = Pst(sys.argv[1])
    args = sys.argv[2:] or ["0x21"]
    nids = []
    for a in args:
        if a == "--folders":
            nids += [n for n in sorted(pst.nbt) if n & 0x1F == 2]
        elif a == "--messages":
            nids += [n for n in sorted(pst.nbt) if n & 0x1F == 4]
        else:
            nids.append(int(a, 0))
    for nid in nids:
        print("node 0x%X" % nid)
        for (pid, ptype), v in sorted(pst.props(*pst.nbt[nid]).items()):
            name = pst.names.get(pid, "") if pid >= 0x8000 else ""
            print("  0x%04X %04X %-32s %s" % (pid, ptype, name, show(v, ptype)))


if __name__ == "__main__":
    main()
