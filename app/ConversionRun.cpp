#include "ConversionRun.h"

#include "LookAhead.h"
#include "PictureFiles.h"
#include "core/Text.h"
#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/Utf8Path.h"
#include "vcard/Rules.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <system_error>

namespace velloquin::app {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSaveFolderPrompt = "Choose Folder to Save...";
constexpr const char* kCompletionTitle = "Velloquin";
constexpr const char* kExcelErrorTitle = "Excel Error";
constexpr const char* kReadAgainInStandardMode = "Read it again in Standard Mode?";
constexpr const char* kSaveNotesTitle = "Save Notes";
constexpr const char* kNotesFileName = "Velloquin notes.txt";
constexpr const char* kNotesFilter = "Text file (*.txt)|*.txt";

std::string CompletionText() {
    return std::string("If you failed to see converted contacts then, please contact us back on ") +
           kSupportAddress + ".";
}

std::string Counted(int64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

bool EndsWithVcf(const std::string& name) {
    return name.size() >= 4 && LowerAscii(std::string_view(name).substr(name.size() - 4)) == ".vcf";
}

// The backups a run reads, in the order it reads them.
std::vector<std::string> BackupsOfRun(const std::string& srcFolder,
                                      const std::string& chosenFileName, InputMode inputMode) {
    if (inputMode != InputMode::Folder) return {Trim(chosenFileName)};
    std::vector<std::string> paths = ListBackupFiles(srcFolder);
    for (std::string& name : paths)
        name = (srcFolder.empty() ? srcFolder : WithFinalSeparator(srcFolder)) + name;
    return paths;
}

} // namespace

char PathSeparator() {
    return platform::kPathSeparator;
}

std::string WithFinalSeparator(std::string folder) {
    // Windows takes "/" as a separator too.
    const bool ends = !folder.empty() && (folder.back() == PathSeparator() || folder.back() == '/');
    if (!ends) folder.push_back(PathSeparator());
    return folder;
}

std::vector<std::string> ListBackupFiles(const std::string& folder, std::string* error) {
    std::vector<std::string> names;
    std::error_code ec;
    // An empty folder is the program's current folder, as a bare pattern would list.
    fs::directory_iterator it(folder.empty() ? fs::path(".") : platform::PathFromUtf8(folder), ec);
    if (ec) {
        if (error) *error = ec.message();
        return names;
    }
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        std::error_code statusError;
        // Symbolic links count by what they point to, as the platform's
        // listing would show them.
        if (!it->is_regular_file(statusError) || platform::IsHiddenFile(it->path())) continue;
        std::string name = platform::Utf8FromPath(it->path().filename());
        if (EndsWithVcf(name)) names.push_back(std::move(name));
    }
    if (ec && error) *error = ec.message();
    return names;
}

ConversionRun::ConversionRun(FolderPicker& picker, MessageBox& messages, WindowPump& pump,
                             RunControls& controls)
    : picker_(picker), messages_(messages), pump_(pump), controls_(controls),
      throttle_(pump, controls) {}

void ConversionRun::CmdSplit_Click() {
    // The disabled button keeps a second run out; this keeps one out even when
    // a platform lets a click through while the first run lets the window work.
    if (runUnderWay_) return;
    summary_ = RunSummary{};

    saveFolder = picker_.BrowseForFolder(kSaveFolderPrompt);
    throttle_.PumpNow();
    if (saveFolder.empty()) return;

    controls_.SetCmdSplitEnabled(false);
    runUnderWay_ = true;
    stopRequested_ = false;
    controls_.SetRunUnderWay(true);
    saveFolder = WithFinalSeparator(saveFolder);
    throttle_.PumpNow();

    // A second reading in Standard Mode reads what the user chose the first
    // time, although a folder run has set the mode back to the file by then.
    const InputMode chosenInputMode = inputMode;
    previousStoreStamp_.reset();
    rereadInStandard_ = false;
    while (ConvertOnce()) {
        rereadInStandard_ = true;
        inputMode = chosenInputMode;
    }
    rereadInStandard_ = false;

    runUnderWay_ = false;
    controls_.SetRunUnderWay(false);
}

int64_t ConversionRun::ContactsSavedSoFar() const {
    return reading_ ? cardCounter - 1 - outputLost_ : 0;
}

int64_t ConversionRun::ContactsKeptOnStop() const {
    // The output was closed before the check began: a stop takes nothing from it.
    if (checking_) return summary_.contactsRead - summary_.contactsLost;
    if (!reading_) return 0;
    return ContactsSavedSoFar() + (openCard_ == cardCounter ? 1 : 0);
}

std::string ConversionRun::OutputPath() const {
    if (!outputMade_) return {};
    if (usePst_) return pst.pstPath;
    return useXls_ ? saveFolder + excel::kExcelSheetName : std::string();
}

std::string ConversionRun::SavedCaption(const char* what) const {
    return "(" + std::to_string(cardCounter - 1 - outputLost_) + ") " + what + " Saved";
}

bool ConversionRun::ChooseCodePage() {
    readingAhead_ = true;
    auto caption = [](int64_t cards) {
        return "Reading the backup... " + Counted(cards, "contact", "contacts");
    };
    throttle_.SetCaption(caption(0));
    throttle_.PumpNow();
    PrereadHooks hooks;
    hooks.mode = RunReadMode();
    hooks.letTheWindowWork = [this] { throttle_.LetTheWindowWork(); };
    hooks.stopRequested = [this] { return stopRequested_; };
    hooks.cardsSeen = [this, caption](int64_t cards) { throttle_.SetCaption(caption(cards)); };
    const excel::CodePageVerdict verdict =
        ChooseWorkbookCodePage(BackupsOfRun(srcFolder, chosenFileName, inputMode), hooks);
    throttle_.Flush();
    readingAhead_ = false;
    if (stopRequested_) return false;
    sheet.SetCodePage(verdict.codePage);
    return true;
}

bool ConversionRun::ConvertOnce() {
    notes_.Clear();
    outputLost_ = 0;
    outputMade_ = false;
    summary_ = RunSummary{};
    summary_.started = true;

    // The output is chosen once: the close must finish what the set-up began.
    useXls_ = controls_.OptXLS();
    usePst_ = controls_.OptPST();

    bool setupFailed = false;
    if (useXls_) {
        const std::string ExcelSheetPath = saveFolder + excel::kExcelSheetName;
        // A workbook has one code page for all its texts: the backups are read
        // ahead to find the one that holds them. A stop meanwhile leaves no
        // output behind, as none was made yet.
        if (sheet.UsesCodePage() && !ChooseCodePage()) {
            summary_.stopped = true;
            notes_.Add(RunNote{"", 0,
                               "The run was stopped while the backup was read ahead; no output "
                               "was made.",
                               false});
            if (inputMode == InputMode::Folder) inputMode = InputMode::File;
            return false;
        }
        std::string errorMessage;
        sheet.KeepEveryField(RunReadMode() == ReadMode::Standard);
        if (!sheet.CreateExcelSheet(ExcelSheetPath, errorMessage)) {
            if (errorMessage.empty())
                errorMessage = "The workbook " + ExcelSheetPath + " could not be created.";
            messages_.Show(errorMessage, kExcelErrorTitle);
            setupFailed = true;
        }
    }
    if (usePst_ && !setupFailed) {
        std::string errorDetail;
        if (!outlook::CreatePstStore(pst, saveFolder, StoreClock(), errorDetail, rdoFactory)) {
            std::string text = outlook::OutlookErrorText();
            if (!errorDetail.empty()) text += "\r\n\r\nReason: " + errorDetail;
            messages_.Show(text, outlook::kOutlookErrorTitle);
            setupFailed = true;
            if (useXls_) sheet.CloseExcelSheet(notes_);
        }
    }
    if (setupFailed) {
        // Nothing is read; the button stays disabled until a new choice.
        summary_.setupFailed = true;
        return false;
    }

    outputMade_ = true;
    throttle_.PumpNow();
    cardCounter = 1;
    openCard_ = 0;
    reading_ = true;
    const ReadMode mode = RunReadMode();
    countFacts_ = checkStandardMode && mode == ReadMode::Normal;
    factsRead_.clear();

    auto readOneFile = [this, mode](const std::string& path) {
        if (countFacts_) factsRead_.push_back({path, {}});
        try {
            ReadvCard(path, mode, cardCounter, record, *this);
        } catch (const std::exception& e) {
            notes_.Add(RunNote{path, 0, std::string("Reading stopped: ") + e.what(), false});
        }
        // A vCard cut off by the end of its file is not handed off.
        openCard_ = 0;
        throttle_.Flush();
    };

    const bool folderRun = inputMode == InputMode::Folder;
    if (folderRun) {
        std::string listError;
        const std::vector<std::string> names = ListBackupFiles(srcFolder, &listError);
        if (!listError.empty())
            notes_.Add(
                RunNote{srcFolder, 0, "The folder could not be listed: " + listError, false});
        // An empty source folder means the current folder, so no separator then.
        const std::string prefix = srcFolder.empty() ? srcFolder : WithFinalSeparator(srcFolder);
        for (const std::string& name : names) {
            throttle_.PumpNow();
            if (stopRequested_) break;
            readOneFile(prefix + name);
            throttle_.SetCaption(SavedCaption("Contacts"));
            throttle_.Flush();
        }
        inputMode = InputMode::File;
    } else if (!stopRequested_) {
        readOneFile(Trim(chosenFileName));
    }

    if (stopRequested_) {
        summary_.stopped = true;
        const int32_t converted = cardCounter - 1;
        notes_.Add(RunNote{"", 0,
                           "The run was stopped before its end; " + std::to_string(converted) +
                               (converted == 1 ? " contact had" : " contacts had") +
                               " been converted until then.",
                           false});
    }

    // A closing step that fails is noted and the next one still runs.
    auto closeStep = [this](const char* what, auto&& step) {
        try {
            step();
        } catch (const std::exception& e) {
            notes_.Add(RunNote{"", 0, std::string(what) + " failed: " + e.what(), false});
        }
    };
    throttle_.PumpNow();
    const int64_t lostBeforeClose = notes_.LostContacts();
    if (usePst_)
        closeStep("Closing the Outlook store", [this] { outlook::ClosePstStore(pst, &notes_); });
    if (useXls_) closeStep("Closing the workbook", [this] { sheet.CloseExcelSheet(notes_); });
    // Contacts that a failing close took from the output.
    outputLost_ += notes_.LostContacts() - lostBeforeClose;
    // The label counts what the output holds, not what was read.
    if (outputLost_ > 0) throttle_.SetCaption(SavedCaption(folderRun ? "Contacts" : "vCards"));
    throttle_.Flush();
    throttle_.PumpNow();

    summary_.contactsRead = cardCounter - 1;
    summary_.contactsLost = outputLost_;
    reading_ = false;

    // A stop comes from a window that is closing: it shows nothing more, and
    // the notes stay in LastNotes for whoever asked for the stop.
    if (stopRequested_) return false;
    // Normal Mode leaves unread what a Skype backup does not hold: lines
    // that end in LF alone, folded or encoded lines, grouped properties,
    // numbers without a kind. The user may not even know there is another
    // mode, so the notes offer it when it would read more.
    bool offer = false;
    if (countFacts_) {
        const std::optional<StandardGain> gain = CheckStandardMode();
        // Closed meanwhile: the output is whole, the window says so.
        if (!gain) return false;
        summary_.standardGain = *gain;
        offer = gain->values > 0;
    } else {
        // Not looked at closely: vCards that Normal Mode could not even cut
        // out are reason enough.
        offer = mode == ReadMode::Normal && notes_.AdvanceModeWouldRead();
    }
    messages_.Show(CompletionText(), kCompletionTitle);
    if (offer) {
        if (!ShowNotes(kReadAgainInStandardMode)) return false;
        RemoveEmptyOutput();
        return true;
    }
    if (notes_.Empty()) return false;
    ShowNotes("");
    return false;
}

std::optional<StandardGain> ConversionRun::CheckStandardMode() {
    checking_ = true;
    // The label shows the check going on, then again what the output holds.
    const std::string saved = throttle_.Caption();
    auto caption = [](int64_t cards) {
        return "Checking the backup for Standard Mode... " + Counted(cards, "contact", "contacts");
    };
    throttle_.SetCaption(caption(0));
    throttle_.PumpNow();
    RecountHooks hooks;
    hooks.letTheWindowWork = [this] { throttle_.LetTheWindowWork(); };
    hooks.stopRequested = [this] { return stopRequested_; };
    hooks.cardsSeen = [this, caption](int64_t cards) { throttle_.SetCaption(caption(cards)); };
    std::optional<StandardGain> gain;
    try {
        gain = CountStandardGain(factsRead_, hooks);
    } catch (const std::exception&) {
        // Only an offer is at stake, not the output: none is made.
        gain = StandardGain{};
    }
    throttle_.SetCaption(saved);
    throttle_.Flush();
    factsRead_.clear();
    checking_ = false;
    return gain;
}

std::string ConversionRun::LostLead() const {
    if (outputLost_ <= 0) return {};
    const int64_t read = cardCounter - 1;
    return std::string(usePst_ ? "The store" : "The workbook") + " holds " +
           std::to_string(read - outputLost_) + " of the " + Counted(read, "contact", "contacts") +
           " read; " + std::to_string(outputLost_) + (outputLost_ == 1 ? " was" : " were") +
           " not written, for the reasons below.";
}

std::string ConversionRun::NotesLead() const {
    std::string lead = LostLead();
    if (summary_.standardGain.values > 0)
        lead += (lead.empty() ? "" : "\n\n") + StandardGainText(summary_.standardGain);
    return lead;
}

bool ConversionRun::ShowNotes(const std::string& question) {
    const std::string lead = NotesLead();
    NotesBox box;
    box.title = kAppTitle;
    box.text = (lead.empty() ? std::string() : lead + "\n\n") + notes_.FormatGrouped();
    box.question = question;
    box.allNotes = notes_.Format();
    if (notesSaveDialog) box.saveNotes = [this, lead] { SaveNotes(lead); };
    return messages_.ShowNotes(box);
}

void ConversionRun::SaveNotes(const std::string& lead) {
    const std::string path =
        notesSaveDialog->ShowSave(kSaveNotesTitle, kNotesFileName, kNotesFilter);
    if (path.empty()) return;
    std::string text = (lead.empty() ? std::string() : lead + "\n\n") + notes_.Format();
    text = platform::ForSystemEditor(std::move(text));
    errno = 0;
    std::FILE* file = platform::OpenFile(path, "wb");
    bool written = file != nullptr;
    int err = errno;
    if (file) {
        written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        if (!written) err = errno;
        if (std::fclose(file) != 0 && written) {
            written = false;
            err = errno;
        }
    }
    if (!written)
        messages_.Show("The notes could not be saved as " + path + ": " +
                           (err ? std::strerror(err) : "the file could not be written") + ".",
                       kAppTitle);
}

void ConversionRun::RemoveEmptyOutput() {
    if (summary_.contactsRead > summary_.contactsLost) return;
    // Nothing that was converted is at stake; a file that cannot be removed
    // is overwritten (the workbook) or simply stays (the store).
    std::error_code ec;
    if (useXls_) fs::remove(PathFromUtf8(saveFolder + excel::kExcelSheetName), ec);
    if (usePst_ && !pst.pstPath.empty()) fs::remove(PathFromUtf8(pst.pstPath), ec);
}

outlook::Clock ConversionRun::StoreClock() {
    // One time for the store's file name and its display name; a second
    // store of the same run is named at least a second later, as two stores
    // of the same second would have the same name.
    std::tm stamp = clock();
    if (previousStoreStamp_ && std::mktime(&stamp) <= std::mktime(&*previousStoreStamp_)) {
        stamp = *previousStoreStamp_;
        ++stamp.tm_sec;
        std::mktime(&stamp);
    }
    previousStoreStamp_ = stamp;
    return [stamp] { return stamp; };
}

ReadMode ConversionRun::RunReadMode() {
    if (rereadInStandard_ || controls_.OptStandard()) return ReadMode::Standard;
    return controls_.OptAdvance() ? ReadMode::Advance : ReadMode::Normal;
}
void ConversionRun::Poll() {
    throttle_.LetTheWindowWork();
}

void ConversionRun::Progress(int64_t contactsFinished) {
    // The label counts the contacts the output holds: those the reader
    // finished less those the output turned away.
    const int64_t saved = contactsFinished - outputLost_;
    if (captionCount_ != saved) {
        captionCount_ = saved;
        caption_ = "(" + std::to_string(saved) + ") vCards Saved";
    }
    throttle_.SetCaption(caption_);
}

void ConversionRun::ContactFinished(const ContactRecord& finished, ReadMode mode, int32_t ivCard) {
    if (countFacts_ && !factsRead_.empty()) factsRead_.back().facts.push_back(OfferFacts(finished));
    if (usePst_) CreateContactItem(MakeOutlookHandOff(finished, pst.pstStoreID));
    if (useXls_) {
        FillExcelHandOff(finished, mode == ReadMode::Advance, ivCard, excelHandOff_);
        Save2ExcelContact(excelHandOff_);
    }
}

std::string ConversionRun::KeepPicture(std::string_view bytes, int32_t ivCard,
                                       std::string& failure) {
    return WritePictureFile(saveFolder, bytes, ivCard, failure);
}

std::string ConversionRun::KeepPictureAs(std::string_view bytes, int32_t ivCard,
                                         std::string_view extension, std::string& failure) {
    return WritePictureFile(saveFolder, bytes, ivCard, failure, extension);
}

void ConversionRun::CreateContactItem(const OutlookContactArgs& args) {
    const int64_t lostBefore = notes_.LostContacts();
    outlook::CreateContactItem(pst, args, notes_, cardCounter);
    outputLost_ += notes_.LostContacts() - lostBefore;
}

void ConversionRun::Save2ExcelContact(const ExcelContactArgs& args) {
    const int64_t lostBefore = notes_.LostContacts();
    sheet.Save2ExcelContact(args, notes_);
    outputLost_ += notes_.LostContacts() - lostBefore;
}

} // namespace velloquin::app
