// The library's factory. On this platform the only object on offer is the
// session of our own store writer; a Windows build can create the COM object
// here instead, behind the same interface.
#include "outlook/Rdo.h"
#include "pst/RdoPst.h"

#include <algorithm>
#include <cctype>

namespace velloquin::outlook {

std::shared_ptr<RdoSession> CreateRdoObject(const std::string& progId) {
    // Programmatic identifiers compare without regard to case, as COM does.
    static const std::string kSession = "Redemption.RDOSession";
    const bool match =
        progId.size() == kSession.size() &&
        std::equal(progId.begin(), progId.end(), kSession.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) ==
                   std::tolower(static_cast<unsigned char>(b));
        });
    if (!match) throw RdoError("Cannot create the object \"" + progId + "\"");
    return pst::CreatePstSession();
}

} // namespace velloquin::outlook
