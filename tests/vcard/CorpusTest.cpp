#include "TestHost.h"
#include "vcard/Reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace velloquin {
namespace {

namespace fs = std::filesystem;
using testing_support::FreshFolder;
using testing_support::ReadBytes;
using testing_support::RecordingHost;

// END:VCARD lines, whatever ends the lines: each one is a contact that must
// either reach the output or be named in a note.
size_t CountEndLines(const std::string& bytes) {
    size_t count = 0;
    size_t start = 0;
    while (start <= bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        while (!line.empty() && line.front() == ' ')
            line.erase(0, 1);
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        for (char& c : line)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (line == "END:VCARD") ++count;
        start = end + 1;
    }
    return count;
}

class PublicVcards : public testing::TestWithParam<bool> {};

TEST_P(PublicVcards, EveryCardHandedOffOrNoted) {
    const fs::path corpus = fs::path(VELLOQUIN_SHARED_TESTDATA) / "public-vcards" / "aosp";
    ASSERT_TRUE(fs::is_directory(corpus)) << corpus;
    const fs::path out = FreshFolder(GetParam() ? "corpus-advance" : "corpus-normal");
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        if (entry.path().extension() != ".vcf") continue;
        ++files;
        RecordingHost host;
        host.advance = GetParam();
        host.saveFolder = out.string() + "/";
        int32_t ivCard = 1;
        ContactRecord record;
        ReadvCard(entry.path().string(), ivCard, record, host);

        const std::string name = entry.path().filename().string();
        const size_t cards = CountEndLines(ReadBytes(entry.path()));
        EXPECT_GT(cards, 0u) << name;
        EXPECT_EQ(host.outlook.size(), host.excel.size()) << name;
        EXPECT_EQ(static_cast<size_t>(ivCard - 1), host.outlook.size()) << name;
        if (host.outlook.size() != cards) {
            EXPECT_GT(host.notes.LostContacts(), 0) << name << " lost cards silently";
        }
        for (const auto& args : host.outlook) {
            if (args.ePhoto.empty()) continue;
            EXPECT_EQ(args.ePhoto.rfind(host.saveFolder, 0), 0u) << name;
            EXPECT_TRUE(fs::exists(args.ePhoto)) << name;
        }
    }
    EXPECT_GE(files, 30u);
}

INSTANTIATE_TEST_SUITE_P(Modes, PublicVcards, testing::Values(false, true),
                         [](const auto& p) { return p.param ? "advance" : "normal"; });

TEST_P(PublicVcards, ShippedSampleReadsWhole) {
    const fs::path out = FreshFolder(GetParam() ? "sample-advance" : "sample-normal");
    RecordingHost host;
    host.advance = GetParam();
    host.saveFolder = out.string() + "/";
    int32_t ivCard = 1;
    ContactRecord record;
    ReadvCard((fs::path(VELLOQUIN_SAMPLES) / "skype-contacts-sample.vcf").string(), ivCard, record,
              host);
    ASSERT_EQ(host.outlook.size(), 8u);
    EXPECT_TRUE(host.notes.Empty()) << host.notes.Format();
    EXPECT_EQ(host.outlook[3].eContact_FullName,
              "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD \xD0\x9F\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE\xD0\xB2");
    size_t pictures = 0;
    for (const auto& args : host.outlook) {
        if (args.ePhoto.empty()) continue;
        ++pictures;
        EXPECT_EQ(ReadBytes(args.ePhoto).substr(0, 2), "\xFF\xD8"); // a JPEG
    }
    EXPECT_EQ(pictures, 3u);
}

} // namespace
} // namespace velloquin
