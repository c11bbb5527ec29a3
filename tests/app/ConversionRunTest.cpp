// The conversion run driven without a screen, into the recording Outlook library
// or a real workbook, and the pump that lets the window work during it.
#include "app/ConversionRun.h"
#include "Fakes.h"
#include "app/ThrottledPump.h"
#include "outlook/RecordingRdo.h"
#include "support/Readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <tuple>

namespace fs = std::filesystem;
using namespace velloquin;
using velloquin::testing::Strings;
using namespace std::chrono_literals;

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
    // A fresh window that saves into `folder` and answers its question with `yes`.
    void NewWindow(const fs::path& folder, bool xls, bool yes) {
        fs::create_directories(folder);
        window = velloquin::testing::FakeWindow{};
        window.folder = folder.string();
        window.xls = xls;
        window.answers = {yes};
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

// The workbook's code page is chosen from every file of a folder before the
// sheet is written: the first file alone would have been Windows-1252.
TEST_F(RunTest, AFolderRunChoosesTheCodePageFromEveryFile) {
    testsupport::WriteFile(src / "a.vcf", "BEGIN:VCARD\r\nN:Doe;John\r\nEND:VCARD\r\n");
    testsupport::WriteFile(src / "b.vcf", "BEGIN:VCARD\r\nN:Петров;Иван\r\nEND:VCARD\r\n");
    window.xls = true;
    window.folder = out.string();
    run.srcFolder = src.string();
    run.inputMode = 2;
    run.CmdSplit_Click();
    const std::string bytes = testsupport::ReadFile(out / excel::kExcelSheetName);
    // BOF, then CODEPAGE 1251; "Иван" a byte per letter.
    EXPECT_EQ(bytes.substr(8, 6), std::string("\x42\x00\x02\x00\xE3\x04", 6));
    EXPECT_NE(bytes.find("\x04\xC8\xE2\xE0\xED"), std::string::npos);
    EXPECT_TRUE(run.LastNotes().Empty()) << run.LastNotes().Format();
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

// Normal mode finds only vCards whose lines end in LF alone: the notes offer
// Advance Mode. Yes reads the same choice again into the same folder and
// removes the empty output of the first reading; No leaves things as they are.
TEST_F(RunTest, OfferToReadAgainInAdvanceMode) {
    testsupport::WriteFile(
        src / "lf.vcf",
        "BEGIN:VCARD\nN:Fam1;Giv1\nEND:VCARD\nBEGIN:VCARD\nN:Fam2;Giv2\nEND:VCARD\n");
    const std::string question =
        "Corvanth Velloquin? " + (src / "lf.vcf").string() +
        ": No vCard could be read although the file holds 2 BEGIN:VCARD lines; its lines "
        "probably end in LF alone, which only Advance Mode reads.\n\nRead it again in Advance "
        "Mode?";
    const std::tuple<const char*, bool, bool, bool> cases[] = {
        // name, workbook, Yes, folder run
        {"xls-yes", true, true, false},
        {"xls-no", true, false, false},
        {"pst-yes", false, true, false},
        {"pst-no", false, false, false},
        {"folder-xls-yes", true, true, true}};
    std::vector<fs::path> workbooks;
    std::vector<size_t> rows;
    for (const auto& [name, xls, yes, folderRun] : cases) {
        SCOPED_TRACE(name);
        const fs::path folder = root.Path() / name;
        NewWindow(folder, xls, yes);
        run.rdoFactory = outlook::CreateRdoObject; // real stores, for readpst
        run.chosenFileName = (src / "lf.vcf").string();
        run.srcFolder = src.string();
        run.inputMode = folderRun ? 2 : 0;
        run.CmdSplit_Click();

        EXPECT_EQ(window.prompts.size(), 1u) << "the folder is asked for once";
        EXPECT_EQ(window.advance, yes);
        Strings shown = {kCompletion, question};
        if (yes) shown.push_back(kCompletion);
        EXPECT_EQ(window.shown, shown);
        EXPECT_EQ(run.LastNotes().Empty(), yes);
        EXPECT_EQ(run.cardCounter, yes ? 3 : 1);
        EXPECT_EQ(run.inputMode, 0);
        EXPECT_EQ(window.underWay, std::vector<bool>({true, false}));
        // One output in the folder: the empty one is gone or is the only one.
        std::vector<fs::path> files(fs::directory_iterator(folder), {});
        ASSERT_EQ(files.size(), 1u);
        if (xls) {
            EXPECT_EQ(files[0].filename(), excel::kExcelSheetName);
            // LibreOffice takes the workbooks together, under names of their own.
            workbooks.push_back(folder / (std::string(name) + ".xls"));
            fs::rename(files[0], workbooks.back());
            rows.push_back(yes ? 3 : 1);
        } else {
            EXPECT_EQ(files[0].extension(), ".pst");
            if (testsupport::ReadpstAvailable()) {
                EXPECT_EQ(testsupport::ReadpstContactNames(files[0]),
                          yes ? Strings({"Fam1;Giv1;;;", "Fam2;Giv2;;;"}) : Strings());
            }
        }
    }
    // A folder whose other file Normal mode did read: that first store keeps its
    // contact, and the second one, made within the same second, gets a name of
    // its own.
    testsupport::WriteFile(src / "crlf.vcf", "BEGIN:VCARD\r\nN:Fam3;Giv3\r\nEND:VCARD\r\n");
    const fs::path mixed = root.Path() / "mixed";
    NewWindow(mixed, false, true);
    run.clock = [] { // 2 February 2026, 3:04:05, the same at every call
        std::tm t{};
        t.tm_year = 126, t.tm_mon = 1, t.tm_mday = 2, t.tm_hour = 3, t.tm_min = 4, t.tm_sec = 5;
        t.tm_isdst = -1;
        return t;
    };
    run.srcFolder = src.string();
    run.inputMode = 2;
    run.CmdSplit_Click();
    const size_t readpst = testsupport::ReadpstAvailable(); // else each counts 0
    std::map<std::string, size_t> stores;
    for (const auto& entry : fs::directory_iterator(mixed))
        stores[entry.path().filename().string()] =
            readpst ? testsupport::ReadpstContactNames(entry.path()).size() : 0;
    EXPECT_EQ(stores, (std::map<std::string, size_t>{{"Contacts2.2.26 3.4.05.pst", readpst},
                                                     {"Contacts2.2.26 3.4.06.pst", 3 * readpst}}));

    if (!testsupport::SofficeInstalled()) GTEST_SKIP() << "LibreOffice is not installed";
    const std::vector<testsupport::CsvTable> tables = testsupport::ReadWorkbooks(workbooks);
    for (size_t i = 0; i < tables.size(); ++i) {
        ASSERT_EQ(tables[i].size(), rows[i]) << workbooks[i];
        if (rows[i] == 3) {
            EXPECT_EQ(tables[i][2].at(0) + " " + tables[i][2].at(2), "Giv2 Fam2");
        }
    }
}

// "Let the window work" made cheap, on a clock the test moves by hand.
TEST(ThrottledPump, PumpsAboutOncePerIntervalAndTheCaptionOnlyThenOrOnFlush) {
    velloquin::testing::FakeWindow window;
    app::ThrottledPump::TimePoint now{};
    app::ThrottledPump throttle(window, window, 30ms, [&] { return now; });
    for (int i = 1; i <= 1'000'000; ++i, now += 1us) { // one second, a call every microsecond
        throttle.SetCaption("(" + std::to_string(i / 1000) + ") vCards Saved");
        throttle.LetTheWindowWork();
    }
    EXPECT_TRUE(window.pumps >= 25 && window.pumps <= 34) << window.pumps;
    EXPECT_EQ(window.captions.size(), size_t(window.pumps)) << "one caption per pump";
    throttle.Flush();
    throttle.Flush(); // an unchanged caption is not pushed again
    EXPECT_EQ(window.captions.back(), "(1000) vCards Saved");
    EXPECT_EQ(window.captions.size(), size_t(window.pumps) + 1);
    // Calls 40 ms apart after the dense ones are noticed within one stride.
    const int before = window.pumps;
    for (int i = 0; i < 200; ++i, now += 40ms)
        throttle.LetTheWindowWork();
    EXPECT_GE(window.pumps - before, 200 - 64);
}

} // namespace
