// The main window's behaviour without its widgets: what each control's click
// does, the file and folder choices, the controls locked while a run is under
// way, the instruction window's modality and the way the window closes. Both
// windows (Qt and Win32) only draw and forward their clicks here; tests drive
// it with fakes.
#pragma once

#include "app/ConversionRun.h"
#include "app/FormLayout.h"
#include "app/Platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velloquin::app {

inline constexpr const char* kWindowTitle = "Corvanth Velloquin v1.2";
inline constexpr const char* kBrowseFilter = "Skype Contacts Backup (*.vcf)|*.vcf;*.*";
// Explorer-style dialog, single selection, no other option.
inline constexpr int kBrowseFlags = 0x80000;
inline constexpr int kBrowseMaxFileSize = 1000;
inline constexpr const char* kSourceFolderPrompt = "Choose Source Folder Having Documents...";
inline constexpr const char* kNotValidBackup =
    "Selected File is NOT a Valid Skype Contacts Backup File";
inline constexpr const char* kProductPage = "https://velloquin.example/";
inline constexpr const char* kManualName = "manual.html";

// Where the Help Manual is looked for, in this order: next to the program (a
// Windows installation, the build tree), then in the shared data folder of an
// installation beside its bin folder.
std::vector<std::string> ManualPlaces(const std::string& programFolder);

// The question asked when the window is closed while a run is under way:
// the contacts the output keeps, or, while the backup is still read ahead,
// that no output was made yet.
std::string CloseDuringRunQuestion(int64_t contactsKept, bool readingAhead = false);
// The same while the backup is read again to see what Standard Mode would
// add: the output is already whole.
std::string CloseDuringCheckQuestion(int64_t contactsSaved);
// What the window says last when it closes after a stopped run: where the
// output is and how many contacts it holds.
std::string StoppedRunText(const std::string& outputPath, int64_t contactsKept);
// The same after a close during that second reading.
std::string FinishedRunText(const std::string& outputPath, int64_t contactsSaved);

struct DialogSize {
    int width = 0;
    int height = 0;
};
// The notes dialog's size on a screen whose free area is given, in the
// units the window measures in: its own size where the screen has room for
// it, else nine tenths of the screen, so that its buttons are always in reach.
DialogSize NotesDialogSize(int screenWidth, int screenHeight);

// The text after the last path separator: the whole path when it holds none,
// empty text when it ends in one. Windows paths may use either separator.
std::string GetFileName(const std::string& path);

// True when the file name's last four characters, in lower case, are ".vcf"
// (a shorter name is compared whole, so it never matches).
bool HasVcfExtension(const std::string& path);

struct BackupLook {
    enum Result { Found, NotFound, CannotOpen, ReadFailed };
    Result result = NotFound;
    std::string reason; // the system's words, for CannotOpen and ReadFailed
};

// Looks for a line that is "BEGIN:VCARD" once blanks around it are removed,
// without regard to case. The file is read the way the reader reads it: a
// leading UTF-8 byte-order mark is skipped, one of UTF-16 makes the text
// UTF-16, a CR or CR LF ends a line and a lone LF does not. Reads in small pieces with constant
// memory, so a huge file without line ends costs no more than a small one. The pump, when given, is
// worked once after the file is open.
BackupLook LookForBeginVCard(const std::string& path, WindowPump* pump);

// One entry of a file dialog's list of types: its description and the
// patterns it shows.
struct FileFilter {
    std::string description;
    std::vector<std::string> patterns;
    bool operator==(const FileFilter&) const = default;
};

// A filter as the dialogs are given it ("Text (*.txt)|*.txt;*.*"): pairs of
// description and patterns, the patterns separated by ";" and trimmed of
// blanks; empty patterns and a description without patterns are left out.
std::vector<FileFilter> ParseFileFilter(const std::string& filter);

// The window's own controls that the choices touch.
class FormControls {
  public:
    virtual ~FormControls() = default;
    virtual void SetPathText(const std::string& text) = 0; // txtvCFPath
    virtual std::string PathText() = 0;
    virtual void SetCmdSplitEnabled(bool enabled) = 0;
    // A control of the layout table turned on or off.
    virtual void SetControlEnabled(const ControlLayout& control, bool enabled) = 0;
    // The instruction window (FrmSkype); `modal`: the main window waits
    // until it is closed.
    virtual void ShowInstructions(bool modal) = 0;
    // Closes the window as the user's close does, asking QueryClose first.
    virtual void CloseWindow() = 0;
};

class FormLogic {
  public:
    struct Platform {
        FileDialog& files;
        FolderPicker& folders;
        MessageBox& messages;
        WindowPump& pump;
        Shell& shell;
        // The folder that holds the running program, where the Help Manual
        // is looked for.
        std::string programFolder;
        // The user's Documents folder, where the first choice of a backup
        // starts; empty when the platform has none.
        std::string documentsFolder;
        // Where the notes are saved; none: the notes dialog offers no saving.
        SaveFileDialog* saveFiles = nullptr;
    };

    FormLogic(const Platform& platform, FormControls& form, RunControls& runControls);

    ConversionRun& Run() { return run_; }

    // A control's click, as its row of the layout table names it.
    void Click(ControlAction action);
    // Whether the instruction window is shown modal: not during a run, which
    // must go on reading while it is open.
    bool InstructionsModal() const { return !run_.RunUnderWay(); }

    void Form_Load();
    void CmdBrowse_Click();
    void Command1_Click();
    void CmdSplit_Click();
    void Picture3_Click();
    void CmdHelp_Click();

    // The window asks before it closes. During a run the user is asked
    // whether to stop it; either way the window stays for now. On Yes the run
    // stops after its current contact and closes its output, and the click
    // that started the run closes the window once the run is over
    // (CloseAfterRun() says so).
    bool QueryClose();
    bool CloseAfterRun() const { return closePending_; }

    // Where the dialogs open. A backup is looked for in the folder it was
    // last chosen from (the Documents folder before that, or once that folder
    // is gone); the output folder is looked for beside the backup.
    std::string BackupDialogFolder() const;
    std::string SaveDialogFolder() const;

  private:
    // Hands the run's messages on, unless the user already closed the window:
    // then nobody is left to read them.
    class MessageGate : public MessageBox {
      public:
        MessageGate(MessageBox& inner, const bool& closing) : inner_(inner), closing_(closing) {}
        void Show(const std::string& text, const std::string& title) override {
            if (!closing_) inner_.Show(text, title);
        }
        bool AskYesNo(const std::string& text, const std::string& title) override {
            return !closing_ && inner_.AskYesNo(text, title);
        }
        bool ShowNotes(const NotesBox& box) override { return !closing_ && inner_.ShowNotes(box); }

      private:
        MessageBox& inner_;
        const bool& closing_;
    };

    // The run's view of the window, with the controls that would change the
    // run locked while it is under way.
    class RunLock : public RunControls {
      public:
        RunLock(RunControls& inner, FormControls& form) : inner_(inner), form_(form) {}
        bool OptXLS() override { return inner_.OptXLS(); }
        bool OptPST() override { return inner_.OptPST(); }
        bool OptNormal() override { return inner_.OptNormal(); }
        bool OptAdvance() override { return inner_.OptAdvance(); }
        bool OptStandard() override { return inner_.OptStandard(); }
        void SetProgressCaption(const std::string& caption) override {
            inner_.SetProgressCaption(caption);
        }
        void SetCmdSplitEnabled(bool enabled) override { inner_.SetCmdSplitEnabled(enabled); }
        void SetRunUnderWay(bool underWay) override;

      private:
        RunControls& inner_;
        FormControls& form_;
    };

    void RejectFile(const std::string& message);

    Platform platform_;
    FormControls& form_;
    RunLock runLock_;
    bool closePending_ = false;
    std::string lastBackupFolder_;
    MessageGate gate_;
    ConversionRun run_;
};

} // namespace velloquin::app
