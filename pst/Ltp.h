// Lists, tables and properties layer: the heap-on-node, B-trees on the heap,
// property contexts and table contexts. Everything here encodes into memory;
// the messaging layer hands the resulting blocks to the NDB writer.
#pragma once

#include "core/LeWriter.h"

#include <cstdint>
#include <functional>
#include <string_view>
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
    // The block an allocation of `size` goes to, with the allocation's start
    // recorded.
    Block& Room(size_t size);
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

// The properties of one object, their values encoded back to back into one
// buffer. A store writes tens of properties for each of thousands of
// contacts; one list reused from contact to contact keeps that from costing
// an allocation per value.
class PropertyList {
  public:
    struct Entry {
        uint32_t tag;
        uint32_t offset; // of the value in Data()
        uint32_t size;
        uint32_t subnode; // a subnode that already holds the value, or 0
    };

    // Empties the list and keeps its room.
    void Clear() {
        entries_.clear();
        data_.clear();
    }
    void Add(uint32_t tag, const uint8_t* value, size_t size, uint32_t subnode = 0);
    // PT_UNICODE: the UTF-16LE of the text, written in place.
    void Text(uint16_t id, std::string_view utf8);
    void Long(uint16_t id, uint32_t v) { Fixed(Tag(id, kPtInt32), v, 4); }
    void Bool(uint16_t id, bool v) { Fixed(Tag(id, kPtBool), v ? 1 : 0, 1); }
    void Time(uint16_t id, uint64_t fileTime) { Fixed(Tag(id, kPtTime), fileTime, 8); }
    void Binary(uint16_t id, const Bytes& v) { Add(Tag(id, kPtBinary), v.data(), v.size()); }

    // A value written in pieces: Begin, the pieces, End.
    void Begin(uint32_t tag);
    void U16(uint16_t v) { Put(v, 2); }
    void U32(uint32_t v) { Put(v, 4); }
    void Raw(const void* data, size_t n);
    void Utf16(std::string_view utf8);
    void End() {
        entries_.back().size = static_cast<uint32_t>(data_.size() - entries_.back().offset);
    }

    size_t Count() const { return entries_.size(); }
    // Bytes of all values together.
    size_t ValueBytes() const { return data_.size(); }
    const Bytes& Data() const { return data_; }
    std::vector<Entry>& Entries() { return entries_; }
    const std::vector<Entry>& Entries() const { return entries_; }
    const uint8_t* Value(const Entry& e) const { return data_.data() + e.offset; }

  private:
    void Fixed(uint32_t tag, uint64_t v, int n) {
        Begin(tag);
        Put(v, n);
        End();
    }
    void Put(uint64_t v, int n) {
        const size_t at = data_.size();
        data_.resize(at + static_cast<size_t>(n));
        StoreLe(data_.data() + at, v, n);
    }
    std::vector<Entry> entries_;
    Bytes data_;
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
// The list's entries are put in the order of their ids.
EncodedPc BuildPc(PropertyList& props, const std::function<uint32_t()>& newLtpNid);
EncodedPc BuildPc(const std::vector<Property>& props, const std::function<uint32_t()>& newLtpNid);

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
    void SetFixed(uint32_t tag, uint64_t value) { SetFixed(Column(tag), value); }
    // Variable-size value: stored in the table's heap (at most 3580 bytes).
    void SetVariable(uint32_t tag, const Bytes& value) { SetVariable(Column(tag), value); }
    // The same by a column of the layout, found once for all rows.
    void SetFixed(const TableColumn& c, uint64_t value);
    void SetVariable(const TableColumn& c, const Bytes& value);
    // The layout's column of a tag; throws when there is none.
    const TableColumn& Column(uint32_t tag) const;

  private:
    void Mark(const TableColumn& c);
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
