// The Excel output of a run: "vCardContactsExported.xls" written with the
// program-wide ExcelFile writer.
#pragma once

#include "vcard/ContactRecord.h"
#include "vcard/RunNotes.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

namespace velloquin::excel {

class ByteSink;
class ExcelFile;

inline constexpr const char* kExcelSheetName = "vCardContactsExported.xls";

// One per program: the writer object is created on first use and serves
// every later run.
class ContactSheet {
  public:
    ContactSheet();
    ~ContactSheet();
    ContactSheet(const ContactSheet&) = delete;
    ContactSheet& operator=(const ContactSheet&) = delete;

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
    // Finishes and closes the file; a failure goes to notes.
    void CloseExcelSheet(RunNotes& notes);

  private:
    // A contact whose row may still sit in the writer's buffer.
    struct PendingRow {
        int64_t contact;
        uint64_t endOffset;
    };

    ExcelFile& Writer();
    bool WriteFixedPart(std::string& errorMessage);
    void WriteFailed(int64_t contact, RunNotes& notes);
    void ForgetCommittedRows();

    ExcelFile* writer_ = nullptr;
    std::string path_;
    bool writeFailed_ = false;
    std::deque<PendingRow> pending_;
};

} // namespace velloquin::excel
