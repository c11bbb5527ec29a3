// The store's file: created exclusively (never over an existing file), written
// at explicit offsets, flushed at commit points. Its bytes go through an
// output sink, so tests keep a store in memory or let its device run full.
#pragma once

#include "core/OutputSink.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velloquin::pst {

class StoreFile {
  public:
    // Throws PstError when the file exists or cannot be created.
    explicit StoreFile(const std::string& path);
    // The sink of a new file at path, as the constructor above makes it.
    static std::unique_ptr<OutputSink> CreateNewFileSink(const std::string& path);
    // The store written into a sink of the caller's (memory, a device that
    // runs full); path only names it in messages.
    StoreFile(const std::string& path, std::unique_ptr<OutputSink> sink);
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
    bool IsOpen() const { return sink_ != nullptr; }
    uint64_t Size() const { return size_; }
    const std::string& Path() const { return path_; }

  private:
    [[noreturn]] void Throw(const char* what);
    std::string path_;
    std::unique_ptr<OutputSink> sink_;
    bool failed_ = false; // a failure was thrown already
    uint64_t size_ = 0;   // highest byte written + 1
};

} // namespace velloquin::pst
