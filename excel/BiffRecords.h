// BIFF 2.1 records, one encoder per record. Each encoder appends the record's
// bytes to `out`; nothing here fails or touches a file, so callers validate
// and convert every field first and tests compare bytes in memory.
//
// Every record: u16 record number, u16 body length (the 4 header bytes not
// counted), then the body. All fields little-endian, packed without gaps.
// Texts are already in the workbook's code page (one or two bytes a character).
#pragma once

#include "core/LeWriter.h"

#include <array>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace velloquin::excel::biff {

using Bytes = std::vector<uint8_t>;

enum RecordNumber : uint16_t {
    kInteger = 0x0002,
    kNumber = 0x0003,
    kLabel = 0x0004,
    kRow = 0x0008,
    kBof = 0x0009,
    kEof = 0x000A,
    kProtect = 0x0012,
    kHeader = 0x0014,
    kFooter = 0x0015,
    kHorizontalPageBreaks = 0x001B,
    kFormat = 0x001E,
    kFormatCount = 0x001F,
    kColWidth = 0x0024,
    kDefaultRowHeight = 0x0025,
    kLeftMargin = 0x0026,
    kRightMargin = 0x0027,
    kTopMargin = 0x0028,
    kBottomMargin = 0x0029,
    kPrintGridLines = 0x002B,
    kFilePass = 0x002F,
    kFont = 0x0031,
    kCodePage = 0x0042,
};

// The longest text a length byte can announce.
inline constexpr size_t kMaxShortText = 255;

// The three attribute bytes that every cell record carries.
//   byte 0: bit 6 locked, bit 7 formula hidden
//   byte 1: bits 0-5 number format index, bits 6-7 font index
//   byte 2: bits 0-2 horizontal alignment, bits 3-6 borders, bit 7 shaded
struct CellAttributes {
    uint8_t hiddenLocked = 0;
    uint8_t formatAndFont = 0;
    uint8_t alignment = 0;
};

// The built-in number formats, index 0 to 23, as the cells' format index
// selects them.
const std::array<std::string_view, 24>& BuiltInFormats();

// BOF, body 4: u16 version = 2, u16 document type = 10 (worksheet, in the
// form that this writer has always used).
void EncodeBof(Bytes& out);
// CODEPAGE, body 2: u16 the Windows code page number (1252, 1251, 936 ...)
// that every text of the workbook is written in. Readers take it from the
// record right after BOF.
void EncodeCodePage(Bytes& out, uint16_t codePage);
// EOF, body 0.
void EncodeEof(Bytes& out);
// FORMATCOUNT, body 2: u16 highest format index (23 for the built-in set).
void EncodeFormatCount(Bytes& out, uint16_t highestIndex);
// FORMAT, body 1 + L: u8 L, L bytes of format text. L <= 255.
void EncodeFormat(Bytes& out, std::string_view text);
// FONT, body 5 + L: u16 height in 1/20 pt, u8 style bits (1 bold, 2 italic,
// 4 underline, 8 strikeout), u8 0, u8 L, L bytes of font name. L <= 255.
void EncodeFont(Bytes& out, int16_t heightTwips, uint8_t style, std::string_view name);
// HEADER (0x14) or FOOTER (0x15), body 1 + L: u8 L, L bytes. L <= 255.
void EncodeHeader(Bytes& out, std::string_view text);
void EncodeFooter(Bytes& out, std::string_view text);
// FILEPASS, body L: the password bytes, no length byte. L <= 65535.
void EncodeFilePass(Bytes& out, std::string_view password);
// PRINTGRIDLINES / PROTECT, body 2: u16 1 for on, 0 for off.
void EncodePrintGridLines(Bytes& out, bool on);
void EncodeProtect(Bytes& out, bool on);
// A margin record (0x26 left .. 0x29 bottom), body 8: IEEE 754 double, inches.
void EncodeMargin(Bytes& out, uint16_t recordNumber, double inches);
// COLWIDTH, body 4: u8 first column, u8 last column (0-based), u16 width in
// 1/256 of a character.
void EncodeColWidth(Bytes& out, uint8_t firstColumn, uint8_t lastColumn, int16_t width256);
// DEFAULTROWHEIGHT, body 2: u16 height in 1/20 pt.
void EncodeDefaultRowHeight(Bytes& out, int16_t heightTwips);
// ROW, body 16:
//   +0 u16 row (0-based)   +2 u16 first column = 0   +4 u16 last column + 1 = 256
//   +6 u16 height in 1/20 pt   +8 u16 reserved 0   +10 u8 no default attributes = 0
//   +11 u16 offset to cells = 0   +13 three default attribute bytes, all 0
void EncodeRow(Bytes& out, uint16_t row, int16_t heightTwips);
// INTEGER, body 9: u16 row, u16 column, 3 attribute bytes, i16 value.
void EncodeInteger(Bytes& out, uint16_t row, uint16_t column, CellAttributes attributes,
                   int16_t value);
// NUMBER, body 15: u16 row, u16 column, 3 attribute bytes, IEEE 754 double.
void EncodeNumber(Bytes& out, uint16_t row, uint16_t column, CellAttributes attributes,
                  double value);
// LABEL, body 8 + L: u16 row, u16 column, 3 attribute bytes, u8 L, L bytes.
void EncodeLabel(Bytes& out, uint16_t row, uint16_t column, CellAttributes attributes,
                 std::string_view text);
// The same into out, which has room for 12 + L bytes; returns the record's
// size. Labels are most of a sheet: this keeps them off the heap, inline.
inline constexpr size_t kLabelHeadSize = 12;
inline constexpr size_t kMaxLabelSize = kLabelHeadSize + kMaxShortText;
inline size_t EncodeLabel(uint8_t* out, uint16_t row, uint16_t column, CellAttributes attributes,
                          std::string_view text) {
    assert(text.size() <= kMaxShortText);
    StoreLe(out, kLabel, 2);
    StoreLe(out + 2, 8 + text.size(), 2);
    StoreLe(out + 4, row, 2);
    StoreLe(out + 6, column, 2);
    out[8] = attributes.hiddenLocked;
    out[9] = attributes.formatAndFont;
    out[10] = attributes.alignment;
    out[11] = static_cast<uint8_t>(text.size());
    if (!text.empty()) std::memcpy(out + kLabelHeadSize, text.data(), text.size());
    return kLabelHeadSize + text.size();
}
// HORIZONTALPAGEBREAKS, body 2 + 2N: u16 N, N x u16 row (0-based), in the
// order given (the caller sorts). N <= 32766.
void EncodeHorizontalPageBreaks(Bytes& out, const std::vector<uint16_t>& rows);

} // namespace velloquin::excel::biff
