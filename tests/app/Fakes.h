// One stand-in for the window as the run sees it: its platform services and
// controls answer from the test and record every question, message, caption
// and state change.
#pragma once

#include "app/Platform.h"

#include <functional>
#include <string>
#include <vector>

namespace velloquin::testing {

using Strings = std::vector<std::string>;
using S = const std::string&;

struct FakeWindow : app::FolderPicker,
                    app::MessageBox,
                    app::WindowPump,
                    app::RunControls,
                    app::SaveFileDialog {
    std::string folder; // the folder picker's answer
    bool xls = true;
    bool advance = false;
    bool standard = false;     // the command line's choice; the window has none
    std::vector<bool> answers; // to the Yes/No questions, in turn; No once they run out
    int pumps = 0;
    std::function<void()> onPump = [] {};
    Strings prompts, shown, captions; // shown: "title: text", asked: "title? text"
    Strings browseStarts;             // where each folder picker was told to open
    std::vector<bool> cmdSplit, underWay;
    // The notes dialog: the boxes shown, and whether "Save Notes..." is
    // pressed (as many times as the count says) before the answer.
    std::vector<app::NotesBox> notes;
    int saveNotesPresses = 0;
    std::string saveAs; // the save dialog's answer
    Strings saveQuestions;

    std::string BrowseForFolder(S prompt) override {
        prompts.push_back(prompt);
        return folder;
    }
    void StartBrowseIn(S start) override { browseStarts.push_back(start); }
    void Show(S text, S title) override { shown.push_back(title + ": " + text); }
    bool AskYesNo(S text, S title) override {
        shown.push_back(title + "? " + text);
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.erase(answers.begin());
        return yes;
    }
    // Recorded in `shown` as a message or a question would be, the notes and
    // the question one text.
    bool ShowNotes(const app::NotesBox& box) override {
        notes.push_back(box);
        for (int i = 0; i < saveNotesPresses && box.saveNotes; ++i)
            box.saveNotes();
        if (box.question.empty()) {
            Show(box.text, box.title);
            return false;
        }
        return AskYesNo(box.text + "\n" + box.question, box.title);
    }
    std::string ShowSave(S title, S name, S filter) override {
        saveQuestions.push_back(title + "|" + name + "|" + filter);
        return saveAs;
    }
    void LetTheWindowWork() override {
        ++pumps;
        onPump();
    }
    bool OptXLS() override { return xls; }
    bool OptPST() override { return !xls; }
    bool OptNormal() override { return !advance && !standard; }
    bool OptAdvance() override { return advance; }
    bool OptStandard() override { return standard; }
    void SetProgressCaption(S caption) override { captions.push_back(caption); }
    void SetCmdSplitEnabled(bool enabled) override { cmdSplit.push_back(enabled); }
    void SetRunUnderWay(bool on) override { underWay.push_back(on); }
};

} // namespace velloquin::testing
