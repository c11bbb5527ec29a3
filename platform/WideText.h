// UTF-8 to UTF-16 and back, for the Windows interfaces that take and give
// UTF-16 text (the "W" functions). Windows only.
#pragma once

#include <string>
#include <string_view>

namespace velloquin::platform {

// Invalid sequences become U+FFFD; neither direction throws.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

} // namespace velloquin::platform
