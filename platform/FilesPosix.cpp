#include "platform/Files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace velloquin::platform {

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
    return std::fopen(utf8Path.c_str(), mode);
}

std::FILE* CreateNewFile(const std::string& utf8Path, CreateFailure& failure) {
    const int fd = ::open(utf8Path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int err = errno;
        failure = {err == EEXIST, std::strerror(err)};
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "w+b");
    if (!file) {
        const int err = errno;
        ::close(fd);
        ::unlink(utf8Path.c_str());
        failure = {false, std::strerror(err)};
    }
    return file;
}

bool SyncToDisk(std::FILE* file) {
    return ::fsync(::fileno(file)) == 0;
}

bool IsHiddenFile(const std::filesystem::path& path) {
    const std::string name = path.filename().native();
    return !name.empty() && name.front() == '.';
}

} // namespace velloquin::platform
