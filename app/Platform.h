// The small platform services the conversion run and the window need. The Qt
// window implements them for real; tests and the command line answer them
// without a screen.
#pragma once

#include <functional>
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

// The notes at the end of a run, as the notes dialog shows them.
struct NotesBox {
    std::string title;
    std::string text;     // the notes, repeated ones told once
    std::string question; // asked under the notes, with Yes and No for OK; may be empty
    // The "Save Notes..." button's action; the button is left out when empty.
    std::function<void()> saveNotes;
    // Every note, one a line, for a platform that prints rather than shows.
    std::string allNotes;
};

class MessageBox {
  public:
    virtual ~MessageBox() = default;
    // Information icon, OK button only; returns when the user closed it.
    virtual void Show(const std::string& text, const std::string& title) = 0;
    // A question with Yes and No buttons, Yes the default; true for Yes. A
    // box closed without an answer counts as No.
    virtual bool AskYesNo(const std::string& text, const std::string& title) = 0;
    // The notes dialog: one size whatever the number of notes, within the
    // screen (see NotesDialogSize), the text read-only and scrolling, then OK
    // (or Yes and No with a question) and "Save Notes...". True for Yes; OK,
    // No and a dialog closed without an answer give false.
    virtual bool ShowNotes(const NotesBox& box) = 0;
};

class SaveFileDialog {
  public:
    virtual ~SaveFileDialog() = default;
    // The save dialog, asking before it replaces a file: the chosen file's
    // full path, or empty text when the user cancelled.
    virtual std::string ShowSave(const std::string& title, const std::string& suggestedName,
                                 const std::string& filter) = 0;
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
    // Standard Mode chosen for every run. The window offers no such option
    // (a run offers it when Normal Mode leaves values unread); the command
    // line does.
    virtual bool OptStandard() { return false; }
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
    // The platform's "open" action on a document or web address. False when
    // nothing could open it (no browser, no program for the file's type).
    virtual bool ShellOpen(const std::string& target) = 0;
};

} // namespace velloquin::app
