// The verifier must find faults: a store from our writer passes, and the same
// file with one fault each must not. Faults in the structure come with their
// page, block or header sealed again, so that only the structure gives them
// away.
#include "StoreTesting.h"
#include "core/LeWriter.h"
#include "tools/pstverify/PstVerifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using namespace velloquin;
using pstverify::PstCrc;

namespace {

struct File {
    std::vector<uint8_t> b;
    uint64_t U(uint64_t at, int n) const { return velloquin::LoadLe(&b[at], n); }
    void Set(uint64_t at, int n, uint64_t v) { velloquin::StoreLe(&b[at], v, n); }
    void SealHeader() { Set(4, 4, PstCrc({&b[8], 471})), Set(524, 4, PstCrc({&b[8], 516})); }
    void SealPage(uint64_t ib) { // B-tree pages are signed with their offset and bid
        const bool signedPage = b[ib + 496] < 0x82 || b[ib + 496] == 0x86; // and the DList
        Set(ib + 498, 2, signedPage ? pstverify::PstSignature(ib, U(ib + 504, 8)) : 0);
        Set(ib + 500, 4, PstCrc({&b[ib], 496}));
    }
    void SealBlock(uint64_t bbtEntry) {
        const uint64_t ib = U(bbtEntry + 8, 8), cb = U(bbtEntry + 16, 2);
        Set((ib + cb + 16 + 63) / 64 * 64 - 12, 4, PstCrc({&b[ib], cb}));
    }
    // Offset of a key's entry in the leaf of a B-tree (NBT nid, BBT bid).
    uint64_t Entry(bool bbt, uint64_t key) const {
        for (uint64_t page = U(bbt ? 240 : 224, 8);;) {
            uint64_t i = 0, n = b[page + 488], size = b[page + 490];
            while (i + 1 < n && U(page + (i + 1) * size, 8) <= key)
                ++i;
            if (b[page + 491] == 0) return page + i * size;
            page = U(page + i * size + 16, 8);
        }
    }
    // The last place of `bytes` in a file range.
    uint64_t Find(uint64_t from, uint64_t size, std::vector<uint8_t> bytes) const {
        const auto begin = b.begin() + static_cast<ptrdiff_t>(from);
        return from +
               static_cast<uint64_t>(std::find_end(begin, begin + static_cast<ptrdiff_t>(size),
                                                   bytes.begin(), bytes.end()) -
                                     begin);
    }
};

// An empty store's folders and one contact whose picture takes an XBLOCK and
// whose body a subnode.
const File& GoodFile() {
    static const File file = [] {
        pstcheck::TempDir dir;
        const pstcheck::TestContact c{
            .text = {{"FirstName", "Ann"}, {"Body", std::string(4000, 'b')}},
            .picture = pstcheck::PictureBytes(9000, 1)};
        pstcheck::WriteStore(dir / "good.pst", {c}, dir);
        std::ifstream in(dir / "good.pst", std::ios::binary);
        return File{{std::istreambuf_iterator<char>(in), {}}};
    }();
    return file;
}

TEST(PstVerifier, AcceptsOurStoreAndFindsEverySingleFault) {
    const File& g = GoodFile();
    const pstverify::VerifyResult good = pstverify::VerifyPst(g.b);
    ASSERT_TRUE(good.Ok()) << good.Describe();
    ASSERT_EQ(good.stats.nbtLevels, 2);
    const uint64_t nbt = g.U(224, 8), bbt = g.U(240, 8), amap = g.U(192, 8); // the last AMap
    uint64_t leaf = bbt; // the first BBT leaf, its first block and that block's trailer
    while (g.b[leaf + 491])
        leaf = g.U(leaf + 16, 8);
    const uint64_t block = g.U(leaf + 8, 8),
                   trailer = (block + g.U(leaf + 16, 2) + 79) / 64 * 64 - 16;
    // the message store's NBT entry, its block and the name map's; the picture's XBLOCK
    const uint64_t store = g.Entry(false, 0x21), storePage = store & ~511ull;
    const uint64_t storeBlock = g.Entry(true, g.U(store + 8, 8));
    const uint64_t map = g.Entry(true, g.U(g.Entry(false, 0x61) + 8, 8));
    const uint64_t xblock = g.Find(0, g.b.size(), {1, 1, 2, 0, 0x28, 0x23, 0, 0}); // 9,000 bytes
    // the store's display name (0x3001, PT_UNICODE), and FileUnder (0x8005) in its hash bucket
    const uint64_t name =
        g.Find(g.U(storeBlock + 8, 8), g.U(storeBlock + 16, 2), {1, 0x30, 0x1F, 0});
    const uint64_t bucket = g.Find(g.U(map + 8, 8), g.U(map + 16, 2), {5, 0x80, 0, 0, 6, 0});
    constexpr uint64_t kHeader = 1,
                       kBlock = 1ull << 63; // sealed again: the header, a page or a block
    const struct {
        const char* check;
        uint64_t at;
        int n;
        uint64_t value, seal;
    } faults[] = {
        {"header-crc", 4, 1, g.b[4] ^ 1u, 0},
        {"header-crc", 300, 1, g.b[300] ^ 1u, 0}, // only in the full CRC's range
        {"block-crc", block + 5, 1, g.b[block + 5] ^ 1u, 0},
        {"block-trailer-cb", trailer, 1, g.b[trailer] ^ 1u, 0},
        {"block-signature", trailer + 2, 1, g.b[trailer + 2] ^ 1u, 0},
        {"block-trailer-bid", trailer + 8, 1, g.b[trailer + 8] ^ 4u, 0},
        {"page-crc", bbt + 8, 1, g.b[bbt + 8] ^ 1u, 0},
        {"page-type", nbt + 497, 1, 0x80, 0},
        {"page-bid", bbt + 504, 1, g.b[bbt + 504] ^ 8u, bbt},
        {"header-eof", 184, 8, g.U(184, 8) + 253952, kHeader},
        {"header-amap-last", 192, 8, 0x4600, kHeader},
        {"amap-free-count", 200, 8, g.U(200, 8) + 64, kHeader},
        {"counter-bid", 516, 8, 4, kHeader},
        {"counter-nid", 44 + 4 * 4, 4, 0, kHeader}, // normal messages
        {"amap-missing", 0x4400 + (block - 0x4400) / 512, 1, 0, 0x4400},
        {"amap-extra", amap + 495, 1, 1, amap},
        {"pmap-content", 0x4600 + 7, 1, 0, 0x4600},
        {"block-align", leaf + 8, 8, block + 32, leaf},
        {"overlap", leaf + 24 + 8, 8, block, leaf},
        {"overlap", leaf + 8, 8, 0x4600, leaf},
        {"block-cref", leaf + 18, 2, g.U(leaf + 18, 2) - 1, leaf},
        {"btree-order", leaf, 8, g.U(leaf + 24, 8), leaf},
        {"btree-key-range", nbt + 24, 8, g.U(nbt + 24, 8) + 1, nbt}, // the second leaf's key
        {"dangling-bid", store + 8, 8, 0x7FF0, storePage},
        {"orphan-block", store + 8, 8, 0, storePage},
        {"block-role", store + 16, 8, g.U(store + 8, 8), storePage},
        {"xblock-total", xblock + 4, 1, g.b[xblock + 4] ^ 1u,
         kBlock | g.Entry(true, g.U(xblock + 56, 8))},
        {"dangling-hnid", name + 5, 1, 0x0F, kBlock | storeBlock},
        {"namemap-bucket", bucket + 6, 1, g.b[bucket + 6] ^ 1u, kBlock | map}, // another wPropIdx
        {"dlist-bid", 0x4200 + 504, 8, g.U(32, 8) - 1, 0x4200}, // Outlook keeps it at bidNextP
    };
    for (const auto& fault : faults) {
        File f = g;
        f.Set(fault.at, fault.n, fault.value);
        if (fault.seal == kHeader) f.SealHeader();
        if (fault.seal > kHeader)
            fault.seal& kBlock ? f.SealBlock(fault.seal & ~kBlock) : f.SealPage(fault.seal);
        const pstverify::VerifyResult r = pstverify::VerifyPst(f.b);
        EXPECT_TRUE(r.Has(fault.check)) << fault.check << " at " << fault.at << ":\n"
                                        << r.Describe();
    }
    // What a killed writer may leave: bytes past the end and, counted as used,
    // space that nothing uses. Allowed only when asked for.
    File f = g;
    f.Set(amap + 495, 1, 1), f.SealPage(amap), f.Set(200, 8, g.U(200, 8) - 64), f.SealHeader();
    f.b.resize(f.b.size() + 4096, 0xAB);
    EXPECT_FALSE(pstverify::VerifyPst(f.b).Ok());
    EXPECT_TRUE(pstverify::VerifyPst(f.b, {true, true, true}).Ok());
}

// Stores that Outlook wrote are valid by definition: compressible
// encryption, separate page and block counters, stale bytes in padding and
// unused slots, leaked space, nids with a used high half in subnode entries,
// Outlook's private heaps. At most notes, never a problem.
TEST(PstVerifier, AcceptsEveryStoreOutlookWrote) {
    const std::string dir = PSTCHECK_OUTLOOK_STORES;
    for (const char* name : {"empty.pst", "dist-list.pst", "passworded.pst", "support.pst"}) {
        const pstverify::VerifyResult r = pstverify::VerifyPstFile(dir + "/" + name);
        EXPECT_TRUE(r.Ok()) << name << ":\n" << r.Describe();
        EXPECT_GE(r.stats.folders, 5u) << name; // the messaging layer was read, not skipped
    }
}

} // namespace
