// The one exception the core's libraries throw. Its text is whole sentences a
// user can be shown: what failed and on which file. Writers that report result
// codes instead (the workbook's) carry the same words in a FileError.
#pragma once

#include <stdexcept>

namespace velloquin {

class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace velloquin
