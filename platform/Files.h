// Opening files by UTF-8 name, creating a file only where none exists, and
// making written bytes reach the disk, on every system the same way.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace velloquin::platform {

// fopen with a UTF-8 name. On failure errno says why.
std::FILE* OpenFile(const std::string& utf8Path, const char* mode);

struct CreateFailure {
    bool exists = false; // something of that name was already there
    std::string reason;  // the system's words
};

// Creates the file for reading and writing, binary, and fails when anything of
// that name exists, also one that appeared a moment ago: the check and the
// creation are one step of the system.
std::FILE* CreateNewFile(const std::string& utf8Path, CreateFailure& failure);

// Waits until what was written to the file is on the disk (after fflush).
// False when the system reports a failure.
bool SyncToDisk(std::FILE* file);

// Hidden and system files are left out of folder listings. Unix marks them by
// a leading "." in the name, Windows by the file's attributes.
bool IsHiddenFile(const std::filesystem::path& path);

} // namespace velloquin::platform
