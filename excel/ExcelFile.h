// ExcelFile: writes a one-sheet BIFF 2.1 workbook as a stream of records.
// Nothing but the page breaks is kept back: every operation appends its
// records at once, in the order of the calls.
//
// Operations return result codes (see result:: in OutputSink.h) and never throw:
// 0 success, 6 overflow, 13 type mismatch, 52 no open workbook, and the file
// codes 57, 61, 70, 75, 76 for failures of the destination. Every value is
// checked and converted before the first byte of a record is written, so a
// refused record leaves nothing in the file.
#pragma once

#include "core/CodePage.h"
#include "core/OutputSink.h"
#include "excel/BiffRecords.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// <windows.h> turns CreateFile into a macro; the writer keeps its own name.
#if defined(_WIN32) && defined(CreateFile)
#undef CreateFile
#endif

namespace velloquin::excel {

// An automation date: days since 30 December 1899, time of day as fraction.
struct AutomationDate {
    double serial = 0;
};

// The value of a cell: a number, a text (UTF-8) or a date. It refers to the
// text, it does not copy it: pass it straight to WriteValue.
class CellValue {
  public:
    using Variant = std::variant<double, std::string_view, AutomationDate>;
    CellValue(double number) : value_(number) {}
    CellValue(int number) : value_(static_cast<double>(number)) {}
    CellValue(std::string_view text) : value_(text) {}
    CellValue(const char* text) : value_(std::string_view(text)) {}
    CellValue(const std::string& text) : value_(std::string_view(text)) {}
    CellValue(AutomationDate date) : value_(date) {}
    const Variant& Get() const { return value_; }

  private:
    Variant value_;
};

class ExcelFile {
  public:
    // WriteValue's ValueType.
    static constexpr int32_t kInteger = 0;
    static constexpr int32_t kNumber = 1;
    static constexpr int32_t kText = 2;

    ExcelFile();
    ~ExcelFile();
    ExcelFile(const ExcelFile&) = delete;
    ExcelFile& operator=(const ExcelFile&) = delete;

    // The Windows code page of the next workbook's texts (1252 unless set),
    // named in its CODEPAGE record. A file already open keeps its own.
    // Returns 6 for a code page this platform cannot write.
    int32_t SetCodePage(uint16_t codePage);
    // The code page of the workbook open or last written.
    uint16_t CodePage() const { return converter_.CodePage(); }
    // Characters of the last text written that the code page does not hold;
    // they were written as '?'.
    size_t LastTextReplaced() const { return lastReplaced_; }
    // The longest start of the text whose bytes in the code page fit
    // maxBytes; a cut never falls inside a character.
    std::string_view WorkbookTextPrefix(std::string_view utf8, size_t maxBytes);

    // Replaces any old file of that name, creates the file and writes BOF,
    // the code page and the built-in formats. Returns the failure's code when the old file
    // cannot be deleted, the file cannot be created or a write fails.
    // A workbook still open is finished first.
    int32_t CreateFile(const std::string& FileName);
    // The same onto any sink (memory, for instance).
    int32_t CreateFile(std::unique_ptr<OutputSink> sink);
    // Writes the sorted page breaks and EOF and closes the file. Before any
    // CreateFile it does nothing and returns 0; a second call returns 52.
    int32_t CloseFile();
    // Remembers a page break above the 1-based row; written by CloseFile.
    int32_t InsertHorizPageBreak(int32_t lrow);
    // One INTEGER (ValueType 0), NUMBER (1) or LABEL (2) record; any other
    // ValueType writes nothing and returns 0. Rows and columns are 1-based.
    int32_t WriteValue(int32_t ValueType, int32_t CellFontUsed, int32_t Alignment,
                       int32_t HiddenLocked, int32_t lrow, int32_t lcol, const CellValue& value,
                       int32_t CellFormat = 0);
    // WriteValue(kText, CellFontUsed, Alignment, 0, lrow, lcol, text): the same
    // record, result and bookkeeping. A row of a sheet is dozens of these, and
    // an ASCII text that fits goes straight into the file's buffer.
    int32_t WriteText(int32_t CellFontUsed, int32_t Alignment, int32_t lrow, int32_t lcol,
                      std::string_view text) {
        // What WriteValue checks and converts, in its order: at any doubt it
        // writes the cell itself.
        if (buffered_ && state_ == State::Open && lrow >= 1 && lrow <= 65536 && lcol >= 1 &&
            lcol <= 65536 && CellFontUsed >= 0 && CellFontUsed <= 255 && Alignment >= 0 &&
            Alignment <= 255 && text.size() <= biff::kMaxShortText && IsAscii(text)) {
            if (uint8_t* out = buffered_->Room(biff::kLabelHeadSize + text.size())) {
                const size_t size = biff::EncodeLabel(
                    out, static_cast<uint16_t>(lrow - 1), static_cast<uint16_t>(lcol - 1),
                    {0, static_cast<uint8_t>(CellFontUsed), static_cast<uint8_t>(Alignment)}, text);
                buffered_->Took(size);
                bytesWritten_ += size;
                lastReplaced_ = 0;
                return result::kOk;
            }
        }
        return WriteValue(kText, CellFontUsed, Alignment, 0, lrow, lcol, text, 0);
    }
    // Margin is the record number (0x26 left, 0x27 right, 0x28 top, 0x29
    // bottom); MarginValue in inches.
    int32_t SetMargin(int32_t Margin, double MarginValue);
    int32_t SetColumnWidth(uint8_t FirstColumn, uint8_t LastColumn, int16_t WidthValue);
    // FontFormat: 1 bold, 2 italic, 4 underline, 8 strikeout. The first four
    // fonts written are the ones a cell can select.
    int32_t SetFont(const std::string& FontName, int16_t FontHeight, int32_t FontFormat);
    int32_t SetHeader(const std::string& HeaderText);
    int32_t SetFooter(const std::string& FooterText);
    // Stores the text itself: no hashing, no encryption.
    int32_t SetFilePassword(const std::string& PasswordText);
    // Setters: a failed write is not reported here (it still shows at the
    // next operation and at CloseFile).
    void PrintGridLines(bool newvalue);
    void ProtectSpreadsheet(bool newvalue);
    // FORMATCOUNT and the 24 built-in formats; always returns 0.
    int32_t WriteDefaultFormats();
    // The two bytes of x, low byte first.
    static std::string MKI(int16_t x);
    int32_t SetDefaultRowHeight(int16_t HeightValue);
    int32_t SetRowHeight(int32_t lrow, int16_t HeightValue);

    // Pushes everything written so far to the file, so that a full disk shows
    // now rather than later.
    int32_t Flush();
    bool IsOpen() const { return state_ == State::Open; }
    // Bytes written into the current file, and of those the bytes that
    // reached it (the rest wait in the buffer).
    uint64_t BytesWritten() const { return bytesWritten_; }
    uint64_t BytesCommitted() const;
    // What the last failure was, in the system's words where it has any.
    const std::string& LastErrorText() const { return lastError_; }

  private:
    enum class State { NoFile, Open, Closed };

    // ASCII is the same in every code page. Eight bytes at a time, inline:
    // asked of every cell's text, most of them a few bytes long.
    static bool IsAscii(std::string_view text) {
        const char* p = text.data();
        size_t left = text.size();
        uint64_t high = 0;
        for (; left >= 8; p += 8, left -= 8) {
            uint64_t word = 0;
            std::memcpy(&word, p, 8);
            high |= word;
        }
        for (; left > 0; ++p, --left)
            high |= static_cast<unsigned char>(*p);
        return (high & 0x8080808080808080ull) == 0;
    }

    int32_t StartFile(std::unique_ptr<OutputSink> sink);
    int32_t WriteFormats();
    int32_t CheckOpen();
    int32_t Emit();
    int32_t Emit(std::span<const uint8_t> record);
    int32_t Fail(int32_t code, std::string reason);
    int32_t FailFromSink();
    int32_t ToWorkbookText(std::string_view utf8, size_t maxLength, std::string_view& bytes);

    State state_ = State::NoFile;
    std::unique_ptr<OutputSink> sink_;
    BufferedSink* buffered_ = nullptr; // sink_, when it is one
    std::vector<uint16_t> HorizPageBreakRows;
    biff::Bytes record_; // the record being written
    std::string text_;   // the text being converted, when it is not ASCII
    CodePageConverter converter_{kWesternCodePage};
    uint16_t nextCodePage_ = kWesternCodePage;
    size_t lastReplaced_ = 0;
    uint64_t bytesWritten_ = 0;
    std::string lastError_;
};

} // namespace velloquin::excel
