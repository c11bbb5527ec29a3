// The verifier must catch faults, so it is run on small hand-made files: a
// correct one first, then the same file with one fault each.
#include "PstVerifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace velloquin::pstcheck;

namespace {

constexpr uint64_t kRegion = 253952;

void Put16(std::vector<uint8_t>& f, size_t off, uint64_t v) {
    for (int i = 0; i < 2; ++i)
        f[off + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put32(std::vector<uint8_t>& f, size_t off, uint64_t v) {
    for (int i = 0; i < 4; ++i)
        f[off + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put64(std::vector<uint8_t>& f, size_t off, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        f[off + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Append32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void Append16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}

void FixPageCrc(std::vector<uint8_t>& f, size_t ib) {
    Put32(f, ib + 500, PstCrc(std::span(f).subspan(ib, 496)));
}

// A heap of one block whose allocations are given in order; allocation j
// (1-based) has HID j << 5. The first allocation is the user root.
std::vector<uint8_t> Heap(uint8_t clientSig, const std::vector<std::vector<uint8_t>>& allocs) {
    std::vector<uint8_t> b(12, 0);
    b[2] = 0xEC;
    b[3] = clientSig;
    Put32(b, 4, 0x20);
    std::vector<uint16_t> offsets{12};
    for (const auto& a : allocs) {
        b.insert(b.end(), a.begin(), a.end());
        offsets.push_back(static_cast<uint16_t>(b.size()));
    }
    if (b.size() % 2) b.push_back(0);
    Put16(b, 0, b.size());
    Append16(b, static_cast<uint16_t>(allocs.size()));
    Append16(b, 0);
    for (uint16_t o : offsets)
        Append16(b, o);
    return b;
}

struct Prop {
    uint16_t id, type;
    uint32_t inlineValue = 0;
    std::vector<uint8_t> bytes; // stored in the heap when type is not inline
};

// A property context: BTHHEADER, the records, then one allocation per value.
std::vector<uint8_t> Pc(std::vector<Prop> props, uint32_t danglingHid = 0) {
    std::sort(props.begin(), props.end(), [](auto& a, auto& b) { return a.id < b.id; });
    std::vector<std::vector<uint8_t>> allocs{{0xB5, 2, 6, 0, 0x40, 0, 0, 0}, {}};
    for (const auto& p : props) {
        Append16(allocs[1], p.id);
        Append16(allocs[1], p.type);
        if (p.type == 0x0003 || p.type == 0x000B) {
            Append32(allocs[1], p.inlineValue);
        } else if (p.bytes.empty()) {
            Append32(allocs[1], danglingHid);
        } else {
            allocs.push_back(p.bytes);
            Append32(allocs[1], static_cast<uint32_t>(allocs.size() << 5));
        }
    }
    return Heap(0xBC, allocs);
}

std::vector<uint8_t> NameEntry(uint32_t key, uint16_t guidN, uint16_t idx) {
    std::vector<uint8_t> v;
    Append32(v, key);
    Append16(v, guidN);
    Append16(v, idx);
    return v;
}

struct Block {
    uint64_t bid;
    std::vector<uint8_t> data;
    uint64_t ib = 0; // 0: next free place
    uint16_t cRef = 2;
};
struct Node {
    uint64_t nid, bidData, bidSub;
    uint32_t parent;
};

// A complete one-region file: header, AMap, PMap, the given blocks, then the
// NBT and BBT pages (two levels when a tree needs more than one leaf).
struct MiniPst {
    std::vector<Block> blocks;
    std::vector<Node> nodes;
    uint64_t bidNextB = 0x100;
    uint64_t bidNextP = 0x200;
    uint64_t nbtRoot = 0, bbtRoot = 0, firstNbtLeaf = 0;
    std::vector<uint8_t> file;
    std::vector<bool> used;
    uint64_t cursor = 0x4800;
    uint64_t pageBid = 0x80;

    void Use(uint64_t ib, uint64_t size) {
        for (uint64_t s = (ib - 0x4400) / 64; s < (ib + size - 0x4400 + 63) / 64; ++s)
            used[s] = true;
    }

    uint64_t WritePage(uint8_t ptype, int level, int cbEnt, int cEntMax,
                       const std::vector<std::vector<uint8_t>>& entries) {
        cursor = (cursor + 511) / 512 * 512;
        const uint64_t ib = cursor, bid = pageBid++;
        cursor += 512;
        for (size_t i = 0; i < entries.size(); ++i)
            std::copy(entries[i].begin(), entries[i].end(), file.begin() + ib + i * cbEnt);
        file[ib + 488] = static_cast<uint8_t>(entries.size());
        file[ib + 489] = static_cast<uint8_t>(cEntMax);
        file[ib + 490] = static_cast<uint8_t>(cbEnt);
        file[ib + 491] = static_cast<uint8_t>(level);
        file[ib + 496] = file[ib + 497] = ptype;
        Put16(file, ib + 498, PstSignature(ib, bid));
        Put64(file, ib + 504, bid);
        FixPageCrc(file, ib);
        Use(ib, 512);
        return ib;
    }

    // Writes leaves and, above them, one level of BTENTRYs.
    uint64_t WriteTree(uint8_t ptype, int cbEnt, int perLeaf,
                       const std::vector<std::vector<uint8_t>>& entries, uint64_t* firstLeaf) {
        std::vector<std::vector<uint8_t>> parents;
        for (size_t i = 0; i < entries.size(); i += perLeaf) {
            std::vector<std::vector<uint8_t>> leaf(
                entries.begin() + i, entries.begin() + std::min(entries.size(), i + perLeaf));
            const uint64_t ib = WritePage(ptype, 0, cbEnt, perLeaf, leaf);
            if (firstLeaf && i == 0) *firstLeaf = ib;
            std::vector<uint8_t> e(24);
            std::copy(leaf[0].begin(), leaf[0].begin() + 8, e.begin());
            Put64(e, 8, U64At(ib + 504));
            Put64(e, 16, ib);
            parents.push_back(e);
        }
        if (parents.size() == 1) return (cursor - 512);
        return WritePage(ptype, 1, 24, 20, parents);
    }
    uint64_t U64At(uint64_t off) const {
        uint64_t v = 0;
        for (int i = 7; i >= 0; --i)
            v = (v << 8) | file[off + i];
        return v;
    }

    std::vector<uint8_t> Build() {
        file.assign(0x4400 + kRegion, 0);
        used.assign(kRegion / 64, false);
        // AMap and PMap pages.
        for (uint64_t ib : {0x4400u, 0x4600u}) {
            file[ib + 496] = file[ib + 497] = ib == 0x4400 ? 0x84 : 0x83;
            Put64(file, ib + 504, ib);
            Use(ib, 512);
        }
        std::fill(file.begin() + 0x4600, file.begin() + 0x4600 + 496, 0xFF);
        FixPageCrc(file, 0x4600);
        for (auto& b : blocks) {
            if (b.ib == 0) b.ib = cursor;
            const uint64_t size = (b.data.size() + 16 + 63) / 64 * 64;
            cursor = std::max(cursor, b.ib + size);
            std::copy(b.data.begin(), b.data.end(), file.begin() + b.ib);
            const uint64_t t = b.ib + size - 16;
            Put16(file, t, b.data.size());
            Put16(file, t + 2, PstSignature(b.ib, b.bid));
            Put32(file, t + 4, PstCrc(b.data));
            Put64(file, t + 8, b.bid);
            Use(b.ib, size);
        }
        std::vector<std::vector<uint8_t>> nbt, bbt;
        for (const auto& n : nodes) {
            std::vector<uint8_t> e(32);
            Put64(e, 0, n.nid);
            Put64(e, 8, n.bidData);
            Put64(e, 16, n.bidSub);
            Put32(e, 24, n.parent);
            nbt.push_back(e);
        }
        for (const auto& b : blocks) {
            std::vector<uint8_t> e(24);
            Put64(e, 0, b.bid);
            Put64(e, 8, b.ib);
            Put16(e, 16, b.data.size());
            Put16(e, 18, b.cRef);
            bbt.push_back(e);
        }
        nbtRoot = WriteTree(0x81, 32, 15, nbt, &firstNbtLeaf);
        bbtRoot = WriteTree(0x80, 24, 20, bbt, nullptr);
        uint64_t freeSlots = 0;
        for (size_t s = 0; s < used.size(); ++s) {
            if (used[s])
                file[0x4400 + s / 8] |= static_cast<uint8_t>(0x80 >> (s % 8));
            else
                ++freeSlots;
        }
        FixPageCrc(file, 0x4400);

        Put32(file, 0, 0x4E444221);
        Put16(file, 8, 0x4D53);
        Put16(file, 10, 23);
        Put16(file, 12, 19);
        file[14] = file[15] = 1;
        Put64(file, 32, std::max(bidNextP, pageBid));
        for (int t = 0; t < 32; ++t)
            Put32(file, 44 + 4 * t, 0x400);
        Put64(file, 184, file.size());
        Put64(file, 192, 0x4400);
        Put64(file, 200, freeSlots * 64);
        Put64(file, 216, U64At(nbtRoot + 504));
        Put64(file, 224, nbtRoot);
        Put64(file, 232, U64At(bbtRoot + 504));
        Put64(file, 240, bbtRoot);
        file[248] = 2;
        std::fill(file.begin() + 256, file.begin() + 512, 0xFF);
        file[512] = 0x80;
        Put64(file, 516, bidNextB);
        FixHeaderCrcs(file);
        return file;
    }

    static void FixHeaderCrcs(std::vector<uint8_t>& f) {
        Put32(f, 4, PstCrc(std::span(f).subspan(8, 471)));
        Put32(f, 524, PstCrc(std::span(f).subspan(8, 516)));
    }
};

// A store node with a PC, a name map with one numeric name in its bucket, and
// a raw node whose 8,276 bytes take an XBLOCK and two data blocks.
MiniPst GoodFile() {
    MiniPst m;
    const std::vector<uint8_t> name{'M', 0, 'i', 0, 'n', 0, 'i', 0};
    std::vector<uint8_t> guid(16, 0x42);
    const uint32_t bucket = (0x8005 ^ (3 << 1)) % 251; // 141
    m.blocks.push_back({0x4, Pc({{0x3001, 0x001F, 0, name}})});
    m.blocks.push_back({0x8, Pc({{0x0001, 0x0003, 251, {}},
                                 {0x0002, 0x0102, 0, guid},
                                 {0x0003, 0x0102, 0, NameEntry(0x8005, 3 << 1, 0)},
                                 {0x0004, 0x0102, 0, {}},
                                 {static_cast<uint16_t>(0x1000 + bucket), 0x0102, 0,
                                  NameEntry(0x8005, 3 << 1, 0)}})});
    m.blocks.push_back({0xC, std::vector<uint8_t>(8176, 0x11)});
    m.blocks.push_back({0x10, std::vector<uint8_t>(100, 0x22)});
    std::vector<uint8_t> x{0x01, 0x01, 2, 0};
    Append32(x, 8276);
    for (uint64_t bid : {0xCu, 0x10u})
        for (int i = 0; i < 8; ++i)
            x.push_back(static_cast<uint8_t>(bid >> (8 * i)));
    m.blocks.push_back({0x16, x});
    m.nodes = {{0x21, 0x4, 0, 0}, {0x61, 0x8, 0, 0}, {0x201, 0x16, 0, 0}};
    return m;
}

std::string Checks(const VerifyResult& r) {
    std::string s;
    for (const auto& p : r.problems)
        s += p.check + " ";
    return s;
}

TEST(PstCrc, KnownAnswers) {
    const std::string digits = "123456789";
    EXPECT_EQ(PstCrc(std::span(reinterpret_cast<const uint8_t*>(digits.data()), digits.size())),
              0x2DFD2D88u);
    EXPECT_EQ(PstCrc(std::vector<uint8_t>(496, 0)), 0u);
    EXPECT_EQ(PstSignature(0x4C00, 0x4), 0x4C04);
    EXPECT_EQ(PstSignature(0x9200, 0x17D), 0x937D);
}

TEST(PstVerifier, AcceptsACorrectFile) {
    const auto file = GoodFile().Build();
    const VerifyResult r = VerifyPst(file);
    EXPECT_TRUE(r.Ok()) << r.Describe();
    EXPECT_EQ(r.stats.nodes, 3u);
    EXPECT_EQ(r.stats.blocks, 5u);
}

TEST(PstVerifier, AcceptsATwoLevelTree) {
    MiniPst m = GoodFile();
    for (uint32_t i = 0; i < 40; ++i)
        m.nodes.push_back({((0x100 + i) << 5) | 0x06, 0, 0, 0});
    std::sort(m.nodes.begin(), m.nodes.end(), [](auto& a, auto& b) { return a.nid < b.nid; });
    const VerifyResult r = VerifyPst(m.Build());
    EXPECT_TRUE(r.Ok()) << r.Describe();
    EXPECT_EQ(r.stats.nbtLevels, 2);
}

struct ByteFault {
    const char* name;
    std::function<void(MiniPst&, std::vector<uint8_t>&)> apply;
    const char* expected;
};

class ByteFaults : public testing::TestWithParam<ByteFault> {};

TEST_P(ByteFaults, AreFound) {
    MiniPst m = GoodFile();
    auto file = m.Build();
    GetParam().apply(m, file);
    const VerifyResult r = VerifyPst(file);
    EXPECT_TRUE(r.Has(GetParam().expected)) << Checks(r);
}

INSTANTIATE_TEST_SUITE_P(
    Verifier, ByteFaults,
    testing::Values(
        ByteFault{"HeaderPartialCrc", [](MiniPst&, auto& f) { f[4] ^= 1; }, "header-crc"},
        ByteFault{"HeaderFullCrcField", [](MiniPst&, auto& f) { f[300] ^= 1; }, "header-crc"},
        ByteFault{"BlockData", [](MiniPst& m, auto& f) { f[m.blocks[2].ib + 5] ^= 0x80; },
                  "block-crc"},
        ByteFault{"BlockTrailerBid", [](MiniPst& m, auto& f) { f[m.blocks[3].ib + 128 - 8] ^= 4; },
                  "block-trailer-bid"},
        ByteFault{"BlockSignature", [](MiniPst& m, auto& f) { f[m.blocks[3].ib + 128 - 14] ^= 1; },
                  "block-signature"},
        ByteFault{"BlockTrailerCb", [](MiniPst& m, auto& f) { f[m.blocks[3].ib + 128 - 16] = 99; },
                  "block-trailer-cb"},
        ByteFault{"PageCrc", [](MiniPst& m, auto& f) { f[m.nbtRoot + 500] ^= 1; }, "page-crc"},
        ByteFault{"PagePayload", [](MiniPst& m, auto& f) { f[m.bbtRoot + 8] ^= 1; }, "page-crc"},
        ByteFault{"PageTrailerBid",
                  [](MiniPst& m, auto& f) {
                      f[m.bbtRoot + 504] ^= 0x10;
                      Put16(f, m.bbtRoot + 498, PstSignature(m.bbtRoot, m.U64At(m.bbtRoot + 504)));
                  },
                  "page-bid"},
        ByteFault{"PageType", [](MiniPst& m, auto& f) { f[m.nbtRoot + 497] = 0x80; }, "page-type"},
        ByteFault{"AMapBitCleared",
                  [](MiniPst& m, auto& f) {
                      const uint64_t slot = (m.blocks[3].ib - 0x4400) / 64;
                      f[0x4400 + slot / 8] &= static_cast<uint8_t>(~(0x80 >> (slot % 8)));
                      FixPageCrc(f, 0x4400);
                  },
                  "amap-missing"},
        ByteFault{"AMapBitLeaked",
                  [](MiniPst&, auto& f) {
                      f[0x4400 + 400] = 0x01;
                      FixPageCrc(f, 0x4400);
                  },
                  "amap-extra"},
        ByteFault{"FreeCount",
                  [](MiniPst&, auto& f) {
                      f[200] ^= 0x40;
                      MiniPst::FixHeaderCrcs(f);
                  },
                  "amap-free-count"},
        ByteFault{"PMapContent",
                  [](MiniPst&, auto& f) {
                      f[0x4600 + 7] = 0;
                      FixPageCrc(f, 0x4600);
                  },
                  "pmap-content"},
        ByteFault{"FileEof",
                  [](MiniPst&, auto& f) {
                      Put64(f, 184, f.size() + kRegion);
                      MiniPst::FixHeaderCrcs(f);
                  },
                  "header-eof"},
        ByteFault{"AMapLast",
                  [](MiniPst&, auto& f) {
                      Put64(f, 192, 0x4600);
                      MiniPst::FixHeaderCrcs(f);
                  },
                  "header-amap-last"},
        ByteFault{"TrailingBytes", [](MiniPst&, auto& f) { f.resize(f.size() + 100, 0); },
                  "header-eof"},
        ByteFault{"NameMapBucket",
                  [](MiniPst& m, auto& f) {
                      // The last allocation of the name map's heap is the bucket.
                      const uint64_t ib = m.blocks[1].ib;
                      const uint16_t hnpm = static_cast<uint16_t>(f[ib] | f[ib + 1] << 8);
                      f[hnpm + ib - 2] ^= 1; // last byte of the bucket: wPropIdx
                      const auto data = std::span(f).subspan(ib, m.blocks[1].data.size());
                      const uint64_t trailer = ib + (data.size() + 16 + 63) / 64 * 64 - 16;
                      Put32(f, trailer + 4, PstCrc(data));
                  },
                  "namemap-bucket"}),
    [](const testing::TestParamInfo<ByteFault>& p) { return p.param.name; });

struct LayoutFault {
    const char* name;
    std::function<void(MiniPst&)> apply;
    const char* expected;
};

class LayoutFaults : public testing::TestWithParam<LayoutFault> {};

// Faults built into an otherwise consistent file: every CRC is right, so only
// the structure itself can give them away.
TEST_P(LayoutFaults, AreFound) {
    MiniPst m = GoodFile();
    GetParam().apply(m);
    const VerifyResult r = VerifyPst(m.Build());
    EXPECT_TRUE(r.Has(GetParam().expected)) << Checks(r);
}

INSTANTIATE_TEST_SUITE_P(
    Verifier, LayoutFaults,
    testing::Values(
        LayoutFault{"MisalignedBlock", [](MiniPst& m) { m.blocks[3].ib = 0x10000 + 32; },
                    "block-align"},
        LayoutFault{"OverlappingBlocks",
                    [](MiniPst& m) { m.blocks[3].ib = m.blocks[0].ib = 0x10000; }, "overlap"},
        LayoutFault{"BlockInMapPage", [](MiniPst& m) { m.blocks[3].ib = 0x4600; }, "overlap"},
        LayoutFault{"RefCountLow", [](MiniPst& m) { m.blocks[2].cRef = 1; }, "block-cref"},
        LayoutFault{"RefCountHigh", [](MiniPst& m) { m.blocks[4].cRef = 3; }, "block-cref"},
        LayoutFault{"DanglingBid", [](MiniPst& m) { m.nodes[0].bidData = 0x40; }, "dangling-bid"},
        LayoutFault{"OrphanBlock",
                    [](MiniPst& m) {
                        m.blocks.push_back({0x20, std::vector<uint8_t>(10), 0, 1});
                    },
                    "orphan-block"},
        LayoutFault{"UnsortedNodes", [](MiniPst& m) { std::swap(m.nodes[0], m.nodes[1]); },
                    "btree-order"},
        LayoutFault{"BlockCounter", [](MiniPst& m) { m.bidNextB = 0x10; }, "counter-bid"},
        LayoutFault{"NidCounter",
                    [](MiniPst& m) {
                        m.nodes.push_back({0x8022, 0, 0, 0});
                    },
                    "counter-nid"},
        LayoutFault{"XBlockTotal", [](MiniPst& m) { m.blocks[4].data[4] ^= 1; }, "xblock-total"},
        LayoutFault{"DataBlockAsSubnodeTree", [](MiniPst& m) { m.nodes[2].bidSub = 0x10; },
                    "block-role"},
        LayoutFault{"DanglingHid",
                    [](MiniPst& m) {
                        m.blocks[0].data = Pc({{0x3001, 0x001F, 0, {}}}, 0x100);
                    },
                    "dangling-hnid"},
        LayoutFault{"MissingBucket",
                    [](MiniPst& m) {
                        m.blocks[1].data = Pc({{0x0001, 0x0003, 251, {}},
                                               {0x0002, 0x0102, 0, std::vector<uint8_t>(16)},
                                               {0x0003, 0x0102, 0, NameEntry(0x8005, 6, 0)},
                                               {0x0004, 0x0102, 0, {}}});
                    },
                    "namemap-bucket"},
        LayoutFault{"KeyOutsideParentRange",
                    [](MiniPst& m) {
                        for (uint32_t i = 0; i < 20; ++i)
                            m.nodes.push_back({((0x100 + i) << 5) | 0x06, 0, 0, 0});
                        std::sort(m.nodes.begin(), m.nodes.end(),
                                  [](auto& a, auto& b) { return a.nid < b.nid; });
                        // The second leaf starts with a key below the last of the first.
                        std::swap(m.nodes[14], m.nodes[15]);
                    },
                    "btree-key-range"}),
    [](const testing::TestParamInfo<LayoutFault>& p) { return p.param.name; });

TEST(PstVerifier, KilledWriterOptionsAcceptTrailingBytesAndLeaks) {
    auto file = GoodFile().Build();
    file[0x4400 + 400] = 0x01;
    FixPageCrc(file, 0x4400);
    file.resize(file.size() + 4096, 0xAB);
    VerifyOptions killed;
    killed.allowTrailingBytes = killed.allowLeakedSpace = true;
    const VerifyResult r = VerifyPst(file, killed);
    EXPECT_FALSE(r.Has("header-eof")) << r.Describe();
    EXPECT_FALSE(r.Has("amap-extra")) << r.Describe();
    EXPECT_FALSE(VerifyPst(file).Ok());
}

} // namespace
