// Known answers, exact bytes and size limits of the store's structures, built in memory.
#include "core/LeWriter.h"
#include "core/Text.h"
#include "pst/Contact.h"
#include "pst/Crc.h"
#include "pst/Ltp.h"
#include "pst/NameMap.h"
#include "pst/Ndb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <span>
#include <string>

using namespace velloquin;
using namespace velloquin::pst;

namespace {

std::string Hex(std::span<const uint8_t> b) {
    std::string s;
    for (uint8_t c : b)
        s += "0123456789abcdef"[c >> 4], s += "0123456789abcdef"[c & 15];
    return s;
}
std::string Rep(const std::string& s, int n) {
    return n > 0 ? s + Rep(s, n - 1) : "";
}
std::string HexLe(uint64_t v, int n) {
    Bytes b(static_cast<size_t>(n));
    StoreLe(b.data(), v, n);
    return Hex(b);
}
// Offset and size of the record a heap's HNPAGEMAP lists last.
std::pair<size_t, size_t> LastAllocation(const Bytes& b) {
    const auto map = LoadLe(b.data(), 2), n = LoadLe(&b[map], 2);
    const auto start = LoadLe(&b[map + 4 + 2 * (n - 1)], 2);
    return {start, LoadLe(&b[map + 4 + 2 * n], 2) - start};
}

} // namespace

TEST(KnownAnswers, ChecksumsIdsAndValues) {
    const Bytes zeros(496, 0);
    const std::string fox = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(Crc32("123456789", 9), 0x2DFD2D88u);
    EXPECT_EQ(Crc32(zeros.data(), zeros.size()), 0u);
    EXPECT_EQ(Crc32(fox.data() + 5, fox.size() - 5, Crc32(fox.data(), 5)),
              Crc32(fox.data(), fox.size())); // the slicing path and the tail agree
    EXPECT_EQ(ComputeSig(0x4C00, 0x4), 0x4C04);
    EXPECT_EQ(ComputeSig(0x9200, 0x17D), 0x937D);
    EXPECT_EQ((std::vector{BlockTotalSize(48), BlockTotalSize(49), BlockTotalSize(8176)}),
              (std::vector<size_t>{64, 128, 8192}));
    EXPECT_EQ(RegionReservedBytes(128), 1536u); // AMap, PMap and the first FMap
    EXPECT_EQ(RegionReservedBytes(129), 512u);
    EXPECT_EQ(FileTimeFromAutomationDate(0), 109205ull * 864000000000ull); // 1899-12-30
    EXPECT_EQ(FileTimeFromAutomationDate(25569.5), 116444736000000000ull + 432000000000ull);
}

TEST(ExactBytes, HeaderPagesBlocksAndValues) {
    // bidNextP, bidNextB, dwUnique, rgnid, ibFileEof, ibAMapLast, cbAMapFree, NBT, BBT, fAMapValid
    const HeaderFields h{
        0x100,          0x104,          7, {1, 2}, RegionBase(2), RegionBase(1), 0x1000,
        {0x20, 0x4800}, {0x24, 0x4A00}, 2};
    const Bytes hdr = EncodeHeader(h);
    ASSERT_EQ(hdr.size(), 564u);
    // magic, CRC, client magic and versions; bidNextP, dwUnique, rgnid; the root's EOF, last AMap,
    // free bytes, NBT and BBT; fAMapValid; rgbFM/rgbFP; sentinel, encoding; bidNextB, CRC
    EXPECT_EQ(Hex(hdr), "2142444e" + HexLe(Crc32(&hdr[8], 471), 4) + "534d170013000101" +
                            Rep("00", 16) + HexLe(0x100, 8) + "070000000100000002000000" +
                            Rep("00", 120) + Rep("00", 12) + HexLe(RegionBase(2), 8) +
                            HexLe(RegionBase(1), 8) + HexLe(0x1000, 8) + Rep("00", 8) +
                            HexLe(0x20, 8) + HexLe(0x4800, 8) + HexLe(0x24, 8) + HexLe(0x4A00, 8) +
                            "02" + Rep("00", 7) + Rep("ff", 256) + "80000000" + HexLe(0x104, 8) +
                            HexLe(Crc32(&hdr[8], 516), 4) + Rep("00", 36));

    uint8_t nbt[512] = {}, bbt[512] = {}, index[512] = {}, amap[512] = {};
    const NbtEntry ne[2] = {{0x21, 0x4, 0, 0}, {0x122, 0x8, 0xA, 0x122}};
    EncodeNbtLeaf(nbt, ne, 2);
    SealPage(nbt, kPageNbt, 0x9200, 0x17D);
    EXPECT_EQ(Hex({nbt, 64}), "21" + Rep("00", 7) + "04" + Rep("00", 23) +
                                  "22010000000000000800000000000000" +
                                  "0a000000000000002201000000000000");
    EXPECT_EQ(Hex({nbt + 488, 24}),
              "020f20000000000081817d93" + HexLe(Crc32(nbt, 496), 4) + "7d01000000000000");
    SealPage(amap, kPageAMap, 0x4400, 0); // map pages: no signature, their own offset as bid
    EXPECT_EQ(Hex({amap + 496, 16}), "84840000" + HexLe(Crc32(amap, 496), 4) + "0044000000000000");
    const BbtEntry be{0x4, 0x4C00, 38, 2};
    EncodeBbtLeaf(bbt, &be, 1);
    EXPECT_EQ(Hex({bbt, 24}) + Hex({bbt + 488, 4}),
              "0400000000000000004c000000000000260002000000000001141800");
    const BtEntry ie{0x21, {0x20, 0x9200}};
    EncodeBtIndex(index, &ie, 1, 2);
    EXPECT_EQ(Hex({index, 24}) + Hex({index + 488, 4}),
              "21000000000000002000000000000000009200000000000001141802");
    const uint8_t data[3] = {1, 2, 3};
    EXPECT_EQ(Hex(EncodeBlock(data, 3, 0x4C00, 0x4)), "010203" + Rep("00", 45) + "0300044c" +
                                                          HexLe(Crc32(data, 3), 4) +
                                                          "0400000000000000");
    EXPECT_EQ(Hex(EncodeXBlock(1, {0x8, 0xC}, 9000)),
              "010102002823000008000000000000000c00000000000000");
    const SubnodeEntry sl{0x692, 0x10, 0};
    EXPECT_EQ(Hex(EncodeSlBlock(&sl, 1)),
              "02000100000000009206" + Rep("00", 6) + "10" + Rep("00", 15));
    EXPECT_EQ(Hex(EncodeSiBlock({{0x21, 0x12}})),
              "020101000000000021000000000000001200000000000000");
    // the search criteria node's one property 0x660B PT_LONG = 0, as Outlook writes it
    EXPECT_EQ(Hex(BuildPc({LongProp(0x660B, 0)}, [] { return 0u; }).heap.at(0)),
              "1c00ecbc2000000000000000b5020600400000000b66030000000000020000000c0014001c00");
    EXPECT_EQ(Hex(Utf8ToUtf16Le("A\xC3\xA9\xF0\x9F\x98\x80\xFF")), "4100e9003dd800deff00");
    EXPECT_EQ(Hex(OneOffEntryId("A", "SMTP", "a@b")),
              "00000000812b1fa4bea310199d6e00dd010f540200000190"
              "4100000053004d005400500000006100400062000000");
}

TEST(Limits, PropertyValuesAbove3580BytesGoToSubnodes) {
    for (size_t size : {3580u, 3581u}) {
        const EncodedPc pc =
            BuildPc({BinaryProp(0x3701, Bytes(size, 0xAB))}, [] { return 0x803Fu; });
        ASSERT_EQ(pc.heap.size(), 1u);
        // the BTH leaf's one record: wPropId, wPropType, dwValueHnid (a HID or a subnode)
        const size_t leaf = LastAllocation(pc.heap[0]).first;
        EXPECT_EQ(LoadLe(&pc.heap[0][leaf + 4], 4), size == 3580 ? MakeHid(0, 2) : 0x803Fu);
        ASSERT_EQ(pc.subnodes.size(), size == 3580 ? 0u : 1u);
        EXPECT_TRUE(size == 3580 || pc.subnodes[0].data == Bytes(3581, 0xAB));
    }
}

TEST(Limits, HeapBlocksAndBthLevels) {
    HeapBuilder heap(0xB5);
    heap.Alloc(3000);
    EXPECT_EQ(heap.Alloc(3000), MakeHid(0, 2));
    EXPECT_EQ(heap.Alloc(3000), MakeHid(1, 1)); // the third does not fit block 0
    const std::vector<Bytes> blocks = heap.Finish();
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0][8], FillLevel(8176 - blocks[0].size()) | FillLevel(8176 - blocks[1].size())
                                                                     << 4);

    for (uint32_t n : {447u, 448u}) { // 8-byte records: 447 fill a 3,576-byte leaf
        HeapBuilder h(0xBC);
        LeWriter rec;
        for (uint32_t i = 0; i < n; ++i)
            rec.U32(i * 2), rec.U32(i);
        const uint8_t* hdr = h.At(BuildBth(h, 4, 4, rec.Data()));
        ASSERT_EQ(hdr[3], n == 447 ? 0 : 1) << n;
        // the root's second record: in the leaf key 2, in the index the second leaf's key 894
        const uint8_t* root = h.At(static_cast<uint32_t>(LoadLe(hdr + 4, 4)));
        EXPECT_EQ(LoadLe(root + 8, 4), n == 447 ? 2u : 894u);
    }
}

// A list writes its texts in place, ASCII widened eight bytes at a time and
// the rest by the converter: every text reads as the converter's own UTF-16,
// wherever its first other byte falls.
TEST(Values, ListTextsAreTheConvertersUtf16) {
    const std::string texts[] = {"",
                                 "A",
                                 "abcdefg",
                                 "abcdefgh",
                                 "abcdefghi",
                                 "abcdefgh\xC3\xA9",
                                 "\xC3\xA9"
                                 "abcdefghijklmnop",
                                 "abcdefghijklmno\xF0\x9F\x98\x80xyz",
                                 "1234567\xFF"
                                 "abcdefgh", // not UTF-8: taken as Windows-1252
                                 std::string(40, 'x') + "\xE2\x82\xAC"};
    PropertyList list;
    list.Long(0x0E07, 1); // a value before the texts
    for (const std::string& t : texts)
        list.Text(0x3001, t);
    ASSERT_EQ(list.Count(), std::size(texts) + 1);
    for (size_t i = 0; i < std::size(texts); ++i) {
        const PropertyList::Entry& e = list.Entries()[i + 1];
        EXPECT_EQ(e.tag, Tag(0x3001, kPtUnicode));
        EXPECT_EQ(Hex({list.Value(e), e.size}), Hex(Utf8ToUtf16Le(texts[i]))) << i;
    }
}

// A named property's id is 0x8000 plus the index of its entry in the name
// map's entry stream; a LID the map does not list has none.
TEST(Values, NamedIdsAreTheirNameMapEntries) {
    const std::vector<Property> map = NameMapProperties();
    const auto entries = std::find_if(
        map.begin(), map.end(), [](const Property& p) { return p.tag == Tag(0x0003, kPtBinary); });
    ASSERT_NE(entries, map.end());
    size_t numeric = 0;
    for (size_t at = 0; at + 8 <= entries->value.size(); at += 8) {
        const uint8_t* e = &entries->value[at];
        const auto lid = static_cast<uint16_t>(LoadLe(e, 4));
        const auto guidAndKind = LoadLe(e + 4, 2), index = LoadLe(e + 6, 2);
        if (guidAndKind == (3 << 1)) {
            EXPECT_EQ(NamedId(lid), 0x8000 + index) << lid;
            ++numeric;
        } else if (guidAndKind == (4 << 1)) {
            EXPECT_EQ(CommonNamedId(lid), 0x8000 + index) << lid;
        }
    }
    EXPECT_GT(numeric, 40u);
    for (const uint16_t unknown :
         std::initializer_list<uint16_t>{0x8000, 0x8001, 0x80FF, 0x8552, 0x9005, 0x3A06})
        EXPECT_ANY_THROW(NamedId(unknown)) << unknown;
}

// The library's names resolve to one slot each: every accepted name to its
// own field of the right kind, anything else (other spellings included) to none.
TEST(Values, EveryFieldNameHasItsOwnSlot) {
    std::map<std::pair<FieldKind, int>, std::string> taken;
    for (const std::string& name : ContactFieldNames()) {
        const auto ref = FindContactField(name);
        ASSERT_TRUE(ref) << name;
        const bool date = name == "Birthday" || name == "Anniversary";
        EXPECT_EQ(ref->kind, date ? FieldKind::Date : FieldKind::Text) << name;
        EXPECT_LT(ref->index, date ? kContactDateCount : kContactTextCount) << name;
        const auto [it, fresh] = taken.emplace(std::make_pair(ref->kind, ref->index), name);
        EXPECT_TRUE(fresh) << name << " shares a slot with " << it->second;
    }
    EXPECT_EQ(taken.size(), kContactTextCount + kContactDateCount);
    EXPECT_EQ(FindContactField("LastName")->index, size_t(ContactText::LastName));
    EXPECT_EQ(FindContactField("Anniversary")->index, size_t(ContactDate::Anniversary));
    for (const char* unknown :
         {"", "Nickname", "firstname", "FirstName ", "Birthdays", "Email4Address"})
        EXPECT_FALSE(FindContactField(unknown)) << unknown;
}

TEST(Values, FileAsAndDisplayName) {
    const struct {
        std::map<std::string, std::string, std::less<>> text;
        std::string fileAs;
        uint32_t fileAsId;
        std::string display;
    } cases[] = {
        {{{"FirstName", "Ann"}, {"LastName", "Smith"}}, "Smith, Ann", 0x8017, "Ann Smith"},
        {{{"FirstName", "Ann"}, {"FullName", "Annie"}}, "Ann", 0x8017, "Annie"},
        {{{"CompanyName", "Acme"}}, "Acme", 0x3A16, "Acme"},
        {{{"FullName", "Bob"}}, "Bob", 0x3001, "Bob"},
        // no name: the company, an e-mail or IM address, a phone number
        {{{"Email2Address", "a@b"}, {"IMAddress", "im"}}, "a@b", 0x3001, "a@b"},
        {{{"IMAddress", "live:x"}, {"HomeFaxNumber", "1"}}, "live:x", 0x3001, "live:x"},
        {{{"PagerNumber", "9"}, {"HomeFaxNumber", "1"}}, "9", 0x3001, "9"},
        {{{"Body", "only a note"}}, "", 0, ""},
    };
    for (const auto& c : cases) {
        ContactFields f;
        for (const auto& [name, value] : c.text)
            f.texts[FindContactField(name).value().index] = value;
        EXPECT_EQ(ContactFileAs(f), std::make_pair(c.fileAs, c.fileAsId)) << c.display;
        EXPECT_EQ(ContactDisplayName(f), c.display);
    }
    ContactFields initials;
    initials[ContactText::FirstName] = "Ann";
    initials[ContactText::LastName] = "\xC3\x89toile";
    initials[ContactText::Suffix] = "Jr";
    EXPECT_EQ(ContactInitials(initials), "A.\xC3\x89.");
}

// Readers that follow Outlook's habits (not the format) look for the row
// index's header at HID 0x20 and TCINFO at 0x40, whatever the table's size.
// Rows of the count column alone take 13 bytes (row id, row version,
// PidTagContentCount, the cell bitmap): 275 fit in the heap, else they go to
// a subnode, 628 to a block.
TEST(Layout, TablesPutTheRowIndexFirstAndTcinfoSecondAndTheRowsInOrOutOfTheHeap) {
    const struct {
        std::vector<uint32_t> columns;
        size_t rows;
    } cases[] = {
        {{0x3001001F, 0x36020003}, 0}, // an empty folder table
        {{0x3001001F, 0x36020003}, 1}, // one row, matrix in the heap
        {{0x36020003}, 275},
        {{0x36020003}, 276},
        {{0x36020003}, 448}, // two-level row index
        {{0x36020003}, 1300},
        {{0x0E200003, 0x3704001F}, 3000}, // texts in the heap, several heap blocks
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.rows) + " rows");
        const TableLayout t = LayoutTable(c.columns);
        std::vector<uint32_t> ids(c.rows);
        for (size_t i = 0; i < c.rows; ++i)
            ids[i] = static_cast<uint32_t>(0x200024 + 32 * i);
        const EncodedTc tc = BuildTc(
            t, ids,
            [&](size_t i, RowWriter& w) {
                if (t.Find(0x3704001F))
                    w.SetVariable(0x3704001F, Utf8ToUtf16Le("row " + std::to_string(i)));
                if (t.Find(0x36020003)) w.SetFixed(0x36020003, i + 7);
            },
            [] { return 0x803Fu; });
        const Bytes& b = tc.heap.at(0);
        // HNHDR: bSig, bClientSig, hidUserRoot
        EXPECT_EQ(Hex({b.data() + 2, 6}), "ec7c40000000");
        // HNPAGEMAP's first two allocations: 8 bytes at 12, then TCINFO
        const size_t map = LoadLe(b.data(), 2);
        ASSERT_GE(LoadLe(&b[map], 2), 2u);
        EXPECT_EQ(LoadLe(&b[map + 4], 2), 12u);
        EXPECT_EQ(LoadLe(&b[map + 6], 2), 20u);
        EXPECT_EQ(LoadLe(&b[map + 8], 2), 20u + 22 + 8 * t.columns.size());
        // BTHHEADER of 4-byte keys and values; TCINFO names it as its row index
        EXPECT_EQ(Hex({b.data() + 12, 3}), "b50404");
        EXPECT_EQ(b[15], c.rows > 447 ? 1 : 0);
        EXPECT_EQ(b[20], 0x7C);
        EXPECT_EQ(LoadLe(&b[20 + 10], 4), 0x20u);
        if (c.columns.size() > 1) continue;
        const size_t blocks = c.rows <= 275 ? 0 : (c.rows + 627) / 628;
        EXPECT_EQ(tc.matrixNid, blocks ? 0x803Fu : 0u);
        ASSERT_EQ(tc.matrix.size(), blocks);
        for (size_t i = 0; i < blocks; ++i) // whole rows a block, padded but the last
            EXPECT_EQ(tc.matrix[i].size(), i + 1 < blocks ? 8176u : (c.rows - 628 * i) * 13);
        const uint8_t* row = blocks ? tc.matrix[0].data() + 13 : &b[LastAllocation(b).first + 13];
        // the second row: id, version (left unset), count 8, bits for the id and count cells
        EXPECT_EQ(Hex({row, 13}), "440020000000000008000000a0");
    }
}

TEST(Values, AddressesAreSetAsAGroup) {
    const struct {
        std::vector<std::string> given; // whole, street, city, state, postal code, country
        std::vector<std::string> written;
    } cases[] = {
        // the reader's street line in the whole address becomes the street
        {{"1 Main St", "", "Springfield", "IL", "62701", "USA"},
         {"1 Main St\r\nSpringfield, IL 62701\r\nUSA", "1 Main St", "Springfield", "IL", "62701",
          "USA"}},
        {{"", "", "Oslo", "", "", "Norway"}, {"Oslo\r\nNorway", "", "Oslo", "", "", "Norway"}},
        {{"", "", "", "", "0150", ""}, {"0150", "", "", "", "0150", ""}},
        // a street part wins over an outdated whole address
        {{"old", "2 New Rd", "", "", "", ""}, {"2 New Rd", "2 New Rd", "", "", "", ""}},
        // several lines and no street part: kept, nothing is lost
        {{"1 Main St\r\nSpringfield", "", "", "", "", ""},
         {"1 Main St\r\nSpringfield", "", "", "", "", ""}},
        {{"", "", "", "", "", ""}, {"", "", "", "", "", ""}},
    };
    for (const auto& c : cases) {
        const auto& g = c.given;
        const ContactAddress a = ResolveAddress(g[0], g[1], g[2], g[3], g[4], g[5]);
        EXPECT_EQ((std::vector{a.whole, a.street, a.city, a.state, a.postalCode, a.country}),
                  c.written);
    }
}
