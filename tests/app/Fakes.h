// Recording stand-ins for the window's platform services.
#pragma once

#include "app/Platform.h"

#include <functional>
#include <string>
#include <vector>

namespace velloquin::testing {

struct FakePicker : app::FolderPicker {
    std::string answer;
    std::vector<std::string> prompts;
    std::string BrowseForFolder(const std::string& prompt) override {
        prompts.push_back(prompt);
        return answer;
    }
};

struct Message {
    std::string text;
    std::string title;
};

struct RecordingMessages : app::MessageBox {
    std::vector<Message> shown;
    void Show(const std::string& text, const std::string& title) override {
        shown.push_back({text, title});
    }
};

struct FakePump : app::WindowPump {
    int pumps = 0;
    std::function<void()> onPump;
    void LetTheWindowWork() override {
        ++pumps;
        if (onPump) onPump();
    }
};

struct FakeControls : app::RunControls {
    bool xls = true;
    bool advance = false;
    std::vector<std::string> captions;
    std::vector<bool> cmdSplitEnabled;
    std::vector<bool> runUnderWay;

    bool OptXLS() override { return xls; }
    bool OptPST() override { return !xls; }
    bool OptNormal() override { return !advance; }
    bool OptAdvance() override { return advance; }
    void SetProgressCaption(const std::string& caption) override { captions.push_back(caption); }
    void SetCmdSplitEnabled(bool enabled) override { cmdSplitEnabled.push_back(enabled); }
    void SetRunUnderWay(bool underWay) override { runUnderWay.push_back(underWay); }
};

} // namespace velloquin::testing
