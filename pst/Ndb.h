// Node database layer: identifiers, the header, pages, blocks, data trees,
// subnode trees and the two B-trees. The encoders are pure functions over
// byte buffers; NdbWriter places their output in the file.
#pragma once

#include "core/LeWriter.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

namespace velloquin::pst {

class StoreFile;

// ---- identifiers -----------------------------------------------------------

// NID (32 bits): bits 0-4 type, bits 5-31 index.
enum NidType : uint32_t {
    kNidHid = 0x00,
    kNidInternal = 0x01,
    kNidNormalFolder = 0x02,
    kNidSearchFolder = 0x03,
    kNidNormalMessage = 0x04,
    kNidAttachment = 0x05,
    kNidSearchUpdateQueue = 0x06,
    kNidSearchCriteria = 0x07,
    kNidAssocMessage = 0x08,
    kNidHierarchyTable = 0x0D,
    kNidContentsTable = 0x0E,
    kNidAssocContentsTable = 0x0F,
    kNidSearchContentsTable = 0x10,
    kNidAttachmentTable = 0x11,
    kNidRecipientTable = 0x12,
    kNidLtp = 0x1F,
};
constexpr uint32_t MakeNid(uint32_t type, uint32_t index) {
    return (index << 5) | type;
}
constexpr uint32_t NidType(uint32_t nid) {
    return nid & 0x1F;
}
constexpr uint32_t NidIndex(uint32_t nid) {
    return nid >> 5;
}

// BID (64 bits): bit 1 marks internal blocks (XBLOCK, XXBLOCK, SLBLOCK, SIBLOCK).
constexpr uint64_t kBidInternal = 0x2;
constexpr bool IsInternalBid(uint64_t bid) {
    return (bid & kBidInternal) != 0;
}

// ---- sizes -----------------------------------------------------------------

constexpr size_t kPageSize = 512;
constexpr size_t kPagePayload = 496;
constexpr size_t kBlockTrailer = 16;
constexpr size_t kMaxBlockData = 8176; // 8192 - trailer
constexpr size_t kHeaderSize = 564;
constexpr uint64_t kFirstAMap = 0x4400;
constexpr uint64_t kDListOffset = 0x4200;
constexpr uint64_t kRegionSize = 496ull * 8 * 64; // 253952 bytes per AMap
constexpr uint32_t kMaxRegions = 8192;            // stays below the first FPMap
constexpr size_t kXBlockMaxEntries = 1021;        // (8176 - 8) / 8
constexpr size_t kSlBlockMaxEntries = 340;        // (8176 - 8) / 24
constexpr size_t kSiBlockMaxEntries = 510;        // (8176 - 8) / 16

enum PageType : uint8_t {
    kPageBbt = 0x80,
    kPageNbt = 0x81,
    kPageFMap = 0x82,
    kPagePMap = 0x83,
    kPageAMap = 0x84,
    kPageDList = 0x86,
};

constexpr size_t BlockTotalSize(size_t cb) {
    return (cb + kBlockTrailer + 63) / 64 * 64;
}
constexpr uint64_t RegionBase(uint64_t n) {
    return kFirstAMap + n * kRegionSize;
}
// Map pages reserved right after a region's AMap page (PMap and/or FMap).
bool RegionHasPMap(uint64_t n);
bool RegionHasFMap(uint64_t n);
size_t RegionReservedBytes(uint64_t n);

// ---- header ----------------------------------------------------------------

struct Bref {
    uint64_t bid = 0;
    uint64_t ib = 0;
};

struct HeaderFields {
    uint64_t bidNextP = 0;
    uint64_t bidNextB = 0;
    uint32_t dwUnique = 0;
    std::array<uint32_t, 32> rgnid{};
    uint64_t ibFileEof = 0;
    uint64_t ibAMapLast = 0;
    uint64_t cbAMapFree = 0;
    Bref nbt;
    Bref bbt;
    uint8_t fAMapValid = 0;
};

// HEADER, Unicode (564 bytes at offset 0):
//   0 dwMagic "!BDN"      4 dwCRCPartial (CRC of 8..478)   8 wMagicClient "SM"
//  10 wVer 23            12 wVerClient 19   14 bPlatformCreate 1  15 bPlatformAccess 1
//  16 dwReserved1/2 (8)  24 bidUnused 8    32 bidNextP 8     40 dwUnique 4
//  44 rgnid[32] 128     172 qwUnused 8     180 ROOT 72       252 dwAlign 4
// 256 rgbFM 128 (0xFF)  384 rgbFP 128 (0xFF)  512 bSentinel 0x80  513 bCryptMethod 0
// 514 rgbReserved 2     516 bidNextB 8     524 dwCRCFull (CRC of 8..523)  528.. zero
// ROOT (72): 0 dwReserved 4, 4 ibFileEof 8, 12 ibAMapLast 8, 20 cbAMapFree 8,
//   28 cbPMapFree 8, 36 BREFNBT 16, 52 BREFBBT 16, 68 fAMapValid 1, 69..71 zero.
Bytes EncodeHeader(const HeaderFields& h);

// ---- pages -----------------------------------------------------------------

// PAGETRAILER (16 bytes at page offset 496): ptype 1, ptypeRepeat 1, wSig 2
// (0 for map pages), dwCRC 4 over the 496 payload bytes, bid 8 (map pages
// carry their own offset). `page` holds 512 bytes; the trailer is filled in.
void SealPage(uint8_t* page, uint8_t ptype, uint64_t ib, uint64_t bid);

struct BbtEntry {
    uint64_t bid = 0;
    uint64_t ib = 0;
    uint16_t cb = 0;
    uint16_t cRef = 0;
};
struct NbtEntry {
    uint32_t nid = 0;
    uint64_t bidData = 0;
    uint64_t bidSub = 0;
    uint32_t nidParent = 0;
};
struct BtEntry {
    uint64_t key = 0;
    Bref child;
};

// BTPAGE (512 bytes): rgentries 488, cEnt 1, cEntMax 1, cbEnt 1, cLevel 1,
// dwPadding 4, trailer. BBTENTRY (24): BREF 16, cb 2, cRef 2, pad 4.
// NBTENTRY (32): nid 8, bidData 8, bidSub 8, nidParent 4, pad 4.
// BTENTRY (24): btkey 8, BREF 16. Leaves hold 20 BBT / 15 NBT entries,
// intermediate pages 20 BTENTRYs.
constexpr size_t kBbtLeafMax = 20;
constexpr size_t kNbtLeafMax = 15;
constexpr size_t kBtIndexMax = 20;
void EncodeBbtLeaf(uint8_t* page, const BbtEntry* e, size_t n);
void EncodeNbtLeaf(uint8_t* page, const NbtEntry* e, size_t n);
void EncodeBtIndex(uint8_t* page, const BtEntry* e, size_t n, uint8_t level);

// ---- blocks ----------------------------------------------------------------

// Block: data[cb], zero padding to a multiple of 64 with the 16-byte
// BLOCKTRAILER last: cb 2, wSig 2, dwCRC 4 (over data), bid 8.
Bytes EncodeBlock(const uint8_t* data, size_t cb, uint64_t ib, uint64_t bid);
// The same into `out`, whose room a writer keeps from block to block.
void EncodeBlockInto(Bytes& out, const uint8_t* data, size_t cb, uint64_t ib, uint64_t bid);

// XBLOCK / XXBLOCK: btype 1 (0x01), cLevel 1 (1 or 2), cEnt 2, lcbTotal 4, rgbid 8*cEnt.
Bytes EncodeXBlock(uint8_t level, const std::vector<uint64_t>& bids, uint32_t totalBytes);

struct SubnodeEntry {
    uint32_t nid = 0;
    uint64_t bidData = 0;
    uint64_t bidSub = 0;
};
// SLBLOCK: btype 0x02, cLevel 0, cEnt 2, pad 4, SLENTRY (nid 8, bidData 8, bidSub 8)*cEnt.
Bytes EncodeSlBlock(const SubnodeEntry* e, size_t n);
// SIBLOCK: btype 0x02, cLevel 1, cEnt 2, pad 4, SIENTRY (nid 8, bid 8)*cEnt.
Bytes EncodeSiBlock(const std::vector<std::pair<uint32_t, uint64_t>>& e);

// ---- allocation maps -------------------------------------------------------
//
// Region n (253952 bytes from 0x4400 + n * 253952) starts with its AMap page:
// 496 bytes, one bit per 64 bytes of the region (1 = allocated), then the
// usual trailer with ptype 0x84. Every 8th region has a PMap page (496 bytes
// of 0xFF) right after it; regions 128 + 496k an FMap page (one byte per AMap
// from its own on: the longest free run in 64-byte slots, at most 255). The
// density list page (ptype 0x86, bFlags 1, cEntDList 1, wPadding 2,
// ulCurrentPage 4, no entries; trailer bid = the header's bidNextP) sits at
// 0x4200, outside every region.

// Bit for the 64-byte slot `slot` of a region, most significant bit first.
inline void SetAMapBit(uint8_t* map, size_t slot, bool on) {
    const auto mask = static_cast<uint8_t>(0x80 >> (slot % 8));
    if (on)
        map[slot / 8] |= mask;
    else
        map[slot / 8] &= static_cast<uint8_t>(~mask);
}
// Longest run of free slots in one AMap, capped at 255 (an FMap entry).
uint8_t LongestFreeRun(const uint8_t* map);

// ---- the writer ------------------------------------------------------------

// Places blocks and pages in the file, keeps both B-trees in memory with the
// blocks' reference counts, and commits them together with the allocation
// maps and the header. Nothing already committed is ever overwritten except
// the header and the map pages.
class NdbWriter {
  public:
    explicit NdbWriter(StoreFile& file);
    ~NdbWriter();

    // Lays out the empty file: the first region and the density list.
    void Create();

    // Appends a data block (cb <= 8176); returns its BID with one reference
    // (the BBT's own).
    uint64_t WriteDataBlock(const uint8_t* data, size_t cb);
    // Writes the data tree for blocks already written (one BID, or XBLOCKs /
    // an XXBLOCK above them); takes a reference on each child.
    uint64_t WriteDataTree(const std::vector<uint64_t>& blockBids, uint64_t totalBytes);
    // Convenience: stores the given blocks and their tree.
    uint64_t WriteBlocks(const std::vector<Bytes>& blocks);
    // The same for a node rewritten at every commit: a block equal to the one
    // at the same position last time is referenced again instead of written.
    // `cache` holds the previous (bid, bytes) list and receives the new one.
    uint64_t WriteBlocksReusing(std::vector<Bytes> blocks,
                                std::vector<std::pair<uint64_t, Bytes>>& cache);
    // Cuts a byte stream into 8176-byte blocks.
    uint64_t WriteStream(const uint8_t* data, size_t size);
    // SLBLOCK (or SIBLOCK above SLBLOCKs) for a node's subnodes.
    uint64_t WriteSubnodes(std::vector<SubnodeEntry> entries);

    void AddRef(uint64_t bid);
    // False when the block's 16-bit reference count is nearly used up.
    bool CanShare(uint64_t bid);
    // Drops one reference; a block left with only the BBT's reference is freed
    // together with what it references.
    void Release(uint64_t bid);

    // Creates or replaces a node; the new BIDs gain a reference, the replaced
    // ones lose theirs.
    void SetNode(uint32_t nid, uint64_t bidData, uint64_t bidSub, uint32_t nidParent);
    bool HasNode(uint32_t nid) const { return nbt_.count(nid) != 0; }

    // Next index of a NID type (the counter keeps the last one handed out).
    uint32_t NewNid(uint32_t type);
    void BumpCounter(uint32_t type, uint32_t index);

    // Writes both B-trees, the maps and finally the header; `durable` waits
    // for the disk before and after the header.
    void Commit(bool durable = false);

    uint64_t FileEnd() const { return RegionBase(regions_.size()); }
    // End of the file as the last header on disk describes it.
    uint64_t CommittedEnd() const { return committedEnd_; }
    size_t BlockCount() const { return bbtLive_; }
    size_t NodeCount() const { return nbt_.size(); }

  private:
    struct Block {
        uint64_t bid;
        uint64_t ib;
        uint16_t cb;
        uint16_t cRef;
    };
    uint64_t Allocate(size_t size, size_t align);
    void FreeRange(uint64_t ib, size_t size);
    void MarkRange(uint64_t ib, size_t size, bool on);
    void AddRegion();
    uint64_t NextBid(bool internal);
    uint64_t WriteInternal(const Bytes& payload, std::vector<uint64_t> children);
    Block* Find(uint64_t bid);
    Bref WriteTreePages(bool bbt);
    void WriteMapsAndHeader(uint8_t fAMapValid, const Bref& nbt, const Bref& bbt, bool durable);
    void WriteHeader(uint8_t fAMapValid, const Bref& nbt, const Bref& bbt);
    void WriteDList();

    StoreFile& file_;
    Bytes scratch_;             // the block being written
    std::vector<Block> blocks_; // ascending by bid; freed ones have cRef 0
    size_t bbtLive_ = 0;
    std::unordered_map<uint64_t, std::vector<uint64_t>> children_;
    std::map<uint32_t, NbtEntry> nbt_;
    std::vector<std::array<uint8_t, kPagePayload>> regions_; // AMap bits
    size_t regionsWritten_ = 0; // regions whose PMap/FMap pages exist on disk
    uint64_t cursor_ = 0;       // append position
    uint64_t nextBid_ = 4;
    uint32_t unique_ = 1;
    std::array<uint32_t, 32> rgnid_{};
    // A committed leaf page: unchanged leaves are kept at the next commit.
    struct Leaf {
        uint64_t firstKey;
        Bref ref;
        std::array<uint8_t, kPagePayload> payload;
    };
    std::vector<Leaf> leaves_[2];     // per tree (0 BBT, 1 NBT), in key order
    std::vector<uint64_t> treePages_; // offsets of the pages of the committed trees
    Bref committedNbt_, committedBbt_;
    bool committed_ = false;
    uint64_t committedEnd_ = 0;
    size_t committedRegions_ = 0;
};

} // namespace velloquin::pst
