// Paths are UTF-8 text inside the program. The system's own form (UTF-16 on
// Windows, bytes elsewhere) is made only where a path meets the system.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace velloquin::platform {

// A path from UTF-8 text. A narrow std::filesystem::path would take the text in
// the ANSI code page on Windows.
std::filesystem::path PathFromUtf8(std::string_view text);

// The path as UTF-8 text (path::string() gives the ANSI code page on Windows
// and loses what that code page cannot hold).
std::string Utf8FromPath(const std::filesystem::path& path);

} // namespace velloquin::platform
