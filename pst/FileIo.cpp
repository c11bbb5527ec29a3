#include "pst/FileIo.h"

#include "pst/PstError.h"

#include "platform/Files.h"

namespace velloquin::pst {

namespace {

constexpr size_t kBufferSize = 1 << 20;

} // namespace

StoreFile::StoreFile(const std::string& path) : path_(path) {
    // One step that both checks and creates, so that a file appearing in
    // between is not overwritten either.
    platform::CreateFailure failure;
    file_ = platform::CreateNewFile(path, failure);
    if (!file_) {
        if (failure.exists) throw PstError("The store file already exists: " + path);
        throw PstError("The store file cannot be created: " + path + " (" + failure.reason + ")");
    }
    std::setvbuf(file_, nullptr, _IOFBF, kBufferSize);
}

StoreFile::~StoreFile() {
    if (file_) std::fclose(file_);
}

void StoreFile::WriteAt(uint64_t offset, const void* data, size_t size) {
    if (!file_) throw PstError("The store file is closed: " + path_);
    if (offset > 0x7FFFFFFF || size > 0x7FFFFFFF - offset)
        throw PstError("The store file is too large: " + path_);
    // A failing write stores nothing, like a disk that is full.
    if (size > failAfter_) throw PstError("Cannot write the store file: " + path_ + " (disk full)");
    if (offset != pos_) {
        if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0)
            throw PstError("Cannot position in the store file: " + path_);
        pos_ = offset;
    }
    if (size > 0 && std::fwrite(data, 1, size, file_) != size)
        throw PstError("Cannot write the store file: " + path_);
    pos_ += size;
    if (failAfter_ != UINT64_MAX) failAfter_ -= size;
    if (pos_ > size_) size_ = pos_;
}

void StoreFile::Flush(bool toDisk) {
    if (!file_) return;
    if (std::fflush(file_) != 0) throw PstError("Cannot write the store file: " + path_);
    // The commit protocol relies on the header reaching the disk after the
    // data it points to.
    if (toDisk && !platform::SyncToDisk(file_))
        throw PstError("Cannot write the store file to the disk: " + path_);
}

void StoreFile::Close() {
    if (!file_) return;
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) throw PstError("Cannot close the store file: " + path_);
}

} // namespace velloquin::pst
