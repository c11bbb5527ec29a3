// The main window's behaviour without its widgets: the file and folder
// choices, the guards while a run is under way and the way the window closes.
// The Qt window forwards its clicks here; tests drive it with fakes.
#pragma once

#include "app/ConversionRun.h"
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
// What the window says last when it closes after a stopped run: where the
// output is and how many contacts it holds.
std::string StoppedRunText(const std::string& outputPath, int64_t contactsKept);

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

// The window's own controls that the choices touch.
class FormControls {
  public:
    virtual ~FormControls() = default;
    virtual void SetPathText(const std::string& text) = 0; // txtvCFPath
    virtual std::string PathText() = 0;
    virtual void SetCmdSplitEnabled(bool enabled) = 0;
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

    void Form_Load();
    void CmdBrowse_Click();
    void Command1_Click();
    void CmdSplit_Click();
    void Picture3_Click();
    void CmdHelp_Click();

    // The window asks before it closes. During a run the user is asked
    // whether to stop it; either way the window stays for now. On Yes the run
    // stops after its current contact and closes its output, and
    // CloseAfterRun() then tells the window to close once the run is over.
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

    void RejectFile(const std::string& message);

    Platform platform_;
    FormControls& form_;
    bool closePending_ = false;
    std::string lastBackupFolder_;
    MessageGate gate_;
    ConversionRun run_;
};

} // namespace velloquin::app
