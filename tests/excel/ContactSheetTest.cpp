#include "excel/ContactSheet.h"
#include "TestBytes.h"
#include "excel/ExcelFile.h"
#include "excel/ShortDate.h"
#include "support/LibreOffice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

namespace velloquin::excel {
namespace {

using testing::Bytes;
using testing::Hex;
using testing::Labels;
using testing::SplitRecords;

ExcelContactArgs Contact(int32_t xlsCnt) {
    ExcelContactArgs a;
    a.xlsContact_FirstName = "Ann";
    a.xlsContact_LastName = "Lee";
    a.xlsCnt = xlsCnt;
    return a;
}

// Row `row` (0-based, as stored) column by column (1-based).
std::map<int, std::string> Row(const Bytes& bytes, uint16_t row) {
    std::map<int, std::string> cells;
    for (const auto& label : Labels(bytes)) {
        if (label.row == row) cells[label.column + 1] = label.text;
    }
    return cells;
}

class SheetOnMemory : public ::testing::Test {
  protected:
    void Open(size_t capacity = SIZE_MAX) {
        std::unique_ptr<ByteSink> sink;
        if (capacity == SIZE_MAX) {
            sink = std::make_unique<MemorySink>(bytes);
        } else {
            sink = std::make_unique<BufferedSink>(std::make_unique<FailingSink>(bytes, capacity),
                                                  4096);
        }
        std::string error;
        ASSERT_TRUE(sheet.CreateExcelSheet(std::move(sink), "memory.xls", error)) << error;
    }
    Bytes bytes;
    ContactSheet sheet;
    RunNotes notes;
};

TEST_F(SheetOnMemory, EmptyRunIsTheFixedPartAlone) {
    Open();
    sheet.CloseExcelSheet(notes);
    const auto records = SplitRecords(bytes);
    std::vector<uint16_t> numbers;
    for (const auto& r : records)
        numbers.push_back(r.number);
    std::vector<uint16_t> expected = {0x09, 0x1F};
    expected.insert(expected.end(), 24, 0x1E);
    expected.insert(expected.end(), 4, 0x31);
    expected.push_back(0x14);
    expected.insert(expected.end(), 36, 0x04);
    expected.push_back(0x0A);
    EXPECT_EQ(numbers, expected);
    EXPECT_EQ(records[26].bytes, Hex("31 00 0C 00 C8 00 00 00 07", "Verdana"));
    EXPECT_EQ(records[28].bytes, Hex("31 00 0C 00 C8 00 05 00 07", "Verdana"));
    EXPECT_EQ(records[29].bytes, Hex("31 00 0C 00 18 01 03 00 07", "Courier"));
    EXPECT_EQ(records[30].bytes, Hex("14 00 0D 00 0C", "BIFF 2.1 API"));
    EXPECT_EQ(records[31].bytes, Hex("04 00 12 00 00 00 00 00 00 40 01 0A", "First Name"));
    EXPECT_EQ(Row(bytes, 0).at(36), "Comments");
    EXPECT_TRUE(notes.Empty());
}

TEST_F(SheetOnMemory, ContactRowLayout) {
    Open();
    ExcelContactArgs a = Contact(1);
    a.xlsContact_FirstName = "   ";
    a.xlsContact_FullName = "Jane Roe";
    a.xlsContact_BusinessAddress = "12 Main St\\nSuite 4\\, Floor 2";
    a.xlsContact_PersonalAddress = "3 Elm Rd\\nFlat 1";
    a.xlsContact_Pager = "555-0100";
    a.xlsContact_Location = "loc";
    a.xlsContact_Assistant = "asst";
    a.xlsContact_BirthDay = 30809;
    a.xlsContact_Email2 = "never@written.example";
    a.xlsContact_Comments = "Line one\r\nLine two";
    sheet.Save2ExcelContact(a, notes);
    sheet.Save2ExcelContact(Contact(2), notes);
    sheet.CloseExcelSheet(notes);
    EXPECT_TRUE(notes.Empty());

    // Cells of a contact go out in the order 1-8, 14-18, 9-13, 19-36.
    std::vector<int> order;
    for (const auto& label : Labels(bytes)) {
        if (label.row == 1) order.push_back(label.column + 1);
    }
    std::vector<int> expected = {1, 2, 3, 4, 5, 6, 7, 8, 14, 15, 16, 17, 18, 9, 10, 11, 12, 13};
    for (int column = 19; column <= 36; ++column)
        expected.push_back(column);
    EXPECT_EQ(order, expected);

    auto row = Row(bytes, 1);
    EXPECT_EQ(row.size(), 36u);
    EXPECT_EQ(row[1], "Jane Roe");
    EXPECT_EQ(row[3], "Lee");
    EXPECT_EQ(row[9], "loc");
    EXPECT_EQ(row[13], "asst");
    EXPECT_EQ(row[14], "12 Main St, Suite 4, Floor 2");
    EXPECT_EQ(row[26], "3 Elm Rd, Flat 1");
    EXPECT_EQ(row[22], "555-0100");
    EXPECT_EQ(row[33], "555-0100");
    EXPECT_EQ(row[34], ShortDateText(30809));
    EXPECT_EQ(row[35], "");
    EXPECT_EQ(row[36], "Line one\r\nLine two");
    for (const auto& [column, text] : row) {
        EXPECT_EQ(text.find("never@"), std::string::npos) << column;
    }
    EXPECT_EQ(Row(bytes, 2)[1], "Ann");
}

TEST_F(SheetOnMemory, LongValuesAreCutAndReported) {
    Open();
    ExcelContactArgs a = Contact(1);
    a.xlsContact_Comments = std::string(300, 'c');
    for (int i = 0; i < 300; ++i)
        a.xlsContact_Company += "\xC3\xA9"; // é
    sheet.Save2ExcelContact(a, notes);
    auto row = Row(bytes, 1);
    EXPECT_EQ(row[36], std::string(255, 'c'));
    EXPECT_EQ(row[7], std::string(255, '\xE9'));
    ASSERT_EQ(notes.Total(), 2u);
    EXPECT_EQ(notes.LostContacts(), 0);
    EXPECT_EQ(notes.Kept()[0].contact, 1);
    EXPECT_NE(notes.Kept()[1].message.find("Comments"), std::string::npos);
}

TEST_F(SheetOnMemory, RowsPastTheSheetAreLostAndReported) {
    Open();
    sheet.Save2ExcelContact(Contact(65535), notes); // row 65536, the last
    sheet.Save2ExcelContact(Contact(65536), notes);
    EXPECT_EQ(Row(bytes, 65535).size(), 36u);
    EXPECT_EQ(Labels(bytes).size(), 72u);
    ASSERT_EQ(notes.Total(), 1u);
    EXPECT_TRUE(notes.Kept()[0].lostContact);
    EXPECT_EQ(notes.Kept()[0].contact, 65536);
}

// Whether the device fills during the rows or at the close, every contact
// whose row did not reach it completely is reported lost, and only those.
TEST(ContactSheet, AFullDeviceLosesExactlyTheRowsNotWritten) {
    auto write = [](Bytes& bytes, RunNotes& notes, size_t capacity) {
        ContactSheet sheet;
        std::string error;
        ASSERT_TRUE(sheet.CreateExcelSheet(
            std::make_unique<BufferedSink>(std::make_unique<FailingSink>(bytes, capacity), 4096),
            "full.xls", error));
        for (int32_t contact = 1; contact <= 50; ++contact) {
            sheet.Save2ExcelContact(Contact(contact), notes);
        }
        sheet.CloseExcelSheet(notes);
    };
    Bytes whole;
    RunNotes none;
    write(whole, none, SIZE_MAX);
    ASSERT_TRUE(none.Empty());
    // Full in the rows, twice, and full at the very last record.
    for (size_t capacity : {size_t{6000}, size_t{20000}, whole.size() - 2}) {
        Bytes bytes;
        RunNotes notes;
        write(bytes, notes, capacity);
        std::map<uint16_t, int> cellsPerRow;
        for (const auto& label : Labels(bytes))
            ++cellsPerRow[label.row];
        int complete = 0;
        while (complete < 50 && cellsPerRow[static_cast<uint16_t>(complete + 1)] == 36)
            ++complete;
        std::vector<int64_t> lost;
        size_t failures = 0;
        for (const RunNote& note : notes.Kept()) {
            if (note.lostContact) lost.push_back(note.contact);
            if (note.message.rfind("Writing the workbook failed", 0) == 0) ++failures;
        }
        EXPECT_EQ(failures, 1u) << capacity;
        ASSERT_EQ(lost.size(), static_cast<size_t>(50 - complete)) << capacity;
        for (size_t i = 0; i < lost.size(); ++i)
            EXPECT_EQ(lost[i], complete + 1 + int64_t(i));
    }
}

TEST(ContactSheet, CreationFailuresNameTheFileAndTheReason) {
    testsupport::TempDir dir("excel-sheet");
    const auto taken = (dir.Path() / kExcelSheetName).string();
    std::filesystem::create_directory(taken);
    ContactSheet sheet;
    RunNotes notes;
    std::string error;
    EXPECT_FALSE(sheet.CreateExcelSheet(taken, error));
    EXPECT_NE(error.find(taken), std::string::npos);
    EXPECT_NE(error.find(std::make_error_code(std::errc::is_a_directory).message()),
              std::string::npos)
        << error;
    // Nothing can be written now: the contact is reported, not counted into nothing.
    sheet.Save2ExcelContact(Contact(1), notes);
    EXPECT_EQ(notes.LostContacts(), 1);
    sheet.CloseExcelSheet(notes);

    Bytes bytes;
    EXPECT_FALSE(
        sheet.CreateExcelSheet(std::make_unique<FailingSink>(bytes, 10), "tiny.xls", error));
    EXPECT_NE(error.find("\"tiny.xls\""), std::string::npos);

    // The same sheet object serves the next run.
    const auto good = (dir.Path() / "good.xls").string();
    ASSERT_TRUE(sheet.CreateExcelSheet(good, error));
    sheet.CloseExcelSheet(notes);
    EXPECT_GT(std::filesystem::file_size(good), 1000u);
}

} // namespace
} // namespace velloquin::excel
