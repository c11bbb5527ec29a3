// Replays the inputs the fuzz targets crashed on (fuzz/regressions/<target>/)
// and the public backups through the targets' entry points, built here with
// the ordinary compiler. A fault aborts the test.
#include "Hardening.h"

using Entry = int(const uint8_t*, size_t);
// Each target's entry point, named after it.
extern "C" Entry fuzz_reader, fuzz_base64, fuzz_begin_check, fuzz_standard_reader;
// Left out of the build when FuzzedDataProvider is missing.
extern "C" __attribute__((weak)) Entry fuzz_pst;

namespace velloquin::hardening {
namespace {

struct Target {
    const char* name;
    Entry* entry;
    friend void PrintTo(const Target& target, std::ostream* os) { *os << target.name; }
};

class FuzzRegression : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzRegression, KeptInputsAndPublicBackupsRunClean) {
    if (!GetParam().entry) GTEST_SKIP() << "not built";
    std::error_code none; // no kept inputs
    for (const fs::path& folder : {fs::path(VELLOQUIN_FUZZ_REGRESSIONS) / GetParam().name,
                                   fs::path(VELLOQUIN_SHARED_TESTDATA) / "public-vcards/aosp"})
        for (const auto& input : fs::directory_iterator(folder, none)) {
            const std::string bytes = ReadFile(input.path());
            EXPECT_EQ(
                GetParam().entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0)
                << input.path();
        }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegression,
                         ::testing::Values(Target{"fuzz_reader", fuzz_reader},
                                           Target{"fuzz_base64", fuzz_base64},
                                           Target{"fuzz_begin_check", fuzz_begin_check},
                                           Target{"fuzz_standard_reader", fuzz_standard_reader},
                                           Target{"fuzz_pst", fuzz_pst}),
                         [](const auto& target) { return std::string(target.param.name); });

} // namespace
} // namespace velloquin::hardening
