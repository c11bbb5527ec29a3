// The .csv sheet: its bytes, and a device that runs full.
#include "TestWorkbooks.h"
#include "excel/UnicodeSheet.h"
#include "support/Readers.h"

#include <gtest/gtest.h>

namespace velloquin::excel {
namespace {

struct CsvSheet : ::testing::Test {
    testsupport::TempDir dir{"csv"};
    ContactSheet sheet;
    RunNotes notes;
    void Create() {
        sheet.UseUnicodeSheet(MakeCsvSheet());
        std::string error;
        ASSERT_TRUE(sheet.CreateExcelSheet((dir.Path() / kExcelSheetName).string(), error))
            << error;
    }
};

TEST_F(CsvSheet, Rfc4180FieldsAfterAByteOrderMark) {
    Create();
    EXPECT_FALSE(sheet.UsesCodePage());
    EXPECT_EQ(sheet.Path(), (dir.Path() / "vCardContactsExported.csv").string());
    ExcelContactArgs a;
    a.xlsContact_FirstName = "Иван";
    a.xlsContact_Company = "Acme, \"Ltd\"";
    a.xlsContact_Comments = "two\r\nlines";
    a.xlsContact_BusinessAddress = "1 Main St\\nSuite 2";
    a.xlsCnt = 1;
    sheet.Save2ExcelContact(a, notes);
    sheet.CloseExcelSheet(notes);
    EXPECT_TRUE(notes.Empty()) << notes.Format();
    const std::string text = testsupport::ReadFile(sheet.Path());
    ASSERT_EQ(text.substr(0, 14), "\xEF\xBB\xBF"
                                  "First Name,");
    const std::string row = text.substr(text.find("\r\n") + 2);
    EXPECT_EQ(row,
              "Иван,,,,,,\"Acme, \"\"Ltd\"\"\",,,,,,,\"1 Main St, Suite 2\",,,,,,,,,,,,,,,,,,,,,,"
              "\"two\r\nlines\"\r\n");
}

TEST_F(CsvSheet, AFullDeviceIsReportedWithTheContactsLost) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    std::filesystem::create_symlink("/dev/full", dir.Path() / "vCardContactsExported.csv");
    Create();
    ExcelContactArgs a;
    for (a.xlsCnt = 1; a.xlsCnt <= 3; ++a.xlsCnt)
        sheet.Save2ExcelContact(a, notes);
    sheet.CloseExcelSheet(notes);
    EXPECT_EQ(notes.LostContacts(), 3);
    EXPECT_NE(notes.Format().find("Writing the file failed: " +
                                  std::make_error_code(std::errc::no_space_on_device).message()),
              std::string::npos)
        << notes.Format();
}

} // namespace
} // namespace velloquin::excel
