#include "pst/ByteSink.h"

namespace velloquin::pst {

Bytes Utf16Le(std::string_view s) {
    // At most two bytes per input byte (a 4-byte sequence gives a surrogate
    // pair, 4 bytes); the buffer is cut to size at the end.
    Bytes out(s.size() * 2);
    size_t o = 0;
    auto unit = [&out, &o](uint32_t u) {
        out[o++] = static_cast<uint8_t>(u & 0xFF);
        out[o++] = static_cast<uint8_t>(u >> 8);
    };
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<uint8_t>(s[i]);
        if (c < 0x80) {
            out[o++] = c;
            out[o++] = 0;
            ++i;
            continue;
        }
        uint32_t cp = 0xFFFD;
        size_t len = 1;
        if ((c >> 5) == 0x6) {
            len = 2;
        } else if ((c >> 4) == 0xE) {
            len = 3;
        } else if ((c >> 3) == 0x1E) {
            len = 4;
        }
        if (len > 1) {
            bool ok = i + len <= s.size();
            uint32_t v = c & (0xFF >> (len + 1));
            for (size_t k = 1; ok && k < len; ++k) {
                const auto cc = static_cast<uint8_t>(s[i + k]);
                if ((cc >> 6) != 0x2) ok = false;
                v = (v << 6) | (cc & 0x3F);
            }
            static constexpr uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
            if (ok && v >= kMin[len] && v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF)) {
                cp = v;
            } else {
                len = 1;
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(0xD800 | (cp >> 10));
            unit(0xDC00 | (cp & 0x3FF));
        } else {
            unit(cp);
        }
        i += len;
    }
    out.resize(o);
    return out;
}

} // namespace velloquin::pst
