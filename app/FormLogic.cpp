#include "FormLogic.h"

#include "core/Text.h"
#include "platform/Files.h"
#include "vcard/CardStart.h"
#include "vcard/Rules.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

namespace velloquin::app {

std::string GetFileName(const std::string& path) {
    size_t cut = path.find_last_of(PathSeparator() == '\\' ? "\\/" : "/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool HasVcfExtension(const std::string& path) {
    std::string name = GetFileName(path);
    if (name.size() > 4) name.erase(0, name.size() - 4);
    return LowerAscii(name) == ".vcf";
}

std::vector<std::string> ManualPlaces(const std::string& programFolder) {
    const std::filesystem::path folder = PathFromUtf8(programFolder.empty() ? "." : programFolder);
    auto text = [](const std::filesystem::path& path) {
        const std::u8string utf8 = path.lexically_normal().u8string();
        return std::string(utf8.begin(), utf8.end());
    };
    return {text(folder / kManualName), text(folder / ".." / "share" / "velloquin" / kManualName)};
}

std::string CloseDuringRunQuestion(int64_t contactsKept, bool readingAhead) {
    if (readingAhead)
        return "A conversion is running. Stop it and close? The backup is still being read "
               "ahead; no output has been made yet.";
    return "A conversion is running. Stop it and close? The output keeps the " +
           std::to_string(contactsKept) + (contactsKept == 1 ? " contact" : " contacts") +
           " saved so far.";
}

std::string CloseDuringCheckQuestion(int64_t contactsSaved) {
    return "A conversion is ending: its output is complete and keeps the " +
           std::to_string(contactsSaved) + (contactsSaved == 1 ? " contact" : " contacts") +
           " saved; the backup is being read once more to see whether Standard Mode would read "
           "more of it. Stop that and close?";
}

std::string FinishedRunText(const std::string& outputPath, int64_t contactsSaved) {
    return "The conversion is complete. " + outputPath + " holds " + std::to_string(contactsSaved) +
           (contactsSaved == 1 ? " contact." : " contacts.");
}

std::string StoppedRunText(const std::string& outputPath, int64_t contactsKept) {
    if (outputPath.empty()) return "The conversion was stopped before any output was made.";
    return "The conversion was stopped. " + outputPath + " holds " + std::to_string(contactsKept) +
           (contactsKept == 1 ? " contact." : " contacts.");
}

DialogSize NotesDialogSize(int screenWidth, int screenHeight) {
    constexpr DialogSize kOwn{640, 440};
    return {std::max(1, std::min(kOwn.width, screenWidth * 9 / 10)),
            std::max(1, std::min(kOwn.height, screenHeight * 9 / 10))};
}

namespace {

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(PathFromUtf8(path), ec);
}

std::string ParentFolder(const std::string& path) {
    const std::u8string utf8 = PathFromUtf8(path).parent_path().u8string();
    return std::string(utf8.begin(), utf8.end());
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

BackupLook LookForBeginVCard(const std::string& path, WindowPump* pump) {
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(platform::OpenFile(path, "rb"));
    if (!file) {
        int err = errno;
        return {BackupLook::CannotOpen, err ? std::strerror(err) : "the file could not be opened"};
    }
    if (pump) pump->LetTheWindowWork();

    // The scanner reads the bytes as the reader does (byte-order marks,
    // UTF-16, CR LF) and keeps only what can still make a begin line.
    CardStartScanner scanner;
    std::vector<char> buffer(size_t{64} * 1024);
    for (;;) {
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get());
        if (scanner.Feed(std::string_view(buffer.data(), got)) > 0) return {BackupLook::Found, {}};
        if (got < buffer.size()) break;
    }
    if (std::ferror(file.get())) {
        int err = errno;
        return {BackupLook::ReadFailed, err ? std::strerror(err) : "the file could not be read"};
    }
    // The last line needs no line end.
    return {scanner.Finish() > 0 ? BackupLook::Found : BackupLook::NotFound, {}};
}

std::vector<FileFilter> ParseFileFilter(const std::string& filter) {
    std::vector<std::string> parts;
    for (size_t from = 0;;) {
        const size_t bar = filter.find('|', from);
        parts.push_back(filter.substr(from, bar == std::string::npos ? bar : bar - from));
        if (bar == std::string::npos) break;
        from = bar + 1;
    }
    std::vector<FileFilter> filters;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        FileFilter entry{parts[i], {}};
        const std::string& patterns = parts[i + 1];
        for (size_t from = 0; from <= patterns.size();) {
            size_t semicolon = patterns.find(';', from);
            if (semicolon == std::string::npos) semicolon = patterns.size();
            std::string pattern = Trim(patterns.substr(from, semicolon - from));
            if (!pattern.empty()) entry.patterns.push_back(std::move(pattern));
            from = semicolon + 1;
        }
        if (!entry.patterns.empty()) filters.push_back(std::move(entry));
    }
    return filters;
}

void FormLogic::RunLock::SetRunUnderWay(bool underWay) {
    // The run lets the window work while it reads; these would change what it
    // reads or writes, or end the program under it.
    for (const ControlLayout& control : Form1Layout().controls)
        if (control.lockedDuringRun) form_.SetControlEnabled(control, !underWay);
    inner_.SetRunUnderWay(underWay);
}

FormLogic::FormLogic(const Platform& platform, FormControls& form, RunControls& runControls)
    : platform_(platform), form_(form), runLock_(runControls, form),
      gate_(platform.messages, closePending_),
      run_(platform.folders, gate_, platform.pump, runLock_) {
    run_.notesSaveDialog = platform.saveFiles;
}

void FormLogic::Form_Load() {
    run_.inputMode = InputMode::File;
}

std::string FormLogic::BackupDialogFolder() const {
    if (IsFolder(lastBackupFolder_)) return lastBackupFolder_;
    return IsFolder(platform_.documentsFolder) ? platform_.documentsFolder : std::string();
}

std::string FormLogic::SaveDialogFolder() const {
    // The backup the next run reads, as the run itself picks it.
    const std::string backup =
        run_.inputMode != InputMode::Folder ? ParentFolder(Trim(run_.chosenFileName))
        : run_.srcFolder.empty()            ? std::string()
                                            : ParentFolder(WithFinalSeparator(run_.srcFolder));
    return IsFolder(backup) ? backup : BackupDialogFolder();
}

void FormLogic::CmdBrowse_Click() {
    // The controls are disabled during a run; this keeps a queued click out too.
    if (run_.RunUnderWay()) return;
    platform_.files.StartOpenIn(BackupDialogFolder());
    std::string name = platform_.files.ShowOpen(kBrowseFilter, kBrowseFlags, kBrowseMaxFileSize);
    // A cancelled dialog leaves the earlier choice, and what the next run
    // would read, as they were.
    if (name.empty()) return;
    // Even a file turned down below was looked for there.
    lastBackupFolder_ = ParentFolder(Trim(name));

    form_.SetPathText(name);
    std::string shown = form_.PathText();
    bool accepted = HasVcfExtension(shown);
    if (!accepted) {
        std::string trimmed = Trim(shown);
        BackupLook look = LookForBeginVCard(trimmed, &platform_.pump);
        switch (look.result) {
        case BackupLook::Found:
            accepted = true;
            break;
        case BackupLook::NotFound:
            RejectFile(kNotValidBackup);
            return;
        case BackupLook::CannotOpen:
            RejectFile("The selected file \"" + trimmed + "\" cannot be opened: " + look.reason +
                       ".");
            return;
        case BackupLook::ReadFailed:
            RejectFile("The selected file \"" + trimmed + "\" cannot be read: " + look.reason +
                       ".");
            return;
        }
    }
    // The run converts what the path box shows: this file, even after an
    // earlier folder choice.
    run_.chosenFileName = shown;
    run_.inputMode = InputMode::File;
    form_.SetCmdSplitEnabled(true);
}

void FormLogic::RejectFile(const std::string& message) {
    // Convert stays off until a good choice: it would otherwise run an
    // earlier choice while the path box shows the rejected file.
    form_.SetCmdSplitEnabled(false);
    platform_.messages.Show(message, kAppTitle);
}

void FormLogic::Command1_Click() {
    if (run_.RunUnderWay()) return;
    platform_.folders.StartBrowseIn(BackupDialogFolder());
    std::string folder = platform_.folders.BrowseForFolder(kSourceFolderPrompt);
    if (folder.empty()) return; // cancelled: the earlier choice stands
    lastBackupFolder_ = folder;
    run_.srcFolder = WithFinalSeparator(folder);
    platform_.pump.LetTheWindowWork();
    form_.SetPathText(run_.srcFolder);
    run_.inputMode = InputMode::Folder;
    form_.SetCmdSplitEnabled(true);
}

void FormLogic::CmdSplit_Click() {
    if (run_.RunUnderWay()) return;
    platform_.folders.StartBrowseIn(SaveDialogFolder());
    run_.CmdSplit_Click();
    // The window closes now: its last word is what the stopped run left, as
    // the label and the notes go with it.
    if (!closePending_) return;
    const RunSummary& summary = run_.LastSummary();
    const int64_t kept = summary.contactsRead - summary.contactsLost;
    // Titled as the completion message, which it stands in for.
    if (summary.stopped)
        platform_.messages.Show(StoppedRunText(run_.OutputPath(), kept), "Velloquin");
    // Closed while the backup was read again for Standard Mode: nothing was
    // stopped, and the output is whole.
    else if (summary.started && !summary.setupFailed && !run_.OutputPath().empty())
        platform_.messages.Show(FinishedRunText(run_.OutputPath(), kept), "Velloquin");
}

void FormLogic::Picture3_Click() {
    if (platform_.shell.ShellOpen(kProductPage)) return;
    platform_.messages.Show(
        "The web page could not be opened, as no web browser is set up on this computer. Its "
        "address is:\r\n" +
            std::string(kProductPage),
        kAppTitle);
}

void FormLogic::CmdHelp_Click() {
    const std::vector<std::string> places = ManualPlaces(platform_.programFolder);
    for (const std::string& place : places) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(PathFromUtf8(place), ec)) {
            if (!platform_.shell.ShellOpen(place))
                platform_.messages.Show(
                    "The Help Manual could not be opened, as no program is set up to open it. "
                    "Please open it in a web browser; it is the file:\r\n" +
                        place,
                    kAppTitle);
            return;
        }
    }
    std::string text =
        "The Help Manual could not be found. It comes with the program as the file " +
        std::string(kManualName) + ", which was looked for as:";
    for (const std::string& place : places)
        text += "\r\n" + place;
    platform_.messages.Show(text + "\r\n\r\nPlease install the program again.", kAppTitle);
}

void FormLogic::Click(ControlAction action) {
    switch (action) {
    case ControlAction::None:
        break;
    case ControlAction::Browse:
        CmdBrowse_Click();
        break;
    case ControlAction::BrowseFolder:
        Command1_Click();
        break;
    case ControlAction::Convert:
        CmdSplit_Click();
        // The window was closed while the run went on: now that its output
        // is closed, the program may end.
        if (closePending_) form_.CloseWindow();
        break;
    case ControlAction::WebLink:
        Picture3_Click();
        break;
    case ControlAction::Help:
        CmdHelp_Click();
        break;
    case ControlAction::Instructions:
        form_.ShowInstructions(InstructionsModal());
        break;
    case ControlAction::End:
        // The main window is the program's last window: closing it ends the
        // program.
        form_.CloseWindow();
        break;
    }
}

bool FormLogic::QueryClose() {
    if (!run_.RunUnderWay()) return true;
    // Asked already: the window closes as soon as the run has closed its output.
    if (closePending_) return false;
    const std::string question =
        run_.CheckingStandardMode()
            ? CloseDuringCheckQuestion(run_.ContactsKeptOnStop())
            : CloseDuringRunQuestion(run_.ContactsKeptOnStop(), run_.ReadingAhead());
    if (!platform_.messages.AskYesNo(question, kAppTitle)) return false;
    closePending_ = true;
    run_.RequestStop();
    return false;
}

} // namespace velloquin::app
