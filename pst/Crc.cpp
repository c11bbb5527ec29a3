#include "pst/Crc.h"

#include "core/LeWriter.h"

#include <array>

namespace velloquin::pst {

namespace {

// Slicing-by-8 tables: the writer checksums every byte it stores, so the
// byte-at-a-time loop would be a visible share of the run time.
struct CrcTables {
    std::array<std::array<uint32_t, 256>, 8> t{};
    CrcTables() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i)
            for (int s = 1; s < 8; ++s)
                t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
    }
};

const CrcTables& Tables() {
    static const CrcTables tables;
    return tables;
}

} // namespace

// The words are loaded whole rather than byte by byte: under the sanitizers
// every load is checked, and the fuzzer's store target spends much of its
// time in here.
uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
    const auto& t = Tables().t;
    const auto* p = static_cast<const uint8_t*>(data);
    const uint8_t* const words = p + size / 8 * 8;
    for (; p != words; p += 8) {
        const uint32_t lo = crc ^ static_cast<uint32_t>(LoadLe(p, 4));
        const uint32_t hi = static_cast<uint32_t>(LoadLe(p + 4, 4));
        crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
              t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    }
    for (const uint8_t* const end = static_cast<const uint8_t*>(data) + size; p != end; ++p)
        crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return crc;
}

} // namespace velloquin::pst
