// The BIFF 2.1 writer and the contact sheet, checked byte by byte in memory,
// and the .csv sheet.
#include "TestWorkbooks.h"
#include "excel/Sheet.h"
#include "support/Readers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

namespace velloquin::excel {
namespace {

using namespace testing;

class Writer : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(file.CreateFile(std::make_unique<MemorySink>(bytes)), 0); }
    Bytes bytes;
    ExcelFile file;
};

TEST_F(Writer, EveryRecordExactlyAndInItsPlace) {
    ASSERT_EQ(WriteEveryRecord(file), 0);
    ASSERT_EQ(file.SetFilePassword("pw"), 0);
    ASSERT_EQ(file.CloseFile(), 0);
    const auto records = Records(bytes);
    ASSERT_EQ(records.size(), 27u + 15 + 2);
    // BOF, then the code page the texts are in (Windows-1252 unless set).
    EXPECT_EQ(records[0], Hex("09 00 04 00 02 00 0A 00"));
    EXPECT_EQ(records[1], Hex("42 00 02 00 E4 04"));
    EXPECT_EQ(records[2], Hex("1F 00 02 00 17 00"));
    // The built-in formats keep their escapes.
    EXPECT_EQ(records[8], Hex("1E 00 18 00 17", R"(#,##0\ "$";\-#,##0\ "$")"));
    EXPECT_EQ(records[26], Hex("1E 00 02 00 01 40"));
    // Each operation's record as called (cells: the hidden/locked bits, font
    // and format bits, alignment), then the page breaks, sorted, and EOF.
    EXPECT_EQ(
        std::vector(records.begin() + 27, records.end()),
        (std::vector{Hex("12 00 02 00 00 00"), Hex("2B 00 02 00 01 00"),
                     Hex("31 00 0C 00 C8 00 00 00 07", "Verdana"),
                     Hex("31 00 0C 00 C8 00 01 00 07", "Verdana"), Hex("14 00 05 00 04", "Head"),
                     Hex("15 00 01 00 00"), Hex("26 00 08 00 00 00 00 00 00 00 E8 3F"),
                     Hex("24 00 04 00 00 02 00 0A"), Hex("25 00 02 00 2C 01"),
                     Hex("08 00 10 00 01 00 00 00 00 01 2C 01 00 00 00 00 00 00 00 00"),
                     Hex("04 00 0D 00 00 00 00 00 00 40 01 05", "Email"),
                     Hex("02 00 09 00 00 00 01 00 00 40 01 2A 00"),
                     Hex("04 00 08 00 01 00 03 00 40 17 03 00"),
                     Hex("03 00 0F 00 02 00 00 00 00 44 01 00 00 00 00 00 00 F8 3F"),
                     Hex("2F 00 02 00", "pw"), Hex("1B 00 08 00 03 00 01 00 02 00 09 00"),
                     Hex("0A 00 00 00")}));
    // Closed: nothing more is written. The same object serves a new file,
    // its page-break list empty again.
    const size_t closed = bytes.size();
    EXPECT_EQ(file.CloseFile(), 52);
    EXPECT_EQ(file.SetRowHeight(1, 1), 52);
    EXPECT_EQ(bytes.size(), closed);
    Bytes second;
    ASSERT_EQ(file.CreateFile(std::make_unique<MemorySink>(second)), 0);
    ASSERT_EQ(file.CloseFile(), 0);
    EXPECT_EQ(Records(second).size(), 28u);
}

TEST_F(Writer, ValuesAreConvertedForTheirCellType) {
    const std::tuple<int32_t, CellValue, Bytes> cases[] = {
        {0, 2.5, Hex("02 00")}, // halves go to the even neighbour
        {0, 3.5, Hex("04 00")},
        {0, -2.5, Hex("FE FF")},
        {0, " 12 ", Hex("0C 00")},
        {0, AutomationDate{3.4}, Hex("03 00")},
        {1, "1.5", Hex("00 00 00 00 00 00 F8 3F")},
        {2, 1.5, Hex("03", "1.5")},
        {2, -0.0, Hex("01", "0")},
        {2, "\xC3\xA9\xE2\x82\xAC", Hex("02 E9 80")}, // é and the euro sign, a byte each
        {2, AutomationDate{0.5}, Hex("08", "12:00:00")},
        {2, AutomationDate{36526.75}, Hex("", ShortDateText(36526) + " 18:00:00")}};
    for (const auto& [type, value, tail] : cases) {
        ASSERT_EQ(file.WriteValue(type, 0, 0, 0, 1, 1, value), 0) << type;
        EXPECT_EQ(Bytes(bytes.end() - long(tail.size()), bytes.end()), tail) << type;
    }
}

// The code page is named right after BOF, and texts are in it: a byte per
// character in the single-byte code pages, two in the double-byte ones; a
// character the code page lacks is a counted '?'.
TEST(WriterCodePage, RecordAfterBofAndTextsInThatCodePage) {
    const std::tuple<uint16_t, const char*, const char*, const char*, size_t> cases[] = {
        {1251, "Иван", "E3 04", "0C 00 00 00 00 00 00 00 00 04 C8 E2 E0 ED", 0},
        {936, "张伟", "A8 03", "0C 00 00 00 00 00 00 00 00 04 D5 C5 CE B0", 0},
        {1256, "محمد", "E8 04", "0C 00 00 00 00 00 00 00 00 04 E3 CD E3 CF", 0},
        {1253, "Ωж", "E5 04", "0A 00 00 00 00 00 00 00 00 02 D9 3F", 1},
    };
    for (const auto& [codePage, text, record, label, replaced] : cases) {
        Bytes bytes;
        ExcelFile file;
        ASSERT_EQ(file.SetCodePage(codePage), 0);
        ASSERT_EQ(file.CreateFile(std::make_unique<MemorySink>(bytes)), 0);
        ASSERT_EQ(file.WriteValue(2, 0, 0, 0, 1, 1, text), 0);
        EXPECT_EQ(file.LastTextReplaced(), replaced) << codePage;
        ASSERT_EQ(file.CloseFile(), 0);
        const auto records = Records(bytes);
        EXPECT_EQ(records.at(0), Hex("09 00 04 00 02 00 0A 00"));
        EXPECT_EQ(records.at(1), Hex("42 00 02 00 " + std::string(record))) << codePage;
        EXPECT_EQ(records.at(records.size() - 2), Hex("04 00 " + std::string(label))) << codePage;
    }
    // A code page the platform cannot write is refused.
    EXPECT_EQ(ExcelFile().SetCodePage(1), 6);
}

TEST_F(Writer, RefusedValuesLeaveNothingWritten) {
    const size_t before = bytes.size();
    const std::string tooLong(256, 'x');
    // Overflow: a text of 256, an integer past 32767, font and format bits
    // that meet, alignment, locked, rows 0 and 65537, font height, style and
    // name, header, footer, column 0, width, row heights, a page break at 0.
    for (const int32_t code :
         {file.WriteValue(2, 0, 0, 0, 1, 1, tooLong), file.WriteValue(0, 0, 0, 0, 1, 1, 32767.5),
          file.WriteValue(2, 192, 0, 0, 1, 1, "a", 64), file.WriteValue(2, 0, 256, 0, 1, 1, "a"),
          file.WriteValue(2, 0, 0, -1, 1, 1, "a"), file.WriteValue(2, 0, 0, 0, 0, 1, "a"),
          file.WriteValue(2, 0, 0, 0, 65537, 1, "a"), file.SetFont("Arial", 1639, 0),
          file.SetFont("Arial", 10, 256), file.SetFont(tooLong, 10, 0), file.SetHeader(tooLong),
          file.SetFooter(tooLong), file.SetColumnWidth(0, 1, 10), file.SetColumnWidth(1, 1, 128),
          file.SetDefaultRowHeight(-1639), file.SetRowHeight(1, 1639),
          file.InsertHorizPageBreak(0)})
        EXPECT_EQ(code, 6);
    // Type mismatch: texts that are no numbers.
    for (const int32_t code :
         {file.WriteValue(0, 0, 0, 0, 1, 1, "12a"), file.WriteValue(1, 0, 0, 0, 1, 1, "nan"),
          file.WriteValue(1, 0, 0, 0, 1, 1, "")})
        EXPECT_EQ(code, 13);
    EXPECT_EQ(file.WriteValue(3, 0, 0, 0, 1, 1, "a"), 0); // no such value type: nothing to write
    EXPECT_EQ(bytes.size(), before);
    ASSERT_EQ(file.CloseFile(), 0);
    EXPECT_EQ(Records(bytes, before), std::vector<Bytes>{Hex("0A 00 00 00")}); // and no page break
}

TEST(ShortDate, DayMonthAndYearInTheLocalesOrder) {
    EXPECT_EQ(FormatShortDate(1984, 5, 7, DateOrder::DayMonthYear), "7/5/1984");
    // Every order, the year always of four digits at least, day and month as
    // they are.
    for (const auto& [order, text] :
         std::vector<std::pair<DateOrder, std::string>>{{DateOrder::MonthDayYear, "12/31/0100"},
                                                        {DateOrder::DayMonthYear, "31/12/0100"},
                                                        {DateOrder::YearMonthDay, "0100/12/31"},
                                                        {DateOrder::YearDayMonth, "0100/31/12"}})
        EXPECT_EQ(FormatShortDate(100, 12, 31, order), text);
    EXPECT_EQ(FormatShortDate(10007, 1, 2, DateOrder::YearMonthDay), "10007/1/2");
    // glibc's locales tell no order, but their %x does: 11/22/33 in the
    // classic one, 22.11.2033 in a German one.
    EXPECT_EQ(LocaleDateOrder(std::locale::classic()), DateOrder::MonthDayYear);
    EXPECT_EQ(DateOrderFromSample("22.11.2033"), DateOrder::DayMonthYear);
    // The first days, a leap day, the years 100 and 9999, a time of day; none
    // for 0 and past 9999.
    std::string texts;
    for (const double day : {1.0, -1.5, 36585.0, -657434.0, 2958465.0, 30809.99, 0.0, 2958466.0})
        texts += ShortDateText(day, std::locale::classic()) + " ";
    EXPECT_EQ(texts, "12/31/1899 12/29/1899 2/29/2000 1/1/0100 12/31/9999 5/7/1984   ");
    // A cell's text adds the time of day, to the second.
    EXPECT_EQ(DateValueText(30809 + 3661.4 / 86400), ShortDateText(30809) + " 01:01:01");
    EXPECT_EQ(DateValueText(30809.9999999), ShortDateText(30810));
    EXPECT_EQ(DateValueText(1e10), std::nullopt);
}

// A sheet written through a buffer onto a device that is full after
// `capacity` bytes.
struct Sheet {
    Bytes bytes;
    ContactSheet sheet;
    RunNotes notes;
    explicit Sheet(size_t capacity = SIZE_MAX) {
        std::string error;
        EXPECT_TRUE(sheet.CreateExcelSheet(
            std::make_unique<BufferedSink>(std::make_unique<FailingSink>(bytes, capacity), 4096),
            "memory.xls", error))
            << error;
    }
};

TEST(ContactSheet, LayoutAndWhatDoesNotFit) {
    Sheet s;
    WriteSampleContact(s.sheet, s.notes);
    ExcelContactArgs last; // row 65536, the last; then one past it
    for (last.xlsCnt = 65535; last.xlsCnt <= 65536; ++last.xlsCnt)
        s.sheet.Save2ExcelContact(last, s.notes);
    s.sheet.CloseExcelSheet(s.notes);
    const auto records = Records(s.bytes);
    ASSERT_EQ(records.size(), 28u + 4 + 1 + 3 * 36);
    // After BOF, the code page and the formats: four fonts, the header, 36
    // titles in bold.
    EXPECT_EQ(std::vector(records.begin() + 27, records.begin() + 33),
              (std::vector{Hex("31 00 0C 00 C8 00 00 00 07", "Verdana"),
                           Hex("31 00 0C 00 C8 00 01 00 07", "Verdana"),
                           Hex("31 00 0C 00 C8 00 05 00 07", "Verdana"),
                           Hex("31 00 0C 00 18 01 03 00 07", "Courier"),
                           Hex("14 00 0D 00 0C", "BIFF 2.1 API"),
                           Hex("04 00 12 00 00 00 00 00 00 40 01 0A", "First Name")}));
    EXPECT_EQ(records[68], Hex("04 00 0C 00 01 00 00 00 00 00 01 04", "Jos\xE9"));
    // A contact's columns go out in the order 1-8, 14-18, 9-13, 19-36, the
    // empty ones as empty labels.
    std::string order;
    std::vector<std::string> texts(36);
    for (const auto& [column, text] : Row(s.bytes, 1)) {
        order += std::to_string(column) + " ";
        texts.at(size_t(column - 1)) = Cp1252ToUtf8(text);
    }
    EXPECT_EQ(order, "1 2 3 4 5 6 7 8 14 15 16 17 18 9 10 11 12 13 19 20 21 22 23 24 25 26 27 28 "
                     "29 30 31 32 33 34 35 36 ");
    EXPECT_EQ(Filled(texts), SampleRow());
    EXPECT_EQ(Row(s.bytes, 65535).size(), 36u);
    // Each cut is named by its column; the row past the sheet is lost.
    std::string notes;
    for (const RunNote& note : s.notes.Kept())
        notes += std::to_string(note.contact) + (note.lostContact ? " lost " : " ") +
                 note.message.substr(0, note.message.find(' ')) + "|";
    EXPECT_EQ(notes, "1 \"Company\"|1 \"Comments\"|65536 lost Missing|");
}

// Whether the device fills during the rows or at the close, exactly the
// contacts whose rows did not reach it completely are reported lost.
TEST(ContactSheet, AFullDeviceLosesExactlyTheRowsNotWritten) {
    auto write = [](size_t capacity) {
        auto s = std::make_unique<Sheet>(capacity);
        ExcelContactArgs contact;
        for (contact.xlsCnt = 1; contact.xlsCnt <= 50; ++contact.xlsCnt)
            s->sheet.Save2ExcelContact(contact, s->notes);
        s->sheet.CloseExcelSheet(s->notes);
        return s;
    };
    const size_t whole = write(SIZE_MAX)->bytes.size();
    for (const size_t capacity : {size_t{6000}, size_t{20000}, whole - 2}) {
        const auto s = write(capacity);
        int complete = 0;
        while (complete < 50 && Row(s->bytes, complete + 1).size() == 36)
            ++complete;
        // The failure once, then the contacts lost.
        std::string seen, expected = "Writing the workbook failed";
        for (int contact = complete + 1; contact <= 50; ++contact)
            expected += " " + std::to_string(contact);
        for (const RunNote& note : s->notes.Kept())
            seen +=
                note.lostContact ? " " + std::to_string(note.contact) : note.message.substr(0, 27);
        EXPECT_EQ(seen, expected) << capacity;
    }
}

TEST(ContactSheet, CreationFailuresAreReported) {
    testsupport::TempDir dir("excel-sheet");
    // The sheet names the file and the reason, and then reports every
    // contact instead of counting it into nothing.
    const auto taken = (dir.Path() / kExcelSheetName).string();
    std::filesystem::create_directory(taken);
    ContactSheet sheet;
    RunNotes notes;
    std::string error;
    EXPECT_FALSE(sheet.CreateExcelSheet(taken, error));
#ifdef _WIN32
    // Windows refuses to open a folder as a file without saying why.
    const std::string reason = std::make_error_code(std::errc::permission_denied).message();
#else
    const std::string reason = std::make_error_code(std::errc::is_a_directory).message();
#endif
    EXPECT_NE(error.find("\"" + taken + "\" could not be created: " + reason), std::string::npos)
        << error;
    sheet.Save2ExcelContact(ExcelContactArgs{}, notes);
    EXPECT_EQ(notes.LostContacts(), 1);
    Bytes bytes;
    EXPECT_FALSE(sheet.CreateExcelSheet(std::make_unique<FailingSink>(bytes, 10), "tiny", error));
    EXPECT_NE(error.find("\"tiny\""), std::string::npos);
    // The same sheet object serves the next run; an old, longer file is
    // replaced, not overwritten in place.
    const auto old = (dir.Path() / "old.xls").string();
    std::ofstream(old) << std::string(5000, 'z');
    ASSERT_TRUE(sheet.CreateExcelSheet(old, error));
    sheet.CloseExcelSheet(notes);
    EXPECT_EQ(std::filesystem::file_size(old), 1405u); // an empty sheet
}

// The .csv sheet: its bytes, and a device that runs full.
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
    a.eContact_FirstName = "Иван";
    a.eContact_Company = "Acme, \"Ltd\"";
    a.eContact_Comments = "two\r\nlines";
    a.eContact_BusinessAddress = "1 Main St\\nSuite 2";
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
