#include "excel/XlsxSheet.h"

#include "core/Text.h"
#include "excel/ContactSheet.h"
#include "excel/Sheet.h"
#include "excel/ShortDate.h"
#include "platform/Files.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace velloquin::excel {

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

bool AllowedInXml(char32_t cp) {
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
           (cp >= 0xE000 && cp <= 0xFFFD) || cp >= 0x10000;
}

// The text with every character that XML 1.0 forbids (most control
// characters, U+FFFE, U+FFFF) and every byte that is not UTF-8 as U+FFFD:
// one of them would make the sheet's XML ill-formed, and readers then drop
// the row or the file; a NUL would end the value early.
std::string_view XmlSafe(std::string_view text, std::string& safe, bool& replaced) {
    replaced = false;
    size_t pos = 0;
    for (;;) {
        size_t next = pos;
        char32_t cp = 0;
        size_t length = 0;
        while (next < text.size() && (length = Utf8CharLength(text, next, cp)) > 0 &&
               AllowedInXml(cp))
            next += length;
        if (next == text.size()) break;
        if (!replaced) safe.clear();
        replaced = true;
        safe.append(text.substr(pos, next - pos));
        safe += "\xEF\xBF\xBD";
        pos = next + std::max<size_t>(length, 1);
    }
    if (!replaced) return text;
    safe.append(text.substr(pos));
    return safe;
}

// Readers take "_x" with four hex digits and "_" in a cell's text as the
// escape of that character ("_x000D_" a CR): such a text of the contact's
// own has its underscore written as its escape, "_x005F_", so that it reads
// back as it stands.
std::string_view KeepEscapeLookAlikes(std::string_view text, std::string& kept) {
    auto looksLikeEscape = [&](size_t at) {
        if (at + 7 > text.size() || text[at + 1] != 'x' || text[at + 6] != '_') return false;
        return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at) + 2,
                           text.begin() + static_cast<std::ptrdiff_t>(at) + 6,
                           [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
    };
    size_t at = text.find("_x");
    while (at != std::string_view::npos && !looksLikeEscape(at))
        at = text.find("_x", at + 1);
    if (at == std::string_view::npos) return text;
    kept.clear();
    for (size_t pos = 0; pos < text.size(); ++pos) {
        if (text[pos] == '_' && looksLikeEscape(pos)) kept += "_x005F";
        kept += text[pos];
    }
    return kept;
}

class XlsxSheet final : public excel::Sheet {
  public:
    ~XlsxSheet() override {
        if (book_) workbook_close(book_);
    }
    std::string_view Extension() const override { return ".xlsx"; }
    int64_t LastRow() const override { return LXW_ROW_MAX; }

    Created Create(const std::string& path, int columns, std::string& why) override {
        if (book_) workbook_close(book_);
        book_ = nullptr;
        // libxlsxwriter writes the file only when it is closed: a folder that
        // cannot take it should show now, before any contact is read.
        // (The name is UTF-8, which only the platform's own open takes on
        // Windows; libxlsxwriter converts it itself.)
        std::FILE* probe = platform::OpenFile(path, "wb");
        if (!probe) {
            why = std::strerror(errno);
            return Created::kNotCreated;
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
            return Created::kNotCreated;
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
        for (int column = 1; column <= columns; ++column) {
            const lxw_error error = worksheet_write_string(
                sheet_, 0, static_cast<lxw_col_t>(column - 1), excel::SheetTitle(column), bold_);
            if (error != LXW_NO_ERROR) {
                why = lxw_strerror(error);
                return Created::kNotCreated;
            }
        }
        return Created::kYes;
    }

    bool AddRow(int64_t row, const excel::ContactRowTexts& texts, excel::AlteredCells& altered,
                std::string& why) override {
        const auto index = static_cast<lxw_row_t>(row - 1);
        std::string text;
        for (int column = 1; column <= texts.Columns(); ++column) {
            const auto col = static_cast<lxw_col_t>(column - 1);
            const double date = texts.Date(column);
            lxw_error error = LXW_NO_ERROR;
            if (date >= kFirstSharedDay) {
                error = worksheet_write_number(sheet_, index, col, date, date_);
            } else if (date != 0) {
                text = excel::DateValueText(date).value_or("");
                error = worksheet_write_string(sheet_, index, col, text.c_str(), nullptr);
            } else if (!texts.Column(column).empty()) {
                // An empty text would still make a cell; the .xls has none to show either.
                bool wasReplaced = false, wasCut = false;
                text = KeepEscapeLookAlikes(
                    CellPrefix(XmlSafe(texts.Column(column), safe_, wasReplaced), wasCut), kept_);
                if (wasReplaced) altered.replaced.push_back(column);
                if (wasCut) altered.cut.push_back(column);
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
    std::string safe_, kept_;
};

} // namespace

std::unique_ptr<Sheet> MakeXlsxSheet() {
    return std::make_unique<XlsxSheet>();
}

} // namespace velloquin::excel
