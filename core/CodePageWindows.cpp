// The code pages through the Windows API. WC_NO_BEST_FIT_CHARS keeps
// WideCharToMultiByte from writing a look-alike (an "a" for an "a" with a
// ring) where the code page lacks a character, so that a loss shows as the
// default character and is counted. A character counts as held only when its
// bytes read back as itself, the same test as on the other platforms.
#include "core/CodePage.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>

#include <string>

namespace velloquin {

namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

std::wstring Widen(UINT codePage, std::string_view bytes, DWORD flags) {
    if (bytes.empty()) return {};
    const int length = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
    if (units <= 0) return {};
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(codePage, flags, bytes.data(), length, wide.data(), units);
    return wide;
}

void AppendNarrow(UINT codePage, const wchar_t* wide, int units, std::string& out) {
    if (units <= 0) return;
    const int length = WideCharToMultiByte(codePage, 0, wide, units, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return;
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(length));
    WideCharToMultiByte(codePage, 0, wide, units, out.data() + start, length, nullptr, nullptr);
}

} // namespace

struct CodePagePlatform {
    UINT codePage = 0;
};

void CodePagePlatformDeleter::operator()(CodePagePlatform* platform) const {
    delete platform;
}

CodePagePlatform* OpenCodePage(uint16_t codePage) {
    if (!IsValidCodePage(codePage)) return nullptr;
    return new CodePagePlatform{codePage};
}

bool EncodeOneCharacter(CodePagePlatform& platform, std::string_view character, std::string& out) {
    // The default character must be told apart from a '?' of the text, and
    // the system's best-fit look-alikes do not count as the character.
    const std::wstring wide = Widen(CP_UTF8, character, MB_ERR_INVALID_CHARS);
    if (wide.empty()) return false;
    char bytes[8];
    BOOL usedDefault = FALSE;
    const int written =
        WideCharToMultiByte(platform.codePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                            static_cast<int>(wide.size()), bytes, sizeof bytes, "?", &usedDefault);
    if (written <= 0 || usedDefault) return false;
    const std::string_view encoded(bytes, static_cast<size_t>(written));
    if (Widen(platform.codePage, encoded, MB_ERR_INVALID_CHARS) != wide) return false;
    out.append(encoded);
    return true;
}

void DecodeBytes(CodePagePlatform& platform, std::string_view bytes, std::string& out) {
    // MB_ERR_INVALID_CHARS is not asked for, so that one undefined byte does
    // not lose the whole text. The system maps such bytes to look-alikes of
    // its own; they become U+FFFD here, as iconv makes them elsewhere: a lead
    // byte the text ends on, and in the single-byte code pages the C1
    // controls, which none of them defines.
    bool cutLead = false;
    if (!bytes.empty() &&
        IsDBCSLeadByteEx(platform.codePage, static_cast<BYTE>(bytes.back())) != 0) {
        // Count the lead bytes before it: the last byte may be a trail byte.
        size_t pos = 0;
        while (pos < bytes.size()) {
            if (IsDBCSLeadByteEx(platform.codePage, static_cast<BYTE>(bytes[pos])) != 0) {
                if (pos + 1 == bytes.size()) {
                    cutLead = true;
                    break;
                }
                pos += 2;
            } else {
                ++pos;
            }
        }
    }
    if (cutLead) bytes.remove_suffix(1);
    std::wstring wide = Widen(platform.codePage, bytes, 0);
    if (wide.empty() && !bytes.empty()) {
        out += kReplacementUtf8;
        return;
    }
    CPINFO info{};
    if (GetCPInfo(platform.codePage, &info) != 0 && info.MaxCharSize == 1)
        for (wchar_t& c : wide)
            if (c >= 0x80 && c <= 0x9F) c = 0xFFFD;
    AppendNarrow(CP_UTF8, wide.data(), static_cast<int>(wide.size()), out);
    if (cutLead) out += kReplacementUtf8;
}

} // namespace velloquin
