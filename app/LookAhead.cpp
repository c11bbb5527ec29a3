#include "app/LookAhead.h"
#include "app/QuietSink.h"

#include "core/Dates.h"
#include "core/Text.h"
#include "vcard/BackupText.h"
#include "vcard/CardStart.h"
#include "vcard/Reader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>

namespace velloquin::app {

using excel::CodePageChoice;
using excel::CodePageVerdict;

namespace {

constexpr size_t kParseSlice = 256u << 10;

// The reader's output during the reading ahead: every contact's texts go to
// the choice, nothing is written and no note is kept.
class CollectingSink : public QuietSink {
  public:
    CollectingSink(CodePageChoice& choice, const PrereadHooks& hooks)
        : QuietSink(hooks.letTheWindowWork, hooks.stopRequested), choice_(choice) {}
    void ContactFinished(const ContactRecord& record, ReadMode mode, int32_t ivCard) override {
        FillExcelHandOff(record, mode == ReadMode::Advance, ivCard, handOff_);
        choice_.AddContact(handOff_);
    }

  private:
    CodePageChoice& choice_;
    ExcelContactArgs handOff_; // kept from one contact to the next, with its memory
};

// The end at CR or LF: two searches of one character each, up to the LF;
// find_first_of would ask about every byte in turn.
size_t CrOrLf(std::string_view text, size_t pos) {
    const size_t lf = text.find('\n', pos);
    const size_t limit = lf == std::string_view::npos ? text.size() : lf;
    const void* cr = std::memchr(text.data() + pos, '\r', limit - pos);
    return cr != nullptr ? static_cast<size_t>(static_cast<const char*>(cr) - text.data()) : lf;
}

// Where the line from pos ends as the reader cuts lines: at CR, and in
// Advance Mode at LF as well; npos when no end is in the text.
size_t LineEnd(std::string_view text, size_t pos, bool advance) {
    return advance ? CrOrLf(text, pos) : text.find('\r', pos);
}

// Whether the line starts a property whose value is binary (a picture, a
// logo, a sound, a key), whose folded lines no column shows.
bool StartsBinaryProperty(std::string_view line) {
    std::string_view name = line.substr(0, std::min(line.find(':'), line.find(';')));
    if (const size_t dot = name.rfind('.'); dot != std::string_view::npos)
        name.remove_prefix(dot + 1);
    if (name.size() < 3 || name.size() > 5) return false;
    for (const std::string_view binary : {"PHOTO", "LOGO", "SOUND", "KEY"})
        if (name.size() == binary.size() && EqualsUpperAscii(name, binary)) return true;
    return false;
}

// Where the next line starts after a line ending at end: a CR LF pair counts
// as one end.
size_t AfterLineEnd(std::string_view text, size_t end) {
    size_t next = end + 1;
    if (end < text.size() && text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
    return next;
}

// Whether a value of the vCard may be encoded, so that its text does not show
// the characters the reader makes of it (quoted-printable, another charset).
// Only Standard Mode decodes them. What says so stands among a property's
// parameters, before the colon; only those parts are looked at, not the
// values (a picture's Base64 text is most of a vCard).
bool HasEncodedValue(std::string_view card) {
    std::string header;
    bool inHeader = false; // the property's colon is still to come
    for (size_t pos = 0; pos < card.size();) {
        size_t end = LineEnd(card, pos, true);
        if (end == std::string_view::npos) end = card.size();
        const std::string_view line = card.substr(pos, end - pos);
        pos = AfterLineEnd(card, end);
        if (line.empty()) continue;
        if (line[0] != ' ' && line[0] != '\t') inHeader = true;
        if (!inHeader) continue;
        const size_t colon = line.find(':');
        if (colon != std::string_view::npos) inHeader = false;
        header.assign(line.substr(0, colon));
        for (char& c : header)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (header.find("QUOTED-PRINTABLE") != std::string::npos ||
            header.find("ENCODING=Q") != std::string::npos ||
            header.find("CHARSET") != std::string::npos)
            return true;
    }
    return false;
}

// Whether a line of the vCard may give a birthday or an anniversary (more
// lines than that, never fewer).
bool HasDateLine(std::string_view card) {
    const std::string upper = UpperAscii(card);
    return upper.find("BDAY") != std::string::npos ||
           upper.find("ANNIVERSARY") != std::string::npos;
}

// The vCards held back by the reading ahead, end to end in large blocks: a
// string of its own per vCard would cost its allocation's overhead and
// slack on top of a few hundred bytes, tens of thousands of times over.
// Each vCard is kept without its colon-less pieces, the lines of a picture's
// Base64 text, which only the picture rules read and no column shows.
class KeptCards {
  public:
    struct Card {
        uint32_t block = 0;
        uint32_t offset = 0;
        uint32_t size = 0;
        CodePageChoice::Mask holders = 0;
        bool parsed = false;
    };

    // keepAll: the vCard is read in Standard Mode, where a line without a
    // colon may continue a folded value.
    void Keep(std::string_view card, bool advance, bool keepAll, CodePageChoice::Mask holders) {
        // What is kept is never longer than the vCard, so this room is enough
        // and the block never moves under the views handed out.
        if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < card.size()) {
            blocks_.emplace_back();
            blocks_.back().reserve(std::max(kBlock, card.size()));
        }
        std::string& block = blocks_.back();
        const size_t start = block.size();
        // The lines kept go in runs; left out are a picture's lines: in
        // Standard Mode the folded lines of a binary value, otherwise the
        // lines without a colon.
        size_t run = 0;
        bool binary = false;
        for (size_t pos = 0; pos < card.size();) {
            size_t end = LineEnd(card, pos, advance);
            if (end == std::string_view::npos) end = card.size();
            const size_t next = std::min(AfterLineEnd(card, end), card.size());
            const std::string_view line = card.substr(pos, end - pos);
            bool leftOut = false;
            if (keepAll) {
                const bool folded = card[pos] == ' ' || card[pos] == '\t';
                if (!folded) binary = StartsBinaryProperty(line);
                leftOut = folded && binary;
            } else {
                leftOut = line.find(':') == std::string_view::npos;
            }
            if (leftOut) {
                block.append(card.substr(run, pos - run));
                run = next;
            }
            pos = next;
        }
        block.append(card.substr(run));
        cards_.push_back({static_cast<uint32_t>(blocks_.size() - 1), static_cast<uint32_t>(start),
                          static_cast<uint32_t>(block.size() - start), holders});
        bytes_ += block.size() - start;
    }
    std::string_view Text(const Card& card) const {
        return std::string_view(blocks_[card.block]).substr(card.offset, card.size);
    }
    std::vector<Card>& Cards() { return cards_; }
    size_t Bytes() const { return bytes_; }
    void Clear() {
        std::vector<std::string>().swap(blocks_);
        cards_.clear();
        bytes_ = 0;
    }

  private:
    static constexpr size_t kBlock = size_t{1} << 20;
    std::vector<std::string> blocks_;
    std::vector<Card> cards_;
    size_t bytes_ = 0;
};

} // namespace

void CardCutter::Add(std::string_view piece, const std::function<void(std::string_view)>& onCard) {
    window_.append(piece);
    Cut(false, onCard);
}

void CardCutter::Finish(const std::function<void(std::string_view)>& onCard) {
    Cut(true, onCard);
    // A vCard still open at the end is not handed off by the Skype rules
    // either; Standard Mode ends it there.
    if (standard_ && open_ != std::string::npos) onCard(std::string_view(window_).substr(open_));
    window_.clear();
    scan_ = 0;
    open_ = std::string::npos;
}

void CardCutter::Cut(bool atEnd, const std::function<void(std::string_view)>& onCard) {
    const std::string_view text = window_;
    while (scan_ < text.size()) {
        size_t end = LineEnd(text, scan_, advance_);
        // A line is looked at once it is whole; a CR last in the window may
        // still have its LF to come.
        if (end == std::string_view::npos || (text[end] == '\r' && end + 1 == text.size())) {
            if (!atEnd) break;
            if (end == std::string_view::npos) end = text.size();
        }
        const std::string_view line = TrimView(text.substr(scan_, end - scan_));
        const size_t next = AfterLineEnd(text, end);
        // A BEGIN:VCARD inside an open vCard merges the two, as the Skype
        // rules merge them, or in Standard Mode ends the open one; an
        // END:VCARD outside one hands off an empty contact, which has no
        // value to look at.
        if (IsCardStart(line)) {
            if (open_ != std::string::npos && standard_) onCard(text.substr(open_, scan_ - open_));
            if (open_ == std::string::npos || standard_) open_ = scan_;
        }
        if (open_ != std::string::npos && IsCardEnd(line)) {
            onCard(text.substr(open_, std::min(next, text.size()) - open_));
            open_ = std::string::npos;
        }
        scan_ = next;
    }
    // What no vCard needs any more goes; only when it is the larger part, so
    // that a long vCard is not moved again for every piece.
    const size_t done = std::min(open_ == std::string::npos ? scan_ : open_, window_.size());
    if (done > 0 && done * 2 >= window_.size()) {
        window_.erase(0, done);
        scan_ -= std::min(scan_, done);
        if (open_ != std::string::npos) open_ -= done;
    }
}

std::vector<std::string> SplitCards(std::string_view text, bool advance) {
    return SplitCards(text, advance ? ReadMode::Advance : ReadMode::Normal);
}

std::vector<std::string> SplitCards(std::string_view text, ReadMode mode) {
    std::vector<std::string> cards;
    CardCutter cutter(mode);
    const auto keep = [&](std::string_view card) { cards.emplace_back(card); };
    cutter.Add(text, keep);
    cutter.Finish(keep);
    return cards;
}

CodePageVerdict ChooseWorkbookCodePage(const std::vector<std::string>& backups,
                                       const PrereadHooks& hooks) {
    constexpr size_t n = CodePageChoice::kCandidates.size();
    CodePageChoice choice(hooks.dateText);
    // A vCard of ASCII text still needs its values looked at when it has a
    // date and the user's dates are written with other characters.
    CodePageChoice::Mask dateHolders = CodePageChoice::kAll;
    for (int month = 1; month <= 12; ++month)
        for (int day = 16; day <= 22; ++day) // every weekday, every month's name
            if (const auto text = hooks.dateText(DateSerial(2033, month, day).value_or(0)))
                dateHolders &= choice.Holders(*text);
    KeptCards kept;                   // those some candidate cannot hold
    std::array<size_t, n> unparsed{}; // per candidate, its cards not parsed yet

    CollectingSink sink(choice, hooks);
    const ReadMode mode = hooks.mode;
    // Advance and Standard Mode end lines at LF as well.
    const bool cutAtLf = mode != ReadMode::Normal;
    const bool standard = mode == ReadMode::Standard;
    ContactRecord record;
    int32_t counter = 1;
    // Parses the unparsed cards that one of the wanted candidates cannot
    // hold, at most `limit` of them.
    auto parse = [&](uint32_t wanted, size_t limit) {
        // Cards that more of them lack are chosen first: each such card tells
        // about all of them at once.
        std::vector<size_t> chosen;
        std::vector<KeptCards::Card>& cards = kept.Cards();
        for (int lacking = std::popcount(wanted); lacking > 0 && chosen.size() < limit; --lacking)
            for (size_t c = 0; c < cards.size() && chosen.size() < limit; ++c)
                if (!cards[c].parsed && std::popcount(~cards[c].holders & wanted) == lacking) {
                    cards[c].parsed = true;
                    chosen.push_back(c);
                }
        // Parsed in the order of the backup, as the run will read them.
        std::sort(chosen.begin(), chosen.end());
        std::string text;
        for (const size_t c : chosen) {
            text += kept.Text(cards[c]);
            for (size_t i = 0; i < n; ++i)
                unparsed[i] -= (cards[c].holders >> i & 1u) == 0;
            // Parsed in slices, so that the vCards are not held twice.
            if (text.size() > kParseSlice) {
                ReadvCardText("", text, mode, counter, record, sink);
                text.clear();
            }
        }
        ReadvCardText("", text, mode, counter, record, sink);
    };

    int64_t cardsSeen = 0;
    for (const std::string& backup : backups) {
        hooks.letTheWindowWork();
        if (hooks.stopRequested()) return choice.Choose();
        const auto source = MakeFileSource(Trim(backup));
        BackupText text(*source);
        std::string why;
        if (!text.Open(why)) continue;
        CardCutter cutter(mode);
        const auto look = [&](std::string_view card) {
            hooks.cardsSeen(++cardsSeen);
            hooks.letTheWindowWork();
            CodePageChoice::Mask holders = choice.Holders(card);
            if (dateHolders != CodePageChoice::kAll && HasDateLine(card)) holders &= dateHolders;
            // Only the reader knows what an encoded value holds: as if no
            // candidate held it, the vCard is parsed.
            if (standard && HasEncodedValue(card)) holders = 0;
            if (holders == CodePageChoice::kAll) return;
            kept.Keep(card, cutAtLf, standard, holders);
            for (size_t i = 0; i < n; ++i)
                unparsed[i] += (holders >> i & 1u) == 0;
        };
        std::string_view piece;
        while (text.Next(piece)) {
            // A large backup on a slow disk takes a while: the window works
            // and a stop is heard between the pieces too.
            hooks.letTheWindowWork();
            if (hooks.stopRequested()) return choice.Choose();
            cutter.Add(piece, look);
            // Held back for later, the vCards would grow with the backup:
            // past a bound they are all parsed now, which gives the same
            // counts as parsing them later.
            if (kept.Bytes() > hooks.keptBytesBound) {
                hooks.letTheWindowWork();
                parse(CodePageChoice::kAll, SIZE_MAX);
                kept.Clear();
            }
        }
        cutter.Finish(look);
    }

    size_t batch = 256;
    for (;;) {
        if (hooks.stopRequested()) return choice.Choose();
        // The best candidate whose count is complete; when there is none, the
        // one nearest to complete is completed.
        std::optional<size_t> best;
        for (size_t i = 0; i < n; ++i)
            if (unparsed[i] == 0 && (!best || choice.ValuesLosing(i) < choice.ValuesLosing(*best)))
                best = i;
        if (!best) {
            const size_t nearest = static_cast<size_t>(
                std::min_element(unparsed.begin(), unparsed.end()) - unparsed.begin());
            parse(1u << nearest, SIZE_MAX);
            continue;
        }
        // Candidates that may still do better: fewer losses so far, or as
        // few and earlier in the order.
        uint32_t contenders = 0;
        for (size_t i = 0; i < n; ++i) {
            if (unparsed[i] == 0) continue;
            const int64_t own = choice.ValuesLosing(i), bound = choice.ValuesLosing(*best);
            if (own < bound || (own == bound && i < *best)) contenders |= 1u << i;
        }
        if (contenders == 0) {
            return {CodePageChoice::kCandidates[*best], choice.ValuesLosing(*best),
                    choice.ContactsLosing(*best)};
        }
        parse(contenders, batch);
        // Growing batches keep the number of passes over the cards small
        // when a contender has to be followed a long way.
        batch += batch / 4;
    }
}

} // namespace velloquin::app
