// The Outlook store library's objects on top of our own .pst writer.
#pragma once

#include "outlook/Rdo.h"

#include <memory>

namespace velloquin::pst {

// A new session ("Redemption.RDOSession"), not yet logged on.
std::shared_ptr<outlook::RdoSession> CreatePstSession();

} // namespace velloquin::pst
