// The reader with its property and photo rules on arbitrary backups, in both
// modes, handing every contact to the Excel sheet writer, which writes into
// memory. The backup is read from memory too; pictures go to a private
// folder, on tmpfs where the system has one. Every input is read in both modes
// (rather than a leading byte choosing one) so that the public backups seed
// both as they are.
#include "FuzzSupport.h"

#include "excel/ByteSink.h"
#include "excel/ContactSheet.h"
#include "vcard/Reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace velloquin;

class SheetHost : public ReaderHost {
  public:
    SheetHost(excel::ContactSheet& sheet, bool advance) : sheet_(sheet), advance_(advance) {}

    bool OptAdvance() override { return advance_; }
    bool OptNormal() override { return !advance_; }
    bool OptPST() override { return false; }
    bool OptXLS() override { return true; }
    void LetTheWindowWork() override {}
    void SetProgressCaption(const std::string&) override {}
    const std::string& SaveFolder() override { return fuzz::WorkFolderText(); }
    const std::string& PstStoreID() override { return storeId_; }
    void CreateContactItem(const OutlookContactArgs&) override { std::abort(); }
    void Save2ExcelContact(const ExcelContactArgs& args) override {
        sheet_.Save2ExcelContact(args, notes_);
    }
    RunNotes& Notes() override { return notes_; }

  private:
    excel::ContactSheet& sheet_;
    bool advance_;
    std::string storeId_;
    RunNotes notes_;
};

} // namespace

namespace {

void ReadInMode(std::string_view bytes, bool advance) {
    // One writer object serves every run of the program.
    static excel::ContactSheet sheet;
    static std::vector<uint8_t> workbook;
    workbook.clear();
    std::string error;
    if (!sheet.CreateExcelSheet(std::make_unique<excel::MemorySink>(workbook), "memory", error))
        std::abort();

    SheetHost host(sheet, advance);
    ContactRecord record;
    int32_t cardCounter = 1;
    MemorySource source(bytes);
    ReadvCardFrom("backup.vcf", source, cardCounter, record, host);
    sheet.CloseExcelSheet(host.Notes());

    // A finished workbook: BOF first, EOF last.
    const size_t n = workbook.size();
    if (n < 8 || workbook[0] != 0x09 || workbook[1] != 0x00 || workbook[n - 4] != 0x0A ||
        workbook[n - 3] != 0 || workbook[n - 2] != 0 || workbook[n - 1] != 0)
        std::abort();
    // Nothing but numbered pictures may appear.
    for (const auto& entry : std::filesystem::directory_iterator(fuzz::WorkFolder())) {
        const std::string name = entry.path().filename().string();
        if (!fuzz::IsPictureName(name)) std::abort();
        std::filesystem::remove(entry.path());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ReadInMode(bytes, false);
    ReadInMode(bytes, true);
    fuzz::EmptyWorkFolder();
    return 0;
}
