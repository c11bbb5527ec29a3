// Sheets in formats that hold every script (.xlsx, .csv), written instead of
// the BIFF 2.1 workbook: the same title row, the same 36 columns (and, for a
// Standard Mode run, one more for each field the 36 lack), one row per
// contact at the same row number.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velloquin::excel {

class ContactRowTexts;

// Cells of a row that do not hold their value exactly, by 1-based column.
struct AlteredCells {
    std::vector<int> cut;      // too long: the cell holds the value's start
    std::vector<int> replaced; // characters the format cannot hold became U+FFFD
};

class UnicodeSheet {
  public:
    virtual ~UnicodeSheet() = default;
    // The file name's extension, with its dot.
    virtual std::string_view Extension() const = 0;
    // The last row the format holds.
    virtual int64_t LastRow() const = 0;
    // Creates the file (an old one of that name is replaced) and writes the
    // title row of the given number of columns (SheetTitle). False, with the
    // reason, when it cannot.
    virtual bool Create(const std::string& path, int columns, std::string& why) = 0;
    // Writes one contact's row (the first contact's is row 2) of as many
    // columns as the texts hold. Columns whose value could not be written as
    // it stands go to altered. False, with the reason, when the write failed.
    virtual bool AddRow(int64_t row, const ContactRowTexts& texts, AlteredCells& altered,
                        std::string& why) = 0;
    // Finishes and closes the file. False, with the reason, when it could not
    // be finished: then no row can be counted on.
    virtual bool Close(std::string& why) = 0;
};

// UTF-8 with a byte-order mark, so that spreadsheet programs know the
// encoding; fields quoted as RFC 4180 asks (when they hold a comma, a double
// quote or a line break), rows ended by CR LF. Dates as the short-date text
// the workbook shows. A field that a spreadsheet program would take as a
// formula (it starts with =, +, -, @, a tab or a CR) starts with an
// apostrophe instead, so that it opens as the text it is.
std::unique_ptr<UnicodeSheet> MakeCsvSheet();

} // namespace velloquin::excel
