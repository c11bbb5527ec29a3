// The conversion run that the Convert button starts, with the window fields it
// reads and writes. Free of Qt, so that tests and the command line drive it.
#pragma once

#include "Platform.h"
#include "StandardOffer.h"
#include "ThrottledPump.h"
#include "core/ContactRecord.h"
#include "core/RunNotes.h"
#include "excel/ContactSheet.h"
#include "outlook/OutlookOutput.h"
#include "vcard/Reader.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace velloquin::app {

inline constexpr const char* kAppTitle = "Corvanth Velloquin";
inline constexpr const char* kSupportAddress = "support@velloquin.example";

// What a run reads: the one chosen file, or every backup of srcFolder.
enum class InputMode : int16_t { File = 0, Folder = 2 };

// The summary of the last run, for the command line and the tests.
struct RunSummary {
    bool started = false;     // false when the folder picker was cancelled
    bool setupFailed = false; // the output could not be prepared; nothing was read
    int64_t contactsRead = 0; // contacts handed off by the reader
    int64_t contactsLost = 0; // of those, contacts that did not reach the output
    bool stopped = false;     // RequestStop ended the reading early
    // What Standard Mode reads beyond a Normal-mode reading, when the run
    // looked (see ConversionRun::checkStandardMode).
    StandardGain standardGain;
};

class ConversionRun : public ContactSink {
  public:
    ConversionRun(FolderPicker& picker, MessageBox& messages, WindowPump& pump,
                  RunControls& controls);

    // The Convert button's handler: one whole run.
    void CmdSplit_Click();

    // Asks a run under way to stop after the current contact and to close its
    // output properly (used when the window is closed during a run).
    void RequestStop() { stopRequested_ = true; }
    bool RunUnderWay() const { return runUnderWay_; }
    // The contacts that have reached the output in the run under way.
    int64_t ContactsSavedSoFar() const;
    // What the output keeps if a stop is asked for now: the contacts saved so
    // far and the one being read, which the reader still hands off.
    int64_t ContactsKeptOnStop() const;
    // True while the backups are read ahead, before any output exists.
    bool ReadingAhead() const { return readingAhead_; }
    // True while the backups are read again to see what Standard Mode would
    // add: the output is closed and whole by then.
    bool CheckingStandardMode() const { return checking_; }
    // The output of the last run, as the user finds it: the workbook's or
    // the store's full path; empty when none was made.
    std::string OutputPath() const;

    // Window fields.
    std::string saveFolder;
    std::string srcFolder;
    std::string chosenFileName;
    InputMode inputMode = InputMode::File;
    int32_t cardCounter = 0;
    ContactRecord record;
    outlook::PstState pst;
    excel::ContactSheet sheet;
    outlook::Clock clock = outlook::LocalNow;
    outlook::SessionFactory rdoFactory = outlook::CreateRdoObject;
    // Where "Save Notes..." asks for a file; without one the notes dialog
    // offers no saving.
    SaveFileDialog* notesSaveDialog = nullptr;
    // After a Normal-mode reading, read the backups once more in Standard
    // Mode and offer that mode when it reads more. The command line, which
    // nobody answers, leaves it off and saves the second reading; it offers
    // Standard Mode only where the notes show vCards Normal Mode missed.
    bool checkStandardMode = true;

    const RunNotes& LastNotes() const { return notes_; }
    const RunSummary& LastSummary() const { return summary_; }

    // The mode the run's files are read in: the window's, or Standard for a
    // second reading the user asked for.
    ReadMode RunReadMode();

    // The two hand-offs of a finished contact, Outlook first, then Excel, as
    // the output chosen for the run selects them. Virtual for the tests that
    // look at what reaches the outputs.
    virtual void CreateContactItem(const OutlookContactArgs& args);
    virtual void Save2ExcelContact(const ExcelContactArgs& args);

    // ContactSink: what the reader reports.
    void ContactFinished(const ContactRecord& finished, ReadMode mode, int32_t ivCard) override;
    void Poll() override;
    void Progress(int64_t contactsFinished) override;
    RunNotes& Notes() override { return notes_; }
    bool StopRequested() override { return stopRequested_; }
    void CardOpened() override { openCard_ = cardCounter; }
    std::string KeepPicture(std::string_view bytes, int32_t ivCard, std::string& failure) override;
    std::string KeepPictureAs(std::string_view bytes, int32_t ivCard, std::string_view extension,
                              std::string& failure) override;

  private:
    // One conversion into saveFolder, from the set-up of the output to the
    // notes. True when the user asked to read the same choice again in
    // Standard Mode.
    bool ConvertOnce();
    // Reads the run's backups again in Standard Mode; empty when a stop was
    // asked for meanwhile.
    std::optional<StandardGain> CheckStandardMode();
    // Removes the output of a conversion that holds no contact.
    void RemoveEmptyOutput();
    // Reads the backups ahead and sets the workbook's code page; false when
    // a stop was asked for meanwhile.
    bool ChooseCodePage();
    // "(N) vCards Saved" or "(N) Contacts Saved" with N the contacts the
    // output holds.
    std::string SavedCaption(const char* what) const;
    // The notes dialog at the end of a conversion; true for a Yes to the
    // question, when there is one.
    bool ShowNotes(const std::string& question);
    // Writes the lead and every note to a file the user chooses.
    void SaveNotes(const std::string& lead);
    // What the notes dialog says first: how many contacts the output lacks,
    // and what Standard Mode would add.
    std::string LostLead() const;
    std::string NotesLead() const;
    outlook::Clock StoreClock();

    FolderPicker& picker_;
    MessageBox& messages_;
    WindowPump& pump_;
    RunControls& controls_;
    RunNotes notes_;
    RunSummary summary_;
    ThrottledPump throttle_;
    // The output chosen at the set-up, kept for the whole run.
    bool useXls_ = false;
    bool usePst_ = false;
    // Contacts handed off that the output could not keep.
    int64_t outputLost_ = 0;
    bool stopRequested_ = false;
    bool runUnderWay_ = false;
    bool reading_ = false; // cardCounter counts the run under way
    bool readingAhead_ = false;
    bool outputMade_ = false; // the set-up made the output of the last conversion
    // A second reading that the user asked for in Standard Mode: that reading
    // alone is in Standard Mode, the window's choice stays as it was.
    bool rereadInStandard_ = false;
    // The facts of each contact the Normal reading handed off, per backup,
    // when the run will look at what Standard Mode adds.
    bool countFacts_ = false;
    std::vector<BackupFacts> factsRead_;
    bool checking_ = false;
    int32_t openCard_ = 0; // the number of the vCard the reader is in
    // The progress caption and the count it was made for, made afresh only
    // when the count changes.
    int64_t captionCount_ = -1;
    std::string caption_;
    std::optional<std::tm> previousStoreStamp_;
    // The workbook's hand-off, filled anew for each contact: its texts keep
    // their memory from one contact to the next.
    ExcelContactArgs excelHandOff_;
};

// The platform's path separator ("\" on Windows, "/" elsewhere).
char PathSeparator();
// Appends the separator unless the path already ends in one.
std::string WithFinalSeparator(std::string folder);
// The ".vcf" files of a folder: ordinary, not hidden, the extension matched
// without regard to case, in the order the directory listing gives them.
// Names only, without the folder. A folder that cannot be listed gives no
// names and, given error, the reason.
std::vector<std::string> ListBackupFiles(const std::string& folder, std::string* error = nullptr);

} // namespace velloquin::app
