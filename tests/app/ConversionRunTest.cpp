// The conversion run driven without a screen, into the recording Outlook library
// or a real workbook, and the pump that lets the window work during it.
#include "app/ConversionRun.h"
#include "Fakes.h"
#include "app/LookAhead.h"
#include "app/ThrottledPump.h"
#include "outlook/RecordingRdo.h"
#include "support/Readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
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
    run.inputMode = app::InputMode::File;
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
    EXPECT_EQ(run.inputMode, app::InputMode::File) << "a single-file run leaves the mode alone";
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
    // The captions of the reading, until the check for Standard Mode begins.
    auto folderCaptions = [&] {
        Strings captions;
        for (const std::string& c : window.captions) {
            if (c.starts_with("Checking the backup for Standard Mode")) break;
            if (c.ends_with("Contacts Saved")) captions.push_back(c);
        }
        window.captions.clear();
        return captions;
    };
    run.inputMode = app::InputMode::Folder;
    run.CmdSplit_Click();
    // The totals after each file in the platform's listing order ((2), (2), (5) when
    // sorted); the label is not told again a caption it already shows.
    Strings expected;
    int total = 0;
    for (const std::string& name : app::ListBackupFiles(src.string()))
        expected.push_back("(" + std::to_string(total += counts.at(name)) + ") Contacts Saved");
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    EXPECT_EQ(folderCaptions(), expected);

    // Again, with every contact lost: the label counts what the store holds.
    window.shown.clear();
    window.cmdSplit.clear();
    log.calls.clear();
    run.inputMode = app::InputMode::Folder;
    log.failing = {"Save"};
    run.CmdSplit_Click();
    const Strings lostCaptions = folderCaptions();
    EXPECT_TRUE(!lostCaptions.empty() &&
                std::all_of(lostCaptions.begin(), lostCaptions.end(),
                            [](const std::string& c) { return c == "(0) Contacts Saved"; }))
        << lostCaptions.size();
    EXPECT_EQ(run.cardCounter, 6);
    EXPECT_EQ(run.inputMode, app::InputMode::File);
    EXPECT_EQ(log.Count("Save"), 5u);
    EXPECT_EQ(log.calls.back(), "Logoff");
    EXPECT_EQ(window.cmdSplit, std::vector<bool>{false});
    ASSERT_EQ(window.shown.size(), 2u);
    EXPECT_EQ(window.shown[0], kCompletion);
    EXPECT_EQ(window.shown[1].rfind("Corvanth Velloquin: ", 0), 0u);
    EXPECT_NE(window.shown[1].find("someday"), std::string::npos) << window.shown[1];
    EXPECT_EQ(window.shown[1].find("The store holds 0 of the 5 contacts read; 5 were not written"),
              20u)
        << window.shown[1];
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
    run.inputMode = app::InputMode::Folder;
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

// Normal mode finds only vCards whose lines end in LF alone: the notes count
// what Standard Mode reads there and offer it. Yes reads the same choice again
// into the same folder and removes the empty output of the first reading; No
// leaves things as they are.
TEST_F(RunTest, OfferToReadAgainInStandardMode) {
    testsupport::WriteFile(
        src / "lf.vcf",
        "BEGIN:VCARD\nN:Fam1;Giv1\nEND:VCARD\nBEGIN:VCARD\nN:Fam2;Giv2\nEND:VCARD\n");
    const std::string question =
        "Corvanth Velloquin? Normal Mode left 4 values of 2 contacts unread that Standard Mode "
        "reads.\n\n" +
        (src / "lf.vcf").string() +
        ": No vCard could be read although the file holds 2 BEGIN:VCARD lines; its lines "
        "probably end in LF alone, which Normal Mode does not read.\n\nRead it again in Standard "
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
        run.inputMode = folderRun ? app::InputMode::Folder : app::InputMode::File;
        run.CmdSplit_Click();

        EXPECT_EQ(window.prompts.size(), 1u) << "the folder is asked for once";
        EXPECT_FALSE(window.advance) << "the second reading leaves the window's mode alone";
        Strings shown = {kCompletion, question};
        if (yes) shown.push_back(kCompletion);
        EXPECT_EQ(window.shown, shown);
        EXPECT_EQ(run.LastNotes().Empty(), yes);
        EXPECT_EQ(run.cardCounter, yes ? 3 : 1);
        EXPECT_EQ(run.inputMode, app::InputMode::File);
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
    run.inputMode = app::InputMode::Folder;
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

// A second reading in Standard Mode is for that run: the next run reads in the
// mode the window shows, here Normal, which again finds nothing in LF lines.
TEST_F(RunTest, AReadingAgainInStandardModeDoesNotOutliveItsRun) {
    run.chosenFileName =
        testsupport::WriteFile(src / "lf.vcf", "BEGIN:VCARD\nN:Fam;Giv\nEND:VCARD\n");
    NewWindow(out, true, true);
    run.CmdSplit_Click();
    EXPECT_EQ(run.cardCounter, 2) << "the second reading read the contact";
    EXPECT_FALSE(window.advance);
    window.answers = {false};
    run.CmdSplit_Click();
    EXPECT_EQ(run.cardCounter, 1) << "the next run read in Normal Mode again";
    EXPECT_EQ(window.notes.size(), 2u);
    EXPECT_EQ(window.notes.back().question, "Read it again in Standard Mode?");
}

// A thousand bad birthdays: one line in the dialog, every note in the saved
// file; a file that cannot be written is reported.
TEST_F(RunTest, ManyNotesAreToldOnceOnScreenAndSavedInFull) {
    // Dates without digits, which the notes quote as they are.
    auto letters = [](int i) {
        std::string word = "x";
        for (const char digit : std::to_string(i))
            word += static_cast<char>('a' + (digit - '0'));
        return word;
    };
    std::string backup;
    for (int i = 1; i <= 1000; ++i)
        backup += "BEGIN:VCARD\r\nN:Fam" + std::to_string(i) + ";Giv\r\nBDAY:" + letters(i) +
                  "\r\nEND:VCARD\r\n";
    run.chosenFileName = testsupport::WriteFile(src / "dates.vcf", backup);
    window.folder = out.string();
    window.saveNotesPresses = 1;
    window.saveAs = (root.Path() / "notes.txt").string();
    app::SaveFileDialog& saves = window;
    run.notesSaveDialog = &saves;
    run.CmdSplit_Click();

    ASSERT_EQ(window.notes.size(), 1u);
    const app::NotesBox& box = window.notes[0];
    EXPECT_EQ(box.text, run.chosenFileName +
                            ": 1000 contacts: the birthday is not a date with day, month and "
                            "year; it was left empty (contacts 1, 2, 3 \u2026 1000; for example "
                            "\"xb\", \"xc\", \"xd\").\n");
    EXPECT_TRUE(box.question.empty());
    EXPECT_EQ(window.saveQuestions,
              Strings{"Save Notes|Velloquin notes.txt|Text file (*.txt)|*.txt"});
    std::string text = testsupport::ReadFile(window.saveAs);
#ifdef _WIN32
    // For the Notepad of the older systems: a byte-order mark and CR LF.
    EXPECT_TRUE(text.starts_with("\xEF\xBB\xBF"));
    text.erase(0, 3);
    const std::string lineEnd = "\r";
#else
    const std::string lineEnd;
#endif
    std::istringstream saved(text);
    int lines = 0;
    for (std::string line; std::getline(saved, line);) {
        ++lines;
        // The value as the date rules saw it, then as the backup holds it.
        const std::string start =
            run.chosenFileName + ": contact " + std::to_string(lines) + ": The birthday \"";
        const std::string end = "(taken from \"" + letters(lines) +
                                "\") is not a date with day, month and year; it was left empty." +
                                lineEnd;
        EXPECT_TRUE(line.starts_with(start) && line.ends_with(end)) << line;
    }
    EXPECT_EQ(lines, 1000);

    window.notes.clear();
    window.shown.clear();
    window.saveAs = (root.Path() / "no-such-folder" / "notes.txt").string();
    run.CmdSplit_Click();
    ASSERT_EQ(window.shown.size(), 3u);
    EXPECT_EQ(window.shown[1].rfind(
                  "Corvanth Velloquin: The notes could not be saved as " + window.saveAs + ": ", 0),
              0u)
        << window.shown[1];
}

// A sheet ends at row 65536: the label and the notes count the contacts the
// workbook holds, and say how many it lacks and why.
TEST_F(RunTest, TheRowLimitIsCountedInTheLabelAndTheNotes) {
    std::string backup;
    for (int i = 0; i < 65537; ++i)
        backup += "BEGIN:VCARD\r\nN:F;G\r\nEND:VCARD\r\n";
    run.chosenFileName = testsupport::WriteFile(src / "many.vcf", backup);
    window.xls = true;
    window.folder = out.string();
    run.CmdSplit_Click();
    EXPECT_EQ(window.captions.back(), "(65535) vCards Saved");
    EXPECT_EQ(run.LastSummary().contactsRead, 65537);
    EXPECT_EQ(run.LastSummary().contactsLost, 2);
    ASSERT_EQ(window.notes.size(), 1u);
    EXPECT_EQ(window.notes[0].text,
              "The workbook holds 65535 of the 65537 contacts read; 2 were not written, for the "
              "reasons below.\n\n" +
                  (out / excel::kExcelSheetName).string() +
                  ": 2 contacts: missing from the workbook: a sheet ends at row 65536, which "
                  "leaves room for 65535 contacts below the title row (contacts 65536, 65537).\n");
}

// The reading ahead of a workbook run lets the window work after every vCard,
// counts them for the label and ends soon after a stop is asked for.
TEST(ReadingAhead, ShowsItsProgressAndHearsAStop) {
    testsupport::TempDir dir("velloquin-ahead");
    std::string backup;
    for (int i = 0; i < 50; ++i)
        backup += "BEGIN:VCARD\r\nN:F;G\r\nEND:VCARD\r\n";
    const std::string file = testsupport::WriteFile(dir.Path() / "a.vcf", backup);
    for (const int64_t stopAt : {int64_t{0}, int64_t{10}}) {
        std::vector<int64_t> seen;
        int pumps = 0;
        app::PrereadHooks hooks;
        hooks.letTheWindowWork = [&] { ++pumps; };
        hooks.cardsSeen = [&](int64_t cards) { seen.push_back(cards); };
        hooks.stopRequested = [&] { return stopAt > 0 && !seen.empty() && seen.back() >= stopAt; };
        app::ChooseWorkbookCodePage({file, file}, hooks);
        // The stop is heard between the pieces of a backup (a quarter of a
        // megabyte each): here, after the first file.
        const int64_t expected = stopAt > 0 ? 50 : 100;
        ASSERT_EQ(seen.size(), static_cast<size_t>(expected)) << stopAt;
        for (size_t i = 0; i < seen.size(); ++i)
            EXPECT_EQ(seen[i], static_cast<int64_t>(i) + 1);
        EXPECT_GE(pumps, expected);
    }
}

// The run shows the reading ahead in the label; a stop asked for then leaves
// no output at all.
TEST_F(RunTest, AStopWhileReadingAheadLeavesNoOutput) {
    run.chosenFileName = Cards("a.vcf", 20);
    window.xls = true;
    window.folder = out.string();
    window.onPump = [&] {
        if (run.ReadingAhead()) run.RequestStop();
    };
    run.CmdSplit_Click();
    EXPECT_EQ(window.captions.front(), "Reading the backup... 0 contacts");
    EXPECT_TRUE(run.LastSummary().stopped);
    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_TRUE(window.shown.empty());
    EXPECT_EQ(run.OutputPath(), "");

    window.onPump = [] {};
    window.captions.clear();
    run.CmdSplit_Click();
    EXPECT_NE(std::find(window.captions.begin(), window.captions.end(),
                        "Reading the backup... 20 contacts"),
              window.captions.end());
    EXPECT_EQ(window.captions.back(), "(20) vCards Saved");
    EXPECT_EQ(run.OutputPath(), (out / excel::kExcelSheetName).string());
}

// Notes that differ only in the values they quote are told once, with their
// number, their first contacts and values; a title that opens a note is what
// the note is about and keeps it apart.
TEST(NoteGroups, RepeatedNotesAreToldOnce) {
    const std::pair<std::string, std::string> patterns[] = {
        {"The birthday \"x\" is not a date.", "The birthday is not a date."},
        {"The birthday \"x\" (taken from \"y\") is bad.", "The birthday is bad."},
        {"\"Notes\" is longer than a cell holds.", "\"Notes\" is longer than a cell holds."},
        {"A sheet ends at row 65536 (the title row).",
         "A sheet ends at row 65536 (the title row)."},
        {"Half \"quoted", "Half \"quoted"},
    };
    for (const auto& [message, pattern] : patterns)
        EXPECT_EQ(NotePattern(message), pattern) << message;

    RunNotes notes;
    auto add = [&](const std::string& file, int64_t contact, const std::string& message) {
        notes.Add(RunNote{file, contact, message, false});
    };
    for (int64_t i = 1; i <= 5; ++i)
        add("a.vcf", i * 10, "The birthday \"b" + std::to_string(i % 2) + "\" is not a date.");
    for (int64_t i = 1; i <= 4; ++i)
        add("a.vcf", i, "\"Notes\" is longer than a cell holds.");
    add("a.vcf", 7, "\"Title\" is longer than a cell holds.");
    add("b.vcf", 3, "The birthday \"c\" is not a date.");
    for (int i = 0; i < 3; ++i)
        add("", 0, "Writing failed: disk full");
    EXPECT_EQ(notes.FormatGrouped(),
              "a.vcf: 5 contacts: the birthday is not a date (contacts 10, 20, 30 \u2026 50; for "
              "example \"b1\", \"b0\").\n"
              "a.vcf: 4 contacts: \"Notes\" is longer than a cell holds (contacts 1, 2, 3, 4).\n"
              "a.vcf: contact 7: \"Title\" is longer than a cell holds.\n"
              "b.vcf: contact 3: The birthday \"c\" is not a date.\n"
              "3 times: writing failed: disk full.\n");

    // Past the bound of groups, notes are only counted.
    RunNotes many;
    for (size_t i = 0; i < RunNotes::kMaxGroups + 2; ++i)
        many.Add(RunNote{"f" + std::to_string(i), 1, "Bad.", false});
    EXPECT_TRUE(many.FormatGrouped().ends_with("f999: contact 1: Bad.\n... and 2 more notes.\n"));
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
