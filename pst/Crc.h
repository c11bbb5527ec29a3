// The two checksums of the file format: the CRC-32 variant that guards the
// header, pages and blocks, and the 16-bit signature of pages and blocks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velloquin::pst {

// Reflected CRC-32 (polynomial 0xEDB88320) with initial value 0 and no final
// inversion; crc carries a running value over several pieces.
uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);

// Signature of a block or page: the 32-bit fold of its offset XOR its id.
inline uint16_t ComputeSig(uint64_t ib, uint64_t bid) {
    const auto x = static_cast<uint32_t>(ib ^ bid);
    return static_cast<uint16_t>((x >> 16) ^ (x & 0xFFFF));
}

} // namespace velloquin::pst
