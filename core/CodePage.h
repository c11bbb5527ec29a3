// Text in the Windows code pages, converted by the platform: glibc's iconv on
// Linux, MultiByteToWideChar and WideCharToMultiByte on Windows. Text in
// memory is UTF-8; only the workbook and old backups meet code pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velloquin {

// The code page that Western European systems use, and that backups which are
// not UTF-8 are read in.
inline constexpr uint16_t kWesternCodePage = 1252;

// What Encode did with the text.
struct EncodeResult {
    size_t consumed = 0; // bytes of the UTF-8 text that went in (all, unless cut)
    size_t replaced = 0; // characters the code page does not hold, written as '?'
};

// The platform's part (CodePageIconv.cpp or CodePageWindows.cpp): one open
// conversion each way. EncodeOneCharacter takes one well-formed UTF-8
// character and appends its bytes, or returns false when the code page has
// no bytes that read back as that same character (the converter above keeps
// each answer and does the rest). OpenCodePage returns null when the platform
// lacks the code page.
struct CodePagePlatform;
struct CodePagePlatformDeleter {
    void operator()(CodePagePlatform* platform) const;
};
CodePagePlatform* OpenCodePage(uint16_t codePage);
bool EncodeOneCharacter(CodePagePlatform& platform, std::string_view character, std::string& out);
void DecodeBytes(CodePagePlatform& platform, std::string_view bytes, std::string& out);

// One code page, both ways. Not shared between threads: each user keeps its own.
class CodePageConverter {
  public:
    explicit CodePageConverter(uint16_t codePage);
    ~CodePageConverter();
    CodePageConverter(const CodePageConverter&) = delete;
    CodePageConverter& operator=(const CodePageConverter&) = delete;
    CodePageConverter(CodePageConverter&&) noexcept;
    CodePageConverter& operator=(CodePageConverter&&) noexcept;

    uint16_t CodePage() const { return codePage_; }
    // False when the platform cannot convert this code page; then Encode
    // replaces every character outside ASCII and Decode every byte above 0x7F.
    bool Available() const;

    // Appends the text in the code page to out. A character the code page
    // does not hold becomes '?'. Bytes that are not UTF-8 are taken as
    // Windows-1252 characters, which is what such stray bytes are in a
    // backup. With maxBytes the conversion stops before the first character
    // that would pass it, so that no double-byte character is ever split.
    EncodeResult Encode(std::string_view utf8, std::string& out, size_t maxBytes = SIZE_MAX);
    // Appends the code page's bytes as UTF-8; a byte (or double-byte
    // sequence) the code page leaves undefined becomes U+FFFD.
    void Decode(std::string_view bytes, std::string& out);
    // True when the code page holds every character of the UTF-8 text.
    bool Holds(std::string_view utf8);

  private:
    struct Known; // what the platform made of each character met so far
    bool EncodeCharacter(std::string_view character, std::string& bytes);
    bool EncodeStray(char byte, std::string& bytes);

    uint16_t codePage_;
    std::unique_ptr<CodePagePlatform, CodePagePlatformDeleter> platform_;
    std::unique_ptr<CodePageConverter> western_; // for stray bytes, made when one is met
    std::unique_ptr<Known> known_;
};

} // namespace velloquin
