// Lists, tables and properties layer: the heap-on-node, B-trees on the heap,
// property contexts and table contexts. Everything here encodes into memory;
// the messaging layer hands the resulting blocks to the NDB writer.
#pragma once

#include "core/LeWriter.h"

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace velloquin::pst {

// Property types used by the store.
enum PropType : uint16_t {
    kPtInt16 = 0x0002,
    kPtInt32 = 0x0003,
    kPtBool = 0x000B,
    kPtInt64 = 0x0014,
    kPtUnicode = 0x001F,
    kPtTime = 0x0040,
    kPtBinary = 0x0102,
    kPtMvInt32 = 0x1003,
    kPtMvUnicode = 0x101F,
};
constexpr uint32_t Tag(uint16_t id, uint16_t type) {
    return (uint32_t(id) << 16) | type;
}
constexpr uint16_t TagId(uint32_t tag) {
    return static_cast<uint16_t>(tag >> 16);
}
constexpr uint16_t TagType(uint32_t tag) {
    return static_cast<uint16_t>(tag & 0xFFFF);
}
// Types whose value sits in the 4-byte slot of a PC record.
bool IsInlineType(uint16_t type);
// Size of a table cell for a column of this type.
uint8_t CellSize(uint16_t type);

constexpr size_t kMaxHeapAlloc = 3580;
constexpr size_t kMaxHeapBlock = 8176;

// HID (32 bits): bits 0-4 zero, bits 5-15 allocation index (1-based),
// bits 16-31 heap block index.
constexpr uint32_t MakeHid(uint32_t block, uint32_t index) {
    return (block << 16) | (index << 5);
}

// Heap-on-node. Block 0 starts with HNHDR (ibHnpm 2, bSig 0xEC 1,
// bClientSig 1, hidUserRoot 4, rgbFillLevel 4); block 8 and every 128th after
// it with HNBITMAPHDR (ibHnpm 2, rgbFillLevel 64); the others with
// HNPAGEHDR (ibHnpm 2). The HNPAGEMAP at ibHnpm: cAlloc 2, cFree 2,
// rgibAlloc[cAlloc + 1] 2 each.
class HeapBuilder {
  public:
    explicit HeapBuilder(uint8_t clientSig) : clientSig_(clientSig) {}
    // Reserves `size` (1..3580) bytes; returns the HID.
    uint32_t Alloc(size_t size);
    uint32_t Put(const uint8_t* data, size_t size);
    uint32_t Put(const Bytes& b) { return Put(b.data(), b.size()); }
    uint8_t* At(uint32_t hid);
    void SetUserRoot(uint32_t hid) { userRoot_ = hid; }
    // The finished heap blocks, each at most 8176 bytes.
    std::vector<Bytes> Finish();

  private:
    struct Block {
        Bytes data;
        std::vector<uint16_t> starts;
    };
    static size_t HeaderSize(size_t index);
    uint8_t clientSig_;
    uint32_t userRoot_ = 0;
    std::vector<Block> blocks_;
};

// Fill level (0 = nearly empty .. 15 = full) of a heap block with `freeBytes` left.
uint8_t FillLevel(size_t freeBytes);

// BTH: BTHHEADER (bType 0xB5 1, cbKey 1, cbEnt 1, bIdxLevels 1, hidRoot 4),
// leaves of key||data records, index nodes of key||hid records. `records`
// holds the sorted leaf records back to back. Returns the header's HID.
uint32_t BuildBth(HeapBuilder& heap, uint8_t cbKey, uint8_t cbEnt, const Bytes& records);

// One property of an object. Fixed-size values are their little-endian
// bytes; `subnode` names a subnode that already holds the value.
struct Property {
    uint32_t tag = 0;
    Bytes value;
    uint32_t subnode = 0;
};

// A value that does not fit the heap and goes to its own subnode.
struct SubnodeValue {
    uint32_t nid;
    Bytes data;
};

struct EncodedPc {
    std::vector<Bytes> heap;
    std::vector<SubnodeValue> subnodes;
};

// Property context: heap with client signature 0xBC whose user root is a
// BTH of PC records (wPropId 2 | wPropType 2, dwValueHnid 4). Values larger
// than a heap allocation receive a subnode id from newLtpNid.
EncodedPc BuildPc(std::vector<Property> props, const std::function<uint32_t()>& newLtpNid);

// Column of a table: TCOLDESC (tag 4, ibData 2, cbData 1, iBit 1).
struct TableColumn {
    uint32_t tag;
    uint16_t ibData;
    uint8_t cbData;
    uint8_t iBit;
};

// Lays out a row: the row id and version first, then 8- and 4-byte cells,
// 2-byte cells, 1-byte cells and the cell existence bitmap.
struct TableLayout {
    std::vector<TableColumn> columns; // sorted by tag
    uint16_t end4b = 0, end2b = 0, end1b = 0, rowSize = 0;
    const TableColumn* Find(uint32_t tag) const;
};
TableLayout LayoutTable(std::vector<uint32_t> tags);

// Fills the cells of one row.
class RowWriter {
  public:
    RowWriter(const TableLayout& layout, HeapBuilder& heap, uint8_t* row)
        : layout_(layout), heap_(heap), row_(row) {}
    void SetFixed(uint32_t tag, uint64_t value);
    // Variable-size value: stored in the table's heap (at most 3580 bytes).
    void SetVariable(uint32_t tag, const Bytes& value);

  private:
    const TableColumn& Mark(uint32_t tag);
    const TableLayout& layout_;
    HeapBuilder& heap_;
    uint8_t* row_;
};

struct EncodedTc {
    std::vector<Bytes> heap;
    uint32_t matrixNid = 0; // subnode holding the row matrix, or 0
    std::vector<Bytes> matrix;
};

// Table context: heap with client signature 0x7C whose user root is TCINFO
// (bType 0x7C 1, cCols 1, rgib[4] 8, hidRowIndex 4, hnidRows 4, hidIndex 4,
// TCOLDESC * cCols). The row index's BTHHEADER is the heap's first allocation
// (HID 0x20) and TCINFO its second (HID 0x40). rowIds must be in row order;
// fillRow writes row i.
EncodedTc BuildTc(const TableLayout& layout, const std::vector<uint32_t>& rowIds,
                  const std::function<void(size_t, RowWriter&)>& fillRow,
                  const std::function<uint32_t()>& newLtpNid);

} // namespace velloquin::pst
