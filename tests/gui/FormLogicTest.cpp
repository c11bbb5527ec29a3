// The window's logic that needs no window: the name test and the look for a
// begin line, which must cut lines exactly the way the reader does; the Help
// Manual; the layout table.
#include "app/FormLogic.h"
#include "app/Fakes.h"
#include "app/FormLayout.h"
#include "support/Readers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>

using namespace velloquin::app;
using velloquin::testing::Strings;

namespace {

// The window's platform and controls at once; the shell opens what it is
// given unless told that no program is set up.
// What the window is told to do is recorded in `window`: "open <filter>",
// "off <control>", "on <control>", "instructions modal", "instructions
// modeless", "close".
struct Platform : velloquin::testing::FakeWindow, FileDialog, Shell, FormControls {
    Strings opened, window;
    bool canOpen = true;
    std::string ShowOpen(const std::string& filter, int, int) override {
        window.push_back("open " + filter);
        return {};
    }
    bool ShellOpen(const std::string& target) override {
        opened.push_back(target);
        return canOpen;
    }
    void SetPathText(const std::string&) override {}
    std::string PathText() override { return {}; }
    void SetCmdSplitEnabled(bool) override {}
    void SetControlEnabled(const ControlLayout& control, bool enabled) override {
        window.push_back((enabled ? "on " : "off ") + std::string(control.name));
    }
    void ShowInstructions(bool modal) override {
        window.push_back(modal ? "instructions modal" : "instructions modeless");
    }
    void CloseWindow() override { window.push_back("close"); }
};

} // namespace

TEST(FileRules, NameAndBeginLine) {
    for (const char* name : {"contacts.VCF", "contacts.vcf", ".vcf"})
        EXPECT_TRUE(HasVcfExtension(std::string("folder/") + name)) << name;
    for (const char* name : {"vcf", "a.vcf.txt", "contacts.vcf ", "contactsvcf", "", "x.vcf/a.txt"})
        EXPECT_FALSE(HasVcfExtension(std::string("folder/") + name)) << name;

    velloquin::testsupport::TempDir dir("velloquin-form");
    const std::string longLine(64 * 1024 - 1, 'x'); // CR LF across the read buffer's edge
    const std::pair<std::string, BackupLook::Result> cases[] = {
        {"a\rBEGIN:VCARD\rb\r", BackupLook::Found}, // a lone CR ends a line
        {"x\r\nBEGIN:VCARD", BackupLook::Found},    // the last line needs no line end
        {"\357\273\277BEGIN:VCARD\r\n", BackupLook::Found},
        {std::string("\377\376B\0E\0G\0I\0N\0:\0V\0C\0A\0R\0D\0\r\0\n\0", 28), BackupLook::Found},
        {longLine + "\r\nBEGIN:VCARD\r\n", BackupLook::Found},
        {"BEGIN:VCARD;x\r\n", BackupLook::NotFound},
        {"a\n\rBEGIN:VCARD\n\r", BackupLook::NotFound},    // the LF stays in the next line
        {"\tBEGIN:VCARD\r\n", BackupLook::NotFound},       // a tab is not a blank
        {"\357\273BEGIN:VCARD\r\n", BackupLook::NotFound}, // half a byte-order mark is text
        {"", BackupLook::NotFound},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string file =
            velloquin::testsupport::WriteFile(dir.Path() / std::to_string(i), cases[i].first);
        EXPECT_EQ(LookForBeginVCard(file, nullptr).result, cases[i].second) << "case " << i;
    }
}

// Help Manual: the manual next to the program, else the one of an
// installation's shared data folder, else a message naming both places.
TEST(FormLogic, HelpManualOpensInTheBrowserOrSaysWhereItWasLookedFor) {
    velloquin::testsupport::TempDir dir("velloquin-help");
    const std::filesystem::path bin = dir.Path() / "bin",
                                share = dir.Path() / "share" / "velloquin";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(share);
    const std::string nextTo = (bin / "manual.html").string(),
                      installed = (share / "manual.html").string();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{nextTo, installed}, nextTo}, // the program's own folder first
        {{installed}, installed},
        {{}, ""},
    };
    for (const auto& [present, expected] : cases) {
        for (const std::string& file : {nextTo, installed})
            std::filesystem::remove(file);
        for (const std::string& file : present)
            std::ofstream(file) << "<html></html>";
        Platform p;
        FormLogic logic({p, p, p, p, p, bin.string(), {}}, p, p);
        logic.CmdHelp_Click();
        if (!expected.empty()) {
            EXPECT_EQ(p.opened, velloquin::testing::Strings{expected});
            EXPECT_TRUE(p.shown.empty());
        } else {
            EXPECT_TRUE(p.opened.empty());
            EXPECT_EQ(p.shown, velloquin::testing::Strings{
                                   "Corvanth Velloquin: The Help Manual could not be found. It "
                                   "comes with the program as the file manual.html, which was "
                                   "looked for as:\r\n" +
                                   nextTo + "\r\n" + installed +
                                   "\r\n\r\nPlease install the program again."});
        }
    }
    EXPECT_EQ(CloseDuringRunQuestion(1), "A conversion is running. Stop it and close? The output "
                                         "keeps the 1 contact saved so far.");

    // No program to open the manual or the web page: the user is told where
    // they are, to open them by hand.
    std::ofstream(nextTo) << "<html></html>";
    Platform p;
    p.canOpen = false;
    FormLogic logic({p, p, p, p, p, bin.string(), {}}, p, p);
    logic.CmdHelp_Click();
    logic.Picture3_Click();
    EXPECT_EQ(p.opened, Strings({nextTo, kProductPage}));
    EXPECT_EQ(
        p.shown,
        Strings({"Corvanth Velloquin: The Help Manual could not be opened, as no program is "
                 "set up to open it. Please open it in a web browser; it is the file:\r\n" +
                     nextTo,
                 "Corvanth Velloquin: The web page could not be opened, as no web browser "
                 "is set up on this computer. Its address is:\r\nhttps://velloquin.example/"}));
}

// The notes dialog keeps its size on any screen and fits on a small one.
TEST(NotesDialog, SizeStaysWithinTheScreen) {
    const std::pair<std::pair<int, int>, std::pair<int, int>> cases[] = {
        {{1920, 1080}, {640, 440}}, {{800, 600}, {640, 440}}, {{600, 400}, {540, 360}},
        {{320, 240}, {288, 216}},   {{0, 0}, {1, 1}},
    };
    for (const auto& [screen, expected] : cases) {
        const DialogSize size = NotesDialogSize(screen.first, screen.second);
        EXPECT_EQ(std::make_pair(size.width, size.height), expected) << screen.first;
    }
}

// Closing the window during a run: the question promises what the output then
// holds, and the window's last message says it again, with the output's place.
// While the backup is still read ahead, nothing is made at all.
TEST(FormLogic, ClosingDuringARunKeepsThePromisedCount) {
    velloquin::testsupport::TempDir dir("velloquin-close");
    std::string backup;
    for (int i = 0; i < 400; ++i)
        backup += "BEGIN:VCARD\r\nN:Fam;Giv\r\nEND:VCARD\r\n";
    const std::string file = velloquin::testsupport::WriteFile(dir.Path() / "a.vcf", backup);
    std::vector<std::filesystem::path> workbooks;
    std::vector<size_t> rows;
    // Asked while reading ahead, or a number of the window's turns after the
    // first contact: between two contacts or inside the second.
    const std::pair<int, int> cases[] = {{0, 0}, {1, 0}, {1, 2}, {1, 5}};
    for (const auto& [askAt, turnsLater] : cases) {
        SCOPED_TRACE(std::to_string(askAt) + "+" + std::to_string(turnsLater));
        const std::filesystem::path out =
            dir.Path() / ("out" + std::to_string(askAt) + "-" + std::to_string(turnsLater));
        std::filesystem::create_directories(out);
        Platform p;
        p.folder = out.string();
        p.answers = {true};
        FormLogic logic({p, p, p, p, p, dir.Path().string(), {}}, p, p);
        ConversionRun& run = logic.Run();
        run.chosenFileName = file;
        bool asked = false;
        int turns = 0;
        p.onPump = [&, askAt = askAt, turnsLater = turnsLater] {
            if (asked || (askAt > 0 && run.ReadingAhead())) return;
            const bool now =
                askAt == 0 ? run.ReadingAhead() : run.cardCounter > askAt && turns++ == turnsLater;
            if (now) {
                asked = true;
                EXPECT_FALSE(logic.QueryClose());
            } else {
                // Longer than the run's pump waits between two turns of the
                // window: it gets one at every chance the reader gives it.
                std::this_thread::sleep_for(std::chrono::milliseconds(31));
            }
        };
        logic.CmdSplit_Click();
        ASSERT_TRUE(asked && logic.CloseAfterRun());
        ASSERT_EQ(p.shown.size(), 2u);
        const RunSummary& summary = run.LastSummary();
        if (askAt == 0) {
            EXPECT_EQ(p.shown[0], "Corvanth Velloquin? " + CloseDuringRunQuestion(0, true));
            EXPECT_EQ(p.shown[1], "Velloquin: The conversion was stopped before any output was "
                                  "made.");
            EXPECT_TRUE(std::filesystem::is_empty(out));
            continue;
        }
        const int64_t kept = summary.contactsRead - summary.contactsLost;
        EXPECT_TRUE(kept >= askAt && kept <= askAt + 6) << kept;
        EXPECT_EQ(p.shown[0], "Corvanth Velloquin? " + CloseDuringRunQuestion(kept));
        EXPECT_EQ(p.shown[1], "Velloquin: The conversion was stopped. " +
                                  (out / "vCardContactsExported.xls").string() + " holds " +
                                  std::to_string(kept) + " contacts.");
        // LibreOffice takes the workbooks together, under names of their own.
        workbooks.push_back(out.string() + ".xls");
        std::filesystem::rename(out / "vCardContactsExported.xls", workbooks.back());
        rows.push_back(static_cast<size_t>(kept) + 1); // the title row and the contacts
    }
    if (!velloquin::testsupport::SofficeInstalled()) GTEST_SKIP() << "LibreOffice is not installed";
    const auto tables = velloquin::testsupport::ReadWorkbooks(workbooks);
    for (size_t i = 0; i < tables.size(); ++i)
        EXPECT_EQ(tables[i].size(), rows[i]) << workbooks[i];
}

// Where the dialogs open: a backup is looked for in Documents first, then
// where one was last chosen (a turned-down file and a source folder count);
// the output folder beside the backup that the next run reads. A folder that
// has gone since falls back the same way.
TEST(FormLogic, DialogsOpenWhereTheUserIs) {
    struct Platform : velloquin::testing::FakeWindow, FileDialog, Shell, FormControls {
        std::string file, path;
        velloquin::testing::Strings openStarts;
        void StartOpenIn(const std::string& start) override { openStarts.push_back(start); }
        std::string ShowOpen(const std::string&, int, int) override { return file; }
        bool ShellOpen(const std::string&) override { return true; }
        void SetPathText(const std::string& text) override { path = text; }
        std::string PathText() override { return path; }
        void SetCmdSplitEnabled(bool) override {}
        void SetControlEnabled(const ControlLayout&, bool) override {}
        void ShowInstructions(bool) override {}
        void CloseWindow() override {}
    };
    velloquin::testsupport::TempDir dir("velloquin-start");
    const std::filesystem::path docs = dir.Path() / "Documents", backups = dir.Path() / "backups",
                                other = dir.Path() / "other";
    for (const auto& folder : {docs, backups, other})
        std::filesystem::create_directories(folder);
    const std::string vcf = velloquin::testsupport::WriteFile(backups / "a.vcf", "BEGIN:VCARD\r\n");
    const std::string txt = velloquin::testsupport::WriteFile(other / "b.txt", "no card\r\n");

    Platform p;
    FormLogic logic({p, p, p, p, p, dir.Path().string(), docs.string()}, p, p);
    struct Step {
        enum { Open, Source, Convert } click;
        std::string answer;          // the dialog's answer, empty: cancelled
        std::filesystem::path start; // where that dialog was told to open
    };
    const Step steps[] = {
        {Step::Convert, "", docs}, // nothing chosen yet
        {Step::Open, "", docs},
        {Step::Open, "", docs}, // a cancel changes nothing
        {Step::Open, vcf, docs},
        {Step::Open, "", backups},
        {Step::Source, "", backups},
        {Step::Convert, "", backups},
        {Step::Open, txt, backups}, // turned down, yet looked for in other
        {Step::Open, "", other},
        {Step::Convert, "", backups}, // the run still reads a.vcf
        {Step::Source, backups.string(), other},
        {Step::Convert, "", backups},
        {Step::Open, "", backups},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Step& step = steps[i];
        SCOPED_TRACE("step " + std::to_string(i));
        p.openStarts.clear();
        p.browseStarts.clear();
        p.file = p.folder = step.answer;
        switch (step.click) {
        case Step::Open:
            logic.CmdBrowse_Click();
            EXPECT_EQ(p.openStarts, velloquin::testing::Strings{step.start.string()});
            break;
        case Step::Source:
            logic.Command1_Click();
            EXPECT_EQ(p.browseStarts, velloquin::testing::Strings{step.start.string()});
            break;
        case Step::Convert:
            logic.CmdSplit_Click();
            EXPECT_EQ(p.browseStarts, velloquin::testing::Strings{step.start.string()});
            break;
        }
    }

    // Folders that have gone: back to Documents, and without one to wherever
    // the platform likes.
    std::filesystem::remove_all(backups);
    EXPECT_EQ(logic.SaveDialogFolder(), docs.string());
    EXPECT_EQ(logic.BackupDialogFolder(), docs.string());
    std::filesystem::remove_all(docs);
    EXPECT_EQ(logic.BackupDialogFolder(), "");
    Platform q;
    FormLogic fresh({q, q, q, q, q, {}, {}}, q, q);
    EXPECT_EQ(fresh.BackupDialogFolder(), "");
}

// The layout table that both windows are built from: its own consistency.
// What each window makes of it (places, focus order, the controls locked
// during a run) is checked on the window: Form1Test for Qt, tests/windows
// for Win32.
TEST(FormLayout, EveryWindowIsConsistent) {
    for (const WindowLayout* window : {&Form1Layout(), &FrmSkypeLayout()}) {
        SCOPED_TRACE(window->name);
        std::set<std::string> seen;
        std::set<int> tabs;
        for (const ControlLayout& c : window->controls) {
            EXPECT_TRUE(seen.insert(c.name).second) << "two controls named " << c.name;
            if (c.tabIndex >= 0) {
                EXPECT_TRUE(tabs.insert(c.tabIndex).second) << c.name;
            }
            if (!c.container) continue;
            // A container comes first (the windows build in table order) and
            // holds its controls inside its own rectangle.
            const ControlLayout* box = FindControl(*window, c.container);
            ASSERT_NE(box, nullptr) << c.name;
            EXPECT_TRUE(seen.count(box->name)) << c.name << " comes before its container";
            EXPECT_TRUE(box->kind == ControlKind::Panel || box->kind == ControlKind::GroupBox);
            EXPECT_TRUE(c.at.left >= box->at.left && c.at.top >= box->at.top &&
                        c.at.Right() <= box->at.Right() && c.at.Bottom() <= box->at.Bottom())
                << c.name << " leaves " << box->name;
        }
        EXPECT_EQ(FocusOrder(*window).empty(), window->name != std::string("Form1"));
        // Each option group has exactly one option selected.
        for (int group : {1, 2}) {
            int options = 0, selected = 0;
            for (const ControlLayout& c : window->controls)
                if (c.kind == ControlKind::OptionButton && c.optionGroup == group)
                    ++options, selected += c.selected;
            if (options) {
                EXPECT_EQ(selected, 1) << "group " << group;
            }
        }
    }
}

// The one place the main window's keyboard order is written out: both
// windows' tests take it from the table.
TEST(FormLayout, FocusOrderOfTheMainWindow) {
    Strings order;
    for (const ControlLayout* c : FocusOrder(Form1Layout()))
        order.push_back(c->name);
    EXPECT_EQ(order,
              Strings({"txtvCFPath", "CmdBrowse", "CmdSplit", "Picture3", "CmdHelp", "cmdEnd",
                       "Command1", "OptNormal", "OptAdvance", "OptPST", "OptXLS"}));
}

// The resolution a window is laid out at: the screen's while every caption
// fits, else the least one above it at which all fit, whatever rounding the
// edges take; controls out of sight do not count.
TEST(FormLayout, GeometryGrowsUntilEveryCaptionFits) {
    const WindowLayout& form = Form1Layout();
    const ControlLayout* label5 = FindControl(form, "Label5"); // 281 x 17 in the table
    const ControlLayout* label2 = FindControl(form, "Label2"); // beyond the right edge
    ASSERT_TRUE(label5 && label2);
    struct Case {
        int dpi;
        LayoutSize label5Needs, label2Needs;
        int expected;
    };
    const Case cases[] = {
        {96, {281, 17}, {0, 0}, 96},    // exactly as wide as the label
        {96, {282, 17}, {0, 0}, 97},    // one pixel more
        {144, {421, 25}, {0, 0}, 144},  // 281 * 1.5 = 421.5, edges rounded
        {144, {440, 25}, {0, 0}, 151},  // wider
        {120, {300, 30}, {0, 0}, 165},  // taller than 17 pixels allow
        {96, {0, 0}, {5000, 5000}, 96}, // out of sight
        {96, {1000, 17}, {0, 0}, 192},  // never fits: at most twice
    };
    for (const Case& c : cases) {
        const int got = FittingDpi(form, c.dpi, [&](const ControlLayout& control) {
            if (&control == label5) return c.label5Needs;
            if (&control == label2) return c.label2Needs;
            return LayoutSize{0, 0};
        });
        EXPECT_EQ(got, c.expected)
            << c.dpi << " dpi, " << c.label5Needs.width << "x" << c.label5Needs.height;
    }
    // A label running past the window's edge has what is left of it short of
    // a margin: the instruction window's title, 16 + 417 in 428 pixels.
    const ControlLayout* title = FindControl(FrmSkypeLayout(), "lblTitle");
    ASSERT_NE(title, nullptr);
    for (const auto& [needs, expected] : {std::pair{404, 96}, {405, 97}, {440, 105}}) {
        EXPECT_EQ(
            FittingDpi(FrmSkypeLayout(), 96,
                       [&](const ControlLayout& control) {
                           return &control == title ? LayoutSize{needs, 20} : LayoutSize{0, 0};
                       }),
            expected)
            << needs;
    }
    for (const auto& [pixels, dpi, scaled] :
         {std::tuple{281, 144, 422}, {48, 144, 72}, {329, 144, 494}, {17, 120, 21}, {1, 96, 1}})
        EXPECT_EQ(ScaleToDpi(pixels, dpi), scaled) << pixels << " at " << dpi;
}

// Every action of the table belongs to exactly one control of the main
// window, and a click does what its action names, in both windows alike.
TEST(FormLogic, ClicksFollowTheActionsOfTheTable) {
    std::set<ControlAction> named;
    for (const ControlLayout& c : Form1Layout().controls) {
        if (c.action == ControlAction::None) continue;
        EXPECT_TRUE(named.insert(c.action).second) << c.name;
        EXPECT_NE(c.kind, ControlKind::OptionButton) << c.name; // they only mark a choice
    }
    for (const ControlLayout& c : FrmSkypeLayout().controls)
        EXPECT_EQ(c.action, ControlAction::None) << c.name;

    velloquin::testsupport::TempDir dir("velloquin-click");
    std::ofstream((dir.Path() / "manual.html").string()) << "<html></html>";
    const std::string manual = ManualPlaces(dir.Path().string()).front();
    struct Case {
        const char* control;
        Strings window, opened;
        std::string prompt; // of the folder picker
    };
    const Case cases[] = {
        {"CmdBrowse", {"open Skype Contacts Backup (*.vcf)|*.vcf;*.*"}, {}, ""},
        {"Command1", {}, {}, kSourceFolderPrompt},
        {"CmdSplit", {}, {}, "Choose Folder to Save..."}, // cancelled
        {"Picture3", {}, {kProductPage}, ""},
        {"CmdHelp", {}, {manual}, ""},
        {"Label6", {"instructions modal"}, {}, ""},
        {"cmdEnd", {"close"}, {}, ""},
        {"Label4", {}, {}, ""},
        {"OptPST", {}, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        Platform p;
        FormLogic logic({p, p, p, p, p, dir.Path().string(), {}}, p, p);
        const ControlLayout* control = FindControl(Form1Layout(), c.control);
        ASSERT_NE(control, nullptr);
        logic.Click(control->action);
        EXPECT_EQ(p.window, c.window);
        EXPECT_EQ(p.opened, c.opened);
        EXPECT_EQ(p.prompts, c.prompt.empty() ? Strings{} : Strings{c.prompt});
    }
}

// During a run the controls that would change it are locked and the
// instruction window opens without waiting; a window closed during the run
// closes once the run has closed its output, and not when the user said No.
TEST(FormLogic, ARunLocksItsControlsAndClosesTheWindowAfterIt) {
    velloquin::testsupport::TempDir dir("velloquin-lock");
    std::string backup;
    for (int i = 0; i < 20; ++i)
        backup += "BEGIN:VCARD\r\nN:Fam;Giv\r\nEND:VCARD\r\n";
    const std::string file = velloquin::testsupport::WriteFile(dir.Path() / "a.vcf", backup);
    // In the table's order.
    const Strings locked = {"CmdBrowse", "OptXLS",    "OptPST",    "cmdEnd",
                            "Command1",  "OptNormal", "OptAdvance"};
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        const std::filesystem::path out = dir.Path() / (yes ? "yes" : "no");
        std::filesystem::create_directories(out);
        Platform p;
        p.folder = out.string();
        p.answers = {yes};
        FormLogic logic({p, p, p, p, p, dir.Path().string(), {}}, p, p);
        logic.Run().chosenFileName = file;
        Strings during;
        p.onPump = [&] {
            if (!during.empty() || !logic.Run().RunUnderWay()) return;
            logic.Click(ControlAction::Instructions);
            EXPECT_FALSE(logic.InstructionsModal());
            EXPECT_FALSE(logic.QueryClose());
            during = p.window;
        };
        logic.Click(ControlAction::Convert);
        Strings off, on;
        for (const std::string& name : locked) {
            off.push_back("off " + name);
            on.push_back("on " + name);
        }
        off.push_back("instructions modeless");
        EXPECT_EQ(during, off);
        Strings after = off;
        after.insert(after.end(), on.begin(), on.end());
        if (yes) after.push_back("close");
        EXPECT_EQ(p.window, after);
        EXPECT_EQ(logic.CloseAfterRun(), yes);
        EXPECT_TRUE(logic.InstructionsModal());
    }
}

// The dialogs' filter text as pairs of a description and its patterns.
TEST(FileFilter, ParsedIntoDescriptionsAndPatterns) {
    using F = std::vector<FileFilter>;
    const std::pair<std::string, F> cases[] = {
        {kBrowseFilter, F{{"Skype Contacts Backup (*.vcf)", {"*.vcf", "*.*"}}}},
        {"Text file (*.txt)|*.txt", F{{"Text file (*.txt)", {"*.txt"}}}},
        {"A|*.a|B|*.b; *.c ;", F{{"A", {"*.a"}}, {"B", {"*.b", "*.c"}}}},
        {"A|*.a|B", F{{"A", {"*.a"}}}}, // a description without patterns
        {"A||B|*.b", F{{"B", {"*.b"}}}},
        {"", F{}},
    };
    for (const auto& [filter, expected] : cases)
        EXPECT_EQ(ParseFileFilter(filter), expected) << filter;
}
