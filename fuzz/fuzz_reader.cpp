// The reader with its property and photo rules on arbitrary backups, in both
// modes, handing every contact to the Excel sheet writer, which writes into
// memory. The backup is read from memory too; pictures go to a private
// folder, on tmpfs where the system has one. Every input is read in both modes
// (rather than a leading byte choosing one) so that the public backups seed
// both as they are.
#include "FuzzSupport.h"

#include "app/PictureFiles.h"
#include "core/OutputSink.h"
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

class SheetSink : public ContactSink {
  public:
    explicit SheetSink(excel::ContactSheet& sheet) : sheet_(sheet) {}

    void ContactFinished(const ContactRecord& record, ReadMode mode, int32_t ivCard) override {
        sheet_.Save2ExcelContact(MakeExcelHandOff(record, mode == ReadMode::Advance, ivCard),
                                 notes_);
    }
    RunNotes& Notes() override { return notes_; }
    std::string KeepPicture(std::string_view bytes, int32_t ivCard, std::string& failure) override {
        return app::WritePictureFile(fuzz::WorkFolderText(), bytes, ivCard, failure);
    }

  private:
    excel::ContactSheet& sheet_;
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
    if (!sheet.CreateExcelSheet(std::make_unique<MemorySink>(workbook), "memory", error))
        std::abort();

    SheetSink host(sheet);
    ContactRecord record;
    int32_t cardCounter = 1;
    MemorySource source(bytes);
    ReadvCardFrom("backup.vcf", source, advance ? ReadMode::Advance : ReadMode::Normal, cardCounter,
                  record, host);
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
