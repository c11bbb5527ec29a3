#include "pst/ByteSink.h"

#include "vcard/Text.h"

namespace velloquin::pst {

Bytes Utf16Le(std::string_view s) {
    const std::u16string units = Utf8ToUtf16(s);
    Bytes out(units.size() * 2);
    for (size_t i = 0; i < units.size(); ++i) {
        out[2 * i] = static_cast<uint8_t>(units[i] & 0xFF);
        out[2 * i + 1] = static_cast<uint8_t>(units[i] >> 8);
    }
    return out;
}

} // namespace velloquin::pst
