// The conversion run driven without a screen, into the recording Outlook library
// or a real workbook.
#include "app/ConversionRun.h"
#include "Fakes.h"
#include "outlook/RecordingRdo.h"
#include "support/LibreOffice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace fs = std::filesystem;
using namespace velloquin;
using velloquin::testing::Strings;

namespace {

const std::string kCompletion = "Velloquin: If you failed to see converted contacts then, please "
                                "contact us back on support@velloquin.example.";

// The run with the recording Outlook library, which shows every contact.
struct RunTest : ::testing::Test {
    testsupport::TempDir root{"velloquin-run"};
    const fs::path out = root.Path() / "out", src = root.Path() / "src";
    velloquin::testing::FakeWindow window;
    velloquin::testing::RdoLog log;
    app::ConversionRun run{window, window, window, window};

    void SetUp() override {
        fs::create_directories(out);
        fs::create_directories(src);
        window.xls = false;
        run.rdoFactory = log.Factory();
    }
    std::string Cards(const std::string& name, int count, const std::string& extra = "") {
        std::ofstream file(src / name, std::ios::binary);
        for (int i = 0; i < count; ++i)
            file << "BEGIN:VCARD\r\nFN:" << name << " " << i << "\r\n" << extra << "END:VCARD\r\n";
        return (src / name).string();
    }
};

TEST_F(RunTest, CancelledPickerLeavesNoTraceThenATrimmedFileGoesToTheFolderWithItsSeparator) {
    run.chosenFileName = "  " + Cards("one.vcf", 2) + "  ";
    run.inputMode = 1;
    run.CmdSplit_Click();
    EXPECT_EQ(window.prompts, Strings{"Choose Folder to Save..."});
    EXPECT_TRUE(window.shown.empty() && window.cmdSplit.empty() && log.calls.empty());
    EXPECT_TRUE(!run.LastSummary().started && fs::is_empty(out));

    window.folder = out.string();
    run.CmdSplit_Click();
    EXPECT_EQ(run.saveFolder, (out / "").string());
    EXPECT_EQ(log.calls.at(3).rfind("AddPSTStore " + run.saveFolder + "Contacts", 0), 0u);
    EXPECT_EQ(log.Count("Save"), 2u);
    EXPECT_EQ(run.cardCounter, 3);
    EXPECT_EQ(run.inputMode, 1) << "a single-file run leaves the mode alone";
    EXPECT_EQ(window.shown, Strings{kCompletion});
    EXPECT_EQ(app::WithFinalSeparator("out/"), "out/");
}

TEST_F(RunTest, FolderRunReadsVisibleVcfFilesOnlyCountsOnAndNotesAfterTheCompletion) {
    const std::map<std::string, int> counts = {{"a.VCF", 2}, {"b.vcf", 0}, {"c.vcf", 3}};
    for (const auto& [name, count] : counts)
        Cards(name, count, name == "c.vcf" ? "BDAY:someday\r\n" : "");
    Cards(".hidden.vcf", 1);
    Cards("e.vcf.txt", 1);
    fs::create_directories(src / "sub.vcf");
    window.folder = out.string();
    run.srcFolder = app::WithFinalSeparator(src.string());
    run.inputMode = 2;
    log.failing = {"Save"}; // every contact lost, and told
    run.CmdSplit_Click();
    // The totals after each file in the platform's listing order ((2), (2), (5) when
    // sorted); the label is not told again a caption it already shows.
    Strings expected, captions;
    int total = 0;
    for (const std::string& name : app::ListBackupFiles(src.string()))
        expected.push_back("(" + std::to_string(total += counts.at(name)) + ") Contacts Saved");
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    std::copy_if(window.captions.begin(), window.captions.end(), std::back_inserter(captions),
                 [](const std::string& c) { return c.ends_with("Contacts Saved"); });
    EXPECT_EQ(captions, expected);
    EXPECT_EQ(run.cardCounter, 6);
    EXPECT_EQ(run.inputMode, 0);
    EXPECT_EQ(log.Count("Save"), 5u);
    EXPECT_EQ(log.calls.back(), "Logoff");
    EXPECT_EQ(window.cmdSplit, std::vector<bool>{false});
    ASSERT_EQ(window.shown.size(), 2u);
    EXPECT_EQ(window.shown[0], kCompletion);
    EXPECT_EQ(window.shown[1].rfind("Corvanth Velloquin: ", 0), 0u);
    EXPECT_NE(window.shown[1].find("someday"), std::string::npos) << window.shown[1];
    EXPECT_EQ(run.LastSummary().contactsLost, 5);

    std::string error;
    EXPECT_TRUE(app::ListBackupFiles((src / "missing").string(), &error).empty() && !error.empty());
}

// The output cannot be prepared: one message, and nothing is read.
TEST_F(RunTest, OutputThatCannotBeCreatedEndsTheRunBeforeReading) {
    log.failing = {"Logon"};
    window.folder = out.string();
    run.chosenFileName = Cards("one.vcf", 2);
    run.CmdSplit_Click();
    EXPECT_EQ(window.shown, Strings{"Outlook Error: " + outlook::OutlookErrorText() +
                                    "\r\n\r\nReason: Logon refused"});
    EXPECT_EQ(log.calls.back(), "Logon");

    window.shown.clear();
    window.xls = true;
    std::ofstream(root.Path() / "plain-file") << "keep"; // a file where the folder should be
    window.folder = (root.Path() / "plain-file").string();
    run.CmdSplit_Click();
    ASSERT_EQ(window.shown.size(), 1u);
    EXPECT_NE(window.shown[0].find(excel::kExcelSheetName), std::string::npos) << window.shown[0];
    EXPECT_TRUE(run.LastSummary().setupFailed && run.cardCounter == 0) << "nothing was read";
    EXPECT_EQ(window.underWay, std::vector<bool>({true, false, true, false}));
}

} // namespace
