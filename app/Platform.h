// The small platform services the conversion run and the window need. The Qt
// window implements them for real; tests and the command line answer them
// without a screen.
#pragma once

#include <string>

namespace velloquin::app {

class FolderPicker {
  public:
    virtual ~FolderPicker() = default;
    // The chosen folder's full path as the platform gives it (no separator
    // added), or empty text when the user cancelled or anything failed.
    virtual std::string BrowseForFolder(const std::string& prompt) = 0;
    // The folder the next BrowseForFolder opens in; empty text leaves the
    // choice to the platform.
    virtual void StartBrowseIn(const std::string& folder) { (void)folder; }
};

class MessageBox {
  public:
    virtual ~MessageBox() = default;
    // Information icon, OK button only; returns when the user closed it.
    virtual void Show(const std::string& text, const std::string& title) = 0;
    // A question with Yes and No buttons, Yes the default; true for Yes. A
    // box closed without an answer counts as No.
    virtual bool AskYesNo(const std::string& text, const std::string& title) = 0;
};

class WindowPump {
  public:
    virtual ~WindowPump() = default;
    // Processes the window's pending events. May be called very often; see
    // ThrottledPump for making it cheap.
    virtual void LetTheWindowWork() = 0;
};

// The window's controls as the run sees them.
class RunControls {
  public:
    virtual ~RunControls() = default;
    virtual bool OptXLS() = 0;
    virtual bool OptPST() = 0;
    virtual bool OptNormal() = 0;
    virtual bool OptAdvance() = 0;
    // Selects Advance Mode (and so clears Normal Mode), as a click on it would.
    virtual void SelectOptAdvance() = 0;
    virtual void SetProgressCaption(const std::string& caption) = 0; // LblProgessCurrent
    virtual void SetCmdSplitEnabled(bool enabled) = 0;
    // While a run is under way, the window keeps the choices that could change
    // what the run does (file, folder, options, exit) from being used.
    virtual void SetRunUnderWay(bool underWay) = 0;
};

class FileDialog {
  public:
    virtual ~FileDialog() = default;
    // The open dialog: returns the chosen file's full path, or empty text
    // when the user cancelled.
    virtual std::string ShowOpen(const std::string& filter, int flags, int maxFileSize) = 0;
    // The folder the next ShowOpen opens in; empty text leaves the choice to
    // the platform.
    virtual void StartOpenIn(const std::string& folder) { (void)folder; }
};

class Shell {
  public:
    virtual ~Shell() = default;
    // The platform's "open" action on a document or web address.
    virtual void ShellOpen(const std::string& target) = 0;
};

} // namespace velloquin::app
