// Every failure of the store writer surfaces as the library's error type.
#pragma once

#include "outlook/Rdo.h"

namespace velloquin::pst {

using PstError = velloquin::outlook::RdoError;

} // namespace velloquin::pst
