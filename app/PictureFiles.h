// The contacts' pictures as files in the run's output folder, where the store
// takes them from.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velloquin::app {

// Writes the picture of the contact numbered ivCard into folder (which ends
// in a separator). The file is named by the number only, so that nothing in
// a backup chooses where it is written and every picture of a run gets a file
// of its own. Returns the file's path, or empty text and in failure what the
// run's notes say about it. extension names the picture's type ("jpg"); one
// that is not a few letters and digits is taken as "gif".
std::string WritePictureFile(const std::string& folder, std::string_view bytes, int32_t ivCard,
                             std::string& failure, std::string_view extension = "gif");

} // namespace velloquin::app
