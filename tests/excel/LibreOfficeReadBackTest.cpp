// Workbooks written by the sheet and the writer, read back by LibreOffice.
// One test, so that LibreOffice starts once for all three workbooks.
#include "TestWorkbooks.h"
#include "support/Readers.h"

#include <gtest/gtest.h>

namespace velloquin::excel {
namespace {

using namespace testing;

TEST(LibreOfficeReadBack, WorkbooksReadBackAsWritten) {
    if (!testsupport::SofficeInstalled()) GTEST_SKIP() << "soffice is not installed";
    testsupport::TempDir dir("excel-lo");
    const auto sample = dir.Path() / "sample.xls", big = dir.Path() / "big.xls",
               every = dir.Path() / "every.xls";
    ContactSheet sheet;
    RunNotes notes;
    std::string error;
    ASSERT_TRUE(sheet.CreateExcelSheet(sample.string(), error)) << error;
    WriteSampleContact(sheet, notes);
    sheet.CloseExcelSheet(notes);
    // 40,000 contacts: past the 32,767 of a 16-bit counter.
    ASSERT_TRUE(sheet.CreateExcelSheet(big.string(), error)) << error;
    ExcelContactArgs c;
    for (c.xlsCnt = 1; c.xlsCnt <= 40000; ++c.xlsCnt) {
        c.xlsContact_FirstName = "First" + std::to_string(c.xlsCnt);
        c.xlsContact_Comments = "Note " + std::to_string(c.xlsCnt);
        sheet.Save2ExcelContact(c, notes);
    }
    sheet.CloseExcelSheet(notes);
    ASSERT_EQ(notes.LostContacts(), 0);
    ExcelFile file;
    ASSERT_EQ(file.CreateFile(every.string()), 0);
    ASSERT_EQ(WriteEveryRecord(file), 0);
    ASSERT_EQ(file.CloseFile(), 0);

    const auto tables = testsupport::ReadWorkbooks({sample, big, every});
    ASSERT_EQ(tables[0].size(), 2u);
    std::string titles;
    for (const std::string& title : tables[0][0])
        titles += title + "|";
    EXPECT_EQ(titles,
              "First Name|Middle Name|Last Name|Email|Suffix|Title|Company|Job Title|Location|"
              "Website|Department|Manager|Assistant|Business Street Address|Business City|"
              "Business Zip/Postal Code|Business State|Business Country|Business Phone Number|"
              "Business FAX|Business CellPhone|Business Pager|Business Other Email 1|"
              "Business Other Email 2|Business Other Email 3|Personal Street Address|"
              "Personal City|Personal Zip/Postal Code|Personal State|Personal Country|"
              "Personal Phone Number|Personal FAX|Personal CellPhone|Birthday|Anniversary|"
              "Comments|");
    EXPECT_EQ(Filled(tables[0][1]), SampleRow());
    ASSERT_EQ(tables[1].size(), 40001u);
    int wrong = 0;
    for (int i = 1; i <= 40000; ++i)
        wrong += Filled(tables[1][size_t(i)]) !=
                 "1=First" + std::to_string(i) + "|36=Note " + std::to_string(i) + "|";
    EXPECT_EQ(wrong, 0);
    // LibreOffice takes in the FORMAT records, but does not apply a BIFF2
    // cell's format bits: the numbers come back unformatted.
    ASSERT_EQ(tables[2].size(), 3u);
    EXPECT_EQ(Filled(tables[2][0]) + Filled(tables[2][1]) + Filled(tables[2][2]),
              "1=Email|2=42|1=1.5|");
}

} // namespace
} // namespace velloquin::excel
