// Every public real-world backup through both reading modes and both
// outputs; every workbook read back by LibreOffice, every store by readpst
// and pffexport. Each card with a BEGIN and an END line must reach the output
// or be reported.
#include "Hardening.h"
#include "support/LibreOffice.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace velloquin::hardening {
namespace {

using testsupport::TempDir;

std::vector<fs::path> PublicBackups() {
    std::vector<fs::path> files;
    for (const auto& entry :
         fs::directory_iterator(fs::path(VELLOQUIN_SHARED_TESTDATA) / "public-vcards" / "aosp"))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string Label(const fs::path& file, Conversion how) {
    return file.filename().string() + (how.advance ? " (Advance" : " (Normal") +
           (how.outlook ? ", Outlook)" : ", Excel)");
}

// Converted, or reported: as many cards lost as are missing, or a note on
// the file as a whole.
void ExpectConvertedOrReported(const ConversionResult& run, int64_t pairs,
                               const std::string& label) {
    if (run.Converted() >= pairs) return;
    bool fileNote = false;
    for (const RunNote& note : run.notes.Kept())
        fileNote |= note.lostContact && note.contact == 0;
    EXPECT_TRUE(fileNote || run.Converted() + run.notes.LostContacts() >= pairs)
        << label << ": " << pairs << " cards, " << run.Converted() << " converted, "
        << run.notes.LostContacts() << " reported lost\n"
        << run.notes.Format();
}

TEST(RealWorld, EveryPublicBackupThroughEveryOutput) {
    const auto files = PublicBackups();
    ASSERT_FALSE(files.empty());
    TempDir work("velloquin-hardening");

    struct Workbook {
        fs::path copy;
        int64_t visibleRows; // contacts up to the last one with a value
        std::string label;
    };
    std::vector<Workbook> workbooks;
    int index = 0;
    for (const fs::path& file : files) {
        const int64_t pairs = CountCardPairs(ReadFile(file));
        for (const bool advance : {false, true}) {
            for (const bool outlook : {false, true}) {
                const Conversion how{outlook, advance};
                const std::string label = Label(file, how);
                const fs::path out = work.Path() / ("out" + std::to_string(++index));
                fs::create_directories(out);
                const ConversionResult run = Convert(file, out, how);
                ASSERT_TRUE(run.summary.started && !run.summary.setupFailed) << label;
                ExpectConvertedOrReported(run, pairs, label);
                ASSERT_TRUE(fs::is_regular_file(run.output)) << label;
                if (outlook) {
                    const StoreReadBack back = ReadStore(run.output, work.Path());
                    EXPECT_TRUE(back.ok) << label << "\n" << back.log;
                    EXPECT_EQ(back.pffexportContacts, run.Converted()) << label;
                    // readpst leaves out items without any contact property.
                    EXPECT_LE(back.readpstContacts, run.Converted()) << label;
                    EXPECT_GE(back.readpstContacts, run.namedContacts) << label;
                } else {
                    // The workbooks go to LibreOffice together: one start for all.
                    const fs::path copy = work.Path() / ("book" + std::to_string(index) + ".xls");
                    fs::copy_file(run.output, copy);
                    // Trailing rows without a value do not show in the reader.
                    int64_t rows = static_cast<int64_t>(run.rowHasValue.size());
                    while (rows > 0 && !run.rowHasValue[static_cast<size_t>(rows - 1)])
                        --rows;
                    EXPECT_EQ(static_cast<int64_t>(run.rowHasValue.size()), run.Converted());
                    workbooks.push_back({copy, rows, label});
                }
                fs::remove_all(out);
            }
        }
    }

    if (!testsupport::SofficeInstalled()) GTEST_SKIP() << "LibreOffice is not installed";
    std::vector<fs::path> paths;
    for (const auto& w : workbooks)
        paths.push_back(w.copy);
    const auto tables = testsupport::ReadWorkbooks(paths);
    ASSERT_EQ(tables.size(), workbooks.size());
    for (size_t i = 0; i < tables.size(); ++i) {
        // The header row and one row per converted contact.
        ASSERT_FALSE(tables[i].empty()) << workbooks[i].label;
        EXPECT_EQ(static_cast<int64_t>(tables[i].size()), workbooks[i].visibleRows + 1)
            << workbooks[i].label;
        EXPECT_EQ(tables[i][0].size(), 36u) << workbooks[i].label;
    }
}

TEST(RealWorld, CardPairsAreCountedOnEveryKindOfLineEnd) {
    EXPECT_EQ(CountCardPairs("BEGIN:VCARD\r\nFN:a\r\nEND:VCARD\r\n"), 1);
    EXPECT_EQ(CountCardPairs("begin:vcard\nEND:VCARD\rBEGIN:VCARD\n  end:vcard  "), 2);
    EXPECT_EQ(CountCardPairs("BEGIN:VCARD\r\nBEGIN:VCARD\r\nEND:VCARD\r\nEND:VCARD"), 1);
    EXPECT_EQ(CountCardPairs("BEGIN:VCARD\r\nFN:a\r\n"), 0);
}

} // namespace
} // namespace velloquin::hardening
