// Little-endian encoding into a growable byte buffer. Every on-disk structure
// of the workbook and of the store is built in memory through this encoder
// first, so the tests can check exact bytes without touching a file.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace velloquin {

using Bytes = std::vector<uint8_t>;

class LeWriter {
  public:
    LeWriter() = default;
    explicit LeWriter(size_t reserve) { buf_.reserve(reserve); }

    void U8(uint8_t v) { buf_.push_back(v); }
    void U16(uint16_t v) { Put(v, 2); }
    void U32(uint32_t v) { Put(v, 4); }
    void U64(uint64_t v) { Put(v, 8); }
    void Raw(const void* data, size_t n) {
        const auto* p = static_cast<const uint8_t*>(data);
        buf_.insert(buf_.end(), p, p + n);
    }
    void Raw(const Bytes& b) { buf_.insert(buf_.end(), b.begin(), b.end()); }
    void Zeros(size_t n) { buf_.resize(buf_.size() + n, 0); }
    void Fill(size_t n, uint8_t v) { buf_.resize(buf_.size() + n, v); }
    // Pads with zeros up to an absolute size.
    void PadTo(size_t size) {
        if (buf_.size() < size) buf_.resize(size, 0);
    }

    // Patches a value already reserved at an absolute offset.
    void U16At(size_t off, uint16_t v) { PutAt(off, v, 2); }
    void U32At(size_t off, uint32_t v) { PutAt(off, v, 4); }
    void U64At(size_t off, uint64_t v) { PutAt(off, v, 8); }

    size_t Size() const { return buf_.size(); }
    const Bytes& Data() const { return buf_; }
    Bytes& Data() { return buf_; }
    Bytes Take() { return std::move(buf_); }

  private:
    void Put(uint64_t v, int n);
    void PutAt(size_t off, uint64_t v, int n);
    Bytes buf_;
};

// n (at most 8) bytes of v, least significant first. On a little-endian
// machine that is one copy, which the compiler turns into a single store:
// a store writes millions of these.
inline void StoreLe(uint8_t* p, uint64_t v, int n) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, static_cast<size_t>(n));
    } else {
        for (int i = 0; i < n; ++i)
            p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}
inline uint64_t LoadLe(const uint8_t* p, int n) {
    uint64_t v = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&v, p, static_cast<size_t>(n));
    } else {
        for (int i = n - 1; i >= 0; --i)
            v = (v << 8) | p[i];
    }
    return v;
}

// Appends n bytes of v, least significant first.
inline void AppendLe(Bytes& out, uint64_t v, int n) {
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n));
    StoreLe(out.data() + at, v, n);
}

inline void LeWriter::Put(uint64_t v, int n) {
    AppendLe(buf_, v, n);
}
inline void LeWriter::PutAt(size_t off, uint64_t v, int n) {
    StoreLe(buf_.data() + off, v, n);
}

} // namespace velloquin
