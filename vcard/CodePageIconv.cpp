// The code pages through glibc's iconv. iconv names them "CP" and the number,
// and refuses (EILSEQ) a character the code page does not hold instead of
// guessing a look-alike, which is what counting losses needs.
#include "CodePage.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <string>

namespace velloquin {

namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";
const iconv_t kNoConversion = reinterpret_cast<iconv_t>(-1);

// Bytes of the UTF-8 character that starts with this byte.
size_t LeadLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    return 4;
}

} // namespace

struct CodePagePlatform {
    iconv_t toCodePage = kNoConversion;
    iconv_t fromCodePage = kNoConversion;
};

void CodePagePlatformDeleter::operator()(CodePagePlatform* platform) const {
    if (platform->toCodePage != kNoConversion) iconv_close(platform->toCodePage);
    if (platform->fromCodePage != kNoConversion) iconv_close(platform->fromCodePage);
    delete platform;
}

// glibc knows the Windows code pages of the ISO and other national charsets
// (which vCards name in CHARSET=) only by those charsets' own names.
static const char* IconvName(uint16_t codePage) {
    static constexpr struct {
        uint16_t codePage;
        const char* name;
    } kNames[] = {
        {20866, "KOI8-R"},      {20932, "EUC-JP"},      {21866, "KOI8-U"},
        {28591, "ISO-8859-1"},  {28592, "ISO-8859-2"},  {28593, "ISO-8859-3"},
        {28594, "ISO-8859-4"},  {28595, "ISO-8859-5"},  {28596, "ISO-8859-6"},
        {28597, "ISO-8859-7"},  {28598, "ISO-8859-8"},  {28599, "ISO-8859-9"},
        {28600, "ISO-8859-10"}, {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"},
        {50220, "ISO-2022-JP"}, {54936, "GB18030"},
    };
    for (const auto& entry : kNames)
        if (entry.codePage == codePage) return entry.name;
    return nullptr;
}

CodePagePlatform* OpenCodePage(uint16_t codePage) {
    const char* known = IconvName(codePage);
    const std::string name = known ? known : "CP" + std::to_string(codePage);
    auto* platform = new CodePagePlatform;
    platform->toCodePage = iconv_open(name.c_str(), "UTF-8");
    platform->fromCodePage = iconv_open("UTF-8", name.c_str());
    if (platform->toCodePage == kNoConversion || platform->fromCodePage == kNoConversion) {
        CodePagePlatformDeleter()(platform);
        return nullptr;
    }
    return platform;
}

EncodeResult EncodeWellFormed(CodePagePlatform& platform, std::string_view utf8, std::string& out,
                              size_t maxBytes) {
    EncodeResult result;
    iconv(platform.toCodePage, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    size_t budget = maxBytes;
    while (inLeft > 0) {
        // No character of these code pages takes more bytes than in UTF-8,
        // but a decomposed one (Vietnamese) may take two for a two-byte one.
        const bool budgetBound = budget <= 2 * inLeft;
        const size_t room = budgetBound ? budget : 2 * inLeft;
        const size_t start = out.size();
        out.resize(start + room);
        char* outPtr = out.data() + start;
        size_t outLeft = room;
        const size_t converted = iconv(platform.toCodePage, &in, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        out.resize(start + room - outLeft);
        budget -= room - outLeft;
        if (converted != static_cast<size_t>(-1)) break;
        if (error == E2BIG) {
            if (budgetBound) break; // the next character does not fit
            continue;
        }
        // EILSEQ: the code page does not hold this character.
        if (budget == 0) break;
        out.push_back('?');
        --budget;
        ++result.replaced;
        const size_t skip = std::min(inLeft, LeadLength(static_cast<unsigned char>(*in)));
        in += skip;
        inLeft -= skip;
    }
    result.consumed = utf8.size() - inLeft;
    return result;
}

void DecodeBytes(CodePagePlatform& platform, std::string_view bytes, std::string& out) {
    iconv(platform.fromCodePage, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    for (;;) {
        // With the input used up, a null input flushes a character held back
        // for a combining mark that might have followed (Hebrew, Vietnamese).
        const bool flush = inLeft == 0;
        const size_t room = 3 * inLeft + 16;
        const size_t start = out.size();
        out.resize(start + room);
        char* outPtr = out.data() + start;
        size_t outLeft = room;
        const size_t converted =
            flush ? iconv(platform.fromCodePage, nullptr, nullptr, &outPtr, &outLeft)
                  : iconv(platform.fromCodePage, &in, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        out.resize(start + room - outLeft);
        if (converted != static_cast<size_t>(-1)) {
            if (flush) return;
            continue;
        }
        if (error == E2BIG) continue;
        if (flush) return;
        // EILSEQ: an undefined byte; EINVAL: a lead byte without its second.
        out += kReplacementUtf8;
        const size_t skip = error == EINVAL ? inLeft : 1;
        in += skip;
        inLeft -= skip;
    }
}

} // namespace velloquin
