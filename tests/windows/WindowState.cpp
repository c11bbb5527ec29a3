// window-state STATE_FILE: follows the running main window from outside, for
// the window tests, and writes its controls' state into STATE_FILE whenever
// it changes, until the window is gone. One line a control, in the order of
// the layout table, tab-separated: name, class, left, top, width, height
// (client pixels), enabled, checked, focused, text.
// window-state --layout: the same lines as the layout table asks for them
// when the window opens at 96 dpi, the focus left out.
// window-state --focus-order: the controls that the Tab key visits when the
// window opens (the enabled ones of the table's focus order), one a line.
//
// It reads only what any program may read of another's windows (places,
// styles, the focus, the controls' answers to WM_GETTEXT and BM_GETCHECK), so
// the window under test is the program as users run it, with nothing built
// in for its tests.
#include "MainWindow.h"
#include "platform/WideText.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

using velloquin::app::ControlKind;
using velloquin::app::WindowLayout;

// A control that does not answer within this time is busy (a run reading
// between two of its turns); the state is then read again later.
constexpr UINT kAnswerWithin = 2000;

struct Found {
    std::vector<HWND>* controls;
    size_t count;
};

BOOL CALLBACK Collect(HWND child, LPARAM param) {
    auto* found = reinterpret_cast<Found*>(param);
    const int index = GetDlgCtrlID(child) - velloquin::win32::kFirstMainControlId;
    if (index >= 0 && static_cast<size_t>(index) < found->count &&
        !(*found->controls)[static_cast<size_t>(index)])
        (*found->controls)[static_cast<size_t>(index)] = child;
    return TRUE;
}

bool Ask(HWND control, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result) {
    return SendMessageTimeoutW(control, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                               kAnswerWithin, &result) != 0;
}

std::optional<std::string> State(HWND main, const WindowLayout& layout) {
    std::vector<HWND> controls(layout.controls.size(), nullptr);
    Found found{&controls, controls.size()};
    EnumChildWindows(main, Collect, reinterpret_cast<LPARAM>(&found));
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &gui)) return std::nullopt;

    std::wstring out;
    for (size_t i = 0; i < controls.size(); ++i) {
        HWND control = controls[i];
        if (!control) return std::nullopt; // still being made
        wchar_t className[64] = L"";
        GetClassNameW(control, className, 64);
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
        DWORD_PTR length = 0, checked = 0;
        if (!Ask(control, WM_GETTEXTLENGTH, 0, 0, length)) return std::nullopt;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        DWORD_PTR copied = 0;
        if (!Ask(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), copied))
            return std::nullopt;
        text.resize(static_cast<size_t>(copied));
        if (layout.controls[i].kind == ControlKind::OptionButton &&
            !Ask(control, BM_GETCHECK, 0, 0, checked))
            return std::nullopt;
        out += velloquin::platform::WideFromUtf8(layout.controls[i].name) + L"\t" + className +
               L"\t" + std::to_wstring(r.left) + L"\t" + std::to_wstring(r.top) + L"\t" +
               std::to_wstring(r.right - r.left) + L"\t" + std::to_wstring(r.bottom - r.top) +
               L"\t" + (IsWindowEnabled(control) ? L"1" : L"0") + L"\t" +
               (checked == BST_CHECKED ? L"1" : L"0") + L"\t" +
               (gui.hwndFocus == control ? L"1" : L"0") + L"\t" + text + L"\n";
    }
    return velloquin::platform::Utf8FromWide(out);
}

// The native control each kind of the table is made as.
const char* ClassOf(ControlKind kind) {
    switch (kind) {
    case ControlKind::TextBox:
        return "Edit";
    case ControlKind::Panel:
        return "VelloquinPanel";
    case ControlKind::Label:
    case ControlKind::Picture:
        return "Static";
    case ControlKind::Button:
    case ControlKind::GroupBox:
    case ControlKind::OptionButton:
        break;
    }
    return "Button";
}

void PrintLayout(const WindowLayout& layout) {
    _setmode(_fileno(stdout), _O_BINARY);
    for (const velloquin::app::ControlLayout& c : layout.controls)
        std::printf("%s\t%s\t%d\t%d\t%d\t%d\t%d\t%d\t%s\n", c.name, ClassOf(c.kind), c.at.left,
                    c.at.top, c.at.width, c.at.height, c.enabled ? 1 : 0,
                    c.kind == ControlKind::OptionButton && c.selected ? 1 : 0,
                    c.kind == ControlKind::Picture ? "" : c.caption);
}

// Written whole and then renamed, so that a reader never sees half of it.
void Write(const std::wstring& path, const std::string& state) {
    const std::wstring temporary = path + L".part";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, state.data(), static_cast<DWORD>(state.size()), &written, nullptr);
    CloseHandle(file);
    MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: window-state STATE_FILE | --layout | --focus-order\n", stderr);
        return 2;
    }
    const WindowLayout& layout = velloquin::app::Form1Layout();
    if (std::wstring(argv[1]) == L"--layout") {
        PrintLayout(layout);
        return 0;
    }
    if (std::wstring(argv[1]) == L"--focus-order") {
        _setmode(_fileno(stdout), _O_BINARY);
        for (const velloquin::app::ControlLayout* c : velloquin::app::FocusOrder(layout))
            if (c->enabled) std::printf("%s\n", c->name);
        return 0;
    }
    const std::wstring title = velloquin::platform::WideFromUtf8(layout.title);
    bool seen = false;
    std::string last;
    for (;;) {
        HWND main = FindWindowW(nullptr, title.c_str());
        if (!main) {
            if (seen) return 0;
        } else {
            seen = true;
            const std::optional<std::string> state = State(main, layout);
            if (state && *state != last) {
                Write(argv[1], *state);
                last = *state;
            }
        }
        Sleep(50);
    }
}
