#include "Rules.h"

#include "core/Dates.h"
#include "core/Text.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <vector>

namespace velloquin {
namespace {

constexpr size_t kShownValueLength = 60;

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Text cut at every separator: how many parts there are, and the first few,
// as many as any rule looks at. Held in place, as every property line with
// components passes here. Empty text has no parts at all, so "N:" writes no
// component.
struct Parts {
    static constexpr size_t kKept = 7;
    std::string_view part[kKept];
    size_t count = 0;
    size_t size() const { return count; }
    std::string_view operator[](size_t i) const { return part[i]; }
};

Parts Split(std::string_view text, char separator) {
    Parts parts;
    if (text.empty()) return parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        const std::string_view piece =
            text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start);
        if (parts.count < Parts::kKept) parts.part[parts.count] = piece;
        ++parts.count;
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

// A note's line breaks, written "=0D=0A" (quoted-printable) or backslash n, as
// CR LF. The two never overlap, so one pass replaces both.
void NoteText(std::string_view text, std::string& out) {
    out.clear();
    size_t start = 0;
    // Not find_first_of: it asks memchr about every byte of the text.
    const auto next = [text](size_t from) {
        for (; from < text.size(); ++from)
            if (text[from] == '=' || text[from] == '\\') return from;
        return std::string_view::npos;
    };
    for (size_t at = next(0); at != std::string_view::npos; at = next(at)) {
        const std::string_view rest = text.substr(at);
        const size_t length = rest.starts_with("=0D=0A") ? 6 : rest.starts_with("\\n") ? 2 : 0;
        if (length == 0) {
            ++at;
            continue;
        }
        out.append(text, start, at - start);
        out += "\r\n";
        at += length;
        start = at;
    }
    out.append(text, start, std::string_view::npos);
}

// Characters (not bytes) start..start+length-1 of text, 1-based.
std::string_view Mid(std::string_view text, size_t start, size_t length) {
    // ASCII, as dates nearly always are: a character is a byte.
    if (SkipAscii(text, 0) == text.size())
        return start - 1 >= text.size() ? std::string_view() : text.substr(start - 1, length);
    const size_t skip = Utf8Prefix(text, start - 1).size();
    const std::string_view rest = text.substr(skip);
    return rest.substr(0, Utf8Prefix(rest, length).size());
}

// "YYYYMMDD" laid out as "YYYY MM DD"; a short value leaves places empty.
std::string DateLayout(std::string_view p1) {
    std::string s(Mid(p1, 1, 4));
    s += ' ';
    s += Mid(p1, 5, 2);
    s += ' ';
    s += Mid(p1, 7, 2);
    return s;
}

std::string FormatYmd(double serial) {
    const CivilDate d = CivilFromSerial(serial);
    if (d.year >= 0 && d.year <= 9999 && d.month >= 0 && d.month <= 99 && d.day >= 0 &&
        d.day <= 99) {
        const char text[10] = {static_cast<char>('0' + d.year / 1000),
                               static_cast<char>('0' + d.year / 100 % 10),
                               static_cast<char>('0' + d.year / 10 % 10),
                               static_cast<char>('0' + d.year % 10),
                               ' ',
                               static_cast<char>('0' + d.month / 10),
                               static_cast<char>('0' + d.month % 10),
                               ' ',
                               static_cast<char>('0' + d.day / 10),
                               static_cast<char>('0' + d.day % 10)};
        return std::string(text, sizeof text);
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d %02d %02d", d.year, d.month, d.day);
    return buffer;
}

// The property names the rules compare a line's name with.
enum class Name : uint8_t {
    Other,
    N,
    FN,
    ORG,
    TEL,
    ADR,
    URL,
    NOTE,
    ROLE,
    BDAY,
    TITLE,
    EMAIL,
    CATEGORIES,
    SkypeUserName,
    SkypePstnNumber,
    SkypeDisplayName,
};

// The name in ASCII upper case compared whole: "N" is "N:" and "N;" but not
// "NICKNAME". Each length has a few names at most.
Name Classify(std::string_view name) {
    constexpr size_t kLongest = 19;
    if (name.empty() || name.size() > kLongest) return Name::Other;
    char buffer[kLongest];
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        buffer[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    const std::string_view u(buffer, name.size());
    switch (u.size()) {
    case 1:
        return u == "N" ? Name::N : Name::Other;
    case 2:
        return u == "FN" ? Name::FN : Name::Other;
    case 3:
        return u == "TEL"   ? Name::TEL
               : u == "ADR" ? Name::ADR
               : u == "ORG" ? Name::ORG
               : u == "URL" ? Name::URL
                            : Name::Other;
    case 4:
        return u == "NOTE"   ? Name::NOTE
               : u == "BDAY" ? Name::BDAY
               : u == "ROLE" ? Name::ROLE
                             : Name::Other;
    case 5:
        return u == "EMAIL" ? Name::EMAIL : u == "TITLE" ? Name::TITLE : Name::Other;
    case 10:
        return u == "CATEGORIES" ? Name::CATEGORIES : Name::Other;
    case 16:
        return u == "X-SKYPE-USERNAME" ? Name::SkypeUserName : Name::Other;
    case 18:
        return u == "X-SKYPE-PSTNNUMBER" ? Name::SkypePstnNumber : Name::Other;
    case 19:
        return u == "X-SKYPE-DISPLAYNAME" ? Name::SkypeDisplayName : Name::Other;
    default:
        return Name::Other;
    }
}

// Whether text, put in ASCII lower case, holds part (which is lower case).
bool ContainsLower(std::string_view text, std::string_view part) {
    for (size_t i = 0; i + part.size() <= text.size(); ++i) {
        size_t k = 0;
        for (; k < part.size(); ++k) {
            const char c = text[i + k];
            if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != part[k]) break;
        }
        if (k == part.size()) return true;
    }
    return false;
}

// One piece cut up the ways the rules look at it. Views into the piece: the
// rules run on every line of a backup, and copy only what they store.
struct Piece {
    std::string_view T;
    Name name = Name::Other; // T up to its first ":" or ";"
    size_t colon = 0;        // T's first ":"; the rules see no line without one
    std::string_view P0, P1; // T before its first ":", and from there to the next
    std::string_view V;      // P1 trimmed
    LineWords words;

    // What ends the name: ":" or ";".
    char AfterName(size_t nameLength) const { return T[nameLength]; }
    // The texts after the first ":" cut at the colons: the third, and how
    // many colons there are. Only URL lines ask.
    std::string_view P2() const {
        const size_t second = T.find(':', colon + 1);
        if (second == std::string_view::npos) return {};
        const size_t third = T.find(':', second + 1);
        return T.substr(second + 1, third == std::string_view::npos ? std::string_view::npos
                                                                    : third - second - 1);
    }
    size_t Colons() const {
        return static_cast<size_t>(std::count(T.begin() + colon, T.end(), ':'));
    }
    // P0 trimmed, in lower case: the parameters, for the rules that read them.
    std::string_view LowerParams() const {
        thread_local std::string lower;
        const std::string_view p0 = TrimView(P0);
        lower.resize(p0.size());
        for (size_t i = 0; i < p0.size(); ++i) {
            const char c = p0[i];
            lower[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
        return lower;
    }
};

void Analyse(std::string_view T, size_t colon, Piece& piece) {
    piece.T = T;
    piece.colon = colon;
    // Names are short: the scan stops within a few bytes.
    size_t nameEnd = 0;
    while (T[nameEnd] != ':' && T[nameEnd] != ';')
        ++nameEnd;
    piece.name = Classify(T.substr(0, nameEnd));
    piece.P0 = T.substr(0, colon);
    const size_t second = T.find(':', colon + 1);
    piece.P1 = T.substr(colon + 1, second == std::string_view::npos ? std::string_view::npos
                                                                    : second - colon - 1);
    piece.V = TrimView(piece.P1);
    piece.words = FindLineWords(T, colon);
}

// The note quotes the text that was tested, which the rules may have cut out
// of the value and laid out anew ("19850327" is tested as "1985 03 27"), and
// then the value it came from when the two differ.
void StoreDate(RuleContext& ctx, double& field, std::string_view tested, std::string_view value,
               const char* what) {
    if (const auto day = ConvertDate(tested)) {
        field = *day;
        return;
    }
    std::string message = std::string(what) + " \"" + ShownValue(tested) + "\"";
    if (tested != value) message += " (taken from \"" + ShownValue(value) + "\")";
    NoteContact(ctx, message + " is not a date with day, month and year; it was left empty.");
}

void RuleN(const Piece& c, ReadMode mode, ContactRecord& r) {
    if (c.name != Name::N) return;
    if (mode == ReadMode::Normal && IsNumeric(c.P1)) return;
    std::string* targets[] = {&r.eContact_LastName, &r.eContact_FirstName, &r.eContact_MiddleName,
                              &r.eContact_Title, &r.eContact_Suffix};
    const auto parts = Split(c.V, ';');
    for (size_t i = 0; i < parts.size() && i < std::size(targets); ++i)
        targets[i]->assign(parts[i]);
}

void RuleSkypeNames(const Piece& c, ContactRecord& r) {
    if (c.name == Name::SkypeUserName) r.eContact_FullName = c.V;
    // A display name given with parameters only replaces a full name that is
    // a bare number (a telephone contact).
    if (c.name == Name::SkypeDisplayName &&
        (c.AfterName(19) == ':' || IsNumeric(r.eContact_FullName)))
        r.eContact_FullName = c.V;
}

// The words the telephone rule looks for in a line's parameters (in lower
// case), found in one pass rather than a search for each.
struct TelWords {
    bool voice = false, pstn = false, work = false, home = false;
    bool cell = false, pager = false, fax = false, car = false;
};

TelWords FindTelWords(std::string_view p) {
    TelWords w;
    for (size_t i = 0; i < p.size(); ++i) {
        const std::string_view rest = p.substr(i);
        switch (p[i]) {
        case 'v':
            w.voice = w.voice || rest.starts_with("voice");
            break;
        case 'x':
            w.pstn = w.pstn || rest.starts_with("x-skype-pstnnumber");
            break;
        case 'w':
            w.work = w.work || rest.starts_with("work");
            break;
        case 'h':
            w.home = w.home || rest.starts_with("home");
            break;
        case 'c':
            w.cell = w.cell || rest.starts_with("cell");
            w.car = w.car || rest.starts_with("car");
            break;
        case 'p':
            w.pager = w.pager || rest.starts_with("pager");
            break;
        case 'f':
            w.fax = w.fax || rest.starts_with("fax");
            break;
        default:
            break;
        }
    }
    return w;
}

void RuleTelephone(const Piece& c, ReadMode mode, ContactRecord& r) {
    const bool isTel =
        c.name == Name::TEL ||
        (mode == ReadMode::Normal && c.name == Name::SkypePstnNumber && c.AfterName(18) == ':');
    if (!isTel) return;
    const std::string_view p = c.LowerParams();
    const std::string_view v = c.V;
    const bool advance = mode == ReadMode::Advance;
    const TelWords w = FindTelWords(p);
    auto storeIfEmpty = [&v](std::string& field) {
        if (field.empty()) field = v;
    };

    if (!advance && w.pstn) storeIfEmpty(r.eContact_OfficePhone);
    if (advance && w.work && w.voice) r.eContact_OfficePhone = v;
    if (w.home) {
        if (!advance)
            storeIfEmpty(r.eContact_HomePhone);
        else if (w.voice)
            r.eContact_HomePhone = v;
    }
    if (w.cell) {
        if (!advance)
            storeIfEmpty(r.eContact_CellPhone);
        else if (w.voice)
            r.eContact_CellPhone = v;
    }
    if (w.pager) {
        if (!advance)
            storeIfEmpty(r.eContact_Pager);
        else if (w.voice)
            r.eContact_Pager = v;
    }
    if (w.work && w.fax) r.eContact_OfficeFax = v;
    if (w.home && w.fax) r.eContact_HomeFax = v;
    // "work" with "pref" matches too but has no field of its own.
    if (w.car && w.voice) r.eContact_CarPhone = v;
    // Exactly two parameters, the second with "work" in it.
    const size_t semicolon = p.find(';');
    if (semicolon != std::string_view::npos &&
        p.find(';', semicolon + 1) == std::string_view::npos &&
        Contains(p.substr(semicolon + 1), "work"))
        r.eContact_OfficePhone = v;
}

struct AddressFields {
    std::string ContactRecord::*street;
    std::string ContactRecord::*city;
    std::string ContactRecord::*state;
    std::string ContactRecord::*zip;
    std::string ContactRecord::*country;
};

constexpr AddressFields kBusiness{
    &ContactRecord::eContact_BusinessAddress, &ContactRecord::eContact_BusinessCity,
    &ContactRecord::eContact_BusinessState, &ContactRecord::eContact_BusinessZip,
    &ContactRecord::eContact_BusinessCountry};
constexpr AddressFields kPersonal{
    &ContactRecord::eContact_PersonalAddress, &ContactRecord::eContact_PersonalCity,
    &ContactRecord::eContact_PersonalState, &ContactRecord::eContact_PersonalZip,
    &ContactRecord::eContact_PersonalCountry};

// Post-office box and extended address (the first two components) have no
// field; the rest go to street, city, state, postal code and country.
bool StoreAddress(const Piece& c, const AddressFields& f, ContactRecord& r) {
    const auto parts = Split(c.V, ';');
    if (parts.size() < 2) return false;
    std::string ContactRecord::*targets[] = {f.street, f.city, f.state, f.zip, f.country};
    for (size_t i = 2; i < parts.size() && i - 2 < std::size(targets); ++i)
        (r.*targets[i - 2]).assign(parts[i]);
    return true;
}

void RuleAddresses(const Piece& c, ContactRecord& r) {
    const bool work = c.words.work;
    const bool home = c.words.home;
    // Most lines are neither: the whole line is searched only for those.
    if (!work && !home) return;
    const bool adr = c.name == Name::ADR;
    const bool anyAdr = ContainsLower(c.T, "adr");
    if (adr && work) StoreAddress(c, kBusiness, r);
    if (anyAdr && Contains(c.T, "type=WORK") && work) StoreAddress(c, kBusiness, r);
    if (adr && home && StoreAddress(c, kPersonal, r)) r.eSelAddress = "2";
    if (anyAdr && Contains(c.T, "type=HOME") && home && StoreAddress(c, kPersonal, r))
        r.eSelAddress = "1";
}

void RuleAnniversary(const Piece& c, ReadMode mode, ContactRecord& r, RuleContext& ctx) {
    if (!c.words.anniversary) return;
    const std::string s = DateLayout(c.P1);
    if (mode == ReadMode::Advance) {
        StoreDate(ctx, r.eContact_Anniversary, s, c.P1, "The anniversary");
    } else if (const auto day = ConvertDate(s)) {
        r.eContact_Anniversary = *day;
    }
}

void RuleUrls(const Piece& c, ReadMode mode, ContactRecord& r) {
    // "URL:http://host/path" is cut at its colons; with exactly two of them
    // the address can be put together again.
    if (c.name == Name::URL) {
        r.eContact_WebPage = c.V;
        if (c.Colons() == 2)
            r.eContact_WebPage = mode == ReadMode::Advance ? Trim(c.P2()) : "http:" + Trim(c.P2());
    }
    if (c.words.url && Contains(c.T, "type=pref")) {
        r.eContact_WebPage = c.V;
        if (c.Colons() == 2) r.eContact_WebPage = Trim(c.P2());
    }
}

void RuleBirthday(const Piece& c, ReadMode mode, ContactRecord& r, RuleContext& ctx) {
    if (c.name != Name::BDAY) return;
    if (Contains(c.V, "-")) {
        StoreDate(ctx, r.eContact_BirthDay, c.P1, c.P1, "The birthday");
        return;
    }
    std::string s = DateLayout(c.P1);
    if (mode == ReadMode::Normal) {
        if (const auto day = ConvertDate(s)) s = FormatYmd(*day);
    }
    if (s.find_first_not_of(' ') == std::string::npos) return;
    StoreDate(ctx, r.eContact_BirthDay, s, c.P1, "The birthday");
}

void RuleEmail(const Piece& c, ReadMode mode, ContactRecord& r) {
    if (c.name != Name::EMAIL) return;
    const std::string_view p = c.LowerParams();
    const std::string_view value = c.P1;
    const bool pref = Contains(p, "pref");
    if (mode == ReadMode::Normal) {
        if (r.eContact_Email.empty())
            r.eContact_Email = value;
        else
            r.eContact_Email2 = value;
    }
    if (pref) r.eContact_Email = value;
    if (Contains(p, "internet") && !pref) r.eContact_Email2 = value;
}

} // namespace

namespace {

// Each word is found from one of its letters that is rare in vCards and
// that it has once: every place with such a letter is checked for the word
// that has it there, first by the word's first letter, inline, and only then
// whole.
bool WordAt(std::string_view line, size_t start, std::string_view upper) {
    return start + upper.size() <= line.size() &&
           EqualsUpperAscii(line.substr(start, upper.size()), upper);
}

// Whether the letter `offset` places before `at` is `lower` in either case
// (or a byte that becomes it with bit 5 set: the whole word is compared next).
inline bool LetterBefore(std::string_view line, size_t at, size_t offset, char lower) {
    return at >= offset && (line[at - offset] | 0x20) == lower;
}

inline void CheckLetter(std::string_view line, size_t at, size_t colon, LineWords& words) {
    switch (line[at]) {
    case 'M':
    case 'm':
        if (!words.imAddress && LetterBefore(line, at, 1, 'i'))
            words.imAddress = WordAt(line, at - 1, "IMADDRESS");
        break;
    case 'V':
    case 'v':
        if (!words.anniversary && LetterBefore(line, at, 4, 'a'))
            words.anniversary = WordAt(line, at - 4, "ANNIVERSARY");
        break;
    case 'U':
        words.url =
            words.url || (at + 2 < line.size() && line[at + 1] == 'R' && line[at + 2] == 'L');
        break;
    case 'W':
    case 'w':
        if (!words.work && at + 4 <= colon) words.work = WordAt(line, at, "WORK");
        break;
    case 'H':
    case 'h':
        if (!words.home && at + 4 <= colon) words.home = WordAt(line, at, "HOME");
        break;
    default:
        break;
    }
}

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

// A byte of word that is b sets the high bit of its byte in the result,
// once masked with kHighBits; so may a byte after one that is (the caller
// checks every byte pointed to).
constexpr uint64_t ZeroWhereEqual(uint64_t word, unsigned char b) {
    const uint64_t x = word ^ (kOnes * b);
    return (x - kOnes) & ~x;
}

} // namespace

LineWords FindLineWords(std::string_view line, size_t colon) {
    LineWords words;
    const auto look = [&](size_t at, uint64_t word, uint64_t skipped) {
        const uint64_t folded = word | (kOnes * 0x20); // ASCII letters in lower case
        uint64_t hits =
            (ZeroWhereEqual(folded, 'm') | ZeroWhereEqual(folded, 'v') | ZeroWhereEqual(word, 'U') |
             ZeroWhereEqual(folded, 'w') | ZeroWhereEqual(folded, 'h')) &
            kHighBits;
        for (hits &= ~skipped; hits != 0; hits &= hits - 1)
            CheckLetter(line, at + static_cast<size_t>(std::countr_zero(hits)) / 8, colon, words);
    };
    size_t at = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Eight bytes at a time: most words of a line hold none of the letters.
        uint64_t word = 0;
        for (; at + 8 <= line.size(); at += 8) {
            std::memcpy(&word, line.data() + at, 8);
            look(at, word, 0);
        }
        // The last bytes as the end of a word that ends with the line, without
        // the bytes looked at already.
        if (at < line.size() && line.size() >= 8) {
            const size_t start = line.size() - 8;
            std::memcpy(&word, line.data() + start, 8);
            look(start, word, ~uint64_t{0} >> (8 * (line.size() - at)));
            return words;
        }
    }
    for (; at < line.size(); ++at)
        CheckLetter(line, at, colon, words);
    return words;
}

void NoteContact(RuleContext& ctx, std::string message, bool lostContact) {
    RunNote note;
    note.file = ctx.file;
    note.contact = ctx.ivCard;
    note.message = std::move(message);
    note.lostContact = lostContact;
    ctx.sink.Notes().Add(std::move(note));
}

std::string ShownValue(std::string_view value) {
    std::string shown = Utf8Prefix(value, kShownValueLength);
    if (shown.size() < value.size()) shown += "...";
    return shown;
}

bool IsNumeric(std::string_view text) {
    const std::string_view t = TrimView(text);
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t digits = 0;
    for (; i < t.size() && IsDigit(t[i]); ++i)
        ++digits;
    if (i < t.size() && t[i] == '.')
        for (++i; i < t.size() && IsDigit(t[i]); ++i)
            ++digits;
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        size_t exponentDigits = 0;
        for (; i < t.size() && IsDigit(t[i]); ++i)
            ++exponentDigits;
        if (exponentDigits == 0) return false;
    }
    return i == t.size();
}

std::optional<double> ConvertDate(std::string_view text) {
    const std::string_view t = TrimView(text);
    auto number = [&t](size_t pos, size_t count, int& value) {
        if (pos + count > t.size()) return false;
        value = 0;
        for (size_t i = pos; i < pos + count; ++i) {
            if (!IsDigit(t[i])) return false;
            value = value * 10 + (t[i] - '0');
        }
        return true;
    };
    int y = 0, m = 0, d = 0;
    if (t.size() == 10 && number(0, 4, y) && t[4] == ' ' && number(5, 2, m) && t[7] == ' ' &&
        number(8, 2, d))
        return DateSerial(y, m, d);
    if (t.size() == 8 && number(0, 4, y) && number(4, 2, m) && number(6, 2, d))
        return DateSerial(y, m, d);
    // YYYY-M-D, one or two digits for month and day, maybe with a time part.
    if (t.size() < 8 || !number(0, 4, y) || t[4] != '-') return std::nullopt;
    size_t pos = 5;
    auto shortNumber = [&](int& value) {
        size_t count = 0;
        while (pos + count < t.size() && count < 3 && IsDigit(t[pos + count]))
            ++count;
        if (count == 0 || count > 2 || !number(pos, count, value)) return false;
        pos += count;
        return true;
    };
    if (!shortNumber(m) || pos >= t.size() || t[pos] != '-') return std::nullopt;
    ++pos;
    if (!shortNumber(d)) return std::nullopt;
    if (pos < t.size()) {
        if (t[pos] != 'T' && t[pos] != 't') return std::nullopt;
        for (++pos; pos < t.size(); ++pos) {
            const char c = t[pos];
            if (!IsDigit(c) && c != ':' && c != '.' && c != '+' && c != '-' && c != 'Z' && c != 'z')
                return std::nullopt;
        }
    }
    return DateSerial(y, m, d);
}

void ApplyPropertyRules(std::string_view piece, ReadMode mode, ContactRecord& record,
                        RuleContext& ctx) {
    // Every rule but the picture's needs a value after a colon; Base64
    // continuation lines, the bulk of a large backup, have none.
    const size_t colon = piece.find(':');
    if (colon == std::string_view::npos) {
        ApplyPhotoRules(piece, mode, record, ctx);
        return;
    }
    Piece c;
    Analyse(piece, colon, c);
    ContactRecord& r = record;
    const bool normal = mode == ReadMode::Normal;

    RuleN(c, mode, r);
    if (normal) RuleSkypeNames(c, r);
    switch (c.name) {
    case Name::FN:
        r.eContact_FullName = c.V;
        break;
    case Name::ORG: {
        const auto parts = Split(c.V, ';');
        if (parts.size() >= 1) r.eContact_Company = Trim(parts[0]);
        if (parts.size() >= 2) r.eContact_Department = Trim(parts[1]);
        break;
    }
    case Name::TITLE:
        r.eContact_JobTitle = c.V;
        break;
    // NICKNAME has no field in either output.
    case Name::NOTE:
        NoteText(c.V, r.eContact_Comments);
        break;
    default:
        break;
    }
    // The rules for a few names only are not entered for the other lines.
    if (c.name == Name::TEL || c.name == Name::SkypePstnNumber) RuleTelephone(c, mode, r);
    RuleAddresses(c, r);
    if (c.words.imAddress) r.eContact_IMAddress = c.V;
    RuleAnniversary(c, mode, r, ctx);
    if (c.name == Name::CATEGORIES) r.eContact_Categories = c.V;
    ApplyPhotoRules(piece, mode, record, ctx);
    RuleUrls(c, mode, r);
    if (c.name == Name::ROLE) r.eContact_Profession = c.V;
    RuleBirthday(c, mode, r, ctx);
    RuleEmail(c, mode, r);
}

} // namespace velloquin
