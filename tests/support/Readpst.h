// Reading Outlook stores back with readpst (pst-utils), an independent
// reader of .pst files.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace velloquin::testsupport {

// The "N:" line values (family;given;middle;title;suffix) of every contact
// readpst finds in the store, in the order it lists them. Throws
// std::runtime_error when readpst fails on the store.
std::vector<std::string> ReadpstContactNames(const std::filesystem::path& store);

// False where readpst cannot be run: in the Windows tests under wine.
bool ReadpstAvailable();

} // namespace velloquin::testsupport
