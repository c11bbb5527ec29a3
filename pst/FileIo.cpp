#include "pst/FileIo.h"

#include "pst/PstError.h"

#include <span>

namespace velloquin::pst {

namespace {

// The store writes pages and blocks of a few KB; a megabyte gathers a
// checkpoint's worth into few system calls.
constexpr size_t kBufferSize = 1 << 20;

} // namespace

StoreFile::StoreFile(const std::string& path) : StoreFile(path, CreateNewFileSink(path)) {}

std::unique_ptr<OutputSink> StoreFile::CreateNewFileSink(const std::string& path) {
    // One step that both checks and creates, so that a file appearing in
    // between is not overwritten either.
    platform::CreateFailure failure;
    auto file = FileSink::CreateNew(path, failure);
    if (!file) {
        if (failure.exists) throw PstError("The store file already exists: " + path);
        throw PstError("The store file cannot be created: " + path + " (" + failure.reason + ")");
    }
    return std::make_unique<BufferedSink>(std::move(file), kBufferSize);
}

StoreFile::StoreFile(const std::string& path, std::unique_ptr<OutputSink> sink)
    : path_(path), sink_(std::move(sink)) {}

StoreFile::~StoreFile() {
    if (sink_) sink_->Close();
}

void StoreFile::Throw(const char* what) {
    failed_ = true;
    const std::string& reason = sink_ ? sink_->Error().reason : std::string();
    throw PstError(what + path_ + (reason.empty() ? "" : " (" + reason + ")"));
}

void StoreFile::WriteAt(uint64_t offset, const void* data, size_t size) {
    if (!IsOpen()) throw PstError("The store file is closed: " + path_);
    if (offset > 0x7FFFFFFF || size > 0x7FFFFFFF - offset)
        throw PstError("The store file is too large: " + path_);
    const std::span bytes(static_cast<const uint8_t*>(data), size);
    if (!sink_->WriteAt(offset, bytes)) Throw("Cannot write the store file: ");
    if (offset + size > size_) size_ = offset + size;
}

void StoreFile::Flush(bool toDisk) {
    // The commit protocol relies on the header reaching the disk after the
    // data it points to.
    if (sink_ && !sink_->Flush(toDisk) && !failed_) Throw("Cannot write the store file: ");
}

void StoreFile::Close() {
    if (!sink_) return;
    const bool closed = sink_->Close();
    // A failure the caller has already been told of is not told again.
    if (!closed && !failed_) Throw("Cannot close the store file: ");
    sink_.reset();
}

} // namespace velloquin::pst
