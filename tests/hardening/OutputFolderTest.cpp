// Nothing a backup holds can steer a write: names and values that look like
// paths (relative, absolute, with NULs, very long) in the fields and in the
// PHOTO parameters, in both modes and both outputs. The only files written
// are the fixed workbook or store name and numbered pictures, all in the
// output folder.
#include "Hardening.h"
#include "support/LibreOffice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

namespace velloquin::hardening {
namespace {

using testsupport::TempDir;

// A tiny GIF, Base64.
constexpr const char* kPicture = "R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==";

std::string HostileBackup(const fs::path& root) {
    const std::string abs = (root / "escaped-abs").string();
    const std::string longName(5000, 'n');
    const std::string nul("nul\0name", 8);
    std::string b;
    auto line = [&](const std::string& text) { b += text + "\r\n"; };
    line("BEGIN:VCARD");
    line("VERSION:3.0");
    line("FN:../../escaped-fn");
    line("N:../escaped-n;" + abs + ";..\\..\\escaped-win;;");
    line("NICKNAME:" + nul + "/../escaped-nul");
    line("ORG:" + longName);
    line("EMAIL;TYPE=../../escaped-param:x@example.com");
    line("PHOTO;TYPE=../../escaped-photo.gif;VALUE=" + abs + ";X-" + longName +
         "=1;ENCODING=b:" + kPicture);
    line("END:VCARD");
    line("BEGIN:VCARD");
    line("FN:" + abs);
    line("N:" + std::string(100000, '.') + "/escaped-dots;;;;");
    line("PHOTO;ENCODING=BASE64;TYPE=" + abs + ":");
    line(kPicture);
    line("");
    line("END:VCARD");
    line("BEGIN:VCARD");
    line("FN:" + nul);
    line("PHOTO;X-FILENAME=" + longName + ".gif;ENCODING=b:" + kPicture);
    line(kPicture);
    line("END:VCARD");
    return b;
}

bool AllowedOutputName(const std::string& name) {
    static const std::regex allowed(
        R"(\d+\.gif|vCardContactsExported\.xls|Contacts\d{1,2}\.\d{1,2}\.\d{2} \d{1,2}\.\d{1,2}\.\d{2}\.pst)");
    return std::regex_match(name, allowed);
}

class OutputFolder : public ::testing::TestWithParam<Conversion> {};

TEST_P(OutputFolder, IsTheOnlyPlaceWritten) {
    const Conversion how = GetParam();
    TempDir root("velloquin-sandbox");
    const fs::path input = root.Path() / "input";
    const fs::path sandbox = root.Path() / "sandbox";
    const fs::path out = sandbox / "out";
    const fs::path cwd = root.Path() / "cwd";
    for (const auto& dir : {input, out, cwd})
        fs::create_directories(dir);
    WriteFile(input / "hostile.vcf", HostileBackup(root.Path()));
    const auto rootBefore = Listing(root.Path());

    // Relative paths would resolve against the working folder.
    const fs::path previous = fs::current_path();
    fs::current_path(cwd);
    const ConversionResult run = Convert(input / "hostile.vcf", out, how);
    fs::current_path(previous);

    EXPECT_EQ(run.summary.contactsRead, 3);
    std::vector<std::string> outside;
    for (const std::string& name : Listing(root.Path()))
        if (name.rfind("sandbox/out/", 0) != 0 &&
            std::find(rootBefore.begin(), rootBefore.end(), name) == rootBefore.end())
            outside.push_back(name);
    EXPECT_TRUE(outside.empty()) << "written outside the output folder: " << outside.front();
    size_t pictures = 0;
    for (const std::string& name : Listing(out)) {
        EXPECT_TRUE(AllowedOutputName(name)) << name;
        pictures += name.ends_with(".gif");
    }
    // Advance mode takes only the line after PHOTO, so the first card has none there.
    EXPECT_GE(pictures, 2u);
    EXPECT_LE(pictures, 3u);
    EXPECT_EQ(run.output.parent_path(), out);
    if (how.outlook) {
        const StoreReadBack back = ReadStore(run.output, root.Path() / "cwd");
        EXPECT_TRUE(back.ok) << back.log;
        EXPECT_EQ(back.pffexportContacts, run.Converted());
    }
}

INSTANTIATE_TEST_SUITE_P(AllOutputs, OutputFolder,
                         ::testing::Values(Conversion{false, false}, Conversion{false, true},
                                           Conversion{true, false}, Conversion{true, true}),
                         [](const auto& conversion) {
                             return std::string(conversion.param.outlook ? "Outlook" : "Excel") +
                                    (conversion.param.advance ? "Advance" : "Normal");
                         });

} // namespace
} // namespace velloquin::hardening
