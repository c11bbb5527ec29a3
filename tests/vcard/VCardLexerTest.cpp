// The standards lexer: each rule of vCard 2.1, 3.0 and 4.0 once, the
// standards' own examples, and every public vCard file.
#include "vcard/VCardLexer.h"
#include "core/CodePage.h"
#include "core/Text.h"
#include "support/Readers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace velloquin {
namespace {

using testsupport::FromHex;
using testsupport::ReadFile;

struct Lexed {
    std::vector<VCard> cards;
    std::vector<VCardDiagnostic> fileDiagnostics;
    uint64_t begun = 0;
};

Lexed Lex(std::string_view bytes, size_t pieceSize = 64 * 1024) {
    MemorySource source(bytes);
    VCardLexer lexer(source, pieceSize);
    std::string why;
    EXPECT_TRUE(lexer.Open(why)) << why;
    Lexed lexed;
    VCard card;
    while (lexer.Next(card))
        lexed.cards.push_back(std::move(card));
    lexed.fileDiagnostics = lexer.TakeFileDiagnostics();
    lexed.begun = lexer.CardsBegun();
    return lexed;
}

// The one card of the text, with a failure when there is not exactly one.
VCard One(std::string_view bytes, size_t pieceSize = 64 * 1024) {
    Lexed lexed = Lex(bytes, pieceSize);
    EXPECT_EQ(lexed.cards.size(), 1u) << bytes;
    return lexed.cards.empty() ? VCard{} : std::move(lexed.cards.front());
}

std::string Card(std::string_view version, std::string_view lines) {
    return "BEGIN:VCARD\r\nVERSION:" + std::string(version) + "\r\n" + std::string(lines) +
           "END:VCARD\r\n";
}

bool Mentions(const std::vector<VCardDiagnostic>& diagnostics, std::string_view words) {
    return std::any_of(diagnostics.begin(), diagnostics.end(), [&](const VCardDiagnostic& d) {
        return d.message.find(words) != std::string::npos;
    });
}

std::string Base64(std::string_view bytes) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
        out += alphabet[group >> 18 & 63];
        out += alphabet[group >> 12 & 63];
        out += i + 1 < bytes.size() ? alphabet[group >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[group & 63] : '=';
    }
    return out;
}

TEST(VCardLexer, LineEnds) {
    const std::string lf = "BEGIN:VCARD\nVERSION:3.0\nFN:Ann\nNOTE:x\nEND:VCARD\n";
    const std::string crlf = std::regex_replace(lf, std::regex("\n"), "\r\n");
    const std::string cr = std::regex_replace(lf, std::regex("\n"), "\r");
    const std::string mixed = "BEGIN:VCARD\r\nVERSION:3.0\nFN:Ann\rNOTE:x\r\nEND:VCARD";
    const std::string bom = "\xEF\xBB\xBF" + crlf;
    std::string utf16le = "\xFF\xFE", utf16be = "\xFE\xFF";
    for (uint8_t b : Utf8ToUtf16Le(crlf))
        utf16le += static_cast<char>(b);
    for (size_t i = 2; i < utf16le.size(); i += 2) {
        utf16be += utf16le[i + 1];
        utf16be += utf16le[i];
    }
    for (const std::string& text : {lf, crlf, cr, mixed, bom, utf16le, utf16be}) {
        // Pieces of 16 bytes cut CR LF pairs and UTF-16 units apart.
        for (size_t piece : {size_t{16}, size_t{17}, size_t{64 * 1024}}) {
            const VCard card = One(text, piece);
            ASSERT_EQ(card.properties.size(), 3u) << text << piece;
            EXPECT_EQ(card.properties[1].value, "Ann");
            EXPECT_EQ(card.properties[1].line, 3u);
            EXPECT_EQ(card.properties[2].value, "x");
            EXPECT_EQ(card.endLine, 5u);
            EXPECT_TRUE(card.diagnostics.empty()) << card.diagnostics.front().message;
        }
    }
    // A character outside the BMP (a surrogate pair) cut between pieces.
    std::string pair = "\xFF\xFE";
    for (uint8_t b : Utf8ToUtf16Le("BEGIN:VCARD\nVERSION:4.0\nFN:a😀b\nEND:VCARD\n"))
        pair += static_cast<char>(b);
    for (size_t piece = 16; piece < 40; ++piece)
        EXPECT_EQ(One(pair, piece).Find("FN")->value, "a😀b") << piece;
}

TEST(VCardLexer, Folding) {
    const struct {
        const char* version;
        std::string lines;
        std::string value;
    } cases[] = {
        // 3.0 and 4.0 drop the line end and one space or tab.
        {"3.0", "NOTE:This is a lo\r\n ng note\r\n", "This is a long note"},
        {"4.0", "NOTE:a\r\n\tb\r\n  c\r\n", "ab c"},
        {"3.0", "NOTE:a\n b\r c\r\n d\n", "abcd"},
        // A fold may fall inside a character.
        {"3.0", "FN:Jos\xC3\r\n \xA9\r\n", "José"},
        // 2.1 unfolds as RFC 822: the white space stays.
        {"2.1", "EMAIL:\"Omega\"\r\n  <omega@example.com>\r\n", "\"Omega\"  <omega@example.com>"},
        // An empty line between (CR CR LF from a double conversion) breaks no fold.
        {"3.0", "NOTE:ab\r\r\n cd\r\r\n", "abcd"},
        // The version decides even when it comes after the folded line.
        {"", "NOTE:a\r\n b\r\nVERSION:3.0\r\n", "ab"},
    };
    for (const auto& c : cases) {
        const std::string text =
            *c.version ? Card(c.version, c.lines) : "BEGIN:VCARD\r\n" + c.lines + "END:VCARD\r\n";
        const VCard card = One(text);
        const auto p = std::find_if(card.properties.begin(), card.properties.end(),
                                    [](const VCardProperty& q) { return q.name != "VERSION"; });
        ASSERT_NE(p, card.properties.end()) << text;
        EXPECT_EQ(card.properties.size(), 2u) << text;
        EXPECT_EQ(p->value, c.value) << text;
    }
    // A folded line with nothing before it is reported, not glued anywhere.
    const VCard card = One("BEGIN:VCARD\r\n orphan\r\nVERSION:3.0\r\nEND:VCARD\r\n");
    EXPECT_TRUE(Mentions(card.diagnostics, "folded line with no line before it"));
}

TEST(VCardLexer, QuotedPrintableAndCharsets) {
    const struct {
        std::string lines;
        std::string value;
        std::string problem; // a diagnostic the card must show, when not empty
        uint16_t codePage;   // the converter it needs, 0 for none
    } cases[] = {
        {"NOTE;ENCODING=QUOTED-PRINTABLE:a=3Db=0D=0Ac\r\n", "a=b\r\nc", "", 0},
        // Soft line breaks continue without white space; one before white
        // space keeps it.
        {"NOTE;QUOTED-PRINTABLE:Now's the time =\r\nfor all folk to come=\r\n to the aid.\r\n",
         "Now's the time for all folk to come to the aid.", "", 0},
        {"N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=91and=C3=BA;Jos=\r\n=C3=A9\r\n",
         "Ñandú;José", "", 0},
        {"NOTE;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:=83=81=83=82\r\n", "メモ", "", 932},
        {"FN;CHARSET=SHIFT_JIS:" + FromHex("88 C9 94 5C") + "\r\n", "伊能", "", 932},
        {"FN;CHARSET=ISO-8859-1:Ren\xE9\r\n", "René", "", 28591},
        {"FN;CHARSET=iso-8859-2:\xB1\r\n", "ą", "", 28592},
        {"FN;CHARSET=ISO-8859-15:\xA4\r\n", "€", "", 28605},
        {"FN;CHARSET=WINDOWS-1251:" + FromHex("C8 E2 E0 ED") + "\r\n", "Иван", "", 1251},
        {"FN;CHARSET=KOI8-R:" + FromHex("E9 D7 C1 CE") + "\r\n", "Иван", "", 20866},
        {"FN;CHARSET=EUC-JP:" + FromHex("BB B3 C5 C4") + "\r\n", "山田", "", 20932},
        {"FN;CHARSET=GB2312:" + FromHex("D5 C5 CE B0") + "\r\n", "张伟", "", 936},
        {"FN;CHARSET=BIG5:" + FromHex("B3 AF A4 6A A4 E5") + "\r\n", "陳大文", "", 950},
        {"FN;CHARSET=EUC-KR:" + FromHex("B1 E8 B9 CE C1 D8") + "\r\n", "김민준", "", 949},
        // Without CHARSET: UTF-8, a stray byte a Windows-1252 character.
        {"FN:Ren\xC3\xA9\r\n", "René", "", 0},
        {"FN:Ren\xE9 \x80\r\n", "René €", "2 bytes of FN are not UTF-8", 0},
        {"FN;CHARSET=X-UNHEARD:Ren\xC3\xA9\r\n", "René", "unknown CHARSET X-UNHEARD", 0},
        {"NOTE;ENCODING=QUOTED-PRINTABLE:50=25 =ZZ=4\r\n", "50% =ZZ=4",
         "2 '=' in the quoted-printable NOTE", 0},
    };
    for (const auto& c : cases) {
        const VCard card = One(Card("2.1", c.lines));
        ASSERT_EQ(card.properties.size(), 2u) << c.lines;
        if (c.codePage && !CodePageConverter(c.codePage).Available()) {
            EXPECT_TRUE(Mentions(card.diagnostics, "cannot be read here")) << c.lines;
            continue;
        }
        EXPECT_EQ(card.properties[1].value, c.value) << c.lines;
        if (c.problem.empty())
            EXPECT_TRUE(card.diagnostics.empty()) << c.lines << card.diagnostics.front().message;
        else
            EXPECT_TRUE(Mentions(card.diagnostics, c.problem)) << c.lines;
    }
    // A value whose last soft break meets END:VCARD: the card still ends there.
    const VCard cut = One(Card("2.1", "NOTE;ENCODING=QUOTED-PRINTABLE:abc=\r\n"));
    EXPECT_EQ(cut.Find("NOTE")->value, "abc=");
    EXPECT_NE(cut.endLine, 0u);
    EXPECT_TRUE(Mentions(cut.diagnostics, "ends in a soft line break"));
}

#ifndef _WIN32
TEST(VCardLexer, EveryCharsetHasItsConverter) {
    // Which code pages Windows holds is its own affair; iconv must know them
    // all by name.
    for (std::string_view name :
         {"ISO-8859-1",  "ISO-8859-2",  "ISO-8859-5",   "ISO-8859-7", "ISO-8859-9",
          "ISO-8859-13", "ISO-8859-15", "WINDOWS-1250", "CP1252",     "Windows-1258",
          "Shift_JIS",   "EUC-JP",      "ISO-2022-JP",  "GB2312",     "GBK",
          "GB18030",     "BIG5",        "EUC-KR",       "KOI8-R",     "KOI8-U"}) {
        const std::optional<uint16_t> codePage = CodePageForCharset(name);
        ASSERT_TRUE(codePage) << name;
        EXPECT_TRUE(CodePageConverter(*codePage).Available()) << name << " " << *codePage;
    }
    EXPECT_EQ(CodePageForCharset("utf-8"), 65001);
    EXPECT_EQ(CodePageForCharset("X-UNHEARD"), std::nullopt);
}
#endif

TEST(VCardLexer, Escapes) {
    const auto V21 = VCardVersion::V21, V30 = VCardVersion::V30, V40 = VCardVersion::V40;
    using Items = std::vector<std::string>;
    EXPECT_EQ(UnescapeText("a\\nb\\Nc\\,d\\;e\\\\f\\:g", V30), "a\nb\nc,d;e\\f\\:g");
    EXPECT_EQ(UnescapeText("a\\nb\\,c", V40), "a\nb,c");
    EXPECT_EQ(UnescapeText("A;B\\C\\;D:E\\\\", V21), "A;B\\C\\;D:E\\\\");
    const struct {
        VCardVersion version;
        const char* value;
        std::vector<Items> components; // each component's items
    } cases[] = {
        {V30, "Dawson;Frank;;;", {{"Dawson"}, {"Frank"}, {""}, {""}, {""}}},
        {V40,
         "Perreault;Simon;;;ing. jr,M.Sc.",
         {{"Perreault"}, {"Simon"}, {""}, {""}, {"ing. jr", "M.Sc."}}},
        {V30, "a\\;b;c\\,d,e\\\\;f\\n", {{"a;b"}, {"c,d", "e\\"}, {"f\n"}}},
        // 2.1: "\;" keeps a semicolon in its component, "\\" ends one in a
        // backslash; commas are no lists and other backslashes stay.
        {V21, ";A\\;B\\\\;C\\\\\\;;D;\\:E", {{""}, {"A;B\\"}, {"C\\;"}, {"D"}, {"\\:E"}}},
        {V21, "Sales Dept.\\;Manager;a,b", {{"Sales Dept.;Manager"}, {"a,b"}}},
    };
    for (const auto& c : cases) {
        std::vector<Items> got;
        for (const std::string& component : SplitComponents(c.value, c.version))
            got.push_back(SplitListItems(component, c.version));
        EXPECT_EQ(got, c.components) << c.value;
    }
    EXPECT_EQ(UnescapeComponent("a\\;b\\\\c\\,", V21), "a;b\\c\\,");
}

TEST(VCardLexer, GroupsAndNames) {
    const VCard card = One(Card("3.0", "item1.EMAIL;type=INTERNET:bob@example.com\r\n"
                                       "item1.X-ABLabel:_$!<Other>!$_\r\n"
                                       "email:plain@example.com\r\n"
                                       "A.B.tel:1\r\n"
                                       ":no name\r\n"
                                       "no colon here\r\n"));
    const struct {
        const char* group;
        const char* name;
        const char* value;
    } expected[] = {{"", "VERSION", "3.0"},
                    {"item1", "EMAIL", "bob@example.com"},
                    {"item1", "X-ABLABEL", "_$!<Other>!$_"},
                    {"", "EMAIL", "plain@example.com"},
                    {"A.B", "TEL", "1"}};
    ASSERT_EQ(card.properties.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(card.properties[i].group, expected[i].group);
        EXPECT_EQ(card.properties[i].name, expected[i].name);
        EXPECT_EQ(card.properties[i].value, expected[i].value);
    }
    EXPECT_TRUE(Mentions(card.diagnostics, "property without a name"));
    EXPECT_TRUE(Mentions(card.diagnostics, "line without a ':' is no property: no colon here"));
}

TEST(VCardLexer, Parameters) {
    using Params = std::vector<std::pair<std::string, std::vector<std::string>>>;
    const struct {
        const char* version;
        const char* line;
        Params params;
        std::vector<const char*> types; // HasType must hold for each
        int pref;
        const char* value;
    } cases[] = {
        {"2.1",
         "TEL;CELL;HOME:1",
         {{"TYPE", {"CELL"}}, {"TYPE", {"HOME"}}},
         {"cell", "HOME"},
         0,
         "1"},
        {"2.1", "TEL;PREF;WORK:2", {{"TYPE", {"PREF"}}, {"TYPE", {"WORK"}}}, {"work"}, 1, "2"},
        {"3.0", "TEL;TYPE=work,voice:3", {{"TYPE", {"work", "voice"}}}, {"WORK", "VOICE"}, 0, "3"},
        {"3.0",
         "TEL;type=CELL;type=VOICE;type=pref:4",
         {{"TYPE", {"CELL"}}, {"TYPE", {"VOICE"}}, {"TYPE", {"pref"}}},
         {"cell", "voice"},
         1,
         "4"},
        {"4.0",
         "TEL;VALUE=uri;TYPE=\"work,voice\";PREF=1:tel:+1-418-656-9254;ext=102",
         {{"VALUE", {"uri"}}, {"TYPE", {"work", "voice"}}, {"PREF", {"1"}}},
         {"voice"},
         1,
         "tel:+1-418-656-9254;ext=102"},
        {"4.0", "EMAIL;PREF=3:x", {{"PREF", {"3"}}}, {}, 3, "x"},
        // Quotes keep ';', ':' and ',' of a value inside it.
        {"3.0",
         "TEL;TYPE=\"COMMA,SEPARATED:INSIDE.DQUOTE\",PREF:1",
         {{"TYPE", {"COMMA", "SEPARATED:INSIDE.DQUOTE", "PREF"}}},
         {"pref"},
         1,
         "1"},
        {"4.0", "N;SORT-AS=\"Perreault;Simon\":x", {{"SORT-AS", {"Perreault;Simon"}}}, {}, 0, "x"},
        {"4.0",
         "ADR;LABEL=\"Suite 1^n^'Main^' St^^\":;;",
         {{"LABEL", {"Suite 1\n\"Main\" St^"}}},
         {},
         0,
         ";;"},
        {"2.1",
         "NOTE;quoted-printable;charset=utf-8:=41",
         {{"ENCODING", {"quoted-printable"}}, {"CHARSET", {"utf-8"}}},
         {},
         0,
         "A"},
    };
    for (const auto& c : cases) {
        const VCard card = One(Card(c.version, std::string(c.line) + "\r\n"));
        ASSERT_EQ(card.properties.size(), 2u) << c.line;
        const VCardProperty& p = card.properties[1];
        Params got;
        for (const VCardParam& param : p.params)
            got.emplace_back(param.name, param.values);
        EXPECT_EQ(got, c.params) << c.line;
        for (const char* type : c.types)
            EXPECT_TRUE(p.HasType(type)) << c.line << " " << type;
        EXPECT_FALSE(p.HasType("FAX")) << c.line;
        EXPECT_EQ(p.Pref(), c.pref) << c.line;
        EXPECT_EQ(p.value, c.value) << c.line;
    }
}

TEST(VCardLexer, Pictures) {
    const std::string jpeg = FromHex("FF D8 FF E0 00 10 4A 46 49 46 00 01") + std::string(100, 'j');
    const std::string png = FromHex("89 50 4E 47 0D 0A 1A 0A 00 00 00 0D") + std::string(90, 'p');
    const std::string gif = "GIF89a" + std::string(50, 'g');
    std::string folded; // 3.0: folded at 75 with a space
    const std::string b64 = Base64(jpeg);
    for (size_t i = 0; i < b64.size(); i += 60)
        folded += (i ? "\r\n " : "") + b64.substr(i, 60);
    std::string unindented; // 2.1: lines without white space, ended by an empty line
    for (size_t i = 0; i < b64.size(); i += 50)
        unindented += b64.substr(i, 50) + "\r\n";
    const struct {
        const char* version;
        std::string lines;
        VCardPicture::Kind kind;
        std::string bytes, type, extension;
        std::string problem;    // in the picture's note
        std::string diagnostic; // in the card's problems
    } cases[] = {
        {"3.0", "PHOTO;ENCODING=b;TYPE=JPEG:" + folded + "\r\n", VCardPicture::Kind::Inline, jpeg,
         "jpeg", "jpg", "", ""},
        {"2.1", "PHOTO;ENCODING=BASE64;TYPE=JPEG:\r\n" + unindented + "\r\n",
         VCardPicture::Kind::Inline, jpeg, "jpeg", "jpg", "", ""},
        {"2.1", "PHOTO;BASE64;GIF:" + Base64(gif) + "\r\n", VCardPicture::Kind::Inline, gif, "gif",
         "gif", "", ""},
        {"4.0", "PHOTO:data:image/png;base64," + Base64(png) + "\r\n", VCardPicture::Kind::Inline,
         png, "png", "png", "", ""},
        // The bytes name the real type.
        {"3.0", "PHOTO;ENCODING=b;TYPE=JPEG:" + Base64(png) + "\r\n", VCardPicture::Kind::Inline,
         png, "png", "png", "declared jpeg but the bytes are png", ""},
        {"3.0", "LOGO;ENCODING=b;TYPE=GIF:" + Base64("not a picture") + "\r\n",
         VCardPicture::Kind::Inline, "not a picture", "gif", "gif", "do not show the declared type",
         ""},
        {"3.0", "PHOTO;VALUE=URI:http://www.example.com/pub/photos/jqpublic.gif\r\n",
         VCardPicture::Kind::Uri, "", "", "", "only an address", ""},
        {"2.1", "PHOTO;VALUE=URL;TYPE=GIF:https://example.com/a.gif\r\n", VCardPicture::Kind::Uri,
         "", "gif", "gif", "only an address", ""},
        {"2.1", "PHOTO;ENCODING=BASE64;TYPE=JPEG:qgEPAAIAAAAHAAAAugEQAAIAAAAG:ASDF==\r\n",
         VCardPicture::Kind::Bad, "", "", "", "does not decode", "PHOTO is not Base64"},
        {"4.0", "PHOTO:data:image/jpeg;base64,%%%\r\n", VCardPicture::Kind::Bad, "", "", "",
         "neither Base64 nor an address", "data: URI is not Base64"},
        {"3.0", "PHOTO;TYPE=PNG:" + Base64(png) + "\r\n", VCardPicture::Kind::Inline, png, "png",
         "png", "no ENCODING parameter", ""},
    };
    for (const auto& c : cases) {
        const VCard card = One(Card(c.version, c.lines));
        ASSERT_EQ(card.properties.size(), 2u) << c.lines;
        const VCardPicture picture = PictureOf(card.properties[1]);
        EXPECT_EQ(picture.kind, c.kind) << c.lines;
        EXPECT_EQ(picture.bytes, c.bytes) << c.lines;
        EXPECT_EQ(picture.type, c.type) << c.lines;
        EXPECT_EQ(picture.extension, c.extension) << c.lines;
        EXPECT_NE(picture.problem.find(c.problem), std::string::npos) << c.lines << picture.problem;
        if (c.problem.empty()) {
            EXPECT_EQ(picture.problem, "") << c.lines;
        }
        if (c.diagnostic.empty())
            EXPECT_TRUE(card.diagnostics.empty()) << c.lines << card.diagnostics.front().message;
        else
            EXPECT_TRUE(Mentions(card.diagnostics, c.diagnostic)) << c.lines;
        if (c.kind == VCardPicture::Kind::Uri) {
            EXPECT_EQ(picture.uri, card.properties[1].value) << c.lines;
        }
    }
}

TEST(VCardLexer, Dates) {
    const struct {
        const char* text;
        int year, month, day;
        const char* problem;
    } cases[] = {
        {"19850327", 1985, 3, 27, ""},
        {"1985-03-27", 1985, 3, 27, ""},
        {" 1985-03-27 ", 1985, 3, 27, ""},
        {"1985-03-27T10:00:00Z", 1985, 3, 27, ""},
        {"19850327T100000-0500", 1985, 3, 27, ""},
        {"20090808T1430-0500", 2009, 8, 8, ""},
        {"1996-04-15T23:00:00,5+01:00", 1996, 4, 15, ""},
        {"20000229", 2000, 2, 29, ""},
        {"--0327", 0, 3, 27, "no year"},
        {"--03-27", 0, 3, 27, "no year"},
        {"--0229", 0, 2, 29, "no year"},
        {"1985-03", 1985, 3, 0, "no day"},
        {"1985", 1985, 0, 0, "only a year"},
        {"---27", 0, 0, 27, "neither year nor full date"},
        {"19000229", 0, 0, 0, "not a date"},
        {"1985-13-01", 0, 0, 0, "not a date"},
        {"1985-03-27T25:00", 0, 0, 0, "not a date"},
        {"T102200", 0, 0, 0, "a time without a date"},
        {"27.03.1985", 0, 0, 0, "not a date"},
        {"", 0, 0, 0, "not a date"},
    };
    for (const auto& c : cases) {
        const VCardDate date = ParseVCardDate(c.text);
        EXPECT_EQ(date.problem, c.problem) << c.text;
        EXPECT_EQ(date.Usable(), *c.problem == '\0') << c.text;
        EXPECT_EQ(date.year, c.year) << c.text;
        EXPECT_EQ(date.month, c.month) << c.text;
        EXPECT_EQ(date.day, c.day) << c.text;
    }
}

TEST(VCardLexer, CardsAndNesting) {
    // A card without END:VCARD ends where the next begins, or at the end.
    Lexed lexed = Lex("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\n"
                      "BEGIN:vcard\r\nVERSION:3.0\r\nFN:B\r\nEND:VCARD\r\n"
                      "BEGIN:VCARD\nVERSION:3.0\nFN:C\n");
    ASSERT_EQ(lexed.cards.size(), 3u);
    EXPECT_EQ(lexed.begun, 3u);
    EXPECT_EQ(lexed.cards[0].Find("FN")->value, "A");
    EXPECT_EQ(lexed.cards[0].endLine, 0u);
    EXPECT_TRUE(Mentions(lexed.cards[0].diagnostics, "ends where the next card begins"));
    EXPECT_EQ(lexed.cards[1].beginLine, 4u);
    EXPECT_EQ(lexed.cards[1].endLine, 7u);
    EXPECT_TRUE(lexed.cards[1].diagnostics.empty());
    EXPECT_TRUE(Mentions(lexed.cards[2].diagnostics, "ends at the end of the file"));

    // A 2.1 AGENT's embedded card stays inside the outer card.
    lexed =
        Lex(ReadFile(std::filesystem::path(VELLOQUIN_VCARD_TEST_DATA) / "vcard21-examples.vcf"));
    ASSERT_EQ(lexed.cards.size(), 2u);
    const VCard& outer = lexed.cards[1];
    const VCardProperty* agent = outer.Find("AGENT");
    ASSERT_NE(agent, nullptr);
    EXPECT_TRUE(agent->embeddedCard);
    const VCard inner = One(agent->value);
    EXPECT_EQ(inner.Find("N")->value, "Friday;Fred");
    EXPECT_EQ(outer.properties.back().value, "+1-213-555-0000"); // after the agent
    EXPECT_NE(outer.endLine, 0u);
    EXPECT_EQ(outer.Find("NOTE")->value,
              "This is a note associated with this vCard\r\nIt is in quoted-printable.");

    // 3.0 writes the agent's card as one escaped value.
    const VCard inline30 = One(
        Card("3.0", "AGENT:BEGIN:VCARD\\nFN:Joe Friday\\nTEL:+1-919-555-7878\\nEND:VCARD\\n\r\n"));
    EXPECT_EQ(UnescapeText(inline30.Find("AGENT")->value, inline30.version),
              "BEGIN:VCARD\nFN:Joe Friday\nTEL:+1-919-555-7878\nEND:VCARD\n");

    // Between cards: text, stray ends; a card without VERSION is read as 2.1.
    lexed = Lex("junk\r\nEND:VCARD\r\n\r\nBEGIN:VCARD\r\nFN:x\r\nEND:VCARD\r\ntrailer");
    ASSERT_EQ(lexed.cards.size(), 1u);
    EXPECT_FALSE(lexed.cards[0].versionGiven);
    EXPECT_TRUE(Mentions(lexed.cards[0].diagnostics, "no VERSION line"));
    ASSERT_EQ(lexed.fileDiagnostics.size(), 3u);
    EXPECT_EQ(lexed.fileDiagnostics[0].line, 1u);
    EXPECT_TRUE(Mentions(lexed.fileDiagnostics, "line outside a card: junk"));
    EXPECT_TRUE(Mentions(lexed.fileDiagnostics, "END:VCARD without a BEGIN:VCARD"));
    EXPECT_TRUE(Mentions(lexed.fileDiagnostics, "line outside a card: trailer"));

    // Megabytes of garbage before a card cost no memory and hide nothing.
    const std::string garbage(3 << 20, 'x');
    lexed = Lex(garbage + "\nBEGIN:VCARD\nVERSION:4.0\nFN:after\nEND:VCARD\n", 4096);
    ASSERT_EQ(lexed.cards.size(), 1u);
    EXPECT_EQ(lexed.cards[0].Find("FN")->value, "after");
    ASSERT_EQ(lexed.fileDiagnostics.size(), 1u);
    EXPECT_LT(lexed.fileDiagnostics[0].message.size(), 100u);
}

TEST(VCardLexer, StandardsExamples) {
    const std::filesystem::path data(VELLOQUIN_VCARD_TEST_DATA);
    Lexed lexed = Lex(ReadFile(data / "rfc2426-examples.vcf"));
    ASSERT_EQ(lexed.cards.size(), 2u);
    const VCard& frank = lexed.cards[0];
    EXPECT_EQ(frank.version, VCardVersion::V30);
    EXPECT_EQ(SplitComponents(frank.Find("ADR")->value, frank.version),
              (std::vector<std::string>{"", "", "6544 Battleford Drive", "Raleigh", "NC",
                                        "27613-3502", "U.S.A."}));
    EXPECT_TRUE(frank.Find("ADR")->HasType("parcel"));
    EXPECT_EQ(frank.Find("EMAIL")->Pref(), 1);
    EXPECT_EQ(SplitComponents(lexed.cards[1].Find("ADR")->value, VCardVersion::V30)[4], "CA");

    const VCard simon = One(ReadFile(data / "rfc6350-example.vcf"));
    EXPECT_EQ(simon.version, VCardVersion::V40);
    const std::vector<std::string> n = SplitComponents(simon.Find("N")->value, simon.version);
    ASSERT_EQ(n.size(), 5u);
    EXPECT_EQ(SplitListItems(n[4], simon.version), (std::vector<std::string>{"ing. jr", "M.Sc."}));
    EXPECT_EQ(ParseVCardDate(simon.Find("BDAY")->value).problem, "no year");
    const VCardDate anniversary = ParseVCardDate(simon.Find("ANNIVERSARY")->value);
    EXPECT_TRUE(anniversary.Usable());
    EXPECT_TRUE(anniversary.hasTime);
    EXPECT_EQ(simon.Find("KEY")->value, "http://www.viagenie.ca/simon.perreault/simon.asc");
    EXPECT_EQ(SplitComponents(simon.Find("ADR")->value, simon.version)[3], "Quebec");
    int tels = 0;
    for (const VCardProperty& p : simon.properties)
        if (p.name == "TEL") {
            ++tels;
            EXPECT_TRUE(p.HasType("voice"));
        }
    EXPECT_EQ(tels, 2);
    EXPECT_TRUE(simon.diagnostics.empty());
}

// Counts the lines that are BEGIN:VCARD, as a plain look at the text does.
size_t BeginLines(std::string_view text) {
    size_t count = 0;
    while (!text.empty()) {
        const size_t end = std::min(text.find_first_of("\r\n"), text.size());
        std::string line(text.substr(0, end));
        line.erase(
            std::remove_if(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; }),
            line.end());
        count += UpperAscii(line) == "BEGIN:VCARD";
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return count;
}

TEST(VCardLexer, PublicVCards) {
    const std::filesystem::path folder =
        std::filesystem::path(VELLOQUIN_SHARED_TESTDATA) / "public-vcards";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << folder << " is missing";
    size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().extension() != ".vcf") continue;
        ++files;
        const std::string text = ReadFile(entry.path());
        const Lexed lexed = Lex(text);
        const std::string name = entry.path().filename().string();
        // Every BEGIN:VCARD is a card, or an AGENT's embedded one.
        size_t embedded = 0;
        for (const VCard& card : lexed.cards)
            for (const VCardProperty& p : card.properties)
                if (p.embeddedCard) embedded += BeginLines(p.value);
        EXPECT_EQ(lexed.cards.size() + embedded, BeginLines(text)) << name;
        EXPECT_EQ(lexed.begun, lexed.cards.size()) << name;
        for (const VCard& card : lexed.cards)
            EXPECT_TRUE(card.endLine != 0 || Mentions(card.diagnostics, "no END:VCARD")) << name;
        // Reading in pieces of any size gives the same cards.
        const Lexed small = Lex(text, 16);
        ASSERT_EQ(small.cards.size(), lexed.cards.size()) << name;
        for (size_t i = 0; i < small.cards.size(); ++i) {
            ASSERT_EQ(small.cards[i].properties.size(), lexed.cards[i].properties.size()) << name;
            for (size_t j = 0; j < small.cards[i].properties.size(); ++j) {
                EXPECT_EQ(small.cards[i].properties[j].value, lexed.cards[i].properties[j].value)
                    << name;
                EXPECT_EQ(small.cards[i].properties[j].bytes, lexed.cards[i].properties[j].bytes)
                    << name;
            }
        }
    }
    EXPECT_GT(files, 30u);
}

// A card read as views answers every question about its parameters as the
// parsed list does: the list is made from the views, so the two readings are
// compared through the views' own answers (pref, types, values), with the
// cases where the first parameter of a name decides or a 4.0 value is
// decoded.
TEST(VCardLexer, ViewsAnswerAsTheParsedList) {
    const struct {
        const char* version;
        const char* line;
    } cases[] = {
        {"3.0", "TEL;PREF=x;PREF=5:1"}, // the first PREF parameter decides: 1
        {"4.0", "EMAIL;PREF=200;TYPE=pref:2"},
        {"4.0", "EMAIL;PREF=3;PREF=1;PREF=x:3"},
        {"3.0", "TEL;type=PREF;TYPE=work:4"},
        {"2.1", "TEL;CELL;PREF;Home:5"},
        {"3.0", "TEL;TYPE=\"a,b\";tYpE=c , d:6"},
        {"4.0", "ADR;LABEL=\"Suite^n1^'A^'\";TYPE=\"home,work\":;;7"},
        {"4.0", "PHOTO;MEDIATYPE=image/png;VALUE=uri:http://example.com/8.png"},
        {"2.1", "PHOTO;GIF;VALUE=URL:http://example.com/9.gif"},
        {"2.1", "NOTE;CHARSET=ISO-8859-1;QUOTED-PRINTABLE;X-A=\"q;r\":=41=42"},
        {"3.0", "X-ODD;=;;\"\";TYPE=;TYPE=\",\":11"},
        {"3.0", "URL:no-parameters"},
    };
    const char* names[] = {"TYPE",      "PREF",  "ENCODING", "CHARSET", "VALUE",
                           "MEDIATYPE", "LABEL", "X-A",      ""};
    const char* types[] = {"pref", "WORK", "home", "cell", "a", "B", "c", "d", "GIF", ""};
    for (const auto& c : cases) {
        const std::string text = Card(c.version, std::string(c.line) + "\r\n");
        MemorySource source(text);
        VCardLexer lexer(source);
        std::string why;
        ASSERT_TRUE(lexer.Open(why)) << why;
        VCardView view;
        ASSERT_TRUE(lexer.Next(view)) << c.line;
        const VCard owned = One(text);
        ASSERT_EQ(view.properties.size(), 2u) << c.line;
        ASSERT_EQ(owned.properties.size(), 2u) << c.line;
        const VCardPropertyView& v = view.properties[1];
        const VCardProperty& p = owned.properties[1];
        EXPECT_EQ(v.name, p.name) << c.line;
        EXPECT_EQ(v.value, p.value) << c.line;
        EXPECT_EQ(v.Pref(), p.Pref()) << c.line;
        for (const char* name : names) {
            EXPECT_EQ(v.ParamValues(name), p.ParamValues(name)) << c.line << " " << name;
            EXPECT_EQ(v.HasParam(name), p.HasParam(name)) << c.line << " " << name;
        }
        for (const char* type : types)
            EXPECT_EQ(v.HasType(type), p.HasType(type)) << c.line << " " << type;
        const VCardPicture fromView = PictureOf(v), fromList = PictureOf(p);
        EXPECT_EQ(fromView.kind, fromList.kind) << c.line;
        EXPECT_EQ(fromView.type, fromList.type) << c.line;
        EXPECT_EQ(fromView.uri, fromList.uri) << c.line;
    }
    // The answers themselves, where the first parameter of a name decides.
    const VCard first = One(Card("3.0", "TEL;PREF=x;PREF=5:1\r\n"));
    EXPECT_EQ(first.properties[1].Pref(), 1);
    const VCard carets = One(Card("4.0", "ADR;LABEL=\"Suite^n1^'A^'\":;;\r\n"));
    EXPECT_EQ(carets.properties[1].ParamValues("LABEL"), std::vector<std::string>{"Suite\n1\"A\""});
}

// What a line's encoding allows (a quoted-printable soft break, 2.1 Base64
// lines) is read from its first line's header only when the next line may
// continue it: also after folds were added to it, and never from a header
// that its fold completes.
TEST(VCardLexer, EncodingAskedOnlyWhenALineMayContinue) {
    const struct {
        const char* version;
        std::string lines;
        const char* name;
        std::string value;
    } cases[] = {
        {"2.1", "NOTE;QUOTED-PRINTABLE:a\r\n b=\r\nc\r\n", "NOTE", "a bc"},
        {"3.0", "NOTE;ENCODING=QUOTED-PRINTABLE:a\r\n b=\r\nc\r\n", "NOTE", "abc"},
        // The header's encoding comes with the fold: the first line has no
        // colon, so nothing continues the value without a fold.
        {"3.0", "NOTE;ENCODING=QUOTED-\r\n PRINTABLE:a=\r\nX-B:c\r\n", "X-B", "c"},
        // A line of Base64 letters continues a 2.1 Base64 value, never
        // another one.
        {"2.1", "X-DATA;BASE64:QUJD\r\nREVG\r\n\r\nNOTE:x\r\n", "NOTE", "x"},
        {"2.1", "NOTE:QUJD\r\nREVG\r\n", "NOTE", "QUJD"},
    };
    for (const auto& c : cases) {
        for (const size_t piece : {size_t{16}, size_t{64 * 1024}}) {
            const VCard card = One(Card(c.version, c.lines), piece);
            const VCardProperty* p = card.Find(c.name);
            ASSERT_NE(p, nullptr) << c.lines;
            EXPECT_EQ(p->value, c.value) << c.lines;
        }
    }
    const VCard base64 = One(Card("2.1", "X-DATA;BASE64:QUJD\r\nREVG\r\n\r\n"));
    EXPECT_EQ(base64.Find("X-DATA")->bytes, "ABCDEF");
}

// The views of each card stay right whatever came before them: a picture line
// many pieces long, whose buffers are given back before the next card, a
// folded and an encoded card after it.
TEST(VCardLexer, ViewsOfEachCardAfterALargeOne) {
    const std::string picture = FromHex("FF D8 FF E0 00 10") + std::string(900 * 1024, 'p');
    const std::string text =
        Card("3.0", "FN:Large\r\nPHOTO;ENCODING=b;TYPE=JPEG:" + Base64(picture) + "\r\n") +
        Card("3.0", "FN:Fol\r\n ded\r\nNOTE;TYPE=x:a\\nb\r\n") +
        Card("2.1", "N;CHARSET=ISO-8859-1;QUOTED-PRINTABLE:M=FCller;Anna\r\n") +
        Card("4.0", "EMAIL;PREF=1:a@example.com\r\n");
    const Lexed owned = Lex(text);
    ASSERT_EQ(owned.cards.size(), 4u);
    for (const size_t piece : {size_t{16}, size_t{4096}, size_t{64 * 1024}}) {
        MemorySource source(text);
        VCardLexer lexer(source, piece);
        std::string why;
        ASSERT_TRUE(lexer.Open(why)) << why;
        VCardView view;
        for (const VCard& card : owned.cards) {
            ASSERT_TRUE(lexer.Next(view)) << piece;
            ASSERT_EQ(view.properties.size(), card.properties.size()) << piece;
            for (size_t i = 0; i < card.properties.size(); ++i) {
                const VCardPropertyView& v = view.properties[i];
                const VCardProperty& p = card.properties[i];
                EXPECT_EQ(v.name, p.name) << piece;
                EXPECT_EQ(v.value, p.value) << piece << " " << p.name;
                EXPECT_EQ(v.bytes, p.bytes) << piece << " " << p.name;
                EXPECT_EQ(v.Pref(), p.Pref()) << piece << " " << p.name;
            }
        }
        EXPECT_FALSE(lexer.Next(view));
    }
    EXPECT_EQ(owned.cards[0].Find("PHOTO")->bytes, picture);
    EXPECT_EQ(owned.cards[1].Find("FN")->value, "Folded");
    EXPECT_EQ(owned.cards[2].Find("N")->value, "Müller;Anna");
}

} // namespace
} // namespace velloquin
