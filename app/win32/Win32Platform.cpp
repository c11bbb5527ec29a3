#include "Win32Platform.h"

#include "app/FormLogic.h"
#include "platform/WideText.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace velloquin::win32 {

using platform::Utf8FromWide;
using platform::WideFromUtf8;

std::wstring DialogFilter(const std::string& filter) {
    std::wstring wide;
    for (const app::FileFilter& entry : app::ParseFileFilter(filter)) {
        std::string patterns;
        for (const std::string& pattern : entry.patterns)
            patterns += (patterns.empty() ? "" : ";") + pattern;
        wide += WideFromUtf8(entry.description) + L'\0' + WideFromUtf8(patterns) + L'\0';
    }
    // Two NULs end the list (the string's own terminator is the second).
    return wide;
}

std::string Win32FileDialog::ShowOpen(const std::string& filter, int flags, int maxFileSize) {
    const std::wstring filterText = DialogFilter(filter);
    const std::wstring start = WideFromUtf8(start_);
    std::vector<wchar_t> name(static_cast<size_t>(maxFileSize > 0 ? maxFileSize : MAX_PATH) + 1,
                              L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner_;
    dialog.lpstrFilter = filterText.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrInitialDir = start.empty() ? nullptr : start.c_str();
    dialog.Flags = static_cast<DWORD>(flags);
    if (!GetOpenFileNameW(&dialog)) return {};
    return Utf8FromWide(name.data());
}

std::string Win32SaveFileDialog::ShowSave(const std::string& title,
                                          const std::string& suggestedName,
                                          const std::string& filter) {
    const std::wstring filterText = DialogFilter(filter);
    const std::wstring titleText = WideFromUtf8(title);
    std::vector<wchar_t> name(32768, L'\0');
    const std::wstring suggested = WideFromUtf8(suggestedName);
    std::copy(suggested.begin(), suggested.begin() + std::min(suggested.size(), name.size() - 1),
              name.begin());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    HWND active = GetActiveWindow();
    dialog.hwndOwner = active ? active : owner_;
    dialog.lpstrFilter = filterText.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrTitle = titleText.c_str();
    dialog.lpstrDefExt = L"txt";
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&dialog)) return {};
    return Utf8FromWide(name.data());
}

namespace {

// Releases a COM interface when it goes.
template <class T> struct ComPtr {
    T* p = nullptr;
    ~ComPtr() {
        if (p) p->Release();
    }
    T* operator->() const { return p; }
};

} // namespace

std::string Win32FolderPicker::BrowseForFolder(const std::string& prompt) {
    // Every failure inside the picker is a cancel to the caller.
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&dialog.p))))
        return {};
    DWORD options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->SetTitle(WideFromUtf8(prompt).c_str());
    // SetFolder, unlike SetDefaultFolder, wins over the folder the system
    // remembers from the last time.
    ComPtr<IShellItem> start;
    if (!start_.empty() && SUCCEEDED(SHCreateItemFromParsingName(WideFromUtf8(start_).c_str(),
                                                                 nullptr, IID_PPV_ARGS(&start.p))))
        dialog->SetFolder(start.p);
    if (FAILED(dialog->Show(owner_))) return {};
    ComPtr<IShellItem> item;
    if (FAILED(dialog->GetResult(&item.p))) return {};
    wchar_t* path = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return {};
    std::string folder = Utf8FromWide(path);
    CoTaskMemFree(path);
    return folder;
}

HWND Win32MessageBox::Owner() const {
    HWND active = GetActiveWindow();
    return active ? active : owner_;
}

void Win32MessageBox::Show(const std::string& text, const std::string& title) {
    MessageBoxW(Owner(), WideFromUtf8(text).c_str(), WideFromUtf8(title).c_str(),
                MB_OK | MB_ICONINFORMATION);
}

bool Win32MessageBox::AskYesNo(const std::string& text, const std::string& title) {
    return MessageBoxW(Owner(), WideFromUtf8(text).c_str(), WideFromUtf8(title).c_str(),
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

namespace {

struct NotesDialogState {
    const app::NotesBox* box = nullptr;
    HFONT font = nullptr;
};

// The edit control breaks lines at CR LF only.
std::wstring WithCrLf(const std::string& text) {
    std::wstring wide = WideFromUtf8(text), out;
    out.reserve(wide.size() + wide.size() / 16);
    for (size_t i = 0; i < wide.size(); ++i) {
        if (wide[i] == L'\n' && (i == 0 || wide[i - 1] != L'\r')) out.push_back(L'\r');
        out.push_back(wide[i]);
    }
    return out;
}

void LayOutNotesDialog(HWND dialog, const NotesDialogState& state) {
    const app::NotesBox& box = *state.box;
    SetWindowTextW(dialog, WideFromUtf8(box.title).c_str());
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    auto scale = [dpi](int pixels) { return MulDiv(pixels, dpi, 96); };

    // The whole dialog, frame included, within the work area of its screen.
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int workWidth = work.right - work.left, workHeight = work.bottom - work.top;
    const app::DialogSize size =
        app::NotesDialogSize(MulDiv(workWidth, 96, dpi), MulDiv(workHeight, 96, dpi));
    const int width = std::min(scale(size.width), workWidth);
    const int height = std::min(scale(size.height), workHeight);
    SetWindowPos(dialog, nullptr, work.left + (workWidth - width) / 2,
                 work.top + (workHeight - height) / 2, width, height, SWP_NOZORDER);

    RECT client;
    GetClientRect(dialog, &client);
    const int margin = scale(10), buttonWidth = scale(96), buttonHeight = scale(26);
    const int questionHeight = box.question.empty() ? 0 : scale(36);
    const int buttonsTop = client.bottom - margin - buttonHeight;
    const int textBottom = buttonsTop - margin - questionHeight;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    auto make = [&](const wchar_t* kind, const std::wstring& text, DWORD style, int id, int x,
                    int y, int w, int h, DWORD exStyle = 0) {
        HWND control =
            CreateWindowExW(exStyle, kind, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y,
                            std::max(1, w), std::max(1, h), dialog,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
        return control;
    };
    HWND text =
        make(L"EDIT", L"", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP,
             Win32MessageBox::kNotesText, margin, margin, client.right - 2 * margin,
             textBottom - margin, WS_EX_CLIENTEDGE);
    // A multi-line edit control holds 32K characters unless told otherwise.
    SendMessageW(text, EM_SETLIMITTEXT, 0, 0);
    SetWindowTextW(text, WithCrLf(box.text).c_str());
    if (!box.question.empty())
        make(L"STATIC", WideFromUtf8(box.question), SS_LEFT, Win32MessageBox::kNotesQuestion,
             margin, textBottom + margin / 2, client.right - 2 * margin, questionHeight);
    if (box.saveNotes)
        make(L"BUTTON", L"Save Notes...", BS_PUSHBUTTON | WS_TABSTOP, Win32MessageBox::kSaveNotes,
             margin, buttonsTop, buttonWidth + scale(16), buttonHeight);
    int right = client.right - margin;
    HWND defaultButton = nullptr;
    const auto answers =
        box.question.empty()
            ? std::vector<std::pair<int, const wchar_t*>>{{IDOK, L"OK"}}
            : std::vector<std::pair<int, const wchar_t*>>{{IDNO, L"&No"}, {IDYES, L"&Yes"}};
    for (const auto& [id, caption] : answers) {
        right -= buttonWidth;
        defaultButton =
            make(L"BUTTON", caption,
                 (id == answers.back().first ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP, id,
                 right, buttonsTop, buttonWidth, buttonHeight);
        right -= margin;
    }
    SendMessageW(dialog, DM_SETDEFID, answers.back().first, 0);
    SetFocus(defaultButton);
}

INT_PTR CALLBACK NotesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<NotesDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        LayOutNotesDialog(dialog, *reinterpret_cast<NotesDialogState*>(lParam));
        return FALSE; // the focus is set
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDYES:
            EndDialog(dialog, IDYES);
            return TRUE;
        case IDOK:
            // Enter in a box with a question answers Yes, the default.
            EndDialog(dialog, state && !state->box->question.empty() ? IDYES : IDOK);
            return TRUE;
        case IDNO:
        case IDCANCEL:
            EndDialog(dialog, IDNO);
            return TRUE;
        case Win32MessageBox::kSaveNotes:
            if (state && state->box->saveNotes) state->box->saveNotes();
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

bool Win32MessageBox::ShowNotes(const app::NotesBox& box) {
    // An empty template: the dialog sizes itself to the screen and makes its
    // controls when it starts. The words after the header stay zero: no menu,
    // the dialog class, no title.
    alignas(DWORD) WORD words[16] = {};
    static_assert(sizeof(DLGTEMPLATE) + 3 * sizeof(WORD) <= sizeof words);
    DLGTEMPLATE head{};
    head.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    std::memcpy(words, &head, sizeof head);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    NotesDialogState state{&box, CreateFontIndirectW(&metrics.lfMessageFont)};
    const INT_PTR answer = DialogBoxIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(words), Owner(),
        NotesDialogProc, reinterpret_cast<LPARAM>(&state));
    if (state.font) DeleteObject(state.font);
    return answer == IDYES;
}

void Win32WindowPump::LetTheWindowWork() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // For the main loop, which ends the program.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (preTranslate_ && preTranslate_(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool Win32Shell::ShellOpen(const std::string& target) {
    if (target.empty()) return true;
    // Above 32 is success; below, no program took it (no browser, no
    // association for the file's type, a file not found).
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
        nullptr, L"open", WideFromUtf8(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

std::string ProgramFolder() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            std::wstring folder(path.data(), length);
            const size_t cut = folder.find_last_of(L"\\/");
            return Utf8FromWide(cut == std::wstring::npos ? L"." : folder.substr(0, cut));
        }
        path.resize(path.size() * 2);
    }
}

std::string DocumentsFolder() {
    wchar_t* path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &path)) && path)
        folder = Utf8FromWide(path);
    CoTaskMemFree(path);
    return folder;
}

} // namespace velloquin::win32
