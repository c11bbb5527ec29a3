#include "core/CodePage.h"

#include "core/Text.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace velloquin {

// Each character is given to the platform once per converter, the first
// time it is met: its bytes in the code page, or that the code page does not
// hold it. A workbook's texts repeat the same few hundred characters tens of
// thousands of times, and the platform's converter (iconv, or
// WideCharToMultiByte with a check on the way back) costs far more per call
// than a look in a table.
struct CodePageConverter::Known {
    struct Entry {
        enum : uint8_t { kUnknown, kHeld, kLost, kTooLong } state = kUnknown;
        uint8_t size = 0;
        char bytes[6] = {}; // the workbook's code pages need two at most
    };
    // Pages of 256 code points below U+10000, made when one of them is met;
    // beyond, and for stray bytes (by 0x110000 plus the byte), a map, kept
    // within a bound so that text of every character there is cannot grow it
    // without end.
    static constexpr size_t kOthersBound = 1u << 16;
    std::unique_ptr<std::array<Entry, 256>> pages[256];
    std::unordered_map<char32_t, Entry> others;

    Entry& At(char32_t cp) {
        if (cp >= 0x10000) {
            if (others.size() >= kOthersBound && others.find(cp) == others.end()) others.clear();
            return others[cp];
        }
        auto& page = pages[cp >> 8];
        if (!page) page = std::make_unique<std::array<Entry, 256>>();
        return (*page)[cp & 0xFF];
    }
};

CodePageConverter::CodePageConverter(uint16_t codePage)
    : codePage_(codePage), platform_(OpenCodePage(codePage)) {}

CodePageConverter::~CodePageConverter() = default;
CodePageConverter::CodePageConverter(CodePageConverter&&) noexcept = default;
CodePageConverter& CodePageConverter::operator=(CodePageConverter&&) noexcept = default;

bool CodePageConverter::Available() const {
    return platform_ != nullptr;
}

namespace {

constexpr char32_t kStrayBase = 0x110000;
constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

} // namespace

EncodeResult CodePageConverter::Encode(std::string_view utf8, std::string& out, size_t maxBytes) {
    if (!known_) known_ = std::make_unique<Known>();
    EncodeResult result;
    size_t budget = maxBytes;
    size_t pos = 0;
    std::string platformBytes; // a character too long for the table, each time
    while (pos < utf8.size()) {
        // ASCII is the same in every code page a workbook is written in.
        const size_t ascii = std::min(SkipAscii(utf8, pos) - pos, budget);
        out.append(utf8.substr(pos, ascii));
        pos += ascii;
        budget -= ascii;
        if (pos == utf8.size() || budget == 0) break;
        char32_t cp = 0;
        size_t length = Utf8CharLength(utf8, pos, cp);
        if (length == 0) {
            // A stray byte: the Windows-1252 character it stands for.
            length = 1;
            cp = kStrayBase + static_cast<unsigned char>(utf8[pos]);
        }
        Known::Entry& entry = known_->At(cp);
        std::string_view bytes;
        if (entry.state == Known::Entry::kUnknown || entry.state == Known::Entry::kTooLong) {
            platformBytes.clear();
            const bool held = cp >= kStrayBase
                                  ? EncodeStray(utf8[pos], platformBytes)
                                  : EncodeCharacter(utf8.substr(pos, length), platformBytes);
            if (!held) {
                entry.state = Known::Entry::kLost;
            } else if (platformBytes.size() <= sizeof entry.bytes) {
                entry.state = Known::Entry::kHeld;
                entry.size = static_cast<uint8_t>(platformBytes.size());
                platformBytes.copy(entry.bytes, platformBytes.size());
            } else {
                entry.state = Known::Entry::kTooLong;
                bytes = platformBytes;
            }
        }
        if (entry.state == Known::Entry::kHeld) bytes = std::string_view(entry.bytes, entry.size);
        const bool lost = entry.state == Known::Entry::kLost;
        const size_t needed = lost ? 1 : bytes.size();
        // A character is never split by the budget.
        if (needed > budget) break;
        if (lost) {
            out.push_back('?');
            ++result.replaced;
        } else {
            out.append(bytes);
        }
        budget -= needed;
        pos += length;
    }
    result.consumed = pos;
    return result;
}

// One well-formed character, through the platform; false when the code page
// does not hold it (without the code page, nothing beyond ASCII is held).
bool CodePageConverter::EncodeCharacter(std::string_view character, std::string& bytes) {
    if (!platform_) return false;
    return EncodeOneCharacter(*platform_, character, bytes);
}

// A byte that is not UTF-8 stands for its Windows-1252 character: in
// Windows-1252 itself the byte, elsewhere that character in the code page.
bool CodePageConverter::EncodeStray(char byte, std::string& bytes) {
    if (!western_) western_ = std::make_unique<CodePageConverter>(kWesternCodePage);
    std::string character;
    western_->Decode(std::string_view(&byte, 1), character);
    if (codePage_ == kWesternCodePage && character != kReplacementUtf8) {
        bytes.push_back(byte);
        return true;
    }
    return EncodeCharacter(character, bytes);
}

void CodePageConverter::Decode(std::string_view bytes, std::string& out) {
    if (platform_) {
        DecodeBytes(*platform_, bytes, out);
        return;
    }
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) < 0x80)
            out.push_back(c);
        else
            out += kReplacementUtf8;
    }
}

bool CodePageConverter::Holds(std::string_view utf8) {
    std::string ignored;
    return Encode(utf8, ignored).replaced == 0;
}

} // namespace velloquin
