// Where an output's bytes go: a file, memory, or (for tests) a device that
// runs full. The workbook, the sheets and the store all write through one of
// these; encoding never touches a sink, the writers hand it finished bytes.
#pragma once

#include "platform/Files.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace velloquin {

// Result codes of the writers that report codes rather than throw. The file
// codes follow the run-time error numbers that Basic programs report for the
// same failures, so that a file error can never be mistaken for an overflow
// (6) or a type mismatch (13), as the raw errno values EACCES (13) or ENXIO
// (6) would be.
namespace result {
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kBadFileReference = 52;
inline constexpr int32_t kDeviceIoError = 57;
inline constexpr int32_t kDiskFull = 61;
inline constexpr int32_t kPermissionDenied = 70;
inline constexpr int32_t kPathFileAccessError = 75;
inline constexpr int32_t kPathNotFound = 76;
} // namespace result

// A failure of the destination: the writer's code and the system's words.
struct FileError {
    int32_t code = result::kOk;
    std::string reason;
};

// The writer's code for a system error, and the system's message for it.
FileError FileErrorFrom(const std::error_code& error);

class OutputSink {
  public:
    virtual ~OutputSink() = default;

    // Appends the bytes after the last byte written so far. On failure the
    // sink stays failed: every later call fails with the same error.
    virtual bool Append(std::span<const uint8_t> bytes) = 0;
    // Writes the bytes at an absolute offset, over earlier bytes or past the
    // end (the store rewrites its header and extends its regions).
    virtual bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) = 0;
    // Pushes everything written so far to the destination; `toDisk` also
    // waits for the disk where the destination has one.
    virtual bool Flush(bool toDisk = false) = 0;
    // Flushes and releases the destination; the sink takes nothing afterwards.
    virtual bool Close() = 0;
    // Bytes that reached the destination (for a buffered sink, not those still
    // in its buffer).
    virtual uint64_t Committed() const = 0;
    virtual const FileError& Error() const = 0;
};

// A sink with the sticky-failure bookkeeping done once.
class SinkBase : public OutputSink {
  public:
    const FileError& Error() const override { return error_; }

  protected:
    bool Failed() const { return error_.code != result::kOk; }
    bool Fail(FileError error);

  private:
    FileError error_;
};

// Writes straight to a file, without a buffer of its own (see BufferedSink).
class FileSink final : public SinkBase {
  public:
    // Creates or truncates the file; on failure the error tells why.
    static std::unique_ptr<FileSink> Open(const std::string& utf8Path, FileError& error);
    // Creates the file only where nothing of that name exists, in one step of
    // the system, so that a file appearing in between is not overwritten.
    static std::unique_ptr<FileSink> CreateNew(const std::string& utf8Path,
                                               platform::CreateFailure& failure);
    ~FileSink() override;
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    bool Append(std::span<const uint8_t> bytes) override;
    bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) override;
    bool Flush(bool toDisk = false) override;
    bool Close() override;
    uint64_t Committed() const override { return committed_; }

  private:
    explicit FileSink(std::FILE* file) : file_(file) {}
    bool Write(std::span<const uint8_t> bytes);
    std::FILE* file_;
    uint64_t position_ = 0; // of the stream
    uint64_t end_ = 0;      // highest byte written + 1
    uint64_t committed_ = 0;
};

// Collects the bytes in a vector that the caller owns and reads.
class MemorySink final : public SinkBase {
  public:
    explicit MemorySink(std::vector<uint8_t>& out) : out_(out) {}
    bool Append(std::span<const uint8_t> bytes) override;
    bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) override;
    bool Flush(bool /*toDisk*/ = false) override { return !Failed(); }
    bool Close() override;
    uint64_t Committed() const override { return out_.size(); }

  private:
    std::vector<uint8_t>& out_;
    bool closed_ = false;
};

// A device that is full after `capacity` bytes: the write that crosses the
// limit stores what fits, as a real disk does, and fails with "disk full".
class FailingSink final : public SinkBase {
  public:
    FailingSink(std::unique_ptr<OutputSink> inner, uint64_t capacity)
        : inner_(std::move(inner)), capacity_(capacity) {}
    // The common case of the tests: memory that runs full.
    FailingSink(std::vector<uint8_t>& out, uint64_t capacity);
    // The device fills up after this many more bytes.
    void FailAfter(uint64_t more) { capacity_ = written_ + more; }

    bool Append(std::span<const uint8_t> bytes) override;
    bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) override;
    bool Flush(bool toDisk = false) override;
    bool Close() override;
    uint64_t Committed() const override { return inner_->Committed(); }

  private:
    bool Take(std::span<const uint8_t> bytes, size_t& taken);
    std::unique_ptr<OutputSink> inner_;
    uint64_t capacity_;
    uint64_t written_ = 0;
};

// Gathers small writes into large ones. A failure of the destination shows at
// the flush that meets it, at the latest at Close.
class BufferedSink final : public SinkBase {
  public:
    static constexpr size_t kDefaultCapacity = 64 * 1024;
    explicit BufferedSink(std::unique_ptr<OutputSink> inner, size_t capacity = kDefaultCapacity);

    bool Append(std::span<const uint8_t> bytes) override;
    bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) override;
    bool Flush(bool toDisk = false) override;
    bool Close() override;
    uint64_t Committed() const override { return inner_->Committed(); }

    // Room for `size` more bytes that Append would keep in the buffer: the
    // caller writes them there, then calls Took(size). Null when Append would
    // have to write to the destination (or fail) for them. A sheet's cells
    // are written this way, most of them a few bytes long.
    uint8_t* Room(size_t size) {
        if (Failed() || size >= capacity_ || capacity_ - used_ < size) return nullptr;
        if (used_ == 0) bufferAt_ = end_;
        return buffer_.get() + used_;
    }
    void Took(size_t size) {
        used_ += size;
        end_ += size;
    }

  private:
    bool Drain();
    std::unique_ptr<OutputSink> inner_;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t used_ = 0; // bytes in the buffer
    size_t capacity_;
    uint64_t bufferAt_ = 0; // where the buffer's first byte goes
    uint64_t end_ = 0;      // highest byte written + 1, buffer included
};

} // namespace velloquin
