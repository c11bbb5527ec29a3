// The file and folder choices of the main window, without a screen.
#include "app/gui/FormLogic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace velloquin::app;

namespace {

class TempDir {
  public:
    TempDir() {
        // Random, so that two builds testing at once do not meet.
        path_ = fs::temp_directory_path() /
                ("velloquin-form-" + std::to_string(std::random_device()()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::string file = (path_ / name).string();
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }
    std::string Path() const { return path_.string(); }

  private:
    fs::path path_;
};

struct FakeFiles : FileDialog {
    std::string answer;
    std::vector<std::string> filters;
    std::vector<int> flags;
    std::vector<int> sizes;
    std::string ShowOpen(const std::string& filter, int f, int maxFileSize) override {
        filters.push_back(filter);
        flags.push_back(f);
        sizes.push_back(maxFileSize);
        return answer;
    }
};

struct FakeFolders : FolderPicker {
    std::vector<std::string> answers; // taken in turn; empty text once used up
    std::vector<std::string> prompts;
    std::string BrowseForFolder(const std::string& prompt) override {
        prompts.push_back(prompt);
        if (answers.empty()) return {};
        std::string answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
};

struct FakeMessages : MessageBox {
    std::vector<std::pair<std::string, std::string>> shown; // text, title
    void Show(const std::string& text, const std::string& title) override {
        shown.emplace_back(text, title);
    }
};

struct FakePump : WindowPump {
    std::function<void()> onPump;
    int pumps = 0;
    void LetTheWindowWork() override {
        ++pumps;
        if (onPump) onPump();
    }
};

struct FakeShell : Shell {
    std::vector<std::string> opened;
    void ShellOpen(const std::string& target) override { opened.push_back(target); }
};

struct FakeForm : FormControls, RunControls {
    std::string path;
    bool cmdSplit = false;
    bool underWay = false;
    std::string caption;
    void SetPathText(const std::string& text) override { path = text; }
    std::string PathText() override { return path; }
    void SetCmdSplitEnabled(bool enabled) override { cmdSplit = enabled; }
    bool OptXLS() override { return true; }
    bool OptPST() override { return false; }
    bool OptNormal() override { return true; }
    bool OptAdvance() override { return false; }
    void SetProgressCaption(const std::string& c) override { caption = c; }
    void SetRunUnderWay(bool b) override { underWay = b; }
};

struct Window {
    FakeFiles files;
    FakeFolders folders;
    FakeMessages messages;
    FakePump pump;
    FakeShell shell;
    FakeForm form;
    FormLogic logic{{files, folders, messages, pump, shell}, form, form};
};

std::string Sep() {
    return std::string(1, PathSeparator());
}

} // namespace

TEST(GetFileName, TakesTheTextAfterTheLastSeparator) {
    const std::string s = Sep();
    EXPECT_EQ(GetFileName("a" + s + "b" + s + "c.vcf"), "c.vcf");
    EXPECT_EQ(GetFileName("plain.vcf"), "plain.vcf");
    EXPECT_EQ(GetFileName("dir" + s), "");
    EXPECT_EQ(GetFileName(""), "");
}

TEST(HasVcfExtension, ComparesTheLastFourCharactersOfTheName) {
    struct Case {
        const char* name;
        bool accepted;
    } cases[] = {
        {"contacts.VCF", true}, {"contacts.vcf", true},   {".vcf", true},         {"vcf", false},
        {"a.vcf.txt", false},   {"contacts.vcf ", false}, {"contactsvcf", false}, {"", false}};
    for (const Case& c : cases)
        EXPECT_EQ(HasVcfExtension(std::string("folder") + Sep() + c.name), c.accepted) << c.name;
    // The folder part does not count.
    EXPECT_FALSE(HasVcfExtension("x.vcf" + Sep() + "card.txt"));
}

TEST(LookForBeginVCard, CutsLinesTheWayTheReaderDoes) {
    TempDir dir;
    const std::string longLine(64 * 1024 - 1, 'x'); // CR LF across the read buffer's edge
    struct Case {
        const char* what;
        std::string bytes;
        BackupLook::Result result;
    } cases[] = {
        {"third line, lower case, blanks around", "a\r\nb\r\n  begin:vcard  \r\nFN:x\r\n",
         BackupLook::Found},
        {"lone CR ends a line", "a\rBEGIN:VCARD\rb\r", BackupLook::Found},
        {"last line without a line end", "x\r\nBEGIN:VCARD", BackupLook::Found},
        {"UTF-8 byte-order mark skipped",
         "\xEF\xBB\xBF"
         "BEGIN:VCARD\r\nEND:VCARD\r\n",
         BackupLook::Found},
        {"UTF-16 with its byte-order mark",
         std::string("\xFF\xFE"
                     "B\0E\0G\0I\0N\0:\0V\0C\0A\0R\0D\0\r\0\n\0",
                     28),
         BackupLook::Found},
        {"CR LF split by the buffer", longLine + "\r\nBEGIN:VCARD\r\n", BackupLook::Found},
        {"more after the word", "BEGIN:VCARD;x\r\n", BackupLook::NotFound},
        {"lone LF does not end a line", "BEGIN:VCARD\nFN:x\nEND:VCARD\n", BackupLook::NotFound},
        {"LF stays in the next line", "a\n\rBEGIN:VCARD\n\r", BackupLook::NotFound},
        {"tab is not a blank", "\tBEGIN:VCARD\r\n", BackupLook::NotFound},
        {"half a byte-order mark is text",
         "\xEF\xBB"
         "BEGIN:VCARD\r\n",
         BackupLook::NotFound},
        {"empty file", "", BackupLook::NotFound},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string file = dir.Write("case" + std::to_string(n++) + ".txt", c.bytes);
        EXPECT_EQ(LookForBeginVCard(file, nullptr).result, c.result) << c.what;
    }
}

TEST(LookForBeginVCard, NamesTheReasonWhenTheFileCannotBeOpened) {
    TempDir dir;
    BackupLook look = LookForBeginVCard(dir.Path() + Sep() + "gone.txt", nullptr);
    EXPECT_EQ(look.result, BackupLook::CannotOpen);
    EXPECT_NE(look.reason.find("No such file"), std::string::npos) << look.reason;
}

TEST(FileChoice, AcceptsAVcfNameWithoutOpeningIt) {
    Window w;
    w.files.answer = "C:\\Backup\\contacts.VCF"; // does not exist: never opened
    w.logic.CmdBrowse_Click();
    ASSERT_EQ(w.files.filters.size(), 1u);
    EXPECT_EQ(w.files.filters[0], "Skype Contacts Backup (*.vcf)|*.vcf;*.*");
    EXPECT_EQ(w.files.flags[0], 0x80000);
    EXPECT_EQ(w.files.sizes[0], 1000);
    EXPECT_EQ(w.form.path, "C:\\Backup\\contacts.VCF");
    EXPECT_TRUE(w.form.cmdSplit);
    EXPECT_TRUE(w.messages.shown.empty());
    EXPECT_EQ(w.logic.Run().chosenFileName, "C:\\Backup\\contacts.VCF");
}

TEST(FileChoice, RejectsAFileWithoutBeginLineAndDisablesConvert) {
    TempDir dir;
    Window w;
    w.files.answer = dir.Write("good.txt", "x\r\nBEGIN:VCARD\r\nEND:VCARD\r\n");
    w.logic.CmdBrowse_Click();
    ASSERT_TRUE(w.form.cmdSplit);
    EXPECT_EQ(w.pump.pumps, 1); // once the file is open

    const std::string bad = dir.Write("lf.txt", "BEGIN:VCARD\nFN:x\nEND:VCARD\n");
    w.files.answer = bad;
    w.logic.CmdBrowse_Click();
    ASSERT_EQ(w.messages.shown.size(), 1u);
    EXPECT_EQ(w.messages.shown[0].first, "Selected File is NOT a Valid Skype Contacts Backup File");
    EXPECT_EQ(w.messages.shown[0].second, "Corvanth Velloquin");
    EXPECT_EQ(w.form.path, bad);
    EXPECT_FALSE(w.form.cmdSplit);
}

TEST(FileChoice, ReportsAFileThatCannotBeOpened) {
    TempDir dir;
    Window w;
    const std::string gone = dir.Path() + Sep() + "removed.txt";
    w.files.answer = "  " + gone + " "; // opened with the blanks stripped
    w.form.cmdSplit = true;
    w.logic.CmdBrowse_Click();
    ASSERT_EQ(w.messages.shown.size(), 1u);
    const std::string& text = w.messages.shown[0].first;
    EXPECT_NE(text.find("\"" + gone + "\""), std::string::npos) << text;
    EXPECT_NE(text.find("No such file"), std::string::npos) << text;
    EXPECT_EQ(w.messages.shown[0].second, "Corvanth Velloquin");
    EXPECT_FALSE(w.form.cmdSplit);
}

TEST(FileChoice, CancelLeavesTheEarlierChoice) {
    Window w;
    w.folders.answers = {"/data/cards"};
    w.logic.Command1_Click();
    w.files.answer = "";
    w.logic.CmdBrowse_Click();
    w.folders.answers = {}; // folder picker cancelled too
    w.logic.Command1_Click();
    EXPECT_EQ(w.form.path, "/data/cards" + Sep());
    EXPECT_EQ(w.logic.Run().srcFolder, "/data/cards" + Sep());
    EXPECT_EQ(w.logic.Run().inputMode, 2);
    EXPECT_TRUE(w.form.cmdSplit);
    EXPECT_TRUE(w.messages.shown.empty());
}

TEST(FolderChoice, AddsTheSeparatorOnceAndSwitchesToAFolderRun) {
    const std::string s = Sep();
    for (const auto& [picked, expected] : std::vector<std::pair<std::string, std::string>>{
             {s + "data" + s + "Cards", s + "data" + s + "Cards" + s}, {s, s}}) {
        Window w;
        w.folders.answers = {picked};
        w.logic.Command1_Click();
        EXPECT_EQ(w.folders.prompts.at(0), "Choose Source Folder Having Documents...");
        EXPECT_EQ(w.logic.Run().srcFolder, expected);
        EXPECT_EQ(w.form.path, expected);
        EXPECT_EQ(w.logic.Run().inputMode, 2);
        EXPECT_TRUE(w.form.cmdSplit); // whether or not the folder holds backups
    }
}

TEST(FileChoice, AfterAFolderTheNextRunReadsTheFile) {
    Window w;
    w.folders.answers = {"/data/cards"};
    w.logic.Command1_Click();
    w.files.answer = "/data/one.vcf";
    w.logic.CmdBrowse_Click();
    EXPECT_EQ(w.logic.Run().inputMode, 0);
    EXPECT_EQ(w.logic.Run().chosenFileName, "/data/one.vcf");
}

TEST(Picture3, OpensTheProductPage) {
    Window w;
    w.logic.Picture3_Click();
    EXPECT_EQ(w.shell.opened, std::vector<std::string>{"https://velloquin.example/"});
}

TEST(RunGuards, ChoicesWaitAndClosingStopsTheRunAfterItsOutputIsClosed) {
    TempDir dir;
    Window w;
    std::string cards;
    for (int i = 0; i < 50; ++i)
        cards += "BEGIN:VCARD\r\nFN:Person " + std::to_string(i) + "\r\nEND:VCARD\r\n";
    w.files.answer = dir.Write("cards.vcf", cards);
    w.logic.CmdBrowse_Click();
    const std::string out = dir.Path() + Sep() + "out";
    fs::create_directories(out);
    w.folders.answers = {out};

    bool checked = false;
    w.pump.onPump = [&] {
        if (!w.logic.Run().RunUnderWay() || checked) return;
        checked = true;
        EXPECT_TRUE(w.form.underWay);
        // Choices made while the run reads change nothing.
        w.files.answer = dir.Write("other.vcf", "BEGIN:VCARD\r\nEND:VCARD\r\n");
        w.logic.CmdBrowse_Click();
        w.logic.Command1_Click();
        EXPECT_EQ(w.files.filters.size(), 1u);
        EXPECT_EQ(w.folders.prompts.size(), 1u); // only the run's own question
        EXPECT_FALSE(w.form.cmdSplit);
        EXPECT_FALSE(w.logic.QueryClose());
    };
    w.logic.CmdSplit_Click();
    EXPECT_TRUE(checked);
    EXPECT_TRUE(w.logic.CloseAfterRun());
    EXPECT_FALSE(w.logic.Run().RunUnderWay());
    EXPECT_FALSE(w.form.underWay);
    EXPECT_TRUE(w.messages.shown.empty()) << "nobody is left to read messages";
    EXPECT_LT(w.logic.Run().cardCounter - 1, 50);
    EXPECT_TRUE(w.logic.QueryClose());
}
