// Known answers and exact bytes of the store's structures, built in memory.
#include "pst/ByteSink.h"
#include "pst/Contact.h"
#include "pst/Crc.h"
#include "pst/Ltp.h"
#include "pst/NameMap.h"
#include "pst/Ndb.h"

#include <gtest/gtest.h>

#include <string>

using namespace velloquin::pst;

namespace {

std::string Hex(const uint8_t* p, size_t n) {
    static const char* h = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += h[p[i] >> 4];
        s += h[p[i] & 15];
    }
    return s;
}
std::string Hex(const Bytes& b) {
    return Hex(b.data(), b.size());
}
uint64_t Le(const Bytes& b, size_t off, int n) {
    return LoadLe(&b[off], n);
}

} // namespace

TEST(Checksums, KnownAnswers) {
    EXPECT_EQ(Crc32("123456789", 9), 0x2DFD2D88u);
    const Bytes zeros(496, 0);
    EXPECT_EQ(Crc32(zeros.data(), zeros.size()), 0u);
    const Bytes keywords = Utf16Le("Keywords");
    EXPECT_EQ(Crc32(keywords.data(), keywords.size()), 0x2EDA4D3Bu);
    // running value over pieces equals one pass (the slicing path and the tail)
    const std::string text = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(Crc32(text.data() + 5, text.size() - 5, Crc32(text.data(), 5)),
              Crc32(text.data(), text.size()));
    EXPECT_EQ(ComputeSig(0x4C00, 0x4), 0x4C04);
    EXPECT_EQ(ComputeSig(0x9200, 0x17D), 0x937D);
}

TEST(Identifiers, NidHidAndBid) {
    EXPECT_EQ(MakeNid(kNidNormalMessage, 0x10001), 0x200024u);
    EXPECT_EQ(MakeNid(kNidNormalFolder, NidIndex(0x8082)), 0x8082u);
    EXPECT_EQ(MakeNid(kNidHierarchyTable, NidIndex(0x8082)), 0x808Du);
    EXPECT_EQ(MakeHid(0, 1), 0x20u);
    EXPECT_EQ(MakeHid(1, 3), 0x10060u);
    EXPECT_TRUE(IsInternalBid(0x132));
    EXPECT_FALSE(IsInternalBid(0x130));
    EXPECT_EQ(BlockTotalSize(0), 64u);
    EXPECT_EQ(BlockTotalSize(48), 64u);
    EXPECT_EQ(BlockTotalSize(49), 128u);
    EXPECT_EQ(BlockTotalSize(8176), 8192u);
}

TEST(Header, FieldsAndCrcs) {
    HeaderFields h;
    h.bidNextP = 0x100;
    h.bidNextB = 0x104;
    h.dwUnique = 7;
    h.rgnid.fill(0x400);
    h.ibFileEof = RegionBase(2);
    h.ibAMapLast = RegionBase(1);
    h.cbAMapFree = 0x1000;
    h.nbt = {0x20, 0x4800};
    h.bbt = {0x24, 0x4A00};
    h.fAMapValid = 2;
    const Bytes b = EncodeHeader(h);
    ASSERT_EQ(b.size(), 564u);
    EXPECT_EQ(Hex(&b[0], 4), "2142444e");
    EXPECT_EQ(Hex(&b[8], 8), "534d170013000101");
    EXPECT_EQ(Le(b, 32, 8), 0x100u);
    EXPECT_EQ(Le(b, 40, 4), 7u);
    EXPECT_EQ(Le(b, 44 + 4 * 31, 4), 0x400u);
    EXPECT_EQ(Le(b, 184, 8), RegionBase(2));
    EXPECT_EQ(Le(b, 192, 8), RegionBase(1));
    EXPECT_EQ(Le(b, 200, 8), 0x1000u);
    EXPECT_EQ(Le(b, 216, 8), 0x20u);
    EXPECT_EQ(Le(b, 224, 8), 0x4800u);
    EXPECT_EQ(Le(b, 232, 8), 0x24u);
    EXPECT_EQ(Le(b, 240, 8), 0x4A00u);
    EXPECT_EQ(b[248], 2);
    EXPECT_EQ(b[256], 0xFF);
    EXPECT_EQ(b[511], 0xFF);
    EXPECT_EQ(b[512], 0x80);
    EXPECT_EQ(b[513], 0x00);
    EXPECT_EQ(Le(b, 516, 8), 0x104u);
    EXPECT_EQ(Le(b, 4, 4), Crc32(&b[8], 471));
    EXPECT_EQ(Le(b, 524, 4), Crc32(&b[8], 516));
    for (size_t i = 528; i < 564; ++i)
        EXPECT_EQ(b[i], 0) << i;
}

TEST(Pages, TrailersOfTreeAndMapPages) {
    uint8_t page[512] = {};
    const NbtEntry e[2] = {{0x21, 0x4, 0, 0}, {0x122, 0x8, 0xA, 0x122}};
    EncodeNbtLeaf(page, e, 2);
    SealPage(page, kPageNbt, 0x9200, 0x17D);
    EXPECT_EQ(Hex(page, 32), "21000000000000000400000000000000000000000000000000000000"
                             "00000000");
    EXPECT_EQ(LoadLe(page + 32 + 24, 4), 0x122u);
    EXPECT_EQ(Hex(page + 488, 8), "020f200000000000"); // cEnt, cEntMax, cbEnt, cLevel
    EXPECT_EQ(Hex(page + 496, 4), "8181" + Hex(std::vector<uint8_t>{0x7D, 0x93}));
    EXPECT_EQ(LoadLe(page + 500, 4), Crc32(page, 496));
    EXPECT_EQ(LoadLe(page + 504, 8), 0x17Du);

    uint8_t amap[512] = {};
    amap[0] = 0xFF;
    SealPage(amap, kPageAMap, 0x4400, 0);
    EXPECT_EQ(Hex(amap + 496, 4), "84840000"); // map pages carry no signature
    EXPECT_EQ(LoadLe(amap + 504, 8), 0x4400u); // ... and their own offset as bid

    const BbtEntry be{0x4, 0x4C00, 38, 2};
    EncodeBbtLeaf(page, &be, 1);
    EXPECT_EQ(Hex(page, 24), "0400000000000000004c0000000000002600020000000000");
    EXPECT_EQ(Hex(page + 488, 4), "01141800");
    const BtEntry ie{0x21, {0x20, 0x9200}};
    EncodeBtIndex(page, &ie, 1, 2);
    EXPECT_EQ(Hex(page, 24), "210000000000000020000000000000000092000000000000");
    EXPECT_EQ(Hex(page + 488, 4), "01141802");
}

TEST(Blocks, TrailerXBlockAndSubnodeBlocks) {
    const uint8_t data[3] = {1, 2, 3};
    const Bytes b = EncodeBlock(data, 3, 0x4C00, 0x4);
    ASSERT_EQ(b.size(), 64u);
    EXPECT_EQ(Hex(&b[48], 16),
              "0300044c" +
                  Hex(std::vector<uint8_t>{static_cast<uint8_t>(Crc32(data, 3)),
                                           static_cast<uint8_t>(Crc32(data, 3) >> 8),
                                           static_cast<uint8_t>(Crc32(data, 3) >> 16),
                                           static_cast<uint8_t>(Crc32(data, 3) >> 24)}) +
                  "0400000000000000");
    EXPECT_EQ(Hex(EncodeXBlock(1, {0x8, 0xC}, 9000)), "01010200282300000800000000000000"
                                                      "0c00000000000000");
    const SubnodeEntry s{0x692, 0x10, 0};
    EXPECT_EQ(Hex(EncodeSlBlock(&s, 1)),
              "0200010000000000920600000000000010000000000000000000000000000000");
    EXPECT_EQ(Hex(EncodeSiBlock({{0x21, 0x12}})),
              "020101000000000021000000000000001200000000000000");
}

TEST(Regions, MapPagesAndFreeRuns) {
    EXPECT_EQ(RegionBase(1), 0x4400u + 253952u);
    EXPECT_EQ(RegionReservedBytes(0), 1024u); // AMap + PMap
    EXPECT_EQ(RegionReservedBytes(1), 512u);
    EXPECT_EQ(RegionReservedBytes(8), 1024u);
    EXPECT_EQ(RegionReservedBytes(128), 1536u); // + the first FMap
    EXPECT_EQ(RegionReservedBytes(129), 512u);
    EXPECT_EQ(RegionReservedBytes(624), 1536u);
    uint8_t map[496] = {};
    EXPECT_EQ(LongestFreeRun(map), 255);
    std::fill(map, map + 496, 0xFF);
    EXPECT_EQ(LongestFreeRun(map), 0);
    SetAMapBit(map, 9, false);
    SetAMapBit(map, 10, false);
    EXPECT_EQ(map[1], 0x9F); // most significant bit first
    EXPECT_EQ(LongestFreeRun(map), 2);
}

TEST(Heap, KnownAnswerPropertyContext) {
    // One property 0x660B PT_LONG = 0: the block Outlook's search criteria node has.
    const EncodedPc pc = BuildPc({LongProp(0x660B, 0)}, [] { return 0u; });
    ASSERT_EQ(pc.heap.size(), 1u);
    EXPECT_EQ(Hex(pc.heap[0]), "1c00ecbc2000000000000000b5020600400000000b660300000000000200"
                               "00000c0014001c00");
}

TEST(Heap, AllocationsSpillIntoNewBlocksWithEvenPageMaps) {
    HeapBuilder heap(0xB5);
    uint32_t last = 0;
    for (int i = 0; i < 3; ++i)
        last = heap.Alloc(3000);
    EXPECT_EQ(last, MakeHid(1, 1)); // two fit in block 0, the third starts block 1
    const uint32_t odd = heap.Alloc(7);
    EXPECT_EQ(odd, MakeHid(1, 2));
    const std::vector<Bytes> blocks = heap.Finish();
    ASSERT_EQ(blocks.size(), 2u);
    for (const Bytes& b : blocks) {
        EXPECT_LE(b.size(), 8176u);
        const auto ibHnpm = LoadLe(b.data(), 2);
        EXPECT_EQ(ibHnpm % 2, 0u);
        EXPECT_EQ(b.size(), ibHnpm + 4 + 2 * (LoadLe(&b[ibHnpm], 2) + 1));
    }
    EXPECT_EQ(LoadLe(&blocks[1][LoadLe(blocks[1].data(), 2)], 2), 2u);
    EXPECT_EQ(blocks[0][8] & 0x0F, FillLevel(8176 - blocks[0].size()));
    EXPECT_EQ(blocks[0][8] >> 4, FillLevel(8176 - blocks[1].size()));
    EXPECT_EQ(FillLevel(3584), 0);
    EXPECT_EQ(FillLevel(3583), 1);
    EXPECT_EQ(FillLevel(7), 15);
}

TEST(PropertyContext, ValuesAbove3580BytesGoToSubnodes) {
    for (size_t size : {size_t(3580), size_t(3581)}) {
        uint32_t nextNid = 0x803F;
        const EncodedPc pc =
            BuildPc({BinaryProp(0x3701, Bytes(size, 0xAB))}, [&] { return nextNid; });
        const Bytes& b = pc.heap[0];
        // record: wPropId, wPropType, dwValueHnid in the BTH leaf after the value
        const uint32_t hnid = static_cast<uint32_t>(LoadLe(&b[b.size() - 8 - 4 - 8 + 4], 4));
        if (size == 3580) {
            EXPECT_TRUE(pc.subnodes.empty());
            EXPECT_EQ(hnid, MakeHid(0, 2));
        } else {
            ASSERT_EQ(pc.subnodes.size(), 1u);
            EXPECT_EQ(pc.subnodes[0].nid, 0x803Fu);
            EXPECT_EQ(pc.subnodes[0].data.size(), 3581u);
        }
    }
}

TEST(Bth, IndexLevelAbove447Records) {
    for (size_t n : {size_t(447), size_t(448)}) {
        HeapBuilder heap(0xB5);
        ByteSink rec;
        for (uint32_t i = 0; i < n; ++i) {
            rec.U32(i * 2);
            rec.U32(i);
        }
        const uint32_t hdr = BuildBth(heap, 4, 4, rec.Data());
        const uint8_t* h = heap.At(hdr);
        EXPECT_EQ(h[0], 0xB5);
        EXPECT_EQ(h[3], n == 447 ? 0 : 1) << n;
        if (n == 448) {
            // root: two index records, keys 0 and 447*2
            const uint8_t* root = heap.At(static_cast<uint32_t>(LoadLe(h + 4, 4)));
            EXPECT_EQ(LoadLe(root, 4), 0u);
            EXPECT_EQ(LoadLe(root + 8, 4), 894u);
        }
    }
}

TEST(TableContext, RowLayoutAndExistenceBits) {
    const TableLayout t = LayoutTable({0x3001001F, 0x360A000B, 0x30080040, 0x36020003});
    ASSERT_EQ(t.columns.size(), 6u);
    // row id, row version, the time (8), count and name HNID (4), the boolean (1), bitmap (1)
    EXPECT_EQ(t.end4b, 24);
    EXPECT_EQ(t.end2b, 24);
    EXPECT_EQ(t.end1b, 25);
    EXPECT_EQ(t.rowSize, 26);
    EXPECT_EQ(t.Find(0x67F20003)->ibData, 0);
    EXPECT_EQ(t.Find(0x67F30003)->ibData, 4);
    EXPECT_EQ(t.Find(0x30080040)->ibData, 8);
    const EncodedTc tc = BuildTc(
        t, {0x8082},
        [](size_t, RowWriter& w) {
            w.SetFixed(0x67F30003, 1);
            w.SetFixed(0x360A000B, 1);
        },
        [] { return 0u; });
    ASSERT_EQ(tc.heap.size(), 1u);
    const Bytes& b = tc.heap[0];
    const uint8_t* info = &b[12]; // TCINFO is the first allocation
    EXPECT_EQ(info[0], 0x7C);
    EXPECT_EQ(info[1], 6);
    EXPECT_EQ(LoadLe(info + 8, 2), 26u);
    // the row matrix is the last allocation
    const auto ibHnpm = LoadLe(b.data(), 2);
    const auto cAlloc = LoadLe(&b[ibHnpm], 2);
    const auto rowStart = LoadLe(&b[ibHnpm + 4 + 2 * (cAlloc - 1)], 2);
    EXPECT_EQ(LoadLe(&b[rowStart], 4), 0x8082u);
    const uint8_t ceb = b[rowStart + 25];
    const uint8_t bit = t.Find(0x360A000B)->iBit;
    EXPECT_EQ(ceb, 0xC0 | (0x80 >> bit)); // row id, version, boolean
}

TEST(TableContext, RowMatrixMovesToASubnodeInWholeRowBlocks) {
    const TableLayout t = LayoutTable({0x36020003}); // 13-byte rows
    ASSERT_EQ(t.rowSize, 13);
    for (size_t rows : {size_t(275), size_t(276), size_t(1300)}) {
        std::vector<uint32_t> ids(rows);
        for (size_t i = 0; i < rows; ++i)
            ids[i] = static_cast<uint32_t>(0x200024 + 32 * i);
        const EncodedTc tc = BuildTc(
            t, ids, [](size_t, RowWriter&) {}, [] { return 0x803Fu; });
        if (rows * 13 <= 3580) {
            EXPECT_EQ(tc.matrixNid, 0u) << rows;
            continue;
        }
        EXPECT_EQ(tc.matrixNid, 0x803Fu) << rows;
        const size_t perBlock = 8176 / 13;
        ASSERT_EQ(tc.matrix.size(), (rows + perBlock - 1) / perBlock);
        for (size_t i = 0; i + 1 < tc.matrix.size(); ++i)
            EXPECT_EQ(tc.matrix[i].size(), 8176u);
        EXPECT_EQ(tc.matrix.back().size(), (rows - perBlock * (tc.matrix.size() - 1)) * 13);
    }
}

TEST(NameMap, BucketsAndStreams) {
    EXPECT_EQ(NameBucket(0x2EDA4D3B, (2 << 1) | 1), 101u); // "Keywords"
    EXPECT_EQ(NameBucket(0x8005, 3 << 1), 141u);           // FileUnder
    const std::vector<Property> props = NameMapProperties();
    const Bytes* entries = nullptr;
    size_t bucketEntries = 0;
    for (const Property& p : props) {
        if (TagId(p.tag) == 0x0003) entries = &p.value;
        if (TagId(p.tag) == 0x0004) {
            EXPECT_EQ(Hex(p.value), "10000000" + Hex(Utf16Le("Keywords")));
        }
        if (TagId(p.tag) == 0x0002) {
            EXPECT_EQ(Hex(p.value), "0420060000000000c000000000000046"); // PSETID_Address
        }
        if (TagId(p.tag) >= 0x1000 && TagId(p.tag) < 0x1000 + 251) {
            for (size_t off = 0; off < p.value.size(); off += 8) {
                const auto id = static_cast<uint32_t>(LoadLe(&p.value[off], 4));
                const auto kind = static_cast<uint16_t>(LoadLe(&p.value[off + 4], 2));
                EXPECT_EQ(NameBucket(id, kind), TagId(p.tag) - 0x1000u);
                ++bucketEntries;
            }
        }
    }
    ASSERT_NE(entries, nullptr);
    EXPECT_EQ(bucketEntries, entries->size() / 8);
    // entry i has wPropIdx i, so its property id is 0x8000 + i
    for (size_t i = 0; i < entries->size() / 8; ++i)
        EXPECT_EQ(LoadLe(&(*entries)[i * 8 + 6], 2), i);
    EXPECT_EQ(NamedId(kLidFileUnder), 0x8000);
    EXPECT_EQ(KeywordsId(), 0x8000 + entries->size() / 8 - 1);
    EXPECT_THROW(NamedId(0x8999), std::runtime_error);
}

TEST(ContactValues, DatesAndTexts) {
    EXPECT_EQ(FileTimeFromAutomationDate(0), 109205ull * 864000000000ull); // 1899-12-30
    EXPECT_EQ(FileTimeFromAutomationDate(25569), 116444736000000000ull);   // 1970-01-01
    EXPECT_EQ(FileTimeFromAutomationDate(25569.5), 116444736000000000ull + 432000000000ull);
    EXPECT_EQ(SplitCategories(" Friends, Skype ,,Work  "),
              (std::vector<std::string>{"Friends", "Skype", "Work"}));
    EXPECT_TRUE(SplitCategories(" , ").empty());
    EXPECT_EQ(Hex(Utf16Le("A\xC3\xA9\xF0\x9F\x98\x80")), "4100e9003dd800de");
    EXPECT_EQ(Hex(Utf16Le("\xFF")), "fdff"); // malformed byte, kept as a replacement
    EXPECT_EQ(Hex(OneOffEntryId("A", "SMTP", "a@b")),
              "00000000812b1fa4bea310199d6e00dd010f5402" // flags, provider uid
              "00000190"                                 // version, flags
              "41000000"                                 // "A"
              "53004d005400500000006100400062000000");
}

TEST(ContactValues, FileAsAndDisplayName) {
    ContactFields f;
    f.text = {{"FirstName", "Ann"}, {"MiddleName", "B"}, {"LastName", "Smith"}};
    EXPECT_EQ(ContactFileAs(f), (std::pair<std::string, uint32_t>{"Smith, Ann B", 0x8017}));
    EXPECT_EQ(ContactDisplayName(f), "Ann B Smith");
    f.text = {{"FirstName", "Ann"}, {"FullName", "Annie"}};
    EXPECT_EQ(ContactFileAs(f).first, "Ann");
    EXPECT_EQ(ContactDisplayName(f), "Annie");
    f.text = {{"CompanyName", "Acme"}};
    EXPECT_EQ(ContactFileAs(f), (std::pair<std::string, uint32_t>{"Acme", 0x3A16}));
    EXPECT_EQ(ContactDisplayName(f), "Acme");
    f.text = {{"FullName", "Bob"}};
    EXPECT_EQ(ContactFileAs(f).second, 0x3001u);
}
