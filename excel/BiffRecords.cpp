#include "excel/BiffRecords.h"

#include "core/LeWriter.h"

#include <bit>
#include <cassert>
#include <cstring>

namespace velloquin::excel::biff {

namespace {

void PutU8(Bytes& out, uint8_t value) {
    out.push_back(value);
}

void PutU16(Bytes& out, uint16_t value) {
    AppendLe(out, value, 2);
}

void PutI16(Bytes& out, int16_t value) {
    PutU16(out, static_cast<uint16_t>(value));
}

void PutDouble(Bytes& out, double value) {
    AppendLe(out, std::bit_cast<uint64_t>(value), 8);
}

void PutText(Bytes& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

void PutHeader(Bytes& out, uint16_t number, size_t bodyLength) {
    assert(bodyLength <= 0xFFFF);
    PutU16(out, number);
    PutU16(out, static_cast<uint16_t>(bodyLength));
}

void PutAttributes(Bytes& out, CellAttributes attributes) {
    PutU8(out, attributes.hiddenLocked);
    PutU8(out, attributes.formatAndFont);
    PutU8(out, attributes.alignment);
}

// u8 L followed by L bytes.
void PutShortText(Bytes& out, std::string_view text) {
    assert(text.size() <= kMaxShortText);
    PutU8(out, static_cast<uint8_t>(text.size()));
    PutText(out, text);
}

// The eleven bytes every cell record starts with, in one go: a sheet is
// mostly cells.
void StoreCellStart(uint8_t* start, uint16_t number, size_t bodyLength, uint16_t row,
                    uint16_t column, CellAttributes attributes) {
    assert(bodyLength <= 0xFFFF);
    StoreLe(start, number, 2);
    StoreLe(start + 2, bodyLength, 2);
    StoreLe(start + 4, row, 2);
    StoreLe(start + 6, column, 2);
    start[8] = attributes.hiddenLocked;
    start[9] = attributes.formatAndFont;
    start[10] = attributes.alignment;
}

void PutCellStart(Bytes& out, uint16_t number, size_t bodyLength, uint16_t row, uint16_t column,
                  CellAttributes attributes) {
    const size_t at = out.size();
    out.resize(at + 11);
    StoreCellStart(out.data() + at, number, bodyLength, row, column, attributes);
}

void EncodeSwitch(Bytes& out, uint16_t number, bool on) {
    PutHeader(out, number, 2);
    PutU16(out, on ? 1 : 0);
}

} // namespace

const std::array<std::string_view, 24>& BuiltInFormats() {
    static const std::array<std::string_view, 24> formats = {
        "General",
        "0",
        "0.00",
        "#,##0",
        "#,##0.00",
        R"(#,##0\ "$";\-#,##0\ "$")",
        R"(#,##0\ "$";[Red]\-#,##0\ "$")",
        R"(#,##0.00\ "$";\-#,##0.00\ "$")",
        R"(#,##0.00\ "$";[Red]\-#,##0.00\ "$")",
        "0%",
        "0.00%",
        "0.00E+00",
        "dd/mm/yy",
        R"(dd/\ mmm\ yy)",
        R"(dd/\ mmm)",
        R"(mmm\ yy)",
        R"(h:mm\ AM/PM)",
        R"(h:mm:ss\ AM/PM)",
        "hh:mm",
        "hh:mm:ss",
        R"(dd/mm/yy\ hh:mm)",
        "##0.0E+0",
        "mm:ss",
        "@",
    };
    return formats;
}

void EncodeBof(Bytes& out) {
    PutHeader(out, kBof, 4);
    PutU16(out, 2);
    PutU16(out, 10);
}

void EncodeCodePage(Bytes& out, uint16_t codePage) {
    PutHeader(out, kCodePage, 2);
    PutU16(out, codePage);
}

void EncodeEof(Bytes& out) {
    PutHeader(out, kEof, 0);
}

void EncodeFormatCount(Bytes& out, uint16_t highestIndex) {
    PutHeader(out, kFormatCount, 2);
    PutU16(out, highestIndex);
}

void EncodeFormat(Bytes& out, std::string_view text) {
    PutHeader(out, kFormat, 1 + text.size());
    PutShortText(out, text);
}

void EncodeFont(Bytes& out, int16_t heightTwips, uint8_t style, std::string_view name) {
    PutHeader(out, kFont, 5 + name.size());
    PutI16(out, heightTwips);
    PutU8(out, style);
    PutU8(out, 0);
    PutShortText(out, name);
}

void EncodeHeader(Bytes& out, std::string_view text) {
    PutHeader(out, kHeader, 1 + text.size());
    PutShortText(out, text);
}

void EncodeFooter(Bytes& out, std::string_view text) {
    PutHeader(out, kFooter, 1 + text.size());
    PutShortText(out, text);
}

void EncodeFilePass(Bytes& out, std::string_view password) {
    PutHeader(out, kFilePass, password.size());
    PutText(out, password);
}

void EncodePrintGridLines(Bytes& out, bool on) {
    EncodeSwitch(out, kPrintGridLines, on);
}

void EncodeProtect(Bytes& out, bool on) {
    EncodeSwitch(out, kProtect, on);
}

void EncodeMargin(Bytes& out, uint16_t recordNumber, double inches) {
    PutHeader(out, recordNumber, 8);
    PutDouble(out, inches);
}

void EncodeColWidth(Bytes& out, uint8_t firstColumn, uint8_t lastColumn, int16_t width256) {
    PutHeader(out, kColWidth, 4);
    PutU8(out, firstColumn);
    PutU8(out, lastColumn);
    PutI16(out, width256);
}

void EncodeDefaultRowHeight(Bytes& out, int16_t heightTwips) {
    PutHeader(out, kDefaultRowHeight, 2);
    PutI16(out, heightTwips);
}

void EncodeRow(Bytes& out, uint16_t row, int16_t heightTwips) {
    PutHeader(out, kRow, 16);
    PutU16(out, row);
    PutU16(out, 0);
    PutU16(out, 256);
    PutI16(out, heightTwips);
    PutU16(out, 0);
    PutU8(out, 0);
    PutU16(out, 0);
    PutAttributes(out, {});
}

void EncodeInteger(Bytes& out, uint16_t row, uint16_t column, CellAttributes attributes,
                   int16_t value) {
    PutCellStart(out, kInteger, 9, row, column, attributes);
    PutI16(out, value);
}

void EncodeNumber(Bytes& out, uint16_t row, uint16_t column, CellAttributes attributes,
                  double value) {
    PutCellStart(out, kNumber, 15, row, column, attributes);
    PutDouble(out, value);
}

void EncodeLabel(Bytes& out, uint16_t row, uint16_t column, CellAttributes attributes,
                 std::string_view text) {
    PutCellStart(out, kLabel, 8 + text.size(), row, column, attributes);
    PutShortText(out, text);
}

void EncodeHorizontalPageBreaks(Bytes& out, const std::vector<uint16_t>& rows) {
    PutHeader(out, kHorizontalPageBreaks, 2 + 2 * rows.size());
    PutU16(out, static_cast<uint16_t>(rows.size()));
    for (uint16_t row : rows)
        PutU16(out, row);
}

} // namespace velloquin::excel::biff
