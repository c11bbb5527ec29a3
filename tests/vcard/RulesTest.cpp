#include "vcard/Rules.h"
#include "TestHost.h"
#include "core/Base64.h"
#include "core/Text.h"
#include "support/ContactFields.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace velloquin {
namespace {

using testing_support::RecordingHost;
using R = ContactRecord;

// What the rules filled: "Name=value" for every field that is not empty, and
// the number of notes, joined by "|".
std::string Filled(const ContactRecord& r, const RunNotes& notes) {
    std::string out;
    auto add = [&out](std::string_view name, const std::string& value) {
        if (!value.empty()) out += (out.empty() ? "" : "|") + std::string(name) + "=" + value;
    };
    for (const auto& [name, field] : testsupport::ContactTextFields())
        add(name, r.*field);
    add("SelAddress", r.eSelAddress);
    add("BirthDay", r.eContact_BirthDay ? std::to_string(int(r.eContact_BirthDay)) : "");
    add("Anniversary", r.eContact_Anniversary ? std::to_string(int(r.eContact_Anniversary)) : "");
    add("Notes", notes.Empty() ? "" : std::to_string(notes.Total()));
    return out;
}

struct RuleCase {
    std::vector<std::string> pieces;
    std::string normal;            // what Normal mode fills
    const char* advance = nullptr; // what Advance mode fills, when it differs
};

// Names the case by its lines, so that test names stay the same from run to run.
void PrintTo(const RuleCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.pieces);
}

class PropertyRules : public testing::TestWithParam<RuleCase> {};

TEST_P(PropertyRules, FillTheFieldsInBothModes) {
    for (const ReadMode mode : {ReadMode::Normal, ReadMode::Advance}) {
        RecordingHost host;
        ContactRecord record;
        RuleContext ctx{host, "test.vcf", 1, {}};
        for (const auto& piece : GetParam().pieces)
            ApplyPropertyRules(piece, mode, record, ctx);
        const bool advance = mode == ReadMode::Advance && GetParam().advance;
        EXPECT_EQ(Filled(record, host.notes), advance ? GetParam().advance : GetParam().normal)
            << (mode == ReadMode::Advance ? "advance " : "normal ")
            << testing::PrintToString(GetParam().pieces);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PropertyRules,
    testing::ValuesIn(std::vector<RuleCase>{
        {{"N:Doe;John;Q.;Dr.;Jr.;extra"},
         "FirstName=John|MiddleName=Q.|LastName=Doe|Suffix=Jr.|Title=Dr."},
        {{"N:Doe; John", "NICKNAME:Bob"}, "FirstName= John|LastName=Doe"},
        {{"N:12345"}, "", "LastName=12345"},
        {{"n;charset=utf-8:Doe;Jane", "N:"}, "FirstName=Jane|LastName=Doe"},
        {{"X-SKYPE-USERNAME:echo123"}, "FullName=echo123", ""},
        {{"X-SKYPE-USERNAME:echo", "X-SKYPE-DISPLAYNAME:Echo Test"}, "FullName=Echo Test", ""},
        {{"X-SKYPE-USERNAME:+15551234", "X-SKYPE-DISPLAYNAME;LANG=en:Echo"}, "FullName=Echo", ""},
        {{"X-SKYPE-USERNAME:echo", "X-SKYPE-DISPLAYNAME;X=1:Echo"}, "FullName=echo", ""},
        {{"FN:  Bob Smith", "CATEGORIES:Friends,Work", "IMADDRESS:skype:someone"},
         "FullName=Bob Smith|IMAddress=skype|Categories=Friends,Work"},
        {{"ORG:Acme ; Sales", "TITLE:Engineer", "ROLE:Manager"},
         "Company=Acme|Profession=Manager|JobTitle=Engineer|Department=Sales"},
        {{"NOTE:line1=0D=0Aline2\\nline3"}, "Comments=line1\r\nline2\r\nline3"},
        {{"NOTE:a=0d=0ab\\Nc"}, "Comments=a=0d=0ab\\Nc"},
        {{"TEL;TYPE=CELL:+1 555"}, "CellPhone=+1 555", ""},
        {{"TEL;TYPE=CELL;type=VOICE:+1 555"}, "CellPhone=+1 555"},
        {{"TEL;HOME;VOICE:111", "TEL;HOME;VOICE:222"}, "HomePhone=111", "HomePhone=222"},
        {{"TEL;WORK:123"}, "OfficePhone=123"},
        {{"TEL;WORK;VOICE:1"}, "", "OfficePhone=1"},
        {{"X-SKYPE-PSTNNUMBER:+4144", "TEL;X-SKYPE-PSTNNUMBER:9"}, "OfficePhone=+4144", ""},
        {{"TEL;WORK;FAX:9", "TEL;HOME;FAX:8"},
         "OfficeFax=9|HomePhone=8|HomeFax=8",
         "OfficeFax=9|HomeFax=8"},
        {{"TEL;CAR;VOICE:7", "TEL;PAGER:6"}, "Pager=6|CarPhone=7", "CarPhone=7"},
        {{"TEL;TYPE=WORK;TYPE=PREF:5", "FN", "TEL;CELL", "ADR;HOME", "ADR;HOME:only"}, ""},
        {{"ADR;type=HOME:;;1 Main;Town;IL;627;US"},
         "PersonalAddress=1 Main|PersonalCity=Town|PersonalZip=627|PersonalState=IL|"
         "PersonalCountry=US|SelAddress=1"},
        {{"ADR;HOME:;;2 Elm;Town"}, "PersonalAddress=2 Elm|PersonalCity=Town|SelAddress=2"},
        {{"ADR;WORK:;;5 Work Rd;City;ST;999;Land"},
         "BusinessAddress=5 Work Rd|BusinessCity=City|BusinessZip=999|BusinessState=ST|"
         "BusinessCountry=Land"},
        {{"item1.ADR;type=WORK:;; 9 Side St;Y"}, "BusinessAddress= 9 Side St|BusinessCity=Y"},
        {{"URL:http://h/x"}, "WebPage=http://h/x", "WebPage=//h/x"},
        {{"URL:http://h:80/x"}, "WebPage=http"},
        {{"URL:www.example.com"}, "WebPage=www.example.com"},
        {{"item2.URL;type=pref:www.smithauto.com"}, "WebPage=www.smithauto.com"},
        {{"URL;type=pref:http://h/x"}, "WebPage=//h/x"},
        {{"EMAIL;TYPE=INTERNET:a@b"}, "Email=a@b|Email2=a@b", "Email2=a@b"},
        {{"EMAIL;TYPE=INTERNET;TYPE=PREF:p@b"}, "Email=p@b"},
        {{"EMAIL: a@b", "EMAIL:c@d"}, "Email= a@b|Email2=c@d", ""},
        {{"BDAY:19850327"}, "BirthDay=31133"},
        {{"BDAY;VALUE=DATE:1985-03-27"}, "BirthDay=31133"},
        {{"BDAY:1985-03-27T10:20:30Z"}, "BirthDay=31133"},
        {{"BDAY:19850327T102030Z"}, "BirthDay=31133"},
        {{"BDAY:"}, ""},
        // A date without a year, or no date at all, is skipped and the user told.
        {{"BDAY:--0327", "BDAY:--03-27", "BDAY:soon", "BDAY:19850230", "BDAY:00000000"}, "Notes=5"},
        {{"ANNIVERSARY:19900601"}, "Anniversary=33025"},
        {{"X-ANNIVERSARY:19900601"}, "Anniversary=33025"},
        {{"ANNIVERSARY:1990-06-01"}, "", "Notes=1"},
        {{"BDAY:garbage", "FN:After", "ANNIVERSARY:19900601"},
         "FullName=After|Anniversary=33025|Notes=1"},
        // Some rules look at the whole line, value included, in any case.
        {{"NOTE:ask for the ImAddress"},
         "IMAddress=ask for the ImAddress|Comments=ask for the ImAddress"},
        {{"X-NOTE;Home:;;the adr type=HOME;Town"},
         "PersonalAddress=the adr type=HOME|PersonalCity=Town|SelAddress=1"},
        {{"X-MEMO:the Anniversary is 19900601"}, "", "Notes=1"},
        {{"X-LINK;type=pref:see URL:x"}, "WebPage=x"},
    }));

TEST(ConvertDate, Forms) {
    std::string days;
    for (const char* good :
         {"1985 03 27", " 19850327 ", "1985-3-27", "2000-02-29", "1899-12-30", "9999-12-31"})
        days += std::to_string(int(ConvertDate(good).value_or(-1))) + " ";
    EXPECT_EQ(days, "31133 31133 31133 36585 0 2958465 ");
    for (const char* bad : {"", "1985 3 27", "1985-02-30", "1900-02-29", "--0327", "0000-01-01",
                            "1985-03-27X", "1985-03-27T10h", "1985/03/27", "27-03-1985"})
        EXPECT_FALSE(ConvertDate(bad).has_value()) << bad;
}

TEST(IsNumeric, Forms) {
    for (const char* yes : {"12345", " 12 ", "+1", "-1.5", ".5", "5.", "1e3", "1.5E-3"})
        EXPECT_TRUE(IsNumeric(yes)) << yes;
    for (const char* no : {"", " ", "+", ".", "1e", "12a", "1 2", "Doe;John", "\t1"})
        EXPECT_FALSE(IsNumeric(no)) << no;
}

TEST(Text, Utf8AndWindows1252) {
    for (const char* good : {"", "abc", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"})
        EXPECT_TRUE(IsValidUtf8(good)) << good;
    // Lone Latin-1 byte, overlong, surrogate, past U+10FFFF, cut short.
    for (const char* bad : {"\xE9", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"})
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
    EXPECT_EQ(Cp1252ToUtf8("\x80\x9F\xE9\x81"), "\xE2\x82\xAC\xC5\xB8\xC3\xA9\xEF\xBF\xBD");
    EXPECT_EQ(Utf8Prefix("\xC3\xA9\xC3\xA8x", 2), "\xC3\xA9\xC3\xA8");
    // A backup: UTF-8 with or without BOM, a BOM before Windows-1252, UTF-16.
    const std::string bom = "\xEF\xBB\xBF", utf16 = "\xFF\xFE" + std::string("F\0N\0:\0\xE9\0", 8);
    for (const std::string& bytes : {bom + "FN:\xC3\xA9", std::string("FN:\xC3\xA9"),
                                     std::string("FN:\xE9"), bom + "FN:\xE9", utf16})
        EXPECT_EQ(DecodeBackupBytes(bytes), "FN:\xC3\xA9");
}

TEST(Text, Utf8ToUtf16WidensAsciiRunsAndDecodesTheRest) {
    // ASCII runs longer and shorter than a word, every UTF-8 length, and
    // stray bytes, which stand for their Windows-1252 characters.
    const std::pair<std::string, std::u16string> cases[] = {
        {"", u""},
        {"abcdefghijklmnopq", u"abcdefghijklmnopq"},
        {"Ren\xC3\xA9 Lef\xC3\xA8vre-Dupont", u"Ren\u00E9 Lef\u00E8vre-Dupont"},
        {"\xE4\xB8\xAD\xE6\x96\x87 name", u"\u4E2D\u6587 name"},
        {"smile \xF0\x9F\x98\x80!", u"smile \U0001F600!"},
        {"price 5\x80 caf\xE9", u"price 5\u20AC caf\u00E9"},
        {"\xC3", u"\u00C3"},
    };
    for (const auto& [utf8, utf16] : cases)
        EXPECT_EQ(Utf8ToUtf16(utf8), utf16) << testing::PrintToString(utf8);
}

using namespace std::string_literals;

TEST(Base64Decode, Examples) {
    // Text, then its bytes: groups of four, white space anywhere, "=" anywhere
    // in a group dropping one byte, a short last group still giving three.
    const std::string cases[] = {"YWJj",     "abc",       "YWI=",      "ab",
                                 "YQ==",     "a",         "",          "",
                                 "YWJjZA==", "abcd",      "YW Jj",     "abc",
                                 "YW\r\nJj", "abc",       "Y\tW\nJ j", "abc",
                                 "YWJjZA",   "abcd\0\0"s, "Y=Jj",      "`\x02",
                                 "Y===",     "",          "AAAA",      "\0\0\0"s,
                                 "YWJjZGU",  "abcde\0"s,  "/+/+",      "\xFF\xEF\xFE"};
    for (size_t i = 0; i < std::size(cases); i += 2)
        EXPECT_EQ(Base64Decode(cases[i]), cases[i + 1]) << cases[i];
    for (const char* input : {"====", "YWJj====", "YW:j", "YWJj\r", "YWJj-_", "\xC3\xA9YWJ"})
        EXPECT_EQ(Base64Decode(input), std::nullopt) << input;
}

// The rules read literally: drop the white space, then decode group by group.
// The decoder's one-pass fast path must agree with it on any mix of alphabet,
// "=", white space, stray CRs and foreign bytes, at every alignment.
std::optional<std::string> LiteralBase64(std::string_view in) {
    std::string text;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '\r' && i + 1 < in.size() && in[i + 1] == '\n') {
            ++i;
            continue;
        }
        if (in[i] != '\t' && in[i] != ' ' && in[i] != '\n') text += in[i];
    }
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t g = 0; g < text.size(); g += 4) {
        int count = 3;
        uint32_t acc = 0;
        for (size_t k = g; k < g + 4; ++k) {
            size_t v = 0;
            if (k < text.size() && text[k] == '=')
                --count;
            else if (k < text.size() && (v = alphabet.find(text[k])) == std::string::npos)
                return std::nullopt;
            acc = acc * 64 + static_cast<uint32_t>(v);
        }
        if (count < 0) return std::nullopt;
        for (int b = 0; b < count; ++b)
            out += static_cast<char>(acc >> (16 - 8 * b));
    }
    return out;
}

TEST(Base64Decode, AgreesWithTheLiteralRulesOnRandomText) {
    const std::string pieces[] = {"QUJD", "x",  "=",  "==", " ",   "\t",
                                  "\r\n", "\n", "\r", "-",  "/+9z"};
    std::mt19937 random(20261206);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i) {
            const auto pick = random() % 40;
            text += pick < std::size(pieces) ? pieces[pick] : pieces[0];
        }
        EXPECT_EQ(Base64Decode(text), LiteralBase64(text)) << testing::PrintToString(text);
    }
}

// The words the rules look for anywhere in a line, found the slow way.
LineWords LiteralLineWords(std::string_view line, size_t colon) {
    const std::string upper = UpperAscii(line);
    const std::string upperParams = UpperAscii(line.substr(0, colon));
    LineWords words;
    words.imAddress = upper.find("IMADDRESS") != std::string::npos;
    words.anniversary = upper.find("ANNIVERSARY") != std::string::npos;
    words.url = line.find("URL") != std::string_view::npos;
    words.work = upperParams.find("WORK") != std::string::npos;
    words.home = upperParams.find("HOME") != std::string::npos;
    return words;
}

// Lines of every length, the words at every place (across the eight-byte
// steps of the scan and at its end), in any case, cut short and next to the
// letters the scan looks for.
TEST(FindLineWords, AgreesWithASearchForEachWord) {
    const std::string pieces[] = {
        "IMADDRESS",  "imAddress",  "IMADDRES", "MADDRESS", "ANNIVERSARY", "anniversary",
        "ANNIVERSAR", "NNIVERSARY", "URL",      "url",      "UR",          "RL",
        "work",       "WoRk",       "HOME",     "hom",      "m",           "v",
        "L",          "w",          "h",        ":",        ";",           "x",
        "\xC3\xA9",   "\x80"};
    std::mt19937 random(20261207);
    for (int round = 0; round < 50000; ++round) {
        std::string line;
        const int length = static_cast<int>(random() % 10);
        for (int i = 0; i < length; ++i)
            line += pieces[random() % std::size(pieces)];
        const size_t colon = std::min(line.find(':'), line.size());
        const LineWords got = FindLineWords(line, colon);
        const LineWords want = LiteralLineWords(line, colon);
        EXPECT_EQ(std::tuple(got.imAddress, got.anniversary, got.url, got.work, got.home),
                  std::tuple(want.imAddress, want.anniversary, want.url, want.work, want.home))
            << testing::PrintToString(line);
    }
}

} // namespace
} // namespace velloquin
