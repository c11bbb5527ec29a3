// Real-world backups and backups with hostile names, through both reading
// modes and both outputs, read back by LibreOffice, readpst and pffexport.
#include "Hardening.h"

#include <algorithm>
#include <cctype>
#include <regex>

namespace velloquin::hardening {
namespace {

// BEGIN:VCARD lines that a later END:VCARD line closes, on lines cut at any
// line end; a UTF-16 backup is counted on its ASCII letters.
int64_t CountCardPairs(std::string text) {
    std::erase(text, '\0');
    static const std::regex line(R"((?:^|[\r\n])[ \t]*(BEGIN|END):VCARD[ \t]*(?=[\r\n]|$))",
                                 std::regex::icase);
    int64_t pairs = 0;
    bool open = false;
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
        const bool begin = std::toupper((*it)[1].str()[0]) == 'B';
        pairs += open && !begin;
        open = begin;
    }
    return pairs;
}

TEST(RealWorld, EveryPublicBackupIsConvertedOrReportedAndReadBack) {
    TempDir work("velloquin-realworld");
    std::vector<fs::path> books;
    std::vector<int64_t> rows;
    for (const auto& backup :
         fs::directory_iterator(fs::path(VELLOQUIN_SHARED_TESTDATA) / "public-vcards/aosp")) {
        const int64_t pairs = CountCardPairs(ReadFile(backup.path()));
        for (const Conversion how : kConversions) {
            const std::string label = backup.path().stem().string() + "-" + how.Name();
            SCOPED_TRACE(label);
            const fs::path out = work.Path() / label;
            fs::create_directories(out);
            const Converted run = Convert(backup.path(), out, how);
            ASSERT_TRUE(run.summary.started && !run.summary.setupFailed);
            // Missing cards are reported lost, or the file as a whole is.
            const bool fileNote = std::ranges::any_of(
                run.notes.Kept(), [](const RunNote& n) { return n.lostContact && !n.contact; });
            EXPECT_TRUE(fileNote || run.Count() + run.notes.LostContacts() >= pairs)
                << pairs << " cards, " << run.Count() << " converted\n"
                << run.notes.Format();
            if (how.outlook) {
                ExpectStore(run.output, run.Count());
            } else {
                books.push_back(work.Path() / (label + ".xls"));
                fs::rename(run.output, books.back());
                rows.push_back(run.Count());
            }
        }
    }
    ASSERT_GT(books.size(), 30u);
    ExpectWorkbooks(books, rows);
}

std::string HostileBackup(const fs::path& root) {
    const std::string abs = (root / "escaped-abs").string(), longName(5000, 'n');
    const std::string nul("nul\0name", 8),
        gif = "R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==";
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:../../escaped-fn\r\nN:../escaped-n;" + abs +
           ";..\\..\\escaped-win;;\r\nNICKNAME:" + nul + "/../escaped\r\nORG:" + longName +
           "\r\nEMAIL;TYPE=../../escaped-param:x@example.com\r\n"
           "PHOTO;TYPE=../../escaped-photo.gif;VALUE=" +
           abs + ";X-" + longName + "=1;ENCODING=b:" + gif +
           "\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:" + abs + "\r\nN:" + std::string(100000, '.') +
           "/escaped-dots;;;;\r\nPHOTO;ENCODING=BASE64;TYPE=" + abs + ":\r\n" + gif +
           "\r\n\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:" + nul + "\r\nPHOTO;X-FILENAME=" + longName +
           ".gif;ENCODING=b:" + gif + "\r\n" + gif + "\r\nEND:VCARD\r\n";
}

// Names and values that look like paths (relative, absolute, with NULs, very
// long) steer no write: the only files are the fixed workbook or store name
// and numbered pictures, all in the output folder.
class OutputFolder : public ::testing::TestWithParam<Conversion> {};

TEST_P(OutputFolder, IsTheOnlyPlaceWritten) {
    TempDir root("velloquin-sandbox");
    const fs::path out = root.Path() / "sandbox/out", cwd = root.Path() / "cwd";
    fs::create_directories(out);
    fs::create_directories(cwd);
    WriteFile(root.Path() / "hostile.vcf", HostileBackup(root.Path()));
    const fs::path previous = fs::current_path();
    fs::current_path(cwd); // where relative paths would go
    const Converted run = Convert(root.Path() / "hostile.vcf", out, GetParam());
    fs::current_path(previous);

    EXPECT_EQ(run.summary.contactsRead, 3);
    static const std::regex allowed(
        R"(cwd|hostile\.vcf|sandbox|sandbox/out|sandbox/out/(\d+\.gif|vCardContactsExported\.xls|)"
        R"(Contacts\d{1,2}\.\d{1,2}\.\d{2} \d{1,2}\.\d{1,2}\.\d{2}\.pst))");
    int pictures = 0; // Advance mode takes only the line after PHOTO: the first card has none
    for (const auto& entry : fs::recursive_directory_iterator(root.Path())) {
        const std::string name = entry.path().lexically_relative(root.Path()).string();
        EXPECT_TRUE(std::regex_match(name, allowed)) << name;
        pictures += name.ends_with(".gif");
    }
    EXPECT_TRUE(pictures == 2 || pictures == 3) << pictures;
    EXPECT_EQ(run.output.parent_path(), out);
    if (GetParam().outlook) ExpectStore(run.output, run.Count());
}

INSTANTIATE_TEST_SUITE_P(AllOutputs, OutputFolder, ::testing::ValuesIn(kConversions),
                         [](const auto& how) { return how.param.Name(); });

} // namespace
} // namespace velloquin::hardening
