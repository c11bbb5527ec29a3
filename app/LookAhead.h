// The reading ahead of a run that writes a workbook: the backups are read
// with the run's reader and mode before any output exists, and the values
// they give choose the workbook's code page.
#pragma once

#include "excel/CodePageChoice.h"
#include "excel/ShortDate.h"
#include "vcard/Reader.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velloquin::app {

using excel::CodePageVerdict;
using excel::DateTextFunction;

// What the reading ahead needs from the run.
struct PrereadHooks {
    ReadMode mode = ReadMode::Normal;
    std::function<void()> letTheWindowWork = [] {};
    std::function<bool()> stopRequested = [] { return false; };
    // The vCards found so far, after each one, for the user to see that the
    // reading goes on.
    std::function<void(int64_t)> cardsSeen = [](int64_t) {};
    // The vCards held back to be parsed only if the choice needs them, at
    // most; past it they are parsed at once (the same counts, more work).
    // Large enough that the largest backup the speed goals are set for
    // (32,766 vCards of a few hundred bytes outside their pictures) stays
    // lazy, small enough that a larger one costs no more memory than that.
    size_t keptBytesBound = size_t{11} << 20;
    // The user's short dates are not ASCII everywhere ("22.11.2033 г.").
    DateTextFunction dateText = excel::DateValueText;
};

// Cuts a backup's text, given piece by piece, into the text of each contact
// the reader hands off: from a BEGIN:VCARD line to the END:VCARD line that
// ends it, cut at the lines that the reader sees in the given mode. By the
// Skype rules a vCard without its END:VCARD runs on into the next, as the
// reader merges them, and one open at the end of the text gives no contact;
// Standard Mode ends such a vCard where the next begins, or at the end of the
// text. Text outside vCards is left out. Only the vCard being cut is held, so
// memory does not grow with the backup.
class CardCutter {
  public:
    // Normal Mode, or Advance Mode, which ends lines at LF as well.
    explicit CardCutter(bool advance) : advance_(advance) {}
    explicit CardCutter(ReadMode mode)
        : advance_(mode != ReadMode::Normal), standard_(mode == ReadMode::Standard) {}
    // Calls onCard with every vCard that the piece completes.
    void Add(std::string_view piece, const std::function<void(std::string_view)>& onCard);
    // The end of the text: the last vCard.
    void Finish(const std::function<void(std::string_view)>& onCard);

  private:
    void Cut(bool atEnd, const std::function<void(std::string_view)>& onCard);

    bool advance_;
    bool standard_ = false;
    std::string window_;
    size_t scan_ = 0;                 // the next line to look at
    size_t open_ = std::string::npos; // where the vCard being cut starts
};

// The same on a whole text at once.
std::vector<std::string> SplitCards(std::string_view text, bool advance);
std::vector<std::string> SplitCards(std::string_view text, ReadMode mode);

// Reads the backups ahead of the run, with the run's reader and mode but
// without writing pictures, and chooses the code page for their values.
// Only the vCards that can change the choice are parsed: a vCard whose text
// every candidate holds loses nothing anywhere, and once the best code page's
// count is exact, the others are followed only until they cannot beat it.
// A backup that cannot be read counts for nothing (the run reports it).
CodePageVerdict ChooseWorkbookCodePage(const std::vector<std::string>& backups,
                                       const PrereadHooks& hooks);

} // namespace velloquin::app
