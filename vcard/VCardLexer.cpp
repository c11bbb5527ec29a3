#include "VCardLexer.h"

#include "core/Base64.h"
#include "core/CodePage.h"
#include "core/Text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

namespace velloquin {
namespace {

// A card keeps at most this many problems; the rest are counted.
constexpr size_t kMaxDiagnostics = 200;
// Lines outside a card are looked at only for a BEGIN; the rest of a longer
// one is skipped so that garbage between cards costs no memory.
constexpr size_t kMaxOutsideLine = 4096;

// Whether a name is this one, compared as the constant it is rather than
// through a call: every parameter's name is asked about several times.
template <size_t N> inline bool NameIs(std::string_view name, const char (&literal)[N]) {
    return name.size() == N - 1 && std::memcmp(name.data(), literal, N - 1) == 0;
}

// EqualsUpperAscii, with the sizes compared here: most comparisons end there.
inline bool SameUpper(std::string_view text, std::string_view upper) {
    return text.size() == upper.size() && EqualsUpperAscii(text, upper);
}

// The position of the first byte from pos on that is not ASCII (or the end),
// eight bytes at a time: SkipAscii without a call, for the many short values.
inline size_t AsciiEnd(std::string_view text, size_t pos) {
    while (pos + 8 <= text.size()) {
        uint64_t word = 0;
        std::memcpy(&word, text.data() + pos, 8);
        if (word & 0x8080808080808080u) break;
        pos += 8;
    }
    while (pos < text.size() && static_cast<unsigned char>(text[pos]) < 0x80)
        ++pos;
    return pos;
}

inline bool IsBlank(std::string_view line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

inline std::string_view TrimWhite(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// "BEGIN:VCARD" or "END:VCARD" in any case, white space around the value
// allowed. A line that starts with white space is a folded one, never this.
inline bool IsBoundary(std::string_view line, std::string_view keyword) {
    if (line.empty() || line.front() == ' ' || line.front() == '\t') return false;
    // Most lines begin otherwise; the rest of the test is for the few.
    if ((line.front() & ~0x20) != keyword.front()) return false;
    if (line.size() < 2 || (line[1] & ~0x20) != keyword[1]) return false;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    return SameUpper(TrimWhite(line.substr(0, colon)), keyword) &&
           SameUpper(TrimWhite(line.substr(colon + 1)), "VCARD");
}

// The position of the first ':' outside double quotes: where the value starts.
// semicolon, when given, gets the first ';' before it, quoted or not (npos
// when there is none): where the name ends.
size_t ValueColon(std::string_view line, size_t* semicolon = nullptr) {
    size_t colon = line.find(':');
    // Most headers hold no quote: the first colon is the one.
    if (colon != std::string_view::npos &&
        line.substr(0, colon).find('"') != std::string_view::npos) {
        bool quoted = false;
        colon = std::string_view::npos;
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '"') {
                quoted = !quoted;
            } else if (line[i] == ':' && !quoted) {
                colon = i;
                break;
            }
        }
    }
    if (semicolon) *semicolon = line.substr(0, colon).find(';');
    return colon;
}

// Calls each with every piece of text cut at sep outside double quotes,
// without a list (every property passes here), until each returns true;
// true when one did.
template <typename Each> bool AnyOutsideQuotes(std::string_view text, char sep, Each each) {
    bool quoted = false;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == sep && !quoted) {
            if (each(text.substr(start, i - start))) return true;
            start = i + 1;
        }
    }
    return each(text.substr(start));
}

// The same for every piece.
template <typename Each> void ForEachOutsideQuotes(std::string_view text, char sep, Each each) {
    AnyOutsideQuotes(text, sep, [&](std::string_view piece) {
        each(piece);
        return false;
    });
}

// The same pieces as a list.
std::vector<std::string_view> SplitOutsideQuotes(std::string_view text, char sep) {
    std::vector<std::string_view> parts;
    ForEachOutsideQuotes(text, sep, [&](std::string_view part) { parts.push_back(part); });
    return parts;
}

inline std::string_view Unquote(std::string_view text) {
    text = TrimWhite(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    return text;
}

// RFC 6868's caret escapes in 4.0 parameter values.
std::string DecodeCarets(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '^' && i + 1 < text.size()) {
            const char next = text[i + 1];
            if (next == 'n' || next == 'N') {
                out += '\n';
                ++i;
                continue;
            }
            if (next == '^' || next == '\'') {
                out += next == '^' ? '^' : '"';
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The 2.1 words that stand alone as an ENCODING.
bool IsEncodingWord(std::string_view word) {
    for (std::string_view known : {"QUOTED-PRINTABLE", "BASE64", "B", "8BIT", "7BIT"})
        if (SameUpper(word, known)) return true;
    return false;
}

// Calls each(name, value, index, temporary) with every parameter value of a
// header (the text before the value's colon, the property's name first), in
// order: the name as written (a bare parameter's "TYPE" or "ENCODING"), the
// value unquoted, index the parameter's place among them; temporary when the
// value is no piece of the header (a 4.0 value with carets) and lasts only
// for the call. Stops when each returns true; true when one did.
template <typename Each>
bool AnyParamValueOf(std::string_view header, VCardVersion version, Each each) {
    if (header.find(';') == std::string_view::npos) return false;
    bool first = true; // the name, not a parameter
    size_t index = 0;
    std::string decoded; // a 4.0 value with carets
    return AnyOutsideQuotes(header, ';', [&](std::string_view piece) {
        if (first) {
            first = false;
            return false;
        }
        const std::string_view part = TrimWhite(piece);
        if (part.empty()) return false;
        const size_t param = index++;
        const size_t equals = part.find('=');
        if (equals == std::string_view::npos || part.front() == '"') {
            const std::string_view value = Unquote(part);
            return each(std::string_view(IsEncodingWord(value) ? "ENCODING" : "TYPE"), value, param,
                        false);
        }
        const std::string_view name = TrimWhite(part.substr(0, equals));
        const bool isType = SameUpper(name, "TYPE");
        return AnyOutsideQuotes(part.substr(equals + 1), ',', [&](std::string_view item) {
            std::string_view value = Unquote(item);
            bool temporary = false;
            if (version == VCardVersion::V40 && value.find('^') != std::string_view::npos) {
                decoded = DecodeCarets(value);
                value = decoded;
                temporary = true;
            }
            // TYPE="work,voice" (4.0) names two types.
            if (isType && value.find(',') != std::string_view::npos)
                return AnyOutsideQuotes(value, ',', [&](std::string_view type) {
                    return each(name, TrimWhite(type), param, temporary);
                });
            return each(name, value, param, temporary);
        });
    });
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Quoted-printable to bytes; a '=' that starts no valid pair is kept as it
// is and counted.
void DecodeQuotedPrintable(std::string_view text, size_t& bad, std::string& out) {
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            out += text[i];
            continue;
        }
        if (i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
            continue;
        }
        ++bad;
        out += '=';
    }
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
            HexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
    if (text.size() < lowerPrefix.size()) return false;
    for (size_t i = 0; i < lowerPrefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lowerPrefix[i]) return false;
    }
    return true;
}

// A charset name reduced to letters and digits in upper case, so that
// "Shift_JIS", "SHIFT-JIS" and "shiftjis" meet.
std::string CharsetKey(std::string_view name) {
    std::string key;
    for (char c : TrimWhite(name))
        if (std::isalnum(static_cast<unsigned char>(c)))
            key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

void AddDiagnostic(std::vector<VCardDiagnostic>& list, uint64_t line, std::string message) {
    if (list.size() < kMaxDiagnostics) {
        list.push_back({line, std::move(message)});
    } else if (list.size() == kMaxDiagnostics) {
        list.push_back({line, "more problems in this card, not listed"});
    }
}

std::string Shown(std::string_view text) {
    std::string shown(text.substr(0, 60));
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return text.size() > 60 ? shown + "..." : shown;
}

bool IsBase64Line(std::string_view line) {
    if (line.empty()) return false;
    return std::all_of(line.begin(), line.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/' || c == '=';
    });
}

// The header of a line (up to the value's colon) says whether its value may
// continue on lines without the usual fold: quoted-printable soft breaks and
// 2.1 Base64 lines.
void EncodingOfHeader(std::string_view line, bool& quotedPrintable, bool& base64) {
    quotedPrintable = base64 = false;
    const size_t colon = ValueColon(line);
    if (colon == std::string_view::npos) return;
    AnyParamValueOf(line.substr(0, colon), VCardVersion::V30,
                    [&](std::string_view name, std::string_view value, size_t, bool) {
                        if (!SameUpper(name, "ENCODING")) return false;
                        if (SameUpper(value, "QUOTED-PRINTABLE")) quotedPrintable = true;
                        if (SameUpper(value, "BASE64") || SameUpper(value, "B")) base64 = true;
                        return false;
                    });
}

// Buffers that grew past this for one card give their room back before the
// next, so that one large picture does not hold memory for the rest.
constexpr size_t kKeptRoom = size_t{1} << 20;

void Release(std::string& text) {
    if (text.capacity() > kKeptRoom) std::string().swap(text);
    text.clear();
}

} // namespace

// ---------------------------------------------------------------- properties

std::string& TextScratch::Take() {
    if (used_ == texts_.size()) texts_.emplace_back();
    std::string& text = texts_[used_++];
    text.clear();
    return text;
}

void TextScratch::Reset() {
    for (size_t i = 0; i < used_; ++i)
        Release(texts_[i]);
    // A card of very many decoded values leaves no lasting list of them.
    if (texts_.size() > 4096) texts_.resize(4096);
    used_ = 0;
}

bool VCardPropertyView::VisitParamValues(std::string_view upperName, void* context,
                                         bool (*each)(void*, std::string_view)) const {
    if (params) {
        for (const VCardParam& param : *params)
            if (param.name == upperName)
                for (const std::string& written : param.values)
                    if (each(context, written)) return true;
        return false;
    }
    for (size_t i = 0; i < paramCount; ++i)
        if (paramViews[i].name == upperName && each(context, paramViews[i].value)) return true;
    return false;
}

std::vector<std::string> VCardPropertyView::ParamValues(std::string_view upperName) const {
    std::vector<std::string> values;
    AnyParamValue(upperName, [&](std::string_view item) {
        values.emplace_back(item);
        return false;
    });
    return values;
}

bool VCardPropertyView::HasParam(std::string_view upperName) const {
    // Every parameter has a value.
    return AnyParamValue(upperName, [](std::string_view) { return true; });
}

bool VCardPropertyView::HasType(std::string_view type) const {
    // The types asked about are mostly written in upper case already.
    std::string upperCopy;
    std::string_view upper = type;
    if (std::any_of(type.begin(), type.end(), [](char c) { return c >= 'a' && c <= 'z'; })) {
        upperCopy = UpperAscii(type);
        upper = upperCopy;
    }
    if (!params) {
        for (size_t i = 0; i < paramCount; ++i)
            if (NameIs(paramViews[i].name, "TYPE") &&
                SameUpper(TrimWhite(paramViews[i].value), upper))
                return true;
        return false;
    }
    return AnyParamValue(
        "TYPE", [&](std::string_view written) { return SameUpper(TrimWhite(written), upper); });
}

int VCardPropertyView::Pref() const {
    if (!params && paramCount == 0) return 0;
    if (!params) {
        // One pass: the first PREF parameter's first number from 1 to 100,
        // else 1; without one, 1 when a type is PREF.
        bool found = false, typePref = false;
        size_t first = 0;
        for (size_t i = 0; i < paramCount; ++i) {
            const VCardParamView& param = paramViews[i];
            if (NameIs(param.name, "PREF")) {
                if (!found) {
                    found = true;
                    first = param.index;
                } else if (param.index != first) {
                    continue;
                }
                int n = 0;
                for (char c : param.value) {
                    if (c < '0' || c > '9' || n > 100) {
                        n = 0;
                        break;
                    }
                    n = n * 10 + (c - '0');
                }
                if (n >= 1 && n <= 100) return n;
            } else if (NameIs(param.name, "TYPE") && !typePref) {
                typePref = SameUpper(TrimWhite(param.value), "PREF");
            }
        }
        return found || typePref ? 1 : 0;
    }
    // The parsed list: the first PREF parameter decides, its first number
    // from 1 to 100, else 1, since a bare PREF= or one out of range still
    // marks it.
    bool found = false;
    size_t first = 0;
    int number = 0;
    const auto check = [&](std::string_view written, size_t index) {
        if (!found) {
            found = true;
            first = index;
        } else if (index != first) {
            return true;
        }
        int n = 0;
        for (char c : written) {
            if (c < '0' || c > '9' || n > 100) {
                n = 0;
                break;
            }
            n = n * 10 + (c - '0');
        }
        if (n >= 1 && n <= 100) {
            number = n;
            return true;
        }
        return false;
    };
    for (size_t i = 0; i < params->size() && !(found && number); ++i)
        if ((*params)[i].name == "PREF")
            for (const std::string& item : (*params)[i].values)
                if (check(item, i)) break;
    if (found) return number > 0 ? number : 1;
    return HasType("PREF") ? 1 : 0;
}

VCardPropertyView VCardProperty::View() const {
    VCardPropertyView view;
    view.line = line;
    view.group = group;
    view.name = name;
    view.value = value;
    view.bytes = bytes;
    view.binary = binary;
    view.embeddedCard = embeddedCard;
    view.mediaType = mediaType;
    view.params = &params;
    return view;
}

std::vector<std::string> VCardProperty::ParamValues(std::string_view upperName) const {
    return View().ParamValues(upperName);
}

bool VCardProperty::HasParam(std::string_view upperName) const {
    return View().HasParam(upperName);
}

bool VCardProperty::HasType(std::string_view type) const {
    return View().HasType(type);
}

int VCardProperty::Pref() const {
    return View().Pref();
}

const VCardProperty* VCard::Find(std::string_view upperName) const {
    for (const VCardProperty& property : properties)
        if (property.name == upperName) return &property;
    return nullptr;
}

const VCardPropertyView* VCardView::Find(std::string_view upperName) const {
    for (const VCardPropertyView& property : properties)
        if (property.name == upperName) return &property;
    return nullptr;
}

// ---------------------------------------------------------------- the lexer

VCardLexer::VCardLexer(ByteSource& source, size_t pieceSize)
    : source_(source), pieceSize_(std::max<size_t>(pieceSize, 16)) {}

VCardLexer::~VCardLexer() = default;

bool VCardLexer::Open(std::string& why) {
    if (!source_.Open(why)) return false;
    buffer_.clear();
    pos_ = 0;
    sourceDone_ = skipLineFeed_ = started_ = false;
    encoding_ = Encoding::Utf8;
    carry_.clear();
    lineNumber_ = 0;
    inCard_ = hasPending_ = false;
    cardsBegun_ = 0;
    StartCardText();
    raw_.clear();
    agentDepth_ = 0;
    cardDiagnostics_.clear();
    fileDiagnostics_.clear();
    fileDiagnosticsDropped_ = 0;
    return true;
}

void VCardLexer::AddFileDiagnostic(uint64_t line, std::string message) {
    if (fileDiagnostics_.size() < kMaxDiagnostics)
        fileDiagnostics_.push_back({line, std::move(message)});
    else
        ++fileDiagnosticsDropped_;
}

std::vector<VCardDiagnostic> VCardLexer::TakeFileDiagnostics() {
    std::vector<VCardDiagnostic> taken;
    taken.swap(fileDiagnostics_);
    if (fileDiagnosticsDropped_ > 0) {
        taken.push_back({lineNumber_, std::to_string(fileDiagnosticsDropped_) +
                                          " more problems outside the cards, not listed"});
        fileDiagnosticsDropped_ = 0;
    }
    return taken;
}

// Whether a read brought bytes; a failed read is reported, and either way the
// source is done when none came.
bool VCardLexer::GotPiece(bool read, size_t got, const std::string& why) {
    if (!read) AddFileDiagnostic(lineNumber_, "reading stopped part way: " + why);
    if (read && got > 0) return true;
    sourceDone_ = true;
    return false;
}

// Reads the next piece into the buffer, as UTF-8 when the file is UTF-16.
// False at the end of the bytes.
bool VCardLexer::Fill() {
    if (sourceDone_) return false;
    size_t got = 0;
    std::string why;
    if (started_ && encoding_ == Encoding::Utf8 && pos_ >= buffer_.size()) {
        // Every line of the buffer is read: the next piece is read where the
        // lines are cut from, not copied there.
        buffer_.resize(pieceSize_);
        pos_ = 0;
        const bool read = source_.Read(buffer_.data(), pieceSize_, got, why);
        buffer_.resize(read ? got : 0);
        return GotPiece(read, got, why);
    }
    if (!piece_) piece_ = std::make_unique<char[]>(pieceSize_);
    const bool read = source_.Read(piece_.get(), pieceSize_, got, why);
    if (!GotPiece(read, got, why)) return false;
    std::string_view bytes(piece_.get(), got);
    if (!started_) {
        // The byte-order mark may arrive split over pieces of a few bytes;
        // the first piece is at least 16 bytes, which is enough.
        started_ = true;
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
            bytes.remove_prefix(3);
        } else if (bytes.substr(0, 2) == "\xFF\xFE") {
            encoding_ = Encoding::Utf16Le;
            bytes.remove_prefix(2);
        } else if (bytes.substr(0, 2) == "\xFE\xFF") {
            encoding_ = Encoding::Utf16Be;
            bytes.remove_prefix(2);
        }
    }
    if (pos_ > 0) {
        buffer_.erase(0, pos_);
        pos_ = 0;
    }
    if (encoding_ == Encoding::Utf8) {
        buffer_.append(bytes);
        return true;
    }
    carry_.append(bytes);
    size_t usable = carry_.size() & ~size_t{1};
    // A high surrogate waits for its partner in the next piece.
    if (usable >= 2) {
        const size_t at = usable - 2;
        const unsigned unit = encoding_ == Encoding::Utf16Le
                                  ? static_cast<unsigned char>(carry_[at]) |
                                        static_cast<unsigned char>(carry_[at + 1]) << 8
                                  : static_cast<unsigned char>(carry_[at]) << 8 |
                                        static_cast<unsigned char>(carry_[at + 1]);
        if (unit >= 0xD800 && unit <= 0xDBFF) usable -= 2;
    }
    buffer_ +=
        Utf16ToUtf8(std::string_view(carry_).substr(0, usable), encoding_ == Encoding::Utf16Be);
    carry_.erase(0, usable);
    return true;
}

// The next line, its end (CR LF, LF or CR) removed: a view into the buffer,
// or into spill_ when the line runs over a piece's end, valid until the next
// call. With capped, a line longer than kMaxOutsideLine is cut there and its
// rest skipped.
bool VCardLexer::NextPhysicalLine(std::string_view& line, bool capped) {
    spill_.clear();
    bool spilled = false;
    bool cut = false;
    for (;;) {
        if (skipLineFeed_ && pos_ < buffer_.size()) {
            if (buffer_[pos_] == '\n') ++pos_;
            skipLineFeed_ = false;
        }
        // The line's end, found with the library's fast byte search.
        const std::string_view rest = std::string_view(buffer_).substr(pos_);
        const size_t lf = rest.find('\n');
        const std::string_view upToLf = rest.substr(0, lf);
        const size_t cr = upToLf.find('\r');
        const size_t end = pos_ + (cr == std::string_view::npos ? upToLf.size() : cr);
        size_t take = 0;
        if (!cut) {
            const size_t room = capped ? kMaxOutsideLine - std::min(spill_.size(), kMaxOutsideLine)
                                       : buffer_.size();
            take = std::min(end - pos_, room);
            if (take < end - pos_) cut = true;
        }
        if (end < buffer_.size()) {
            if (spilled) {
                spill_.append(buffer_, pos_, take);
                line = spill_;
            } else {
                line = std::string_view(buffer_).substr(pos_, take);
            }
            skipLineFeed_ = buffer_[end] == '\r';
            pos_ = end + 1;
            ++lineNumber_;
            return true;
        }
        // The line goes on in the next piece, which replaces this one.
        spill_.append(buffer_, pos_, take);
        spilled = true;
        pos_ = end;
        if (!Fill()) {
            if (encoding_ != Encoding::Utf8 && !carry_.empty()) {
                // An odd last byte or a lone high surrogate.
                buffer_.erase(0, pos_);
                pos_ = 0;
                buffer_ += "\xEF\xBF\xBD";
                carry_.clear();
                continue;
            }
            if (spill_.empty() && !cut) return false;
            line = spill_;
            ++lineNumber_;
            return true;
        }
    }
}

// The last card's views end here.
void VCardLexer::StartCardText() {
    Release(cardText_);
    Release(spill_);
    folds_.clear();
    scratch_.Reset();
}

void VCardLexer::StartPending(std::string_view line) {
    pending_ = RawLine{};
    pending_.line = lineNumber_;
    pending_.begin = cardText_.size();
    pending_.foldBegin = folds_.size();
    pending_.firstLine = line.size();
    cardText_ += line;
    hasPending_ = true;
}

// The first physical line is whole until one of these is asked: only what
// they allow changes it.
bool VCardLexer::PendingQuotedPrintable() {
    if (!pending_.encodingKnown) {
        EncodingOfHeader(std::string_view(cardText_).substr(pending_.begin, pending_.firstLine),
                         pending_.quotedPrintable, pending_.base64);
        pending_.encodingKnown = true;
    }
    return pending_.quotedPrintable;
}

bool VCardLexer::PendingBase64() {
    PendingQuotedPrintable();
    return pending_.base64;
}

void VCardLexer::FinishPending() {
    if (!hasPending_) return;
    pending_.end = cardText_.size();
    if (pending_.end > pending_.begin && cardText_.back() == '=' && PendingQuotedPrintable())
        AddDiagnostic(cardDiagnostics_, pending_.line,
                      "quoted-printable value ends in a soft line break");
    raw_.push_back(pending_);
    hasPending_ = false;
}

bool VCardLexer::Next(VCard& card) {
    card = VCard{};
    if (!Next(ownedView_)) return false;
    card.version = ownedView_.version;
    card.versionGiven = ownedView_.versionGiven;
    card.beginLine = ownedView_.beginLine;
    card.endLine = ownedView_.endLine;
    card.properties.reserve(ownedView_.properties.size());
    for (const VCardPropertyView& view : ownedView_.properties) {
        VCardProperty& property = card.properties.emplace_back();
        property.line = view.line;
        property.group = view.group;
        property.name = view.name;
        for (size_t i = 0; i < view.paramCount; ++i) {
            const VCardParamView& param = view.paramViews[i];
            if (i == 0 || param.index != view.paramViews[i - 1].index)
                property.params.push_back({std::string(param.name), {}});
            property.params.back().values.emplace_back(param.value);
        }
        property.value = view.value;
        property.bytes = view.bytes;
        property.binary = view.binary;
        property.embeddedCard = view.embeddedCard;
        property.mediaType = view.mediaType;
    }
    card.diagnostics.swap(ownedView_.diagnostics);
    return true;
}

bool VCardLexer::Next(VCardView& card) {
    card.version = VCardVersion::V21;
    card.versionGiven = false;
    card.beginLine = card.endLine = 0;
    card.properties.clear();
    card.diagnostics.clear();
    // Every way out below decodes what was read, so nothing of the last card
    // is left but its views.
    StartCardText();
    std::string_view line;
    for (;;) {
        if (!inCard_) {
            if (!NextPhysicalLine(line, true)) return false;
            if (IsBlank(line)) continue;
            if (IsBoundary(line, "BEGIN")) {
                inCard_ = true;
                ++cardsBegun_;
                beginLine_ = lineNumber_;
                raw_.clear();
                cardDiagnostics_.clear();
                continue;
            }
            if (IsBoundary(line, "END"))
                AddFileDiagnostic(lineNumber_, "END:VCARD without a BEGIN:VCARD before it");
            else
                AddFileDiagnostic(lineNumber_, "line outside a card: " + Shown(line));
            continue;
        }

        if (!NextPhysicalLine(line, false)) {
            FinishPending();
            if (agentDepth_ > 0) {
                AddDiagnostic(cardDiagnostics_, lineNumber_,
                              "the AGENT's embedded card has no END:VCARD line");
                raw_.back().end = cardText_.size();
                agentDepth_ = 0;
            }
            AddDiagnostic(cardDiagnostics_, lineNumber_,
                          "the card has no END:VCARD line; it ends at the end of the file");
            card.beginLine = beginLine_;
            inCard_ = false;
            Decode(card);
            return true;
        }

        if (agentDepth_ > 0) {
            // An embedded card is kept as text; its own lexing is its reader's.
            // It grows the AGENT line, the last of the card's text.
            if (IsBoundary(line, "BEGIN")) ++agentDepth_;
            if (IsBoundary(line, "END")) --agentDepth_;
            cardText_ += line;
            cardText_ += "\r\n";
            if (agentDepth_ == 0) raw_.back().end = cardText_.size();
            continue;
        }

        if (IsBlank(line)) continue; // a blank line neither ends nor breaks a fold
        // Only a line that starts with B or E can be a boundary.
        const char first = static_cast<char>(line.front() & ~0x20);
        if (first == 'E' && IsBoundary(line, "END")) {
            FinishPending();
            card.beginLine = beginLine_;
            card.endLine = lineNumber_;
            inCard_ = false;
            Decode(card);
            return true;
        }
        if (first == 'B' && IsBoundary(line, "BEGIN")) {
            FinishPending();
            // A 2.1 AGENT with an empty value: its card follows on the next
            // lines. The last line read is the last of the card's text.
            if (!raw_.empty()) {
                RawLine& last = raw_.back();
                const std::string_view text =
                    std::string_view(cardText_).substr(last.begin, last.end - last.begin);
                const size_t colon = ValueColon(text);
                if (colon != std::string::npos && IsBlank(text.substr(colon + 1))) {
                    const std::string_view header = text.substr(0, colon);
                    const std::string_view name = header.substr(0, header.find(';'));
                    const size_t dot = name.rfind('.');
                    if (SameUpper(
                            TrimWhite(dot == std::string_view::npos ? name : name.substr(dot + 1)),
                            "AGENT")) {
                        cardText_.resize(last.begin + colon + 1);
                        last.end = cardText_.size();
                        last.agentCard = true;
                        agentDepth_ = 1;
                        cardText_ += line;
                        cardText_ += "\r\n";
                        continue;
                    }
                }
            }
            AddDiagnostic(cardDiagnostics_, lineNumber_,
                          "the card has no END:VCARD line; it ends where the next card begins");
            card.beginLine = beginLine_;
            Decode(card);
            // The new card starts here; its text follows when it is asked for.
            ++cardsBegun_;
            beginLine_ = lineNumber_;
            raw_.clear();
            cardDiagnostics_.clear();
            return true;
        }
        if (hasPending_) {
            if (cardText_.size() > pending_.begin && cardText_.back() == '=' &&
                PendingQuotedPrintable()) {
                cardText_.pop_back(); // a soft line break
                cardText_ += line;
                continue;
            }
            if (line.front() == ' ' || line.front() == '\t') {
                folds_.push_back(cardText_.size() - pending_.begin);
                ++pending_.foldCount;
                cardText_ += line;
                continue;
            }
            if (IsBase64Line(line) && PendingBase64()) {
                // 2.1 lets Base64 run on lines without white space, up to a blank line.
                cardText_ += line;
                continue;
            }
            FinishPending();
        } else if (line.front() == ' ' || line.front() == '\t') {
            AddDiagnostic(cardDiagnostics_, lineNumber_,
                          "folded line with no line before it: " + Shown(line));
            continue;
        }
        StartPending(line);
    }
}

CodePageConverter* VCardLexer::Converter(uint16_t codePage) {
    auto found = converters_.find(codePage);
    if (found == converters_.end())
        found = converters_.emplace(codePage, std::make_unique<CodePageConverter>(codePage)).first;
    return found->second->Available() ? found->second.get() : nullptr;
}

// Bytes to UTF-8: by the CHARSET parameter when there is one, else as UTF-8
// with each stray byte a Windows-1252 character. Text that is UTF-8 already,
// as most is, is handed back as it is.
std::string_view VCardLexer::DecodeText(std::string_view bytes, std::string_view name,
                                        uint64_t line, const std::string_view* charsetGiven) {
    // A UTF-16 file arrives as UTF-8 already; a CHARSET there describes nothing.
    if (encoding_ == Encoding::Utf8 && charsetGiven) {
        const std::string_view charset = *charsetGiven;
        {
            const std::optional<uint16_t> codePage = CodePageForCharset(charset);
            if (!codePage) {
                AddDiagnostic(cardDiagnostics_, line,
                              "unknown CHARSET " + Shown(charset) + ", read as UTF-8");
            } else if (*codePage != 65001) {
                if (CodePageConverter* converter = Converter(*codePage)) {
                    std::string& out = scratch_.Take();
                    converter->Decode(bytes, out);
                    return out;
                }
                AddDiagnostic(cardDiagnostics_, line,
                              "CHARSET " + Shown(charset) + " cannot be read here, read as UTF-8");
            }
        }
    }
    size_t pos = 0;
    for (;;) {
        pos = AsciiEnd(bytes, pos);
        if (pos >= bytes.size()) return bytes;
        char32_t cp = 0;
        const size_t length = Utf8CharLength(bytes, pos, cp);
        if (length == 0) break;
        pos += length;
    }
    std::string& out = scratch_.Take();
    out.append(bytes.substr(0, pos));
    size_t stray = 0;
    while (pos < bytes.size()) {
        const size_t ascii = SkipAscii(bytes, pos);
        out.append(bytes.substr(pos, ascii - pos));
        pos = ascii;
        if (pos >= bytes.size()) break;
        char32_t cp = 0;
        const size_t length = Utf8CharLength(bytes, pos, cp);
        if (length > 0) {
            out.append(bytes.substr(pos, length));
            pos += length;
        } else {
            out += Cp1252ToUtf8(bytes.substr(pos, 1));
            ++stray;
            ++pos;
        }
    }
    AddDiagnostic(cardDiagnostics_, line,
                  std::to_string(stray) + " bytes of " + std::string(name) +
                      " are not UTF-8, read as Windows-1252");
    return out;
}

void VCardLexer::DecodeLine(const RawLine& raw, VCardView& card) {
    // Unfolding: 3.0 and 4.0 drop the line end and the one white space
    // character after it; 2.1 (RFC 822) drops only the line end. The line
    // closes up where it is: nothing reads its folded form after this.
    char* const base = cardText_.data() + raw.begin;
    size_t size = raw.end - raw.begin;
    if (card.version != VCardVersion::V21 && raw.foldCount > 0) {
        size_t to = 0, from = 0;
        for (size_t i = 0; i < raw.foldCount; ++i) {
            const size_t fold = std::min(folds_[raw.foldBegin + i], size);
            if (fold < from) continue;
            std::memmove(base + to, base + from, fold - from);
            to += fold - from;
            from = fold + 1;
        }
        if (from < size) {
            std::memmove(base + to, base + from, size - from);
            to += size - from;
        }
        size = to;
    }
    const std::string_view text(base, size);

    size_t semicolon = std::string_view::npos;
    const size_t colon = ValueColon(text, &semicolon);
    if (colon == std::string::npos) {
        AddDiagnostic(cardDiagnostics_, raw.line,
                      "line without a ':' is no property: " + Shown(text));
        return;
    }
    const std::string_view header = text.substr(0, colon);
    const std::string_view fullName = TrimWhite(header.substr(0, semicolon));
    const size_t dot = fullName.rfind('.');
    const std::string_view name =
        dot == std::string_view::npos ? fullName : fullName.substr(dot + 1);
    if (name.empty()) {
        AddDiagnostic(cardDiagnostics_, raw.line, "property without a name: " + Shown(text));
        return;
    }
    // Every property from here on is kept.
    VCardPropertyView& property = card.properties.emplace_back();
    property.line = raw.line;
    if (dot != std::string_view::npos) property.group = fullName.substr(0, dot);
    // The name in upper case, where it is written.
    char* const upper = base + (name.data() - text.data());
    for (size_t i = 0; i < name.size(); ++i)
        if (upper[i] >= 'a' && upper[i] <= 'z') upper[i] = static_cast<char>(upper[i] - 'a' + 'A');
    property.name = name;
    std::string_view value = text.substr(colon + 1);

    // The parameters, once, as views: their names put in upper case where
    // they are written. Every property from here on is kept, so each one's
    // parameters follow the last one's in the list (see Decode).
    const size_t firstParam = paramViews_.size();
    if (semicolon != std::string_view::npos)
        AnyParamValueOf(
            header, card.version,
            [&](std::string_view written, std::string_view item, size_t index, bool temporary) {
                if (temporary) {
                    std::string& kept = scratch_.Take();
                    kept = item;
                    item = kept;
                }
                for (size_t i = 0; i < written.size(); ++i)
                    if (written[i] >= 'a' && written[i] <= 'z') {
                        char* const at = base + (written.data() + i - text.data());
                        *at = static_cast<char>(*at - 'a' + 'A');
                    }
                paramViews_.push_back({written, item, index});
                return false;
            });
    property.paramCount = paramViews_.size() - firstParam;
    std::string_view charsetValue;
    const std::string_view* charset = nullptr;
    bool quotedPrintable = false, base64 = false;
    for (size_t i = firstParam; i < paramViews_.size(); ++i) {
        const VCardParamView& param = paramViews_[i];
        if (NameIs(param.name, "CHARSET") && !charset) {
            charsetValue = param.value;
            charset = &charsetValue;
        }
        if (!NameIs(param.name, "ENCODING") || raw.agentCard) continue;
        const std::string_view encoding = param.value;
        if (SameUpper(encoding, "QUOTED-PRINTABLE"))
            quotedPrintable = true;
        else if (SameUpper(encoding, "BASE64") || SameUpper(encoding, "B"))
            base64 = true;
        else if (!SameUpper(encoding, "8BIT") && !SameUpper(encoding, "7BIT"))
            AddDiagnostic(cardDiagnostics_, raw.line,
                          "unknown ENCODING " + Shown(encoding) + " on " +
                              std::string(property.name));
    }

    if (raw.agentCard) {
        // The embedded card (see Next), kept as text.
        property.embeddedCard = true;
        property.value = DecodeText(value, property.name, raw.line, charset);
        return;
    }

    if (base64) {
        std::string why;
        if (std::optional<std::string> bytes = Base64Decode(value, &why)) {
            std::string& kept = scratch_.Take();
            kept = std::move(*bytes);
            property.bytes = kept;
            property.binary = true;
        } else {
            AddDiagnostic(cardDiagnostics_, raw.line,
                          std::string(property.name) + " is not Base64 (" + why + ")");
            property.value = DecodeText(value, property.name, raw.line, charset);
        }
        return;
    }

    size_t lead = 0; // white space before the value, which a data: URI may have
    while (lead < value.size() && (value[lead] == ' ' || value[lead] == '\t'))
        ++lead;
    if (StartsWithNoCase(value.substr(lead), "data:")) {
        // data:[<media type>][;base64],<data> (RFC 2397), as 4.0 writes pictures.
        const std::string_view uri = TrimWhite(value);
        const size_t comma = uri.find(',');
        if (comma != std::string_view::npos) {
            const std::string_view meta = uri.substr(5, comma - 5);
            const std::string_view data = uri.substr(comma + 1);
            const std::vector<std::string_view> parts = SplitOutsideQuotes(meta, ';');
            std::string& mediaType = scratch_.Take();
            mediaType = LowerAscii(TrimWhite(parts.front()));
            property.mediaType = mediaType;
            const bool isBase64 = SameUpper(TrimWhite(parts.back()), "BASE64") && parts.size() > 1;
            std::string why;
            if (!isBase64) {
                std::string& kept = scratch_.Take();
                kept = PercentDecode(data);
                property.bytes = kept;
                property.binary = true;
            } else if (std::optional<std::string> bytes = Base64Decode(data, &why)) {
                std::string& kept = scratch_.Take();
                kept = std::move(*bytes);
                property.bytes = kept;
                property.binary = true;
            } else {
                AddDiagnostic(cardDiagnostics_, raw.line,
                              std::string(property.name) + " data: URI is not Base64 (" + why +
                                  ")");
            }
            if (property.binary) return;
        } else {
            AddDiagnostic(cardDiagnostics_, raw.line,
                          std::string(property.name) + " data: URI without a ','");
        }
    }

    if (quotedPrintable) {
        size_t bad = 0;
        std::string& bytes = scratch_.Take();
        DecodeQuotedPrintable(value, bad, bytes);
        if (bad > 0)
            AddDiagnostic(cardDiagnostics_, raw.line,
                          std::to_string(bad) + " '=' in the quoted-printable " +
                              std::string(property.name) + " start no hex pair; kept as written");
        property.value = DecodeText(bytes, property.name, raw.line, charset);
    } else {
        property.value = DecodeText(value, property.name, raw.line, charset);
    }
}

void VCardLexer::Decode(VCardView& card) {
    // The version rules the unfolding and the escapes of every line, so it
    // is found first, wherever the card has it.
    card.version = VCardVersion::V21;
    for (const RawLine& raw : raw_) {
        const std::string_view rawText =
            std::string_view(cardText_).substr(raw.begin, raw.end - raw.begin);
        const size_t colon = ValueColon(rawText);
        if (colon == std::string::npos) continue;
        std::string_view header = rawText.substr(0, colon);
        header = TrimWhite(header.substr(0, header.find(';')));
        if (!SameUpper(header, "VERSION")) continue;
        const std::string_view value = TrimWhite(rawText.substr(colon + 1));
        card.versionGiven = true;
        if (value == "2.1") {
            card.version = VCardVersion::V21;
        } else if (value == "3.0") {
            card.version = VCardVersion::V30;
        } else if (value == "4.0") {
            card.version = VCardVersion::V40;
        } else {
            card.version = !value.empty() && value.front() == '4'   ? VCardVersion::V40
                           : !value.empty() && value.front() == '3' ? VCardVersion::V30
                                                                    : VCardVersion::V21;
            AddDiagnostic(cardDiagnostics_, raw.line,
                          "unknown VERSION " + Shown(value) + ", read by the nearest rules");
        }
        break;
    }
    if (!card.versionGiven)
        AddDiagnostic(cardDiagnostics_, beginLine_, "no VERSION line; read as vCard 2.1");
    card.properties.reserve(raw_.size());
    paramViews_.clear();
    for (const RawLine& raw : raw_)
        DecodeLine(raw, card);
    raw_.clear();
    // The parameters' list is whole and stays where it is.
    size_t firstParam = 0;
    for (VCardPropertyView& property : card.properties) {
        property.paramViews = paramViews_.data() + firstParam;
        firstParam += property.paramCount;
    }
    card.diagnostics.swap(cardDiagnostics_);
    cardDiagnostics_.clear();
    std::stable_sort(
        card.diagnostics.begin(), card.diagnostics.end(),
        [](const VCardDiagnostic& a, const VCardDiagnostic& b) { return a.line < b.line; });
}

// ---------------------------------------------------------------- escapes

void SplitComponentViews(std::string_view value, VCardVersion version,
                         std::vector<std::string_view>& out) {
    // An escape keeps both its characters, so every component is a piece of
    // the value.
    out.clear();
    size_t start = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size() &&
            (version != VCardVersion::V21 || value[i + 1] == ';' || value[i + 1] == '\\')) {
            ++i;
        } else if (c == ';') {
            out.push_back(value.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(value.substr(start));
}

std::vector<std::string> SplitComponents(std::string_view value, VCardVersion version) {
    std::vector<std::string_view> views;
    SplitComponentViews(value, version, views);
    return {views.begin(), views.end()};
}

namespace {

// Unescapes one item; stops at an unescaped sep when split is true and
// returns where it stopped.
size_t UnescapeUntil(std::string_view text, size_t from, char sep, bool split, std::string& out) {
    size_t i = from;
    while (i < text.size()) {
        // The run up to the next backslash or separator goes in whole.
        size_t run = i;
        while (run < text.size() && text[run] != '\\' && !(split && text[run] == sep))
            ++run;
        out.append(text, i, run - i);
        i = run;
        if (i >= text.size()) break;
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            if (next == 'n' || next == 'N')
                out += '\n';
            else if (next == ',' || next == ';' || next == '\\')
                out += next;
            else {
                // Not an escape the standards define: kept as written.
                out += '\\';
                out += next;
            }
            ++i;
        } else if (c == '\\') {
            out += c; // a backslash at the very end
            ++i;
        } else {
            return i; // the separator
        }
    }
    return i;
}

} // namespace

std::vector<std::string> SplitListItems(std::string_view component, VCardVersion version) {
    if (version == VCardVersion::V21) return {UnescapeComponent(component, version)};
    std::vector<std::string> items;
    size_t pos = 0;
    for (;;) {
        std::string item;
        pos = UnescapeUntil(component, pos, ',', true, item);
        items.push_back(std::move(item));
        if (pos >= component.size()) break;
        ++pos;
    }
    return items;
}

std::string UnescapeText(std::string_view value, VCardVersion version) {
    std::string out;
    AppendUnescapedText(value, version, out);
    return out;
}

void AppendUnescapedText(std::string_view value, VCardVersion version, std::string& out) {
    if (version == VCardVersion::V21)
        out += value;
    else
        UnescapeUntil(value, 0, 0, false, out);
}

std::string UnescapeComponent(std::string_view component, VCardVersion version) {
    if (version != VCardVersion::V21) return UnescapeText(component, version);
    std::string out;
    for (size_t i = 0; i < component.size(); ++i) {
        if (component[i] == '\\' && i + 1 < component.size() &&
            (component[i + 1] == ';' || component[i + 1] == '\\')) {
            out += component[++i];
        } else {
            out += component[i];
        }
    }
    return out;
}

// ---------------------------------------------------------------- dates

namespace {

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int Number(std::string_view digits) {
    int n = 0;
    for (char c : digits)
        n = n * 10 + (c - '0');
    return n;
}

int DaysInMonth(int year, int month) {
    static constexpr std::array<int, 12> days{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && year != 0 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0))
        return 29;
    if (month == 2 && year == 0) return 29; // without a year, 29 February may be meant
    return days[static_cast<size_t>(month - 1)];
}

// A time of day with an optional zone: hh[mm[ss]] or hh:mm[:ss], a fraction,
// then Z, +hh, +hhmm or +hh:mm.
bool ValidTime(std::string_view time) {
    size_t zone = time.find_first_of("Zz+-");
    std::string_view clock = time.substr(0, zone);
    if (zone != std::string_view::npos) {
        std::string_view offset = time.substr(zone);
        if (offset == "Z" || offset == "z") {
        } else {
            offset.remove_prefix(1);
            std::string digits;
            for (char c : offset)
                if (c != ':') digits += c;
            if (!AllDigits(digits) || (digits.size() != 2 && digits.size() != 4)) return false;
        }
    }
    const size_t fraction = clock.find_first_of(".,");
    if (fraction != std::string_view::npos) {
        if (!AllDigits(clock.substr(fraction + 1))) return false;
        clock = clock.substr(0, fraction);
    }
    std::string digits;
    for (char c : clock)
        if (c != ':') digits += c;
    if (!AllDigits(digits) || digits.size() % 2 != 0 || digits.size() > 6) return false;
    if (Number(digits.substr(0, 2)) > 24) return false;
    if (digits.size() >= 4 && Number(digits.substr(2, 2)) > 59) return false;
    if (digits.size() >= 6 && Number(digits.substr(4, 2)) > 60) return false;
    return true;
}

} // namespace

VCardDate ParseVCardDate(std::string_view text) {
    VCardDate date;
    text = TrimWhite(text);
    std::string_view day = text;
    // find_first_of would ask memchr about each byte.
    const size_t t = std::min(text.find('T'), text.find('t'));
    if (t != std::string_view::npos) {
        day = text.substr(0, t);
        date.hasTime = true;
        if (!ValidTime(text.substr(t + 1))) {
            date.problem = "not a date";
            return date;
        }
        if (day.empty()) {
            date.problem = "a time without a date";
            return date;
        }
    }
    std::string_view yearPart, monthPart, dayPart;
    if (day.substr(0, 3) == "---") {
        dayPart = day.substr(3);
        if (dayPart.size() != 2) dayPart = {};
    } else if (day.substr(0, 2) == "--") {
        // --MMDD, --MM-DD or --MM: no year.
        const std::string_view rest = day.substr(2);
        if (rest.size() == 4) {
            monthPart = rest.substr(0, 2);
            dayPart = rest.substr(2);
        } else if (rest.size() == 5 && rest[2] == '-') {
            monthPart = rest.substr(0, 2);
            dayPart = rest.substr(3);
        } else if (rest.size() == 2) {
            monthPart = rest;
        }
    } else if (day.size() == 8 && AllDigits(day)) {
        yearPart = day.substr(0, 4);
        monthPart = day.substr(4, 2);
        dayPart = day.substr(6, 2);
    } else if (day.size() == 10 && day[4] == '-' && day[7] == '-') {
        yearPart = day.substr(0, 4);
        monthPart = day.substr(5, 2);
        dayPart = day.substr(8, 2);
    } else if (day.size() == 7 && day[4] == '-') {
        yearPart = day.substr(0, 4);
        monthPart = day.substr(5, 2);
    } else if (day.size() == 4) {
        yearPart = day;
    }
    const bool any = !yearPart.empty() || !monthPart.empty() || !dayPart.empty();
    if (!any || (!yearPart.empty() && !AllDigits(yearPart)) ||
        (!monthPart.empty() && !AllDigits(monthPart)) ||
        (!dayPart.empty() && !AllDigits(dayPart))) {
        date.problem = "not a date";
        return date;
    }
    date.year = yearPart.empty() ? 0 : Number(yearPart);
    date.month = monthPart.empty() ? 0 : Number(monthPart);
    date.day = dayPart.empty() ? 0 : Number(dayPart);
    if ((!monthPart.empty() && (date.month < 1 || date.month > 12)) ||
        (!dayPart.empty() &&
         (date.day < 1 || date.day > (date.month ? DaysInMonth(date.year, date.month) : 31))) ||
        (!yearPart.empty() && date.year == 0)) {
        date = VCardDate{};
        date.problem = "not a date";
        return date;
    }
    if (date.year == 0)
        date.problem = date.month && date.day ? "no year" : "neither year nor full date";
    else if (date.month == 0)
        date.problem = "only a year";
    else if (date.day == 0)
        date.problem = "no day";
    return date;
}

// ---------------------------------------------------------------- pictures

std::string PictureTypeFromMagic(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xFF\xD8\xFF") return "jpeg";
    if (bytes.substr(0, 8) == "\x89PNG\r\n\x1A\n") return "png";
    if (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a") return "gif";
    if (bytes.substr(0, 2) == "BM" && bytes.size() >= 14) return "bmp";
    if (bytes.substr(0, 4) == std::string_view("II*\0", 4) ||
        bytes.substr(0, 4) == std::string_view("MM\0*", 4))
        return "tiff";
    return {};
}

namespace {

// The type a TYPE or MEDIATYPE value names ("JPEG", "image/jpeg", "jpg").
std::string PictureTypeFromName(std::string_view name) {
    std::string lower = LowerAscii(TrimWhite(name));
    if (lower.rfind("image/", 0) == 0) lower.erase(0, 6);
    if (lower == "jpeg" || lower == "jpg" || lower == "pjpeg") return "jpeg";
    if (lower == "png") return "png";
    if (lower == "gif") return "gif";
    if (lower == "bmp" || lower == "x-bmp") return "bmp";
    if (lower == "tiff" || lower == "tif") return "tiff";
    return {};
}

std::string ExtensionOf(std::string_view type) {
    if (type == "jpeg") return "jpg";
    if (type == "tiff") return "tif";
    return std::string(type);
}

} // namespace

VCardPicture PictureOf(const VCardProperty& property) {
    return PictureOf(property.View());
}

VCardPicture PictureOf(const VCardPropertyView& property) {
    VCardPicture picture;
    std::string declared;
    const auto known = [&declared](std::string_view name) {
        declared = PictureTypeFromName(name);
        return !declared.empty();
    };
    if (!property.AnyParamValue("TYPE", known)) property.AnyParamValue("MEDIATYPE", known);
    if (declared.empty() && !property.mediaType.empty())
        declared = PictureTypeFromName(property.mediaType);

    const auto finish = [&](std::string bytes) {
        picture.kind = VCardPicture::Kind::Inline;
        picture.bytes = std::move(bytes);
        picture.type = PictureTypeFromMagic(picture.bytes);
        if (picture.type.empty()) {
            picture.type = declared;
            picture.problem = declared.empty() ? "the picture's type is unknown"
                                               : "the bytes do not show the declared type";
        } else if (!declared.empty() && declared != picture.type) {
            picture.problem = "declared " + declared + " but the bytes are " + picture.type;
        }
        picture.extension = ExtensionOf(picture.type);
    };

    if (property.binary) {
        finish(std::string(property.bytes));
        return picture;
    }
    const std::string_view value = TrimWhite(property.value);
    if (value.empty()) return picture;
    bool uri = property.AnyParamValue("VALUE", [](std::string_view kind) {
        return SameUpper(kind, "URI") || SameUpper(kind, "URL") || SameUpper(kind, "CONTENT-ID") ||
               SameUpper(kind, "CID");
    });
    for (std::string_view scheme : {"http:", "https:", "ftp:", "file:", "cid:"})
        if (StartsWithNoCase(value, scheme)) uri = true;
    if (uri) {
        picture.kind = VCardPicture::Kind::Uri;
        picture.uri = std::string(value);
        picture.type = declared;
        picture.extension = ExtensionOf(declared);
        picture.problem = "the picture is only an address, not fetched";
        return picture;
    }
    if (property.HasParam("ENCODING")) {
        // A Base64 that did not decode (reported by the lexer).
        picture.kind = VCardPicture::Kind::Bad;
        picture.problem = "the picture's Base64 does not decode";
        return picture;
    }
    // Some writers leave out ENCODING: Base64 that decodes to a known
    // picture is taken.
    if (std::optional<std::string> bytes = Base64Decode(value);
        bytes && !PictureTypeFromMagic(*bytes).empty()) {
        finish(std::move(*bytes));
        picture.problem = "no ENCODING parameter; read as Base64";
        return picture;
    }
    picture.kind = VCardPicture::Kind::Bad;
    picture.problem = "the value is neither Base64 nor an address";
    return picture;
}

// ---------------------------------------------------------------- charsets

std::optional<uint16_t> CodePageForCharset(std::string_view charset) {
    const std::string key = CharsetKey(charset);
    struct Entry {
        std::string_view key;
        uint16_t codePage;
    };
    static constexpr Entry kCharsets[] = {
        {"UTF8", 65001},      {"USASCII", 65001},   {"ASCII", 65001},    {"ISO88591", 28591},
        {"LATIN1", 28591},    {"ISO88592", 28592},  {"ISO88593", 28593}, {"ISO88594", 28594},
        {"ISO88595", 28595},  {"ISO88596", 28596},  {"ISO88597", 28597}, {"ISO88598", 28598},
        {"ISO88599", 28599},  {"ISO885910", 28600}, {"ISO885911", 874},  {"ISO885913", 28603},
        {"ISO885915", 28605}, {"LATIN9", 28605},    {"SHIFTJIS", 932},   {"SJIS", 932},
        {"MSKANJI", 932},     {"WINDOWS31J", 932},  {"CP932", 932},      {"EUCJP", 20932},
        {"ISO2022JP", 50220}, {"GB2312", 936},      {"GBK", 936},        {"CP936", 936},
        {"EUCCN", 936},       {"GB18030", 54936},   {"BIG5", 950},       {"CP950", 950},
        {"EUCKR", 949},       {"KSC56011987", 949}, {"CP949", 949},      {"UHC", 949},
        {"KOI8R", 20866},     {"KOI8U", 21866},     {"TIS620", 874},     {"WINDOWS874", 874},
        {"CP874", 874},
    };
    for (const Entry& entry : kCharsets)
        if (entry.key == key) return entry.codePage;
    // WINDOWS-1250..1258 and CP1250..1258.
    for (std::string_view prefix : {"WINDOWS", "CP"}) {
        if (key.rfind(prefix, 0) != 0) continue;
        const std::string_view digits = std::string_view(key).substr(prefix.size());
        if (digits.size() == 4 && AllDigits(digits)) {
            const int number = Number(digits);
            if (number >= 1250 && number <= 1258) return static_cast<uint16_t>(number);
        }
    }
    return std::nullopt;
}

} // namespace velloquin
