#include "excel/CodePageChoice.h"

#include "core/Text.h"
#include "excel/ContactSheet.h"

namespace velloquin::excel {

namespace {

constexpr char32_t kSmallLimit = 0x800;
constexpr uint16_t kUnknown = 0xFFFF;

} // namespace

CodePageChoice::CodePageChoice(DateTextFunction dateText)
    : dateText_(std::move(dateText)), smallMasks_(kSmallLimit, kUnknown) {
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

CodePageChoice::Mask CodePageChoice::Holders(std::string_view utf8) {
    Mask mask = kAll;
    for (size_t pos = SkipAscii(utf8, 0); pos < utf8.size(); pos = SkipAscii(utf8, pos)) {
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

void CodePageChoice::AddContact(const ExcelContactArgs& args) {
    const ContactRowTexts texts(args);
    Mask contactMask = kAll;
    auto add = [&](std::string_view text) {
        const Mask mask = Holders(text);
        if (mask == kAll) return;
        contactMask &= mask;
        for (size_t i = 0; i < kCandidates.size(); ++i)
            valuesLosing_[i] += (mask >> i & 1u) == 0;
    };
    for (int column = 1; column <= kSheetColumns; ++column)
        add(texts.Column(column));
    // The dates' texts follow the system's short-date format, which is not
    // ASCII everywhere.
    for (const double date : {args.eContact_BirthDay, args.eContact_Anniversary})
        if (date != 0)
            if (const auto text = dateText_(date)) add(*text);
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

} // namespace velloquin::excel
