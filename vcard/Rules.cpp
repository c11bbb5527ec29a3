#include "Rules.h"

#include "core/Dates.h"
#include "core/Text.h"

#include <algorithm>
#include <cstdio>
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

// One piece cut up the ways the rules look at it.
struct Piece {
    std::string_view T;
    std::string U; // T in upper case
    size_t colons = 0;
    std::string_view P0, P1, P2;
    std::string V; // P1 trimmed
    std::string p; // P0 trimmed, lower case
    // U up to its first ":" or ";", when it has one. A line "starts with
    // NAME" when this is NAME: "N" takes "N:" and "N;" but not "NICKNAME".
    std::string_view name;

    bool HasValue() const { return colons > 0; }
    bool StartsWithName(std::string_view wanted) const { return name == wanted; }
};

// Fills piece from T. The piece is kept from one line to the next so that
// its texts reuse their memory: the rules run on every line of a backup.
void Analyse(std::string_view T, Piece& piece) {
    piece.T = T;
    piece.U.resize(T.size());
    // Through plain pointers: a store through the string's operator[] could
    // change the string itself as far as the compiler knows, which keeps the
    // loop from being vectorised, and every line of a backup passes here.
    char* upper = piece.U.data();
    for (size_t i = 0; i < T.size(); ++i) {
        const char c = T[i];
        upper[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    // Names are short: the scan stops within a few bytes.
    piece.name = {};
    for (size_t i = 0; i < piece.U.size(); ++i) {
        if (piece.U[i] == ':' || piece.U[i] == ';') {
            piece.name = std::string_view(piece.U).substr(0, i);
            break;
        }
    }
    const size_t first = T.find(':');
    piece.P0 = T.substr(0, first);
    piece.P1 = piece.P2 = {};
    piece.colons = 0;
    if (first != std::string_view::npos) {
        const size_t second = T.find(':', first + 1);
        piece.P1 = T.substr(first + 1, second == std::string_view::npos ? std::string_view::npos
                                                                        : second - first - 1);
        if (second != std::string_view::npos) {
            const size_t third = T.find(':', second + 1);
            piece.P2 = T.substr(second + 1, third == std::string_view::npos ? std::string_view::npos
                                                                            : third - second - 1);
        }
        piece.colons = static_cast<size_t>(std::count(T.begin() + first, T.end(), ':'));
    }
    piece.V.assign(TrimView(piece.P1));
    const std::string_view p0 = TrimView(piece.P0);
    piece.p.resize(p0.size());
    char* lower = piece.p.data();
    for (size_t i = 0; i < p0.size(); ++i) {
        const char c = p0[i];
        lower[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
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
    if (!c.StartsWithName("N") || !c.HasValue()) return;
    if (mode == ReadMode::Normal && IsNumeric(c.P1)) return;
    std::string* targets[] = {&r.eContact_LastName, &r.eContact_FirstName, &r.eContact_MiddleName,
                              &r.eContact_Title, &r.eContact_Suffix};
    const auto parts = Split(c.V, ';');
    for (size_t i = 0; i < parts.size() && i < std::size(targets); ++i)
        targets[i]->assign(parts[i]);
}

void RuleSkypeNames(const Piece& c, ContactRecord& r) {
    if (c.StartsWithName("X-SKYPE-USERNAME") && c.HasValue()) r.eContact_FullName = c.V;
    // A display name given with parameters only replaces a full name that is
    // a bare number (a telephone contact).
    if (c.HasValue() &&
        (c.U.starts_with("X-SKYPE-DISPLAYNAME:") ||
         (c.U.starts_with("X-SKYPE-DISPLAYNAME;") && IsNumeric(r.eContact_FullName))))
        r.eContact_FullName = c.V;
}

void RuleTelephone(const Piece& c, ReadMode mode, ContactRecord& r) {
    const bool isTel = c.StartsWithName("TEL") ||
                       (mode == ReadMode::Normal && c.U.starts_with("X-SKYPE-PSTNNUMBER:"));
    if (!isTel || !c.HasValue()) return;
    const std::string& p = c.p;
    const std::string& v = c.V;
    const bool advance = mode == ReadMode::Advance;
    const bool voice = Contains(p, "voice");
    auto storeIfEmpty = [&v](std::string& field) {
        if (field.empty()) field = v;
    };

    if (!advance && Contains(p, "x-skype-pstnnumber")) storeIfEmpty(r.eContact_OfficePhone);
    if (advance && Contains(p, "work") && voice) r.eContact_OfficePhone = v;
    if (Contains(p, "home")) {
        if (!advance)
            storeIfEmpty(r.eContact_HomePhone);
        else if (voice)
            r.eContact_HomePhone = v;
    }
    if (Contains(p, "cell")) {
        if (!advance)
            storeIfEmpty(r.eContact_CellPhone);
        else if (voice)
            r.eContact_CellPhone = v;
    }
    if (Contains(p, "pager")) {
        if (!advance)
            storeIfEmpty(r.eContact_Pager);
        else if (voice)
            r.eContact_Pager = v;
    }
    if (Contains(p, "work") && Contains(p, "fax")) r.eContact_OfficeFax = v;
    if (Contains(p, "home") && Contains(p, "fax")) r.eContact_HomeFax = v;
    // "work" with "pref" matches too but has no field of its own.
    if (Contains(p, "car") && voice) r.eContact_CarPhone = v;
    const auto params = Split(TrimView(c.P0), ';');
    if (params.size() == 2 && Contains(LowerAscii(TrimView(params[1])), "work"))
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
    if (!c.HasValue()) return;
    const bool work = Contains(c.p, "work");
    const bool home = Contains(c.p, "home");
    // Most lines are neither: the whole line is searched only for those.
    if (!work && !home) return;
    const bool adr = c.StartsWithName("ADR");
    const bool anyAdr = Contains(c.U, "ADR");
    if (adr && work) StoreAddress(c, kBusiness, r);
    if (anyAdr && Contains(c.T, "type=WORK") && work) StoreAddress(c, kBusiness, r);
    if (adr && home && StoreAddress(c, kPersonal, r)) r.eSelAddress = "2";
    if (anyAdr && Contains(c.T, "type=HOME") && home && StoreAddress(c, kPersonal, r))
        r.eSelAddress = "1";
}

void RuleAnniversary(const Piece& c, ReadMode mode, ContactRecord& r, RuleContext& ctx) {
    if (!Contains(c.U, "ANNIVERSARY") || !c.HasValue()) return;
    const std::string s = DateLayout(c.P1);
    if (mode == ReadMode::Advance) {
        StoreDate(ctx, r.eContact_Anniversary, s, c.P1, "The anniversary");
    } else if (const auto day = ConvertDate(s)) {
        r.eContact_Anniversary = *day;
    }
}

void RuleUrls(const Piece& c, ReadMode mode, ContactRecord& r) {
    if (!c.HasValue()) return;
    // "URL:http://host/path" is cut at its colons; with exactly two of them
    // the address can be put together again.
    if (c.StartsWithName("URL")) {
        r.eContact_WebPage = c.V;
        if (c.colons == 2)
            r.eContact_WebPage = mode == ReadMode::Advance ? Trim(c.P2) : "http:" + Trim(c.P2);
    }
    if (Contains(c.T, "URL") && Contains(c.T, "type=pref")) {
        r.eContact_WebPage = c.V;
        if (c.colons == 2) r.eContact_WebPage = Trim(c.P2);
    }
}

void RuleBirthday(const Piece& c, ReadMode mode, ContactRecord& r, RuleContext& ctx) {
    if (!c.StartsWithName("BDAY") || !c.HasValue()) return;
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
    if (!c.StartsWithName("EMAIL") || !c.HasValue()) return;
    const std::string value(c.P1);
    const bool pref = Contains(c.p, "pref");
    if (mode == ReadMode::Normal) {
        if (r.eContact_Email.empty())
            r.eContact_Email = value;
        else
            r.eContact_Email2 = value;
    }
    if (pref) r.eContact_Email = value;
    if (Contains(c.p, "internet") && !pref) r.eContact_Email2 = value;
}

} // namespace

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
    if (piece.find(':') == std::string_view::npos) {
        ApplyPhotoRules(piece, mode, record, ctx);
        return;
    }
    thread_local Piece analysed;
    Analyse(piece, analysed);
    const Piece& c = analysed;
    ContactRecord& r = record;
    const bool normal = mode == ReadMode::Normal;

    RuleN(c, mode, r);
    if (normal) RuleSkypeNames(c, r);
    if (c.StartsWithName("FN")) r.eContact_FullName = c.V;
    if (c.StartsWithName("ORG")) {
        const auto parts = Split(c.V, ';');
        if (parts.size() >= 1) r.eContact_Company = Trim(parts[0]);
        if (parts.size() >= 2) r.eContact_Department = Trim(parts[1]);
    }
    if (c.StartsWithName("TITLE")) r.eContact_JobTitle = c.V;
    // NICKNAME has no field in either output.
    if (c.StartsWithName("NOTE")) NoteText(c.V, r.eContact_Comments);
    RuleTelephone(c, mode, r);
    RuleAddresses(c, r);
    if (Contains(c.U, "IMADDRESS")) r.eContact_IMAddress = c.V;
    RuleAnniversary(c, mode, r, ctx);
    if (c.StartsWithName("CATEGORIES")) r.eContact_Categories = c.V;
    ApplyPhotoRules(piece, mode, record, ctx);
    RuleUrls(c, mode, r);
    if (c.StartsWithName("ROLE")) r.eContact_Profession = c.V;
    RuleBirthday(c, mode, r, ctx);
    RuleEmail(c, mode, r);
    // A picture's first line can be megabytes long; the lines after it are not.
    if (analysed.U.capacity() > (1u << 20)) analysed = Piece{};
}

} // namespace velloquin
