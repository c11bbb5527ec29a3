// Hostile sizes through the command line as a child process: a 100 MB line
// without a line end, a card with 100,000 properties, a 20 MB picture and a
// folder of 1,000 backups. None may crash or hang, the peak memory stays
// within a small multiple of the input, and whatever is not converted is
// reported.
#include "Hardening.h"
#include "support/LibreOffice.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>

namespace velloquin::hardening {
namespace {

using namespace std::chrono_literals;
using testsupport::TempDir;

constexpr int64_t kMegabyte = 1024 * 1024;

// Generous for a converter that streams, tight enough to catch one that
// copies its input per property or per line.
void ExpectModestMemory(const ChildResult& run, int64_t inputBytes) {
    ::testing::Test::RecordProperty("peak_rss_mb", std::to_string(run.peakRssBytes / kMegabyte));
    ::testing::Test::RecordProperty("input_mb", std::to_string(inputBytes / kMegabyte));
    EXPECT_LT(run.peakRssBytes, 6 * inputBytes + 100 * kMegabyte)
        << "peak " << run.peakRssBytes / kMegabyte << " MB for " << inputBytes / kMegabyte
        << " MB of input";
}

void ExpectFinished(const ChildResult& run) {
    ASSERT_FALSE(run.timedOut) << run.output;
    ASSERT_GE(run.exitCode, 0) << "ended by a signal\n" << run.output;
    ASSERT_LE(run.exitCode, 1) << run.output;
}

int64_t ConvertedCount(const ChildResult& run) {
    static const std::regex line(R"((\d+) contacts? converted to)");
    std::smatch m;
    return std::regex_search(run.output, m, line) ? std::stoll(m[1]) : -1;
}

std::string Base64(const std::string& bytes) {
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size()) v |= static_cast<uint8_t>(bytes[i + 2]);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? alphabet[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[v & 63] : '=';
    }
    return out;
}

std::vector<std::string> OutputArgs(bool outlook, bool advance, const fs::path& out) {
    std::vector<std::string> args{outlook ? "--outlook" : "--excel", "--out", out.string()};
    if (advance) args.push_back("--advance");
    return args;
}

fs::path OnlyStore(const fs::path& out) {
    for (const auto& entry : fs::directory_iterator(out))
        if (entry.path().extension() == ".pst") return entry.path();
    return {};
}

class HostileSize : public ::testing::TestWithParam<bool> {
  protected:
    bool Advance() const { return GetParam(); }
    TempDir work_{"velloquin-hostile"};
    fs::path out_ = work_.Path() / "out";
    void SetUp() override { fs::create_directories(out_); }
};

TEST_P(HostileSize, HundredMegabyteLineWithoutLineEnd) {
    const fs::path input = work_.Path() / "long.vcf";
    {
        std::string backup = "BEGIN:VCARD\r\nFN:Long Line\r\nNOTE:";
        backup.append(100 * kMegabyte, 'x');
        WriteFile(input, backup);
    }
    const int64_t size = static_cast<int64_t>(fs::file_size(input));
    auto args = OutputArgs(false, Advance(), out_);
    args.push_back(input.string());
    const ChildResult run = RunCli(args, work_.Path(), 300s);
    ExpectFinished(run);
    ExpectModestMemory(run, size);
    // The card never ends: it cannot be converted, and the user is told.
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_EQ(ConvertedCount(run), 0) << run.output;
    EXPECT_NE(run.output.find("lost"), std::string::npos) << run.output;
}

TEST_P(HostileSize, CardWithHundredThousandProperties) {
    const fs::path input = work_.Path() / "many.vcf";
    std::string backup = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Many Properties\r\n";
    static const char* kinds[] = {"TEL;TYPE=CELL:+1 555 0100 ",
                                  "EMAIL;TYPE=INTERNET:a",
                                  "NOTE:note ",
                                  "X-SKYPE-ID:id",
                                  "ADR;TYPE=HOME:;;street ",
                                  "CATEGORIES:c",
                                  "ORG:org ",
                                  "TITLE:t",
                                  "URL:http://x/"};
    for (int i = 0; i < 100000; ++i)
        backup += std::string(kinds[i % 9]) + std::to_string(i) + "\r\n";
    backup += "END:VCARD\r\n";
    WriteFile(input, backup);

    for (const bool outlook : {false, true}) {
        SCOPED_TRACE(outlook ? "Outlook" : "Excel");
        fs::remove_all(out_);
        fs::create_directories(out_);
        auto args = OutputArgs(outlook, Advance(), out_);
        args.push_back(input.string());
        const ChildResult run = RunCli(args, work_.Path(), 300s);
        ExpectFinished(run);
        ExpectModestMemory(run, static_cast<int64_t>(backup.size()));
        EXPECT_EQ(ConvertedCount(run), 1) << run.output;
        if (outlook) {
            const StoreReadBack back = ReadStore(OnlyStore(out_), work_.Path());
            EXPECT_TRUE(back.ok) << back.log;
            EXPECT_EQ(back.pffexportContacts, 1);
            EXPECT_EQ(back.readpstContacts, 1);
        } else if (testsupport::SofficeInstalled()) {
            const auto tables = testsupport::ReadWorkbooks({out_ / "vCardContactsExported.xls"});
            ASSERT_EQ(tables.size(), 1u);
            EXPECT_EQ(tables[0].size(), 2u);
        }
    }
}

TEST_P(HostileSize, TwentyMegabytePicture) {
    std::string picture(15 * kMegabyte, '\0');
    std::mt19937 random(7);
    for (char& c : picture)
        c = static_cast<char>(random());
    const std::string base64 = Base64(picture);
    ASSERT_EQ(base64.size(), 20u * kMegabyte);
    const fs::path input = work_.Path() / "picture.vcf";
    // The picture on the line after PHOTO, as both modes read it.
    WriteFile(input, "BEGIN:VCARD\r\nFN:Big Picture\r\nPHOTO;ENCODING=BASE64;TYPE=JPEG:\r\n" +
                         base64 + "\r\n\r\nEND:VCARD\r\n");

    for (const bool outlook : {false, true}) {
        SCOPED_TRACE(outlook ? "Outlook" : "Excel");
        fs::remove_all(out_);
        fs::create_directories(out_);
        auto args = OutputArgs(outlook, Advance(), out_);
        args.push_back(input.string());
        const ChildResult run = RunCli(args, work_.Path(), 300s);
        ExpectFinished(run);
        ExpectModestMemory(run, static_cast<int64_t>(fs::file_size(input)));
        EXPECT_EQ(ConvertedCount(run), 1) << run.output;
        EXPECT_TRUE(ReadFile(out_ / "1.gif") == picture) << "the picture file differs";
        if (outlook) {
            const StoreReadBack back = ReadStore(OnlyStore(out_), work_.Path());
            EXPECT_TRUE(back.ok) << back.log;
            ASSERT_EQ(back.pictures.size(), 1u);
            EXPECT_TRUE(back.pictures[0] == picture) << "the stored picture differs";
        }
    }
}

TEST_P(HostileSize, FolderOfThousandBackups) {
    const fs::path folder = work_.Path() / "backups";
    fs::create_directories(folder);
    int64_t total = 0;
    for (int i = 0; i < 1000; ++i) {
        const std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Person " + std::to_string(i) +
                                 "\r\nN:" + std::to_string(i) + ";Person;;;\r\nTEL:+1 555 " +
                                 std::to_string(i) + "\r\nEND:VCARD\r\n";
        WriteFile(folder / ("backup" + std::to_string(i) + ".vcf"), card);
        total += static_cast<int64_t>(card.size());
    }
    for (const bool outlook : {false, true}) {
        SCOPED_TRACE(outlook ? "Outlook" : "Excel");
        fs::remove_all(out_);
        fs::create_directories(out_);
        auto args = OutputArgs(outlook, Advance(), out_);
        args.push_back("--folder");
        args.push_back(folder.string());
        const ChildResult run = RunCli(args, work_.Path(), 300s);
        ExpectFinished(run);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        ExpectModestMemory(run, total);
        EXPECT_EQ(ConvertedCount(run), 1000) << run.output;
        if (outlook) {
            const StoreReadBack back = ReadStore(OnlyStore(out_), work_.Path());
            EXPECT_TRUE(back.ok) << back.log;
            EXPECT_EQ(back.pffexportContacts, 1000);
            EXPECT_EQ(back.readpstContacts, 1000);
        } else if (testsupport::SofficeInstalled()) {
            const auto tables = testsupport::ReadWorkbooks({out_ / "vCardContactsExported.xls"});
            ASSERT_EQ(tables.size(), 1u);
            EXPECT_EQ(tables[0].size(), 1001u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothModes, HostileSize, ::testing::Bool(),
                         [](const auto& mode) { return mode.param ? "Advance" : "Normal"; });

} // namespace
} // namespace velloquin::hardening
