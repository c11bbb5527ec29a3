// Text helpers shared by the core modules. All text in memory is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velloquin {

// Removes leading and trailing spaces (not tabs).
std::string Trim(std::string_view text);
// The same without a copy: a view into text. Inline, as every line of a
// backup is trimmed several times over.
inline std::string_view TrimView(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}
// ASCII upper case; other bytes are left as they are.
std::string UpperAscii(std::string_view text);
std::string LowerAscii(std::string_view text);
// True when text, put in ASCII upper case, equals upper (which is upper case).
bool EqualsUpperAscii(std::string_view text, std::string_view upper);

bool IsValidUtf8(std::string_view bytes);
// The position of the first byte from pos on that is not ASCII (or the end).
size_t SkipAscii(std::string_view text, size_t pos);
// The length of the longest well-formed UTF-8 start of the bytes.
size_t Utf8WellFormedLength(std::string_view bytes);
// Length of the well-formed UTF-8 character at pos, its code point in cp;
// 0 if there is none there (overlong forms, surrogates and code points past
// U+10FFFF are not well formed).
size_t Utf8CharLength(std::string_view s, size_t pos, char32_t& cp);
// Windows-1252 bytes to UTF-8, through the platform's converter. Undefined
// bytes map to U+FFFD.
std::string Cp1252ToUtf8(std::string_view bytes);
// UTF-16 bytes (no byte-order mark) to UTF-8; unpaired surrogates become
// U+FFFD and an odd last byte is dropped.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);
// UTF-8 to UTF-16 (invalid bytes are taken as Windows-1252).
std::u16string Utf8ToUtf16(std::string_view text);
// The same as little-endian bytes, as files store it.
std::vector<uint8_t> Utf8ToUtf16Le(std::string_view text);
// The same appended to `out`, for writers that build many values in one buffer.
void AppendUtf16Le(std::string_view text, std::vector<uint8_t>& out);
// The first n characters of UTF-8 text.
std::string Utf8Prefix(std::string_view text, size_t n);

// An address value as the ADR rules leave it, with its vCard escapes
// resolved: "\n" becomes lineBreak, every other backslash goes (so "\," and
// "\;" keep their character). Both outputs resolve a street by this one rule.
std::string ResolveAddressEscapes(std::string_view text, std::string_view lineBreak);

// True when the bytes hold at least one well-formed UTF-8 character outside
// ASCII: text that is UTF-8 at heart, whatever stray bytes it also holds.
bool HasUtf8BeyondAscii(std::string_view bytes);

// Decodes UTF-8 that holds stray bytes, piece by piece: well-formed UTF-8 is
// kept, every other byte is taken as the Windows-1252 character it stands
// for. The lines (ended by CR LF, a lone CR or a lone LF, counted from 1) on
// which that happened are collected.
class StrayByteDecoder {
  public:
    static constexpr size_t kMaxLinesKept = 1000;
    // Appends the piece's text to out. A character cut by the end of a piece
    // is held until the next; atEnd ends the text.
    void Add(std::string_view bytes, bool atEnd, std::string& out);
    // The first kMaxLinesKept lines with stray bytes, and how many there were.
    const std::vector<uint64_t>& Lines() const { return lines_; }
    uint64_t LineCount() const { return lineCount_; }

  private:
    std::string held_;
    uint64_t line_ = 1;
    bool afterCr_ = false;
    uint64_t lastLine_ = 0; // the last line with a stray byte
    std::vector<uint64_t> lines_;
    uint64_t lineCount_ = 0;
};

// Backup file bytes to text: UTF-8 when the bytes are valid UTF-8 (a leading
// byte-order mark removed); UTF-8 with its stray bytes as Windows-1252 when
// they hold UTF-8 beyond ASCII; otherwise Windows-1252.
std::string DecodeBackupBytes(std::string_view bytes);

} // namespace velloquin
