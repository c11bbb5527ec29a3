// Text as a JSON string, for the dump tools that the vCard library
// comparisons read.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace velloquin::testing_support {

inline std::string Json(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

} // namespace velloquin::testing_support
