// Workbooks written by the sheet and the writer, read back by LibreOffice.
// One test, so that LibreOffice starts once for all three workbooks.
#include "excel/ContactSheet.h"
#include "excel/ExcelFile.h"
#include "excel/ShortDate.h"
#include "support/LibreOffice.h"

#include <gtest/gtest.h>

namespace velloquin::excel {
namespace {

using testsupport::CsvTable;

constexpr int kBigRun = 40000;

void WriteSheet(const std::string& path) {
    ContactSheet sheet;
    RunNotes notes;
    std::string error;
    ASSERT_TRUE(sheet.CreateExcelSheet(path, error)) << error;
    ExcelContactArgs a;
    a.xlsContact_FirstName = "Jos\xC3\xA9";
    a.xlsContact_LastName = "M\xC3\xBCller";
    a.xlsContact_Email = "jose@example.com";
    a.xlsContact_Company = "Caf\xC3\xA9 \xE2\x82\xAC";
    a.xlsContact_BusinessAddress = "12 Main St\\nSuite 4\\, Floor 2";
    a.xlsContact_BusinessCity = "Z\xC3\xBCrich";
    a.xlsContact_PersonalAddress = "Rue de l'\xC3\x89glise 3";
    a.xlsContact_Pager = "555-0100";
    a.xlsContact_BirthDay = 30809;
    a.xlsContact_Comments = "Says \"hi\", often";
    a.xlsCnt = 1;
    sheet.Save2ExcelContact(a, notes);
    ExcelContactArgs b;
    b.xlsContact_FullName = "Jane Roe";
    b.xlsContact_Comments = std::string(300, 'x');
    b.xlsCnt = 2;
    sheet.Save2ExcelContact(b, notes);
    sheet.CloseExcelSheet(notes);
    ASSERT_EQ(notes.LostContacts(), 0);
}

void WriteBigSheet(const std::string& path) {
    ContactSheet sheet;
    RunNotes notes;
    std::string error;
    ASSERT_TRUE(sheet.CreateExcelSheet(path, error)) << error;
    for (int32_t i = 1; i <= kBigRun; ++i) {
        ExcelContactArgs a;
        a.xlsContact_FirstName = "First" + std::to_string(i);
        a.xlsContact_Comments = "Note " + std::to_string(i);
        a.xlsCnt = i;
        sheet.Save2ExcelContact(a, notes);
    }
    sheet.CloseExcelSheet(notes);
    ASSERT_TRUE(notes.Empty());
}

// The operations that the sheet never uses, in an order Excel accepts.
void WriteWithEveryRecord(const std::string& path) {
    ExcelFile file;
    ASSERT_EQ(file.CreateFile(path), 0);
    file.ProtectSpreadsheet(false);
    file.PrintGridLines(true);
    ASSERT_EQ(file.SetFont("Arial", 10, 0), 0);
    ASSERT_EQ(file.SetFont("Arial", 12, 2), 0);
    ASSERT_EQ(file.SetHeader("Head"), 0);
    ASSERT_EQ(file.SetFooter("Foot"), 0);
    for (int32_t margin = 0x26; margin <= 0x29; ++margin) {
        ASSERT_EQ(file.SetMargin(margin, 0.5), 0);
    }
    ASSERT_EQ(file.SetColumnWidth(1, 4, 20), 0);
    ASSERT_EQ(file.SetDefaultRowHeight(12), 0);
    ASSERT_EQ(file.SetRowHeight(1, 20), 0);
    ASSERT_EQ(file.WriteValue(0, 0, 3, 0, 1, 1, 42), 0);
    ASSERT_EQ(file.WriteValue(1, 0, 0, 0, 1, 2, 1234.5, 4), 0);
    ASSERT_EQ(file.WriteValue(1, 64, 0, 0, 1, 3, 30809, 12), 0);
    ASSERT_EQ(file.WriteValue(2, 0, 2, 64, 1, 4, "text"), 0);
    ASSERT_EQ(file.WriteValue(1, 0, 0, 0, 3, 1, 0.25, 10), 0);
    ASSERT_EQ(file.InsertHorizPageBreak(3), 0);
    ASSERT_EQ(file.InsertHorizPageBreak(2), 0);
    ASSERT_EQ(file.CloseFile(), 0);
}

void CheckSheet(const CsvTable& table) {
    ASSERT_EQ(table.size(), 3u);
    const std::vector<std::string> titles = {"First Name",
                                             "Middle Name",
                                             "Last Name",
                                             "Email",
                                             "Suffix",
                                             "Title",
                                             "Company",
                                             "Job Title",
                                             "Location",
                                             "Website",
                                             "Department",
                                             "Manager",
                                             "Assistant",
                                             "Business Street Address",
                                             "Business City",
                                             "Business Zip/Postal Code",
                                             "Business State",
                                             "Business Country",
                                             "Business Phone Number",
                                             "Business FAX",
                                             "Business CellPhone",
                                             "Business Pager",
                                             "Business Other Email 1",
                                             "Business Other Email 2",
                                             "Business Other Email 3",
                                             "Personal Street Address",
                                             "Personal City",
                                             "Personal Zip/Postal Code",
                                             "Personal State",
                                             "Personal Country",
                                             "Personal Phone Number",
                                             "Personal FAX",
                                             "Personal CellPhone",
                                             "Birthday",
                                             "Anniversary",
                                             "Comments"};
    EXPECT_EQ(table[0], titles);

    std::vector<std::string> first(36);
    first[0] = "Jos\xC3\xA9";
    first[2] = "M\xC3\xBCller";
    first[3] = "jose@example.com";
    first[6] = "Caf\xC3\xA9 \xE2\x82\xAC";
    first[13] = "12 Main St, Suite 4, Floor 2";
    first[14] = "Z\xC3\xBCrich";
    first[25] = "Rue de l'\xC3\x89glise 3";
    first[21] = first[32] = "555-0100";
    first[33] = ShortDateText(30809);
    first[35] = "Says \"hi\", often";
    EXPECT_EQ(table[1], first);

    std::vector<std::string> second(36);
    second[0] = "Jane Roe";
    second[35] = std::string(255, 'x');
    EXPECT_EQ(table[2], second);
}

void CheckBigSheet(const CsvTable& table) {
    ASSERT_EQ(table.size(), static_cast<size_t>(kBigRun) + 1);
    int wrong = 0;
    for (int i = 1; i <= kBigRun; ++i) {
        const auto& row = table[static_cast<size_t>(i)];
        if (row.size() != 36 || row[0] != "First" + std::to_string(i) ||
            row[35] != "Note " + std::to_string(i)) {
            ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);
}

void CheckEveryRecord(const CsvTable& table) {
    // LibreOffice takes in the FORMAT records but does not apply a BIFF2
    // cell's format bits, so the numbers come back unformatted.
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0], (std::vector<std::string>{"42", "1234.5", "30809", "text"}));
    EXPECT_EQ(table[1], (std::vector<std::string>{"", "", "", ""}));
    EXPECT_EQ(table[2], (std::vector<std::string>{"0.25", "", "", ""}));
}

TEST(LibreOfficeReadBack, WorkbooksReadBackAsWritten) {
    if (!testsupport::SofficeInstalled()) GTEST_SKIP() << "soffice is not installed";
    testsupport::TempDir dir("excel-lo");
    const auto sheet = dir.Path() / "sheet.xls";
    const auto big = dir.Path() / "big.xls";
    const auto writer = dir.Path() / "writer.xls";
    ASSERT_NO_FATAL_FAILURE(WriteSheet(sheet.string()));
    ASSERT_NO_FATAL_FAILURE(WriteBigSheet(big.string()));
    ASSERT_NO_FATAL_FAILURE(WriteWithEveryRecord(writer.string()));
    const auto tables = testsupport::ReadWorkbooks({sheet, big, writer});
    {
        SCOPED_TRACE("contact sheet");
        CheckSheet(tables[0]);
    }
    {
        SCOPED_TRACE("40,000 contacts");
        CheckBigSheet(tables[1]);
    }
    {
        SCOPED_TRACE("every record of the writer");
        CheckEveryRecord(tables[2]);
    }
}

} // namespace
} // namespace velloquin::excel
