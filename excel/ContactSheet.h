// The Excel output of a run: "vCardContactsExported.xls" written with the
// program-wide ExcelFile writer.
#pragma once

#include "vcard/ContactRecord.h"
#include "vcard/RunNotes.h"

#include <string>

namespace velloquin::excel {

class ExcelFile;

inline constexpr const char* kExcelSheetName = "vCardContactsExported.xls";

// One per program: the writer object is created on first use and serves
// every later run.
class ContactSheet {
  public:
    ContactSheet();
    ~ContactSheet();

    // Creates the file and writes its fixed part. Returns false, with a
    // message naming the file and the reason, when the file cannot be created.
    bool CreateExcelSheet(const std::string& ExcelSheetPath, std::string& errorMessage);
    // Writes the contact's row; problems (a cut value, a failed write, a row
    // past the sheet's end) go to notes.
    void Save2ExcelContact(const ExcelContactArgs& args, RunNotes& notes);
    // Finishes and closes the file; a failure goes to notes.
    void CloseExcelSheet(RunNotes& notes);

  private:
    ExcelFile& Writer();
    ExcelFile* writer_ = nullptr;
    std::string path_;
};

} // namespace velloquin::excel
