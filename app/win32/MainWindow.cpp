#include "MainWindow.h"

#include "InstructionWindow.h"
#include "platform/WideText.h"
#include "resource.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>

namespace velloquin::win32 {

using platform::Utf8FromWide;
using platform::WideFromUtf8;

namespace {

constexpr wchar_t kMainClass[] = L"VelloquinForm1";
constexpr wchar_t kPanelClass[] = L"VelloquinPanel";

COLORREF ToColorRef(app::LayoutColour colour) {
    return RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

RECT ToRect(const app::LayoutRect& at, int dpi) {
    return RECT{Scale(at.left, dpi), Scale(at.top, dpi), Scale(at.Right(), dpi),
                Scale(at.Bottom(), dpi)};
}

// Whether a control lies on an area of the decoration, by its centre.
bool Inside(const app::LayoutRect& inner, const app::LayoutRect& outer) {
    const int x = inner.left + inner.width / 2, y = inner.top + inner.height / 2;
    return x >= outer.left && x < outer.Right() && y >= outer.top && y < outer.Bottom();
}

// A vertical gradient, one line at a time.
void FillGradient(HDC dc, const RECT& area, COLORREF from, COLORREF to) {
    const int height = std::max<LONG>(1, area.bottom - area.top);
    for (int y = 0; y < height; ++y) {
        auto mix = [&](int a, int b) { return a + (b - a) * y / std::max(1, height - 1); };
        HBRUSH brush = CreateSolidBrush(RGB(mix(GetRValue(from), GetRValue(to)),
                                            mix(GetGValue(from), GetGValue(to)),
                                            mix(GetBValue(from), GetBValue(to))));
        const RECT line{area.left, area.top + y, area.right, area.top + y + 1};
        FillRect(dc, &line, brush);
        DeleteObject(brush);
    }
}

LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND parent = GetParent(hwnd);
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
        return SendMessageW(parent, message, wParam, lParam);
    case WM_ERASEBKGND: {
        // What lies behind the panel is the parent's drawing.
        HDC dc = reinterpret_cast<HDC>(wParam);
        POINT origin{0, 0};
        MapWindowPoints(hwnd, parent, &origin, 1);
        POINT old;
        SetViewportOrgEx(dc, -origin.x, -origin.y, &old);
        SendMessageW(parent, WM_PRINTCLIENT, wParam, PRF_CLIENT | PRF_ERASEBKGND);
        SetViewportOrgEx(dc, old.x, old.y, nullptr);
        return 1;
    }
    case WM_PRINTCLIENT: {
        // A panel inside a panel: its own background is its parent's.
        HDC dc = reinterpret_cast<HDC>(wParam);
        POINT origin{0, 0};
        MapWindowPoints(hwnd, parent, &origin, 1);
        POINT old;
        OffsetViewportOrgEx(dc, -origin.x, -origin.y, &old);
        SendMessageW(parent, WM_PRINTCLIENT, wParam, lParam);
        SetViewportOrgEx(dc, old.x, old.y, nullptr);
        return 0;
    }
    case WM_LBUTTONDOWN:
        if (GetWindowLongW(hwnd, GWL_STYLE) & WS_TABSTOP) SetFocus(hwnd);
        SetCapture(hwnd);
        return 0;
    case WM_LBUTTONUP: {
        if (GetCapture() != hwnd) return 0;
        ReleaseCapture();
        RECT client;
        GetClientRect(hwnd, &client);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (PtInRect(&client, at))
            SendMessageW(parent, WM_COMMAND,
                         MAKEWPARAM(GetDlgCtrlID(hwnd), static_cast<WORD>(kPanelClicked)),
                         reinterpret_cast<LPARAM>(hwnd));
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, TRUE);
        break;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        if (GetFocus() == hwnd) {
            RECT client;
            GetClientRect(hwnd, &client);
            DrawFocusRect(dc, &client);
        }
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS;
    case WM_SETFONT:
        SetPropW(hwnd, L"VelloquinFont", reinterpret_cast<HANDLE>(wParam));
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(GetPropW(hwnd, L"VelloquinFont"));
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

int Scale(int pixels, int dpi) {
    return app::ScaleToDpi(pixels, dpi);
}

app::LayoutSize CaptionNeed(const app::ControlLayout& control, HFONT font) {
    // Labels are static controls, which wrap a caption too wide for them and
    // cut what no longer fits below.
    if (control.kind != app::ControlKind::Label || !*control.caption) return {0, 0};
    const std::wstring caption = WideFromUtf8(control.caption);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{0, 0};
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return {size.cx, size.cy};
}

HFONT LayoutFonts::For(const app::LayoutFont& font) {
    const auto key = std::make_pair(font.points, font.bold);
    auto found = fonts_.find(key);
    if (found == fonts_.end()) found = fonts_.emplace(key, CreateLayoutFont(font, dpi_)).first;
    return found->second;
}

LayoutFonts::~LayoutFonts() {
    for (auto& entry : fonts_)
        DeleteObject(entry.second);
}

int LayoutFonts::FittingDpi(const app::WindowLayout& window) {
    return app::FittingDpi(window, dpi_, [this](const app::ControlLayout& control) {
        return CaptionNeed(control, For(control.font));
    });
}

HFONT CreateLayoutFont(const app::LayoutFont& font, int dpi) {
    const int height = -static_cast<int>(font.points * dpi / 72.0 + 0.5);
    return CreateFontW(height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, WideFromUtf8(app::kFontFace).c_str());
}

void RegisterPanelClass(HINSTANCE instance) {
    WNDCLASSW panel{};
    panel.lpfnWndProc = PanelProc;
    panel.hInstance = instance;
    panel.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    panel.lpszClassName = kPanelClass;
    RegisterClassW(&panel);
}

HWND CreateLayoutControl(HINSTANCE instance, HWND parent, const app::ControlLayout& control,
                         POINT parentOrigin, int id, int dpi, HFONT font) {
    using K = app::ControlKind;
    const wchar_t* windowClass = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    switch (control.kind) {
    case K::Label:
        style |= SS_LEFT | SS_NOPREFIX | SS_NOTIFY;
        break;
    case K::TextBox:
        windowClass = L"EDIT";
        style |= ES_AUTOHSCROLL;
        exStyle |= WS_EX_CLIENTEDGE;
        break;
    case K::Button:
        windowClass = L"BUTTON";
        style |= BS_PUSHBUTTON;
        break;
    case K::GroupBox:
        windowClass = L"BUTTON";
        style |= BS_GROUPBOX;
        break;
    case K::Panel:
        windowClass = kPanelClass;
        exStyle |= WS_EX_CONTROLPARENT;
        break;
    case K::OptionButton:
        windowClass = L"BUTTON";
        // Checked by the window itself, one per group.
        style |= BS_RADIOBUTTON;
        break;
    case K::Picture:
        style |= SS_BITMAP | SS_REALSIZECONTROL;
        break;
    }
    if (control.tabIndex >= 0) style |= WS_TABSTOP;
    if (!control.enabled) style |= WS_DISABLED;
    const RECT at = ToRect(control.at, dpi);
    const std::wstring caption =
        control.kind == K::Picture ? std::wstring() : WideFromUtf8(control.caption);
    HWND hwnd =
        CreateWindowExW(exStyle, windowClass, caption.c_str(), style, at.left - parentOrigin.x,
                        at.top - parentOrigin.y, at.right - at.left, at.bottom - at.top, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (hwnd) {
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        // The control's name, for tests and accessibility tools.
        SetPropW(hwnd, L"VelloquinName", reinterpret_cast<HANDLE>(const_cast<char*>(control.name)));
        if (control.kind == K::OptionButton && control.selected)
            SendMessageW(hwnd, BM_SETCHECK, BST_CHECKED, 0);
    }
    return hwnd;
}

MainWindow::MainWindow(HINSTANCE instance, int dpi)
    : instance_(instance), dpi_(dpi), layout_(app::Form1Layout()) {}

MainWindow::~MainWindow() {
    if (faceBrush_) DeleteObject(faceBrush_);
    if (frameBrush_) DeleteObject(frameBrush_);
}

bool MainWindow::Create(int showCommand) {
    if (dpi_ <= 0) {
        HDC screen = GetDC(nullptr);
        dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    fonts_ = std::make_unique<LayoutFonts>(dpi_);
    layoutDpi_ = fonts_->FittingDpi(layout_);

    programIcon_ = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_PROGRAM),
                                                 IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                 GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    smallProgramIcon_ = static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    const app::Decoration& decoration = app::Form1Decoration();
    stepsIcon_ = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_STEPS), IMAGE_ICON,
                                               Scale(decoration.stepsIcon.width, layoutDpi_),
                                               Scale(decoration.stepsIcon.height, layoutDpi_),
                                               LR_DEFAULTCOLOR));
    progressIcon_ = static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(IDI_PROGRESS), IMAGE_ICON,
                   Scale(decoration.progressIcon.width, layoutDpi_),
                   Scale(decoration.progressIcon.height, layoutDpi_), LR_DEFAULTCOLOR));
    linkCursor_ = static_cast<HCURSOR>(
        LoadImageW(instance_, MAKEINTRESOURCEW(IDC_HELP_LINK), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
    faceBrush_ = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    frameBrush_ = CreateSolidBrush(ToColorRef(decoration.frameFill));

    WNDCLASSEXW main{};
    main.cbSize = sizeof main;
    main.lpfnWndProc = Proc;
    main.hInstance = instance_;
    main.hIcon = programIcon_;
    main.hIconSm = smallProgramIcon_;
    main.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    main.lpszClassName = kMainClass;
    RegisterClassExW(&main);
    RegisterPanelClass(instance_);
    InstructionWindow::RegisterWindowClass(instance_);

    // A fixed size: no maximize button, no sizing border.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS;
    RECT frame{0, 0, Scale(layout_.clientWidth, layoutDpi_),
               Scale(layout_.clientHeight, layoutDpi_)};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + (work.right - work.left - width) / 2;
    const int y = work.top + (work.bottom - work.top - height) / 2;

    hwnd_ = CreateWindowExW(0, kMainClass, WideFromUtf8(layout_.title).c_str(), style, x, y, width,
                            height, nullptr, nullptr, instance_, this);
    if (!hwnd_) return false;

    files_ = std::make_unique<Win32FileDialog>(hwnd_);
    saveFiles_ = std::make_unique<Win32SaveFileDialog>(hwnd_);
    folders_ = std::make_unique<Win32FolderPicker>(hwnd_);
    messages_ = std::make_unique<Win32MessageBox>(hwnd_);
    pump_ = std::make_unique<Win32WindowPump>([this](MSG& msg) { return PreTranslate(msg); });
    shell_ = std::make_unique<Win32Shell>();
    logic_ = std::make_unique<app::FormLogic>(
        app::FormLogic::Platform{*files_, *folders_, *messages_, *pump_, *shell_, ProgramFolder(),
                                 DocumentsFolder(), saveFiles_.get()},
        *this, *this);

    BuildControls();
    logic_->Form_Load();
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    SetFocus(Control("txtvCFPath"));
    return true;
}

void MainWindow::BuildControls() {
    controls_.assign(layout_.controls.size(), nullptr);
    for (size_t i = 0; i < layout_.controls.size(); ++i) {
        const app::ControlLayout& control = layout_.controls[i];
        // A panel holds its controls as children; a group box only frames
        // them, so they stay children of the window, above it.
        HWND parent = hwnd_;
        POINT origin{0, 0};
        const app::ControlLayout* container =
            control.container ? app::FindControl(layout_, control.container) : nullptr;
        if (container && container->kind == app::ControlKind::Panel) {
            parent = Control(container->name);
            origin =
                POINT{Scale(container->at.left, layoutDpi_), Scale(container->at.top, layoutDpi_)};
        }
        controls_[i] = CreateLayoutControl(instance_, parent, control, origin,
                                           kFirstMainControlId + static_cast<int>(i), layoutDpi_,
                                           fonts_->For(control.font));
        // A later control lies above an earlier one where they overlap (the
        // system would put it below); the Tab order is the window's own.
        SetWindowPos(controls_[i], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
}

HWND MainWindow::Control(const char* name) const {
    for (size_t i = 0; i < layout_.controls.size(); ++i)
        if (std::strcmp(layout_.controls[i].name, name) == 0) return controls_[i];
    return nullptr;
}

const app::ControlLayout* MainWindow::LayoutOf(HWND control) const {
    const auto found = std::find(controls_.begin(), controls_.end(), control);
    return found == controls_.end() ? nullptr : &layout_.controls[found - controls_.begin()];
}

LRESULT CALLBACK MainWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->Handle(message, wParam, lParam)
                : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd_, &paint);
        Paint(dc);
        EndPaint(hwnd_, &paint);
        return 0;
    }
    case WM_PRINTCLIENT: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        RECT client;
        GetClientRect(hwnd_, &client);
        FillRect(dc, &client, faceBrush_);
        Paint(dc);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return reinterpret_cast<LRESULT>(
            LabelBackground(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)));
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == Control(app::kLinkLabel) && linkCursor_) {
            SetCursor(linkCursor_);
            return TRUE;
        }
        break;
    case WM_COMMAND:
        if (lParam != 0) {
            const int index = LOWORD(wParam) - kFirstMainControlId;
            if (index >= 0 && index < static_cast<int>(controls_.size()))
                OnCommand(index, HIWORD(wParam));
            return 0;
        }
        break;
    case WM_CLOSE:
        if (logic_ && !logic_->QueryClose()) return 0;
        if (frmSkype_) frmSkype_->Close();
        DestroyWindow(hwnd_);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void MainWindow::Paint(HDC dc) {
    const app::Decoration& d = app::Form1Decoration();
    FillGradient(dc, ToRect(d.topBand, layoutDpi_), ToColorRef(d.topBandFrom),
                 ToColorRef(d.topBandTo));
    const RECT bottom = ToRect(d.bottomBand, layoutDpi_);
    FillGradient(dc, bottom, ToColorRef(d.bottomBandFrom), ToColorRef(d.bottomBandTo));
    HPEN line = CreatePen(PS_SOLID, 1, ToColorRef(d.bottomBandLine));
    HGDIOBJ oldPen = SelectObject(dc, line);
    MoveToEx(dc, bottom.left, bottom.top, nullptr);
    LineTo(dc, bottom.right, bottom.top);
    SelectObject(dc, oldPen);
    DeleteObject(line);

    HPEN framePen = CreatePen(PS_SOLID, 1, ToColorRef(d.frameLine));
    oldPen = SelectObject(dc, framePen);
    HGDIOBJ oldBrush = SelectObject(dc, frameBrush_);
    for (const app::LayoutRect& frame : d.frames) {
        const RECT r = ToRect(frame, layoutDpi_);
        RoundRect(dc, r.left, r.top, r.right, r.bottom, Scale(8, layoutDpi_), Scale(8, layoutDpi_));
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(framePen);

    for (auto [icon, at] :
         {std::pair{stepsIcon_, d.stepsIcon}, std::pair{progressIcon_, d.progressIcon}}) {
        const RECT r = ToRect(at, layoutDpi_);
        if (icon)
            DrawIconEx(dc, r.left, r.top, icon, r.right - r.left, r.bottom - r.top, 0, nullptr,
                       DI_NORMAL);
    }
}

HBRUSH MainWindow::LabelBackground(HWND control, HDC dc) {
    const app::ControlLayout* layout = LayoutOf(control);
    const app::Decoration& d = app::Form1Decoration();
    SetTextColor(dc, ToColorRef(layout ? layout->textColour : app::kDefaultText));
    if (layout && Inside(layout->at, d.topBand)) {
        // On the gradient, whose drawing shows through.
        SetBkMode(dc, TRANSPARENT);
        return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    }
    if (layout && (Inside(layout->at, d.frames[0]) || Inside(layout->at, d.frames[1]))) {
        SetBkColor(dc, ToColorRef(d.frameFill));
        return frameBrush_;
    }
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return faceBrush_;
}

void MainWindow::OnCommand(int index, int code) {
    const app::ControlLayout& control = layout_.controls[static_cast<size_t>(index)];
    if (control.kind == app::ControlKind::OptionButton) {
        if (code == BN_CLICKED) Select(control);
        return;
    }
    // Each kind of control reports its click in its own way.
    const int click = control.kind == app::ControlKind::Panel   ? kPanelClicked
                      : control.kind == app::ControlKind::Label ? STN_CLICKED
                                                                : BN_CLICKED;
    if (code == click) logic_->Click(control.action);
}

void MainWindow::Select(const app::ControlLayout& option) {
    for (size_t i = 0; i < layout_.controls.size(); ++i) {
        const app::ControlLayout& other = layout_.controls[i];
        if (other.kind == app::ControlKind::OptionButton && other.optionGroup == option.optionGroup)
            SendMessageW(controls_[i], BM_SETCHECK, &other == &option ? BST_CHECKED : BST_UNCHECKED,
                         0);
    }
}

void MainWindow::ShowInstructions(bool modal) {
    if (!frmSkype_) frmSkype_ = std::make_unique<InstructionWindow>(instance_, hwnd_, dpi_);
    frmSkype_->Show(modal, [this](MSG& msg) { return PreTranslate(msg); });
}

void MainWindow::CloseWindow() {
    SendMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void MainWindow::SetControlEnabled(const app::ControlLayout& control, bool enabled) {
    EnableWindow(Control(control.name), enabled);
}

bool MainWindow::PreTranslate(MSG& msg) {
    if (!hwnd_ || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB) {
        // The layout's focus order, skipping what is disabled.
        const auto order = app::FocusOrder(layout_);
        std::vector<HWND> stops;
        for (const app::ControlLayout* control : order) {
            HWND h = Control(control->name);
            if (h && IsWindowEnabled(h)) stops.push_back(h);
        }
        if (stops.empty()) return true;
        const bool back = GetKeyState(VK_SHIFT) < 0;
        const auto at = std::find(stops.begin(), stops.end(), GetFocus());
        size_t next = 0;
        if (at != stops.end()) {
            const size_t here = static_cast<size_t>(at - stops.begin());
            next = back ? (here + stops.size() - 1) % stops.size() : (here + 1) % stops.size();
        }
        SetFocus(stops[next]);
        return true;
    }
    if (msg.message == WM_KEYDOWN && (msg.wParam == VK_LEFT || msg.wParam == VK_RIGHT ||
                                      msg.wParam == VK_UP || msg.wParam == VK_DOWN)) {
        // Arrows move the selection within an option group.
        const app::ControlLayout* focused = LayoutOf(GetFocus());
        if (!focused || focused->kind != app::ControlKind::OptionButton) return false;
        std::vector<const app::ControlLayout*> group;
        for (const app::ControlLayout& c : layout_.controls)
            if (c.kind == app::ControlKind::OptionButton && c.optionGroup == focused->optionGroup)
                group.push_back(&c);
        const auto at = std::find(group.begin(), group.end(), focused) - group.begin();
        const bool forward = msg.wParam == VK_RIGHT || msg.wParam == VK_DOWN;
        const auto next =
            group[static_cast<size_t>((at + (forward ? 1 : static_cast<long>(group.size()) - 1)) %
                                      static_cast<long>(group.size()))];
        if (!IsWindowEnabled(Control(next->name))) return true;
        SetFocus(Control(next->name));
        Select(*next);
        return true;
    }
    if (msg.message == WM_SYSCHAR) {
        // Alt and a button's access key presses it.
        const auto key = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(msg.wParam)));
        for (size_t i = 0; i < layout_.controls.size(); ++i) {
            const app::ControlLayout& c = layout_.controls[i];
            const char* amp = std::strchr(c.caption, '&');
            if (c.kind != app::ControlKind::Button || !amp || !amp[1]) continue;
            if (static_cast<wchar_t>(std::toupper(static_cast<unsigned char>(amp[1]))) == key &&
                IsWindowEnabled(controls_[i])) {
                SendMessageW(controls_[i], BM_CLICK, 0, 0);
                return true;
            }
        }
    }
    return false;
}

void MainWindow::SetPathText(const std::string& text) {
    SetWindowTextW(Control("txtvCFPath"), WideFromUtf8(text).c_str());
}

std::string MainWindow::PathText() {
    HWND box = Control("txtvCFPath");
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
    return Utf8FromWide(text);
}

bool MainWindow::OptXLS() {
    return SendMessageW(Control("OptXLS"), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
bool MainWindow::OptPST() {
    return SendMessageW(Control("OptPST"), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
bool MainWindow::OptNormal() {
    return SendMessageW(Control("OptNormal"), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
bool MainWindow::OptAdvance() {
    return SendMessageW(Control("OptAdvance"), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::SetProgressCaption(const std::string& caption) {
    HWND label = Control("LblProgessCurrent");
    SetWindowTextW(label, WideFromUtf8(caption).c_str());
}

void MainWindow::SetCmdSplitEnabled(bool enabled) {
    EnableWindow(Control("CmdSplit"), enabled);
}

void MainWindow::SetRunUnderWay(bool /*underWay*/) {
    // FormLogic locks the controls through SetControlEnabled.
}

} // namespace velloquin::win32
