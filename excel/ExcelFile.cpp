#include "excel/ExcelFile.h"

#include "core/Text.h"
#include "excel/ShortDate.h"
#include "platform/Utf8Path.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <optional>

namespace velloquin::excel {

namespace {

using namespace result;

// Rows and columns 1 to 65536 become the 0-based 16-bit numbers of the file.
std::optional<uint16_t> ZeroBasedIndex(int32_t oneBased) {
    if (oneBased < 1 || oneBased > 65536) return std::nullopt;
    return static_cast<uint16_t>(oneBased - 1);
}

std::optional<uint8_t> ToByte(int64_t value) {
    if (value < 0 || value > 255) return std::nullopt;
    return static_cast<uint8_t>(value);
}

std::optional<int16_t> ToInt16(int64_t value) {
    if (value < -32768 || value > 32767) return std::nullopt;
    return static_cast<int16_t>(value);
}

// A number from a cell value: 0 and the number, or the failure's code.
int32_t ToNumber(const CellValue& value, double& number) {
    if (const auto* n = std::get_if<double>(&value.Get())) {
        number = *n;
        return kOk;
    }
    if (const auto* date = std::get_if<AutomationDate>(&value.Get())) {
        number = date->serial;
        return kOk;
    }
    std::string_view text = std::get<std::string_view>(value.Get());
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return kTypeMismatch;
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    if (text.front() == '+') text.remove_prefix(1);
    // Only digits, sign, point and exponent: "inf" and "nan" are no numbers.
    if (text.empty() || text.find_first_not_of("0123456789.eE+-") != std::string_view::npos) {
        return kTypeMismatch;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error == std::errc::result_out_of_range) return kOverflow;
    if (error != std::errc() || end != text.data() + text.size()) return kTypeMismatch;
    return kOk;
}

// A number as a text cell shows it: up to 15 significant digits.
std::string NumberText(double number) {
    if (number == 0) number = 0; // no "-0"
    std::array<char, 40> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.15G", number);
    return buffer.data();
}

} // namespace

ExcelFile::ExcelFile() {
    record_.reserve(512);
}

// A workbook still open gets its end, so that what was written stays readable.
ExcelFile::~ExcelFile() {
    if (state_ == State::Open) CloseFile();
}

int32_t ExcelFile::Fail(int32_t code, std::string reason) {
    lastError_ = std::move(reason);
    return code;
}

int32_t ExcelFile::FailFromSink() {
    const FileError& error = sink_->Error();
    return Fail(error.code != kOk ? error.code : kPathFileAccessError, error.reason);
}

int32_t ExcelFile::CheckOpen() {
    if (state_ != State::Open) return Fail(kBadFileReference, "no workbook is open");
    return kOk;
}

// Hands the finished record to the sink.
int32_t ExcelFile::Emit() {
    return Emit(record_);
}

int32_t ExcelFile::Emit(std::span<const uint8_t> record) {
    if (!sink_->Append(record)) return FailFromSink();
    bytesWritten_ += record.size();
    return kOk;
}

// Converts text to the workbook's code page; bytes is the text itself when it
// is ASCII (the same in every code page), else text_. Refuses it with the
// overflow code when it is longer than maxLength bytes there.
int32_t ExcelFile::ToWorkbookText(std::string_view utf8, size_t maxLength,
                                  std::string_view& bytes) {
    lastReplaced_ = 0;
    if (IsAscii(utf8)) {
        bytes = utf8;
    } else {
        text_.clear();
        lastReplaced_ = converter_.Encode(utf8, text_).replaced;
        bytes = text_;
    }
    if (bytes.size() > maxLength) {
        return Fail(kOverflow,
                    "a text of " + std::to_string(bytes.size()) + " bytes does not fit its record");
    }
    return kOk;
}

std::string_view ExcelFile::WorkbookTextPrefix(std::string_view utf8, size_t maxBytes) {
    if (IsAscii(utf8)) return utf8.substr(0, maxBytes);
    std::string bytes;
    return utf8.substr(0, converter_.Encode(utf8, bytes, maxBytes).consumed);
}

int32_t ExcelFile::SetCodePage(uint16_t codePage) {
    if (codePage != converter_.CodePage() && !CodePageConverter(codePage).Available())
        return Fail(kOverflow, "code page " + std::to_string(codePage) + " cannot be written here");
    nextCodePage_ = codePage;
    return kOk;
}

uint64_t ExcelFile::BytesCommitted() const {
    return sink_ ? sink_->Committed() : 0;
}

int32_t ExcelFile::CreateFile(const std::string& FileName) {
    if (state_ == State::Open) CloseFile();
    // An old workbook of that name is replaced; when it cannot be deleted
    // (read-only, locked) the object stays as it was.
    const std::filesystem::path path = platform::PathFromUtf8(FileName);
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) {
        std::filesystem::remove(path, error);
        if (error) {
            const FileError failure = FileErrorFrom(error);
            return Fail(failure.code, failure.reason);
        }
    }
    FileError openError;
    auto file = FileSink::Open(FileName, openError);
    if (!file) {
        // The object now refers to a file that is not open: writes fail.
        state_ = State::Closed;
        sink_.reset();
        return Fail(openError.code, openError.reason);
    }
    return StartFile(std::make_unique<BufferedSink>(std::move(file)));
}

int32_t ExcelFile::CreateFile(std::unique_ptr<OutputSink> sink) {
    if (state_ == State::Open) CloseFile();
    return StartFile(std::move(sink));
}

int32_t ExcelFile::StartFile(std::unique_ptr<OutputSink> sink) {
    sink_ = std::move(sink);
    buffered_ = dynamic_cast<BufferedSink*>(sink_.get());
    state_ = State::Open;
    bytesWritten_ = 0;
    HorizPageBreakRows.clear();
    if (converter_.CodePage() != nextCodePage_) converter_ = CodePageConverter(nextCodePage_);
    record_.clear();
    biff::EncodeBof(record_);
    if (const int32_t code = Emit()) return code;
    record_.clear();
    biff::EncodeCodePage(record_, converter_.CodePage());
    if (const int32_t code = Emit()) return code;
    if (const int32_t code = WriteFormats()) return code;
    // A device that takes nothing should fail here, not at the first flush.
    return Flush();
}

int32_t ExcelFile::WriteFormats() {
    if (const int32_t code = CheckOpen()) return code;
    const auto& formats = biff::BuiltInFormats();
    record_.clear();
    biff::EncodeFormatCount(record_, static_cast<uint16_t>(formats.size() - 1));
    if (const int32_t code = Emit()) return code;
    for (std::string_view format : formats) {
        record_.clear();
        biff::EncodeFormat(record_, format);
        if (const int32_t code = Emit()) return code;
    }
    return kOk;
}

int32_t ExcelFile::WriteDefaultFormats() {
    WriteFormats();
    return kOk;
}

int32_t ExcelFile::CloseFile() {
    if (state_ == State::NoFile) return kOk;
    if (state_ == State::Closed || !sink_) return Fail(kBadFileReference, "no workbook is open");
    state_ = State::Closed;
    int32_t code = kOk;
    if (!HorizPageBreakRows.empty()) {
        std::vector<uint16_t> rows = HorizPageBreakRows;
        std::sort(rows.begin(), rows.end());
        record_.clear();
        biff::EncodeHorizontalPageBreaks(record_, rows);
        code = Emit();
    }
    if (code == kOk) {
        record_.clear();
        biff::EncodeEof(record_);
        code = Emit();
    }
    // The file is released even after a failure.
    const bool closed = sink_->Close();
    if (code == kOk && !closed) code = FailFromSink();
    return code;
}

int32_t ExcelFile::Flush() {
    if (const int32_t code = CheckOpen()) return code;
    if (!sink_->Flush()) return FailFromSink();
    return kOk;
}

int32_t ExcelFile::InsertHorizPageBreak(int32_t lrow) {
    const auto row = ZeroBasedIndex(lrow);
    if (!row) return Fail(kOverflow, "row " + std::to_string(lrow) + " is outside the sheet");
    // The record's body length (2 + 2 per break) must fit its 16-bit field.
    if (HorizPageBreakRows.size() >= 32766) return Fail(kOverflow, "too many page breaks");
    HorizPageBreakRows.push_back(*row);
    return kOk;
}

int32_t ExcelFile::WriteValue(int32_t ValueType, int32_t CellFontUsed, int32_t Alignment,
                              int32_t HiddenLocked, int32_t lrow, int32_t lcol,
                              const CellValue& value, int32_t CellFormat) {
    const auto row = ZeroBasedIndex(lrow);
    const auto column = ZeroBasedIndex(lcol);
    if (!row || !column) return Fail(kOverflow, "the cell is outside the sheet");
    const auto hiddenLocked = ToByte(HiddenLocked);
    const auto formatAndFont = ToByte(int64_t{CellFormat} + CellFontUsed);
    const auto alignment = ToByte(Alignment);
    if (!hiddenLocked || !formatAndFont || !alignment) {
        return Fail(kOverflow, "a cell attribute does not fit its byte");
    }
    const biff::CellAttributes attributes{*hiddenLocked, *formatAndFont, *alignment};

    record_.clear();
    switch (ValueType) {
    case kInteger: {
        double number = 0;
        if (const int32_t code = ToNumber(value, number)) {
            return Fail(code, "the value is not a number");
        }
        // Halves go to the even neighbour (the default rounding mode).
        const double rounded = std::nearbyint(number);
        if (!(rounded >= -32768 && rounded <= 32767)) {
            return Fail(kOverflow, "the value does not fit an integer cell");
        }
        biff::EncodeInteger(record_, *row, *column, attributes, static_cast<int16_t>(rounded));
        break;
    }
    case kNumber: {
        double number = 0;
        if (const int32_t code = ToNumber(value, number)) {
            return Fail(code, "the value is not a number");
        }
        biff::EncodeNumber(record_, *row, *column, attributes, number);
        break;
    }
    case kText: {
        std::string_view source;
        std::string shown; // a number's or a date's text
        if (const auto* text = std::get_if<std::string_view>(&value.Get())) {
            source = *text;
        } else if (const auto* number = std::get_if<double>(&value.Get())) {
            shown = NumberText(*number);
            source = shown;
        } else {
            const auto dateText = DateValueText(std::get<AutomationDate>(value.Get()).serial);
            if (!dateText) return Fail(kOverflow, "the date is outside the years 100 to 9999");
            shown = *dateText;
            source = shown;
        }
        std::string_view bytes;
        if (const int32_t code = ToWorkbookText(source, biff::kMaxShortText, bytes)) return code;
        if (const int32_t code = CheckOpen()) return code;
        uint8_t label[biff::kMaxLabelSize];
        return Emit({label, biff::EncodeLabel(label, *row, *column, attributes, bytes)});
    }
    default:
        return kOk;
    }
    if (const int32_t code = CheckOpen()) return code;
    return Emit();
}

int32_t ExcelFile::SetMargin(int32_t Margin, double MarginValue) {
    if (Margin < 0 || Margin > 0xFFFF) return Fail(kOverflow, "no such record number");
    record_.clear();
    biff::EncodeMargin(record_, static_cast<uint16_t>(Margin), MarginValue);
    if (const int32_t code = CheckOpen()) return code;
    return Emit();
}

int32_t ExcelFile::SetColumnWidth(uint8_t FirstColumn, uint8_t LastColumn, int16_t WidthValue) {
    const auto width = ToInt16(int64_t{WidthValue} * 256);
    if (FirstColumn == 0 || LastColumn == 0 || !width) {
        return Fail(kOverflow, "the column or the width does not fit its field");
    }
    record_.clear();
    biff::EncodeColWidth(record_, static_cast<uint8_t>(FirstColumn - 1),
                         static_cast<uint8_t>(LastColumn - 1), *width);
    if (const int32_t code = CheckOpen()) return code;
    return Emit();
}

int32_t ExcelFile::SetFont(const std::string& FontName, int16_t FontHeight, int32_t FontFormat) {
    std::string_view bytes;
    if (const int32_t code = ToWorkbookText(FontName, biff::kMaxShortText, bytes)) return code;
    const auto height = ToInt16(int64_t{FontHeight} * 20);
    const auto style = ToByte(FontFormat);
    if (!height || !style) return Fail(kOverflow, "the font height or style does not fit");
    record_.clear();
    biff::EncodeFont(record_, *height, *style, bytes);
    if (const int32_t code = CheckOpen()) return code;
    return Emit();
}

int32_t ExcelFile::SetHeader(const std::string& HeaderText) {
    std::string_view bytes;
    if (const int32_t code = ToWorkbookText(HeaderText, biff::kMaxShortText, bytes)) return code;
    record_.clear();
    biff::EncodeHeader(record_, bytes);
    if (const int32_t code = CheckOpen()) return code;
    return Emit();
}

int32_t ExcelFile::SetFooter(const std::string& FooterText) {
    std::string_view bytes;
    if (const int32_t code = ToWorkbookText(FooterText, biff::kMaxShortText, bytes)) return code;
    record_.clear();
    biff::EncodeFooter(record_, bytes);
    if (const int32_t code = CheckOpen()) return code;
    return Emit();
}

int32_t ExcelFile::SetFilePassword(const std::string& PasswordText) {
    // No length byte here: the record's own 16-bit length is the limit.
    std::string_view bytes;
    if (const int32_t code = ToWorkbookText(PasswordText, 0xFFFF, bytes)) return code;
    record_.clear();
    biff::EncodeFilePass(record_, bytes);
    if (const int32_t code = CheckOpen()) return code;
    return Emit();
}

void ExcelFile::PrintGridLines(bool newvalue) {
    record_.clear();
    biff::EncodePrintGridLines(record_, newvalue);
    if (CheckOpen() == kOk) Emit();
}

void ExcelFile::ProtectSpreadsheet(bool newvalue) {
    record_.clear();
    biff::EncodeProtect(record_, newvalue);
    if (CheckOpen() == kOk) Emit();
}

std::string ExcelFile::MKI(int16_t x) {
    const auto bits = static_cast<uint16_t>(x);
    return {static_cast<char>(bits & 0xFF), static_cast<char>(bits >> 8)};
}

int32_t ExcelFile::SetDefaultRowHeight(int16_t HeightValue) {
    const auto height = ToInt16(int64_t{HeightValue} * 20);
    if (!height) return Fail(kOverflow, "the height does not fit its field");
    record_.clear();
    biff::EncodeDefaultRowHeight(record_, *height);
    if (const int32_t code = CheckOpen()) return code;
    return Emit();
}

int32_t ExcelFile::SetRowHeight(int32_t lrow, int16_t HeightValue) {
    const auto row = ZeroBasedIndex(lrow);
    const auto height = ToInt16(int64_t{HeightValue} * 20);
    if (!row || !height) return Fail(kOverflow, "the row or the height does not fit its field");
    record_.clear();
    biff::EncodeRow(record_, *row, *height);
    if (const int32_t code = CheckOpen()) return code;
    return Emit();
}

} // namespace velloquin::excel
