// Workbooks as LibreOffice and SheetJS read them: names in every script,
// each in the code page chosen for its values, a mixed one with its losses
// counted, double-byte names at the 255-byte limit; then the sample contact,
// 40,000 contacts and every record. One test, so that each reader starts once.
#include "TestWorkbooks.h"
#include "excel/CodePageChoice.h"
#include "support/Readers.h"

#include <gtest/gtest.h>

namespace velloquin::excel {
namespace {

using namespace testing;

struct Workbook {
    std::string name;
    std::vector<ExcelContactArgs> contacts;
    std::vector<std::string> rows; // what each contact's row reads back as
    uint16_t codePage;
};

ExcelContactArgs Contact(std::string first, std::string last, std::string company = {}) {
    ExcelContactArgs a;
    a.eContact_FirstName = std::move(first);
    a.eContact_LastName = std::move(last);
    a.eContact_Company = std::move(company);
    return a;
}

std::string Repeat(std::string_view text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

TEST(ReadBack, EveryScriptTheSampleManyContactsAndEveryRecord) {
    std::vector<Workbook> books = {
        {"cyrillic", {Contact("Иван", "Петров", "Рога и копыта")}, {}, 1251},
        {"greek", {Contact("Γιώργος", "Παπαδόπουλος")}, {}, 1253},
        {"polish", {Contact("Łukasz", "Wąsik", "Żółć")}, {}, 1250},
        {"turkish", {Contact("Şükrü", "Işık", "Çağ")}, {}, 1254},
        {"hebrew", {Contact("דוד", "כהן")}, {}, 1255},
        {"arabic", {Contact("محمد", "علي")}, {}, 1256},
        {"chinese", {Contact("伟", "张", "北京")}, {}, 936},
        {"japanese", {Contact("花子", "山田", "トヨタ")}, {}, 932},
        {"korean", {Contact("민준", "김", "서울")}, {}, 949},
        // A name of 128 double-byte characters is cut to 127 (254 bytes)
        // rather than split; one of exactly 255 bytes stays whole.
        {"limit",
         {Contact(Repeat("张", 128), "a" + Repeat("张", 127))},
         {"1=" + Repeat("张", 127) + "|3=a" + Repeat("张", 127) + "|"},
         936},
    };
    for (Workbook& book : books)
        if (book.rows.empty())
            for (const ExcelContactArgs& c : book.contacts)
                book.rows.push_back(
                    "1=" + c.eContact_FirstName + "|3=" + c.eContact_LastName + "|" +
                    (c.eContact_Company.empty() ? "" : "7=" + c.eContact_Company + "|"));
    // Cyrillic and accented Greek: Greek keeps more values whole, the
    // Cyrillic ones become question marks, and one note says so.
    books.push_back(
        {"mixed",
         {Contact("Иван", "Петров"), Contact("Γιώργος", "Παπαδόπουλος"), Contact("Ά", "Σ")},
         {"1=????|3=??????|", "1=Γιώργος|3=Παπαδόπουλος|", "1=Ά|3=Σ|"},
         1253});

    testsupport::TempDir dir("scripts");
    std::vector<std::filesystem::path> paths;
    for (Workbook& book : books) {
        CodePageChoice choice;
        for (ExcelContactArgs& c : book.contacts)
            choice.AddContact(c);
        ContactSheet sheet;
        sheet.SetCodePage(choice.Choose().codePage);
        EXPECT_EQ(sheet.CodePage(), book.codePage) << book.name;
        RunNotes notes;
        std::string error;
        paths.push_back(dir.Path() / (book.name + ".xls"));
        ASSERT_TRUE(sheet.CreateExcelSheet(paths.back().string(), error)) << error;
        for (size_t i = 0; i < book.contacts.size(); ++i) {
            book.contacts[i].xlsCnt = int32_t(i + 1);
            sheet.Save2ExcelContact(book.contacts[i], notes);
        }
        sheet.CloseExcelSheet(notes);
        std::string said;
        for (const RunNote& note : notes.Kept())
            said += note.message + "\n";
        // (The mixed workbook's note: in the command line's test of the same backup.)
        if (book.name == "limit") {
            EXPECT_EQ(said, "\"First Name\" is longer than a cell holds (255 bytes in "
                            "Windows-936); the workbook holds its first 127 characters.\n");
        } else if (book.name != "mixed") {
            EXPECT_EQ(said, "") << book.name;
        }
    }

    // The sample contact; 40,000 contacts, past the 32,767 of a 16-bit counter;
    // every record the writer has.
    ContactSheet sheet;
    RunNotes notes;
    std::string error;
    paths.push_back(dir.Path() / "sample.xls");
    ASSERT_TRUE(sheet.CreateExcelSheet(paths.back().string(), error)) << error;
    WriteSampleContact(sheet, notes);
    sheet.CloseExcelSheet(notes);
    paths.push_back(dir.Path() / "big.xls");
    ASSERT_TRUE(sheet.CreateExcelSheet(paths.back().string(), error)) << error;
    ExcelContactArgs c;
    for (c.xlsCnt = 1; c.xlsCnt <= 40000; ++c.xlsCnt) {
        c.eContact_FirstName = "First" + std::to_string(c.xlsCnt);
        c.eContact_Comments = "Note " + std::to_string(c.xlsCnt);
        sheet.Save2ExcelContact(c, notes);
    }
    sheet.CloseExcelSheet(notes);
    ASSERT_EQ(notes.LostContacts(), 0);
    paths.push_back(dir.Path() / "every.xls");
    ExcelFile file;
    ASSERT_EQ(file.CreateFile(paths.back().string()), 0);
    ASSERT_EQ(WriteEveryRecord(file), 0);
    ASSERT_EQ(file.CloseFile(), 0);

    const bool lo = testsupport::SofficeInstalled(), js = testsupport::SheetJsInstalled();
    if (!lo && !js) GTEST_SKIP() << "neither LibreOffice nor SheetJS is installed";
    for (const bool libreOffice : {true, false}) {
        if (libreOffice ? !lo : !js) continue;
        const char* reader = libreOffice ? "LibreOffice" : "SheetJS";
        const auto tables = libreOffice ? testsupport::ReadWorkbooks(paths)
                                        : testsupport::ReadWorkbooksWithSheetJs(paths);
        for (size_t b = 0; b < books.size(); ++b) {
            ASSERT_GE(tables[b].size(), books[b].rows.size() + 1) << books[b].name << reader;
            EXPECT_EQ(tables[b][0][0], "First Name") << reader;
            for (size_t r = 0; r < books[b].rows.size(); ++r)
                EXPECT_EQ(Filled(tables[b][r + 1]), books[b].rows[r])
                    << books[b].name << " " << reader;
        }
        const testsupport::CsvTable &sample = tables[books.size()], &big = tables[books.size() + 1],
                                    &every = tables[books.size() + 2];
        ASSERT_EQ(sample.size(), 2u) << reader;
        std::string titles;
        for (const std::string& title : sample[0])
            titles += title + "|";
        EXPECT_EQ(titles,
                  "First Name|Middle Name|Last Name|Email|Suffix|Title|Company|Job Title|Location|"
                  "Website|Department|Manager|Assistant|Business Street Address|Business City|"
                  "Business Zip/Postal Code|Business State|Business Country|Business Phone Number|"
                  "Business FAX|Business CellPhone|Business Pager|Business Other Email 1|"
                  "Business Other Email 2|Business Other Email 3|Personal Street Address|"
                  "Personal City|Personal Zip/Postal Code|Personal State|Personal Country|"
                  "Personal Phone Number|Personal FAX|Personal CellPhone|Birthday|Anniversary|"
                  "Comments|")
            << reader;
        EXPECT_EQ(Filled(sample[1]), SampleRow()) << reader;
        ASSERT_EQ(big.size(), 40001u) << reader;
        int wrong = 0;
        for (int i = 1; i <= 40000; ++i)
            wrong += Filled(big[size_t(i)]) !=
                     "1=First" + std::to_string(i) + "|36=Note " + std::to_string(i) + "|";
        EXPECT_EQ(wrong, 0) << reader;
        // LibreOffice takes in the FORMAT records, but does not apply a BIFF2
        // cell's format bits; SheetJS shows 1.5 in the cell's format 4, "#,##0.00".
        ASSERT_EQ(every.size(), 3u) << reader;
        EXPECT_EQ(Filled(every[0]) + Filled(every[1]) + Filled(every[2]),
                  libreOffice ? "1=Email|2=42|1=1.5|" : "1=Email|2=42|1=1.50|")
            << reader;
    }
}

} // namespace
} // namespace velloquin::excel
