#include "platform/Files.h"

#include "platform/WideText.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

namespace velloquin::platform {

namespace {

std::wstring Wide(const std::string& utf8) {
    return WideFromUtf8(utf8);
}

// The system's words for an error code, without the line break it ends with.
std::string SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length > 0 && text) {
        message = Utf8FromWide(std::wstring_view(text, length));
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                    message.back() == ' ' || message.back() == '.'))
            message.pop_back();
    }
    if (text) LocalFree(text);
    if (message.empty()) message = "system error " + std::to_string(code);
    return message;
}

} // namespace

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
    // msvcrt takes modes of plain ASCII; widen them as they are.
    std::wstring wideMode;
    for (const char* c = mode; *c; ++c)
        wideMode.push_back(static_cast<wchar_t>(*c));
    return _wfopen(Wide(utf8Path).c_str(), wideMode.c_str());
}

std::FILE* CreateNewFile(const std::string& utf8Path, CreateFailure& failure) {
    // msvcrt's fopen ignores the "x" of C11, so the exclusive creation is the
    // system's own: CREATE_NEW fails when the name exists.
    HANDLE handle =
        CreateFileW(Wide(utf8Path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        failure = {code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS, SystemMessage(code)};
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        DeleteFileW(Wide(utf8Path).c_str());
        failure = {false, "no file descriptor is free"};
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "w+b");
    if (!file) {
        const int err = errno;
        _close(fd);
        DeleteFileW(Wide(utf8Path).c_str());
        failure = {false, std::strerror(err)};
    }
    return file;
}

bool SyncToDisk(std::FILE* file) {
    // _commit asks the system to flush its cache of the file (FlushFileBuffers).
    return _commit(_fileno(file)) == 0;
}

bool IsHiddenFile(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

} // namespace velloquin::platform
