// Replays every input the fuzz targets ever crashed on (fuzz/regressions/<target>/)
// and the public backups through the same entry points the fuzz targets
// have, built here with the ordinary compiler. A fault aborts the test.
#include "support/LibreOffice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

extern "C" int FuzzReaderOneInput(const uint8_t* data, size_t size);
extern "C" int FuzzBase64OneInput(const uint8_t* data, size_t size);
#ifdef VELLOQUIN_HAVE_BEGIN_CHECK
extern "C" int FuzzBeginCheckOneInput(const uint8_t* data, size_t size);
#endif
#ifdef VELLOQUIN_HAVE_FUZZ_PST
extern "C" int FuzzPstOneInput(const uint8_t* data, size_t size);
#endif

namespace {

namespace fs = std::filesystem;
using EntryPoint = int (*)(const uint8_t*, size_t);

std::vector<fs::path> Inputs(const fs::path& folder) {
    std::vector<fs::path> files;
    if (fs::is_directory(folder))
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

void Replay(EntryPoint entry, const std::vector<fs::path>& files) {
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        std::ifstream in(file, std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
    }
}

struct Target {
    const char* name;
    EntryPoint entry;
};

class FuzzRegression : public ::testing::TestWithParam<Target> {
  protected:
    // The entry points keep their files in the folder this names, for the
    // whole process; it goes with the test suite.
    static void SetUpTestSuite() {
        work_ = std::make_unique<velloquin::testsupport::TempDir>("velloquin-fuzz-replay");
        setenv("VELLOQUIN_FUZZ_DIR", work_->Path().c_str(), 1);
    }
    static void TearDownTestSuite() { work_.reset(); }
    static std::unique_ptr<velloquin::testsupport::TempDir> work_;
};
std::unique_ptr<velloquin::testsupport::TempDir> FuzzRegression::work_;

TEST_P(FuzzRegression, KeptInputsRunClean) {
    Replay(GetParam().entry, Inputs(fs::path(VELLOQUIN_FUZZ_REGRESSIONS) / GetParam().name));
}

TEST_P(FuzzRegression, PublicBackupsRunClean) {
    Replay(GetParam().entry,
           Inputs(fs::path(VELLOQUIN_SHARED_TESTDATA) / "public-vcards" / "aosp"));
}

std::vector<Target> Targets() {
    std::vector<Target> targets = {{"fuzz_reader", FuzzReaderOneInput},
                                   {"fuzz_base64", FuzzBase64OneInput}};
#ifdef VELLOQUIN_HAVE_BEGIN_CHECK
    targets.push_back({"fuzz_begin_check", FuzzBeginCheckOneInput});
#endif
#ifdef VELLOQUIN_HAVE_FUZZ_PST
    targets.push_back({"fuzz_pst", FuzzPstOneInput});
#endif
    return targets;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegression, ::testing::ValuesIn(Targets()),
                         [](const auto& target) { return std::string(target.param.name); });

} // namespace
