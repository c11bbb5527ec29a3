// The store's file: created exclusively (never over an existing file), written
// at explicit offsets, flushed at commit points. Tests can make it fail after
// a given number of bytes to exercise the error paths.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace velloquin::pst {

class StoreFile {
  public:
    // Throws PstError when the file exists or cannot be created.
    explicit StoreFile(const std::string& path);
    // The same file kept in memory: the bytes go into memory, which must
    // outlive the file; path only names it in messages.
    StoreFile(const std::string& path, std::vector<uint8_t>& memory);
    ~StoreFile();
    StoreFile(const StoreFile&) = delete;
    StoreFile& operator=(const StoreFile&) = delete;

    void WriteAt(uint64_t offset, const void* data, size_t size);
    // Pushes buffered bytes to the operating system, which is all a killed
    // process needs; `toDisk` also waits for the disk where the platform
    // offers it (kept for the final commit: a sync per checkpoint would make
    // long runs wait on the disk many times).
    void Flush(bool toDisk = false);
    void Close();
    bool IsOpen() const { return file_ != nullptr || memory_ != nullptr; }
    uint64_t Size() const { return size_; }
    const std::string& Path() const { return path_; }

    // After this many more bytes every write throws (test hook).
    void FailAfter(uint64_t bytes) { failAfter_ = bytes; }

  private:
    std::string path_;
    std::FILE* file_ = nullptr;
    std::vector<uint8_t>* memory_ = nullptr;
    uint64_t pos_ = 0;  // position of the stream
    uint64_t size_ = 0; // highest byte written + 1
    uint64_t failAfter_ = UINT64_MAX;
};

} // namespace velloquin::pst
