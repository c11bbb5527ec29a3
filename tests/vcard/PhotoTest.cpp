#include "TestHost.h"
#include "vcard/Reader.h"
#include "vcard/Rules.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace velloquin {
namespace {

namespace fs = std::filesystem;
using testing_support::FreshFolder;
using testing_support::ReadBytes;
using testing_support::RecordingHost;
using testing_support::WriteFile;

class PhotoRules : public testing::Test {
  protected:
    void SetUp() override {
        folder = FreshFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
        host.saveFolder = folder.string() + "/";
    }
    void Feed(ReadMode mode, std::initializer_list<const char*> pieces) {
        for (const char* piece : pieces)
            ApplyPropertyRules(piece, mode, record, ctx);
    }
    size_t FilesWritten() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
    }

    fs::path folder;
    RecordingHost host;
    ContactRecord record;
    RuleContext ctx{host, "p.vcf", 3, {}};
};

TEST_F(PhotoRules, NormalGathersContinuationLinesUntilTheNextProperty) {
    Feed(ReadMode::Normal, {"PHOTO;ENCODING=b:YWJj", "ZGVm", "Z2hp", "amts"});
    EXPECT_EQ(FilesWritten(), 0u);
    EXPECT_EQ(record.ePhoto, ""); // the Base64 text never sits in ePhoto
    Feed(ReadMode::Normal, {"URL:www.example.com"});
    EXPECT_EQ(record.ePhoto, host.saveFolder + "3.gif");
    EXPECT_EQ(ReadBytes(record.ePhoto), "abcdefghijkl"); // no line break after the bytes
    EXPECT_EQ(record.eContact_WebPage, "www.example.com");
}

TEST_F(PhotoRules, NormalSecondPhotoReplacesTheFirst) {
    Feed(ReadMode::Normal, {"PHOTO:YWJj", "PHOTO:", "eHl6", "END:VCARD"});
    EXPECT_EQ(ReadBytes(record.ePhoto), "xyz");
    EXPECT_EQ(FilesWritten(), 1u);
}

TEST_F(PhotoRules, AdvanceDecodesTheOnePieceAfterThePhotoLine) {
    Feed(ReadMode::Advance, {"PHOTO;ENCODING=b:bm90IHRoaXM=", "YWJj", "ZGVm"});
    EXPECT_EQ(ReadBytes(record.ePhoto), "abc");
    EXPECT_EQ(record.ePhoto, host.saveFolder + "3.gif");
}

TEST_F(PhotoRules, UndecodablePictureIsLeftOutAndNoted) {
    Feed(ReadMode::Normal, {"PHOTO:YWJj", "====", "FN:Still read"});
    Feed(ReadMode::Advance, {"PHOTO;ENCODING=b:YWJj", "URL:http://h/x"});
    EXPECT_EQ(FilesWritten(), 0u);
    EXPECT_EQ(record.ePhoto, "");
    EXPECT_EQ(record.eContact_FullName, "Still read");
    EXPECT_EQ(record.eContact_WebPage, "//h/x");
    ASSERT_EQ(host.notes.Total(), 2u);
    EXPECT_EQ(host.notes.Kept()[0].contact, 3);
    EXPECT_NE(host.notes.Kept()[1].message.find("alphabet"), std::string::npos);
}

TEST_F(PhotoRules, UnwritableFolderIsNoted) {
    host.saveFolder = (folder / "missing" / "").string();
    Feed(ReadMode::Advance, {"PHOTO:", "YWJj"});
    EXPECT_EQ(record.ePhoto, "");
    EXPECT_EQ(host.notes.Total(), 1u);
}

TEST_F(PhotoRules, NoPhotoWritesNothing) {
    Feed(ReadMode::Normal, {"BEGIN:VCARD", "FN:A", "PHOTOGRAPHER:x", "END:VCARD"});
    Feed(ReadMode::Advance, {"BEGIN:VCARD", "FN:A", "END:VCARD"});
    EXPECT_EQ(FilesWritten(), 0u);
    EXPECT_EQ(record.ePhoto, "");
}

// Whole files through the reader: collection across cards and files.
struct PhotoFileCase {
    const char* name;
    bool advance;
};

class PhotoFiles : public testing::TestWithParam<PhotoFileCase> {};

TEST_P(PhotoFiles, EveryPictureOfARunGetsItsOwnFile) {
    const fs::path folder = FreshFolder(std::string("files-") + GetParam().name);
    RecordingHost host;
    host.advance = GetParam().advance;
    host.saveFolder = folder.string() + "/";
    const std::string card = "BEGIN:VCARD\r\nFN:X\r\nPHOTO;ENCODING=b:\r\n YWJj\r\nEND:VCARD\r\n";
    const std::string plain = "BEGIN:VCARD\r\nFN:Y\r\nEND:VCARD\r\n";
    const fs::path input = folder / "in";
    fs::create_directories(input);
    const std::string first = WriteFile(input / "a.vcf", card + card + plain + card);
    const std::string second = WriteFile(input / "b.vcf", card);
    int32_t ivCard = 1;
    ContactRecord record;
    ReadvCard(first, ivCard, record, host);
    ReadvCard(second, ivCard, record, host);

    ASSERT_EQ(host.outlook.size(), 5u);
    for (int contact : {1, 2, 4, 5}) {
        const std::string path = host.saveFolder + std::to_string(contact) + ".gif";
        EXPECT_EQ(host.outlook[contact - 1].ePhoto, path);
        EXPECT_EQ(ReadBytes(path), "abc");
    }
    EXPECT_EQ(host.outlook[2].ePhoto, "");
    EXPECT_FALSE(fs::exists(folder / ".gif"));
    EXPECT_TRUE(host.notes.Empty()) << host.notes.Format();
}

INSTANTIATE_TEST_SUITE_P(Modes, PhotoFiles,
                         testing::Values(PhotoFileCase{"normal", false},
                                         PhotoFileCase{"advance", true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(PhotoLarge, ManyMegabytesOverManyLines) {
    const fs::path folder = FreshFolder("large");
    RecordingHost host;
    host.saveFolder = folder.string() + "/";
    std::string backup = "BEGIN:VCARD\r\nPHOTO;ENCODING=b:\r\n";
    const std::string line(76, 'A');
    for (int i = 0; i < 80'000; ++i)
        backup += " " + line + "\r\n"; // about 6 MB of Base64
    backup += "END:VCARD\r\n";
    int32_t ivCard = 1;
    ContactRecord record;
    ReadvCard(WriteFile(folder / "big.vcf", backup), ivCard, record, host);
    ASSERT_EQ(host.outlook.size(), 1u);
    EXPECT_EQ(fs::file_size(host.outlook[0].ePhoto), 80'000u * 57);
}

} // namespace
} // namespace velloquin
