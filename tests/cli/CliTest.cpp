// Runs the built velloquin-cli as a user would and checks its outputs with
// independent readers: LibreOffice for the workbook, readpst and pffexport
// for the store.
#include <gtest/gtest.h>

#ifdef VELLOQUIN_HAVE_TEST_SUPPORT
#include "support/LibreOffice.h"
#endif

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("velloquin-cli-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(out_ = root_ / "out");
        fs::create_directories(src_ = root_ / "src");
    }
    void TearDown() override { fs::remove_all(root_); }

    Result Run(const std::vector<std::string>& args) const {
        std::string command = Quote(VELLOQUIN_CLI);
        for (const auto& arg : args)
            command += " " + Quote(arg);
        command += " </dev/null >" + Quote((root_ / "stdout").string()) + " 2>" +
                   Quote((root_ / "stderr").string());
        Result result;
        const int raw = std::system(command.c_str());
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = ReadAll(root_ / "stdout");
        result.err = ReadAll(root_ / "stderr");
        return result;
    }

    fs::path WriteBackup(const std::string& name, const std::string& text) const {
        std::ofstream(src_ / name, std::ios::binary) << text;
        return src_ / name;
    }

    fs::path root_, out_, src_;
};

// Three Skype-style contacts, CR LF line ends, one with a Cyrillic name.
const std::string kBackup = "BEGIN:VCARD\r\n"
                            "VERSION:3.0\r\n"
                            "N:Doe;John;Q.;Dr.;Jr.\r\n"
                            "FN:John Doe\r\n"
                            "ORG:Acme;Sales\r\n"
                            "TITLE:Engineer\r\n"
                            "EMAIL;TYPE=INTERNET;TYPE=PREF:john@example.com\r\n"
                            "TEL;TYPE=CELL:+1 555 0100\r\n"
                            "ADR;TYPE=HOME:;;1 Main St;Springfield;IL;62701;USA\r\n"
                            "URL:http://example.com/john\r\n"
                            "NOTE:Met at the fair\\nCall back\r\n"
                            "BDAY:1985-03-27\r\n"
                            "CATEGORIES:Friends,Work\r\n"
                            "PHOTO;ENCODING=b;TYPE=GIF:R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAA"
                            "BAAEAAAICRAEAOw==\r\n"
                            "END:VCARD\r\n"
                            "BEGIN:VCARD\r\n"
                            "VERSION:3.0\r\n"
                            "FN:\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd \xd0\x9f\xd0\xb5\xd1\x82\xd1\x80"
                            "\xd0\xbe\xd0\xb2\r\n"
                            "EMAIL;TYPE=INTERNET:ivan@example.org\r\n"
                            "END:VCARD\r\n"
                            "BEGIN:VCARD\r\n"
                            "VERSION:3.0\r\n"
                            "N:Roe;Jane\r\n"
                            "FN:Jane Roe\r\n"
                            "TEL;TYPE=HOME:+44 20 7946 0000\r\n"
                            "END:VCARD\r\n";

TEST_F(Cli, VersionAndHelp) {
    const Result version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "velloquin-cli 1.2\n");
    const Result help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Contains(help.out, "Usage: velloquin-cli")) << help.out;
}

TEST_F(Cli, BadArgumentsGetTheUsageAndStatus2) {
    const std::string file = WriteBackup("a.vcf", kBackup).string();
    const std::string out = out_.string();
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus", "--out", out, file},
        {"--excel", "--outlook", "--out", out, file},
        {file},
        {"--out", out},
        {"--out", out, file, "--folder", src_.string()},
        {"--out", out, file, file},
        {"--out"},
        {"--out", out, "--out", out, file},
    };
    for (const auto& args : cases) {
        const Result result = Run(args);
        EXPECT_EQ(result.status, 2) << args.front();
        EXPECT_TRUE(Contains(result.err, "Usage: velloquin-cli")) << result.err;
        EXPECT_TRUE(fs::is_empty(out_));
    }
}

TEST_F(Cli, MissingFolderOrFileIsAnErrorAndCreatesNothing) {
    const std::string file = WriteBackup("a.vcf", kBackup).string();
    Result result = Run({"--out", (root_ / "nowhere").string(), file});
    EXPECT_EQ(result.status, 3);
    EXPECT_TRUE(Contains(result.err, "nowhere")) << result.err;
    EXPECT_FALSE(fs::exists(root_ / "nowhere"));

    result = Run({"--out", out_.string(), (src_ / "missing.vcf").string()});
    EXPECT_EQ(result.status, 3);
    EXPECT_TRUE(Contains(result.err, "missing.vcf")) << result.err;
    EXPECT_TRUE(fs::is_empty(out_));
}

TEST_F(Cli, ExcelRunWritesAWorkbookThatLibreOfficeReads) {
    const fs::path file = WriteBackup("a.vcf", kBackup);
    const Result result = Run({"--excel", "--out", out_.string(), file.string()});
    ASSERT_EQ(result.status, 0) << result.err;
    const fs::path workbook = out_ / "vCardContactsExported.xls";
    EXPECT_TRUE(Contains(result.out, "3 contacts converted to " + workbook.string())) << result.out;
    ASSERT_TRUE(fs::exists(workbook));
#ifdef VELLOQUIN_HAVE_TEST_SUPPORT
    if (!velloquin::testsupport::SofficeInstalled()) GTEST_SKIP() << "LibreOffice is not installed";
    const auto tables = velloquin::testsupport::ReadWorkbooks({workbook});
    ASSERT_EQ(tables.size(), 1u);
    const auto& table = tables[0];
    ASSERT_EQ(table.size(), 4u) << "header and three contacts";
    std::string cells;
    for (const auto& row : table)
        for (const auto& cell : row)
            cells += cell + "|";
    for (const char* expected : {"John", "Doe", "john@example.com", "+1 555 0100", "Springfield",
                                 "Jane", "Roe", "ivan@example.org"})
        EXPECT_TRUE(Contains(cells, expected)) << expected;
#endif
}

TEST_F(Cli, OutlookRunWritesAStoreThatTheOpenReadersRead) {
    const fs::path file = WriteBackup("a.vcf", kBackup);
    const Result result = Run({"--outlook", "--out", out_.string(), file.string()});
    ASSERT_EQ(result.status, 0) << result.err;
    std::vector<fs::path> stores;
    for (const auto& entry : fs::directory_iterator(out_))
        if (entry.path().extension() == ".pst") stores.push_back(entry.path());
    ASSERT_EQ(stores.size(), 1u);
    EXPECT_EQ(stores[0].filename().string().rfind("Contacts", 0), 0u);
    EXPECT_TRUE(Contains(result.out, "3 contacts converted to " + stores[0].string()))
        << result.out;

    // readpst writes each contact as a vCard of its own making.
    const fs::path readBack = root_ / "readpst";
    fs::create_directories(readBack);
    const std::string readpst = "readpst -q -cv -o " + Quote(readBack.string()) + " " +
                                Quote(stores[0].string()) + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(readpst.c_str()), 0);
    std::string cards;
    for (const auto& entry : fs::recursive_directory_iterator(readBack))
        if (entry.is_regular_file()) cards += ReadAll(entry.path());
    // It composes the name line from the name parts itself.
    for (const char* expected :
         {"N:Doe;John;Q.;Dr.;Jr.", "N:Roe;Jane", "john@example.com", "ivan@example.org",
          "+1 555 0100", "Springfield", "Acme", "BDAY:1985-03-27"})
        EXPECT_TRUE(Contains(cards, expected)) << expected << "\n" << cards;

    const fs::path exported = root_ / "pffexport";
    const std::string pffexport = "pffexport -q -t " + Quote(exported.string()) + " " +
                                  Quote(stores[0].string()) + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(pffexport.c_str()), 0);
    int contacts = 0;
    int pictures = 0;
    std::string items;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
        if (!entry.is_regular_file()) continue;
        if (entry.path().filename() == "Contact.txt") {
            ++contacts;
            items += ReadAll(entry.path());
        }
        if (Contains(entry.path().filename().string(), "ContactPicture")) ++pictures;
    }
    EXPECT_EQ(pictures, 1);
    for (const char* name : {"John Doe", "Jane Roe", "\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd"})
        EXPECT_TRUE(Contains(items, std::string("Display name:\t\t\t\t") + name)) << items;
    EXPECT_EQ(contacts, 3);
}

TEST_F(Cli, FolderRunReadsEveryBackup) {
    WriteBackup("a.vcf", kBackup);
    WriteBackup("B.VCF", "BEGIN:VCARD\r\nFN:Extra One\r\nEND:VCARD\r\n");
    WriteBackup("notes.txt", kBackup);
    const Result result = Run({"--out", out_.string(), "--folder", src_.string()});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(Contains(result.out, "4 contacts converted to ")) << result.out;
}

TEST_F(Cli, ValuesThatCouldNotBeConvertedMakeTheStatusNonZero) {
    const fs::path file = WriteBackup("a.vcf", "BEGIN:VCARD\r\nFN:Bad Date\r\nBDAY:someday\r\n"
                                               "END:VCARD\r\nBEGIN:VCARD\r\nFN:After It\r\n"
                                               "END:VCARD\r\n");
    const Result result = Run({"--out", out_.string(), file.string()});
    EXPECT_EQ(result.status, 1) << result.out << result.err;
    EXPECT_TRUE(Contains(result.out, "2 contacts converted")) << result.out;
    EXPECT_TRUE(Contains(result.err, "someday")) << result.err;
}

} // namespace
