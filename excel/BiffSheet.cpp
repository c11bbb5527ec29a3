#include "excel/BiffSheet.h"

#include "excel/ContactSheet.h"

#include <algorithm>
#include <array>

namespace velloquin::excel {

namespace {

// A contact's cells go out in this order of columns (the business address
// block before the columns 9 to 13), which keeps older files byte for byte.
constexpr std::array<int, kSheetColumns> kContactColumnOrder = {
    1,  2,  3,  4,  5,  6,  7,  8,  14, 15, 16, 17, 18, 9,  10, 11, 12, 13,
    19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36,
};

constexpr int32_t kHeaderFont = 64; // font 1, bold
constexpr int32_t kContactFont = 0; // font 0, regular
constexpr int32_t kAlignLeft = 1;

size_t CharacterCount(std::string_view utf8) {
    return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

} // namespace

std::string BiffSheet::PastLastRow(int64_t) const {
    return "a sheet ends at row 65536, which leaves room for 65535 contacts below the title row.";
}

Sheet::Created BiffSheet::Create(const std::string& path, int, std::string& why) {
    open_ = false;
    pending_.clear();
    lastRowKept_ = 1;
    std::unique_ptr<OutputSink> sink = std::move(sink_);
    if (writer_.SetCodePage(codePage_) != result::kOk ||
        (sink ? writer_.CreateFile(std::move(sink)) : writer_.CreateFile(path)) != result::kOk) {
        why = writer_.LastErrorText();
        return Created::kNotCreated;
    }
    if (!WriteFixedPart()) {
        why = writer_.LastErrorText();
        writer_.CloseFile();
        return Created::kNotWritten;
    }
    open_ = true;
    return Created::kYes;
}

bool BiffSheet::WriteFixedPart() {
    int32_t code = writer_.SetFont("Verdana", 10, 0);
    if (code == result::kOk) code = writer_.SetFont("Verdana", 10, 1);
    if (code == result::kOk) code = writer_.SetFont("Verdana", 10, 5);
    if (code == result::kOk) code = writer_.SetFont("Courier", 14, 3);
    if (code == result::kOk) code = writer_.SetHeader("BIFF 2.1 API");
    for (int column = 1; column <= kSheetColumns && code == result::kOk; ++column) {
        code = writer_.WriteValue(ExcelFile::kText, kHeaderFont, kAlignLeft, 0, 1, column,
                                  SheetTitle(column), 0);
    }
    // A device that cannot take even the fixed part should stop the run
    // before any contact is read.
    if (code == result::kOk) code = writer_.Flush();
    return code == result::kOk;
}

bool BiffSheet::AddRow(int64_t row, const ContactRowTexts& texts, AlteredCells& altered,
                       std::string& why) {
    for (int column : kContactColumnOrder) {
        const double date = texts.Date(column);
        auto write = [&](std::string_view text) {
            return writer_.WriteText(kContactFont, kAlignLeft, static_cast<int32_t>(row), column,
                                     text);
        };
        int32_t code = result::kOk;
        if (date != 0) {
            code = writer_.WriteValue(ExcelFile::kText, kContactFont, kAlignLeft, 0,
                                      static_cast<int32_t>(row), column, AutomationDate{date}, 0);
        } else {
            const std::string_view text = texts.Column(column);
            code = write(text);
            // Too long for a cell in the code page: as much as fits, cut
            // between characters.
            if (code == result::kOverflow && !text.empty()) {
                const std::string_view kept = writer_.WorkbookTextPrefix(text, biff::kMaxShortText);
                altered.cutInCodePage.emplace_back(column, CharacterCount(kept));
                code = write(kept);
            }
        }
        if (code != result::kOk) {
            why = writer_.LastErrorText();
            ForgetCommittedRows();
            return false;
        }
        if (writer_.LastTextReplaced() > 0) ++altered.valuesLosingCharacters;
    }
    pending_.push_back({row, writer_.BytesWritten()});
    ForgetCommittedRows();
    return true;
}

// Rows that reached the file cannot be lost any more.
void BiffSheet::ForgetCommittedRows() {
    const uint64_t committed = writer_.BytesCommitted();
    while (!pending_.empty() && pending_.front().endOffset <= committed) {
        lastRowKept_ = pending_.front().row;
        pending_.pop_front();
    }
}

bool BiffSheet::Close(std::string& why) {
    if (!open_) return true;
    open_ = false;
    const bool closed = writer_.CloseFile() == result::kOk;
    ForgetCommittedRows();
    pending_.clear();
    if (!closed) why = writer_.LastErrorText();
    return closed;
}

} // namespace velloquin::excel
