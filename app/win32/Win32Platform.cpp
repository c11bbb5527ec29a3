#include "Win32Platform.h"

#include "platform/WideText.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

namespace velloquin::win32 {

using platform::Utf8FromWide;
using platform::WideFromUtf8;

std::wstring DialogFilter(const std::string& filter) {
    std::wstring wide = WideFromUtf8(filter);
    for (wchar_t& c : wide)
        if (c == L'|') c = L'\0';
    // Two NULs end the list (the string's own terminator is the second).
    wide.push_back(L'\0');
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

void Win32MessageBox::Show(const std::string& text, const std::string& title) {
    MessageBoxW(owner_, WideFromUtf8(text).c_str(), WideFromUtf8(title).c_str(),
                MB_OK | MB_ICONINFORMATION);
}

bool Win32MessageBox::AskYesNo(const std::string& text, const std::string& title) {
    return MessageBoxW(owner_, WideFromUtf8(text).c_str(), WideFromUtf8(title).c_str(),
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
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

void Win32Shell::ShellOpen(const std::string& target) {
    if (target.empty()) return;
    // The outcome is not reported: without a browser there is nothing to do.
    ShellExecuteW(nullptr, L"open", WideFromUtf8(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
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
