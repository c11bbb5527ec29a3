// Times the reader alone over a backup: every contact is handed to a host
// that keeps nothing, so the figure is the reading and the rules.
#include "vcard/Reader.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

class NullHost : public velloquin::ReaderHost {
  public:
    explicit NullHost(std::string folder, bool advance) : folder_(std::move(folder)), advance_(advance) {}
    bool OptAdvance() override { return advance_; }
    bool OptNormal() override { return !advance_; }
    bool OptPST() override { return false; }
    bool OptXLS() override { return true; }
    void LetTheWindowWork() override {}
    void SetProgressCaption(const std::string& caption) override { last_ = caption; }
    const std::string& SaveFolder() override { return folder_; }
    const std::string& PstStoreID() override { return id_; }
    void CreateContactItem(const velloquin::OutlookContactArgs&) override {}
    void Save2ExcelContact(const velloquin::ExcelContactArgs&) override { ++contacts; }
    velloquin::RunNotes& Notes() override { return notes_; }

    long contacts = 0;

  private:
    std::string folder_, id_, last_;
    bool advance_;
    velloquin::RunNotes notes_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: velloquin-readbench BACKUP.vcf PICTURE_DIR [--advance]\n");
        return 2;
    }
    std::string folder = argv[2];
    if (!folder.empty() && folder.back() != '/') folder += '/';
    std::filesystem::create_directories(folder);
    NullHost host(folder, argc > 3 && std::string(argv[3]) == "--advance");
    velloquin::ContactRecord record;
    int32_t counter = 1;
    auto start = std::chrono::steady_clock::now();
    velloquin::ReadvCard(argv[1], counter, record, host);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%ld contacts read in %.3f s (%zu notes)\n", host.contacts, seconds,
                host.Notes().Total());
    return 0;
}
