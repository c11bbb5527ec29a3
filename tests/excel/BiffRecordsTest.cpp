#include "excel/BiffRecords.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

#include <functional>

namespace velloquin::excel {
namespace {

using biff::Bytes;
using testing::Hex;

struct RecordCase {
    const char* name;
    std::function<void(Bytes&)> encode;
    Bytes expected;
};

TEST(BiffRecords, EachRecordHasItsExactBytes) {
    const biff::CellAttributes headerCell{0, 64, 1};
    const std::vector<RecordCase> cases = {
        {"BOF", [](Bytes& b) { biff::EncodeBof(b); }, Hex("09 00 04 00 02 00 0A 00")},
        {"EOF", [](Bytes& b) { biff::EncodeEof(b); }, Hex("0A 00 00 00")},
        {"FORMATCOUNT", [](Bytes& b) { biff::EncodeFormatCount(b, 23); }, Hex("1F 00 02 00 17 00")},
        {"FORMAT first", [](Bytes& b) { biff::EncodeFormat(b, "General"); },
         Hex("1E 00 08 00 07", "General")},
        {"FORMAT last", [](Bytes& b) { biff::EncodeFormat(b, "@"); }, Hex("1E 00 02 00 01 40")},
        {"FONT", [](Bytes& b) { biff::EncodeFont(b, 200, 1, "Verdana"); },
         Hex("31 00 0C 00 C8 00 01 00 07", "Verdana")},
        {"HEADER", [](Bytes& b) { biff::EncodeHeader(b, "BIFF 2.1 API"); },
         Hex("14 00 0D 00 0C", "BIFF 2.1 API")},
        {"FOOTER", [](Bytes& b) { biff::EncodeFooter(b, "p"); }, Hex("15 00 02 00 01 70")},
        {"FILEPASS", [](Bytes& b) { biff::EncodeFilePass(b, "pw"); }, Hex("2F 00 02 00 70 77")},
        {"PRINTGRIDLINES on", [](Bytes& b) { biff::EncodePrintGridLines(b, true); },
         Hex("2B 00 02 00 01 00")},
        {"PRINTGRIDLINES off", [](Bytes& b) { biff::EncodePrintGridLines(b, false); },
         Hex("2B 00 02 00 00 00")},
        {"PROTECT", [](Bytes& b) { biff::EncodeProtect(b, true); }, Hex("12 00 02 00 01 00")},
        {"left margin 0.75", [](Bytes& b) { biff::EncodeMargin(b, biff::kLeftMargin, 0.75); },
         Hex("26 00 08 00 00 00 00 00 00 00 E8 3F")},
        {"COLWIDTH", [](Bytes& b) { biff::EncodeColWidth(b, 0, 2, 2560); },
         Hex("24 00 04 00 00 02 00 0A")},
        {"DEFAULTROWHEIGHT", [](Bytes& b) { biff::EncodeDefaultRowHeight(b, 300); },
         Hex("25 00 02 00 2C 01")},
        {"ROW", [](Bytes& b) { biff::EncodeRow(b, 1, 300); },
         Hex("08 00 10 00 01 00 00 00 00 01 2C 01 00 00 00 00 00 00 00 00")},
        {"INTEGER", [&](Bytes& b) { biff::EncodeInteger(b, 0, 1, headerCell, -5); },
         Hex("02 00 09 00 00 00 01 00 00 40 01 FB FF")},
        {"NUMBER", [&](Bytes& b) { biff::EncodeNumber(b, 2, 0, headerCell, 1.5); },
         Hex("03 00 0F 00 02 00 00 00 00 40 01 00 00 00 00 00 00 F8 3F")},
        {"LABEL", [&](Bytes& b) { biff::EncodeLabel(b, 0, 0, headerCell, "Email"); },
         Hex("04 00 0D 00 00 00 00 00 00 40 01 05", "Email")},
        {"LABEL empty", [&](Bytes& b) { biff::EncodeLabel(b, 0xFFFF, 35, {}, ""); },
         Hex("04 00 08 00 FF FF 23 00 00 00 00 00")},
        {"HORIZONTALPAGEBREAKS",
         [](Bytes& b) {
             biff::EncodeHorizontalPageBreaks(b, {2, 6, 9});
         },
         Hex("1B 00 08 00 03 00 02 00 06 00 09 00")},
    };
    for (const RecordCase& c : cases) {
        Bytes out = {0xAA}; // encoders append, they do not replace
        c.encode(out);
        Bytes expected = {0xAA};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(out, expected) << c.name;
    }
}

TEST(BiffRecords, BuiltInFormatsKeepTheirEscapes) {
    const auto& formats = biff::BuiltInFormats();
    ASSERT_EQ(formats.size(), 24u);
    EXPECT_EQ(formats[5], "#,##0\\ \"$\";\\-#,##0\\ \"$\"");
    EXPECT_EQ(formats[8], "#,##0.00\\ \"$\";[Red]\\-#,##0.00\\ \"$\"");
    EXPECT_EQ(formats[13], "dd/\\ mmm\\ yy");
    EXPECT_EQ(formats[17], "h:mm:ss\\ AM/PM");
    EXPECT_EQ(formats[23], "@");
}

} // namespace
} // namespace velloquin::excel
