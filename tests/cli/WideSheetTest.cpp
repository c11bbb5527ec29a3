// The sheets of a Standard Mode run: the .xlsx and .csv add a column after
// the 36 for every fact the workbook has no column for, and the .xls keeps
// its 36 and counts what it cannot show. Read back by LibreOffice and SheetJS.
#include "excel/ContactSheet.h"
#include "excel/Sheet.h"
#include "excel/XlsxSheet.h"
#include "support/ContactFields.h"
#include "support/Readers.h"

#include <gtest/gtest.h>

#include <functional>

using namespace velloquin;
namespace fs = std::filesystem;

namespace {

// The columns the wide sheets add, in their order.
const std::vector<std::string> kAdded = {"Full Name",
                                         "Email 2",
                                         "Email 3",
                                         "Profession",
                                         "Car Phone",
                                         "IM Address",
                                         "Spouse",
                                         "Children",
                                         "Categories",
                                         "Nickname",
                                         "Personal Phone Number 2",
                                         "Business Phone Number 2",
                                         "Other Phone Number",
                                         "Other FAX",
                                         "Company Main Phone",
                                         "ISDN",
                                         "Radio Phone",
                                         "Callback Phone",
                                         "Telex",
                                         "TTY/TDD Phone",
                                         "Assistant Phone",
                                         "Primary Phone",
                                         "Other Street Address",
                                         "Other City",
                                         "Other Zip/Postal Code",
                                         "Other State",
                                         "Other Country",
                                         "Personal Website"};

// Every fact named after its field; the dates on 27 March 1985 and 1 June 1990.
ExcelContactArgs EveryFact() {
    ExcelContactArgs a;
    for (const auto& [name, member] : testsupport::ContactTextFields())
        a.*member = std::string(name);
    a.eContact_BirthDay = 31133;
    a.eContact_Anniversary = 33025;
    a.xlsCnt = 1;
    return a;
}

// What a row holds, by title, dates left out (their text is the system's).
std::map<std::string, std::string> ByTitle(const testsupport::CsvTable& table) {
    std::map<std::string, std::string> row;
    for (size_t c = 0; c < table.at(0).size(); ++c)
        if (table[0][c] != "Birthday" && table[0][c] != "Anniversary")
            row[table[0][c]] = c < table.at(1).size() ? table[1][c] : "";
    return row;
}

TEST(WideSheets, AStandardReadingKeepsEveryFactTheOthersKeepTheirColumns) {
    testsupport::TempDir dir("wide");
    std::vector<fs::path> xlsx, csv;
    for (const bool standard : {false, true}) {
        const std::pair<const char*, std::function<std::unique_ptr<excel::Sheet>()>> formats[] = {
            {"xlsx", excel::MakeXlsxSheet}, {"csv", excel::MakeCsvSheet}};
        for (const auto& [format, make] : formats) {
            excel::ContactSheet sheet;
            sheet.UseUnicodeSheet(make());
            sheet.KeepEveryField(standard);
            const fs::path folder = dir.Path() / (format + std::string(standard ? "-std" : ""));
            fs::create_directories(folder);
            std::string error;
            ASSERT_TRUE(sheet.CreateExcelSheet((folder / "x.xls").string(), error)) << error;
            RunNotes notes;
            sheet.Save2ExcelContact(EveryFact(), notes);
            sheet.CloseExcelSheet(notes);
            EXPECT_TRUE(notes.Empty());
            // distinct names, for the readers
            const fs::path named =
                dir.Path() / (std::string(standard ? "std" : "normal") + "." + format);
            fs::rename(sheet.Path(), named);
            (format == std::string("xlsx") ? xlsx : csv).push_back(named);
        }
    }

    // What every reader must see: the 36 titles, the added ones when
    // standard, and each fact under its title.
    std::vector<std::string> titles(excel::SheetTitles().begin(), excel::SheetTitles().end());
    std::map<std::string, std::string> narrow = {{"First Name", "FirstName"},
                                                 {"Middle Name", "MiddleName"},
                                                 {"Last Name", "LastName"},
                                                 {"Email", "Email"},
                                                 {"Suffix", "Suffix"},
                                                 {"Title", "Title"},
                                                 {"Company", "Company"},
                                                 {"Job Title", "JobTitle"},
                                                 {"Location", "Location"},
                                                 {"Website", "WebPage"},
                                                 {"Department", "Department"},
                                                 {"Manager", "Manager"},
                                                 {"Assistant", "Assistant"},
                                                 {"Business Street Address", "BusinessAddress"},
                                                 {"Business City", "BusinessCity"},
                                                 {"Business Zip/Postal Code", "BusinessZip"},
                                                 {"Business State", "BusinessState"},
                                                 {"Business Country", "BusinessCountry"},
                                                 {"Business Phone Number", "OfficePhone"},
                                                 {"Business FAX", "OfficeFax"},
                                                 {"Business CellPhone", "CellPhone"},
                                                 {"Business Pager", "Pager"},
                                                 {"Business Other Email 1", "OtherEmail1"},
                                                 {"Business Other Email 2", "OtherEmail2"},
                                                 {"Business Other Email 3", "OtherEmail3"},
                                                 {"Personal Street Address", "PersonalAddress"},
                                                 {"Personal City", "PersonalCity"},
                                                 {"Personal Zip/Postal Code", "PersonalZip"},
                                                 {"Personal State", "PersonalState"},
                                                 {"Personal Country", "PersonalCountry"},
                                                 {"Personal Phone Number", "HomePhone"},
                                                 {"Personal FAX", "HomeFax"},
                                                 {"Personal CellPhone", "Pager"},
                                                 {"Comments", "Comments"}};
    std::map<std::string, std::string> wide = narrow;
    const std::vector<std::string> added = {
        "FullName",       "Email2",       "Email3",         "Profession", "CarPhone",
        "IMAddress",      "Spouse",       "Childern",       "Categories", "NickName",
        "HomePhone2",     "OfficePhone2", "OtherPhone",     "OtherFax",   "CompanyMainPhone",
        "ISDN",           "RadioPhone",   "CallbackPhone",  "Telex",      "TTYPhone",
        "AssistantPhone", "PrimaryPhone", "OtherAddress",   "OtherCity",  "OtherZip",
        "OtherState",     "OtherCountry", "PersonalWebPage"};
    ASSERT_EQ(added.size(), kAdded.size());
    for (size_t i = 0; i < kAdded.size(); ++i)
        wide[kAdded[i]] = added[i];
    std::vector<std::string> wideTitles = titles;
    wideTitles.insert(wideTitles.end(), kAdded.begin(), kAdded.end());

    auto check = [&](const std::vector<testsupport::CsvTable>& tables, const char* reader) {
        ASSERT_EQ(tables.size(), 2u) << reader;
        for (size_t i = 0; i < 2; ++i) {
            const bool standard = i == 1;
            ASSERT_GE(tables[i].size(), 2u) << reader;
            EXPECT_EQ(tables[i][0], standard ? wideTitles : titles) << reader;
            EXPECT_EQ(ByTitle(tables[i]), standard ? wide : narrow) << reader;
            // both dates are there, as dates or as their text
            EXPECT_FALSE(tables[i][1].at(33).empty() || tables[i][1].at(34).empty()) << reader;
        }
    };
    if (testsupport::SofficeInstalled()) {
        check(testsupport::ReadWorkbooks(xlsx), "LibreOffice .xlsx");
        check(testsupport::ReadCsvFiles(csv), "LibreOffice .csv");
    }
    if (testsupport::SheetJsInstalled()) {
        check(testsupport::ReadWorkbooksWithSheetJs(xlsx), "SheetJS .xlsx");
        check(testsupport::ReadWorkbooksWithSheetJs(csv), "SheetJS .csv");
    }
    if (!testsupport::SofficeInstalled() && !testsupport::SheetJsInstalled())
        GTEST_SKIP() << "neither LibreOffice nor SheetJS is installed";
}

// The workbook keeps its 36 columns and, in a Standard Mode run only, says
// in one note how many values it has no column for.
TEST(WideSheets, TheWorkbookCountsWhatItCannotShow) {
    testsupport::TempDir dir("counted");
    for (const bool standard : {false, true}) {
        excel::ContactSheet sheet;
        sheet.KeepEveryField(standard);
        std::string error;
        ASSERT_TRUE(sheet.CreateExcelSheet((dir.Path() / "x.xls").string(), error)) << error;
        RunNotes notes;
        ExcelContactArgs a = EveryFact();
        sheet.Save2ExcelContact(a, notes);
        ExcelContactArgs b; // a full name shown in place of a blank first name is not counted
        b.eContact_FirstName = "  ";
        b.eContact_FullName = "Ann Roe";
        b.eContact_NickName = "Annie";
        b.xlsCnt = 2;
        sheet.Save2ExcelContact(b, notes);
        ExcelContactArgs c; // nothing without a column
        c.eContact_LastName = "Poe";
        c.xlsCnt = 3;
        sheet.Save2ExcelContact(c, notes);
        sheet.CloseExcelSheet(notes);
        if (!standard) {
            EXPECT_TRUE(notes.Empty());
            continue;
        }
        ASSERT_EQ(notes.Kept().size(), 1u);
        EXPECT_EQ(notes.Kept()[0].message.rfind(
                      "35 values of 2 contacts have no column in the .xls workbook", 0),
                  0u)
            << notes.Kept()[0].message;
        EXPECT_FALSE(notes.Kept()[0].lostContact || notes.Kept()[0].valueWithoutSlot);
        EXPECT_EQ(notes.LostContacts(), 0);
    }
}

} // namespace
