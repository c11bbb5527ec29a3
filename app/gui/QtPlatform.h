// The platform services of the run and the window, done with Qt.
#pragma once

#include "app/Platform.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

namespace velloquin::gui {

// A dialog filter written as "Description|*.a;*.b|Other|*.c" in Qt's form,
// one entry per pair: "Description (*.a *.b)".
QStringList NameFilters(const std::string& dialogFilter);

class QtFileDialog : public app::FileDialog {
  public:
    explicit QtFileDialog(QWidget* owner) : owner_(owner) {}
    // The flags only ever ask for the one-file Explorer-style dialog, which is
    // what Qt's open dialog is.
    std::string ShowOpen(const std::string& filter, int flags, int maxFileSize) override;
    void StartOpenIn(const std::string& folder) override { start_ = folder; }

  private:
    QPointer<QWidget> owner_;
    std::string start_;
};

class QtSaveFileDialog : public app::SaveFileDialog {
  public:
    explicit QtSaveFileDialog(QWidget* owner) : owner_(owner) {}
    std::string ShowSave(const std::string& title, const std::string& suggestedName,
                         const std::string& filter) override;

  private:
    QPointer<QWidget> owner_;
};

class QtFolderPicker : public app::FolderPicker {
  public:
    explicit QtFolderPicker(QWidget* owner) : owner_(owner) {}
    std::string BrowseForFolder(const std::string& prompt) override;
    void StartBrowseIn(const std::string& folder) override { start_ = folder; }

  private:
    QPointer<QWidget> owner_;
    std::string start_;
};

class QtMessageBox : public app::MessageBox {
  public:
    explicit QtMessageBox(QWidget* owner) : owner_(owner) {}
    void Show(const std::string& text, const std::string& title) override;
    bool AskYesNo(const std::string& text, const std::string& title) override;
    // A dialog named "notesDialog": the text "notesText", the buttons
    // "saveNotes" and OK, or Yes and No under the question "notesQuestion".
    bool ShowNotes(const app::NotesBox& box) override;

  private:
    QPointer<QWidget> owner_;
};

class QtWindowPump : public app::WindowPump {
  public:
    void LetTheWindowWork() override;
};

class QtShell : public app::Shell {
  public:
    bool ShellOpen(const std::string& target) override;
};

} // namespace velloquin::gui
