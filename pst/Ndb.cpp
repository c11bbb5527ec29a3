#include "pst/Ndb.h"

#include "pst/Crc.h"
#include "pst/FileIo.h"
#include "pst/PstError.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace velloquin::pst {

// ---- regions ---------------------------------------------------------------

bool RegionHasPMap(uint64_t n) {
    return n % 8 == 0;
}
bool RegionHasFMap(uint64_t n) {
    return n >= 128 && (n - 128) % 496 == 0;
}
size_t RegionReservedBytes(uint64_t n) {
    return kPageSize * (1 + (RegionHasPMap(n) ? 1 : 0) + (RegionHasFMap(n) ? 1 : 0));
}

uint8_t LongestFreeRun(const uint8_t* map) {
    size_t best = 0, run = 0;
    for (size_t slot = 0; slot < kPagePayload * 8 && best < 255; ++slot) {
        if (map[slot / 8] & (0x80 >> (slot % 8))) {
            run = 0;
        } else {
            best = std::max(best, ++run);
        }
    }
    return static_cast<uint8_t>(std::min<size_t>(best, 255));
}

// ---- header ----------------------------------------------------------------

Bytes EncodeHeader(const HeaderFields& h) {
    LeWriter s(kHeaderSize);
    s.Raw("!BDN", 4);
    s.U32(0); // dwCRCPartial, below
    s.Raw("SM", 2);
    s.U16(23); // Unicode
    s.U16(19);
    s.U8(1);
    s.U8(1);
    s.U32(0);
    s.U32(0);
    s.U64(0); // bidUnused
    s.U64(h.bidNextP);
    s.U32(h.dwUnique);
    for (uint32_t v : h.rgnid)
        s.U32(v);
    s.U64(0); // qwUnused
    // ROOT
    s.U32(0);
    s.U64(h.ibFileEof);
    s.U64(h.ibAMapLast);
    s.U64(h.cbAMapFree);
    s.U64(0); // cbPMapFree
    s.U64(h.nbt.bid);
    s.U64(h.nbt.ib);
    s.U64(h.bbt.bid);
    s.U64(h.bbt.ib);
    s.U8(h.fAMapValid);
    s.U8(0);
    s.U16(0);
    s.U32(0);          // dwAlign
    s.Fill(256, 0xFF); // rgbFM, rgbFP
    s.U8(0x80);        // bSentinel
    s.U8(0);           // bCryptMethod: none
    s.U16(0);
    s.U64(h.bidNextB);
    s.U32(0); // dwCRCFull, below
    s.PadTo(kHeaderSize);
    Bytes b = s.Take();
    StoreLe(&b[4], Crc32(&b[8], 471), 4);
    StoreLe(&b[524], Crc32(&b[8], 516), 4);
    return b;
}

// ---- pages -----------------------------------------------------------------

void SealPage(uint8_t* page, uint8_t ptype, uint64_t ib, uint64_t bid) {
    const bool mapPage = ptype == kPageAMap || ptype == kPagePMap || ptype == kPageFMap;
    uint8_t* t = page + kPagePayload;
    t[0] = ptype;
    t[1] = ptype;
    StoreLe(t + 2, mapPage ? 0 : ComputeSig(ib, bid), 2);
    StoreLe(t + 4, Crc32(page, kPagePayload), 4);
    StoreLe(t + 8, mapPage ? ib : bid, 8);
}

namespace {
void BtPageFooter(uint8_t* page, size_t n, size_t max, size_t cbEnt, uint8_t level) {
    page[488] = static_cast<uint8_t>(n);
    page[489] = static_cast<uint8_t>(max);
    page[490] = static_cast<uint8_t>(cbEnt);
    page[491] = level;
}
} // namespace

void EncodeBbtLeaf(uint8_t* page, const BbtEntry* e, size_t n) {
    std::memset(page, 0, kPageSize);
    for (size_t i = 0; i < n; ++i) {
        uint8_t* p = page + i * 24;
        StoreLe(p, e[i].bid, 8);
        StoreLe(p + 8, e[i].ib, 8);
        StoreLe(p + 16, e[i].cb, 2);
        StoreLe(p + 18, e[i].cRef, 2);
    }
    BtPageFooter(page, n, kBbtLeafMax, 24, 0);
}

void EncodeNbtLeaf(uint8_t* page, const NbtEntry* e, size_t n) {
    std::memset(page, 0, kPageSize);
    for (size_t i = 0; i < n; ++i) {
        uint8_t* p = page + i * 32;
        StoreLe(p, e[i].nid, 8);
        StoreLe(p + 8, e[i].bidData, 8);
        StoreLe(p + 16, e[i].bidSub, 8);
        StoreLe(p + 24, e[i].nidParent, 4);
    }
    BtPageFooter(page, n, kNbtLeafMax, 32, 0);
}

void EncodeBtIndex(uint8_t* page, const BtEntry* e, size_t n, uint8_t level) {
    std::memset(page, 0, kPageSize);
    for (size_t i = 0; i < n; ++i) {
        uint8_t* p = page + i * 24;
        StoreLe(p, e[i].key, 8);
        StoreLe(p + 8, e[i].child.bid, 8);
        StoreLe(p + 16, e[i].child.ib, 8);
    }
    BtPageFooter(page, n, kBtIndexMax, 24, level);
}

// ---- blocks ----------------------------------------------------------------

Bytes EncodeBlock(const uint8_t* data, size_t cb, uint64_t ib, uint64_t bid) {
    Bytes b;
    EncodeBlockInto(b, data, cb, ib, bid);
    return b;
}

void EncodeBlockInto(Bytes& out, const uint8_t* data, size_t cb, uint64_t ib, uint64_t bid) {
    out.resize(BlockTotalSize(cb));
    if (cb) std::memcpy(out.data(), data, cb);
    std::memset(out.data() + cb, 0, out.size() - cb - kBlockTrailer);
    uint8_t* t = out.data() + out.size() - kBlockTrailer;
    StoreLe(t, cb, 2);
    StoreLe(t + 2, ComputeSig(ib, bid), 2);
    StoreLe(t + 4, Crc32(data, cb), 4);
    StoreLe(t + 8, bid, 8);
}

Bytes EncodeXBlock(uint8_t level, const std::vector<uint64_t>& bids, uint32_t totalBytes) {
    LeWriter s(8 + bids.size() * 8);
    s.U8(0x01);
    s.U8(level);
    s.U16(static_cast<uint16_t>(bids.size()));
    s.U32(totalBytes);
    for (uint64_t b : bids)
        s.U64(b);
    return s.Take();
}

Bytes EncodeSlBlock(const SubnodeEntry* e, size_t n) {
    LeWriter s(8 + n * 24);
    s.U8(0x02);
    s.U8(0x00);
    s.U16(static_cast<uint16_t>(n));
    s.U32(0);
    for (size_t i = 0; i < n; ++i) {
        s.U64(e[i].nid);
        s.U64(e[i].bidData);
        s.U64(e[i].bidSub);
    }
    return s.Take();
}

Bytes EncodeSiBlock(const std::vector<std::pair<uint32_t, uint64_t>>& e) {
    LeWriter s(8 + e.size() * 16);
    s.U8(0x02);
    s.U8(0x01);
    s.U16(static_cast<uint16_t>(e.size()));
    s.U32(0);
    for (const auto& [nid, bid] : e) {
        s.U64(nid);
        s.U64(bid);
    }
    return s.Take();
}

// ---- writer ----------------------------------------------------------------

NdbWriter::NdbWriter(StoreFile& file) : file_(file) {
    rgnid_.fill(0x400);
    rgnid_[kNidSearchFolder] = 0x4000;
    rgnid_[kNidNormalMessage] = 0x10000;
    rgnid_[kNidAssocMessage] = 0x8000;
}

NdbWriter::~NdbWriter() = default;

void NdbWriter::Create() {
    AddRegion();
    cursor_ = RegionBase(0) + RegionReservedBytes(0);
}

void NdbWriter::WriteDList() {
    // An empty density list, as a new file from Outlook has: bFlags 0,
    // cEntDList 0, wPadding 0, ulCurrentPage 0. Outlook seals it with the
    // header's bidNextP, so it is sealed again with every header.
    std::array<uint8_t, kPageSize> page{};
    SealPage(page.data(), kPageDList, kDListOffset, nextBid_);
    file_.WriteAt(kDListOffset, page.data(), page.size());
}

void NdbWriter::AddRegion() {
    const uint64_t n = regions_.size();
    if (n >= kMaxRegions) throw PstError("The store file has reached its maximum size");
    regions_.emplace_back();
    regions_.back().fill(0);
    const size_t reserved = RegionReservedBytes(n) / 64;
    for (size_t slot = 0; slot < reserved; ++slot)
        SetAMapBit(regions_.back().data(), slot, true);
}

uint64_t NdbWriter::Allocate(size_t size, size_t align) {
    uint64_t pos = (cursor_ + align - 1) / align * align;
    for (;;) {
        const uint64_t r = (pos - kFirstAMap) / kRegionSize;
        while (regions_.size() <= r)
            AddRegion();
        const uint64_t start = RegionBase(r) + RegionReservedBytes(r);
        if (pos < start) pos = start;
        if (pos + size <= RegionBase(r + 1)) break;
        pos = RegionBase(r + 1);
    }
    MarkRange(pos, size, true);
    cursor_ = pos + size;
    return pos;
}

void NdbWriter::MarkRange(uint64_t ib, size_t size, bool on) {
    const uint64_t r = (ib - kFirstAMap) / kRegionSize;
    const uint64_t first = (ib - RegionBase(r)) / 64;
    const uint64_t count = (size + 63) / 64;
    for (uint64_t s = first; s < first + count; ++s)
        SetAMapBit(regions_[r].data(), static_cast<size_t>(s), on);
}

void NdbWriter::FreeRange(uint64_t ib, size_t size) {
    MarkRange(ib, size, false);
}

uint64_t NdbWriter::NextBid(bool internal) {
    const uint64_t bid = nextBid_ | (internal ? kBidInternal : 0);
    nextBid_ += 4;
    return bid;
}

uint64_t NdbWriter::WriteDataBlock(const uint8_t* data, size_t cb) {
    if (cb > kMaxBlockData) throw PstError("internal: block too large");
    const uint64_t bid = NextBid(false);
    const uint64_t ib = Allocate(BlockTotalSize(cb), 64);
    EncodeBlockInto(scratch_, data, cb, ib, bid);
    file_.WriteAt(ib, scratch_.data(), scratch_.size());
    blocks_.push_back({bid, ib, static_cast<uint16_t>(cb), 1});
    ++bbtLive_;
    return bid;
}

uint64_t NdbWriter::WriteInternal(const Bytes& payload, std::vector<uint64_t> children) {
    const uint64_t bid = NextBid(true);
    const uint64_t ib = Allocate(BlockTotalSize(payload.size()), 64);
    EncodeBlockInto(scratch_, payload.data(), payload.size(), ib, bid);
    file_.WriteAt(ib, scratch_.data(), scratch_.size());
    blocks_.push_back({bid, ib, static_cast<uint16_t>(payload.size()), 1});
    ++bbtLive_;
    for (uint64_t c : children)
        AddRef(c);
    children_.emplace(bid, std::move(children));
    return bid;
}

uint64_t NdbWriter::WriteDataTree(const std::vector<uint64_t>& bids, uint64_t totalBytes) {
    if (bids.empty()) return 0;
    if (bids.size() == 1) return bids[0];
    if (totalBytes > 0xFFFFFFFFull) throw PstError("internal: data tree too large");
    const auto total = static_cast<uint32_t>(totalBytes);
    // Each XBLOCK records the bytes below it.
    std::vector<uint64_t> xbids;
    for (size_t i = 0; i < bids.size(); i += kXBlockMaxEntries) {
        const size_t n = std::min(kXBlockMaxEntries, bids.size() - i);
        std::vector<uint64_t> part(bids.begin() + static_cast<ptrdiff_t>(i),
                                   bids.begin() + static_cast<ptrdiff_t>(i + n));
        uint64_t bytes = 0;
        for (uint64_t b : part)
            bytes += Find(b)->cb;
        xbids.push_back(WriteInternal(EncodeXBlock(1, part, static_cast<uint32_t>(bytes)), part));
    }
    if (xbids.size() == 1) return xbids[0];
    if (xbids.size() > kXBlockMaxEntries) throw PstError("internal: data tree too large");
    return WriteInternal(EncodeXBlock(2, xbids, total), xbids);
}

uint64_t NdbWriter::WriteBlocks(const std::vector<Bytes>& blocks) {
    std::vector<uint64_t> bids;
    uint64_t total = 0;
    for (const Bytes& b : blocks) {
        bids.push_back(WriteDataBlock(b.data(), b.size()));
        total += b.size();
    }
    return WriteDataTree(bids, total);
}

uint64_t NdbWriter::WriteBlocksReusing(std::vector<Bytes> blocks,
                                       std::vector<std::pair<uint64_t, Bytes>>& cache) {
    std::vector<uint64_t> bids;
    std::vector<std::pair<uint64_t, Bytes>> next;
    uint64_t total = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
        total += blocks[i].size();
        // The cached block is still live: the node's current tree holds it.
        if (i < cache.size() && cache[i].second == blocks[i]) {
            bids.push_back(cache[i].first);
        } else {
            bids.push_back(WriteDataBlock(blocks[i].data(), blocks[i].size()));
        }
        next.emplace_back(bids.back(), std::move(blocks[i]));
    }
    cache = std::move(next);
    return WriteDataTree(bids, total);
}

uint64_t NdbWriter::WriteStream(const uint8_t* data, size_t size) {
    std::vector<uint64_t> bids;
    for (size_t off = 0; off < size; off += kMaxBlockData)
        bids.push_back(WriteDataBlock(data + off, std::min(kMaxBlockData, size - off)));
    if (bids.empty()) bids.push_back(WriteDataBlock(data, 0));
    return WriteDataTree(bids, size);
}

uint64_t NdbWriter::WriteSubnodes(std::vector<SubnodeEntry> entries) {
    if (entries.empty()) return 0;
    std::sort(entries.begin(), entries.end(),
              [](const SubnodeEntry& a, const SubnodeEntry& b) { return a.nid < b.nid; });
    std::vector<std::pair<uint32_t, uint64_t>> leaves;
    for (size_t i = 0; i < entries.size(); i += kSlBlockMaxEntries) {
        const size_t n = std::min(kSlBlockMaxEntries, entries.size() - i);
        std::vector<uint64_t> kids;
        for (size_t k = i; k < i + n; ++k) {
            if (entries[k].bidData) kids.push_back(entries[k].bidData);
            if (entries[k].bidSub) kids.push_back(entries[k].bidSub);
        }
        leaves.emplace_back(entries[i].nid,
                            WriteInternal(EncodeSlBlock(&entries[i], n), std::move(kids)));
    }
    if (leaves.size() == 1) return leaves[0].second;
    if (leaves.size() > kSiBlockMaxEntries) throw PstError("internal: too many subnodes");
    std::vector<uint64_t> kids;
    for (const auto& l : leaves)
        kids.push_back(l.second);
    return WriteInternal(EncodeSiBlock(leaves), std::move(kids));
}

NdbWriter::Block* NdbWriter::Find(uint64_t bid) {
    auto it = std::lower_bound(blocks_.begin(), blocks_.end(), bid,
                               [](const Block& b, uint64_t v) { return b.bid < v; });
    if (it == blocks_.end() || it->bid != bid || it->cRef == 0)
        throw PstError("internal: unknown block");
    return &*it;
}

bool NdbWriter::CanShare(uint64_t bid) {
    return Find(bid)->cRef < 0xFFF0;
}

void NdbWriter::AddRef(uint64_t bid) {
    Block* b = Find(bid);
    if (b->cRef == 0xFFFF) throw PstError("internal: block shared too often");
    ++b->cRef;
}

void NdbWriter::Release(uint64_t bid) {
    Block* b = Find(bid);
    if (--b->cRef > 1) return;
    // Only the BBT's own reference is left: the block is garbage.
    b->cRef = 0;
    --bbtLive_;
    FreeRange(b->ib, BlockTotalSize(b->cb));
    auto it = children_.find(bid);
    if (it != children_.end()) {
        const std::vector<uint64_t> kids = std::move(it->second);
        children_.erase(it);
        for (uint64_t c : kids)
            Release(c);
    }
}

void NdbWriter::SetNode(uint32_t nid, uint64_t bidData, uint64_t bidSub, uint32_t nidParent) {
    if (bidData) AddRef(bidData);
    if (bidSub) AddRef(bidSub);
    auto it = nbt_.find(nid);
    if (it != nbt_.end()) {
        const NbtEntry old = it->second;
        it->second = {nid, bidData, bidSub, nidParent};
        if (old.bidData) Release(old.bidData);
        if (old.bidSub) Release(old.bidSub);
    } else {
        nbt_.emplace(nid, NbtEntry{nid, bidData, bidSub, nidParent});
    }
}

uint32_t NdbWriter::NewNid(uint32_t type) {
    if (rgnid_[type] >= (1u << 27) - 1) throw PstError("The store has run out of node ids");
    return MakeNid(type, ++rgnid_[type]);
}

void NdbWriter::BumpCounter(uint32_t type, uint32_t index) {
    rgnid_[type] = std::max(rgnid_[type], index);
}

Bref NdbWriter::WriteTreePages(bool bbt) {
    std::vector<BtEntry> level;
    std::array<uint8_t, kPageSize> page{};
    const uint8_t ptype = bbt ? kPageBbt : kPageNbt;
    auto emit = [&](uint64_t key) {
        const uint64_t bid = NextBid(false);
        const uint64_t ib = Allocate(kPageSize, kPageSize);
        SealPage(page.data(), ptype, ib, bid);
        file_.WriteAt(ib, page.data(), page.size());
        treePages_.push_back(ib);
        level.push_back({key, {bid, ib}});
    };

    // Leaves. Entries fall into the key ranges of the last commit's leaves;
    // a leaf whose entries did not change keeps its page. Appended entries
    // land in the last range and make full new leaves.
    std::vector<Leaf>& old = leaves_[bbt ? 0 : 1];
    std::vector<Leaf> fresh;
    std::vector<uint64_t> keys;
    std::vector<BbtEntry> bbtEntries;
    std::vector<NbtEntry> nbtEntries;
    if (bbt) {
        for (const Block& b : blocks_)
            if (b.cRef != 0) {
                bbtEntries.push_back({b.bid, b.ib, b.cb, b.cRef});
                keys.push_back(b.bid);
            }
    } else {
        for (const auto& [nid, e] : nbt_) {
            nbtEntries.push_back(e);
            keys.push_back(nid);
        }
    }
    const size_t leafMax = bbt ? kBbtLeafMax : kNbtLeafMax;
    auto encode = [&](size_t first, size_t n) {
        if (bbt)
            EncodeBbtLeaf(page.data(), bbtEntries.data() + first, n);
        else
            EncodeNbtLeaf(page.data(), nbtEntries.data() + first, n);
    };
    size_t pos = 0;
    for (size_t j = 0; j <= old.size(); ++j) {
        // entries below the next old leaf's first key (all that remain at the end)
        size_t end = keys.size();
        if (j + 1 < old.size())
            end = static_cast<size_t>(std::lower_bound(keys.begin() + static_cast<ptrdiff_t>(pos),
                                                       keys.end(), old[j + 1].firstKey) -
                                      keys.begin());
        if (j == old.size() && !old.empty()) break;
        for (size_t first = pos; first < end; first += leafMax) {
            const size_t n = std::min(leafMax, end - first);
            encode(first, n);
            if (first == pos && j < old.size() &&
                std::equal(page.begin(), page.begin() + kPagePayload, old[j].payload.begin())) {
                fresh.push_back(old[j]);
                level.push_back({keys[first], old[j].ref});
                treePages_.push_back(old[j].ref.ib);
                continue;
            }
            Leaf leaf{keys[first], {}, {}};
            std::copy(page.begin(), page.begin() + kPagePayload, leaf.payload.begin());
            emit(keys[first]);
            leaf.ref = level.back().child;
            fresh.push_back(leaf);
        }
        pos = end;
    }
    if (level.empty()) { // an empty tree is one empty leaf
        encode(0, 0);
        emit(0);
        fresh.clear();
    }
    old = std::move(fresh);

    for (uint8_t depth = 1; level.size() > 1; ++depth) {
        const std::vector<BtEntry> below = std::move(level);
        level.clear();
        for (size_t i = 0; i < below.size(); i += kBtIndexMax) {
            const size_t n = std::min(kBtIndexMax, below.size() - i);
            EncodeBtIndex(page.data(), &below[i], n, depth);
            emit(below[i].key);
        }
    }
    return level.front().child;
}

void NdbWriter::WriteHeader(uint8_t fAMapValid, const Bref& nbt, const Bref& bbt) {
    HeaderFields h;
    h.bidNextP = nextBid_;
    h.bidNextB = nextBid_;
    h.dwUnique = unique_++;
    h.rgnid = rgnid_;
    // The interim header of a commit must not reach regions whose map pages
    // the commit has not written yet: a kill then would leave a header that
    // points past the file's end.
    const size_t regions = fAMapValid ? regions_.size() : committedRegions_;
    h.ibFileEof = RegionBase(regions);
    h.ibAMapLast = RegionBase(regions - 1);
    uint64_t freeSlots = 0;
    for (size_t n = 0; n < regions; ++n)
        for (uint8_t byte : regions_[n])
            freeSlots += 8 - static_cast<uint64_t>(std::popcount(byte));
    h.cbAMapFree = freeSlots * 64;
    h.nbt = nbt;
    h.bbt = bbt;
    h.fAMapValid = fAMapValid;
    const Bytes b = EncodeHeader(h);
    file_.WriteAt(0, b.data(), b.size());
    // After the header: a density list never names a later bid than the
    // header on disk, whenever the writer stops.
    WriteDList();
}

void NdbWriter::WriteMapsAndHeader(uint8_t fAMapValid, const Bref& nbt, const Bref& bbt,
                                   bool durable) {
    // The file must reach the end of its last region before a header says so.
    const uint64_t end = FileEnd();
    if (file_.Size() < end) {
        const uint8_t zero = 0;
        file_.WriteAt(end - 1, &zero, 1);
    }
    std::array<uint8_t, kPageSize> page{};
    for (size_t n = 0; n < regions_.size(); ++n) {
        const uint64_t base = RegionBase(n);
        std::memcpy(page.data(), regions_[n].data(), kPagePayload);
        SealPage(page.data(), kPageAMap, base, 0);
        file_.WriteAt(base, page.data(), page.size());
        if (RegionHasPMap(n) && n >= regionsWritten_) {
            std::memset(page.data(), 0xFF, kPagePayload);
            SealPage(page.data(), kPagePMap, base + kPageSize, 0);
            file_.WriteAt(base + kPageSize, page.data(), page.size());
        }
        if (RegionHasFMap(n)) {
            // One byte per AMap from AMap n on, as far as the file reaches.
            std::memset(page.data(), 0, kPagePayload);
            for (size_t k = 0; k < kPagePayload && n + k < regions_.size(); ++k)
                page[k] = LongestFreeRun(regions_[n + k].data());
            const uint64_t ib = base + kPageSize * (RegionHasPMap(n) ? 2 : 1);
            SealPage(page.data(), kPageFMap, ib, 0);
            file_.WriteAt(ib, page.data(), page.size());
        }
    }
    regionsWritten_ = regions_.size();
    file_.Flush(durable);
    WriteHeader(fAMapValid, nbt, bbt);
    file_.Flush(durable);
}

void NdbWriter::Commit(bool durable) {
    if (committed_) {
        // While the maps are rewritten the old trees stay in charge, marked as
        // having maps that cannot be trusted.
        file_.Flush();
        WriteHeader(0x00, committedNbt_, committedBbt_);
        file_.Flush();
    }
    std::vector<uint64_t> oldPages = std::move(treePages_);
    treePages_.clear();
    const Bref bbt = WriteTreePages(true);
    const Bref nbt = WriteTreePages(false);
    // Pages of the last commit that the new trees do not keep become free.
    std::sort(oldPages.begin(), oldPages.end());
    std::vector<uint64_t> kept = treePages_;
    std::sort(kept.begin(), kept.end());
    for (uint64_t ib : oldPages)
        if (!std::binary_search(kept.begin(), kept.end(), ib)) FreeRange(ib, kPageSize);
    WriteMapsAndHeader(0x02, nbt, bbt, durable);
    committedNbt_ = nbt;
    committedBbt_ = bbt;
    committed_ = true;
    committedEnd_ = FileEnd();
    committedRegions_ = regions_.size();
}

} // namespace velloquin::pst
