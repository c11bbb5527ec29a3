// Standard Mode: each rule of the reading once, the slots a user finds the
// facts in, the notes for what finds none, and the reader's contract with
// its sink.
#include "vcard/StandardReader.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace velloquin {
namespace {

namespace fs = std::filesystem;
using F = std::string ContactRecord::*;

class Host : public ContactSink {
  public:
    std::vector<ContactRecord> contacts;
    std::vector<int32_t> numbers;
    std::vector<std::string> pictures; // "<ivCard>.<extension>:<size>"
    std::vector<int64_t> progress;
    RunNotes notes;
    bool wantsPictures = true;
    size_t stopAfter = 0; // 0: never
    int opened = 0;

    void ContactFinished(const ContactRecord& r, ReadMode mode, int32_t ivCard) override {
        EXPECT_EQ(mode, ReadMode::Standard);
        contacts.push_back(r);
        numbers.push_back(ivCard);
    }
    RunNotes& Notes() override { return notes; }
    void Progress(int64_t finished) override { progress.push_back(finished); }
    bool StopRequested() override { return stopAfter && contacts.size() >= stopAfter; }
    void CardOpened() override { ++opened; }
    bool WantsPictures() override { return wantsPictures; }
    std::string KeepPictureAs(std::string_view bytes, int32_t ivCard, std::string_view extension,
                              std::string&) override {
        pictures.push_back(std::to_string(ivCard) + "." + std::string(extension) + ":" +
                           std::to_string(bytes.size()));
        return "picture-" + std::to_string(ivCard);
    }
    // The notes' messages, one per line.
    std::string Said() const {
        std::string said;
        for (const RunNote& note : notes.Kept())
            said += note.message + "\n";
        return said;
    }
};

Host Read(const std::string& text, Host host = {}) {
    ContactRecord record;
    int32_t ivCard = 1;
    ReadvCardText("b.vcf", text, ReadMode::Standard, ivCard, record, host);
    return host;
}

// One card of the version with these lines between BEGIN and END.
std::string Card(const std::string& lines, const std::string& version = "3.0") {
    return "BEGIN:VCARD\r\nVERSION:" + version + "\r\n" + lines + "END:VCARD\r\n";
}

struct SlotCase {
    const char* what;
    std::string card;
    std::vector<std::pair<F, std::string>> slots; // every other text slot stays empty
    const char* noted = "";                       // a text every note together must hold
};

void PrintTo(const SlotCase& c, std::ostream* os) {
    *os << c.what;
}

constexpr F kAllTexts[] = {
    &ContactRecord::eContact_FirstName,
    &ContactRecord::eContact_MiddleName,
    &ContactRecord::eContact_LastName,
    &ContactRecord::eContact_FullName,
    &ContactRecord::eContact_Suffix,
    &ContactRecord::eContact_Title,
    &ContactRecord::eContact_Email,
    &ContactRecord::eContact_Email2,
    &ContactRecord::eContact_Email3,
    &ContactRecord::eContact_Company,
    &ContactRecord::eContact_Profession,
    &ContactRecord::eContact_JobTitle,
    &ContactRecord::eContact_BusinessAddress,
    &ContactRecord::eContact_BusinessCity,
    &ContactRecord::eContact_BusinessZip,
    &ContactRecord::eContact_BusinessState,
    &ContactRecord::eContact_BusinessCountry,
    &ContactRecord::eContact_WebPage,
    &ContactRecord::eContact_Department,
    &ContactRecord::eContact_Manager,
    &ContactRecord::eContact_Assistant,
    &ContactRecord::eContact_OfficePhone,
    &ContactRecord::eContact_OfficeFax,
    &ContactRecord::eContact_CellPhone,
    &ContactRecord::eContact_Pager,
    &ContactRecord::eContact_CarPhone,
    &ContactRecord::eContact_IMAddress,
    &ContactRecord::eContact_PersonalAddress,
    &ContactRecord::eContact_PersonalCity,
    &ContactRecord::eContact_PersonalZip,
    &ContactRecord::eContact_PersonalState,
    &ContactRecord::eContact_PersonalCountry,
    &ContactRecord::eContact_Spouse,
    &ContactRecord::eContact_Childern,
    &ContactRecord::eContact_HomePhone,
    &ContactRecord::eContact_HomeFax,
    &ContactRecord::eContact_Comments,
    &ContactRecord::eContact_PhoneticName,
    &ContactRecord::eContact_Categories,
    &ContactRecord::eContact_NickName,
    &ContactRecord::eContact_HomePhone2,
    &ContactRecord::eContact_OfficePhone2,
    &ContactRecord::eContact_OtherPhone,
    &ContactRecord::eContact_OtherFax,
    &ContactRecord::eContact_CompanyMainPhone,
    &ContactRecord::eContact_ISDN,
    &ContactRecord::eContact_RadioPhone,
    &ContactRecord::eContact_CallbackPhone,
    &ContactRecord::eContact_Telex,
    &ContactRecord::eContact_TTYPhone,
    &ContactRecord::eContact_AssistantPhone,
    &ContactRecord::eContact_PrimaryPhone,
    &ContactRecord::eContact_OtherAddress,
    &ContactRecord::eContact_OtherCity,
    &ContactRecord::eContact_OtherZip,
    &ContactRecord::eContact_OtherState,
    &ContactRecord::eContact_OtherCountry,
    &ContactRecord::eContact_PersonalWebPage,
};

class Slots : public testing::TestWithParam<SlotCase> {};

TEST_P(Slots, EachFactInItsSlot) {
    const SlotCase& c = GetParam();
    const Host host = Read(c.card);
    ASSERT_EQ(host.contacts.size(), 1u) << host.Said();
    const ContactRecord& r = host.contacts[0];
    for (size_t k = 0; k < std::size(kAllTexts); ++k) {
        const auto want = std::find_if(c.slots.begin(), c.slots.end(), [&](const auto& slot) {
            return slot.first == kAllTexts[k];
        });
        EXPECT_EQ(r.*kAllTexts[k], want == c.slots.end() ? "" : want->second)
            << "slot " << k << "\n"
            << host.Said();
    }
    EXPECT_NE(host.Said().find(c.noted), std::string::npos) << host.Said();
    if (!*c.noted) {
        EXPECT_EQ(host.Said(), "");
    }
}

using R = ContactRecord;
const SlotCase kSlotCases[] = {
    // Names.
    {"name parts, lists and the nickname",
     Card("N:Stevenson;John;Philip,Paul;Dr.;Jr.,M.D.\r\nFN:Dr. John Stevenson\r\n"
          "NICKNAME:Jim,Jimmie\r\n"),
     {{&R::eContact_LastName, "Stevenson"},
      {&R::eContact_FirstName, "John"},
      {&R::eContact_MiddleName, "Philip Paul"},
      {&R::eContact_Title, "Dr."},
      {&R::eContact_Suffix, "Jr., M.D."},
      {&R::eContact_FullName, "Dr. John Stevenson"},
      {&R::eContact_NickName, "Jim, Jimmie"}}},
    {"organisation, job title, profession",
     Card("ORG:ABC\\, Inc.;North American Division;Marketing\r\nTITLE:Director\r\n"
          "ROLE:Programmer\r\n"),
     {{&R::eContact_Company, "ABC, Inc."},
      {&R::eContact_Department, "North American Division, Marketing"},
      {&R::eContact_JobTitle, "Director"},
      {&R::eContact_Profession, "Programmer"}}},
    // The text's rules.
    {"3.0 folding drops the one blank after the line end",
     Card("FN:Frank\r\n  Dawson\r\nNOTE:long\r\n\tline\r\n"),
     {{&R::eContact_FullName, "Frank Dawson"}, {&R::eContact_Comments, "longline"}}},
    {"2.1 quoted-printable with a soft line break and a CHARSET",
     Card("NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-1:Caf=E9 line one=0D=0A=\r\n"
          "line two\r\n",
          "2.1"),
     {{&R::eContact_Comments, "Caf\xC3\xA9 line one\r\nline two"}}},
    {"LF-only and lone-CR line ends, mixed",
     "BEGIN:VCARD\nVERSION:3.0\rFN:Mixed\r\nTEL:1\nEND:VCARD\n",
     {{&R::eContact_FullName, "Mixed"}, {&R::eContact_OtherPhone, "1"}}},
    {"escapes in text, lists and components",
     Card("NOTE:a\\nb\\, c\\; d\\\\e\r\nCATEGORIES:x\\,y,z\r\nN:O\\;Brien;Pat\r\n"),
     {{&R::eContact_Comments, "a\r\nb, c; d\\e"},
      {&R::eContact_Categories, "x,y, z"},
      {&R::eContact_LastName, "O;Brien"},
      {&R::eContact_FirstName, "Pat"}}},
    {"grouped properties as phones and webmail write them",
     Card("item1.EMAIL;type=INTERNET:a@x.org\r\nitem1.X-ABLabel:_$!<Other>!$_\r\n"
          "item2.TEL:5\r\n"),
     {{&R::eContact_Email, "a@x.org"}, {&R::eContact_OtherPhone, "5"}}},
    {"parameters in every written form",
     Card("TEL;type=work;TYPE=FAX:1\r\nTEL;TYPE=\"home,voice\":2\r\nTEL;Cell:3\r\n"
          "TEL;TYPE=WORK,VOICE:4\r\n"),
     {{&R::eContact_OfficeFax, "1"},
      {&R::eContact_HomePhone, "2"},
      {&R::eContact_CellPhone, "3"},
      {&R::eContact_OfficePhone, "4"}}},
    // Phones by kind.
    {"every kind of number has its slot",
     Card("TEL;TYPE=CELL:1\r\nTEL;TYPE=HOME:2\r\nTEL;TYPE=HOME:3\r\nTEL;TYPE=WORK:4\r\n"
          "TEL;TYPE=WORK:5\r\nTEL;TYPE=FAX,HOME:6\r\nTEL;TYPE=FAX:7\r\nTEL;TYPE=PAGER:8\r\n"
          "TEL;TYPE=CAR:9\r\nTEL;TYPE=ISDN:10\r\nTEL;TYPE=X-COMPANY-MAIN:11\r\n"
          "TEL;TYPE=PREF:12\r\nTEL;TYPE=TEXTPHONE:13\r\nTEL;TYPE=X-RADIO:14\r\n"
          "TEL;TYPE=X-CALLBACK:15\r\nTEL;TYPE=TLX:16\r\nTEL;TYPE=X-ASSISTANT:17\r\n"
          "TEL;TYPE=VOICE:18\r\nTEL;TYPE=FAX,WORK:19\r\n"),
     {{&R::eContact_CellPhone, "1"},
      {&R::eContact_HomePhone, "2"},
      {&R::eContact_HomePhone2, "3"},
      {&R::eContact_OfficePhone, "4"},
      {&R::eContact_OfficePhone2, "5"},
      {&R::eContact_HomeFax, "6"},
      {&R::eContact_OtherFax, "7"},
      {&R::eContact_Pager, "8"},
      {&R::eContact_CarPhone, "9"},
      {&R::eContact_ISDN, "10"},
      {&R::eContact_CompanyMainPhone, "11"},
      {&R::eContact_PrimaryPhone, "12"},
      {&R::eContact_TTYPhone, "13"},
      {&R::eContact_RadioPhone, "14"},
      {&R::eContact_CallbackPhone, "15"},
      {&R::eContact_Telex, "16"},
      {&R::eContact_AssistantPhone, "17"},
      {&R::eContact_OtherPhone, "18"},
      {&R::eContact_OfficeFax, "19"}}},
    {"numbers without a slot of their kind take the free ones in order; a tel: URI is a number",
     Card("TEL;TYPE=CELL:1\r\nTEL;TYPE=CELL:2\r\nTEL:3\r\nTEL;TYPE=HOME:4\r\n"
          "TEL;VALUE=uri;TYPE=home:tel:+1-555-555-5555;ext=5555\r\n",
          "4.0"),
     {{&R::eContact_CellPhone, "1"},
      {&R::eContact_OtherPhone, "2"},
      {&R::eContact_OfficePhone2, "3"},
      {&R::eContact_HomePhone, "4"},
      {&R::eContact_HomePhone2, "+1-555-555-5555 ext. 5555"}}},
    // E-mail, web pages, messengers.
    {"e-mail by preference, then in file order; the fourth is noted",
     Card("EMAIL:a@x\r\nEMAIL;PREF=2:b@x\r\nEMAIL;PREF=1:c@x\r\nEMAIL:d@x\r\n", "4.0"),
     {{&R::eContact_Email, "c@x"}, {&R::eContact_Email2, "b@x"}, {&R::eContact_Email3, "a@x"}},
     "A value of EMAIL found no slot in the output: \"d@x\""},
    {"web pages: business, personal, then the other slot, then a note",
     Card("URL;TYPE=home:http://h\r\nURL:http://w\r\nURL:http://x\r\nURL:http://y\r\n"),
     {{&R::eContact_PersonalWebPage, "http://h"}, {&R::eContact_WebPage, "http://w"}},
     "A value of URL found no slot in the output: \"http://x\""},
    {"messengers by preference",
     Card("X-AIM:aim1\r\nIMPP;TYPE=PREF:xmpp:me@x\r\n"),
     {{&R::eContact_IMAddress, "xmpp:me@x"}},
     "A value of X-AIM found no slot in the output: \"aim1\""},
    // Addresses.
    {"addresses by kind, the box and extended address in the street",
     Card("ADR;TYPE=home:P.O. Box 1;Suite 2;3 Main St;Town;CA;91921;USA\r\n"
          "ADR;TYPE=work:;;1 Central St.;City;NC;27654;U.S.A.\r\n"
          "ADR;TYPE=postal:;;9 Other Rd;Elsewhere;;;\r\n"),
     {{&R::eContact_PersonalAddress, "P.O. Box 1\\nSuite 2\\n3 Main St"},
      {&R::eContact_PersonalCity, "Town"},
      {&R::eContact_PersonalState, "CA"},
      {&R::eContact_PersonalZip, "91921"},
      {&R::eContact_PersonalCountry, "USA"},
      {&R::eContact_BusinessAddress, "1 Central St."},
      {&R::eContact_BusinessCity, "City"},
      {&R::eContact_BusinessState, "NC"},
      {&R::eContact_BusinessZip, "27654"},
      {&R::eContact_BusinessCountry, "U.S.A."},
      {&R::eContact_OtherAddress, "9 Other Rd"},
      {&R::eContact_OtherCity, "Elsewhere"}}},
    {"a second address of a kind goes to the next free group, a fourth to a note",
     Card(
         "ADR;HOME:;;1 A;;;;\r\nADR;HOME:;;2 B;;;;\r\nADR;HOME:;;3 C;;;;\r\nADR;HOME:;;4 D;;;;\r\n",
         "2.1"),
     {{&R::eContact_PersonalAddress, "1 A"},
      {&R::eContact_OtherAddress, "2 B"},
      {&R::eContact_BusinessAddress, "3 C"}},
     "A value of ADR found no slot in the output: \"4 D\""},
    // Relations and the rest.
    {"spouse, children, manager and assistant in their written forms",
     Card("RELATED;TYPE=spouse;VALUE=text:Ann\r\nRELATED;TYPE=child;VALUE=text:Bo\r\n"
          "X-CHILDREN:Cy\r\nX-MANAGER:Di\r\nX-EVOLUTION-ASSISTANT:Ed\r\n"
          "X-ANDROID-CUSTOM:vnd.android.cursor.item/nickname;Nick;1;;;;;;;;;;;;;\r\n",
          "4.0"),
     {{&R::eContact_Spouse, "Ann"},
      {&R::eContact_Childern, "Bo, Cy"},
      {&R::eContact_Manager, "Di"},
      {&R::eContact_Assistant, "Ed"},
      {&R::eContact_NickName, "Nick"}}},
    {"technical properties are read quietly, others are noted by kind",
     Card("PRODID:-//x//EN\r\nREV:1995-10-31T22:27:10Z\r\nUID:1\r\nTZ:-05:00\r\nGEO:1;2\r\n"
          "LABEL:a\\nb\r\nCLASS:PUBLIC\r\nSORT-STRING:x\r\nX-REDUCTION:1\r\nX-EMPTY:\r\n"
          "X-UNKNOWN:something\r\n"),
     {},
     "A value of X-UNKNOWN found no slot in the output: \"something\""},
    {"Skype's names: the display name stands for a missing FN, the user name is the IM address",
     Card("X-SKYPE-USERNAME:live:ann\r\nX-SKYPE-DISPLAYNAME:Ann\r\n"
          "X-SKYPE-PSTNNUMBER:+411\r\n"),
     {{&R::eContact_FullName, "Ann"},
      {&R::eContact_IMAddress, "live:ann"},
      {&R::eContact_OfficePhone, "+411"}}},
};

INSTANTIATE_TEST_SUITE_P(Standard, Slots, testing::ValuesIn(kSlotCases));

struct DateCase {
    const char* line;
    double birthday;   // automation date, 0 for none
    const char* noted; // empty: no note
};

class Dates : public testing::TestWithParam<DateCase> {};

TEST_P(Dates, EveryFormTheStandardsAllow) {
    const DateCase& c = GetParam();
    const Host host = Read(Card(std::string(c.line) + "\r\n", "4.0"));
    ASSERT_EQ(host.contacts.size(), 1u);
    EXPECT_EQ(host.contacts[0].eContact_BirthDay, c.birthday);
    EXPECT_NE(host.Said().find(c.noted), std::string::npos) << host.Said();
    if (!*c.noted) {
        EXPECT_EQ(host.Said(), "");
    }
}

constexpr double k19850327 = 31133; // 27 March 1985
INSTANTIATE_TEST_SUITE_P(
    Standard, Dates,
    testing::Values(DateCase{"BDAY:19850327", k19850327, ""},
                    DateCase{"BDAY:1985-03-27", k19850327, ""},
                    DateCase{"BDAY:19850327T102200Z", k19850327, ""},
                    DateCase{"BDAY;VALUE=date-time:1985-03-27T10:22:00+01:00", k19850327, ""},
                    DateCase{"BDAY:--0327", 0, "\"--0327\" has no year, which Outlook needs"},
                    DateCase{"BDAY;VALUE=text:circa 1800", 0, "is not a date"}));

TEST(StandardPictures, NamedByTheirTypeReportedWhenNotThere) {
    const std::string gif = "R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7";
    const std::string png =
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwAChwGA"
        "60e6kgAAAABJRU5ErkJggg==";
    const std::string text =
        Card("PHOTO;ENCODING=b;TYPE=GIF:" + gif.substr(0, 20) + "\r\n " + gif.substr(20) + "\r\n") +
        Card("PHOTO:data:image/png;base64," + png + "\r\n", "4.0") +
        Card("PHOTO;VALUE=uri:http://example.com/me.jpg\r\n") + Card("PHOTO;ENCODING=b:@@@@\r\n");
    Host host = Read(text);
    ASSERT_EQ(host.contacts.size(), 4u);
    EXPECT_EQ(host.pictures, (std::vector<std::string>{"1.gif:42", "2.png:70"}));
    EXPECT_EQ(host.contacts[0].ePhoto, "picture-1");
    EXPECT_EQ(host.contacts[2].ePhoto, "");
    EXPECT_NE(host.Said().find("given only as a web address (\"http://example.com/me.jpg\")"),
              std::string::npos)
        << host.Said();
    EXPECT_NE(host.Said().find("could not be decoded"), std::string::npos);

    // A sink that looks only at the texts never gets a picture.
    Host textsOnly;
    textsOnly.wantsPictures = false;
    textsOnly = Read(text, textsOnly);
    EXPECT_TRUE(textsOnly.pictures.empty());
    EXPECT_EQ(textsOnly.contacts.size(), 4u);
}

TEST(StandardNotes, ValuesWithoutSlotGroupByKind) {
    const Host host = Read(Card("EMAIL:1@x\r\nEMAIL:2@x\r\nEMAIL:3@x\r\nEMAIL:4@x\r\nEMAIL:5@x\r\n"
                                "GENDER:F\r\nX-FOO;ENCODING=QUOTED-PRINTABLE:=ZZ\r\n"));
    EXPECT_EQ(host.notes.ValuesWithoutSlot(), 4); // two e-mails, GENDER and X-FOO
    // The two e-mails are one line of the grouped notes; the broken
    // quoted-printable is said too.
    const std::string grouped = host.notes.FormatGrouped();
    EXPECT_NE(grouped.find("4@x"), std::string::npos) << grouped;
    EXPECT_NE(grouped.find("5@x"), std::string::npos) << grouped;
    EXPECT_NE(grouped.find("quoted-printable"), std::string::npos) << grouped;
    size_t emailGroups = 0;
    for (const RunNotes::Group& group : host.notes.Groups())
        emailGroups += group.pattern.find("EMAIL") != std::string::npos;
    EXPECT_EQ(emailGroups, 1u);
}

// The contract with the sink is the Skype rules' own.
TEST(StandardContract, CounterProgressStopsAndBrokenCards) {
    const std::string three = Card("FN:A\r\n") + Card("FN:B\r\n") + Card("FN:C\r\n");
    Host all = Read(three);
    EXPECT_EQ(all.numbers, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(all.opened, 3);
    EXPECT_EQ(all.progress.back(), 3);

    // A stop asked for while a contact is handed off begins no further card.
    Host stopping;
    stopping.stopAfter = 1;
    stopping = Read(three, stopping);
    EXPECT_EQ(stopping.contacts.size(), 1u);

    // A card without END:VCARD is still converted, and said.
    Host open = Read("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\n" + Card("FN:B\r\n") +
                     "BEGIN:VCARD\r\nFN:C\r\n");
    ASSERT_EQ(open.contacts.size(), 3u);
    EXPECT_EQ(open.contacts[2].eContact_FullName, "C");
    EXPECT_NE(open.Said().find("no END:VCARD"), std::string::npos);
    EXPECT_EQ(open.notes.LostContacts(), 0);

    // The counter at its limit: the contact is reported, not dropped silently.
    Host full;
    ContactRecord record;
    int32_t ivCard = kMaxCardCounter + 1;
    ReadvCardText("b.vcf", Card("FN:A\r\n"), ReadMode::Standard, ivCard, record, full);
    EXPECT_TRUE(full.contacts.empty());
    EXPECT_EQ(full.notes.LostContacts(), 1);

    // A file that cannot be opened, and one without a card, are noted.
    Host missing;
    ivCard = 1;
    ReadvCard("/nonexistent/backup.vcf", ReadMode::Standard, ivCard, record, missing);
    EXPECT_NE(missing.Said().find("could not be opened"), std::string::npos);
    EXPECT_NE(Read("no card here\r\n").Said().find("No vCard was found"), std::string::npos);
}

// A Skype backup keeps in Standard Mode every value Normal Mode keeps.
TEST(StandardSkype, KeepsEveryValueNormalModeKeeps) {
    const fs::path sample = fs::path(VELLOQUIN_SAMPLES) / "skype-contacts-sample.vcf";
    struct Records : ContactSink {
        std::vector<ContactRecord> contacts;
        RunNotes notes;
        void ContactFinished(const ContactRecord& r, ReadMode, int32_t) override {
            contacts.push_back(r);
        }
        RunNotes& Notes() override { return notes; }
        std::string KeepPicture(std::string_view, int32_t ivCard, std::string&) override {
            return "picture-" + std::to_string(ivCard);
        }
    } normal, standard;
    const std::pair<ReadMode, Records*> readings[] = {{ReadMode::Normal, &normal},
                                                      {ReadMode::Standard, &standard}};
    for (auto [mode, sink] : readings) {
        ContactRecord record;
        int32_t ivCard = 1;
        ReadvCard(sample.string(), mode, ivCard, record, *sink);
    }
    ASSERT_EQ(standard.contacts.size(), normal.contacts.size());
    // The same backup with lines ending in LF alone reads the same.
    std::string lfOnly = testing_support::ReadFile(sample);
    std::erase(lfOnly, '\r');
    Records lf;
    ContactRecord record;
    int32_t ivCard = 1;
    ReadvCardText("lf.vcf", lfOnly, ReadMode::Standard, ivCard, record, lf);
    ASSERT_EQ(lf.contacts.size(), standard.contacts.size());
    for (size_t i = 0; i < lf.contacts.size(); ++i)
        for (F field : kAllTexts)
            EXPECT_EQ(lf.contacts[i].*field, standard.contacts[i].*field);
    EXPECT_TRUE(standard.notes.Empty()) << standard.notes.Format();
    for (size_t i = 0; i < normal.contacts.size(); ++i) {
        const ContactRecord& n = normal.contacts[i];
        const ContactRecord& s = standard.contacts[i];
        EXPECT_GE(CountFacts(s), CountFacts(n)) << "contact " << i + 1;
        EXPECT_EQ(s.eContact_BirthDay, n.eContact_BirthDay);
        EXPECT_EQ(s.ePhoto.empty(), n.ePhoto.empty());
        for (size_t k = 0; k < std::size(kAllTexts); ++k) {
            const F field = kAllTexts[k];
            if ((n.*field).empty()) continue;
            // Normal Mode puts a lone e-mail in both e-mail slots; Standard
            // Mode keeps it once.
            if (field == &R::eContact_Email2 && n.eContact_Email2 == n.eContact_Email) continue;
            EXPECT_FALSE((s.*field).empty())
                << "contact " << i + 1 << " slot " << k << ": " << n.*field;
        }
    }
}

} // namespace
} // namespace velloquin
