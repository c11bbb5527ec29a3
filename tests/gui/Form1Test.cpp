// The real main window on the offscreen platform: its controls found by name,
// clicked, and its dialogs answered through fakes.
#include "app/gui/Form1.h"
#include "app/gui/Artwork.h"
#include "app/gui/FrmSkype.h"
#include "app/gui/QtPlatform.h"

#include <QApplication>
#include <QBitmap>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#ifdef VELLOQUIN_TEST_SUPPORT
#include "support/LibreOffice.h"
#endif

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace velloquin;
using velloquin::gui::Form1;

namespace {

struct FakeFiles : app::FileDialog {
    std::string answer;
    int shown = 0;
    std::string ShowOpen(const std::string&, int, int) override {
        ++shown;
        return answer;
    }
};

struct FakeFolders : app::FolderPicker {
    std::vector<std::string> answers;
    std::vector<std::string> prompts;
    std::string BrowseForFolder(const std::string& prompt) override {
        prompts.push_back(prompt);
        if (answers.empty()) return {};
        std::string answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
};

struct FakeMessages : app::MessageBox {
    std::vector<std::pair<std::string, std::string>> shown;
    void Show(const std::string& text, const std::string& title) override {
        shown.emplace_back(text, title);
    }
};

// Processes events as the real pump does, and lets a test look in between.
struct WatchingPump : app::WindowPump {
    std::function<void()> onPump;
    void LetTheWindowWork() override {
        if (onPump) onPump();
        QCoreApplication::processEvents();
    }
};

struct FakeShell : app::Shell {
    std::vector<std::string> opened;
    void ShellOpen(const std::string& target) override { opened.push_back(target); }
};

struct Form1Window : ::testing::Test {
    FakeFiles files;
    FakeFolders folders;
    FakeMessages messages;
    WatchingPump pump;
    FakeShell shell;
    Form1 form{{&files, &folders, &messages, &pump, &shell}};
    fs::path dir;

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("velloquin-gui-" + std::to_string(QCoreApplication::applicationPid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        form.show();
    }
    void TearDown() override { fs::remove_all(dir); }

    template <class W = QWidget> W* Find(const char* name) {
        W* w = form.findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::string file = (dir / name).string();
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }
    // A position in window coordinates, whatever container holds the widget.
    QRect InWindow(QWidget* w) { return QRect(w->mapTo(&form, QPoint(0, 0)), w->size()); }
};

std::string Cards(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Family" + std::to_string(i) + ";Given" +
                std::to_string(i) + "\r\nFN:Given" + std::to_string(i) + " Family" +
                std::to_string(i) + "\r\nEND:VCARD\r\n";
    return text;
}

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST_F(Form1Window, WindowOpensAsDescribed) {
    EXPECT_EQ(form.windowTitle(), "Corvanth Velloquin v1.2");
    EXPECT_EQ(form.size(), QSize(569, 393));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form.windowIcon().isNull());

    struct Control {
        const char* name;
        QString caption;
        QRect geometry;
        double points;
        bool bold;
    } controls[] = {
        {"lblTitle", "Corvanth Velloquin", {16, 8, 417, 25}, 14.25, true},
        {"Label7",
         "First backup all Skype contacts to a .vcf file  : ",
         {48, 80, 281, 31},
         8.25,
         false},
        {"Label5",
         "(And then convert exported .vcf file to Outlook/Excel file)",
         {48, 95, 281, 17},
         8.25,
         false},
        {"Label6", "How to Backup Skype Contacts", {336, 85, 201, 17}, 9, true},
        {"Label4", "Select vCard (.vcf) File(s)", {16, 128, 569, 17}, 8.25, false},
        {"txtvCFPath", "", {16, 144, 393, 25}, 8.25, false},
        {"CmdBrowse", "Browse vCard File...", {416, 144, 137, 25}, 8.25, false},
        {"Label1", "Saving Contact(s)...", {16, 184, 569, 17}, 8.25, false},
        {"LblProgessCurrent", "(0) Contacts Saved", {48, 208, 537, 17}, 8.25, false},
        {"Frame1", " Saving Options ", {16, 232, 537, 57}, 8.25, false},
        {"Picture1", "", {24, 248, 457, 33}, 8.25, false},
        {"OptXLS", "Excel/CSV (.xls)", {24, 256, 121, 17}, 8.25, false},
        {"OptPST", "Outlook (.pst)", {216, 256, 121, 17}, 8.25, false},
        {"CmdSplit", "Convert Skype Contacts", {168, 304, 241, 41}, 14.25, false},
        {"Picture3", "", {8, 360, 761, 33}, 8.25, false},
        {"CmdHelp", "&Help Manual", {16, 360, 113, 25}, 8.25, false},
        {"cmdEnd", "E&xit", {456, 360, 97, 25}, 8.25, false},
        {"Command1", "Browse Folder...", {752, 344, 137, 25}, 8.25, false},
        {"OptNormal", "Normal Mode", {608, 240, 121, 17}, 8.25, false},
        {"OptAdvance", "Advance Mode", {760, 240, 105, 17}, 8.25, true},
        {"Label2", "(If Normal Mode fails to import vCards)", {872, 242, 377, 17}, 8.25, false},
    };
    const QString family = gui::FormFont(8.25).family();
    for (const Control& c : controls) {
        QWidget* w = Find(c.name);
        if (!w) continue;
        EXPECT_EQ(InWindow(w), c.geometry) << c.name;
        EXPECT_EQ(w->font().family(), family) << c.name;
        EXPECT_DOUBLE_EQ(w->font().pointSizeF(), c.points) << c.name;
        EXPECT_EQ(w->font().bold(), c.bold) << c.name;
        QString caption;
        if (auto* label = qobject_cast<QLabel*>(w)) caption = label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(w)) caption = button->text();
        if (auto* edit = qobject_cast<QLineEdit*>(w)) caption = edit->text();
        if (auto* box = qobject_cast<QGroupBox*>(w)) caption = box->title();
        EXPECT_EQ(caption, c.caption) << c.name;
    }

    EXPECT_TRUE(Find<QRadioButton>("OptXLS")->isChecked());
    EXPECT_FALSE(Find<QRadioButton>("OptPST")->isChecked());
    EXPECT_TRUE(Find<QRadioButton>("OptNormal")->isChecked());
    EXPECT_FALSE(Find<QRadioButton>("OptAdvance")->isChecked());
    EXPECT_FALSE(Button("CmdSplit")->isEnabled());
    EXPECT_EQ(form.focusWidget(), Find("txtvCFPath"));
    EXPECT_EQ(form.Run().inputMode, 0);
    // The two groups are separate: choosing a mode keeps the output choice.
    Find<QRadioButton>("OptAdvance")->click();
    EXPECT_TRUE(Find<QRadioButton>("OptXLS")->isChecked());
    Find<QRadioButton>("OptPST")->click();
    EXPECT_TRUE(Find<QRadioButton>("OptAdvance")->isChecked());
    EXPECT_FALSE(Find<QRadioButton>("OptXLS")->isChecked());

    const QCursor cursor = Find("Label6")->cursor();
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor.pixmap().size(), QSize(32, 32));
}

TEST_F(Form1Window, TabVisitsTheControlsInTheirOrder) {
    Button("CmdSplit")->setEnabled(true); // a disabled button is skipped
    const char* order[] = {"txtvCFPath", "CmdBrowse", "CmdSplit",   "Picture3", "CmdHelp", "cmdEnd",
                           "Command1",   "OptNormal", "OptAdvance", "OptPST",   "OptXLS"};
    QWidget* w = Find(order[0]);
    for (size_t i = 1; i < std::size(order); ++i) {
        do
            w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus);
        EXPECT_EQ(w->objectName(), order[i]);
    }
}

TEST_F(Form1Window, HiddenFolderButtonWorksFromTheKeyboard) {
    folders.answers = {(dir / "cards").string()};
    QWidget* command1 = Find("Command1");
    EXPECT_GE(InWindow(command1).left(), 569);
    command1->setFocus();
    QTest::keyClick(command1, Qt::Key_Space);
    EXPECT_EQ(folders.prompts,
              std::vector<std::string>{"Choose Source Folder Having Documents..."});
    EXPECT_EQ(Find<QLineEdit>("txtvCFPath")->text().toStdString(), (dir / "cards").string() + "/");
    EXPECT_EQ(form.Run().inputMode, 2);
    EXPECT_TRUE(Button("CmdSplit")->isEnabled());
}

TEST_F(Form1Window, FileChoiceThroughTheWindow) {
    files.answer = Write("contacts.txt", "\xEF\xBB\xBFNOTE:x\r\nVERSION\r\n  begin:vcard  \r\n");
    QTest::mouseClick(Button("CmdBrowse"), Qt::LeftButton);
    EXPECT_TRUE(Button("CmdSplit")->isEnabled());
    EXPECT_EQ(Find<QLineEdit>("txtvCFPath")->text().toStdString(), files.answer);

    files.answer = Write("notes.txt", "BEGIN:VCARD and more\r\n");
    QTest::mouseClick(Button("CmdBrowse"), Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].first, app::kNotValidBackup);
    EXPECT_FALSE(Button("CmdSplit")->isEnabled());

    files.answer = "";
    QTest::mouseClick(Button("CmdBrowse"), Qt::LeftButton);
    EXPECT_EQ(Find<QLineEdit>("txtvCFPath")->text().toStdString(), (dir / "notes.txt").string());
    EXPECT_EQ(files.shown, 3);
}

TEST_F(Form1Window, HelpDoesNothingAndThePanelOpensTheProductPage) {
    QTest::mouseClick(Button("CmdHelp"), Qt::LeftButton);
    EXPECT_TRUE(shell.opened.empty());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(files.shown, 0);
    EXPECT_TRUE(form.isVisible());
    QTest::mouseClick(Find("Picture3"), Qt::LeftButton, {}, QPoint(300, 15)); // free area
    EXPECT_EQ(shell.opened, std::vector<std::string>{"https://velloquin.example/"});
}

TEST_F(Form1Window, Label6OpensTheInstructionWindowModally) {
    QString title;
    QSize size;
    QWidget* parent = nullptr;
    Qt::WindowFlags flags;
    QSize picture;
    QStringList labels;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        title = modal->windowTitle();
        size = modal->size();
        parent = modal->parentWidget();
        flags = modal->windowFlags();
        if (auto* image = modal->findChild<QLabel*>("Image1")) picture = image->pixmap().size();
        for (const char* name : {"lblTitle", "Label1", "Label2"})
            if (auto* label = modal->findChild<QLabel*>(name)) labels << label->text();
        modal->close();
    });
    QTest::mouseClick(Find("Label6"), Qt::LeftButton);
    EXPECT_EQ(title, "Skype Contacts Backup");
    EXPECT_EQ(size, QSize(428, 353));
    EXPECT_EQ(parent, &form);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(picture, QSize(395, 245));
    EXPECT_EQ(labels,
              QStringList({"Steps to Export / Backup Skype Contacts to File", "1. Open Skype",
                           "2. Navigate to Contacts -> Advanced -> Backup Contacts to "
                           "File..."}));
}

TEST_F(Form1Window, ExitClosesTheWindow) {
    QTest::mouseClick(Button("cmdEnd"), Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(Form1Window, RunFromTheWindowWritesTheWorkbook) {
    files.answer = Write("contacts.vcf", Cards(3));
    QTest::mouseClick(Button("CmdBrowse"), Qt::LeftButton);
    const fs::path out = dir / "out";
    fs::create_directories(out);
    folders.answers = {out.string()};

    QStringList disabledDuringRun;
    pump.onPump = [&] {
        if (!form.Run().RunUnderWay() || !disabledDuringRun.isEmpty()) return;
        for (const char* name : {"CmdBrowse", "Command1", "OptXLS", "OptPST", "OptNormal",
                                 "OptAdvance", "cmdEnd", "CmdSplit"})
            if (!Find(name)->isEnabled()) disabledDuringRun << name;
    };
    QTest::mouseClick(Button("CmdSplit"), Qt::LeftButton);

    EXPECT_EQ(folders.prompts, std::vector<std::string>{"Choose Folder to Save..."});
    EXPECT_EQ(disabledDuringRun.size(), 8) << disabledDuringRun.join(",").toStdString();
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_EQ(messages.shown[0].second, "Velloquin");
    EXPECT_TRUE(Find<QLabel>("LblProgessCurrent")->text().startsWith("(3)"))
        << Find<QLabel>("LblProgessCurrent")->text().toStdString();
    // After the run: choices again, Convert only after a new one.
    EXPECT_TRUE(Button("CmdBrowse")->isEnabled());
    EXPECT_TRUE(Button("cmdEnd")->isEnabled());
    EXPECT_FALSE(Button("CmdSplit")->isEnabled());

    const std::string workbook = ReadBytes(out / "vCardContactsExported.xls");
    // BIFF2 BOF (type 10 = workbook globals) first, EOF last.
    ASSERT_GE(workbook.size(), 12u);
    EXPECT_EQ(workbook.substr(0, 8), std::string("\x09\x00\x04\x00\x02\x00\x0A\x00", 8));
    EXPECT_EQ(workbook.substr(workbook.size() - 4), std::string("\x0A\x00\x00\x00", 4));
#ifdef VELLOQUIN_TEST_SUPPORT
    // What an independent reader makes of it: the titles, then one row per contact.
    if (!testsupport::SofficeInstalled()) GTEST_SKIP() << "LibreOffice is not installed";
    const auto tables = testsupport::ReadWorkbooks({out / "vCardContactsExported.xls"});
    ASSERT_EQ(tables.size(), 1u);
    const testsupport::CsvTable& table = tables[0];
    ASSERT_EQ(table.size(), 4u);
    ASSERT_EQ(table[0].size(), 36u);
    EXPECT_EQ(table[0][0], "First Name");
    EXPECT_EQ(table[0][2], "Last Name");
    for (size_t row = 1; row <= 3; ++row) {
        ASSERT_GE(table[row].size(), 3u);
        EXPECT_EQ(table[row][0], "Given" + std::to_string(row));
        EXPECT_EQ(table[row][2], "Family" + std::to_string(row));
    }
#else
    for (const char* name : {"Given1", "Family2", "Given3"})
        EXPECT_NE(workbook.find(name), std::string::npos) << name;
#endif
}

TEST_F(Form1Window, ClosingDuringARunEndsAfterTheWorkbookIsClosed) {
    files.answer = Write("many.vcf", Cards(2000));
    QTest::mouseClick(Button("CmdBrowse"), Qt::LeftButton);
    const fs::path out = dir / "out";
    fs::create_directories(out);
    folders.answers = {out.string()};

    bool stillOpen = false;
    int32_t atClose = 0;
    pump.onPump = [&] {
        if (form.Run().RunUnderWay() && form.Run().cardCounter > 1 && atClose == 0) {
            atClose = form.Run().cardCounter;
            form.close();
            stillOpen = form.isVisible();
        }
    };
    QTest::mouseClick(Button("CmdSplit"), Qt::LeftButton);

    ASSERT_GT(atClose, 0) << "the run never let the window work while reading";
    EXPECT_TRUE(stillOpen) << "the window must wait for the run";
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_LE(form.Run().cardCounter, atClose + 1); // stopped after the contact under way
    const std::string workbook = ReadBytes(out / "vCardContactsExported.xls");
    ASSERT_GE(workbook.size(), 12u);
    EXPECT_EQ(workbook.substr(workbook.size() - 4), std::string("\x0A\x00\x00\x00", 4));
}

TEST(NameFilters, TurnsTheDialogFilterIntoQtForm) {
    EXPECT_EQ(gui::NameFilters("Skype Contacts Backup (*.vcf)|*.vcf;*.*"),
              QStringList{"Skype Contacts Backup (*.vcf) (*.vcf *.*)"});
    EXPECT_EQ(gui::NameFilters("A|*.a|B|*.b;*.c"), QStringList({"A (*.a)", "B (*.b *.c)"}));
}

int main(int argc, char** argv) {
    // The window needs no screen; set here as well so that listing the tests
    // at build time works without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
