#include "PictureFiles.h"

#include "platform/Utf8Path.h"

#include <algorithm>
#include <fstream>

namespace velloquin::app {

std::string WritePictureFile(const std::string& folder, std::string_view bytes, int32_t ivCard,
                             std::string& failure, std::string_view extension) {
    const bool plain = !extension.empty() && extension.size() <= 5 &&
                       std::all_of(extension.begin(), extension.end(), [](char c) {
                           return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
                       });
    std::string path =
        folder + std::to_string(ivCard) + "." + std::string(plain ? extension : "gif");
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
