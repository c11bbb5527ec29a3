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

namespace velloquin::excel {

class ByteSink;
class ExcelFile;
class UnicodeSheet;

inline constexpr const char* kExcelSheetName = "vCardContactsExported.xls";
inline constexpr int kSheetColumns = 36;

// The 36 column titles, column 1 first.
const std::array<const char*, kSheetColumns>& SheetTitles();

// The texts of a contact's row as every sheet writes them, by 1-based column:
// column 1 the full name when the first name is blank, the streets with their
// vCard escapes resolved. Birthday and anniversary (34, 35) are left empty:
// they are dates.
class ContactRowTexts {
  public:
    explicit ContactRowTexts(const ExcelContactArgs& args);
    ContactRowTexts(const ContactRowTexts&) = delete;
    ContactRowTexts& operator=(const ContactRowTexts&) = delete;
    std::string_view Column(int column) const { return texts_[static_cast<size_t>(column)]; }

  private:
    std::string businessStreet_;
    std::string personalStreet_;
    std::array<std::string_view, kSheetColumns + 1> texts_;
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
    // Writes the next sheets in a Unicode format instead (its extension
    // replacing ".xls" in the path); null goes back to BIFF 2.1.
    void UseUnicodeSheet(std::unique_ptr<UnicodeSheet> sheet);
    // False while a Unicode format is chosen: then no code page is needed.
    bool UsesCodePage() const { return !unicode_; }
    // The file of the current or last sheet.
    const std::string& Path() const { return path_; }

    // Creates the file and writes its fixed part. Returns false, with a
    // message naming the file and the reason, when the file cannot be created.
    bool CreateExcelSheet(const std::string& ExcelSheetPath, std::string& errorMessage);
    // The same onto any sink (memory, for tests and fuzzing); `name` stands
    // for the file in messages.
    bool CreateExcelSheet(std::unique_ptr<ByteSink> sink, const std::string& name,
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
    // A contact whose row may still sit in the writer's buffer.
    struct PendingRow {
        int64_t contact;
        uint64_t endOffset;
    };

    ExcelFile& Writer();
    bool StartSheet(std::string& errorMessage);
    bool CreateUnicodeSheet(std::string& errorMessage);
    void SaveUnicodeRow(const ExcelContactArgs& args, int64_t row, RunNotes& notes);
    void CloseUnicodeSheet(RunNotes& notes);
    bool WriteFixedPart(std::string& errorMessage);
    void WriteFailed(int64_t contact, RunNotes& notes);
    void ForgetCommittedRows();

    ExcelFile* writer_ = nullptr;
    std::string path_;
    bool writeFailed_ = false;
    std::deque<PendingRow> pending_;
    uint16_t codePage_ = 1252;
    std::unique_ptr<UnicodeSheet> unicode_;
    bool unicodeOpen_ = false;
    std::vector<int64_t> unicodeContacts_; // rows given to the Unicode sheet
    int64_t valuesLosing_ = 0;
    int64_t contactsLosing_ = 0;
};

} // namespace velloquin::excel
