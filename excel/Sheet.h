// Every format a contact sheet is written in: the BIFF 2.1 workbook (.xls),
// and the formats that hold every script (.xlsx, .csv). All have the same
// title row and the same 36 columns (the Unicode ones, for a Standard Mode
// run, one more for each field the 36 lack), one row per contact at the same
// row number. ContactSheet drives any of them and words the notes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velloquin::excel {

class ContactRowTexts;

// Cells of a row that do not hold their value exactly, by 1-based column.
struct AlteredCells {
    std::vector<int> cut;      // too long: the cell holds the value's start
    std::vector<int> replaced; // characters the format cannot hold became U+FFFD
    // Too long for a cell in the workbook's code page: the column and the
    // characters the cell kept.
    std::vector<std::pair<int, size_t>> cutInCodePage;
    // Values that lost characters the workbook's code page does not hold
    // (written as '?').
    int valuesLosingCharacters = 0;
};

class Sheet {
  public:
    enum class Created { kYes, kNotCreated, kNotWritten };

    virtual ~Sheet() = default;
    // The file name's extension, with its dot.
    virtual std::string_view Extension() const = 0;
    // What the messages call the file.
    virtual std::string_view Noun() const { return "file"; }
    // The last row the format holds.
    virtual int64_t LastRow() const = 0;
    // Why a contact that would need this row (past LastRow) is missing.
    virtual std::string PastLastRow(int64_t row) const {
        return "a sheet ends at row " + std::to_string(LastRow()) +
               ", and this contact would need row " + std::to_string(row) + ".";
    }
    // False for a format of only the 36 columns.
    virtual bool HoldsEveryField() const { return true; }
    // True for a format that writes texts in a Windows code page.
    virtual bool UsesCodePage() const { return false; }
    // Creates the file (an old one of that name is replaced) and writes the
    // title row of the given number of columns (SheetTitle). kNotCreated or
    // kNotWritten, with the reason, when it cannot; the file is closed then.
    virtual Created Create(const std::string& path, int columns, std::string& why) = 0;
    // Writes one contact's row (the first contact's is row 2) of as many
    // columns as the texts hold. Columns whose value could not be written as
    // it stands go to altered. False, with the reason, when the write failed.
    virtual bool AddRow(int64_t row, const ContactRowTexts& texts, AlteredCells& altered,
                        std::string& why) = 0;
    // The last row that has reached the file and stays there whatever fails
    // later (1: none but the titles). The rows after it are lost with a
    // failed write.
    virtual int64_t LastRowKept() const { return 1; }
    // Finishes and closes the file. False, with the reason, when it could not
    // be finished: then the rows after LastRowKept are lost.
    virtual bool Close(std::string& why) = 0;
};

// UTF-8 with a byte-order mark, so that spreadsheet programs know the
// encoding; fields quoted as RFC 4180 asks (when they hold a comma, a double
// quote or a line break), rows ended by CR LF. Dates as the short-date text
// the workbook shows. A field that a spreadsheet program would take as a
// formula (it starts with =, +, -, @, a tab or a CR) starts with an
// apostrophe instead, so that it opens as the text it is.
std::unique_ptr<Sheet> MakeCsvSheet();

} // namespace velloquin::excel
