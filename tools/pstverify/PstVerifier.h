// A structural checker for Unicode .pst files. It re-reads a finished file
// and checks what Outlook relies on but the open-source readers do not look
// at: CRCs, signatures, trailer ids, allocation maps, reference counts,
// counters, the name-to-id map's hash buckets and folder content counts.
// It is written from the published file format alone, so that it does not
// share mistakes with our own writer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velloquin::pstverify {

struct VerifyOptions {
    // A writer killed between commits leaves bytes behind ibFileEof.
    bool allowTrailingBytes = false;
    // Space the previous commit still used may stay marked allocated
    // until the next commit; only a finished file must have exact maps.
    bool allowLeakedSpace = false;
    // Checks of heaps, property and table contexts, the name map and the
    // folders. Off for hand-made files that hold bare blocks only.
    bool checkMessaging = true;
};

struct Problem {
    std::string check;  // short stable name, e.g. "block-crc"
    std::string detail; // where and what
};

struct VerifyStats {
    uint64_t fileEof = 0;
    uint64_t regions = 0;
    uint64_t nodes = 0;
    uint64_t blocks = 0;
    uint64_t pages = 0;
    uint64_t folders = 0;
    uint64_t messages = 0;
    int nbtLevels = 0;
    int bbtLevels = 0;
    bool amapValid = false;
};

struct VerifyResult {
    // Breaks of the format: a reader may fail or lose data.
    std::vector<Problem> problems;
    // Departures from what a careful writer keeps exact but readers do not
    // rely on, and that Outlook's own files show too: free-space counts,
    // padding and unused slots, deprecated map pages, unaligned name
    // strings, folders without a content count, a density list sealed with
    // an older bid than bidNextP. Our writer keeps them clean.
    std::vector<Problem> notes;
    VerifyStats stats;

    bool Ok() const { return problems.empty(); }
    bool Clean() const { return problems.empty() && notes.empty(); }
    // A problem or a note of this check.
    bool Has(const std::string& check) const;
    // One per line, "check: detail", the notes as "note: check: detail".
    std::string Describe() const;
};

VerifyResult VerifyPst(std::span<const uint8_t> file, const VerifyOptions& options = {});
VerifyResult VerifyPstFile(const std::string& path, const VerifyOptions& options = {});

// The CRC used in headers, pages and blocks: reflected CRC-32 with
// polynomial 0xEDB88320, start value 0 and no final inversion.
uint32_t PstCrc(std::span<const uint8_t> bytes);
// The signature of block and B-tree page trailers.
uint16_t PstSignature(uint64_t ib, uint64_t bid);

} // namespace velloquin::pstverify
