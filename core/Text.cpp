#include "core/Text.h"

#include "core/CodePage.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace velloquin {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The Windows-1252 character that a stray byte in UTF-8 text stands for.
// The platform is asked once per byte value: text full of stray bytes would
// otherwise call the converter for every one of them.
char32_t Cp1252CodePoint(unsigned char byte) {
    if (byte < 0x80) return byte;
    static const std::array<char32_t, 128> kHigh = [] {
        std::array<char32_t, 128> high{};
        CodePageConverter western(kWesternCodePage);
        for (size_t i = 0; i < high.size(); ++i) {
            const char c = static_cast<char>(0x80 + i);
            std::string utf8;
            western.Decode(std::string_view(&c, 1), utf8);
            char32_t cp = kReplacement;
            high[i] = Utf8CharLength(utf8, 0, cp) > 0 ? cp : kReplacement;
        }
        return high;
    }();
    return kHigh[byte - 0x80];
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

size_t Utf8CharLength(std::string_view s, size_t pos, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    size_t len = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1Fu;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0Fu;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07u;
        min = 0x10000;
    } else {
        return 0;
    }
    if (pos + len > s.size()) return 0;
    for (size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

size_t SkipAscii(std::string_view text, size_t pos) {
    // Eight bytes at a time: a backup is ASCII nearly throughout.
    constexpr uint64_t kHighBits = 0x8080808080808080ull;
    // Thirty-two at a time through long runs (a whole backup is checked
    // this way before it is read).
    while (pos + 32 <= text.size()) {
        uint64_t words[4];
        std::memcpy(words, text.data() + pos, 32);
        if (((words[0] | words[1] | words[2] | words[3]) & kHighBits) != 0) break;
        pos += 32;
    }
    while (pos + 8 <= text.size()) {
        uint64_t word = 0;
        std::memcpy(&word, text.data() + pos, 8);
        if ((word & kHighBits) != 0) break;
        pos += 8;
    }
    while (pos < text.size() && static_cast<unsigned char>(text[pos]) < 0x80)
        ++pos;
    return pos;
}

size_t Utf8WellFormedLength(std::string_view bytes) {
    char32_t cp = 0;
    size_t pos = 0;
    while (pos < bytes.size()) {
        if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
            pos = SkipAscii(bytes, pos);
            continue;
        }
        const size_t len = Utf8CharLength(bytes, pos, cp);
        if (len == 0) break;
        pos += len;
    }
    return pos;
}

namespace {

// One character of text that is meant to be UTF-8 but may hold stray
// Windows-1252 bytes: those count as one character each.
size_t NextChar(std::string_view s, size_t pos, char32_t& cp) {
    size_t len = Utf8CharLength(s, pos, cp);
    if (len == 0) {
        cp = Cp1252CodePoint(static_cast<unsigned char>(s[pos]));
        len = 1;
    }
    return len;
}

} // namespace

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](size_t i) -> char32_t {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? static_cast<char32_t>((a << 8) | b)
                         : static_cast<char32_t>((b << 8) | a);
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                cp = kReplacement;
            }
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::string Trim(std::string_view text) {
    return std::string(TrimView(text));
}

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool EqualsUpperAscii(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i]) return false;
    }
    return true;
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    return Utf8WellFormedLength(bytes) == bytes.size();
}

std::string Cp1252ToUtf8(std::string_view bytes) {
    thread_local CodePageConverter western(kWesternCodePage);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    western.Decode(bytes, out);
    return out;
}

namespace {

// Hands each UTF-16 unit of the text to put, in order: one decoding loop for
// the two forms the units are wanted in.
template <class Put> void ForEachUtf16Unit(std::string_view text, Put&& put) {
    for (size_t pos = 0; pos < text.size();) {
        // Runs of ASCII, most of any text here, are widened without decoding.
        const size_t run = SkipAscii(text, pos);
        for (; pos < run; ++pos)
            put(static_cast<char16_t>(static_cast<unsigned char>(text[pos])));
        if (pos == text.size()) break;
        char32_t cp = 0;
        pos += NextChar(text, pos, cp);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (cp >> 10)));
            put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            put(static_cast<char16_t>(cp));
        }
    }
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
    // No character takes more UTF-16 units than it has UTF-8 bytes.
    std::u16string out(text.size(), u'\0');
    char16_t* o = out.data();
    ForEachUtf16Unit(text, [&o](char16_t unit) { *o++ = unit; });
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}

std::vector<uint8_t> Utf8ToUtf16Le(std::string_view text) {
    std::vector<uint8_t> out;
    AppendUtf16Le(text, out);
    return out;
}

void AppendUtf16Le(std::string_view text, std::vector<uint8_t>& out) {
    const size_t start = out.size();
    out.resize(start + 2 * text.size());
    uint8_t* o = out.data() + start;
    ForEachUtf16Unit(text, [&o](char16_t unit) {
        *o++ = static_cast<uint8_t>(unit & 0xFF);
        *o++ = static_cast<uint8_t>(unit >> 8);
    });
    out.resize(static_cast<size_t>(o - out.data()));
}

std::string Utf8Prefix(std::string_view text, size_t n) {
    size_t pos = 0;
    char32_t cp = 0;
    for (size_t count = 0; count < n && pos < text.size(); ++count)
        pos += NextChar(text, pos, cp);
    return std::string(text.substr(0, pos));
}

std::string DecodeBackupBytes(std::string_view bytes) {
    // A UTF-16 backup would otherwise arrive as text with a NUL after every
    // letter, in which no vCard line can be found.
    if (bytes.size() >= 2) {
        const auto b0 = static_cast<unsigned char>(bytes[0]);
        const auto b1 = static_cast<unsigned char>(bytes[1]);
        if (b0 == 0xFF && b1 == 0xFE) return Utf16ToUtf8(bytes.substr(2), false);
        if (b0 == 0xFE && b1 == 0xFF) return Utf16ToUtf8(bytes.substr(2), true);
    }
    // The byte-order mark is dropped whatever follows it, so that it never
    // stands in front of the first BEGIN:VCARD.
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    if (IsValidUtf8(bytes)) return std::string(bytes);
    if (!HasUtf8BeyondAscii(bytes)) return Cp1252ToUtf8(bytes);
    std::string text;
    StrayByteDecoder().Add(bytes, true, text);
    return text;
}

bool HasUtf8BeyondAscii(std::string_view bytes) {
    for (size_t pos = SkipAscii(bytes, 0); pos < bytes.size(); pos = SkipAscii(bytes, pos)) {
        char32_t cp = 0;
        if (Utf8CharLength(bytes, pos, cp) > 0) return true;
        ++pos;
    }
    return false;
}

void StrayByteDecoder::Add(std::string_view bytes, bool atEnd, std::string& out) {
    std::string joined;
    if (!held_.empty()) {
        joined = std::move(held_) + std::string(bytes);
        held_.clear();
        bytes = joined;
    }
    size_t pos = 0;
    while (pos < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[pos]);
        if (b < 0x80) {
            if (b == '\r' || (b == '\n' && !afterCr_)) ++line_;
            afterCr_ = b == '\r';
            out.push_back(static_cast<char>(b));
            ++pos;
            continue;
        }
        afterCr_ = false;
        char32_t cp = 0;
        const size_t length = Utf8CharLength(bytes, pos, cp);
        if (length > 0) {
            out.append(bytes.substr(pos, length));
            pos += length;
            continue;
        }
        // A lead byte whose continuation may be in the next piece.
        const size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
        const size_t rest = bytes.size() - pos;
        if (!atEnd && b <= 0xF4 && need > rest &&
            std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(pos) + 1, bytes.end(),
                        [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; })) {
            held_.assign(bytes.substr(pos));
            return;
        }
        // The Windows-1252 characters of the bytes above 0x7F, made once: a
        // file of many stray bytes is not converted one call per byte.
        static const std::array<std::string, 128> kWestern = [] {
            std::array<std::string, 128> table;
            for (size_t i = 0; i < table.size(); ++i)
                table[i] = Cp1252ToUtf8(std::string(1, static_cast<char>(0x80 + i)));
            return table;
        }();
        out += kWestern[b - 0x80];
        if (lastLine_ != line_) {
            lastLine_ = line_;
            ++lineCount_;
            if (lines_.size() < kMaxLinesKept) lines_.push_back(line_);
        }
        ++pos;
    }
}

std::string ResolveAddressEscapes(std::string_view text, std::string_view lineBreak) {
    std::string resolved;
    resolved.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            resolved += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == 'n') {
            resolved += lineBreak;
            ++i;
        }
    }
    return resolved;
}

} // namespace velloquin
