// Standard Mode as the window's user finds it: a Normal-mode run that left
// values unread offers it, Yes reads that run again in it, and the window's
// own mode stays. Driven through the window's logic with only its clicks and
// dialog answers; the outputs read back with LibreOffice and readpst.
#include "app/Fakes.h"
#include "app/FormLogic.h"
#include "support/Readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace velloquin;
using namespace velloquin::app;
using velloquin::testing::Strings;

namespace {

const std::string kCompletion = "Velloquin: If you failed to see converted contacts then, please "
                                "contact us back on support@velloquin.example.";

// The window: its dialogs answer from the test, its controls record.
struct Window : velloquin::testing::FakeWindow, FileDialog, Shell, FormControls {
    std::string file, path;
    bool convertEnabled = false, closed = false;
    std::string ShowOpen(const std::string&, int, int) override { return file; }
    bool ShellOpen(const std::string&) override { return true; }
    void SetPathText(const std::string& text) override { path = text; }
    std::string PathText() override { return path; }
    void SetCmdSplitEnabled(bool enabled) override { convertEnabled = enabled; }
    void SetControlEnabled(const ControlLayout&, bool) override {}
    void ShowInstructions(bool) override {}
    void CloseWindow() override { closed = true; }
};

std::string Sample() {
    return testsupport::ReadFile(fs::path(VELLOQUIN_SAMPLES) / "skype-contacts-sample.vcf");
}

std::string LfOnly(const std::string& text) {
    std::string out;
    std::copy_if(text.begin(), text.end(), std::back_inserter(out),
                 [](char c) { return c != '\r'; });
    return out;
}

// The user's clicks: the backup in the file dialog, Convert, the folder, and
// the answer to the notes' question.
void ConvertWithClicks(FormLogic& logic, Window& w, const std::string& backup,
                       const fs::path& folder, bool yes) {
    fs::create_directories(folder);
    w.file = backup;
    w.folder = folder.string();
    w.answers = {yes};
    logic.Click(ControlAction::Browse);
    ASSERT_TRUE(w.convertEnabled);
    logic.Click(ControlAction::Convert);
}

fs::path OnlyOutput(const fs::path& folder, const std::string& extension) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == extension) found.push_back(entry.path());
    return found.size() == 1 ? found[0] : fs::path();
}

// Each row below the title: its name (first and last) and all its cells.
std::vector<std::pair<std::string, std::string>> Rows(const testsupport::CsvTable& table) {
    std::vector<std::pair<std::string, std::string>> rows;
    for (size_t r = 1; r < table.size(); ++r) {
        std::string cells;
        for (const std::string& cell : table[r])
            cells += cell + "|";
        rows.emplace_back(table[r].at(0) + " " + table[r].at(2), cells);
    }
    return rows;
}

// A Skype backup with lines that end in LF alone, which Normal Mode reads
// nothing of: with clicks alone every contact reaches the workbook and the
// store. The same backup with CR LF, read in Normal Mode, is what they must
// hold; it is offered nothing.
TEST(StandardOfferWindow, AnLfOnlyBackupReachesBothOutputsWholeWithClicksAlone) {
    testsupport::TempDir dir("velloquin-offer-window");
    const std::string crlf = testsupport::WriteFile(dir.Path() / "crlf.vcf", Sample());
    const std::string lf = testsupport::WriteFile(dir.Path() / "lf.vcf", LfOnly(Sample()));
    std::vector<fs::path> workbooks;
    std::vector<Strings> stores;
    for (const bool xls : {true, false}) {
        SCOPED_TRACE(xls ? "workbook" : "store");
        const std::string kind = xls ? "xls" : "pst";
        Window w;
        w.xls = xls;
        FormLogic logic({w, w, w, w, w, dir.Path().string(), {}}, w, w);
        logic.Form_Load();

        // The sample as shipped: converted, and nothing asked.
        ConvertWithClicks(logic, w, crlf, dir.Path() / (kind + "-crlf"), true);
        EXPECT_EQ(w.shown, Strings{kCompletion});
        EXPECT_TRUE(w.notes.empty());
        EXPECT_EQ(w.captions.back(), "(8) vCards Saved");

        // Lines that end in LF alone: Normal Mode reads nothing, the notes
        // count what Standard Mode reads and ask; Yes reads it again.
        w.shown.clear();
        ConvertWithClicks(logic, w, lf, dir.Path() / (kind + "-lf"), true);
        // (The Standard reading may have notes of its own: values the
        // workbook has no column for.)
        ASSERT_GE(w.notes.size(), 1u);
        EXPECT_EQ(w.notes[0].question, "Read it again in Standard Mode?");
        EXPECT_TRUE(w.notes[0].text.starts_with("Normal Mode left ")) << w.notes[0].text;
        EXPECT_NE(w.notes[0].text.find(" values of 8 contacts unread that Standard Mode reads."),
                  std::string::npos)
            << w.notes[0].text;
        ASSERT_GE(w.shown.size(), 3u);
        EXPECT_EQ(w.shown[2], kCompletion) << "the completion, the question, the completion again";
        EXPECT_EQ(w.prompts.size(), 2u) << "one folder asked for each run";
        EXPECT_TRUE(w.OptNormal() && !w.OptAdvance()) << "the window's mode stays";
        EXPECT_EQ(w.captions.back(), "(8) vCards Saved");
        EXPECT_EQ(logic.Run().cardCounter, 9);

        // The next run reads in the window's mode again: Normal, which again
        // reads nothing and asks again; No leaves it at that.
        ConvertWithClicks(logic, w, lf, dir.Path() / (kind + "-again"), false);
        EXPECT_EQ(logic.Run().cardCounter, 1);
        EXPECT_EQ(w.notes.back().question, "Read it again in Standard Mode?");

        const fs::path reference = OnlyOutput(dir.Path() / (kind + "-crlf"), "." + kind);
        const fs::path reread = OnlyOutput(dir.Path() / (kind + "-lf"), "." + kind);
        ASSERT_FALSE(reference.empty() || reread.empty()) << "one output each";
        if (xls) {
            // LibreOffice takes the workbooks together, under names of their own.
            for (const auto& [from, name] :
                 {std::pair{reference, "crlf.xls"}, {reread, "lf.xls"}}) {
                workbooks.push_back(dir.Path() / name);
                fs::rename(from, workbooks.back());
            }
        } else if (testsupport::ReadpstAvailable()) {
            stores = {testsupport::ReadpstContactNames(reference),
                      testsupport::ReadpstContactNames(reread)};
        }
    }
    if (!stores.empty()) {
        EXPECT_EQ(stores.at(0).size(), 8u);
        EXPECT_EQ(stores.at(1), stores.at(0));
    }
    if (!testsupport::SofficeInstalled()) GTEST_SKIP() << "LibreOffice is not installed";
    const auto tables = testsupport::ReadWorkbooks(workbooks);
    ASSERT_EQ(tables.at(0).size(), 9u) << "the title row and 8 contacts";
    const auto expected = Rows(tables.at(0)), got = Rows(tables.at(1));
    // Every contact with its name and its e-mail addresses, wherever the
    // mode puts a contact's second address.
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].first, expected[i].first);
        for (const std::string mail : {"helene.dupre@", "j.mueller@", "jose@", "amelie.cote@"})
            if (expected[i].second.find(mail) != std::string::npos) {
                EXPECT_NE(got[i].second.find(mail), std::string::npos) << got[i].second;
            }
    }
}

// Closing the window while the backup is read again for Standard Mode: the
// question says the output is whole, the check stops, the window's last word
// says what the output holds, and the window closes.
TEST(StandardOfferWindow, ClosingDuringTheCheckKeepsTheWholeOutput) {
    testsupport::TempDir dir("velloquin-offer-close");
    std::string backup;
    for (int i = 0; i < 300; ++i)
        backup += "BEGIN:VCARD\r\nN:Fam" + std::to_string(i) + ";Giv\r\nEND:VCARD\r\n";
    const std::string file = testsupport::WriteFile(dir.Path() / "a.vcf", backup);
    Window w;
    FormLogic logic({w, w, w, w, w, dir.Path().string(), {}}, w, w);
    ConversionRun& run = logic.Run();
    std::vector<std::string> checkCaptions;
    int checkTurns = 0;
    w.onPump = [&] {
        if (!run.CheckingStandardMode()) return;
        checkCaptions.push_back(w.captions.empty() ? "" : w.captions.back());
        // A few turns into the check, the user closes the window and says Yes.
        if (++checkTurns == 3) {
            EXPECT_FALSE(logic.QueryClose());
        }
        // Longer than the run's pump waits between two turns of the window.
        std::this_thread::sleep_for(std::chrono::milliseconds(31));
    };
    ConvertWithClicks(logic, w, file, dir.Path() / "out", true);
    ASSERT_GE(checkTurns, 3) << "the window worked during the check";
    EXPECT_TRUE(logic.CloseAfterRun() && w.closed);
    EXPECT_TRUE(checkCaptions.back().starts_with("Checking the backup for Standard Mode... "))
        << checkCaptions.back();
    const std::string workbook = (dir.Path() / "out" / "vCardContactsExported.xls").string();
    EXPECT_EQ(w.shown, Strings({"Corvanth Velloquin? " + CloseDuringCheckQuestion(300),
                                "Velloquin: " + FinishedRunText(workbook, 300)}));
    EXPECT_EQ(w.shown[1],
              "Velloquin: The conversion is complete. " + workbook + " holds 300 contacts.");
    EXPECT_FALSE(run.LastSummary().stopped) << "the output was whole before the check";
    EXPECT_EQ(w.captions.back(), "(300) vCards Saved");
    if (!testsupport::SofficeInstalled()) GTEST_SKIP() << "LibreOffice is not installed";
    EXPECT_EQ(testsupport::ReadWorkbooks({workbook}).at(0).size(), 301u);
}

} // namespace
