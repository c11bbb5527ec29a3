// The code pages through glibc's iconv. iconv names them "CP" and the number.
// It refuses (EILSEQ) most characters a code page does not hold, but maps some
// to look-alikes without a word (CP932 writes the backslash for the yen sign,
// a full-width pound for the pound): a character counts as held only when its
// bytes read back as itself, which is what counting losses needs.
#include "core/CodePage.h"

#include "core/Text.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <string>

namespace velloquin {

namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";
const iconv_t kNoConversion = reinterpret_cast<iconv_t>(-1);

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

bool EncodeOneCharacter(CodePagePlatform& platform, std::string_view character, std::string& out) {
    iconv(platform.toCodePage, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(character.data());
    size_t inLeft = character.size();
    char bytes[16];
    char* outPtr = bytes;
    size_t outLeft = sizeof bytes;
    if (iconv(platform.toCodePage, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
        iconv(platform.toCodePage, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1))
        return false;
    // Some characters go out as bytes that read back as another character
    // (CP932's yen sign, for one); only bytes that read back as the character
    // itself hold it.
    const std::string_view encoded(bytes, sizeof bytes - outLeft);
    std::string back;
    DecodeBytes(platform, encoded, back);
    if (back != character) return false;
    out.append(encoded);
    return true;
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
