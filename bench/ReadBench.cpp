// Times the reader alone over a backup: every contact is handed to a sink
// that keeps nothing, so the figure is the reading and the rules.
#include "app/PictureFiles.h"
#include "vcard/Reader.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

class NullSink : public velloquin::ContactSink {
  public:
    explicit NullSink(std::string folder) : folder_(std::move(folder)) {}
    void ContactFinished(const velloquin::ContactRecord&, velloquin::ReadMode, int32_t) override {
        ++contacts;
    }
    velloquin::RunNotes& Notes() override { return notes_; }
    std::string KeepPicture(std::string_view bytes, int32_t ivCard, std::string& failure) override {
        return velloquin::app::WritePictureFile(folder_, bytes, ivCard, failure);
    }
    std::string KeepPictureAs(std::string_view bytes, int32_t ivCard, std::string_view extension,
                              std::string& failure) override {
        return velloquin::app::WritePictureFile(folder_, bytes, ivCard, failure, extension);
    }

    long contacts = 0;

  private:
    std::string folder_;
    velloquin::RunNotes notes_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: velloquin-readbench BACKUP.vcf PICTURE_DIR [--advance|--standard]\n");
        return 2;
    }
    std::string folder = argv[2];
    if (!folder.empty() && folder.back() != '/') folder += '/';
    std::filesystem::create_directories(folder);
    NullSink host(folder);
    const std::string option = argc > 3 ? argv[3] : "";
    const velloquin::ReadMode mode = option == "--advance"    ? velloquin::ReadMode::Advance
                                     : option == "--standard" ? velloquin::ReadMode::Standard
                                                              : velloquin::ReadMode::Normal;
    velloquin::ContactRecord record;
    int32_t counter = 1;
    auto start = std::chrono::steady_clock::now();
    velloquin::ReadvCard(argv[1], mode, counter, record, host);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%ld contacts read in %.3f s (%zu notes)\n", host.contacts, seconds,
                host.Notes().Total());
    return 0;
}
