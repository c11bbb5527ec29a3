#include "core/CodePage.h"

#include "core/Text.h"

namespace velloquin {

CodePageConverter::CodePageConverter(uint16_t codePage)
    : codePage_(codePage), platform_(OpenCodePage(codePage)) {}

CodePageConverter::~CodePageConverter() = default;
CodePageConverter::CodePageConverter(CodePageConverter&&) noexcept = default;
CodePageConverter& CodePageConverter::operator=(CodePageConverter&&) noexcept = default;

bool CodePageConverter::Available() const {
    return platform_ != nullptr;
}

EncodeResult CodePageConverter::Encode(std::string_view utf8, std::string& out, size_t maxBytes) {
    EncodeResult result;
    size_t budget = maxBytes;
    while (result.consumed < utf8.size()) {
        const std::string_view rest = utf8.substr(result.consumed);
        const size_t wellFormed = Utf8WellFormedLength(rest);
        if (wellFormed > 0) {
            EncodeResult part;
            const size_t before = out.size();
            if (platform_) {
                part = EncodeWellFormed(*platform_, rest.substr(0, wellFormed), out, budget);
            } else {
                // Without the code page only ASCII is safe.
                for (; part.consumed < wellFormed && out.size() - before < budget;) {
                    char32_t cp = 0;
                    const size_t length = Utf8CharLength(rest, part.consumed, cp);
                    out.push_back(cp < 0x80 ? static_cast<char>(cp) : '?');
                    part.replaced += cp >= 0x80;
                    part.consumed += length;
                }
            }
            budget -= out.size() - before;
            result.consumed += part.consumed;
            result.replaced += part.replaced;
            if (part.consumed < wellFormed) break; // the budget is spent
            continue;
        }
        // A stray byte: the Windows-1252 character it stands for.
        if (!western_) western_ = std::make_unique<CodePageConverter>(kWesternCodePage);
        std::string character;
        western_->Decode(rest.substr(0, 1), character);
        if (codePage_ == kWesternCodePage && character != "\xEF\xBF\xBD") {
            if (budget == 0) break;
            out.push_back(rest.front());
            --budget;
        } else {
            std::string encoded;
            const EncodeResult part = Encode(character, encoded, budget);
            if (part.consumed < character.size()) break;
            out += encoded;
            budget -= encoded.size();
            result.replaced += part.replaced;
        }
        ++result.consumed;
    }
    return result;
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
            out += "\xEF\xBF\xBD";
    }
}

bool CodePageConverter::Holds(std::string_view utf8) {
    std::string ignored;
    return Encode(utf8, ignored).replaced == 0;
}

} // namespace velloquin
