// Which Windows code page a workbook's texts are written in. BIFF 2.1 keeps
// one byte (two in the East Asian code pages) per character in a single code
// page for the whole file, so the choice is made for all the values of a run
// before the first record is written.
#pragma once

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

    CodePageChoice();
    ~CodePageChoice();
    CodePageChoice(const CodePageChoice&) = delete;
    CodePageChoice& operator=(const CodePageChoice&) = delete;

    // One contact's row, with the texts the sheet writes for it.
    void AddContact(const ExcelContactArgs& args);
    // True when Windows-1252 holds every character of the text; a quick look
    // at a whole backup before its values are collected.
    bool WesternHoldsAll(std::string_view utf8);
    CodePageVerdict Choose() const;

  private:
    using Mask = uint16_t; // bit i: kCandidates[i] holds the character
    static constexpr Mask kAll = (1u << kCandidates.size()) - 1;
    Mask CharacterMask(char32_t cp, std::string_view character);
    Mask TextMask(std::string_view utf8);

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
};

// Reads the backups ahead of the run, with the run's reader and mode but
// without writing pictures, and chooses the code page for their values.
// Backups whose text Windows-1252 holds entirely are not parsed at all. A
// backup that cannot be read counts for nothing (the run reports it).
CodePageVerdict ChooseWorkbookCodePage(const std::vector<std::string>& backups,
                                       const PrereadHooks& hooks);

} // namespace velloquin::excel
