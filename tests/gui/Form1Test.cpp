// The real main window on the offscreen platform: its controls found by name,
// clicked, and its dialogs answered by a script.
#include "app/gui/Form1.h"
#include "app/Fakes.h"
#include "app/FormLayout.h"
#include "app/gui/Artwork.h"
#include "app/gui/QtPlatform.h"
#include "support/Readers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <stdexcept>

namespace fs = std::filesystem;
using namespace velloquin;
using Strings = std::vector<std::string>;

namespace {

// Every platform service at once: answers come from the script, questions
// (the file dialog's filter and flags among them) and messages are recorded.
struct Script : velloquin::testing::FakeWindow, app::FileDialog, app::Shell {
    std::string file;
    std::string sourceFolder; // the source folder's answer when not empty, else folder's
    Strings opened;
    bool canOpen = true; // whether the shell finds a program for what it opens
    std::string ShowOpen(const std::string& filter, int flags, int size) override {
        prompts.push_back(filter + "|" + std::to_string(flags) + "|" + std::to_string(size));
        return file;
    }
    std::string BrowseForFolder(const std::string& prompt) override {
        const std::string answer = FakeWindow::BrowseForFolder(prompt);
        const bool source = prompt == "Choose Source Folder Having Documents...";
        return source && !sourceFolder.empty() ? sourceFolder : answer;
    }
    void LetTheWindowWork() override {
        FakeWindow::LetTheWindowWork();
        QCoreApplication::processEvents();
    }
    bool ShellOpen(const std::string& target) override {
        opened.push_back(target);
        return canOpen;
    }
};

struct Form1Window : ::testing::Test {
    Script script;
    gui::Form1 form{{&script, &script, &script, &script, &script, VELLOQUIN_PROGRAM_DIR}};
    testsupport::TempDir dir{"velloquin-gui"};

    void SetUp() override { form.show(); }
    QWidget* Find(const char* name) {
        if (auto* w = form.findChild<QWidget*>(name)) return w;
        throw std::runtime_error(std::string("no control ") + name);
    }
    void Click(const char* name) { QTest::mouseClick(Find(name), Qt::LeftButton); }
    bool Enabled(const char* name) { return Find(name)->isEnabled(); }
    std::string Text(const char* n) { return Find(n)->property("text").toString().toStdString(); }
    // Place and size in the window whatever holds the control, font, caption.
    std::string Describe(QWidget* w) {
        const QPoint at = w->mapTo(&form, QPoint(0, 0));
        return QString::asprintf("%d,%d %dx%d %g%s ", at.x(), at.y(), w->width(), w->height(),
                                 w->font().pointSizeF(), w->font().bold() ? " bold" : "")
            .append(w->property(w->inherits("QGroupBox") ? "title" : "text").toString())
            .toStdString();
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        return testsupport::WriteFile(dir.Path() / name, bytes);
    }
};

TEST_F(Form1Window, OpensAsDescribed) {
    EXPECT_EQ(form.windowTitle(), "Corvanth Velloquin v1.2");
    const app::WindowLayout& layout = app::Form1Layout();
    EXPECT_TRUE(form.size() == QSize(layout.clientWidth, layout.clientHeight) &&
                form.minimumSize() == form.maximumSize());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(form.windowIcon().isNull());
    // Each control where the table puts it, whatever holds it, in its font
    // and with its caption.
    for (const app::ControlLayout& c : app::Form1Layout().controls) {
        const std::string expected =
            QString::asprintf("%d,%d %dx%d %g%s ", c.at.left, c.at.top, c.at.width, c.at.height,
                              c.font.points, c.font.bold ? " bold" : "")
                .toStdString() +
            c.caption;
        EXPECT_EQ(Describe(Find(c.name)), expected) << c.name;
        EXPECT_EQ(Find(c.name)->font().family(), gui::FormFont(8.25).family()) << c.name;
        EXPECT_EQ(Enabled(c.name), c.enabled) << c.name;
    }
    EXPECT_TRUE(form.OptXLS() && form.OptNormal() && !Enabled("CmdSplit"));
    EXPECT_EQ(form.focusWidget(), Find("txtvCFPath"));
    EXPECT_EQ(Find("Label6")->cursor().shape(), Qt::BitmapCursor);
    // The two groups are apart: a mode keeps the output choice and back.
    Click("OptAdvance");
    Click("OptPST");
    EXPECT_TRUE(form.OptPST() && form.OptAdvance() && !form.OptXLS() && !form.OptNormal());
    // The keyboard's order; a disabled button would be skipped.
    Find("CmdSplit")->setEnabled(true);
    QStringList chain, order;
    for (const app::ControlLayout* c : app::FocusOrder(layout))
        order << c->name;
    for (QWidget* w = Find(order[0].toUtf8()); chain.size() < order.size();
         w = w->nextInFocusChain())
        if (w->focusPolicy() != Qt::NoFocus) chain << w->objectName();
    EXPECT_EQ(chain, order);
}

TEST_F(Form1Window, FileAndFolderChoices) {
    // clang-format off
    const char* choices[][3] = { // name, bytes (none: no such file), message (none: accepted)
        {"never-opened.VCF", nullptr, ""},
        {"lf-only.txt", "BEGIN:VCARD\nFN:x\nEND:VCARD\n", "Corvanth Velloquin: Selected File is NOT a Valid Skype Contacts Backup File"},
        {"third.txt", "\357\273\277NOTE:x\r\nVERSION\r\n  begin:vcard  \r\n", ""},
        {"gone.txt", nullptr, "gone.txt\" cannot be opened: No such file"},
    };
    // clang-format on
    for (const auto& [name, bytes, message] : choices) {
        const bool convert = !*message;
        script.shown.clear();
        script.file = bytes ? Write(name, bytes) : (dir.Path() / name).string();
        Click("CmdBrowse");
        EXPECT_EQ(Text("txtvCFPath"), script.file);
        EXPECT_EQ(Enabled("CmdSplit"), convert) << name;
        EXPECT_EQ(form.Run().chosenFileName == script.file, convert) << name;
        EXPECT_EQ(script.shown.size(), convert ? 0u : 1u) << name;
        for (const std::string& text : script.shown)
            EXPECT_NE(text.find(message), std::string::npos) << text;
    }
    EXPECT_EQ(script.prompts[0], "Skype Contacts Backup (*.vcf)|*.vcf;*.*|524288|1000");
    script.file.clear(); // cancelled: the rejected choice stays as it was
    Click("CmdBrowse");
    EXPECT_EQ(Text("txtvCFPath"), (dir.Path() / "gone.txt").string());
    EXPECT_FALSE(Enabled("CmdSplit"));
    // The folder choice, from the hidden button, and a later file choice wins.
    script.prompts.clear();
    script.folder = (dir.Path() / "cards").string();
    Find("Command1")->setFocus(); // outside the visible area, yet usable from the keyboard
    QTest::keyClick(Find("Command1"), Qt::Key_Space);
    script.folder.clear(); // cancelled: the folder stays
    QTest::keyClick(Find("Command1"), Qt::Key_Space);
    EXPECT_EQ(script.prompts, Strings(2, "Choose Source Folder Having Documents..."));
    EXPECT_EQ(Text("txtvCFPath"), (dir.Path() / "cards/").string());
    EXPECT_EQ(form.Run().srcFolder, (dir.Path() / "cards/").string());
    EXPECT_TRUE(form.Run().inputMode == app::InputMode::Folder && Enabled("CmdSplit"));
    script.file = "/data/one.vcf";
    Click("CmdBrowse");
    EXPECT_EQ(form.Run().inputMode, app::InputMode::File);
}

TEST_F(Form1Window, HelpThePanelTheInstructionsExitAndTheFilter) {
    // The manual that the build puts next to the program, and the web page.
    Click("CmdHelp");
    QTest::mouseClick(Find("Picture3"), Qt::LeftButton, {}, QPoint(300, 15)); // its free area
    const std::string manual = (fs::path(VELLOQUIN_PROGRAM_DIR) / "manual.html").string();
    EXPECT_EQ(script.opened, Strings({manual, "https://velloquin.example/"}));
    EXPECT_TRUE(script.shown.empty() && script.prompts.empty());
    EXPECT_NE(testsupport::ReadFile(manual).find("Advance Mode"), std::string::npos);
    // With nothing to open it, the user is told where the manual is.
    script.canOpen = false;
    Click("CmdHelp");
    ASSERT_EQ(script.shown.size(), 1u);
    EXPECT_TRUE(script.shown[0].ends_with("it is the file:\r\n" + manual)) << script.shown[0];
    script.shown.clear();
    script.opened.clear();
    QStringList seen; // the instruction window, modal and owned by this one
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            const QSize picture = modal->findChild<QLabel*>("Image1")->pixmap().size();
            seen << modal->windowTitle() << QString::number(picture.width())
                 << QString::number(picture.height());
            EXPECT_EQ(modal->parentWidget(), &form);
            modal->close();
        }
    });
    Click("Label6");
    EXPECT_EQ(seen, QStringList({"Skype Contacts Backup", "395", "245"}));
    Click("cmdEnd");
    EXPECT_FALSE(form.isVisible());
    // The open dialog's filter, as Qt takes it.
    EXPECT_EQ(gui::NameFilters("A|*.a|B|*.b;*.c"), QStringList({"A (*.a)", "B (*.b *.c)"}));
}

// The workbook a run writes from the window is read back in the test of
// closing during a run.
TEST_F(Form1Window, RunLocksTheChoicesAndCountsTheContacts) {
    QStringList locked;
    script.onPump = [&] {
        if (!form.Run().RunUnderWay() || !locked.isEmpty()) return;
        for (const char* name : {"CmdBrowse", "Command1", "OptXLS", "OptPST", "OptNormal",
                                 "OptAdvance", "cmdEnd", "CmdSplit"})
            if (!Enabled(name)) locked << name;
        // A click queued before the lock changes nothing.
        form.Logic().Click(app::ControlAction::Browse);
        form.Logic().Click(app::ControlAction::BrowseFolder);
    };
    script.file = Write("cards.vcf", "BEGIN:VCARD\r\nN:A\r\nEND:VCARD\r\n"
                                     "BEGIN:VCARD\r\nN:B\r\nEND:VCARD\r\n");
    Click("CmdBrowse");
    fs::create_directories(script.folder = (dir.Path() / "out").string());
    Click("CmdSplit");
    EXPECT_EQ(locked.size(), 8) << locked.join(",").toStdString();
    EXPECT_EQ(script.prompts.size(), 2u) << "only the file and the output folder were asked";
    ASSERT_EQ(script.shown.size(), 1u);
    EXPECT_EQ(script.shown[0].rfind("Velloquin: ", 0), 0u) << script.shown[0];
    EXPECT_EQ(Text("LblProgessCurrent"), "(2) vCards Saved");
    EXPECT_TRUE(Enabled("CmdBrowse") && Enabled("cmdEnd") && !Enabled("CmdSplit"));
}

// The Qt question box: Yes and No, Yes the default, Escape answers No.
TEST_F(Form1Window, QuestionBoxAnswersYesOrNo) {
    gui::QtMessageBox boxes(&form);
    const std::pair<const char*, bool> answers[] = {
        {"Yes", true}, {"No", false}, {"Escape", false}};
    for (const auto& [press, expected] : answers) {
        QString seen;
        QTimer::singleShot(0, [&, key = std::string(press)] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            seen = box->windowTitle() + "|" + box->text() + "|" +
                   QString::number(box->icon() == QMessageBox::Question) + "|" +
                   box->defaultButton()->text().remove('&');
            if (key == "Escape")
                QTest::keyClick(box, Qt::Key_Escape);
            else
                box->button(key == "Yes" ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        EXPECT_EQ(boxes.AskYesNo("Stop it?", "Title"), expected) << press;
        EXPECT_EQ(seen, "Title|Stop it?|1|Yes") << press;
    }
}

// The notes dialog: one size within the screen for a thousand notes, the text
// read-only, "Save Notes..." saving without closing it, then Yes or No under
// the question, or OK alone.
TEST_F(Form1Window, NotesDialogKeepsItsSizeAndSaves) {
    gui::QtMessageBox boxes(&form);
    std::string text;
    for (int i = 1; i <= 1000; ++i)
        text += "notes.vcf: contact " + std::to_string(i) + ": The birthday \"x\" is wrong.\n";
    int saves = 0;
    for (const char* press : {"Yes", "No", "Ok"}) {
        SCOPED_TRACE(press);
        const bool question = std::string(press) != "Ok";
        app::NotesBox box{"Corvanth Velloquin", text,
                          question ? "Read it again in Advance Mode?" : "", [&] { ++saves; }, text};
        QStringList seen;
        QTimer::singleShot(0, [&, key = std::string(press)] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog || dialog->objectName() != "notesDialog") return;
            const QRect screen = dialog->screen()->availableGeometry();
            const QRect frame = dialog->frameGeometry();
            seen << dialog->windowTitle()
                 << QString::number(frame.width() <= screen.width() &&
                                    frame.height() <= screen.height());
            auto* notes = dialog->findChild<QPlainTextEdit*>("notesText");
            seen << QString::number(notes->isReadOnly())
                 << QString::number(notes->document()->blockCount());
            if (auto* label = dialog->findChild<QLabel*>("notesQuestion")) seen << label->text();
            QTest::mouseClick(dialog->findChild<QPushButton*>("saveNotes"), Qt::LeftButton);
            seen << QString::number(dialog->isVisible());
            auto* buttons = dialog->findChild<QDialogButtonBox*>();
            buttons
                ->button(key == "Yes"  ? QDialogButtonBox::Yes
                         : key == "No" ? QDialogButtonBox::No
                                       : QDialogButtonBox::Ok)
                ->click();
        });
        EXPECT_EQ(boxes.ShowNotes(box), std::string(press) == "Yes");
        QStringList expected = {"Corvanth Velloquin", "1", "1", "1001"};
        if (question) expected << "Read it again in Advance Mode?";
        EXPECT_EQ(seen, expected << "1");
    }
    EXPECT_EQ(saves, 3);
}

// The Qt save dialog: the suggested name and the title shown, the chosen path
// returned in the system's form, a cancel as empty text.
TEST_F(Form1Window, SaveDialogReturnsTheChosenFile) {
    gui::QtSaveFileDialog saves(&form);
    const std::string chosen = (dir.Path() / "Notizen.txt").string();
    for (const bool accept : {true, false}) {
        QStringList seen;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            seen << dialog->windowTitle() << QFileInfo(dialog->selectedFiles().value(0)).fileName();
            if (!accept) return dialog->reject();
            dialog->selectFile(QString::fromStdString(chosen));
            static_cast<QDialog*>(dialog)->accept(); // as the Save button does
        });
        EXPECT_EQ(saves.ShowSave("Save Notes", "Velloquin notes.txt", "Text file (*.txt)|*.txt"),
                  accept ? chosen : "");
        EXPECT_EQ(seen, QStringList({"Save Notes", "Velloquin notes.txt"}));
    }
}

// A run with a thousand notes through the window's own message boxes: the
// notes dialog within the screen, and the notes saved from it all there.
TEST_F(Form1Window, AThousandNotesFitTheScreenAndAreSavedInFull) {
    gui::Form1 window{
        {&script, &script, nullptr, &script, &script, VELLOQUIN_PROGRAM_DIR, &script}};
    window.show();
    std::string backup;
    for (int i = 1; i <= 1000; ++i)
        backup += "BEGIN:VCARD\r\nN:F" + std::to_string(i) + ";G\r\nBDAY:never\r\nEND:VCARD\r\n";
    script.file = Write("dates.vcf", backup);
    fs::create_directories(script.folder = (dir.Path() / "out").string());
    script.saveAs = (dir.Path() / "notes.txt").string();
    QStringList seen;
    QTimer answering; // every box the run shows, in turn
    QObject::connect(&answering, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen << box->windowTitle();
            box->button(QMessageBox::Ok)->click();
        } else if (modal && modal->objectName() == "notesDialog") {
            const QRect screen = modal->screen()->availableGeometry();
            seen << modal->windowTitle()
                 << QString::number(screen.contains(modal->frameGeometry()));
            QTest::mouseClick(modal->findChild<QPushButton*>("saveNotes"), Qt::LeftButton);
            modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        }
    });
    answering.start(10);
    QTest::mouseClick(window.findChild<QWidget*>("CmdBrowse"), Qt::LeftButton);
    QTest::mouseClick(window.findChild<QWidget*>("CmdSplit"), Qt::LeftButton);
    answering.stop();
    EXPECT_EQ(seen, QStringList({"Velloquin", "Corvanth Velloquin", "1"}));
    const std::string saved = testsupport::ReadFile(script.saveAs);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 1000);
    EXPECT_NE(saved.find("contact 1000: The birthday"), std::string::npos);
}

// Closing the window while a run is under way asks first. Yes stops after the
// contact under way, closes the output so that it holds exactly the contacts
// saved, then closes the window; No lets the run finish. The run reads a
// folder, whose files it starts with a pump of the window, so the close comes
// at a known contact.
TEST_F(Form1Window, ClosingDuringARunAsksFirstAndKeepsEveryContactSaved) {
    constexpr int kFiles = 4, kPerFile = 50, kCloseAt = 2 * kPerFile;
    const fs::path src = dir.Path() / "src";
    fs::create_directories(src);
    std::map<std::string, Strings> namesOf; // per file, its contacts' "N:" values
    for (int f = 0; f < kFiles; ++f) {
        const std::string file = "part" + std::to_string(f) + ".vcf";
        std::string cards;
        for (int i = 1; i <= kPerFile; ++i) {
            const std::string family = "Family" + std::to_string(f) + "-" + std::to_string(i);
            namesOf[file].push_back(family + ";Given;;;");
            cards += "BEGIN:VCARD\r\nN:" + family + ";Given\r\nEND:VCARD\r\n";
        }
        testsupport::WriteFile(src / file, cards);
    }
    Strings inReadingOrder; // the contacts in the order the run reads them
    for (const std::string& file : app::ListBackupFiles(src.string()))
        inReadingOrder.insert(inReadingOrder.end(), namesOf[file].begin(), namesOf[file].end());

    std::vector<fs::path> workbooks;
    std::vector<size_t> rows;
    for (const int run : {0, 1, 2, 3}) { // store then workbook; Yes then No
        const bool outlook = run < 2, yes = run % 2 == 0;
        const std::string name = std::string(outlook ? "pst-" : "xls-") + (yes ? "yes" : "no");
        SCOPED_TRACE(name);
        gui::Form1 window{{&script, &script, &script, &script, &script, VELLOQUIN_PROGRAM_DIR}};
        window.show();
        script = Script{};
        script.answers = {yes};
        script.sourceFolder = src.string();
        script.folder = (dir.Path() / name).string();
        fs::create_directories(script.folder);
        bool stillOpen = false;
        int32_t askedAt = 0;
        script.onPump = [&] {
            if (!window.Run().RunUnderWay() || window.Run().cardCounter != kCloseAt + 1 || askedAt)
                return;
            askedAt = window.Run().cardCounter;
            window.close(); // the title bar's close button
            stillOpen = window.isVisible();
        };
        QTest::mouseClick(window.findChild<QWidget*>(outlook ? "OptPST" : "OptXLS"),
                          Qt::LeftButton);
        window.Logic().Click(app::ControlAction::BrowseFolder); // the source folder
        QTest::mouseClick(window.findChild<QWidget*>("CmdSplit"), Qt::LeftButton);

        ASSERT_EQ(askedAt, kCloseAt + 1) << "the run never let the window work between files";
        EXPECT_TRUE(stillOpen) << "the window waits for the run";
        ASSERT_GE(script.shown.size(), 1u);
        EXPECT_EQ(script.shown[0], "Corvanth Velloquin? A conversion is running. Stop it and "
                                   "close? The output keeps the 100 contacts saved so far.");
        EXPECT_EQ(window.isVisible(), !yes);
        const size_t saved = yes ? kCloseAt : kFiles * kPerFile;
        EXPECT_EQ(window.Run().cardCounter, static_cast<int32_t>(saved + 1));
        EXPECT_EQ(window.Run().LastSummary().stopped, yes);
        // Yes: the window's last word says what the output holds, as the label
        // goes with it. No: the completion message.
        ASSERT_EQ(script.shown.size(), 2u);

        std::vector<fs::path> outputs(fs::directory_iterator(script.folder), {});
        ASSERT_EQ(outputs.size(), 1u);
        if (yes) {
            EXPECT_EQ(script.shown[1], "Velloquin: The conversion was stopped. " +
                                           outputs[0].string() + " holds 100 contacts.");
        }
        if (outlook) {
            EXPECT_EQ(testsupport::ReadpstContactNames(outputs[0]),
                      Strings(inReadingOrder.begin(), inReadingOrder.begin() + saved));
        } else {
            workbooks.push_back(dir.Path() / (name + ".xls"));
            fs::rename(outputs[0], workbooks.back());
            rows.push_back(saved + 1);
        }
        window.close(); // after the run nothing is asked
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(script.shown.size(), 2u);
    }
    if (!testsupport::SofficeInstalled()) GTEST_SKIP() << "LibreOffice is not installed";
    const std::vector<testsupport::CsvTable> tables = testsupport::ReadWorkbooks(workbooks);
    for (size_t i = 0; i < tables.size(); ++i) {
        ASSERT_EQ(tables[i].size(), rows[i]) << workbooks[i];
        EXPECT_EQ(tables[i].back().at(2) + ";" + tables[i].back().at(0) + ";;;",
                  inReadingOrder.at(rows[i] - 2));
    }
}

// A new user with a backup whose lines end in LF alone gets the contacts into
// both outputs with the mouse alone: the notes offer Standard Mode. (What the
// offer writes is read back in the tests of the window's logic.)
TEST_F(Form1Window, LfOnlyBackupReachesBothOutputsWithTheMouseOnly) {
    script.file = Write("mac.vcf", "BEGIN:VCARD\nN:Doe;Jane\nEND:VCARD\nBEGIN:VCARD\nN:Roe;"
                                   "John\nEND:VCARD\n");
    fs::create_directories(script.folder = (dir.Path() / "out").string());
    script.answers = {true};
    Click("CmdBrowse");
    Click("CmdSplit");
    // The second reading was in Standard Mode; the window's choice stays.
    EXPECT_TRUE(form.OptNormal() && !form.OptAdvance());
    EXPECT_EQ(script.prompts.size(), 2u) << "the file and the folder, once";
    ASSERT_EQ(script.shown.size(), 3u);
    EXPECT_TRUE(script.shown[1].ends_with("\n\nRead it again in Standard Mode?"))
        << script.shown[1];
    EXPECT_EQ(Text("LblProgessCurrent"), "(2) vCards Saved");
}

} // namespace

int main(int argc, char** argv) {
    // Set here too, so that listing the tests at build time needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
