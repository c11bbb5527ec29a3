#include "pst/ByteSink.h"

#include "vcard/Text.h"

namespace velloquin::pst {

Bytes Utf16Le(std::string_view s) {
    // At most two bytes for every byte of UTF-8; zeroed, so an ASCII
    // character only needs its low byte.
    Bytes out(s.size() * 2);
    size_t o = 0;
    for (size_t pos = 0; pos < s.size();) {
        const size_t ascii = SkipAscii(s, pos);
        for (; pos < ascii; ++pos, o += 2)
            out[o] = static_cast<uint8_t>(s[pos]);
        // A run of other bytes: UTF-8 sequences never hold an ASCII byte, so
        // cutting there never cuts a character.
        size_t end = pos;
        while (end < s.size() && static_cast<unsigned char>(s[end]) >= 0x80)
            ++end;
        for (const char16_t unit : Utf8ToUtf16(s.substr(pos, end - pos))) {
            out[o++] = static_cast<uint8_t>(unit & 0xFF);
            out[o++] = static_cast<uint8_t>(unit >> 8);
        }
        pos = end;
    }
    out.resize(o);
    return out;
}

} // namespace velloquin::pst
