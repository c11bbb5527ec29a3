#include "InstructionWindow.h"

#include "MainWindow.h"
#include "app/FormLayout.h"
#include "platform/WideText.h"
#include "resource.h"

namespace velloquin::win32 {

namespace {
constexpr wchar_t kClass[] = L"VelloquinFrmSkype";
constexpr int kFirstControlId = 2000;
} // namespace

InstructionWindow::InstructionWindow(HINSTANCE instance, HWND owner, int dpi)
    : instance_(instance), owner_(owner), dpi_(dpi) {}

InstructionWindow::~InstructionWindow() {
    Close();
    if (picture_) DeleteObject(picture_);
}

void InstructionWindow::RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSW window{};
    window.lpfnWndProc = Proc;
    window.hInstance = instance;
    window.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window.lpszClassName = kClass;
    RegisterClassW(&window);
}

LRESULT CALLBACK InstructionWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(
            hwnd, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<InstructionWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
    case WM_CLOSE:
        // The owner gets its input back before this window goes, so that the
        // system activates the owner and not some other program.
        EnableWindow(GetWindow(hwnd, GW_OWNER), TRUE);
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        if (self) self->hwnd_ = nullptr;
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void InstructionWindow::Build() {
    const app::WindowLayout& layout = app::FrmSkypeLayout();
    // Only a close button; owned windows have no taskbar entry.
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME;
    LayoutFonts& fonts = *(fonts_ = std::make_unique<LayoutFonts>(dpi_));
    const int layoutDpi = fonts.FittingDpi(layout);
    RECT frame{0, 0, Scale(layout.clientWidth, layoutDpi), Scale(layout.clientHeight, layoutDpi)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    RECT ownerRect;
    GetWindowRect(owner_, &ownerRect);
    const int x = ownerRect.left + (ownerRect.right - ownerRect.left - width) / 2;
    const int y = ownerRect.top + (ownerRect.bottom - ownerRect.top - height) / 2;
    hwnd_ = CreateWindowExW(exStyle, kClass, platform::WideFromUtf8(layout.title).c_str(), style, x,
                            y, width, height, owner_, nullptr, instance_, this);
    if (!hwnd_) return;
    for (size_t i = 0; i < layout.controls.size(); ++i) {
        const app::ControlLayout& control = layout.controls[i];
        HWND child = CreateLayoutControl(instance_, hwnd_, control, POINT{0, 0},
                                         kFirstControlId + static_cast<int>(i), layoutDpi,
                                         fonts.For(control.font));
        if (control.kind == app::ControlKind::Picture) {
            if (!picture_)
                picture_ = static_cast<HBITMAP>(LoadImageW(
                    instance_, MAKEINTRESOURCEW(IDB_INSTRUCTION), IMAGE_BITMAP, 0, 0, 0));
            SendMessageW(child, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture_));
        }
    }
}

void InstructionWindow::Show(bool modal, const std::function<bool(MSG&)>& preTranslate) {
    if (!hwnd_) Build();
    if (!hwnd_) return;
    if (!modal) {
        ShowWindow(hwnd_, SW_SHOW);
        return;
    }
    EnableWindow(owner_, FALSE);
    ShowWindow(hwnd_, SW_SHOW);
    MSG msg;
    while (hwnd_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (preTranslate && preTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (msg.message == WM_QUIT) PostQuitMessage(static_cast<int>(msg.wParam));
    EnableWindow(owner_, TRUE);
    SetActiveWindow(owner_);
}

void InstructionWindow::Close() {
    if (hwnd_) SendMessageW(hwnd_, WM_CLOSE, 0, 0);
}

} // namespace velloquin::win32
