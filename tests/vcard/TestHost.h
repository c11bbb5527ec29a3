// A reader host that records what the reader hands it, and a run of the
// reader into a private folder, for the tests.
#pragma once

#include "support/Readers.h"
#include "vcard/Reader.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace velloquin::testing_support {

using testsupport::ReadFile;
using testsupport::WriteFile;

class RecordingHost : public ReaderHost {
  public:
    bool advance = false, pst = true, xls = true;
    std::string saveFolder, storeId = "store-1";
    std::string order; // "O" per Outlook, "X" per Excel hand-off
    std::vector<OutlookContactArgs> outlook;
    std::vector<ExcelContactArgs> excel;
    std::vector<std::string> captions;
    RunNotes notes;

    bool OptAdvance() override { return advance; }
    bool OptNormal() override { return !advance; }
    bool OptPST() override { return pst; }
    bool OptXLS() override { return xls; }
    void LetTheWindowWork() override {}
    void SetProgressCaption(const std::string& caption) override { captions.push_back(caption); }
    const std::string& SaveFolder() override { return saveFolder; }
    const std::string& PstStoreID() override { return storeId; }
    void CreateContactItem(const OutlookContactArgs& args) override {
        order += "O";
        outlook.push_back(args);
    }
    void Save2ExcelContact(const ExcelContactArgs& args) override {
        order += "X";
        excel.push_back(args);
    }
    RunNotes& Notes() override { return notes; }
    bool StopRequested() override { return false; }
};

// One conversion run of the reader; the pictures go to a fresh folder of
// its own (ctest runs the tests side by side).
struct Reading {
    RecordingHost host;
    int32_t ivCard = 1;
    ContactRecord record;
    testsupport::TempDir dir{"velloquin-vcard"};
    const std::filesystem::path folder = dir.Path();

    explicit Reading(bool advance = false) {
        host.advance = advance;
        host.saveFolder = (folder / "").string(); // with the system's separator
    }
    // The bytes as they come from a slow source: a few at a time, so that
    // lines, CR LF pairs and characters are cut at every place.
    Reading& Trickle(const std::string& bytes, size_t step) {
        struct Source : ByteSource {
            std::string_view bytes;
            size_t step = 1, pos = 0;
            bool Open(std::string&) override {
                pos = 0;
                return true;
            }
            bool Read(char* buffer, size_t size, size_t& got, std::string&) override {
                got = std::min({size, step, bytes.size() - pos});
                bytes.copy(buffer, got, pos);
                pos += got;
                return true;
            }
        } source;
        source.bytes = bytes;
        source.step = step;
        ReadvCardFrom((folder / "b.vcf").string(), source, ivCard, record, host);
        return *this;
    }
    Reading& File(const std::string& path) {
        ReadvCard(path, ivCard, record, host);
        return *this;
    }
    // The bytes as a backup file, its name passed with spaces around as a
    // window may.
    Reading& Backup(const std::string& bytes, const std::string& name = "b.vcf") {
        return File(" " + WriteFile(folder / name, bytes) + " ");
    }
};

} // namespace velloquin::testing_support
