#include "excel/ByteSink.h"

#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace velloquin::excel {

namespace {

std::error_code LastErrno(int fallback) {
    const int value = errno != 0 ? errno : fallback;
    return {value, std::generic_category()};
}

} // namespace

FileError FileErrorFrom(const std::error_code& error) {
    const std::error_condition condition = error.default_error_condition();
    int32_t code = result::kPathFileAccessError;
    if (condition == std::errc::no_space_on_device || condition == std::errc::file_too_large) {
        code = result::kDiskFull;
    } else if (condition == std::errc::permission_denied ||
               condition == std::errc::operation_not_permitted ||
               condition == std::errc::read_only_file_system ||
               condition == std::errc::text_file_busy ||
               condition == std::errc::device_or_resource_busy) {
        code = result::kPermissionDenied;
    } else if (condition == std::errc::no_such_file_or_directory ||
               condition == std::errc::not_a_directory) {
        code = result::kPathNotFound;
    } else if (condition == std::errc::io_error) {
        code = result::kDeviceIoError;
    }
    return {code, error.message()};
}

bool SinkBase::Fail(FileError error) {
    if (!Failed()) error_ = std::move(error);
    return false;
}

// ---- FileSink ----

std::unique_ptr<FileSink> FileSink::Open(const std::string& utf8Path, FileError& error) {
    errno = 0;
    std::FILE* file = platform::OpenFile(utf8Path, "wb");
    if (file == nullptr) {
        error = FileErrorFrom(LastErrno(EACCES));
        return nullptr;
    }
    // BufferedSink does the buffering; a second buffer here would only hide
    // how many bytes really reached the file.
    std::setvbuf(file, nullptr, _IONBF, 0);
    return std::unique_ptr<FileSink>(new FileSink(file));
}

FileSink::~FileSink() {
    if (file_ != nullptr) std::fclose(file_);
}

bool FileSink::Append(std::span<const uint8_t> bytes) {
    if (Failed()) return false;
    if (file_ == nullptr) return Fail({result::kBadFileReference, "the file is closed"});
    errno = 0;
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file_);
    committed_ += written;
    if (written != bytes.size()) return Fail(FileErrorFrom(LastErrno(EIO)));
    return true;
}

bool FileSink::Flush() {
    if (Failed()) return false;
    if (file_ == nullptr) return Fail({result::kBadFileReference, "the file is closed"});
    errno = 0;
    if (std::fflush(file_) != 0) return Fail(FileErrorFrom(LastErrno(EIO)));
    return true;
}

bool FileSink::Close() {
    if (file_ == nullptr) return !Failed();
    errno = 0;
    const bool flushed = std::fflush(file_) == 0;
    const std::error_code flushError = LastErrno(EIO);
    errno = 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!flushed) return Fail(FileErrorFrom(flushError));
    if (!closed) return Fail(FileErrorFrom(LastErrno(EIO)));
    return !Failed();
}

// ---- MemorySink ----

bool MemorySink::Append(std::span<const uint8_t> bytes) {
    if (Failed()) return false;
    if (closed_) return Fail({result::kBadFileReference, "the sink is closed"});
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return true;
}

bool MemorySink::Close() {
    closed_ = true;
    return !Failed();
}

// ---- FailingSink ----

bool FailingSink::Append(std::span<const uint8_t> bytes) {
    if (Failed()) return false;
    const size_t room = capacity_ > out_.size() ? capacity_ - out_.size() : 0;
    const size_t taken = std::min(room, bytes.size());
    out_.insert(out_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken));
    if (taken < bytes.size()) {
        return Fail(FileErrorFrom(std::make_error_code(std::errc::no_space_on_device)));
    }
    return true;
}

// ---- BufferedSink ----

BufferedSink::BufferedSink(std::unique_ptr<ByteSink> inner, size_t capacity)
    : inner_(std::move(inner)), capacity_(std::max<size_t>(capacity, 1)) {
    buffer_.reserve(capacity_);
}

bool BufferedSink::Drain() {
    if (buffer_.empty()) return true;
    const bool ok = inner_->Append(buffer_);
    buffer_.clear();
    if (!ok) return Fail(inner_->Error());
    return true;
}

bool BufferedSink::Append(std::span<const uint8_t> bytes) {
    if (Failed()) return false;
    if (buffer_.size() + bytes.size() > capacity_ && !Drain()) return false;
    if (bytes.size() >= capacity_) {
        if (!inner_->Append(bytes)) return Fail(inner_->Error());
        return true;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    return true;
}

bool BufferedSink::Flush() {
    if (Failed()) return false;
    if (!Drain()) return false;
    if (!inner_->Flush()) return Fail(inner_->Error());
    return true;
}

bool BufferedSink::Close() {
    const bool drained = Failed() ? false : Drain();
    // The destination is released even after a failure, so that no handle
    // outlives the run.
    const bool closed = inner_->Close();
    if (!drained) return false;
    if (!closed) return Fail(inner_->Error());
    return true;
}

} // namespace velloquin::excel
