#include "vcard/Rules.h"
#include "TestHost.h"
#include "vcard/Dates.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velloquin {
namespace {

using testing_support::RecordingHost;
using R = ContactRecord;
constexpr ReadMode N = ReadMode::Normal;
constexpr ReadMode A = ReadMode::Advance;

ContactRecord Apply(ReadMode mode, const std::vector<std::string>& pieces, RecordingHost& host) {
    ContactRecord record;
    RuleContext ctx{host, "test.vcf", 1, {}};
    for (const auto& piece : pieces)
        ApplyPropertyRules(piece, mode, record, ctx);
    return record;
}

struct Expect {
    std::string R::*field;
    std::string value;
};

struct RuleCase {
    const char* name;
    ReadMode mode;
    std::vector<std::string> pieces;
    std::vector<Expect> expected;
};

void PrintTo(const RuleCase& c, std::ostream* os) {
    *os << c.name;
}

class PropertyRuleTest : public testing::TestWithParam<RuleCase> {};

TEST_P(PropertyRuleTest, FillsTheFields) {
    RecordingHost host;
    const ContactRecord record = Apply(GetParam().mode, GetParam().pieces, host);
    for (const Expect& e : GetParam().expected)
        EXPECT_EQ(record.*e.field, e.value);
    EXPECT_TRUE(host.notes.Empty()) << host.notes.Format();
}

const RuleCase kRuleCases[] = {
    // N
    {"N_all_components",
     N,
     {"N:Doe;John;Q.;Dr.;Jr.;extra"},
     {{&R::eContact_LastName, "Doe"},
      {&R::eContact_FirstName, "John"},
      {&R::eContact_MiddleName, "Q."},
      {&R::eContact_Title, "Dr."},
      {&R::eContact_Suffix, "Jr."}}},
    {"N_components_untrimmed", A, {"N:Doe; John"}, {{&R::eContact_FirstName, " John"}}},
    {"N_numeric_skipped_in_normal", N, {"N:12345"}, {{&R::eContact_LastName, ""}}},
    {"N_numeric_kept_in_advance", A, {"N:12345"}, {{&R::eContact_LastName, "12345"}}},
    {"N_with_parameters_any_case",
     N,
     {"n;charset=utf-8:Doe;Jane"},
     {{&R::eContact_FirstName, "Jane"}}},
    {"N_not_nickname", A, {"NICKNAME:Bob"}, {{&R::eContact_LastName, ""}}},
    {"N_empty_value_writes_nothing", N, {"N:Doe;John", "N:"}, {{&R::eContact_LastName, "Doe"}}},
    // Skype names (Normal only)
    {"username_normal", N, {"X-SKYPE-USERNAME:echo123"}, {{&R::eContact_FullName, "echo123"}}},
    {"username_advance", A, {"X-SKYPE-USERNAME:echo123"}, {{&R::eContact_FullName, ""}}},
    {"displayname_plain",
     N,
     {"X-SKYPE-USERNAME:echo", "X-SKYPE-DISPLAYNAME:Echo Test"},
     {{&R::eContact_FullName, "Echo Test"}}},
    {"displayname_param_replaces_number",
     N,
     {"X-SKYPE-USERNAME:+15551234", "X-SKYPE-DISPLAYNAME;LANG=en:Echo"},
     {{&R::eContact_FullName, "Echo"}}},
    {"displayname_param_keeps_name",
     N,
     {"X-SKYPE-USERNAME:echo", "X-SKYPE-DISPLAYNAME;X=1:Echo"},
     {{&R::eContact_FullName, "echo"}}},
    {"displayname_advance", A, {"X-SKYPE-DISPLAYNAME:Echo"}, {{&R::eContact_FullName, ""}}},
    // FN, ORG, TITLE, ROLE, CATEGORIES, IMADDRESS
    {"fn_trimmed", A, {"FN:  Bob Smith"}, {{&R::eContact_FullName, "Bob Smith"}}},
    {"org_components_trimmed",
     N,
     {"ORG:Acme ; Sales"},
     {{&R::eContact_Company, "Acme"}, {&R::eContact_Department, "Sales"}}},
    {"title_is_job_title",
     A,
     {"TITLE:Engineer"},
     {{&R::eContact_JobTitle, "Engineer"}, {&R::eContact_Title, ""}}},
    {"role", N, {"ROLE:Manager"}, {{&R::eContact_Profession, "Manager"}}},
    {"categories_keep_commas",
     A,
     {"CATEGORIES:Friends,Work"},
     {{&R::eContact_Categories, "Friends,Work"}}},
    {"imaddress_cut_at_colon", N, {"IMADDRESS:skype:someone"}, {{&R::eContact_IMAddress, "skype"}}},
    // NOTE
    {"note_line_breaks",
     N,
     {"NOTE:line1=0D=0Aline2\\nline3"},
     {{&R::eContact_Comments, "line1\r\nline2\r\nline3"}}},
    {"note_escapes_case_sensitive",
     A,
     {"NOTE:a=0d=0ab\\Nc"},
     {{&R::eContact_Comments, "a=0d=0ab\\Nc"}}},
    // TEL
    {"tel_cell_normal", N, {"TEL;TYPE=CELL:+1 555"}, {{&R::eContact_CellPhone, "+1 555"}}},
    {"tel_cell_advance_needs_voice", A, {"TEL;TYPE=CELL:+1 555"}, {{&R::eContact_CellPhone, ""}}},
    {"tel_cell_voice_advance",
     A,
     {"TEL;TYPE=CELL;type=VOICE:+1 555"},
     {{&R::eContact_CellPhone, "+1 555"}}},
    {"tel_home_first_kept_normal",
     N,
     {"TEL;HOME;VOICE:111", "TEL;HOME;VOICE:222"},
     {{&R::eContact_HomePhone, "111"}}},
    {"tel_home_last_kept_advance",
     A,
     {"TEL;HOME;VOICE:111", "TEL;HOME;VOICE:222"},
     {{&R::eContact_HomePhone, "222"}}},
    {"tel_work_two_parts_normal", N, {"TEL;WORK:123"}, {{&R::eContact_OfficePhone, "123"}}},
    {"tel_work_two_parts_advance", A, {"TEL;WORK:123"}, {{&R::eContact_OfficePhone, "123"}}},
    {"tel_work_voice_normal", N, {"TEL;WORK;VOICE:1"}, {{&R::eContact_OfficePhone, ""}}},
    {"tel_work_voice_advance", A, {"TEL;WORK;VOICE:1"}, {{&R::eContact_OfficePhone, "1"}}},
    {"tel_pstn_normal_first_kept",
     N,
     {"X-SKYPE-PSTNNUMBER:+4144", "TEL;X-SKYPE-PSTNNUMBER:9"},
     {{&R::eContact_OfficePhone, "+4144"}}},
    {"tel_pstn_advance", A, {"X-SKYPE-PSTNNUMBER:+4144"}, {{&R::eContact_OfficePhone, ""}}},
    {"tel_work_fax", A, {"TEL;WORK;FAX:9"}, {{&R::eContact_OfficeFax, "9"}}},
    {"tel_home_fax_normal",
     N,
     {"TEL;HOME;FAX:8"},
     {{&R::eContact_HomeFax, "8"}, {&R::eContact_HomePhone, "8"}}},
    {"tel_home_fax_advance",
     A,
     {"TEL;HOME;FAX:8"},
     {{&R::eContact_HomeFax, "8"}, {&R::eContact_HomePhone, ""}}},
    {"tel_car_voice", N, {"TEL;CAR;VOICE:7"}, {{&R::eContact_CarPhone, "7"}}},
    {"tel_pager_normal", N, {"TEL;PAGER:6"}, {{&R::eContact_Pager, "6"}}},
    {"tel_pager_advance", A, {"TEL;PAGER:6"}, {{&R::eContact_Pager, ""}}},
    {"tel_work_pref_no_field",
     A,
     {"TEL;TYPE=WORK;TYPE=PREF:5"},
     {{&R::eContact_OfficePhone, ""}, {&R::eContact_OfficeFax, ""}}},
    // ADR
    {"adr_type_home",
     N,
     {"ADR;type=HOME:;;1 Main St;Springfield;IL;62701;USA"},
     {{&R::eContact_PersonalAddress, "1 Main St"},
      {&R::eContact_PersonalCity, "Springfield"},
      {&R::eContact_PersonalState, "IL"},
      {&R::eContact_PersonalZip, "62701"},
      {&R::eContact_PersonalCountry, "USA"},
      {&R::eSelAddress, "1"}}},
    {"adr_home_without_type",
     A,
     {"ADR;HOME:;;2 Elm;Town"},
     {{&R::eContact_PersonalAddress, "2 Elm"}, {&R::eSelAddress, "2"}}},
    {"adr_work",
     A,
     {"ADR;WORK:;;5 Work Rd;City;ST;999;Land"},
     {{&R::eContact_BusinessAddress, "5 Work Rd"},
      {&R::eContact_BusinessCity, "City"},
      {&R::eContact_BusinessState, "ST"},
      {&R::eContact_BusinessZip, "999"},
      {&R::eContact_BusinessCountry, "Land"},
      {&R::eSelAddress, ""}}},
    {"adr_grouped_type_work",
     N,
     {"item1.ADR;type=WORK:;; 9 Side St;Y"},
     {{&R::eContact_BusinessAddress, " 9 Side St"}}},
    {"adr_one_component_nothing",
     N,
     {"ADR;HOME:only"},
     {{&R::eContact_PersonalAddress, ""}, {&R::eSelAddress, ""}}},
    // URL
    {"url_rebuilt_normal", N, {"URL:http://h/x"}, {{&R::eContact_WebPage, "http://h/x"}}},
    {"url_rebuilt_advance", A, {"URL:http://h/x"}, {{&R::eContact_WebPage, "//h/x"}}},
    {"url_with_port", N, {"URL:http://h:80/x"}, {{&R::eContact_WebPage, "http"}}},
    {"url_plain", A, {"URL:www.example.com"}, {{&R::eContact_WebPage, "www.example.com"}}},
    {"url_pref_grouped",
     N,
     {"item2.URL;type=pref:www.smithauto.com"},
     {{&R::eContact_WebPage, "www.smithauto.com"}}},
    {"url_pref_no_scheme", N, {"URL;type=pref:http://h/x"}, {{&R::eContact_WebPage, "//h/x"}}},
    // EMAIL
    {"email_internet_first_normal",
     N,
     {"EMAIL;TYPE=INTERNET:a@b"},
     {{&R::eContact_Email, "a@b"}, {&R::eContact_Email2, "a@b"}}},
    {"email_internet_advance",
     A,
     {"EMAIL;TYPE=INTERNET:a@b"},
     {{&R::eContact_Email, ""}, {&R::eContact_Email2, "a@b"}}},
    {"email_pref",
     A,
     {"EMAIL;TYPE=INTERNET;TYPE=PREF:p@b"},
     {{&R::eContact_Email, "p@b"}, {&R::eContact_Email2, ""}}},
    {"email_order_normal",
     N,
     {"EMAIL: a@b", "EMAIL:c@d"},
     {{&R::eContact_Email, " a@b"}, {&R::eContact_Email2, "c@d"}}},
    {"email_plain_advance", A, {"EMAIL:a@b"}, {{&R::eContact_Email, ""}}},
    // Lines that no rule takes
    {"no_value", N, {"FN", "TEL;CELL", "ADR;HOME"}, {{&R::eContact_FullName, ""}}},
};

INSTANTIATE_TEST_SUITE_P(Rules, PropertyRuleTest, testing::ValuesIn(kRuleCases),
                         [](const auto& p) { return std::string(p.param.name); });

struct DateCase {
    const char* name;
    ReadMode mode;
    std::string piece;
    double birthday;
    double anniversary;
    bool noted;
};

void PrintTo(const DateCase& c, std::ostream* os) {
    *os << c.name;
}

class DateRuleTest : public testing::TestWithParam<DateCase> {};

TEST_P(DateRuleTest, StoresTheDayOrNotesTheSkip) {
    RecordingHost host;
    const ContactRecord record = Apply(GetParam().mode, {GetParam().piece}, host);
    EXPECT_EQ(record.eContact_BirthDay, GetParam().birthday);
    EXPECT_EQ(record.eContact_Anniversary, GetParam().anniversary);
    ASSERT_EQ(host.notes.Total(), GetParam().noted ? 1u : 0u) << host.notes.Format();
    if (GetParam().noted) {
        const RunNote& note = host.notes.Kept().front();
        EXPECT_EQ(note.file, "test.vcf");
        EXPECT_EQ(note.contact, 1);
        EXPECT_FALSE(note.lostContact);
    }
}

const DateCase kDateCases[] = {
    {"bday_basic", N, "BDAY:19850327", 31133, 0, false},
    {"bday_basic_advance", A, "BDAY:19850327", 31133, 0, false},
    {"bday_extended", N, "BDAY;VALUE=DATE:1985-03-27", 31133, 0, false},
    {"bday_extended_advance", A, "BDAY:1985-03-27", 31133, 0, false},
    {"bday_with_time", N, "BDAY:1985-03-27T10:20:30Z", 31133, 0, false},
    {"bday_basic_with_time", A, "BDAY:19850327T102030Z", 31133, 0, false},
    {"bday_empty", N, "BDAY:", 0, 0, false},
    {"bday_no_year", N, "BDAY:--0327", 0, 0, true},
    {"bday_no_year_hyphens", A, "BDAY:--03-27", 0, 0, true},
    {"bday_not_a_date", N, "BDAY:soon", 0, 0, true},
    {"bday_bad_day", A, "BDAY:19850230", 0, 0, true},
    {"bday_zero", N, "BDAY:00000000", 0, 0, true},
    {"anniversary_basic", N, "ANNIVERSARY:19900601", 0, 33025, false},
    {"anniversary_basic_advance", A, "X-ANNIVERSARY:19900601", 0, 33025, false},
    {"anniversary_hyphens_normal", N, "ANNIVERSARY:1990-06-01", 0, 0, false},
    {"anniversary_hyphens_advance", A, "ANNIVERSARY:1990-06-01", 0, 0, true},
};

INSTANTIATE_TEST_SUITE_P(Rules, DateRuleTest, testing::ValuesIn(kDateCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(DateRule, LaterContactsStillRead) {
    // A bad date no longer ends anything: the next fields of the card land.
    RecordingHost host;
    const ContactRecord record =
        Apply(A, {"BDAY:garbage", "FN:After", "ANNIVERSARY:19900601"}, host);
    EXPECT_EQ(record.eContact_FullName, "After");
    EXPECT_EQ(record.eContact_Anniversary, 33025);
    ASSERT_EQ(host.notes.Total(), 1u);
    EXPECT_NE(host.notes.Kept().front().message.find("garbage"), std::string::npos);
}

TEST(ConvertDate, Forms) {
    EXPECT_EQ(ConvertDate("1985 03 27"), 31133);
    EXPECT_EQ(ConvertDate(" 19850327 "), 31133);
    EXPECT_EQ(ConvertDate("1985-3-27"), 31133);
    EXPECT_EQ(ConvertDate("2000-02-29"), 36585);
    EXPECT_EQ(ConvertDate("1899-12-30"), 0);
    EXPECT_EQ(ConvertDate("9999-12-31"), 2958465);
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

TEST(Dates, CivilRoundTrip) {
    for (double serial : {-657434.0, -1.0, 0.0, 2.0, 31133.0, 36585.0, 2958465.0}) {
        const CivilDate d = CivilFromSerial(serial);
        EXPECT_EQ(DateSerial(d.year, d.month, d.day), serial);
    }
    const CivilDate d = CivilFromSerial(31133.75);
    EXPECT_EQ(d.year * 10000 + d.month * 100 + d.day, 19850327);
}

} // namespace
} // namespace velloquin
