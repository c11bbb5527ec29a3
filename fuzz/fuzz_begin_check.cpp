// The window's BEGIN:VCARD check on arbitrary files, compared with the lines
// the reader itself would see: the check promises to cut lines the way the
// reader does, so it must find a begin line exactly when the reader would.
#include "FuzzSupport.h"

#include "app/FormLogic.h"
#include "core/Text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool IsBeginLine(std::string_view line) {
    while (!line.empty() && line.front() == ' ')
        line.remove_prefix(1);
    while (!line.empty() && line.back() == ' ')
        line.remove_suffix(1);
    return velloquin::UpperAscii(line) == "BEGIN:VCARD";
}

// The reader's lines: decoded as the reader decodes a backup, ended by CR LF
// or a lone CR.
bool ReaderSeesBegin(std::string_view bytes) {
    const std::string text = velloquin::DecodeBackupBytes(bytes);
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t cr = text.find('\r', pos);
        const size_t end = cr == std::string::npos ? text.size() : cr;
        if (IsBeginLine(std::string_view(text).substr(pos, end - pos))) return true;
        if (cr == std::string::npos) break;
        pos = cr + (cr + 1 < text.size() && text[cr + 1] == '\n' ? 2 : 1);
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string path = velloquin::fuzz::WriteInput("backup.vcf", bytes);
    const auto look = velloquin::app::LookForBeginVCard(path, nullptr);
    if (look.result != velloquin::app::BackupLook::Found &&
        look.result != velloquin::app::BackupLook::NotFound)
        std::abort();
    if ((look.result == velloquin::app::BackupLook::Found) != ReaderSeesBegin(bytes)) std::abort();
    return 0;
}
