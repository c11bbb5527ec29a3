// The platform's code-page converter. The expected bytes are the code pages'
// own, as Python's codecs also give them.
#include "core/CodePage.h"
#include "support/Readers.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

namespace velloquin {
namespace {

using testsupport::FromHex;

TEST(CodePage, EveryScriptBothWays) {
    const std::tuple<uint16_t, std::string, std::string> cases[] = {
        {1252, "é€", "E9 80"},
        {1250, "Łódź", "A3 F3 64 9F"},
        {1251, "Иван", "C8 E2 E0 ED"},
        {1253, "Γιώργος", "C3 E9 FE F1 E3 EF F2"},
        {1254, "Şükrü Işık", "DE FC 6B 72 FC 20 49 FE FD 6B"},
        {1255, "שלום", "F9 EC E5 ED"},
        {1256, "محمد", "E3 CD E3 CF"},
        {1257, "Ąžuolas", "C0 FE 75 6F 6C 61 73"},
        {1258, "Trương", "54 72 FD F5 6E 67"},
        {874, "สมชาย", "CA C1 AA D2 C2"},
        {932, "山田", "8E 52 93 63"},
        {936, "张伟", "D5 C5 CE B0"},
        {949, "김민준", "B1 E8 B9 CE C1 D8"},
        {950, "陳大文", "B3 AF A4 6A A4 E5"},
    };
    for (const auto& [codePage, text, hex] : cases) {
        CodePageConverter converter(codePage);
        ASSERT_TRUE(converter.Available()) << codePage;
        std::string encoded, decoded;
        const EncodeResult result = converter.Encode(text, encoded);
        EXPECT_EQ(encoded, FromHex(hex)) << codePage;
        EXPECT_EQ(result.consumed, text.size()) << codePage;
        EXPECT_EQ(result.replaced, 0u) << codePage;
        converter.Decode(encoded, decoded);
        EXPECT_EQ(decoded, text) << codePage;
    }
}

std::string Utf8Of(char32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

// The converter asks the platform once per character and copies ASCII as it
// stands. For every character of every code page a workbook is written in,
// that must be the platform's own answer (look-alikes such as CP932's yen
// sign stay lost): the first time, from the table later, and inside a text.
TEST(CodePage, TableGivesThePlatformsAnswerForEveryCharacter) {
    constexpr uint16_t kWorkbookCodePages[] = {1252, 1250, 1251, 1253, 1254, 1255, 1256,
                                               1257, 1258, 874,  932,  936,  949,  950};
    for (const uint16_t codePage : kWorkbookCodePages) {
        const std::unique_ptr<CodePagePlatform, CodePagePlatformDeleter> platform(
            OpenCodePage(codePage));
        ASSERT_NE(platform, nullptr) << codePage;
        CodePageConverter converter(codePage);
        std::string text, expectedText;
        size_t expectedReplaced = 0;
        for (char32_t cp = 1; cp < 0x10000 || cp == 0x1F600; cp = cp == 0xFFFF ? 0x1F600 : cp + 1) {
            if (cp >= 0xD800 && cp < 0xE000) continue;
            const std::string character = Utf8Of(cp);
            std::string expected, got;
            size_t replaced = 0;
            if (!EncodeOneCharacter(*platform, character, expected)) {
                expected = "?";
                replaced = 1;
            }
            const EncodeResult result = converter.Encode(character, got);
            ASSERT_EQ(got, expected) << codePage << " U+" << std::hex << static_cast<int>(cp);
            ASSERT_EQ(result.replaced, replaced)
                << codePage << " U+" << std::hex << static_cast<int>(cp);
            ASSERT_EQ(result.consumed, character.size());
            text += character + "a";
            expectedText += expected + "a";
            expectedReplaced += replaced;
        }
        std::string got;
        const EncodeResult result = converter.Encode(text, got);
        EXPECT_EQ(got, expectedText) << codePage;
        EXPECT_EQ(result.replaced, expectedReplaced) << codePage;
        if (codePage == 932) {
            EXPECT_GT(expectedReplaced, 0u);
        }
    }
    std::string yen;
    EXPECT_EQ(CodePageConverter(932).Encode("\xC2\xA5", yen).replaced, 1u);
}

TEST(CodePage, LossesCutsAndStrayBytes) {
    struct Case {
        uint16_t codePage;
        std::string text;
        size_t maxBytes;
        std::string bytes;
        size_t consumed, replaced;
    };
    const Case cases[] = {
        // A character the code page lacks is a counted '?', never a look-alike.
        {1251, "Łx", SIZE_MAX, "?x", 3, 1},
        {1252, "Åke Ωmega", SIZE_MAX, "\xC5ke ?mega", 11, 1},
        {932, "Ж한", SIZE_MAX, FromHex("84 47") + "?", 5, 1},
        // Nor one that reads back as another character (a backslash for the yen sign).
        {932, "¥500 — £5", SIZE_MAX, "?500 ? ?5", 13, 3},
        {932, "¢¬", SIZE_MAX, "??", 4, 2},
        // A cut falls between characters: a double-byte one goes whole or not at all.
        {936, "张伟", 3, FromHex("D5 C5"), 3, 0},
        {936, "张伟", 4, FromHex("D5 C5 CE B0"), 6, 0},
        {936, "a张", 2, "a", 1, 0},
        {1251, "Ив", 1, FromHex("C8"), 2, 0},
        // Bytes that are not UTF-8 are Windows-1252 characters.
        {1252, "a\xE9", SIZE_MAX, "a\xE9", 2, 0},
        {1250, "a\xE9", SIZE_MAX, "a\xE9", 2, 0},
        {1251, "a\xE9", SIZE_MAX, "a?", 2, 1},
    };
    for (const Case& c : cases) {
        CodePageConverter converter(c.codePage);
        std::string out;
        const EncodeResult result = converter.Encode(c.text, out, c.maxBytes);
        EXPECT_EQ(out, c.bytes) << c.codePage << " " << c.text;
        EXPECT_EQ(result.consumed, c.consumed) << c.codePage << " " << c.text;
        EXPECT_EQ(result.replaced, c.replaced) << c.codePage << " " << c.text;
    }
    EXPECT_TRUE(CodePageConverter(1253).Holds("Αθήνα"));
    EXPECT_FALSE(CodePageConverter(1253).Holds("Αθήνα Москва"));
}

TEST(CodePage, UndefinedBytesAndMissingCodePages) {
    std::string decoded;
    // Windows-1252 leaves 0x81 undefined; a Shift-JIS lead byte without its
    // second byte is no character either.
    CodePageConverter(1252).Decode("\x80\x81"
                                   "a",
                                   decoded);
    CodePageConverter(932).Decode("a\x8E", decoded);
    EXPECT_EQ(decoded, "€\xEF\xBF\xBD"
                       "aa\xEF\xBF\xBD");
    CodePageConverter missing(1);
    EXPECT_FALSE(missing.Available());
    std::string out;
    EXPECT_EQ(missing.Encode("aé", out).replaced, 1u);
    EXPECT_EQ(out, "a?");
}

} // namespace
} // namespace velloquin
