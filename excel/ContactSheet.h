// The Excel output of a run: "vCardContactsExported.xls" written with the
// program-wide ExcelFile writer.
#pragma once

#include "core/ContactRecord.h"
#include "core/RunNotes.h"

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velloquin {
class OutputSink;
}

namespace velloquin::excel {

class BiffSheet;
class Sheet;

inline constexpr const char* kExcelSheetName = "vCardContactsExported.xls";
inline constexpr int kSheetColumns = 36;

namespace sheetfields {
constexpr int CountExtraColumns() {
    int count = 0;
    for (const ContactField& field : kContactFields)
        count += field.sheet[0].place == 0;
    return count;
}
constexpr int CountAddressColumns() {
    int count = 0;
    for (const ContactField& field : kContactFields)
        count += field.address && field.sheet[0].place >= 0;
    return count;
}
} // namespace sheetfields

// The columns the .xlsx and .csv sheets of a Standard Mode run add after the
// 36, one for each field that has no column of the workbook.
inline constexpr int kExtraSheetColumns = sheetfields::CountExtraColumns();
inline constexpr int kWideSheetColumns = kSheetColumns + kExtraSheetColumns;

namespace sheetfields {
// The date field of each column (std::size(kContactFields): none). Indexes, not member
// pointers: GCC 12 fills the untouched end of a constant array of member
// pointers with the first member rather than with nulls.
inline constexpr std::array<size_t, kWideSheetColumns + 1> kDateOfColumn = [] {
    std::array<size_t, kWideSheetColumns + 1> dates{};
    dates.fill(std::size(kContactFields));
    for (size_t i = 0; i < std::size(kContactFields); ++i)
        for (const SheetColumn& column : kContactFields[i].sheet)
            if (kContactFields[i].date && column.place > 0)
                dates[static_cast<size_t>(column.place)] = i;
    return dates;
}();
} // namespace sheetfields

// The 36 column titles, column 1 first.
const std::array<const char*, kSheetColumns>& SheetTitles();
// The title of any column, 1 to kWideSheetColumns.
const char* SheetTitle(int column);

// The values of the record that the 36 columns of the workbook do not show.
int ValuesWithoutColumn(const ContactRecord& record);

// The texts of a contact's row as every sheet writes them, by 1-based column:
// column 1 the full name when the first name is blank, the streets with their
// vCard escapes resolved. Date columns have an empty text and their date in
// Date(). With `wide`, the columns after the 36 are filled too.
class ContactRowTexts {
  public:
    explicit ContactRowTexts(const ContactRecord& contact, bool wide = false);
    ContactRowTexts(const ContactRowTexts&) = delete;
    ContactRowTexts& operator=(const ContactRowTexts&) = delete;
    int Columns() const { return columns_; }
    std::string_view Column(int column) const { return texts_[static_cast<size_t>(column)]; }
    // The automation date of a date column, 0 for any other column.
    double Date(int column) const {
        const size_t field = sheetfields::kDateOfColumn[static_cast<size_t>(column)];
        return field < std::size(kContactFields) ? contact_.*kContactFields[field].date : 0;
    }

  private:
    const ContactRecord& contact_;
    int columns_;
    std::array<std::string, sheetfields::CountAddressColumns()> cleaned_;
    std::array<std::string_view, kWideSheetColumns + 1> texts_;
};

// One per program: the writer object is created on first use and serves
// every later run.
class ContactSheet {
  public:
    ContactSheet();
    ~ContactSheet();
    ContactSheet(const ContactSheet&) = delete;
    ContactSheet& operator=(const ContactSheet&) = delete;

    // The Windows code page of the next sheet's texts (1252 unless set).
    void SetCodePage(uint16_t codePage) { codePage_ = codePage; }
    uint16_t CodePage() const { return codePage_; }
    // Whether the next sheets are of a Standard Mode run, whose readings fill
    // fields that the 36 columns of the workbook lack: the .xlsx and .csv
    // sheets then add a column for each, and the workbook counts the values
    // it has no column for in one note.
    void KeepEveryField(bool standard) { everyField_ = standard; }
    // Writes the next sheets in a Unicode format instead (its extension
    // replacing ".xls" in the path); null goes back to BIFF 2.1.
    void UseUnicodeSheet(std::unique_ptr<Sheet> sheet);
    // False while a Unicode format is chosen: then no code page is needed.
    bool UsesCodePage() const { return !unicode_; }
    // The file of the current or last sheet.
    const std::string& Path() const { return path_; }

    // Creates the file and writes its fixed part. Returns false, with a
    // message naming the file and the reason, when the file cannot be created.
    bool CreateExcelSheet(const std::string& ExcelSheetPath, std::string& errorMessage);
    // The same onto any sink (memory, for tests and fuzzing); `name` stands
    // for the file in messages.
    bool CreateExcelSheet(std::unique_ptr<OutputSink> sink, const std::string& name,
                          std::string& errorMessage);
    // Writes the contact's row; problems (a cut value, a failed write, a row
    // past the sheet's end) go to notes.
    void Save2ExcelContact(const ExcelContactArgs& args, RunNotes& notes);
    // Finishes and closes the file; a failure goes to notes, and so do the
    // values that lost characters the code page does not hold, in one note.

    void CloseExcelSheet(RunNotes& notes);

    // Values of the sheet written so far that lost characters, and the
    // contacts they belong to.
    int64_t ValuesLosingCharacters() const { return valuesLosing_; }
    int64_t ContactsLosingCharacters() const { return contactsLosing_; }

  private:
    // A contact whose row the sheet has not yet made sure of.
    struct PendingRow {
        int64_t contact;
        int64_t row;
    };

    BiffSheet& Biff();
    bool Start(Sheet& sheet, std::string& errorMessage);
    void WriteFailed(int64_t contact, const std::string& why, RunNotes& notes);
    void ForgetKeptRows();

    std::unique_ptr<BiffSheet> biff_; // made on first use, kept for every later run
    std::unique_ptr<Sheet> unicode_;
    Sheet* sheet_ = nullptr; // the sheet open or last written
    std::string path_;
    bool open_ = false;
    bool writeFailed_ = false;
    std::deque<PendingRow> pending_;
    uint16_t codePage_ = 1252;
    int64_t valuesLosing_ = 0;
    int64_t contactsLosing_ = 0;
    bool everyField_ = false;
    int64_t valuesWithoutColumn_ = 0;
    int64_t contactsWithoutColumn_ = 0;
};

} // namespace velloquin::excel
