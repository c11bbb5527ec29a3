// A reader host that records what the reader hands it, for the tests.
#pragma once

#include "vcard/Reader.h"
#include "vcard/Rules.h"

#include <filesystem>
#include <unistd.h>
#include <fstream>
#include <string>
#include <vector>

namespace velloquin::testing_support {

// A fresh, empty folder under the system's temporary folder, private to this
// process: ctest runs the tests of one binary side by side.
inline std::filesystem::path FreshFolder(const std::string& name) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("velloquin-vcard-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

inline std::string WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class RecordingHost : public ReaderHost {
  public:
    bool advance = false;
    bool pst = true;
    bool xls = true;
    std::string saveFolder;
    std::string storeId = "store-1";
    // Asked for by the reader once per line; lets a test switch modes part way.
    std::vector<bool> advancePerCall;
    size_t stopAfterHandOffs = 0; // 0: never

    std::vector<std::string> order; // "outlook" / "excel" in the order called
    std::vector<OutlookContactArgs> outlook;
    std::vector<ExcelContactArgs> excel;
    std::vector<std::string> captions;
    size_t pumps = 0;
    RunNotes notes;

    bool OptAdvance() override {
        if (advancePerCall.empty()) return advance;
        const bool a = advancePerCall.front();
        advancePerCall.erase(advancePerCall.begin());
        return a;
    }
    bool OptNormal() override { return !advance; }
    bool OptPST() override { return pst; }
    bool OptXLS() override { return xls; }
    void LetTheWindowWork() override { ++pumps; }
    void SetProgressCaption(const std::string& caption) override { captions.push_back(caption); }
    const std::string& SaveFolder() override { return saveFolder; }
    const std::string& PstStoreID() override { return storeId; }
    void CreateContactItem(const OutlookContactArgs& args) override {
        order.push_back("outlook");
        outlook.push_back(args);
    }
    void Save2ExcelContact(const ExcelContactArgs& args) override {
        order.push_back("excel");
        excel.push_back(args);
    }
    RunNotes& Notes() override { return notes; }
    bool StopRequested() override {
        return stopAfterHandOffs > 0 && std::max(outlook.size(), excel.size()) >= stopAfterHandOffs;
    }
};

} // namespace velloquin::testing_support
