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

struct FakeWindow : app::FolderPicker, app::MessageBox, app::WindowPump, app::RunControls {
    std::string folder; // the folder picker's answer
    bool xls = true;
    int pumps = 0;
    std::function<void()> onPump = [] {};
    Strings prompts, shown, captions; // shown: "title: text"
    std::vector<bool> cmdSplit, underWay;

    std::string BrowseForFolder(S prompt) override {
        prompts.push_back(prompt);
        return folder;
    }
    void Show(S text, S title) override { shown.push_back(title + ": " + text); }
    void LetTheWindowWork() override {
        ++pumps;
        onPump();
    }
    bool OptXLS() override { return xls; }
    bool OptPST() override { return !xls; }
    bool OptNormal() override { return true; }
    bool OptAdvance() override { return false; }
    void SetProgressCaption(S caption) override { captions.push_back(caption); }
    void SetCmdSplitEnabled(bool enabled) override { cmdSplit.push_back(enabled); }
    void SetRunUnderWay(bool on) override { underWay.push_back(on); }
};

} // namespace velloquin::testing
