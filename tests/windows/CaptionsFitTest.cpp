// Every label of both windows shows its whole caption at the resolutions
// users run: the windows are made as the program makes them, and each static
// control's text is measured in the font the control was given, against the
// part of the control that lies inside its window.
#include "InstructionWindow.h"
#include "MainWindow.h"

#include "platform/WideText.h"

#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velloquin::win32;

namespace {

struct Caption {
    std::string name;
    std::string text;
    SIZE extent;
    LONG width; // of the visible part
    LONG height;
};

BOOL CALLBACK Collect(HWND child, LPARAM param) {
    wchar_t windowClass[16] = L"";
    GetClassNameW(child, windowClass, 16);
    if (_wcsicmp(windowClass, L"Static") != 0) return TRUE;
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) return TRUE;
    const int length = GetWindowTextLengthW(child);
    if (length == 0) return TRUE;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(child, text.data(), length + 1)));

    // The control, in its top-level window's client area, cut to that area.
    HWND top = GetAncestor(child, GA_ROOT);
    RECT client, at;
    GetClientRect(top, &client);
    GetWindowRect(child, &at);
    MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT*>(&at), 2);
    RECT visible;
    if (!IntersectRect(&visible, &at, &client)) return TRUE; // never seen

    HDC dc = GetDC(child);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(child, dc);

    const char* name = static_cast<const char*>(GetPropW(child, L"VelloquinName"));
    reinterpret_cast<std::vector<Caption>*>(param)->push_back(
        {name ? name : "?", velloquin::platform::Utf8FromWide(text), extent,
         visible.right - visible.left, visible.bottom - visible.top});
    return TRUE;
}

std::vector<Caption> CaptionsOf(HWND window) {
    std::vector<Caption> captions;
    EnumChildWindows(window, Collect, reinterpret_cast<LPARAM>(&captions));
    return captions;
}

void ExpectAllFit(HWND window, size_t atLeast) {
    const std::vector<Caption> captions = CaptionsOf(window);
    EXPECT_GE(captions.size(), atLeast);
    for (const Caption& c : captions)
        EXPECT_TRUE(c.extent.cx <= c.width && c.extent.cy <= c.height)
            << c.name << " \"" << c.text << "\" takes " << c.extent.cx << "x" << c.extent.cy
            << ", has " << c.width << "x" << c.height;
}

struct Com {
    Com() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Com() { CoUninitialize(); }
};

} // namespace

class CaptionsFit : public ::testing::TestWithParam<int> {};

TEST_P(CaptionsFit, InBothWindows) {
    const int dpi = GetParam();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    Com com;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    MainWindow main(instance, dpi);
    ASSERT_TRUE(main.Create(SW_HIDE));
    {
        SCOPED_TRACE("main window at " + std::to_string(dpi) + " dpi");
        ExpectAllFit(main.Handle(), 7);
    }
    {
        SCOPED_TRACE("instruction window at " + std::to_string(dpi) + " dpi");
        InstructionWindow::RegisterWindowClass(instance);
        InstructionWindow instructions(instance, main.Handle(), dpi);
        instructions.Show(false, {});
        ASSERT_NE(instructions.Handle(), nullptr);
        ExpectAllFit(instructions.Handle(), 3);
        instructions.Close();
    }
    DestroyWindow(main.Handle());
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, CaptionsFit, ::testing::Values(96, 120, 144),
                         [](const auto& dpi) { return std::to_string(dpi.param); });
