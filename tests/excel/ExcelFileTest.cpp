#include "excel/ExcelFile.h"
#include "TestBytes.h"
#include "excel/ShortDate.h"
#include "support/LibreOffice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace velloquin::excel {
namespace {

using testing::Bytes;
using testing::Hex;
using testing::SplitRecords;

Bytes Tail(const Bytes& bytes, size_t count) {
    return Bytes(bytes.end() - static_cast<std::ptrdiff_t>(count), bytes.end());
}

class ExcelFileOnMemory : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(file.CreateFile(std::make_unique<MemorySink>(bytes)), 0); }
    Bytes bytes;
    ExcelFile file;
};

TEST_F(ExcelFileOnMemory, FreshFileIsBofFormatsAndEof) {
    ASSERT_EQ(file.CloseFile(), 0);
    const auto records = SplitRecords(bytes);
    ASSERT_EQ(records.size(), 1u + 1 + 24 + 1);
    EXPECT_EQ(records[0].bytes, Hex("09 00 04 00 02 00 0A 00"));
    EXPECT_EQ(records[1].bytes, Hex("1F 00 02 00 17 00"));
    EXPECT_EQ(records[2].bytes, Hex("1E 00 08 00 07", "General"));
    for (size_t i = 2; i < 26; ++i)
        EXPECT_EQ(records[i].number, 0x1E);
    EXPECT_EQ(records[25].bytes, Hex("1E 00 02 00 01 40"));
    EXPECT_EQ(records[26].bytes, Hex("0A 00 00 00"));
}

TEST_F(ExcelFileOnMemory, PageBreaksAreSortedBeforeEof) {
    for (int row : {10, 3, 7})
        ASSERT_EQ(file.InsertHorizPageBreak(row), 0);
    const size_t before = bytes.size();
    ASSERT_EQ(file.CloseFile(), 0);
    EXPECT_EQ(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(before), bytes.end()),
              Hex("1B 00 08 00 03 00 02 00 06 00 09 00 0A 00 00 00"));
}

TEST_F(ExcelFileOnMemory, OperationsWriteTheirRecords) {
    EXPECT_EQ(file.WriteValue(2, 64, 1, 0, 1, 1, "Email"), 0);
    EXPECT_EQ(Tail(bytes, 17), Hex("04 00 0D 00 00 00 00 00 00 40 01 05", "Email"));
    EXPECT_EQ(file.SetFont("Verdana", 10, 1), 0);
    EXPECT_EQ(Tail(bytes, 16), Hex("31 00 0C 00 C8 00 01 00 07", "Verdana"));
    EXPECT_EQ(file.SetRowHeight(2, 15), 0);
    EXPECT_EQ(Tail(bytes, 20), Hex("08 00 10 00 01 00 00 00 00 01 2C 01 00 00 00 00 00 00 00 00"));
    EXPECT_EQ(file.SetColumnWidth(1, 3, 10), 0);
    EXPECT_EQ(Tail(bytes, 8), Hex("24 00 04 00 00 02 00 0A"));
    EXPECT_EQ(file.SetDefaultRowHeight(15), 0);
    EXPECT_EQ(Tail(bytes, 6), Hex("25 00 02 00 2C 01"));
    EXPECT_EQ(file.SetMargin(0x29, 0.75), 0);
    EXPECT_EQ(Tail(bytes, 12), Hex("29 00 08 00 00 00 00 00 00 00 E8 3F"));
    EXPECT_EQ(file.SetHeader("H"), 0);
    EXPECT_EQ(Tail(bytes, 6), Hex("14 00 02 00 01 48"));
    EXPECT_EQ(file.SetFooter(""), 0);
    EXPECT_EQ(Tail(bytes, 5), Hex("15 00 01 00 00"));
    EXPECT_EQ(file.SetFilePassword("secret"), 0);
    EXPECT_EQ(Tail(bytes, 10), Hex("2F 00 06 00", "secret"));
    file.PrintGridLines(true);
    EXPECT_EQ(Tail(bytes, 6), Hex("2B 00 02 00 01 00"));
    file.ProtectSpreadsheet(false);
    EXPECT_EQ(Tail(bytes, 6), Hex("12 00 02 00 00 00"));
    // An empty text is a LABEL, never skipped; CellFormat adds to the font bits.
    EXPECT_EQ(file.WriteValue(2, 0, 3, 64, 65536, 36, "", 23), 0);
    EXPECT_EQ(Tail(bytes, 12), Hex("04 00 08 00 FF FF 23 00 40 17 03 00"));
    EXPECT_EQ(ExcelFile::MKI(0x1234), "\x34\x12");
    EXPECT_EQ(ExcelFile::MKI(-1), "\xFF\xFF");
}

TEST_F(ExcelFileOnMemory, ValuesAreConvertedForTheirCellType) {
    struct Case {
        int32_t type;
        CellValue value;
        Bytes tail;
    };
    const std::string longText(255, 'x');
    const std::vector<Case> cases = {
        {0, 2.5, Hex("02 00")}, // halves go to the even neighbour
        {0, 3.5, Hex("04 00")},
        {0, -2.5, Hex("FE FF")},
        {0, " 12 ", Hex("0C 00")},
        {0, AutomationDate{3.4}, Hex("03 00")},
        {1, "1.5", Hex("00 00 00 00 00 00 F8 3F")},
        {2, 1.5, Hex("03", "1.5")},
        {2, -0.0, Hex("01", "0")},
        {2, "\xC3\xA9\xE2\x82\xAC", Hex("02 E9 80")}, // é and the euro sign, one byte each
        {2, AutomationDate{0.5}, Hex("08", "12:00:00")},
        {2, longText, Hex("FF", longText)},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(file.WriteValue(c.type, 0, 0, 0, 1, 1, c.value), 0) << c.type;
        EXPECT_EQ(Tail(bytes, c.tail.size()), c.tail) << c.type;
    }
    // A date with a time: the short date, then the time.
    ASSERT_EQ(file.WriteValue(2, 0, 0, 0, 1, 1, AutomationDate{36526.75}), 0);
    const std::string expected = ShortDateText(36526) + " 18:00:00";
    EXPECT_EQ(Tail(bytes, expected.size()), Bytes(expected.begin(), expected.end()));
}

TEST_F(ExcelFileOnMemory, RefusedValuesLeaveNothingWritten) {
    struct Case {
        const char* name;
        std::function<int32_t()> call;
        int32_t code;
    };
    const std::string tooLong(256, 'x');
    const std::vector<Case> cases = {
        {"text of 256", [&] { return file.WriteValue(2, 0, 0, 0, 1, 1, tooLong); }, 6},
        {"integer overflow", [&] { return file.WriteValue(0, 0, 0, 0, 1, 1, 32767.5); }, 6},
        {"not a number", [&] { return file.WriteValue(0, 0, 0, 0, 1, 1, "12a"); }, 13},
        {"not a number", [&] { return file.WriteValue(1, 0, 0, 0, 1, 1, "nan"); }, 13},
        {"empty number", [&] { return file.WriteValue(1, 0, 0, 0, 1, 1, ""); }, 13},
        {"format + font", [&] { return file.WriteValue(2, 192, 0, 0, 1, 1, "a", 64); }, 6},
        {"alignment", [&] { return file.WriteValue(2, 0, 256, 0, 1, 1, "a"); }, 6},
        {"locked", [&] { return file.WriteValue(2, 0, 0, -1, 1, 1, "a"); }, 6},
        {"row 0", [&] { return file.WriteValue(2, 0, 0, 0, 0, 1, "a"); }, 6},
        {"row 65537", [&] { return file.WriteValue(2, 0, 0, 0, 65537, 1, "a"); }, 6},
        {"value type 3", [&] { return file.WriteValue(3, 0, 0, 0, 1, 1, "a"); }, 0},
        {"font height", [&] { return file.SetFont("Arial", 1639, 0); }, 6},
        {"font style", [&] { return file.SetFont("Arial", 10, 256); }, 6},
        {"font name", [&] { return file.SetFont(tooLong, 10, 0); }, 6},
        {"header", [&] { return file.SetHeader(tooLong); }, 6},
        {"footer", [&] { return file.SetFooter(tooLong); }, 6},
        {"column 0", [&] { return file.SetColumnWidth(0, 1, 10); }, 6},
        {"width", [&] { return file.SetColumnWidth(1, 1, 128); }, 6},
        {"default height", [&] { return file.SetDefaultRowHeight(-1639); }, 6},
        {"row height", [&] { return file.SetRowHeight(1, 1639); }, 6},
        {"page break row", [&] { return file.InsertHorizPageBreak(0); }, 6},
    };
    for (const Case& c : cases) {
        const size_t before = bytes.size();
        EXPECT_EQ(c.call(), c.code) << c.name;
        EXPECT_EQ(bytes.size(), before) << c.name;
    }
    ASSERT_EQ(file.CloseFile(), 0);
    EXPECT_EQ(Tail(bytes, 4), Hex("0A 00 00 00")); // no page break was recorded
}

TEST(ExcelFile, WritesNeedAnOpenFile) {
    ExcelFile file;
    EXPECT_EQ(file.CloseFile(), 0); // never given a file
    EXPECT_EQ(file.WriteValue(2, 0, 0, 0, 1, 1, "a"), 52);
    EXPECT_EQ(file.SetHeader("a"), 52);

    Bytes bytes;
    ASSERT_EQ(file.CreateFile(std::make_unique<MemorySink>(bytes)), 0);
    ASSERT_EQ(file.InsertHorizPageBreak(5), 0);
    ASSERT_EQ(file.CloseFile(), 0);
    const Bytes closed = bytes;
    EXPECT_EQ(file.CloseFile(), 52);
    EXPECT_EQ(file.WriteValue(2, 0, 0, 0, 1, 1, "a"), 52);
    EXPECT_EQ(file.SetRowHeight(1, 1), 52);
    EXPECT_EQ(bytes, closed);

    // The same object serves a new file, with an empty page-break list.
    Bytes second;
    ASSERT_EQ(file.CreateFile(std::make_unique<MemorySink>(second)), 0);
    ASSERT_EQ(file.CloseFile(), 0);
    EXPECT_EQ(Tail(second, 10), Hex("1E 00 02 00 01 40 0A 00 00 00"));
}

TEST(ExcelFile, AFullDeviceIsReportedWhereverItStrikes) {
    // Full during CreateFile: the failure is returned, not 0.
    {
        Bytes bytes;
        ExcelFile file;
        EXPECT_EQ(file.CreateFile(std::make_unique<FailingSink>(bytes, 100)), 61);
        EXPECT_FALSE(file.LastErrorText().empty());
        EXPECT_EQ(bytes.size(), 100u);
    }
    // Full behind a buffer: the write that drains it fails, later ones too,
    // and the committed count says what reached the device.
    Bytes bytes;
    ExcelFile file;
    auto sink = std::make_unique<BufferedSink>(std::make_unique<FailingSink>(bytes, 1000), 256);
    ASSERT_EQ(file.CreateFile(std::move(sink)), 0);
    int32_t code = 0;
    int row = 1;
    while (code == 0 && row < 200)
        code = file.WriteValue(2, 0, 0, 0, ++row, 1, "abcdefgh");
    EXPECT_EQ(code, 61);
    EXPECT_LT(row, 200);
    EXPECT_EQ(file.BytesCommitted(), 1000u);
    EXPECT_LT(file.BytesCommitted(), file.BytesWritten() + 20);
    EXPECT_EQ(file.WriteValue(2, 0, 0, 0, 1, 1, "a"), 61);
    EXPECT_EQ(file.CloseFile(), 61);
    EXPECT_EQ(file.CloseFile(), 52);
}

TEST(ExcelFile, FileFailuresAreReturned) {
    testsupport::TempDir dir("excel-file");
    ExcelFile file;
    // The name is taken by a folder: it cannot be created.
    const auto folder = dir.Path() / "taken.xls";
    std::filesystem::create_directory(folder);
    EXPECT_NE(file.CreateFile(folder.string()), 0);
    EXPECT_EQ(file.WriteValue(2, 0, 0, 0, 1, 1, "a"), 52);
    EXPECT_EQ(file.CloseFile(), 52);
    // A missing folder.
    EXPECT_EQ(file.CreateFile((dir.Path() / "missing" / "a.xls").string()), 76);
#ifdef __linux__
    // A device that is always full.
    EXPECT_EQ(file.CreateFile("/dev/full"), 61);
    EXPECT_EQ(file.LastErrorText(), std::make_error_code(std::errc::no_space_on_device).message());
#endif
    // An old, longer file is replaced, not overwritten in place.
    const auto path = dir.Path() / "old.xls";
    std::ofstream(path) << std::string(5000, 'z');
    ASSERT_EQ(file.CreateFile(path.string()), 0);
    ASSERT_EQ(file.CloseFile(), 0);
    Bytes expected;
    ExcelFile memory;
    ASSERT_EQ(memory.CreateFile(std::make_unique<MemorySink>(expected)), 0);
    ASSERT_EQ(memory.CloseFile(), 0);
    EXPECT_EQ(std::filesystem::file_size(path), expected.size());
}

} // namespace
} // namespace velloquin::excel
