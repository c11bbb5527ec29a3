#include "excel/CodePageChoice.h"

#include "excel/ContactSheet.h"
#include "excel/ShortDate.h"
#include "vcard/Reader.h"
#include "vcard/Text.h"

namespace velloquin::excel {

namespace {

constexpr char32_t kSmallLimit = 0x800;
constexpr uint16_t kUnknown = 0xFFFF;

// The reader's output during the reading ahead: every contact's texts go to
// the choice, nothing is written and no note is kept.
class CollectingHost : public ReaderHost {
  public:
    CollectingHost(CodePageChoice& choice, const PrereadHooks& hooks)
        : choice_(choice), hooks_(hooks) {}
    bool OptAdvance() override { return hooks_.advance; }
    bool OptNormal() override { return !hooks_.advance; }
    bool OptPST() override { return false; }
    bool OptXLS() override { return true; }
    void LetTheWindowWork() override { hooks_.letTheWindowWork(); }
    void SetProgressCaption(const std::string&) override {}
    const std::string& SaveFolder() override { return none_; }
    const std::string& PstStoreID() override { return none_; }
    void CreateContactItem(const OutlookContactArgs&) override {}
    void Save2ExcelContact(const ExcelContactArgs& args) override { choice_.AddContact(args); }
    RunNotes& Notes() override {
        notes_.Clear();
        return notes_;
    }
    bool StopRequested() override { return hooks_.stopRequested(); }
    bool WritePictures() override { return false; }

  private:
    CodePageChoice& choice_;
    const PrereadHooks& hooks_;
    RunNotes notes_;
    std::string none_;
};

} // namespace

CodePageChoice::CodePageChoice() : smallMasks_(kSmallLimit, kUnknown) {
    converters_.reserve(kCandidates.size());
    for (uint16_t codePage : kCandidates)
        converters_.emplace_back(codePage);
    // Every candidate holds ASCII.
    for (char32_t cp = 0; cp < 0x80; ++cp)
        smallMasks_[cp] = kAll;
}

CodePageChoice::~CodePageChoice() = default;

CodePageChoice::Mask CodePageChoice::CharacterMask(char32_t cp, std::string_view character) {
    Mask* known = nullptr;
    if (cp < kSmallLimit) {
        known = &smallMasks_[cp];
        if (*known != kUnknown) return *known;
    } else if (const auto it = masks_.find(cp); it != masks_.end()) {
        return it->second;
    }
    Mask mask = 0;
    for (size_t i = 0; i < converters_.size(); ++i)
        if (converters_[i].Holds(character)) mask = static_cast<Mask>(mask | (1u << i));
    if (known)
        *known = mask;
    else
        masks_.emplace(cp, mask);
    return mask;
}

CodePageChoice::Mask CodePageChoice::TextMask(std::string_view utf8) {
    Mask mask = kAll;
    for (size_t pos = 0; pos < utf8.size();) {
        if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
            ++pos;
            continue;
        }
        char32_t cp = 0;
        size_t length = Utf8CharLength(utf8, pos, cp);
        // A stray byte stands for itself; keep it apart from real code points.
        if (length == 0) {
            length = 1;
            cp = 0x110000 + static_cast<unsigned char>(utf8[pos]);
        }
        mask &= CharacterMask(cp, utf8.substr(pos, length));
        pos += length;
    }
    return mask;
}

bool CodePageChoice::WesternHoldsAll(std::string_view utf8) {
    for (size_t pos = 0; pos < utf8.size();) {
        if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
            ++pos;
            continue;
        }
        char32_t cp = 0;
        size_t length = Utf8CharLength(utf8, pos, cp);
        if (length == 0) {
            length = 1;
            cp = 0x110000 + static_cast<unsigned char>(utf8[pos]);
        }
        if ((CharacterMask(cp, utf8.substr(pos, length)) & 1u) == 0) return false;
        pos += length;
    }
    return true;
}

void CodePageChoice::AddContact(const ExcelContactArgs& args) {
    const ContactRowTexts texts(args);
    Mask contactMask = kAll;
    auto add = [&](std::string_view text) {
        const Mask mask = TextMask(text);
        if (mask == kAll) return;
        contactMask &= mask;
        for (size_t i = 0; i < kCandidates.size(); ++i)
            valuesLosing_[i] += (mask >> i & 1u) == 0;
    };
    for (int column = 1; column <= kSheetColumns; ++column)
        add(texts.Column(column));
    // The dates' texts follow the system's short-date format, which is not
    // ASCII everywhere.
    for (const double date : {args.xlsContact_BirthDay, args.xlsContact_Anniversary})
        if (date != 0)
            if (const auto text = DateValueText(date)) add(*text);
    if (contactMask == kAll) return;
    for (size_t i = 0; i < kCandidates.size(); ++i)
        contactsLosing_[i] += (contactMask >> i & 1u) == 0;
}

CodePageVerdict CodePageChoice::Choose() const {
    size_t best = 0;
    for (size_t i = 1; i < kCandidates.size(); ++i)
        if (valuesLosing_[i] < valuesLosing_[best]) best = i;
    return {kCandidates[best], valuesLosing_[best], contactsLosing_[best]};
}

CodePageVerdict ChooseWorkbookCodePage(const std::vector<std::string>& backups,
                                       const PrereadHooks& hooks) {
    CodePageChoice choice;
    // Most backups need no more than a look at their characters.
    bool western = true;
    for (const std::string& backup : backups) {
        std::string text, why;
        hooks.letTheWindowWork();
        if (ReadBackupText(backup, text, why) && !choice.WesternHoldsAll(text)) {
            western = false;
            break;
        }
    }
    if (western) return {};
    CollectingHost host(choice, hooks);
    ContactRecord record;
    int32_t counter = 1;
    for (const std::string& backup : backups) {
        if (hooks.stopRequested()) break;
        ReadvCard(backup, counter, record, host);
    }
    return choice.Choose();
}

} // namespace velloquin::excel
