// Which Windows code page a workbook's texts are written in. BIFF 2.1 keeps
// one byte (two in the East Asian code pages) per character in a single code
// page for the whole file, so the choice is made for all the values of a run
// before the first record is written.
#pragma once

#include "core/CodePage.h"
#include "core/ContactRecord.h"
#include "excel/ShortDate.h"

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

} // namespace velloquin::excel
