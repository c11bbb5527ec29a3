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

#include <set>
#include <string>
#include <utility>
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

// Every label with a caption that the table puts within the window is
// measured, and nothing else.
void ExpectAllFit(HWND window, const velloquin::app::WindowLayout& layout) {
    const std::vector<Caption> captions = CaptionsOf(window);
    std::set<std::string> measured, labels;
    for (const Caption& c : captions)
        measured.insert(c.name);
    for (const velloquin::app::ControlLayout& c : layout.controls)
        if (c.kind == velloquin::app::ControlKind::Label && *c.caption &&
            !velloquin::app::OutsideVisibleArea(layout, c))
            labels.insert(c.name);
    EXPECT_EQ(measured, labels);
    for (const Caption& c : captions)
        EXPECT_TRUE(c.extent.cx <= c.width && c.extent.cy <= c.height)
            << c.name << " \"" << c.text << "\" takes " << c.extent.cx << "x" << c.extent.cy
            << ", has " << c.width << "x" << c.height;
}

// The control of that identifier, a panel's children included.
HWND Descendant(HWND window, int id) {
    std::pair<int, HWND> wanted{id, nullptr};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM param) -> BOOL {
            auto* w = reinterpret_cast<std::pair<int, HWND>*>(param);
            if (GetDlgCtrlID(child) != w->first) return TRUE;
            w->second = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&wanted));
    return wanted.second;
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
        ExpectAllFit(main.Handle(), velloquin::app::Form1Layout());
    }
    {
        SCOPED_TRACE("instruction window at " + std::to_string(dpi) + " dpi");
        InstructionWindow::RegisterWindowClass(instance);
        InstructionWindow instructions(instance, main.Handle(), dpi);
        instructions.Show(false, {});
        ASSERT_NE(instructions.Handle(), nullptr);
        ExpectAllFit(instructions.Handle(), velloquin::app::FrmSkypeLayout());
        instructions.Close();
    }
    DestroyWindow(main.Handle());
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

// At 96 dpi, where every caption fits the table's own sizes, each control of
// the main window is the native control of its kind, in the place, font and
// state that its row gives it.
TEST(MainWindowLayout, EveryControlAsItsRowSays) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    Com com;
    MainWindow main(GetModuleHandleW(nullptr), 96);
    ASSERT_TRUE(main.Create(SW_HIDE));
    using velloquin::app::ControlKind;
    const velloquin::app::WindowLayout& layout = velloquin::app::Form1Layout();
    RECT client;
    GetClientRect(main.Handle(), &client);
    EXPECT_EQ(client.right, layout.clientWidth);
    EXPECT_EQ(client.bottom, layout.clientHeight);
    for (size_t i = 0; i < layout.controls.size(); ++i) {
        const velloquin::app::ControlLayout& c = layout.controls[i];
        SCOPED_TRACE(c.name);
        HWND control = Descendant(main.Handle(), kFirstMainControlId + static_cast<int>(i));
        ASSERT_NE(control, nullptr);
        wchar_t windowClass[32] = L"";
        GetClassNameW(control, windowClass, 32);
        const wchar_t* expectedClass =
            c.kind == ControlKind::TextBox                                   ? L"Edit"
            : c.kind == ControlKind::Panel                                   ? L"VelloquinPanel"
            : c.kind == ControlKind::Label || c.kind == ControlKind::Picture ? L"Static"
                                                                             : L"Button";
        EXPECT_EQ(_wcsicmp(windowClass, expectedClass), 0)
            << velloquin::platform::Utf8FromWide(windowClass);
        RECT at;
        GetWindowRect(control, &at);
        MapWindowPoints(HWND_DESKTOP, main.Handle(), reinterpret_cast<POINT*>(&at), 2);
        EXPECT_EQ(std::vector<LONG>({at.left, at.top, at.right - at.left, at.bottom - at.top}),
                  std::vector<LONG>({c.at.left, c.at.top, c.at.width, c.at.height}));
        EXPECT_EQ(IsWindowEnabled(control) != FALSE, c.enabled);
        if (c.kind == ControlKind::OptionButton) {
            EXPECT_EQ(SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED, c.selected);
        }
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font,
                   &font);
        EXPECT_EQ(velloquin::platform::Utf8FromWide(font.lfFaceName), velloquin::app::kFontFace);
        EXPECT_EQ(-font.lfHeight, static_cast<LONG>(c.font.points * 96 / 72 + 0.5));
        EXPECT_EQ(font.lfWeight >= FW_BOLD, c.font.bold);
        if (c.kind != ControlKind::Picture) {
            wchar_t text[256] = L"";
            GetWindowTextW(control, text, 256);
            EXPECT_EQ(velloquin::platform::Utf8FromWide(text), c.caption);
        }
    }
    DestroyWindow(main.Handle());
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, CaptionsFit, ::testing::Values(96, 120, 144),
                         [](const auto& dpi) { return std::to_string(dpi.param); });
