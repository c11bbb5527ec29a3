// The instruction window FrmSkype on Windows, built from the shared layout
// table: owned by the main window, no taskbar entry, only a close button.
#pragma once

#include <windows.h>
// windows.h names MessageBox as a macro; the interface keeps its own name.
#undef MessageBox

#include <functional>
#include <memory>

namespace velloquin::win32 {

class LayoutFonts;

class InstructionWindow {
  public:
    InstructionWindow(HINSTANCE instance, HWND owner, int dpi);
    ~InstructionWindow();
    static void RegisterWindowClass(HINSTANCE instance);

    // Modal: the owner takes no input until the window is closed, and the
    // call returns then. Otherwise it returns at once. `preTranslate` is the
    // owner's keyboard handling for the messages of the modal loop.
    void Show(bool modal, const std::function<bool(MSG&)>& preTranslate);
    void Close();
    HWND Handle() const { return hwnd_; }

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Build();

    HINSTANCE instance_;
    HWND owner_;
    int dpi_;
    HWND hwnd_ = nullptr;
    HBITMAP picture_ = nullptr;
    std::unique_ptr<LayoutFonts> fonts_;
};

} // namespace velloquin::win32
