#include "XlsxSheet.h"

#include "excel/ContactSheet.h"
#include "excel/ShortDate.h"
#include "platform/Files.h"

#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace velloquin::cli {

namespace {

// Excel's longest cell text, in characters.
constexpr size_t kMaxCellCharacters = 32767;
// Day 61 is 1 March 1900: from there on Excel's day numbers and automation
// dates agree (Excel counts a 29 February 1900 that never was). Earlier
// dates are written as text.
constexpr double kFirstSharedDay = 61;

// The first kMaxCellCharacters characters of the UTF-8 text.
std::string_view CellPrefix(std::string_view text, bool& cut) {
    size_t characters = 0;
    for (size_t pos = 0; pos < text.size(); ++pos) {
        if ((static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) continue;
        if (++characters > kMaxCellCharacters) {
            cut = true;
            return text.substr(0, pos);
        }
    }
    cut = false;
    return text;
}

class XlsxSheet final : public excel::UnicodeSheet {
  public:
    ~XlsxSheet() override {
        if (book_) workbook_close(book_);
    }
    std::string_view Extension() const override { return ".xlsx"; }
    int64_t LastRow() const override { return LXW_ROW_MAX; }

    bool Create(const std::string& path, std::string& why) override {
        if (book_) workbook_close(book_);
        book_ = nullptr;
        // libxlsxwriter writes the file only when it is closed: a folder that
        // cannot take it should show now, before any contact is read.
        // (The name is UTF-8, which only the platform's own open takes on
        // Windows; libxlsxwriter converts it itself.)
        std::FILE* probe = platform::OpenFile(path, "wb");
        if (!probe) {
            why = std::strerror(errno);
            return false;
        }
        std::fclose(probe);
        // Rows go out as they come, so that memory stays flat however many
        // contacts there are.
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        book_ = workbook_new_opt(path.c_str(), &options);
        sheet_ = book_ ? workbook_add_worksheet(book_, "Contacts") : nullptr;
        if (!sheet_) {
            why = "the workbook could not be started";
            return false;
        }
        bold_ = workbook_add_format(book_);
        format_set_bold(bold_);
        date_ = workbook_add_format(book_);
        const std::string code = excel::ShortDateFormatCode();
        if (code.empty())
            format_set_num_format_index(date_, 14);
        else
            format_set_num_format(date_, code.c_str());
        worksheet_freeze_panes(sheet_, 1, 0);
        for (int column = 1; column <= excel::kSheetColumns; ++column) {
            const lxw_error error = worksheet_write_string(
                sheet_, 0, static_cast<lxw_col_t>(column - 1),
                excel::SheetTitles()[static_cast<size_t>(column - 1)], bold_);
            if (error != LXW_NO_ERROR) {
                why = lxw_strerror(error);
                return false;
            }
        }
        return true;
    }

    bool AddRow(int64_t row, const excel::ContactRowTexts& texts, double birthday,
                double anniversary, std::vector<int>& cut, std::string& why) override {
        const auto index = static_cast<lxw_row_t>(row - 1);
        std::string text;
        for (int column = 1; column <= excel::kSheetColumns; ++column) {
            const auto col = static_cast<lxw_col_t>(column - 1);
            const double date = column == 34 ? birthday : column == 35 ? anniversary : 0;
            lxw_error error = LXW_NO_ERROR;
            if (date >= kFirstSharedDay) {
                error = worksheet_write_number(sheet_, index, col, date, date_);
            } else if (date != 0) {
                text = excel::DateValueText(date).value_or("");
                error = worksheet_write_string(sheet_, index, col, text.c_str(), nullptr);
            } else if (!texts.Column(column).empty()) {
                // An empty text would still make a cell; the .xls has none to show either.
                bool wasCut = false;
                text = CellPrefix(texts.Column(column), wasCut);
                if (wasCut) cut.push_back(column);
                error = worksheet_write_string(sheet_, index, col, text.c_str(), nullptr);
            }
            if (error != LXW_NO_ERROR) {
                why = lxw_strerror(error);
                return false;
            }
        }
        return true;
    }

    bool Close(std::string& why) override {
        if (!book_) return true;
        const lxw_error error = workbook_close(book_);
        book_ = nullptr;
        if (error == LXW_NO_ERROR) return true;
        why = lxw_strerror(error);
        return false;
    }

  private:
    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* bold_ = nullptr;
    lxw_format* date_ = nullptr;
};

} // namespace

std::unique_ptr<excel::UnicodeSheet> MakeXlsxSheet() {
    return std::make_unique<XlsxSheet>();
}

} // namespace velloquin::cli
