#include "tools/pstverify/PstVerifier.h"

#include "platform/Utf8Path.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace velloquin::pstverify {
namespace {

using Bytes = std::span<const uint8_t>;

constexpr uint64_t kAMapBase = 0x4400;
constexpr uint64_t kRegionSize = 496 * 8 * 64;
constexpr uint64_t kPageSize = 512;
constexpr uint64_t kSlotSize = 64;
constexpr uint64_t kSlotsPerRegion = kRegionSize / kSlotSize;
constexpr uint64_t kMaxBlockData = 8176;
constexpr uint64_t kDListOffset = 0x4200;
constexpr uint64_t kFirstFMapRegion = 128;
constexpr uint64_t kFMapInterval = 496;
constexpr uint64_t kFirstFPMapRegion = 8192;
constexpr size_t kDetailsPerCheck = 12;
constexpr size_t kHeapAllocMax = 3580;

constexpr uint8_t kPtypeBBT = 0x80, kPtypeNBT = 0x81, kPtypeFMap = 0x82, kPtypePMap = 0x83,
                  kPtypeAMap = 0x84, kPtypeDList = 0x86;

// The compressible encoding's decoding table (the inverse of its byte
// permutation): a stored byte b stands for kCompressibleDecode[b].
constexpr uint8_t kCompressibleDecode[256] = {
    0x47, 0xF1, 0xB4, 0xE6, 0x0B, 0x6A, 0x72, 0x48, 0x85, 0x4E, 0x9E, 0xEB, 0xE2, 0xF8, 0x94, 0x53,
    0xE0, 0xBB, 0xA0, 0x02, 0xE8, 0x5A, 0x09, 0xAB, 0xDB, 0xE3, 0xBA, 0xC6, 0x7C, 0xC3, 0x10, 0xDD,
    0x39, 0x05, 0x96, 0x30, 0xF5, 0x37, 0x60, 0x82, 0x8C, 0xC9, 0x13, 0x4A, 0x6B, 0x1D, 0xF3, 0xFB,
    0x8F, 0x26, 0x97, 0xCA, 0x91, 0x17, 0x01, 0xC4, 0x32, 0x2D, 0x6E, 0x31, 0x95, 0xFF, 0xD9, 0x23,
    0xD1, 0x00, 0x5E, 0x79, 0xDC, 0x44, 0x3B, 0x1A, 0x28, 0xC5, 0x61, 0x57, 0x20, 0x90, 0x3D, 0x83,
    0xB9, 0x43, 0xBE, 0x67, 0xD2, 0x46, 0x42, 0x76, 0xC0, 0x6D, 0x5B, 0x7E, 0xB2, 0x0F, 0x16, 0x29,
    0x3C, 0xA9, 0x03, 0x54, 0x0D, 0xDA, 0x5D, 0xDF, 0xF6, 0xB7, 0xC7, 0x62, 0xCD, 0x8D, 0x06, 0xD3,
    0x69, 0x5C, 0x86, 0xD6, 0x14, 0xF7, 0xA5, 0x66, 0x75, 0xAC, 0xB1, 0xE9, 0x45, 0x21, 0x70, 0x0C,
    0x87, 0x9F, 0x74, 0xA4, 0x22, 0x4C, 0x6F, 0xBF, 0x1F, 0x56, 0xAA, 0x2E, 0xB3, 0x78, 0x33, 0x50,
    0xB0, 0xA3, 0x92, 0xBC, 0xCF, 0x19, 0x1C, 0xA7, 0x63, 0xCB, 0x1E, 0x4D, 0x3E, 0x4B, 0x1B, 0x9B,
    0x4F, 0xE7, 0xF0, 0xEE, 0xAD, 0x3A, 0xB5, 0x59, 0x04, 0xEA, 0x40, 0x55, 0x25, 0x51, 0xE5, 0x7A,
    0x89, 0x38, 0x68, 0x52, 0x7B, 0xFC, 0x27, 0xAE, 0xD7, 0xBD, 0xFA, 0x07, 0xF4, 0xCC, 0x8E, 0x5F,
    0xEF, 0x35, 0x9C, 0x84, 0x2B, 0x15, 0xD5, 0x77, 0x34, 0x49, 0xB6, 0x12, 0x0A, 0x7F, 0x71, 0x88,
    0xFD, 0x9D, 0x18, 0x41, 0x7D, 0x93, 0xD8, 0x58, 0x2C, 0xCE, 0xFE, 0x24, 0xAF, 0xDE, 0xB8, 0x36,
    0xC8, 0xA1, 0x80, 0xA6, 0x99, 0x98, 0xA8, 0x2F, 0x0E, 0x81, 0x65, 0x73, 0xE4, 0xC2, 0xA2, 0x8A,
    0xD4, 0xE1, 0x11, 0xD0, 0x08, 0x8B, 0x2A, 0xF2, 0xED, 0x9A, 0x64, 0x3F, 0xC1, 0x6C, 0xF9, 0xEC};

uint16_t U16(Bytes b, size_t off) {
    return static_cast<uint16_t>(b[off] | (b[off + 1] << 8));
}
// One load, not four: the sanitizers check each load, and the CRC reads every
// byte of a store through here.
uint32_t U32(Bytes b, size_t off) {
    uint32_t v;
    std::memcpy(&v, b.data() + off, 4);
    if constexpr (std::endian::native == std::endian::big)
        v = (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
    return v;
}
uint64_t U64(Bytes b, size_t off) {
    return static_cast<uint64_t>(U32(b, off)) | (static_cast<uint64_t>(U32(b, off + 4)) << 32);
}
bool Fits(Bytes b, uint64_t off, uint64_t len) {
    return off <= b.size() && len <= b.size() - off;
}

std::string Hex(uint64_t v) {
    std::ostringstream s;
    s << "0x" << std::hex << v;
    return s.str();
}

uint64_t RoundUp(uint64_t v, uint64_t to) {
    return (v + to - 1) / to * to;
}

// BREF: bid u64 at 0, ib u64 at 8.
struct Bref {
    uint64_t bid = 0;
    uint64_t ib = 0;
};

// BBTENTRY: BREF at 0, cb u16 at 16, cRef u16 at 18, dwPadding u32 at 20.
struct BlockInfo {
    uint64_t ib = 0;
    uint16_t cb = 0;
    uint16_t cRef = 0;
    uint32_t refs = 0;
    bool visited = false;
    bool readable = false;
    std::vector<uint8_t> plain; // a data block's bytes, decoded, when the file encodes them
};

// NBTENTRY: nid u64 at 0, bidData u64 at 8, bidSub u64 at 16, nidParent u32 at
// 24, dwPadding u32 at 28.
struct NodeInfo {
    uint64_t nid = 0;
    uint64_t bidData = 0;
    uint64_t bidSub = 0;
    uint32_t parent = 0;
};

struct SubnodeInfo {
    uint64_t bidData = 0;
    uint64_t bidSub = 0;
};
using SubnodeMap = std::map<uint64_t, SubnodeInfo>;

// Heap-on-node: block 0 starts with HNHDR (ibHnpm u16, bSig u8 = 0xEC,
// bClientSig u8, hidUserRoot u32, rgbFillLevel u32), blocks 8, 136, ... with
// HNBITMAPHDR (ibHnpm u16, rgbFillLevel[64]), others with HNPAGEHDR (ibHnpm
// u16). HNPAGEMAP at ibHnpm: cAlloc u16, cFree u16, rgibAlloc[cAlloc + 1] u16.
struct Heap {
    std::vector<Bytes> blocks;
    std::vector<std::vector<uint16_t>> allocs;
    uint8_t clientSig = 0;
    uint32_t userRoot = 0;

    std::optional<Bytes> Get(uint32_t hid) const {
        if ((hid & 0x1F) != 0) return std::nullopt;
        const uint32_t index = (hid >> 5) & 0x7FF;
        const uint32_t block = hid >> 16;
        if (block >= blocks.size() || index == 0 || index >= allocs[block].size())
            return std::nullopt;
        const auto& a = allocs[block];
        return blocks[block].subspan(a[index - 1], a[index] - a[index - 1]);
    }
};

// TCOLDESC: tag u32 at 0, ibData u16 at 4, cbData u8 at 6, iBit u8 at 7.
struct Column {
    uint32_t tag = 0;
    uint16_t ibData = 0;
    uint8_t cbData = 0;
    uint8_t iBit = 0;
};

struct Table {
    std::vector<Column> columns;
    std::vector<Bytes> rows;
    uint16_t rowSize = 0;
    uint16_t cebOffset = 0;

    const Column* Find(uint32_t tag) const {
        for (const auto& c : columns)
            if (c.tag == tag) return &c;
        return nullptr;
    }
    std::optional<uint32_t> Cell32(size_t row, uint32_t tag) const {
        const Column* c = Find(tag);
        if (!c || c->cbData != 4) return std::nullopt;
        const Bytes r = rows[row];
        if (!(r[cebOffset + c->iBit / 8] & (0x80 >> (c->iBit % 8)))) return std::nullopt;
        return U32(r, c->ibData);
    }
    std::optional<bool> CellBool(size_t row, uint32_t tag) const {
        const Column* c = Find(tag);
        if (!c || c->cbData != 1) return std::nullopt;
        const Bytes r = rows[row];
        if (!(r[cebOffset + c->iBit / 8] & (0x80 >> (c->iBit % 8)))) return std::nullopt;
        return r[c->ibData] != 0;
    }
};

struct Property {
    uint16_t type = 0;
    uint32_t raw = 0;
    std::vector<uint8_t> bytes; // value of HNID-stored types
};
using PropertyMap = std::map<uint16_t, Property>;

bool IsVariableType(uint16_t type) {
    return type == 0x001E || type == 0x001F || type == 0x0102 || type == 0x0048 ||
           (type & 0x1000) != 0 || type == 0x000D;
}
size_t FixedHnidSize(uint16_t type) {
    switch (type) {
    case 0x0005:
    case 0x0006:
    case 0x0007:
    case 0x0014:
    case 0x0040:
        return 8;
    case 0x0048:
        return 16;
    default:
        return 0;
    }
}
bool IsInlineType(uint16_t type) {
    return type == 0x0002 || type == 0x0003 || type == 0x0004 || type == 0x000A || type == 0x000B;
}

class Verifier {
  public:
    Verifier(Bytes file, const VerifyOptions& options) : file_(file), options_(options) {}

    VerifyResult Run() {
        if (CheckHeader()) {
            CheckDList();
            MarkMapPages();
            WalkTree(false, header_.nbt, -1, 0, std::nullopt, 0);
            WalkTree(true, header_.bbt, -1, 0, std::nullopt, 0);
            CheckBlocks();
            CountReferences();
            CheckAllocationMaps();
            CheckCounters();
            if (options_.checkMessaging) CheckMessaging();
        }
        for (const auto& [check, count] : counts_)
            if (count > kDetailsPerCheck)
                (IsNote(check) ? result_.notes : result_.problems)
                    .push_back(
                        {check, std::to_string(count - kDetailsPerCheck) + " more like this"});
        result_.stats.nodes = nodes_.size();
        result_.stats.blocks = blocks_.size();
        return std::move(result_);
    }

  private:
    struct Header {
        uint64_t bidNextP = 0, bidNextB = 0;
        std::array<uint32_t, 32> rgnid{};
        uint64_t ibFileEof = 0, ibAMapLast = 0, cbAMapFree = 0;
        Bref nbt, bbt;
        uint8_t fAMapValid = 0;
    };

    static bool IsNote(const std::string& check) {
        static const std::set<std::string> notes = {
            "amap-free-count",      "pmap-content",         "nbt-padding",     "bbt-padding",
            "btree-unused-nonzero", "namemap-string-align", "folder-no-count", "amap-extra",
            "orphan-block",         "pc-small-subnode",     "dlist-bid"};
        return notes.count(check) != 0;
    }
    void Report(const std::string& check, const std::string& detail) {
        if (++counts_[check] <= kDetailsPerCheck)
            (IsNote(check) ? result_.notes : result_.problems).push_back({check, detail});
    }

    // HEADER (Unicode): dwMagic u32 at 0, dwCRCPartial u32 at 4, wMagicClient
    // u16 at 8, wVer u16 at 10, wVerClient u16 at 12, bidNextP u64 at 32,
    // rgnid[32] u32 at 44, ROOT at 180 (ibFileEof u64 at 184, ibAMapLast at 192,
    // cbAMapFree at 200, BREFNBT at 216, BREFBBT at 232, fAMapValid u8 at 248),
    // bSentinel u8 at 512, bCryptMethod u8 at 513, bidNextB u64 at 516,
    // dwCRCFull u32 at 524.
    bool CheckHeader() {
        if (file_.size() < kAMapBase + kRegionSize) {
            Report("file-size", "file of " + std::to_string(file_.size()) +
                                    " bytes is shorter than one allocation region");
            return false;
        }
        const Bytes h = file_;
        if (U32(h, 0) != 0x4E444221) Report("header-magic", "dwMagic is not !BDN");
        if (U16(h, 8) != 0x4D53) Report("header-magic", "wMagicClient is not SM");
        if (U16(h, 10) != 23) Report("header-version", "wVer " + std::to_string(U16(h, 10)));
        if (U16(h, 12) != 19) Report("header-version", "wVerClient " + std::to_string(U16(h, 12)));
        if (U32(h, 4) != PstCrc(h.subspan(8, 471))) Report("header-crc", "dwCRCPartial wrong");
        if (U32(h, 524) != PstCrc(h.subspan(8, 516))) Report("header-crc", "dwCRCFull wrong");
        if (h[512] != 0x80) Report("header-sentinel", "bSentinel " + Hex(h[512]));
        // 0 stores data blocks as they are, 1 with the compressible
        // (permutation) encoding Outlook uses by default.
        crypt_ = h[513];
        if (crypt_ > 1) {
            Report("header-encoding", "bCryptMethod " + Hex(h[513]) + " is not checked here");
            return false;
        }
        header_.bidNextP = U64(h, 32);
        header_.bidNextB = U64(h, 516);
        for (size_t t = 0; t < 32; ++t)
            header_.rgnid[t] = U32(h, 44 + 4 * t);
        header_.ibFileEof = U64(h, 184);
        header_.ibAMapLast = U64(h, 192);
        header_.cbAMapFree = U64(h, 200);
        header_.nbt = {U64(h, 216), U64(h, 224)};
        header_.bbt = {U64(h, 232), U64(h, 240)};
        header_.fAMapValid = h[248];
        result_.stats.fileEof = header_.ibFileEof;
        result_.stats.amapValid = header_.fAMapValid == 2;

        const uint64_t eof = header_.ibFileEof;
        if (eof < kAMapBase + kRegionSize || (eof - kAMapBase) % kRegionSize != 0) {
            Report("header-eof", "ibFileEof " + Hex(eof) + " is not a whole number of regions");
            return false;
        }
        if (eof > file_.size()) {
            Report("header-eof", "ibFileEof " + Hex(eof) + " beyond the file's " +
                                     std::to_string(file_.size()) + " bytes");
            return false;
        }
        if (eof < file_.size() && !options_.allowTrailingBytes)
            Report("header-eof",
                   "file has " + std::to_string(file_.size() - eof) + " bytes behind ibFileEof");
        if (header_.ibAMapLast != eof - kRegionSize)
            Report("header-amap-last", "ibAMapLast " + Hex(header_.ibAMapLast) + ", expected " +
                                           Hex(eof - kRegionSize));
        regions_ = (eof - kAMapBase) / kRegionSize;
        result_.stats.regions = regions_;
        if (regions_ > kFirstFPMapRegion) {
            Report("file-size", "more regions than this checker handles (FPMap region)");
            return false;
        }
        if (header_.fAMapValid != 2 && !options_.allowLeakedSpace)
            Report("amap-valid-flag", "fAMapValid " + Hex(header_.fAMapValid));
        owner_.assign(regions_ * kSlotsPerRegion, 0);
        return true;
    }

    // PAGETRAILER at 496: ptype u8, ptypeRepeat u8, wSig u16, dwCRC u32, bid u64.
    void CheckPageTrailer(Bytes page, uint64_t ib, uint8_t ptype, uint64_t bid, bool signedPage,
                          const std::string& what) {
        if (page[496] != ptype || page[497] != ptype)
            Report("page-type", what + " at " + Hex(ib) + ": ptype " + Hex(page[496]) + "/" +
                                    Hex(page[497]) + ", expected " + Hex(ptype));
        const uint64_t trailerBid = U64(page, 504);
        const uint16_t sig = signedPage ? PstSignature(ib, trailerBid) : 0;
        if (U16(page, 498) != sig)
            Report("page-signature", what + " at " + Hex(ib) + ": wSig " + Hex(U16(page, 498)) +
                                         ", expected " + Hex(sig));
        if (U32(page, 500) != PstCrc(page.subspan(0, 496)))
            Report("page-crc", what + " at " + Hex(ib));
        if (trailerBid != bid)
            Report("page-bid", what + " at " + Hex(ib) + ": trailer bid " + Hex(trailerBid) +
                                   ", referenced as " + Hex(bid));
    }

    // Marks [ib, ib + size) as used by one allocation. Returns false when the
    // range is not inside one region or collides with another allocation.
    bool Mark(uint64_t ib, uint64_t size, const std::string& what) {
        if (ib < kAMapBase || ib + size > header_.ibFileEof || size == 0) {
            Report("alloc-range", what + " at " + Hex(ib) + " lies outside the mapped regions");
            return false;
        }
        const uint64_t first = (ib - kAMapBase) / kSlotSize;
        const uint64_t last = (ib + size - 1 - kAMapBase) / kSlotSize;
        if (first / kSlotsPerRegion != last / kSlotsPerRegion) {
            Report("alloc-straddle", what + " at " + Hex(ib) + " crosses a region boundary");
            return false;
        }
        ownerNames_.push_back(what + " at " + Hex(ib));
        const uint32_t id = static_cast<uint32_t>(ownerNames_.size());
        bool clean = true;
        for (uint64_t s = first; s <= last; ++s) {
            if (owner_[s] != 0 && clean) {
                Report("overlap", ownerNames_.back() + " overlaps " + ownerNames_[owner_[s] - 1]);
                clean = false;
            }
            if (owner_[s] == 0) owner_[s] = id;
        }
        return clean;
    }

    uint64_t RegionBase(uint64_t n) const { return kAMapBase + n * kRegionSize; }
    static bool HasPMap(uint64_t n) { return n % 8 == 0; }
    static bool HasFMap(uint64_t n) {
        return n >= kFirstFMapRegion && (n - kFirstFMapRegion) % kFMapInterval == 0;
    }

    void MarkMapPages() {
        for (uint64_t n = 0; n < regions_; ++n) {
            const uint64_t base = RegionBase(n);
            CheckPageTrailer(file_.subspan(base, kPageSize), base, kPtypeAMap, base, false,
                             "AMap page");
            Mark(base, kPageSize, "AMap page");
            if (HasPMap(n)) {
                const Bytes pmap = file_.subspan(base + kPageSize, kPageSize);
                CheckPageTrailer(pmap, base + kPageSize, kPtypePMap, base + kPageSize, false,
                                 "PMap page");
                if (std::any_of(pmap.begin(), pmap.begin() + 496,
                                [](uint8_t b) { return b != 0xFF; }))
                    Report("pmap-content", "PMap at " + Hex(base + kPageSize) + " not all 0xFF");
                Mark(base + kPageSize, kPageSize, "PMap page");
            }
            if (HasFMap(n)) {
                CheckPageTrailer(file_.subspan(base + 2 * kPageSize, kPageSize),
                                 base + 2 * kPageSize, kPtypeFMap, base + 2 * kPageSize, false,
                                 "FMap page");
                Mark(base + 2 * kPageSize, kPageSize, "FMap page");
            }
        }
    }

    // DLIST page at 0x4200: optional; all zero when absent.
    void CheckDList() {
        const Bytes page = file_.subspan(kDListOffset, kPageSize);
        if (std::all_of(page.begin(), page.end(), [](uint8_t b) { return b == 0; })) return;
        const uint64_t bid = U64(page, 504);
        CheckPageTrailer(page, kDListOffset, kPtypeDList, bid, true, "DList page");
        // Outlook seals the density list with the header's bidNextP, the id
        // its next page will take, so it is no page of the trees' kind.
        if (bid > header_.bidNextP)
            Report("counter-bid",
                   "DList page bid " + Hex(bid) + " above bidNextP " + Hex(header_.bidNextP));
        // A writer killed between the header and the density list leaves an
        // older bid here.
        else if (bid != header_.bidNextP && !options_.allowLeakedSpace)
            Report("dlist-bid",
                   "DList page bid " + Hex(bid) + ", bidNextP " + Hex(header_.bidNextP));
        ++result_.stats.pages;
    }

    void NotePageBid(uint64_t bid, uint64_t ib) {
        if (!pageBids_.insert(bid).second)
            Report("page-bid-duplicate", "page bid " + Hex(bid) + " at " + Hex(ib) + " used twice");
        maxPageBid_ = std::max(maxPageBid_, bid);
        ++result_.stats.pages;
    }

    // BTPAGE: rgentries[488], cEnt u8 at 488, cEntMax u8 at 489, cbEnt u8 at
    // 490, cLevel u8 at 491, dwPadding u32 at 492, PAGETRAILER at 496.
    void WalkTree(bool bbt, Bref ref, int expectLevel, uint64_t low, std::optional<uint64_t> high,
                  int depth) {
        const std::string what = bbt ? "BBT page" : "NBT page";
        if (ref.ib % kPageSize != 0 || !Fits(file_, ref.ib, kPageSize)) {
            Report("page-align", what + " at " + Hex(ref.ib) + " is not a 512-aligned page");
            return;
        }
        if (!Mark(ref.ib, kPageSize, what)) return;
        const Bytes page = file_.subspan(ref.ib, kPageSize);
        CheckPageTrailer(page, ref.ib, bbt ? kPtypeBBT : kPtypeNBT, ref.bid, true, what);
        NotePageBid(ref.bid, ref.ib);

        const int cEnt = page[488], cEntMax = page[489], cbEnt = page[490], cLevel = page[491];
        if ((expectLevel >= 0 && cLevel != expectLevel) || cLevel > 8) {
            Report("btree-level", what + " at " + Hex(ref.ib) + ": cLevel " +
                                      std::to_string(cLevel) + ", expected " +
                                      std::to_string(expectLevel));
            return;
        }
        if (depth == 0) (bbt ? result_.stats.bbtLevels : result_.stats.nbtLevels) = cLevel + 1;
        const int wantEnt = (cLevel > 0 || bbt) ? 24 : 32;
        const int wantMax = (cLevel > 0 || bbt) ? 20 : 15;
        if (cbEnt != wantEnt || cEntMax != wantMax || cEnt > cEntMax) {
            Report("btree-page-format",
                   what + " at " + Hex(ref.ib) + ": cEnt " + std::to_string(cEnt) + " cEntMax " +
                       std::to_string(cEntMax) + " cbEnt " + std::to_string(cbEnt));
            return;
        }
        if (cEnt == 0 && depth > 0)
            Report("btree-empty-page", what + " at " + Hex(ref.ib) + " has no entries");
        if (U32(page, 492) != 0 || std::any_of(page.begin() + cEnt * cbEnt, page.begin() + 488,
                                               [](uint8_t b) { return b != 0; }))
            Report("btree-unused-nonzero", what + " at " + Hex(ref.ib));

        for (int i = 0; i < cEnt; ++i) {
            const uint64_t key = U64(page, i * cbEnt);
            if (i > 0 && key <= U64(page, (i - 1) * cbEnt))
                Report("btree-order", what + " at " + Hex(ref.ib) + ": key " + Hex(key) +
                                          " not above its predecessor");
            if (key < low || (high && key >= *high))
                Report("btree-key-range", what + " at " + Hex(ref.ib) + ": key " + Hex(key) +
                                              " outside the parent's range");
        }
        for (int i = 0; i < cEnt; ++i) {
            const Bytes e = page.subspan(i * cbEnt, cbEnt);
            if (cLevel > 0) {
                // BTENTRY: btkey u64 at 0, BREF at 8.
                std::optional<uint64_t> childHigh = high;
                if (i + 1 < cEnt) childHigh = U64(page, (i + 1) * cbEnt);
                WalkTree(bbt, {U64(e, 8), U64(e, 16)}, cLevel - 1, U64(e, 0), childHigh, depth + 1);
            } else if (bbt) {
                const uint64_t bid = U64(e, 0);
                if (U32(e, 20) != 0) Report("bbt-padding", "block " + Hex(bid));
                BlockInfo info;
                info.ib = U64(e, 8);
                info.cb = U16(e, 16);
                info.cRef = U16(e, 18);
                if (!blocks_.emplace(bid, info).second)
                    Report("btree-order", "block " + Hex(bid) + " listed twice");
            } else {
                NodeInfo node{U64(e, 0), U64(e, 8), U64(e, 16), U32(e, 24)};
                if (node.nid > 0xFFFFFFFFu)
                    Report("nbt-nid", "nid " + Hex(node.nid) + " has high bits set");
                if (U32(e, 28) != 0) Report("nbt-padding", "node " + Hex(node.nid));
                if (!nodes_.emplace(node.nid, node).second)
                    Report("btree-order", "node " + Hex(node.nid) + " listed twice");
            }
        }
    }

    // BLOCKTRAILER, the last 16 bytes of round_up(cb + 16, 64): cb u16 at 0,
    // wSig u16 at 2, dwCRC u32 at 4, bid u64 at 8.
    void CheckBlocks() {
        for (auto& [bid, info] : blocks_) {
            const std::string what = "block " + Hex(bid);
            if (bid == 0) Report("block-bid", "block id 0 in the BBT");
            if (bid & 1) Report("block-bid", what + " has the reserved bit set");
            if (info.ib % kSlotSize != 0)
                Report("block-align", what + " at " + Hex(info.ib) + " is not 64-byte aligned");
            if (info.cb > kMaxBlockData) {
                Report("block-size", what + " has cb " + std::to_string(info.cb));
                continue;
            }
            const uint64_t size = RoundUp(info.cb + 16u, kSlotSize);
            if (!Fits(file_, info.ib, size)) {
                Report("alloc-range", what + " at " + Hex(info.ib) + " lies beyond the file");
                continue;
            }
            Mark(info.ib, size, what);
            const Bytes trailer = file_.subspan(info.ib + size - 16, 16);
            if (U16(trailer, 0) != info.cb)
                Report("block-trailer-cb", what + ": trailer cb " +
                                               std::to_string(U16(trailer, 0)) + ", BBT cb " +
                                               std::to_string(info.cb));
            if (U16(trailer, 2) != PstSignature(info.ib, bid))
                Report("block-signature", what + " at " + Hex(info.ib));
            if (U32(trailer, 4) != PstCrc(file_.subspan(info.ib, info.cb)))
                Report("block-crc", what + " at " + Hex(info.ib));
            if (U64(trailer, 8) != bid)
                Report("block-trailer-bid", what + ": trailer bid " + Hex(U64(trailer, 8)));
            info.readable = true;
            if (crypt_ == 1 && !(bid & 2)) {
                const Bytes stored = file_.subspan(info.ib, info.cb);
                info.plain.resize(info.cb);
                for (size_t i = 0; i < info.cb; ++i)
                    info.plain[i] = kCompressibleDecode[stored[i]];
            }
            maxBlockBid_ = std::max(maxBlockBid_, bid);
        }
    }

    Bytes BlockData(const BlockInfo& info) const {
        return info.plain.empty() ? file_.subspan(info.ib, info.cb) : Bytes(info.plain);
    }

    BlockInfo* Reference(uint64_t bid, const std::string& from) {
        auto it = blocks_.find(bid);
        if (it == blocks_.end()) {
            Report("dangling-bid", from + " refers to missing block " + Hex(bid));
            return nullptr;
        }
        ++it->second.refs;
        return &it->second;
    }

    // A data tree: a data block, or an XBLOCK/XXBLOCK (btype u8 = 1, cLevel u8,
    // cEnt u16, lcbTotal u32, rgbid[cEnt] u64). Returns the stream size.
    uint64_t RefData(uint64_t bid, int wantLevel, const std::string& from) {
        BlockInfo* info = Reference(bid, from);
        if (!info || !info->readable) return 0;
        const bool internal = (bid & 2) != 0;
        if (!internal) {
            if (wantLevel > 0)
                Report("block-role",
                       from + ": data block " + Hex(bid) + " where an XBLOCK belongs");
            return info->cb;
        }
        const Bytes d = BlockData(*info);
        if (d.size() < 8 || d[0] != 0x01 || (d[1] != 1 && d[1] != 2) ||
            (wantLevel >= 0 && d[1] != wantLevel)) {
            Report("block-role", from + ": block " + Hex(bid) + " is not a fitting XBLOCK");
            return 0;
        }
        const uint64_t total = U32(d, 4);
        if (info->visited) return total;
        info->visited = true;
        const uint16_t cEnt = U16(d, 2);
        if (cEnt == 0 || d.size() != 8 + 8 * uint64_t{cEnt}) {
            Report("xblock-format", "XBLOCK " + Hex(bid) + ": cEnt " + std::to_string(cEnt) +
                                        ", cb " + std::to_string(d.size()));
            return total;
        }
        uint64_t sum = 0;
        for (uint16_t i = 0; i < cEnt; ++i)
            sum += RefData(U64(d, 8 + 8 * i), d[1] - 1, "XBLOCK " + Hex(bid));
        if (sum != total)
            Report("xblock-total", "XBLOCK " + Hex(bid) + ": lcbTotal " + std::to_string(total) +
                                       ", children hold " + std::to_string(sum));
        return total;
    }

    // A subnode tree: SLBLOCK (btype 2, cLevel 0, cEnt u16, dwPadding u32,
    // SLENTRY{nid u64, bidData u64, bidSub u64}) or SIBLOCK (cLevel 1,
    // SIENTRY{nid u64, bid u64}).
    void RefSub(uint64_t bid, int wantLevel, const std::string& from) {
        BlockInfo* info = Reference(bid, from);
        if (!info || !info->readable) return;
        const Bytes d = BlockData(*info);
        if (!(bid & 2) || d.size() < 8 || d[0] != 0x02 || d[1] > 1 ||
            (wantLevel >= 0 && d[1] != wantLevel)) {
            Report("block-role", from + ": block " + Hex(bid) + " is not a fitting SL/SIBLOCK");
            return;
        }
        if (info->visited) return;
        info->visited = true;
        const uint16_t cEnt = U16(d, 2);
        const size_t entSize = d[1] == 0 ? 24 : 16;
        if (d.size() != 8 + entSize * cEnt || U32(d, 4) != 0) {
            Report("subnode-format", "subnode block " + Hex(bid) + " cEnt " + std::to_string(cEnt) +
                                         " cb " + std::to_string(d.size()));
            return;
        }
        for (uint16_t i = 0; i < cEnt; ++i) {
            const Bytes e = d.subspan(8 + entSize * i, entSize);
            // nid: 8 bytes of which only the low 32 bits count (Outlook
            // leaves other bytes in the high half)
            if (i > 0 && U32(e, 0) <= U32(d, 8 + entSize * (i - 1)))
                Report("subnode-order", "subnode block " + Hex(bid) + " not sorted by nid");
            const std::string where = "subnode " + Hex(U64(e, 0)) + " in " + Hex(bid);
            if (d[1] == 0) {
                if (U64(e, 8) != 0) RefData(U64(e, 8), -1, where);
                if (U64(e, 16) != 0) RefSub(U64(e, 16), -1, where);
            } else {
                RefSub(U64(e, 8), 0, where);
            }
        }
    }

    void CountReferences() {
        for (const auto& [nid, node] : nodes_) {
            const std::string where = "node " + Hex(nid);
            if (node.bidData != 0) RefData(node.bidData, -1, where);
            if (node.bidSub != 0) RefSub(node.bidSub, -1, where);
        }
        for (const auto& [bid, info] : blocks_) {
            if (info.refs == 0)
                Report("orphan-block", "block " + Hex(bid) + " is referenced by nothing");
            if (info.cRef != info.refs + 1)
                Report("block-cref", "block " + Hex(bid) + ": cRef " + std::to_string(info.cRef) +
                                         ", expected " + std::to_string(info.refs + 1));
        }
    }

    static size_t LongestFreeRun(Bytes amap) {
        size_t best = 0, run = 0;
        for (size_t s = 0; s < kSlotsPerRegion; ++s) {
            run = (amap[s / 8] & (0x80 >> (s % 8))) ? 0 : run + 1;
            best = std::max(best, run);
        }
        return best;
    }

    void CheckAllocationMaps() {
        if (header_.fAMapValid != 2) return; // nothing to compare with
        uint64_t freeSlots = 0;
        for (uint64_t n = 0; n < regions_; ++n) {
            const Bytes amap = file_.subspan(RegionBase(n), 496);
            for (uint64_t s = 0; s < kSlotsPerRegion; ++s) {
                const bool set = amap[s / 8] & (0x80 >> (s % 8));
                const bool used = owner_[n * kSlotsPerRegion + s] != 0;
                if (!set) ++freeSlots;
                const uint64_t ib = RegionBase(n) + s * kSlotSize;
                if (used && !set)
                    Report("amap-missing", ownerNames_[owner_[n * kSlotsPerRegion + s] - 1] +
                                               ": slot " + Hex(ib) + " is marked free");
                else if (set && !used && !options_.allowLeakedSpace)
                    Report("amap-extra", "slot " + Hex(ib) + " is marked allocated but unused");
            }
            if (HasFMap(n)) {
                const Bytes fmap = file_.subspan(RegionBase(n) + 2 * kPageSize, 496);
                for (uint64_t j = 0; j < kFMapInterval && n + j < regions_; ++j) {
                    const size_t want = std::min<size_t>(
                        255, LongestFreeRun(file_.subspan(RegionBase(n + j), 496)));
                    if (fmap[j] != want)
                        Report("fmap-content", "FMap at " + Hex(RegionBase(n) + 2 * kPageSize) +
                                                   " byte " + std::to_string(j) + " is " +
                                                   std::to_string(fmap[j]) + ", expected " +
                                                   std::to_string(want));
                }
            }
        }
        if (header_.cbAMapFree != freeSlots * kSlotSize)
            Report("amap-free-count", "cbAMapFree " + std::to_string(header_.cbAMapFree) +
                                          ", maps show " + std::to_string(freeSlots * kSlotSize));
    }

    void CheckCounters() {
        if (!blocks_.empty() && header_.bidNextB <= maxBlockBid_)
            Report("counter-bid",
                   "bidNextB " + Hex(header_.bidNextB) + " not above block " + Hex(maxBlockBid_));
        if (!pageBids_.empty() && header_.bidNextP <= maxPageBid_)
            Report("counter-page-bid",
                   "bidNextP " + Hex(header_.bidNextP) + " not above page " + Hex(maxPageBid_));
        std::array<uint32_t, 32> maxIndex{};
        for (const auto& [nid, node] : nodes_)
            maxIndex[nid & 0x1F] = std::max(maxIndex[nid & 0x1F], static_cast<uint32_t>(nid >> 5));
        for (size_t t = 0; t < 32; ++t)
            if (header_.rgnid[t] < maxIndex[t])
                Report("counter-nid", "rgnid[" + Hex(t) + "] " + Hex(header_.rgnid[t]) +
                                          " below used index " + Hex(maxIndex[t]));
    }

    // ---- Heaps, property and table contexts -------------------------------

    std::optional<std::vector<Bytes>> DataBlocks(uint64_t bid) const {
        std::vector<Bytes> out;
        if (!CollectData(bid, out, 0)) return std::nullopt;
        return out;
    }
    bool CollectData(uint64_t bid, std::vector<Bytes>& out, int depth) const {
        auto it = blocks_.find(bid);
        if (it == blocks_.end() || !it->second.readable || depth > 2) return false;
        const Bytes d = BlockData(it->second);
        if (!(bid & 2)) {
            out.push_back(d);
            return true;
        }
        if (d.size() < 8 || d[0] != 1 || d.size() != 8 + 8 * size_t{U16(d, 2)}) return false;
        for (uint16_t i = 0; i < U16(d, 2); ++i)
            if (!CollectData(U64(d, 8 + 8 * i), out, depth + 1)) return false;
        return true;
    }
    std::optional<std::vector<uint8_t>> Stream(uint64_t bid) const {
        auto parts = DataBlocks(bid);
        if (!parts) return std::nullopt;
        std::vector<uint8_t> out;
        for (Bytes p : *parts)
            out.insert(out.end(), p.begin(), p.end());
        return out;
    }
    std::optional<SubnodeMap> Subnodes(uint64_t bid) const {
        SubnodeMap out;
        if (bid != 0 && !CollectSubnodes(bid, out, 0)) return std::nullopt;
        return out;
    }
    bool CollectSubnodes(uint64_t bid, SubnodeMap& out, int depth) const {
        auto it = blocks_.find(bid);
        if (it == blocks_.end() || !it->second.readable || depth > 1) return false;
        const Bytes d = BlockData(it->second);
        if (d.size() < 8 || d[0] != 2) return false;
        const size_t entSize = d[1] == 0 ? 24 : 16;
        if (d.size() != 8 + entSize * U16(d, 2)) return false;
        for (uint16_t i = 0; i < U16(d, 2); ++i) {
            const Bytes e = d.subspan(8 + entSize * i, entSize);
            if (d[1] == 0)
                out[U32(e, 0)] = {U64(e, 8), U64(e, 16)};
            else if (!CollectSubnodes(U64(e, 8), out, depth + 1))
                return false;
        }
        return true;
    }

    std::optional<Heap> ParseHeap(uint64_t bidData, const std::string& where) {
        auto parts = DataBlocks(bidData);
        if (!parts || parts->empty()) return std::nullopt;
        Heap heap;
        heap.blocks = *parts;
        for (size_t i = 0; i < heap.blocks.size(); ++i) {
            const Bytes b = heap.blocks[i];
            const size_t headerSize = i == 0 ? 12 : (i % 128 == 8 ? 66 : 2);
            if (b.size() < headerSize + 4) {
                Report("heap-format", where + ": heap block " + std::to_string(i) + " too small");
                return std::nullopt;
            }
            if (i == 0) {
                if (b[2] != 0xEC) {
                    Report("heap-format", where + ": bSig " + Hex(b[2]));
                    return std::nullopt;
                }
                heap.clientSig = b[3];
                heap.userRoot = U32(b, 4);
            }
            const uint16_t ibHnpm = U16(b, 0);
            if (!Fits(b, ibHnpm, 4) || !Fits(b, ibHnpm, 4 + 2 * (size_t{U16(b, ibHnpm)} + 1))) {
                Report("heap-format",
                       where + ": page map of block " + std::to_string(i) + " outside the block");
                return std::nullopt;
            }
            const uint16_t cAlloc = U16(b, ibHnpm);
            std::vector<uint16_t> offsets(cAlloc + 1);
            for (size_t j = 0; j <= cAlloc; ++j)
                offsets[j] = U16(b, ibHnpm + 4 + 2 * j);
            bool sane = offsets[0] >= headerSize && offsets.back() <= ibHnpm;
            for (size_t j = 1; j <= cAlloc; ++j)
                sane = sane && offsets[j] >= offsets[j - 1] &&
                       size_t{offsets[j]} - offsets[j - 1] <= kHeapAllocMax;
            if (!sane) {
                Report("heap-format", where + ": allocations of block " + std::to_string(i) +
                                          " overlap or leave the block");
                return std::nullopt;
            }
            heap.allocs.push_back(std::move(offsets));
        }
        return heap;
    }

    // BTHHEADER: bType u8 = 0xB5, cbKey u8, cbEnt u8, bIdxLevels u8, hidRoot u32.
    // Returns the leaf records (key then data) in key order.
    std::optional<std::vector<Bytes>> ReadBth(const Heap& heap, uint32_t hid, int cbKey, int cbEnt,
                                              const std::string& where) {
        auto h = heap.Get(hid);
        if (!h || h->size() != 8 || (*h)[0] != 0xB5 || (*h)[1] != cbKey || (*h)[2] != cbEnt) {
            Report("bth-format", where + ": bad BTHHEADER at hid " + Hex(hid));
            return std::nullopt;
        }
        std::vector<Bytes> leaves;
        if (U32(*h, 4) == 0) return leaves;
        if (!CollectBth(heap, U32(*h, 4), (*h)[3], cbKey, cbEnt, leaves, where))
            return std::nullopt;
        for (size_t i = 1; i < leaves.size(); ++i)
            if (!std::lexicographical_compare(std::reverse_iterator(leaves[i - 1].begin() + cbKey),
                                              std::reverse_iterator(leaves[i - 1].begin()),
                                              std::reverse_iterator(leaves[i].begin() + cbKey),
                                              std::reverse_iterator(leaves[i].begin()))) {
                Report("bth-order", where + ": keys not ascending");
                break;
            }
        return leaves;
    }
    bool CollectBth(const Heap& heap, uint32_t hid, int level, int cbKey, int cbEnt,
                    std::vector<Bytes>& out, const std::string& where) {
        auto node = heap.Get(hid);
        const size_t rec = cbKey + (level > 0 ? 4 : cbEnt);
        if (!node || node->empty() || node->size() % rec != 0) {
            Report("bth-format", where + ": BTH node at hid " + Hex(hid) + " unreadable");
            return false;
        }
        for (size_t off = 0; off < node->size(); off += rec) {
            if (level == 0)
                out.push_back(node->subspan(off, rec));
            else if (!CollectBth(heap, U32(*node, off + cbKey), level - 1, cbKey, cbEnt, out,
                                 where))
                return false;
        }
        return true;
    }

    // An HNID: 0 (no value), a HID into the heap, or the NID of a subnode.
    std::optional<std::vector<uint8_t>> ResolveHnid(const Heap& heap, const SubnodeMap& subs,
                                                    uint32_t hnid, const std::string& where) {
        if (hnid == 0) return std::vector<uint8_t>{};
        if ((hnid & 0x1F) == 0) {
            if (auto v = heap.Get(hnid)) return std::vector<uint8_t>(v->begin(), v->end());
            Report("dangling-hnid", where + ": hid " + Hex(hnid) + " not in the heap");
            return std::nullopt;
        }
        auto it = subs.find(hnid);
        if (it == subs.end()) {
            Report("dangling-hnid", where + ": subnode " + Hex(hnid) + " missing");
            return std::nullopt;
        }
        if (auto s = Stream(it->second.bidData)) return s;
        Report("dangling-hnid", where + ": subnode " + Hex(hnid) + " unreadable");
        return std::nullopt;
    }

    // PC record (8 bytes): wPropId u16, wPropType u16, dwValueHnid u32.
    std::optional<PropertyMap> ReadPc(const Heap& heap, const SubnodeMap& subs,
                                      const std::string& where) {
        auto records = ReadBth(heap, heap.userRoot, 2, 6, where);
        if (!records) return std::nullopt;
        PropertyMap props;
        for (Bytes r : *records) {
            Property p;
            const uint16_t id = U16(r, 0);
            p.type = U16(r, 2);
            p.raw = U32(r, 4);
            const std::string at = where + " property " + Hex(id);
            if (p.type == 0x000B && p.raw > 1) Report("pc-value", at + ": boolean " + Hex(p.raw));
            if (!IsInlineType(p.type)) {
                if (!IsVariableType(p.type) && FixedHnidSize(p.type) == 0) {
                    Report("pc-value", at + ": unknown type " + Hex(p.type));
                    continue;
                }
                auto v = ResolveHnid(heap, subs, p.raw, at);
                if (!v) continue;
                p.bytes = std::move(*v);
                if (FixedHnidSize(p.type) && p.bytes.size() != FixedHnidSize(p.type) &&
                    p.type != 0x0048)
                    Report("pc-value", at + ": " + std::to_string(p.bytes.size()) + " bytes");
                if (p.type == 0x001F && p.bytes.size() % 2 != 0)
                    Report("pc-value", at + ": string of odd length");
                if ((p.raw & 0x1F) != 0 && p.bytes.size() <= kHeapAllocMax)
                    Report("pc-small-subnode", at + ": small value kept in a subnode");
                if (p.type == 0x101F || p.type == 0x1102) CheckMultiValue(p.bytes, at);
            }
            props[id] = std::move(p);
        }
        return props;
    }

    // Variable-size multi-value: ulCount u32, rgulDataOffsets[ulCount] u32, data.
    void CheckMultiValue(const std::vector<uint8_t>& v, const std::string& at) {
        const Bytes b(v);
        if (b.size() < 4 || !Fits(b, 4, 4 * uint64_t{U32(b, 0)})) {
            Report("pc-value", at + ": multi-value header broken");
            return;
        }
        uint32_t prev = 4 + 4 * U32(b, 0);
        for (uint32_t i = 0; i < U32(b, 0); ++i) {
            const uint32_t off = U32(b, 4 + 4 * i);
            if (off < prev || off > b.size()) {
                Report("pc-value", at + ": multi-value offsets out of order");
                return;
            }
            prev = off;
        }
    }

    // TCINFO: bType u8 = 0x7C, cCols u8, rgib[4] u16 (end of 4/8-byte cells,
    // 2-byte cells, 1-byte cells, bitmap), hidRowIndex u32 at 10, hnidRows u32
    // at 14, hidIndex u32 at 18, TCOLDESC[cCols] at 22.
    std::optional<Table> ReadTable(const Heap& heap, const SubnodeMap& subs,
                                   const std::string& where) {
        auto info = heap.Get(heap.userRoot);
        if (!info || info->size() < 22 || (*info)[0] != 0x7C ||
            info->size() != 22 + 8 * size_t{(*info)[1]}) {
            Report("tc-format", where + ": bad TCINFO");
            return std::nullopt;
        }
        const Bytes ti = *info;
        Table table;
        const uint8_t cCols = ti[1];
        const uint16_t end4 = U16(ti, 2), end2 = U16(ti, 4), end1 = U16(ti, 6), endBm = U16(ti, 8);
        table.rowSize = endBm;
        table.cebOffset = end1;
        if (!(end4 <= end2 && end2 <= end1 && end1 <= endBm) || endBm - end1 != (cCols + 7) / 8) {
            Report("tc-format", where + ": rgib " + std::to_string(end4) + "/" +
                                    std::to_string(end2) + "/" + std::to_string(end1) + "/" +
                                    std::to_string(endBm));
            return std::nullopt;
        }
        std::set<int> bits;
        for (size_t c = 0; c < cCols; ++c) {
            const Bytes d = ti.subspan(22 + 8 * c, 8);
            Column col{U32(d, 0), U16(d, 4), d[6], d[7]};
            if (c > 0 && col.tag <= table.columns.back().tag)
                Report("tc-columns", where + ": columns not sorted by tag");
            if (col.ibData + col.cbData > end1 || col.iBit >= cCols ||
                !bits.insert(col.iBit).second)
                Report("tc-columns", where + ": column " + Hex(col.tag) + " misplaced");
            table.columns.push_back(col);
        }
        const Column* rowId = table.Find(0x67F20003);
        if (!rowId || rowId->ibData != 0 || rowId->cbData != 4)
            Report("tc-columns", where + ": no row-id column at offset 0");

        auto index = ReadBth(heap, U32(ti, 10), 4, 4, where + " row index");
        if (!index) return std::nullopt;
        const uint32_t hnidRows = U32(ti, 14);
        std::vector<Bytes> matrix;
        if (hnidRows == 0) {
        } else if ((hnidRows & 0x1F) == 0) {
            auto m = heap.Get(hnidRows);
            if (!m || endBm == 0 || m->size() % endBm != 0) {
                Report("tc-rows", where + ": row matrix in the heap unreadable");
                return std::nullopt;
            }
            for (size_t off = 0; off < m->size(); off += endBm)
                matrix.push_back(m->subspan(off, endBm));
        } else {
            auto it = subs.find(hnidRows);
            auto parts = it == subs.end() ? std::nullopt : DataBlocks(it->second.bidData);
            if (!parts || endBm == 0) {
                Report("dangling-hnid", where + ": row matrix subnode " + Hex(hnidRows));
                return std::nullopt;
            }
            const size_t perBlock = kMaxBlockData / endBm;
            for (size_t p = 0; p < parts->size(); ++p) {
                const Bytes b = (*parts)[p];
                const bool last = p + 1 == parts->size();
                if ((!last && b.size() != kMaxBlockData) || (last && b.size() % endBm != 0))
                    Report("tc-rows", where + ": row matrix block " + std::to_string(p) +
                                          " holds " + std::to_string(b.size()) + " bytes");
                const size_t n = last ? b.size() / endBm : perBlock;
                for (size_t r = 0; r < n && (r + 1) * endBm <= b.size(); ++r)
                    matrix.push_back(b.subspan(r * endBm, endBm));
            }
        }
        if (matrix.size() != index->size()) {
            Report("tc-rows", where + ": " + std::to_string(index->size()) +
                                  " rows indexed, matrix holds " + std::to_string(matrix.size()));
            return std::nullopt;
        }
        table.rows.resize(matrix.size());
        std::vector<bool> seen(matrix.size());
        for (Bytes rec : *index) {
            const uint32_t id = U32(rec, 0), pos = U32(rec, 4);
            if (pos >= matrix.size() || seen[pos] || U32(matrix[pos], 0) != id) {
                Report("tc-rows", where + ": row index entry " + Hex(id) + " -> " +
                                      std::to_string(pos) + " does not match the matrix");
                return std::nullopt;
            }
            seen[pos] = true;
            table.rows[pos] = matrix[pos];
        }
        for (size_t r = 0; r < table.rows.size(); ++r)
            for (const Column& c : table.columns)
                if (IsVariableType(static_cast<uint16_t>(c.tag & 0xFFFF)) && c.cbData == 4 &&
                    (table.rows[r][end1 + c.iBit / 8] & (0x80 >> (c.iBit % 8))))
                    ResolveHnid(heap, subs, U32(table.rows[r], c.ibData),
                                where + " row " + std::to_string(r) + " column " + Hex(c.tag));
        return table;
    }

    struct Object {
        std::optional<PropertyMap> pc;
        std::optional<Table> tc;
    };

    // Reads a node (or subnode) that holds a heap, and the heap objects among
    // its subnodes.
    Object ReadObject(uint64_t nid, uint64_t bidData, uint64_t bidSub, const std::string& where) {
        Object obj;
        if (bidData == 0) return obj;
        auto subs = Subnodes(bidSub);
        if (!subs) {
            Report("subnode-format", where + ": subnode tree unreadable");
            return obj;
        }
        auto heap = ParseHeap(bidData, where);
        if (!heap) return obj;
        if (heap->clientSig == 0xBC)
            obj.pc = ReadPc(*heap, *subs, where);
        else if (heap->clientSig == 0x7C)
            obj.tc = ReadTable(*heap, *subs, where);
        // 0xB5 is a bare BTH; 0x6C, 0x8C, 0x9C, 0xA5, 0xAC and 0xCC are
        // reserved for Outlook's own heaps, which this checker does not read.
        else if (heap->clientSig != 0xB5 && heap->clientSig != 0x6C && heap->clientSig != 0x8C &&
                 heap->clientSig != 0x9C && heap->clientSig != 0xA5 && heap->clientSig != 0xAC &&
                 heap->clientSig != 0xCC)
            Report("heap-format", where + ": client signature " + Hex(heap->clientSig));
        for (const auto& [snid, sub] : *subs) {
            const uint64_t type = snid & 0x1F;
            if (type == 0x05 || type == 0x11 || type == 0x12 || type == 0x04)
                ReadObject(snid, sub.bidData, sub.bidSub, where + "/" + Hex(snid));
        }
        (void)nid;
        return obj;
    }

    static bool HoldsHeap(uint64_t nid) {
        const uint64_t type = nid & 0x1F;
        if (type == 0x1F) return false;
        if (type == 0x01) return nid == 0x21 || nid == 0x61;
        return true;
    }

    // NAMEID: dwPropertyID u32, (wGuid << 1 | N) u16, wPropIdx u16.
    void CheckNameMap(const PropertyMap& map) {
        for (int id : {0x0001, 0x0002, 0x0003, 0x0004})
            if (!map.count(static_cast<uint16_t>(id)))
                Report("namemap", "property " + Hex(id) + " missing");
        if (!map.count(0x0001) || !map.count(0x0002) || !map.count(0x0003) || !map.count(0x0004))
            return;
        const uint32_t buckets = map.at(0x0001).raw;
        const Bytes guids(map.at(0x0002).bytes), entries(map.at(0x0003).bytes),
            strings(map.at(0x0004).bytes);
        if (buckets == 0 || entries.empty() || entries.size() % 8 != 0 || guids.empty() ||
            guids.size() % 16 != 0) {
            Report("namemap", "bucket count " + std::to_string(buckets) + ", entry stream " +
                                  std::to_string(entries.size()) + " bytes, GUID stream " +
                                  std::to_string(guids.size()) + " bytes");
            return;
        }
        std::map<uint32_t, std::multiset<uint64_t>> expected;
        for (size_t i = 0; i < entries.size() / 8; ++i) {
            uint32_t key = U32(entries, 8 * i);
            const uint16_t guidN = U16(entries, 8 * i + 4);
            const uint16_t idx = U16(entries, 8 * i + 6);
            const std::string at = "name entry " + std::to_string(i);
            if (idx != i) Report("namemap", at + ": wPropIdx " + std::to_string(idx));
            if ((guidN >> 1) >= 3 && (guidN >> 1) - 3u >= guids.size() / 16)
                Report("namemap", at + ": GUID index " + std::to_string(guidN >> 1));
            if (guidN & 1) {
                if (!Fits(strings, key, 4) ||
                    !Fits(strings, uint64_t{key} + 4, U32(strings, key))) {
                    Report("namemap", at + ": string offset " + Hex(key));
                    continue;
                }
                if (key % 4 != 0)
                    Report("namemap-string-align", at + ": string offset " + Hex(key));
                key = PstCrc(strings.subspan(key + 4, U32(strings, key)));
            }
            const uint64_t record = key | (uint64_t{guidN} << 32) | (uint64_t{idx} << 48);
            expected[(key ^ guidN) % buckets].insert(record);
        }
        for (const auto& [id, prop] : map) {
            if (id < 0x1000 || id >= 0x1000 + buckets) continue;
            const uint32_t b = id - 0x1000;
            const Bytes v(prop.bytes);
            std::multiset<uint64_t> have;
            for (size_t off = 0; off + 8 <= v.size(); off += 8)
                have.insert(U64(v, off));
            if (v.size() % 8 != 0 || have != expected[b])
                Report("namemap-bucket", "bucket " + std::to_string(b) + " holds " +
                                             std::to_string(have.size()) + " entries, expected " +
                                             std::to_string(expected[b].size()));
            expected.erase(b);
        }
        for (const auto& [b, recs] : expected)
            if (!recs.empty())
                Report("namemap-bucket", "bucket " + std::to_string(b) + " missing, " +
                                             std::to_string(recs.size()) + " entries hash to it");
    }

    void CheckMessaging() {
        std::map<uint64_t, Object> objects;
        for (const auto& [nid, node] : nodes_) {
            const uint64_t type = nid & 0x1F;
            if (type == 0x04) ++result_.stats.messages;
            if (type == 0x02 || type == 0x03 || type == 0x04) {
                if (!nodes_.count(node.parent))
                    Report("nbt-parent",
                           "node " + Hex(nid) + " has missing parent " + Hex(node.parent));
            }
            if (!HoldsHeap(nid)) continue;
            Object obj = ReadObject(nid, node.bidData, node.bidSub, "node " + Hex(nid));
            // Only folders and the name map are looked at again below.
            if (type == 0x02 || type == 0x03 || type == 0x0D || type == 0x0E || nid == 0x61)
                objects[nid] = std::move(obj);
        }
        if (!nodes_.count(0x21)) Report("store", "message store node 0x21 missing");
        if (!objects.count(0x61) || !objects[0x61].pc)
            Report("namemap", "name map node 0x61 missing or unreadable");
        else
            CheckNameMap(*objects[0x61].pc);

        std::map<uint64_t, std::set<uint64_t>> messagesOf, foldersOf;
        for (const auto& [nid, node] : nodes_) {
            const uint64_t type = nid & 0x1F;
            if (type == 0x04) messagesOf[node.parent].insert(nid);
            if ((type == 0x02 || type == 0x03) && node.parent != nid)
                foldersOf[node.parent].insert(nid);
        }
        for (const auto& [nid, node] : nodes_) {
            if ((nid & 0x1F) != 0x02) continue;
            ++result_.stats.folders;
            const std::string where = "folder " + Hex(nid);
            const uint64_t base = nid & ~uint64_t{0x1F};
            for (uint64_t t : {0x0D, 0x0E, 0x0F})
                if (!nodes_.count(base | t))
                    Report("folder-tables", where + " lacks table node " + Hex(base | t));
            const auto& pc = objects[nid].pc;
            if (!pc) {
                Report("folder", where + ": property context unreadable");
                continue;
            }
            const auto& contents = objects[base | 0x0E].tc;
            const auto& hierarchy = objects[base | 0x0D].tc;
            if (!pc->count(0x3602)) Report("folder-no-count", where + ": no PidTagContentCount");
            if (contents) {
                std::set<uint64_t> rowIds;
                for (size_t r = 0; r < contents->rows.size(); ++r)
                    rowIds.insert(U32(contents->rows[r], 0));
                if (pc->count(0x3602) && pc->at(0x3602).raw != contents->rows.size())
                    Report("folder-count",
                           where + ": PidTagContentCount " + std::to_string(pc->at(0x3602).raw) +
                               ", contents rows " + std::to_string(contents->rows.size()));
                if (rowIds != messagesOf[nid])
                    Report("folder-contents",
                           where + ": contents rows " + std::to_string(rowIds.size()) +
                               " differ from its " + std::to_string(messagesOf[nid].size()) +
                               " messages");
            }
            if (hierarchy) {
                std::set<uint64_t> rowIds;
                for (size_t r = 0; r < hierarchy->rows.size(); ++r) {
                    const uint64_t child = U32(hierarchy->rows[r], 0);
                    rowIds.insert(child);
                    auto count = hierarchy->Cell32(r, 0x36020003);
                    const auto& childPc = objects[child].pc;
                    if (count && childPc && childPc->count(0x3602) &&
                        childPc->at(0x3602).raw != *count)
                        Report("folder-count", where + ": hierarchy row of " + Hex(child) +
                                                   " says " + std::to_string(*count) + " items");
                }
                if (rowIds != foldersOf[nid])
                    Report("folder-hierarchy",
                           where + ": hierarchy rows " + std::to_string(rowIds.size()) +
                               " differ from its " + std::to_string(foldersOf[nid].size()) +
                               " child folders");
                if (pc->count(0x360A) && (pc->at(0x360A).raw != 0) != !rowIds.empty())
                    Report("folder-hierarchy", where + ": PidTagSubfolders disagrees with rows");
            }
        }
    }

    Bytes file_;
    uint8_t crypt_ = 0;
    VerifyOptions options_;
    VerifyResult result_;
    std::map<std::string, size_t> counts_;
    Header header_;
    uint64_t regions_ = 0;
    std::vector<uint32_t> owner_;
    std::vector<std::string> ownerNames_;
    std::set<uint64_t> pageBids_;
    uint64_t maxPageBid_ = 0, maxBlockBid_ = 0;
    std::map<uint64_t, BlockInfo> blocks_;
    std::map<uint64_t, NodeInfo> nodes_;
};

// Four tables: t[0] is the byte-wise table; t[k][i] is t[0][i] carried on
// through k zero bytes, so that four bytes are folded in at once. The
// verifier runs on every store the fuzzer makes, most of its time in here.
using CrcTables = std::array<std::array<uint32_t, 256>, 4>;

const CrcTables& CrcTable() {
    static const CrcTables tables = [] {
        CrcTables t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (size_t k = 1; k < t.size(); ++k)
            for (uint32_t i = 0; i < 256; ++i)
                t[k][i] = t[0][t[k - 1][i] & 0xFF] ^ (t[k - 1][i] >> 8);
        return t;
    }();
    return tables;
}

} // namespace

uint32_t PstCrc(std::span<const uint8_t> bytes) {
    const auto& t = CrcTable();
    uint32_t crc = 0;
    size_t i = 0;
    for (; i + 4 <= bytes.size(); i += 4) {
        crc ^= U32(bytes, i);
        crc =
            t[3][crc & 0xFF] ^ t[2][(crc >> 8) & 0xFF] ^ t[1][(crc >> 16) & 0xFF] ^ t[0][crc >> 24];
    }
    for (; i < bytes.size(); ++i)
        crc = t[0][(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

uint16_t PstSignature(uint64_t ib, uint64_t bid) {
    const uint32_t x = static_cast<uint32_t>(ib ^ bid);
    return static_cast<uint16_t>((x >> 16) ^ (x & 0xFFFF));
}

bool VerifyResult::Has(const std::string& check) const {
    const auto is = [&](const Problem& p) { return p.check == check; };
    return std::any_of(problems.begin(), problems.end(), is) ||
           std::any_of(notes.begin(), notes.end(), is);
}

std::string VerifyResult::Describe() const {
    std::string out;
    for (const auto& p : problems)
        out += p.check + ": " + p.detail + "\n";
    for (const auto& p : notes)
        out += "note: " + p.check + ": " + p.detail + "\n";
    return out;
}

VerifyResult VerifyPst(std::span<const uint8_t> file, const VerifyOptions& options) {
    return Verifier(file, options).Run();
}

VerifyResult VerifyPstFile(const std::string& path, const VerifyOptions& options) {
    std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
    if (!in) {
        VerifyResult r;
        r.problems.push_back({"file-open", "cannot open " + path});
        return r;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    return VerifyPst(bytes, options);
}

} // namespace velloquin::pstverify
