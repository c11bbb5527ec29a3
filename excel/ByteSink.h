// Where the workbook's bytes go: a file, memory, or (for tests) a device that
// runs full. Encoding never touches a sink; the writer hands finished records
// to one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace velloquin::excel {

// Result codes of the workbook writer. The file codes follow the run-time
// error numbers that Basic programs report for the same failures, so that a
// file error can never be mistaken for an overflow (6) or a type mismatch
// (13), as the raw errno values EACCES (13) or ENXIO (6) would be.
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

class ByteSink {
  public:
    virtual ~ByteSink() = default;

    // Appends the bytes. On failure the sink stays failed: every later call
    // fails with the same error.
    virtual bool Append(std::span<const uint8_t> bytes) = 0;
    // Pushes everything appended so far to the destination.
    virtual bool Flush() = 0;
    // Flushes and releases the destination; the sink takes nothing afterwards.
    virtual bool Close() = 0;
    // Bytes that reached the destination (for a buffered sink, not those still
    // in its buffer).
    virtual uint64_t Committed() const = 0;
    virtual const FileError& Error() const = 0;
};

// A sink with the sticky-failure bookkeeping done once.
class SinkBase : public ByteSink {
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
    ~FileSink() override;
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    bool Append(std::span<const uint8_t> bytes) override;
    bool Flush() override;
    bool Close() override;
    uint64_t Committed() const override { return committed_; }

  private:
    explicit FileSink(std::FILE* file) : file_(file) {}
    std::FILE* file_;
    uint64_t committed_ = 0;
};

// Collects the bytes in a vector that the caller owns and reads.
class MemorySink final : public SinkBase {
  public:
    explicit MemorySink(std::vector<uint8_t>& out) : out_(out) {}
    bool Append(std::span<const uint8_t> bytes) override;
    bool Flush() override { return !Failed(); }
    bool Close() override;
    uint64_t Committed() const override { return out_.size(); }

  private:
    std::vector<uint8_t>& out_;
    bool closed_ = false;
};

// Like MemorySink, but the device is full after `capacity` bytes: the append
// that crosses the limit stores what fits and fails with "disk full".
class FailingSink final : public SinkBase {
  public:
    FailingSink(std::vector<uint8_t>& out, size_t capacity) : out_(out), capacity_(capacity) {}
    bool Append(std::span<const uint8_t> bytes) override;
    bool Flush() override { return !Failed(); }
    bool Close() override { return !Failed(); }
    uint64_t Committed() const override { return out_.size(); }

  private:
    std::vector<uint8_t>& out_;
    size_t capacity_;
};

// Gathers small records into large writes. A failure of the destination shows
// at the flush that meets it, at the latest at Close.
class BufferedSink final : public SinkBase {
  public:
    static constexpr size_t kDefaultCapacity = 64 * 1024;
    explicit BufferedSink(std::unique_ptr<ByteSink> inner, size_t capacity = kDefaultCapacity);

    bool Append(std::span<const uint8_t> bytes) override;
    bool Flush() override;
    bool Close() override;
    uint64_t Committed() const override { return inner_->Committed(); }

  private:
    bool Drain();
    std::unique_ptr<ByteSink> inner_;
    std::vector<uint8_t> buffer_;
    size_t capacity_;
};

} // namespace velloquin::excel
