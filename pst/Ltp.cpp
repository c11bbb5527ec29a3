#include "pst/Ltp.h"

#include "core/Text.h"
#include "pst/PstError.h"

#include <algorithm>
#include <cstring>

namespace velloquin::pst {

bool IsInlineType(uint16_t type) {
    return type == kPtInt16 || type == kPtInt32 || type == 0x0004 || type == 0x000A ||
           type == kPtBool;
}

uint8_t CellSize(uint16_t type) {
    switch (type) {
    case kPtInt16:
        return 2;
    case kPtBool:
        return 1;
    case kPtInt64:
    case kPtTime:
    case 0x0005: // double
    case 0x0006: // currency
    case 0x0007: // floating time
        return 8;
    default:
        return 4; // 32-bit values and the HNID of every variable-size value
    }
}

uint8_t FillLevel(size_t freeBytes) {
    static constexpr size_t kLimits[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768,
                                         512,  256,  128,  64,   32,   16,   8};
    for (uint8_t i = 0; i < 15; ++i)
        if (freeBytes >= kLimits[i]) return i;
    return 15;
}

// ---- heap ------------------------------------------------------------------

size_t HeapBuilder::HeaderSize(size_t index) {
    if (index == 0) return 12;
    if (index % 128 == 8) return 66;
    return 2;
}

HeapBuilder::Block& HeapBuilder::Room(size_t size) {
    if (size == 0 || size > kMaxHeapAlloc) throw PstError("internal: bad heap allocation size");
    auto fits = [size](const Block& b) {
        const size_t end = b.data.size() + size;
        const size_t count = b.starts.size() + 1;
        return count <= 2047 && end + (end & 1) + 4 + 2 * (count + 1) <= kMaxHeapBlock;
    };
    if (blocks_.empty() || !fits(blocks_.back())) {
        if (blocks_.size() >= 0xFFFF) throw PstError("internal: heap too large");
        blocks_.emplace_back();
        // A block's room is known: growing it step by step would copy it
        // over and over (a heap is built for every contact of a store).
        blocks_.back().data.reserve(kMaxHeapBlock);
        blocks_.back().starts.reserve(64);
        blocks_.back().data.assign(HeaderSize(blocks_.size() - 1), 0);
    }
    Block& b = blocks_.back();
    b.starts.push_back(static_cast<uint16_t>(b.data.size()));
    return b;
}

uint32_t HeapBuilder::Alloc(size_t size) {
    Block& b = Room(size);
    b.data.resize(b.data.size() + size, 0);
    return MakeHid(static_cast<uint32_t>(blocks_.size() - 1),
                   static_cast<uint32_t>(b.starts.size()));
}

uint32_t HeapBuilder::Put(const uint8_t* data, size_t size) {
    Block& b = Room(size);
    b.data.insert(b.data.end(), data, data + size);
    return MakeHid(static_cast<uint32_t>(blocks_.size() - 1),
                   static_cast<uint32_t>(b.starts.size()));
}

uint8_t* HeapBuilder::At(uint32_t hid) {
    const uint32_t block = hid >> 16;
    const uint32_t index = (hid >> 5) & 0x7FF;
    return blocks_.at(block).data.data() + blocks_[block].starts.at(index - 1);
}

std::vector<Bytes> HeapBuilder::Finish() {
    std::vector<uint8_t> levels;
    for (Block& b : blocks_) {
        const auto end = static_cast<uint16_t>(b.data.size());
        if (b.data.size() & 1) b.data.push_back(0); // keeps ibHnpm even
        const auto ibHnpm = static_cast<uint16_t>(b.data.size());
        // HNPAGEMAP: cAlloc, cFree, then every allocation's start and the end
        b.data.resize(ibHnpm + 4 + 2 * (b.starts.size() + 1));
        uint8_t* map = b.data.data() + ibHnpm;
        StoreLe(map, b.starts.size(), 2);
        StoreLe(map + 2, 0, 2);
        map += 4;
        for (uint16_t s : b.starts) {
            StoreLe(map, s, 2);
            map += 2;
        }
        StoreLe(map, end, 2);
        StoreLe(b.data.data(), ibHnpm, 2);
        levels.push_back(FillLevel(kMaxHeapBlock - b.data.size()));
    }
    auto packLevels = [&levels](uint8_t* out, size_t first, size_t count) {
        for (size_t k = 0; k < count && first + k < levels.size(); ++k)
            out[k / 2] |= static_cast<uint8_t>(levels[first + k] << ((k % 2) * 4));
    };
    std::vector<Bytes> out;
    out.reserve(blocks_.size());
    for (size_t i = 0; i < blocks_.size(); ++i) {
        Bytes& d = blocks_[i].data;
        if (i == 0) {
            d[2] = 0xEC;
            d[3] = clientSig_;
            StoreLe(&d[4], userRoot_, 4);
            packLevels(&d[8], 0, 8);
        } else if (i % 128 == 8) {
            packLevels(&d[2], i, 128);
        }
        out.push_back(std::move(d));
    }
    blocks_.clear();
    return out;
}

// ---- BTH -------------------------------------------------------------------

namespace {

uint32_t BuildBthWith(HeapBuilder& heap, uint32_t hdr, uint8_t cbKey, uint8_t cbEnt,
                      const Bytes& records) {
    const size_t rec = size_t(cbKey) + cbEnt;
    const size_t n = records.size() / rec;
    uint32_t root = 0;
    uint8_t levels = 0;
    if (n > 0 && n * rec <= kMaxHeapAlloc) {
        root = heap.Put(records.data(), n * rec); // one leaf, the usual case
    } else if (n > 0) {
        // (first key, hid) of every node of the level just built
        std::vector<std::pair<size_t, uint32_t>> level;
        std::vector<Bytes> keys;
        const size_t leafCap = kMaxHeapAlloc / rec;
        for (size_t i = 0; i < n; i += leafCap) {
            const size_t cnt = std::min(leafCap, n - i);
            keys.emplace_back(records.begin() + static_cast<ptrdiff_t>(i * rec),
                              records.begin() + static_cast<ptrdiff_t>(i * rec + cbKey));
            level.emplace_back(keys.size() - 1, heap.Put(&records[i * rec], cnt * rec));
        }
        const size_t idxRec = size_t(cbKey) + 4;
        const size_t idxCap = kMaxHeapAlloc / idxRec;
        while (level.size() > 1) {
            std::vector<std::pair<size_t, uint32_t>> next;
            for (size_t i = 0; i < level.size(); i += idxCap) {
                const size_t cnt = std::min(idxCap, level.size() - i);
                LeWriter s(cnt * idxRec);
                for (size_t k = i; k < i + cnt; ++k) {
                    s.Raw(keys[level[k].first]);
                    s.U32(level[k].second);
                }
                next.emplace_back(level[i].first, heap.Put(s.Data()));
            }
            level = std::move(next);
            ++levels;
        }
        root = level.front().second;
    }
    uint8_t* h = heap.At(hdr);
    h[0] = 0xB5;
    h[1] = cbKey;
    h[2] = cbEnt;
    h[3] = levels;
    StoreLe(h + 4, root, 4);
    return hdr;
}

} // namespace

uint32_t BuildBth(HeapBuilder& heap, uint8_t cbKey, uint8_t cbEnt, const Bytes& records) {
    return BuildBthWith(heap, heap.Alloc(8), cbKey, cbEnt, records);
}

// ---- PC --------------------------------------------------------------------

void PropertyList::Add(uint32_t tag, const uint8_t* value, size_t size, uint32_t subnode) {
    Begin(tag);
    Raw(value, size);
    End();
    entries_.back().subnode = subnode;
}

void PropertyList::Text(uint16_t id, std::string_view utf8) {
    Begin(Tag(id, kPtUnicode));
    Utf16(utf8);
    End();
}

void PropertyList::Begin(uint32_t tag) {
    entries_.push_back({tag, static_cast<uint32_t>(data_.size()), 0, 0});
}

void PropertyList::Raw(const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    data_.insert(data_.end(), p, p + n);
}

namespace {
// Four ASCII bytes as four UTF-16 units: each byte moved to the low half of
// its own 16 bits.
uint64_t Widen4(uint64_t x) {
    x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
    return (x | (x << 8)) & 0x00FF00FF00FF00FFull;
}
} // namespace

void PropertyList::Utf16(std::string_view utf8) {
    // Most texts are ASCII: those bytes are widened eight at a time here, and
    // the converter takes over at the first byte that is not.
    const auto* in = reinterpret_cast<const uint8_t*>(utf8.data());
    const size_t n = utf8.size();
    const size_t at = data_.size();
    data_.resize(at + 2 * n);
    uint8_t* out = data_.data() + at;
    size_t ascii = 0;
    for (; ascii + 8 <= n; ascii += 8) {
        const uint64_t word = LoadLe(in + ascii, 8);
        if (word & 0x8080808080808080ull) break;
        StoreLe(out + 2 * ascii, Widen4(word & 0xFFFFFFFF), 8);
        StoreLe(out + 2 * ascii + 8, Widen4(word >> 32), 8);
    }
    for (; ascii < n && in[ascii] < 0x80; ++ascii)
        out[2 * ascii] = in[ascii]; // the high byte is already zero
    data_.resize(at + 2 * ascii);
    if (ascii < n) AppendUtf16Le(utf8.substr(ascii), data_);
}

EncodedPc BuildPc(PropertyList& props, const std::function<uint32_t()>& newLtpNid) {
    std::vector<PropertyList::Entry>& entries = props.Entries();
    std::sort(entries.begin(), entries.end(),
              [](const PropertyList::Entry& a, const PropertyList::Entry& b) {
                  return TagId(a.tag) < TagId(b.tag);
              });
    for (size_t i = 1; i < entries.size(); ++i)
        if (TagId(entries[i].tag) == TagId(entries[i - 1].tag))
            throw PstError("internal: property written twice");
    EncodedPc out;
    HeapBuilder heap(0xBC);
    const uint32_t hdr = heap.Alloc(8);
    Bytes records(entries.size() * 8);
    uint8_t* record = records.data();
    for (const PropertyList::Entry& p : entries) {
        const uint16_t type = TagType(p.tag);
        const uint8_t* value = props.Value(p);
        uint32_t hnid = 0;
        if (IsInlineType(type)) {
            uint8_t v[4] = {};
            if (p.size) std::memcpy(v, value, std::min<size_t>(p.size, 4));
            hnid = static_cast<uint32_t>(LoadLe(v, 4));
        } else if (p.subnode) {
            hnid = p.subnode;
        } else if (p.size == 0) {
            hnid = 0;
        } else if (p.size <= kMaxHeapAlloc) {
            hnid = heap.Put(value, p.size);
        } else {
            hnid = newLtpNid();
            out.subnodes.push_back({hnid, Bytes(value, value + p.size)});
        }
        StoreLe(record, TagId(p.tag), 2);
        StoreLe(record + 2, type, 2);
        StoreLe(record + 4, hnid, 4);
        record += 8;
    }
    heap.SetUserRoot(BuildBthWith(heap, hdr, 2, 6, records));
    out.heap = heap.Finish();
    return out;
}

EncodedPc BuildPc(const std::vector<Property>& props, const std::function<uint32_t()>& newLtpNid) {
    PropertyList list;
    for (const Property& p : props)
        list.Add(p.tag, p.value.data(), p.value.size(), p.subnode);
    return BuildPc(list, newLtpNid);
}

// ---- TC --------------------------------------------------------------------

constexpr uint32_t kTagRowId = 0x67F20003;
constexpr uint32_t kTagRowVer = 0x67F30003;

const TableColumn* TableLayout::Find(uint32_t tag) const {
    auto it = std::lower_bound(columns.begin(), columns.end(), tag,
                               [](const TableColumn& c, uint32_t t) { return c.tag < t; });
    return it != columns.end() && it->tag == tag ? &*it : nullptr;
}

TableLayout LayoutTable(std::vector<uint32_t> tags) {
    tags.push_back(kTagRowId);
    tags.push_back(kTagRowVer);
    std::sort(tags.begin(), tags.end());
    tags.erase(std::unique(tags.begin(), tags.end()), tags.end());
    if (tags.size() > 255) throw PstError("internal: too many table columns");
    TableLayout t;
    for (uint32_t tag : tags)
        t.columns.push_back({tag, 0, CellSize(TagType(tag)), 0});
    uint16_t ib = 8;
    uint8_t bit = 2;
    auto place = [&](uint8_t size) {
        for (TableColumn& c : t.columns) {
            if (c.tag == kTagRowId) {
                c.ibData = 0;
                c.iBit = 0;
            } else if (c.tag == kTagRowVer) {
                c.ibData = 4;
                c.iBit = 1;
            } else if (c.cbData == size) {
                c.ibData = ib;
                c.iBit = bit++;
                ib = static_cast<uint16_t>(ib + size);
            }
        }
    };
    place(8);
    place(4);
    t.end4b = ib;
    place(2);
    t.end2b = ib;
    place(1);
    t.end1b = ib;
    t.rowSize = static_cast<uint16_t>(ib + (t.columns.size() + 7) / 8);
    return t;
}

const TableColumn& RowWriter::Column(uint32_t tag) const {
    const TableColumn* c = layout_.Find(tag);
    if (!c) throw PstError("internal: no such table column");
    return *c;
}

void RowWriter::Mark(const TableColumn& c) {
    row_[layout_.end1b + c.iBit / 8] |= static_cast<uint8_t>(0x80 >> (c.iBit % 8));
}

void RowWriter::SetFixed(const TableColumn& c, uint64_t value) {
    Mark(c);
    StoreLe(row_ + c.ibData, value, c.cbData);
}

void RowWriter::SetVariable(const TableColumn& c, const Bytes& value) {
    Mark(c);
    StoreLe(row_ + c.ibData, value.empty() ? 0 : heap_.Put(value), 4);
}

EncodedTc BuildTc(const TableLayout& layout, const std::vector<uint32_t>& rowIds,
                  const std::function<void(size_t, RowWriter&)>& fillRow,
                  const std::function<uint32_t()>& newLtpNid) {
    EncodedTc out;
    HeapBuilder heap(0x7C);
    const size_t cCols = layout.columns.size();
    // Outlook puts the row index's header first (HID 0x20) and TCINFO right
    // after it; some readers find the row index only there.
    const uint32_t indexHeader = heap.Alloc(8);
    const uint32_t tcinfo = heap.Alloc(22 + 8 * cCols);
    const size_t n = rowIds.size();
    Bytes matrix(n * layout.rowSize, 0);
    const TableColumn* rowId = layout.Find(kTagRowId);
    for (size_t i = 0; i < n; ++i) {
        RowWriter w(layout, heap, &matrix[i * layout.rowSize]);
        w.SetFixed(*rowId, rowIds[i]);
        fillRow(i, w);
    }
    std::vector<std::pair<uint32_t, uint32_t>> index(n);
    for (size_t i = 0; i < n; ++i)
        index[i] = {rowIds[i], static_cast<uint32_t>(i)};
    std::sort(index.begin(), index.end());
    LeWriter records(n * 8);
    for (const auto& [id, row] : index) {
        records.U32(id);
        records.U32(row);
    }
    const uint32_t hidIndex = BuildBthWith(heap, indexHeader, 4, 4, records.Data());
    uint32_t hnidRows = 0;
    if (n > 0 && matrix.size() <= kMaxHeapAlloc) {
        hnidRows = heap.Put(matrix);
    } else if (n > 0) {
        // Whole rows per block; every block but the last padded to full size.
        hnidRows = newLtpNid();
        out.matrixNid = hnidRows;
        const size_t perBlock = kMaxHeapBlock / layout.rowSize;
        for (size_t i = 0; i < n; i += perBlock) {
            const size_t cnt = std::min(perBlock, n - i);
            Bytes b(matrix.begin() + static_cast<ptrdiff_t>(i * layout.rowSize),
                    matrix.begin() + static_cast<ptrdiff_t>((i + cnt) * layout.rowSize));
            if (i + cnt < n) b.resize(kMaxHeapBlock, 0);
            out.matrix.push_back(std::move(b));
        }
    }
    uint8_t* t = heap.At(tcinfo);
    t[0] = 0x7C;
    t[1] = static_cast<uint8_t>(cCols);
    StoreLe(t + 2, layout.end4b, 2);
    StoreLe(t + 4, layout.end2b, 2);
    StoreLe(t + 6, layout.end1b, 2);
    StoreLe(t + 8, layout.rowSize, 2);
    StoreLe(t + 10, hidIndex, 4);
    StoreLe(t + 14, hnidRows, 4);
    StoreLe(t + 18, 0, 4);
    for (size_t c = 0; c < cCols; ++c) {
        uint8_t* d = t + 22 + 8 * c;
        StoreLe(d, layout.columns[c].tag, 4);
        StoreLe(d + 4, layout.columns[c].ibData, 2);
        d[6] = layout.columns[c].cbData;
        d[7] = layout.columns[c].iBit;
    }
    heap.SetUserRoot(tcinfo);
    out.heap = heap.Finish();
    return out;
}

} // namespace velloquin::pst
