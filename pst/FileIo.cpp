#include "pst/FileIo.h"

#include "platform/Files.h"
#include "pst/PstError.h"

#include <cstring>

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

StoreFile::StoreFile(const std::string& path, std::vector<uint8_t>& memory)
    : path_(path), memory_(&memory) {
    memory.clear();
}

StoreFile::~StoreFile() {
    if (file_) std::fclose(file_);
}

void StoreFile::WriteAt(uint64_t offset, const void* data, size_t size) {
    if (!IsOpen()) throw PstError("The store file is closed: " + path_);
    if (offset > 0x7FFFFFFF || size > 0x7FFFFFFF - offset)
        throw PstError("The store file is too large: " + path_);
    // A failing write stores nothing, like a disk that is full.
    if (size > failAfter_) throw PstError("Cannot write the store file: " + path_ + " (disk full)");
    if (memory_) {
        if (memory_->size() < offset + size) memory_->resize(offset + size);
        if (size > 0) std::memcpy(memory_->data() + offset, data, size);
        pos_ = offset + size;
    } else if (offset != pos_) {
        if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0)
            throw PstError("Cannot position in the store file: " + path_);
        pos_ = offset;
    }
    if (!memory_) {
        if (size > 0 && std::fwrite(data, 1, size, file_) != size)
            throw PstError("Cannot write the store file: " + path_);
        pos_ += size;
    }
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
    memory_ = nullptr;
    if (!file_) return;
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) throw PstError("Cannot close the store file: " + path_);
}

} // namespace velloquin::pst
