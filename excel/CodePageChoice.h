// Which Windows code page a workbook's texts are written in. BIFF 2.1 keeps
// one byte (two in the East Asian code pages) per character in a single code
// page for the whole file, so the choice is made for all the values of a run
// before the first record is written.
#pragma once

#include "excel/ShortDate.h"
#include "vcard/CodePage.h"
#include "vcard/ContactRecord.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velloquin::excel {

// The text a date value becomes in its cell.
using DateTextFunction = std::function<std::optional<std::string>(double)>;

struct CodePageVerdict {
    uint16_t codePage = kWesternCodePage;
    int64_t valuesLosing = 0;   // values that lose characters in that code page
    int64_t contactsLosing = 0; // contacts those values belong to
};

// Collects the values that a sheet will hold and names the code page for
// them: Windows-1252 when it holds them all, else the first of the other
// Windows code pages that does (the single-byte ones first, then Japanese,
// Simplified Chinese, Korean, Traditional Chinese), else the one that keeps
// the most values whole.
class CodePageChoice {
  public:
    static constexpr std::array<uint16_t, 14> kCandidates = {
        1252, 1250, 1251, 1253, 1254, 1255, 1256, 1257, 1258, 874, 932, 936, 949, 950};
    using Mask = uint16_t; // bit i: kCandidates[i] holds every character
    static constexpr Mask kAll = (1u << kCandidates.size()) - 1;

    explicit CodePageChoice(DateTextFunction dateText = DateValueText);
    ~CodePageChoice();
    CodePageChoice(const CodePageChoice&) = delete;
    CodePageChoice& operator=(const CodePageChoice&) = delete;

    // One contact's row, with the texts the sheet writes for it.
    void AddContact(const ExcelContactArgs& args);
    // The candidates that hold every character of the text.
    Mask Holders(std::string_view utf8);
    // Values added so far that candidate i cannot hold, and their contacts.
    int64_t ValuesLosing(size_t i) const { return valuesLosing_[i]; }
    int64_t ContactsLosing(size_t i) const { return contactsLosing_[i]; }
    CodePageVerdict Choose() const;

  private:
    Mask CharacterMask(char32_t cp, std::string_view character);

    DateTextFunction dateText_;
    std::vector<CodePageConverter> converters_;
    std::vector<Mask> smallMasks_; // code points below U+0800; 0xFFFF: not yet known
    std::unordered_map<char32_t, Mask> masks_;
    std::array<int64_t, kCandidates.size()> valuesLosing_{};
    std::array<int64_t, kCandidates.size()> contactsLosing_{};
};

// What the reading ahead needs from the run.
struct PrereadHooks {
    bool advance = false; // Advance Mode
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
    DateTextFunction dateText = DateValueText;
};

// Cuts a backup's text, given piece by piece, into the text of each contact
// the reader hands off: from a BEGIN:VCARD line to the END:VCARD line that
// ends it, cut at the lines that the reader sees in the given mode. A vCard
// without its END:VCARD runs on into the next, as the reader merges them; one
// open at the end of the text, and text outside vCards, give no contact and
// are left out. Only the vCard being cut is held, so memory does not grow
// with the backup.
class CardCutter {
  public:
    explicit CardCutter(bool advance) : advance_(advance) {}
    // Calls onCard with every vCard that the piece completes.
    void Add(std::string_view piece, const std::function<void(std::string_view)>& onCard);
    // The end of the text: the last vCard.
    void Finish(const std::function<void(std::string_view)>& onCard);

  private:
    void Cut(bool atEnd, const std::function<void(std::string_view)>& onCard);

    bool advance_;
    std::string window_;
    size_t scan_ = 0;                 // the next line to look at
    size_t open_ = std::string::npos; // where the vCard being cut starts
};

// The same on a whole text at once.
std::vector<std::string> SplitCards(std::string_view text, bool advance);

// Reads the backups ahead of the run, with the run's reader and mode but
// without writing pictures, and chooses the code page for their values.
// Only the vCards that can change the choice are parsed: a vCard whose text
// every candidate holds loses nothing anywhere, and once the best code page's
// count is exact, the others are followed only until they cannot beat it.
// A backup that cannot be read counts for nothing (the run reports it).
CodePageVerdict ChooseWorkbookCodePage(const std::vector<std::string>& backups,
                                       const PrereadHooks& hooks);

} // namespace velloquin::excel
