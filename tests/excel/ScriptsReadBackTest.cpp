// Names in every script survive the workbook, as LibreOffice and SheetJS
// read it: each workbook in the code page chosen for its values, a mixed one
// with its losses counted, and double-byte names at the 255-byte limit.
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
    a.xlsContact_FirstName = std::move(first);
    a.xlsContact_LastName = std::move(last);
    a.xlsContact_Company = std::move(company);
    return a;
}

std::string Repeat(std::string_view text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

TEST(ScriptsReadBack, EveryScriptInItsCodePageAndTheMixedOneReported) {
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
                    "1=" + c.xlsContact_FirstName + "|3=" + c.xlsContact_LastName + "|" +
                    (c.xlsContact_Company.empty() ? "" : "7=" + c.xlsContact_Company + "|"));
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
        if (book.name == "mixed") {
            EXPECT_EQ(said, "2 values of 1 contact lost characters: no one code page holds all "
                            "the scripts of the backup, so the workbook is written in "
                            "Windows-1253, which keeps the most values whole, and shows the "
                            "other characters as \"?\". The Outlook output keeps every script.\n");
        } else if (book.name == "limit") {
            EXPECT_EQ(said, "\"First Name\" is longer than a cell holds (255 bytes in "
                            "Windows-936); the workbook holds its first 127 characters.\n");
        } else {
            EXPECT_EQ(said, "") << book.name;
        }
    }

    const bool lo = testsupport::SofficeInstalled(), js = testsupport::SheetJsInstalled();
    if (!lo && !js) GTEST_SKIP() << "neither LibreOffice nor SheetJS is installed";
    for (const bool libreOffice : {true, false}) {
        if (libreOffice ? !lo : !js) continue;
        const auto tables = libreOffice ? testsupport::ReadWorkbooks(paths)
                                        : testsupport::ReadWorkbooksWithSheetJs(paths);
        for (size_t b = 0; b < books.size(); ++b) {
            const char* reader = libreOffice ? "LibreOffice" : "SheetJS";
            ASSERT_GE(tables[b].size(), books[b].rows.size() + 1) << books[b].name << reader;
            EXPECT_EQ(tables[b][0][0], "First Name") << reader;
            for (size_t r = 0; r < books[b].rows.size(); ++r)
                EXPECT_EQ(Filled(tables[b][r + 1]), books[b].rows[r])
                    << books[b].name << " " << reader;
        }
    }
}

} // namespace
} // namespace velloquin::excel
