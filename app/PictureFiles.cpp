#include "PictureFiles.h"

#include "platform/Utf8Path.h"

#include <fstream>

namespace velloquin::app {

std::string WritePictureFile(const std::string& folder, std::string_view bytes, int32_t ivCard,
                             std::string& failure) {
    std::string path = folder + std::to_string(ivCard) + ".gif";
    std::ofstream out(platform::PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    if (out) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out.fail()) return path;
    }
    failure = "The picture file \"" + path + "\" could not be written; the picture was left out.";
    return {};
}

} // namespace velloquin::app
