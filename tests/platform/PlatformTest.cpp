// The system boundary: names outside ASCII go to the system and come back
// unchanged, an exclusive creation never touches an existing file, and a
// synced file reads back.
#include "app/ConversionRun.h"
#include "platform/Files.h"
#include "platform/Utf8Path.h"
#include "support/Readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace velloquin;

namespace {

std::string ReadAll(const std::string& utf8Path) {
    std::ifstream in(platform::PathFromUtf8(utf8Path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Latin, Cyrillic, CJK and a character beyond the Basic Multilingual Plane.
const char* const kNames[] = {"plain.vcf", "Sicherung-äöü.vcf", "Контакты.VCF", "連絡先.vcf",
                              "smile-😀.vcf"};

TEST(Platform, NonAsciiNamesGoToTheSystemAndComeBackUnchanged) {
    testsupport::TempDir dir("velloquin-platform");
    const std::string folder = platform::Utf8FromPath(dir.Path()) + "/Ordner-ß-目录";
    fs::create_directory(platform::PathFromUtf8(folder));
    for (const char* name : kNames) {
        std::FILE* file = platform::OpenFile(folder + "/" + name, "wb");
        ASSERT_NE(file, nullptr) << name;
        std::fputs(name, file);
        std::fclose(file);
        EXPECT_EQ(ReadAll(folder + "/" + name), name);
    }
    // The listing gives the same UTF-8 names the files were made with.
    std::vector<std::string> listed = app::ListBackupFiles(folder);
    std::sort(listed.begin(), listed.end());
    std::vector<std::string> made(std::begin(kNames), std::end(kNames));
    std::sort(made.begin(), made.end());
    EXPECT_EQ(listed, made);
    EXPECT_EQ(platform::Utf8FromPath(platform::PathFromUtf8(folder)), folder);
}

TEST(Platform, ExclusiveCreationNeverTouchesAnExistingFile) {
    testsupport::TempDir dir("velloquin-platform");
    const std::string path = platform::Utf8FromPath(dir.Path()) + "/Контакты.pst";
    platform::CreateFailure failure;
    std::FILE* file = platform::CreateNewFile(path, failure);
    ASSERT_NE(file, nullptr) << failure.reason;
    std::fputs("first", file);
    std::fflush(file);
    EXPECT_TRUE(platform::SyncToDisk(file));
    // Read and write through the same handle, as the store writer does.
    std::fseek(file, 0, SEEK_SET);
    char back[6] = {};
    EXPECT_EQ(std::fread(back, 1, 5, file), 5u);
    EXPECT_STREQ(back, "first");
    std::fclose(file);

    platform::CreateFailure again;
    EXPECT_EQ(platform::CreateNewFile(path, again), nullptr);
    EXPECT_TRUE(again.exists);
    EXPECT_FALSE(again.reason.empty());
    EXPECT_EQ(ReadAll(path), "first") << "the existing file was changed";

    platform::CreateFailure missing;
    EXPECT_EQ(platform::CreateNewFile(path + "-folder/none.pst", missing), nullptr);
    EXPECT_FALSE(missing.exists);
    EXPECT_FALSE(missing.reason.empty());
}

} // namespace
