// A reader host that records what the reader hands it, and a run of the
// reader into a private folder, for the tests.
#pragma once

#include "support/Readers.h"
#include "vcard/Reader.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace velloquin::testing_support {

using testsupport::ReadFile;
using testsupport::WriteFile;

// Hands each finished contact on as the run does: Outlook first, then Excel,
// as pst and xls select them; the pictures go to saveFolder.
class RecordingHost : public ContactSink {
  public:
    bool pst = true, xls = true;
    std::string saveFolder, storeId = "store-1";
    std::string order; // "O" per Outlook, "X" per Excel hand-off
    std::vector<OutlookContactArgs> outlook;
    std::vector<ExcelContactArgs> excel;
    std::vector<int64_t> progress;
    RunNotes notes;

    void ContactFinished(const ContactRecord& record, ReadMode mode, int32_t ivCard) override {
        if (pst) {
            order += "O";
            outlook.push_back(MakeOutlookHandOff(record, storeId));
        }
        if (xls) {
            order += "X";
            excel.push_back(MakeExcelHandOff(record, mode == ReadMode::Advance, ivCard));
        }
    }
    void Progress(int64_t contactsFinished) override { progress.push_back(contactsFinished); }
    RunNotes& Notes() override { return notes; }
    std::string KeepPicture(std::string_view bytes, int32_t ivCard, std::string& failure) override {
        // The run's own picture files live a layer up; a file per contact is
        // all these tests look at.
        const std::string path = saveFolder + std::to_string(ivCard) + ".gif";
        std::ofstream out(path, std::ios::binary);
        if (out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) && out.flush())
            return path;
        failure = "The picture file \"" + path + "\" could not be written.";
        return {};
    }
};

// One conversion run of the reader; the pictures go to a fresh folder of
// its own (ctest runs the tests side by side).
struct Reading {
    RecordingHost host;
    ReadMode mode = ReadMode::Normal;
    int32_t ivCard = 1;
    ContactRecord record;
    testsupport::TempDir dir{"velloquin-vcard"};
    const std::filesystem::path folder = dir.Path();

    explicit Reading(bool advance = false)
        : Reading(advance ? ReadMode::Advance : ReadMode::Normal) {}
    explicit Reading(ReadMode readMode) : mode(readMode) {
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
        ReadvCardFrom((folder / "b.vcf").string(), source, mode, ivCard, record, host);
        return *this;
    }
    Reading& File(const std::string& path) {
        ReadvCard(path, mode, ivCard, record, host);
        return *this;
    }
    // The bytes as a backup file, its name passed with spaces around as a
    // window may.
    Reading& Backup(const std::string& bytes, const std::string& name = "b.vcf") {
        return File(" " + WriteFile(folder / name, bytes) + " ");
    }
};

} // namespace velloquin::testing_support
