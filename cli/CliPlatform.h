// The platform services of the conversion run on a terminal: the output
// folder comes from the arguments, messages are printed, and "letting the
// window work" redraws a progress bar and notices Ctrl-C.
#pragma once

#include "app/ConversionRun.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>

namespace velloquin::cli {

// Counts the vCards of a backup (its BEGIN:VCARD lines, as the reader sees
// them in the mode), for the length of the progress bar. 0 when the file
// cannot be read.
int64_t CountCards(const std::string& path, bool advance);

class FixedFolder : public app::FolderPicker {
  public:
    explicit FixedFolder(std::string folder) : folder_(std::move(folder)) {}
    std::string BrowseForFolder(const std::string&) override { return folder_; }

  private:
    std::string folder_;
};

class ProgressBar;

// Completion text to stdout, everything else (failures, notes) to stderr.
class PrintedMessages : public app::MessageBox {
  public:
    PrintedMessages(std::ostream& out, std::ostream& err, ProgressBar* bar)
        : out_(out), err_(err), bar_(bar) {}
    void Show(const std::string& text, const std::string& title) override;
    // Nobody answers on a command line: the question is printed with the
    // option that gives the answer Yes (the mode it names), and the answer is No.
    bool AskYesNo(const std::string& text, const std::string& title) override;
    // Every note is printed, one a line, and a question as above.
    bool ShowNotes(const app::NotesBox& box) override;

  private:
    std::ostream& out_;
    std::ostream& err_;
    ProgressBar* bar_;
};

// One line on stderr, rewritten in place: a bar when the number of vCards
// is known, the count alone otherwise.
class ProgressBar {
  public:
    ProgressBar(std::ostream& err, bool enabled, int64_t expectedCards)
        : err_(err), enabled_(enabled), expected_(expectedCards) {}
    void Draw(int64_t converted);
    // Removes the line so that messages start on a clean one.
    void Clear();

  private:
    std::ostream& err_;
    bool enabled_;
    int64_t expected_;
    bool drawn_ = false;
};

class TerminalPump : public app::WindowPump {
  public:
    explicit TerminalPump(ProgressBar& bar) : bar_(bar) {}
    void Attach(app::ConversionRun& run) { run_ = &run; }
    void LetTheWindowWork() override;

  private:
    ProgressBar& bar_;
    app::ConversionRun* run_ = nullptr;
};

class ArgumentControls : public app::RunControls {
  public:
    ArgumentControls(bool outlook, bool advance, bool standard)
        : outlook_(outlook), advance_(advance), standard_(standard) {}
    bool OptXLS() override { return !outlook_; }
    bool OptPST() override { return outlook_; }
    bool OptNormal() override { return !advance_ && !standard_; }
    bool OptAdvance() override { return advance_; }
    bool OptStandard() override { return standard_; }
    void SetProgressCaption(const std::string& caption) override { caption_ = caption; }
    void SetCmdSplitEnabled(bool) override {}
    void SetRunUnderWay(bool) override {}
    const std::string& Caption() const { return caption_; }

  private:
    bool outlook_;
    const bool advance_;
    const bool standard_;
    std::string caption_;
};

// Ctrl-C asks the run to stop after the current contact, so that the output
// is still closed and readable.
void CatchInterrupt();
bool Interrupted();

} // namespace velloquin::cli
