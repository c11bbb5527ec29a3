#include "core/OutputSink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace velloquin {

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

std::unique_ptr<FileSink> FileSink::CreateNew(const std::string& utf8Path,
                                              platform::CreateFailure& failure) {
    std::FILE* file = platform::CreateNewFile(utf8Path, failure);
    if (file == nullptr) return nullptr;
    std::setvbuf(file, nullptr, _IONBF, 0);
    return std::unique_ptr<FileSink>(new FileSink(file));
}

FileSink::~FileSink() {
    if (file_ != nullptr) std::fclose(file_);
}

bool FileSink::Write(std::span<const uint8_t> bytes) {
    if (Failed()) return false;
    if (file_ == nullptr) return Fail({result::kBadFileReference, "the file is closed"});
    errno = 0;
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file_);
    committed_ += written;
    position_ += written;
    end_ = std::max(end_, position_);
    if (written != bytes.size()) return Fail(FileErrorFrom(LastErrno(EIO)));
    return true;
}

bool FileSink::Append(std::span<const uint8_t> bytes) {
    return WriteAt(end_, bytes);
}

bool FileSink::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
    if (Failed()) return false;
    if (file_ == nullptr) return Fail({result::kBadFileReference, "the file is closed"});
    if (offset != position_) {
        // fseek takes a long, which is 32 bits on Windows.
        if (offset > 0x7FFFFFFF) return Fail({result::kDiskFull, "the file would be too large"});
        errno = 0;
        if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0)
            return Fail(FileErrorFrom(LastErrno(EIO)));
        position_ = offset;
    }
    return Write(bytes);
}

bool FileSink::Flush(bool toDisk) {
    if (Failed()) return false;
    if (file_ == nullptr) return Fail({result::kBadFileReference, "the file is closed"});
    errno = 0;
    if (std::fflush(file_) != 0) return Fail(FileErrorFrom(LastErrno(EIO)));
    if (toDisk && !platform::SyncToDisk(file_)) return Fail(FileErrorFrom(LastErrno(EIO)));
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

bool MemorySink::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
    if (offset == out_.size()) return Append(bytes);
    if (Failed()) return false;
    if (closed_) return Fail({result::kBadFileReference, "the sink is closed"});
    if (out_.size() < offset + bytes.size()) out_.resize(offset + bytes.size());
    std::copy(bytes.begin(), bytes.end(), out_.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

bool MemorySink::Close() {
    closed_ = true;
    return !Failed();
}

// ---- FailingSink ----

FailingSink::FailingSink(std::vector<uint8_t>& out, uint64_t capacity)
    : FailingSink(std::make_unique<MemorySink>(out), capacity) {}

// How much of the write still fits; false when not all of it does.
bool FailingSink::Take(std::span<const uint8_t> bytes, size_t& taken) {
    const uint64_t room = capacity_ > written_ ? capacity_ - written_ : 0;
    taken = static_cast<size_t>(std::min<uint64_t>(room, bytes.size()));
    written_ += taken;
    return taken == bytes.size();
}

bool FailingSink::Append(std::span<const uint8_t> bytes) {
    if (Failed()) return false;
    size_t taken = 0;
    const bool whole = Take(bytes, taken);
    if (!inner_->Append(bytes.first(taken))) return Fail(inner_->Error());
    if (!whole) return Fail(FileErrorFrom(std::make_error_code(std::errc::no_space_on_device)));
    return true;
}

bool FailingSink::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
    if (Failed()) return false;
    size_t taken = 0;
    const bool whole = Take(bytes, taken);
    if (!inner_->WriteAt(offset, bytes.first(taken))) return Fail(inner_->Error());
    if (!whole) return Fail(FileErrorFrom(std::make_error_code(std::errc::no_space_on_device)));
    return true;
}

bool FailingSink::Flush(bool toDisk) {
    if (Failed()) return false;
    if (!inner_->Flush(toDisk)) return Fail(inner_->Error());
    return true;
}

bool FailingSink::Close() {
    const bool closed = inner_->Close();
    if (Failed()) return false;
    if (!closed) return Fail(inner_->Error());
    return true;
}

// ---- BufferedSink ----

BufferedSink::BufferedSink(std::unique_ptr<OutputSink> inner, size_t capacity)
    : inner_(std::move(inner)), capacity_(std::max<size_t>(capacity, 1)) {
    buffer_.reset(new uint8_t[capacity_]);
}

// The buffer always holds the bytes just before end_: only appends fill it,
// and a write elsewhere drains it first.
bool BufferedSink::Drain() {
    if (used_ == 0) return true;
    const bool ok = inner_->WriteAt(bufferAt_, {buffer_.get(), used_});
    used_ = 0;
    if (!ok) return Fail(inner_->Error());
    return true;
}

bool BufferedSink::Append(std::span<const uint8_t> bytes) {
    if (Failed()) return false;
    if (used_ + bytes.size() > capacity_ && !Drain()) return false;
    if (bytes.size() >= capacity_) {
        const uint64_t at = end_;
        end_ += bytes.size();
        if (!inner_->WriteAt(at, bytes)) return Fail(inner_->Error());
        return true;
    }
    if (used_ == 0) bufferAt_ = end_;
    if (!bytes.empty()) std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
    end_ += bytes.size();
    return true;
}

bool BufferedSink::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
    if (offset == end_) return Append(bytes);
    if (Failed()) return false;
    if (!Drain()) return false;
    end_ = std::max(end_, offset + bytes.size());
    if (!inner_->WriteAt(offset, bytes)) return Fail(inner_->Error());
    return true;
}

bool BufferedSink::Flush(bool toDisk) {
    if (Failed()) return false;
    if (!Drain()) return false;
    if (!inner_->Flush(toDisk)) return Fail(inner_->Error());
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

} // namespace velloquin
