#include "Fakes.h"
#include "outlook/RecordingRdo.h"

#include "app/ConversionRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;
using namespace velloquin;
using velloquin::testing::FakeControls;
using velloquin::testing::FakePicker;
using velloquin::testing::FakePump;
using velloquin::testing::RdoLog;
using velloquin::testing::RecordingFactory;
using velloquin::testing::RecordingMessages;

namespace {

const std::string kCompletion = "If you failed to see converted contacts then, please contact us "
                                "back on " +
                                std::string(app::kSupportAddress) + ".";

void WriteCards(const fs::path& path, int count) {
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < count; ++i)
        out << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" << path.stem().string() << " " << i
            << "\r\nEND:VCARD\r\n";
}

class RunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("velloquin-run-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(out_ = root_ / "out");
        fs::create_directories(src_ = root_ / "src");
        picker.answer = out_.string();
        controls.xls = false; // the recording Outlook library shows every contact
        run.rdoFactory = RecordingFactory(log);
    }
    void TearDown() override { fs::remove_all(root_); }

    size_t Saved() const { return log.Starting("Save").size(); }
    std::vector<std::string> CaptionsEndingWith(const std::string& suffix) const {
        std::vector<std::string> out;
        for (const auto& c : controls.captions)
            if (c.size() >= suffix.size() &&
                c.compare(c.size() - suffix.size(), suffix.size(), suffix) == 0)
                out.push_back(c);
        return out;
    }

    fs::path root_, out_, src_;
    FakePicker picker;
    RecordingMessages messages;
    FakePump pump;
    FakeControls controls;
    RdoLog log;
    app::ConversionRun run{picker, messages, pump, controls};
};

TEST_F(RunTest, CancelledPickerEndsTheRunWithoutATrace) {
    picker.answer.clear();
    WriteCards(src_ / "a.vcf", 2);
    run.chosenFileName = (src_ / "a.vcf").string();
    run.CmdSplit_Click();
    EXPECT_EQ(picker.prompts, std::vector<std::string>{"Choose Folder to Save..."});
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(controls.cmdSplitEnabled.empty()) << "the button stays enabled";
    EXPECT_TRUE(log.calls.empty());
    EXPECT_FALSE(run.LastSummary().started);
    EXPECT_TRUE(fs::is_empty(out_));
}

TEST(PathHelpers, FinalSeparatorIsAddedOnce) {
    const std::string sep(1, app::PathSeparator());
#ifdef _WIN32
    EXPECT_EQ(sep, "\\");
    EXPECT_EQ(app::WithFinalSeparator("C:\\"), "C:\\");
#else
    EXPECT_EQ(sep, "/");
#endif
    EXPECT_EQ(app::WithFinalSeparator("out"), "out" + sep);
    EXPECT_EQ(app::WithFinalSeparator("out" + sep), "out" + sep);
    EXPECT_EQ(app::WithFinalSeparator(sep), sep);
}

TEST_F(RunTest, OutputFolderGetsItsSeparatorAndTheStoreGoesThere) {
    WriteCards(src_ / "a.vcf", 1);
    run.chosenFileName = (src_ / "a.vcf").string();
    run.CmdSplit_Click();
    EXPECT_EQ(run.saveFolder, out_.string() + app::PathSeparator());
    const auto added = log.Starting("AddPSTStore ");
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].rfind("AddPSTStore " + run.saveFolder + "Contacts", 0), 0u) << added[0];
}

TEST_F(RunTest, FolderRunCountsOnAcrossFiles) {
    const std::map<std::string, int> counts = {{"a.vcf", 2}, {"b.vcf", 0}, {"c.vcf", 3}};
    for (const auto& [name, count] : counts)
        WriteCards(src_ / name, count);
    run.srcFolder = app::WithFinalSeparator(src_.string());
    run.inputMode = 2;
    run.CmdSplit_Click();

    // The listing order is the platform's; the captions follow it.
    std::vector<std::string> expected;
    int total = 0;
    for (const std::string& name : app::ListBackupFiles(src_.string())) {
        total += counts.at(name);
        expected.push_back("(" + std::to_string(total) + ") Contacts Saved");
    }
    EXPECT_EQ(CaptionsEndingWith("Contacts Saved"), expected);
    EXPECT_EQ(run.cardCounter, 6);
    EXPECT_EQ(run.inputMode, 0);
    EXPECT_EQ(Saved(), 5u);
    EXPECT_EQ(log.calls.back(), "Logoff");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, kCompletion);
    EXPECT_EQ(messages.shown[0].title, "Velloquin");
    EXPECT_EQ(controls.cmdSplitEnabled, std::vector<bool>{false});
    EXPECT_EQ(controls.runUnderWay, (std::vector<bool>{true, false}));
    EXPECT_EQ(run.LastSummary().contactsRead, 5);
    EXPECT_EQ(run.LastSummary().contactsLost, 0);
}

TEST_F(RunTest, ListingTakesVisibleVcfFilesOnlyWhateverTheirCase) {
    WriteCards(src_ / "a.VCF", 1);
    WriteCards(src_ / "b.vcf", 1);
    WriteCards(src_ / ".d.vcf", 1);
    WriteCards(src_ / "e.vcf.txt", 1);
    fs::create_directories(src_ / "c.vcf");
    auto names = app::ListBackupFiles(src_.string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.VCF", "b.vcf"}));

    std::string error;
    EXPECT_TRUE(app::ListBackupFiles((src_ / "missing").string(), &error).empty());
    EXPECT_FALSE(error.empty());
}

TEST_F(RunTest, SingleFileNameIsTrimmed) {
    WriteCards(src_ / "one.vcf", 2);
    run.chosenFileName = "  " + (src_ / "one.vcf").string() + "  ";
    run.inputMode = 1;
    run.CmdSplit_Click();
    EXPECT_EQ(Saved(), 2u);
    EXPECT_EQ(run.cardCounter, 3);
    EXPECT_EQ(run.inputMode, 1) << "a single-file run leaves the mode alone";
    EXPECT_TRUE(run.LastNotes().Empty()) << run.LastNotes().Format();
}

TEST_F(RunTest, NotesComeInOneMessageAfterTheCompletionMessage) {
    WriteCards(src_ / "one.vcf", 2);
    run.chosenFileName = (src_ / "one.vcf").string();
    log.failing = {"Save"};
    run.CmdSplit_Click();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text, kCompletion);
    EXPECT_EQ(messages.shown[1].title, app::kAppTitle);
    EXPECT_NE(messages.shown[1].text.find("one 1"), std::string::npos) << messages.shown[1].text;
    EXPECT_EQ(run.LastSummary().contactsRead, 2);
    EXPECT_EQ(run.LastSummary().contactsLost, 2);
}

TEST_F(RunTest, WorkbookThatCannotBeCreatedEndsTheRunBeforeReading) {
    controls.xls = true;
    const fs::path notAFolder = root_ / "plain-file";
    std::ofstream(notAFolder) << "keep";
    picker.answer = notAFolder.string();
    WriteCards(src_ / "one.vcf", 2);
    run.chosenFileName = (src_ / "one.vcf").string();
    run.CmdSplit_Click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find(excel::kExcelSheetName), std::string::npos)
        << messages.shown[0].text;
    EXPECT_NE(messages.shown[0].text, kCompletion);
    EXPECT_TRUE(run.LastSummary().setupFailed);
    EXPECT_EQ(run.cardCounter, 0) << "nothing was read";
    EXPECT_EQ(controls.cmdSplitEnabled, std::vector<bool>{false});
    EXPECT_EQ(controls.runUnderWay, (std::vector<bool>{true, false}));
}

TEST_F(RunTest, OutlookFailureShowsTheThreeLinesAndTheReasonThenStops) {
    log.failing = {"Logon"};
    WriteCards(src_ / "one.vcf", 2);
    run.chosenFileName = (src_ / "one.vcf").string();
    run.CmdSplit_Click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Outlook Error");
    EXPECT_EQ(messages.shown[0].text.rfind(outlook::OutlookErrorText(), 0), 0u);
    EXPECT_NE(messages.shown[0].text.find("Logon refused"), std::string::npos);
    EXPECT_TRUE(log.Starting("GetStoreFromID").empty());
    EXPECT_TRUE(log.Starting("Logoff").empty());
    EXPECT_TRUE(run.LastSummary().setupFailed);
}

TEST_F(RunTest, OutputChosenAtSetUpIsTheOneClosed) {
    WriteCards(src_ / "one.vcf", 2);
    run.chosenFileName = (src_ / "one.vcf").string();
    // The user flips the option while the run lets the window work.
    pump.onPump = [this] {
        if (run.cardCounter >= 1) controls.xls = true;
    };
    run.CmdSplit_Click();
    EXPECT_EQ(Saved(), 2u);
    EXPECT_EQ(log.calls.back(), "Logoff");
    EXPECT_FALSE(fs::exists(out_ / excel::kExcelSheetName));
}

TEST_F(RunTest, StopRequestFinishesTheContactAndClosesTheOutput) {
    WriteCards(src_ / "a.vcf", 1);
    WriteCards(src_ / "b.vcf", 1);
    run.srcFolder = app::WithFinalSeparator(src_.string());
    run.inputMode = 2;
    pump.onPump = [this] {
        if (run.cardCounter == 2) run.RequestStop();
    };
    run.CmdSplit_Click();
    EXPECT_EQ(Saved(), 1u);
    EXPECT_EQ(log.calls.back(), "Logoff");
    EXPECT_TRUE(run.LastSummary().stopped);
    EXPECT_FALSE(run.RunUnderWay());
    EXPECT_TRUE(messages.shown.empty()) << "the window is closing";
    EXPECT_FALSE(run.LastNotes().Empty());
}

} // namespace
