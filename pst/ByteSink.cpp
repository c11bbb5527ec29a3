#include "pst/ByteSink.h"

#include "core/Text.h"

namespace velloquin::pst {

Bytes Utf16Le(std::string_view s) {
    return Utf8ToUtf16Le(s);
}

} // namespace velloquin::pst
