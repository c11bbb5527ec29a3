// The platform services of the run and the window, done with the Windows
// common dialogs, the shell and message boxes. Texts cross as UTF-16.
#pragma once

#include "app/Platform.h"

#include <windows.h>
// windows.h names MessageBox as a macro; the interface keeps its own name.
#undef MessageBox

#include <functional>

namespace velloquin::win32 {

class Win32FileDialog : public app::FileDialog {
  public:
    explicit Win32FileDialog(HWND owner) : owner_(owner) {}
    std::string ShowOpen(const std::string& filter, int flags, int maxFileSize) override;
    void StartOpenIn(const std::string& folder) override { start_ = folder; }

  private:
    HWND owner_;
    std::string start_;
};

// The common save dialog, asking before it replaces a file.
class Win32SaveFileDialog : public app::SaveFileDialog {
  public:
    explicit Win32SaveFileDialog(HWND owner) : owner_(owner) {}
    std::string ShowSave(const std::string& title, const std::string& suggestedName,
                         const std::string& filter) override;

  private:
    HWND owner_;
};

// The system's folder picker (the common item dialog in its folder mode,
// where a path can also be typed), modal to the owner.
class Win32FolderPicker : public app::FolderPicker {
  public:
    explicit Win32FolderPicker(HWND owner) : owner_(owner) {}
    std::string BrowseForFolder(const std::string& prompt) override;
    void StartBrowseIn(const std::string& folder) override { start_ = folder; }

  private:
    HWND owner_;
    std::string start_;
};

class Win32MessageBox : public app::MessageBox {
  public:
    explicit Win32MessageBox(HWND owner) : owner_(owner) {}
    void Show(const std::string& text, const std::string& title) override;
    bool AskYesNo(const std::string& text, const std::string& title) override;
    // A dialog of its own: a read-only scrolling text (control kNotesText),
    // "Save Notes..." (kSaveNotes), the question (kNotesQuestion) and OK, or
    // Yes and No.
    bool ShowNotes(const app::NotesBox& box) override;

    static constexpr int kNotesText = 100;
    static constexpr int kSaveNotes = 101;
    static constexpr int kNotesQuestion = 102;

  private:
    // The window the box belongs to: the active one of the program (a notes
    // dialog that saves), else the main window.
    HWND Owner() const;

    HWND owner_;
};

// Dispatches the pending messages; `preTranslate` gets each one first (the
// window's keyboard handling) and returns true for the ones it has handled.
class Win32WindowPump : public app::WindowPump {
  public:
    explicit Win32WindowPump(std::function<bool(MSG&)> preTranslate)
        : preTranslate_(std::move(preTranslate)) {}
    void LetTheWindowWork() override;

  private:
    std::function<bool(MSG&)> preTranslate_;
};

class Win32Shell : public app::Shell {
  public:
    bool ShellOpen(const std::string& target) override;
};

// The filter of a file dialog, "Description|*.a;*.b|...", in the form the
// common dialog takes: each part ended by NUL, the whole by a second NUL.
std::wstring DialogFilter(const std::string& filter);

// The folder that holds the running program, as UTF-8.
std::string ProgramFolder();

// The user's Documents folder as UTF-8, or empty text when there is none.
std::string DocumentsFolder();

} // namespace velloquin::win32
