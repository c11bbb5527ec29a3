// The Outlook store library's objects on top of our own .pst writer.
#pragma once

#include "outlook/Rdo.h"
#include "pst/Store.h"

#include <memory>

namespace velloquin::pst {

// A new session ("Redemption.RDOSession"), not yet logged on. Its stores are
// written with the given options.
std::shared_ptr<outlook::RdoSession> CreatePstSession(const StoreOptions& options = {});

} // namespace velloquin::pst
