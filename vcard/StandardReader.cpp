#include "StandardReader.h"

#include "Rules.h"
#include "core/Dates.h"
#include "core/Text.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace velloquin {
namespace {

using Field = std::string ContactRecord::*;
using R = ContactRecord;

// What a property is to the mapping. Looked up once per property: every
// property of a backup passes here.
enum class Prop {
    Other,
    Technical, // read and left quietly: it describes the card, not the contact
    N,
    FN,
    Nickname,
    SkypeDisplayName,
    SkypeNumber,
    Org,
    Title,
    Role,
    Email,
    Tel,
    Adr,
    Birthday,
    Anniversary,
    AppleDate,
    Note,
    Url,
    Messenger,
    Categories,
    Photo,
    Related,
    AppleRelated,
    Spouse,
    Children,
    Manager,
    Assistant,
    Android,
    Phonetic,
    Sound,
};

// The names and what they are, found by a hash cheaper than the library's
// for names this short.
class PropTable {
  public:
    void Add(std::string_view name, Prop prop) {
        size_t i = Slot(name);
        while (slots_[i].prop != Prop::Other)
            i = (i + 1) & kMask;
        slots_[i] = {name, prop};
    }
    Prop Find(std::string_view name) const {
        for (size_t i = Slot(name);; i = (i + 1) & kMask) {
            if (slots_[i].prop == Prop::Other) return Prop::Other; // an empty slot
            if (slots_[i].name == name) return slots_[i].prop;
        }
    }

  private:
    static constexpr size_t kSize = 512; // well above the names' count
    static constexpr size_t kMask = kSize - 1;
    static size_t Slot(std::string_view name) {
        uint32_t hash = 2166136261u; // FNV-1a
        for (const unsigned char c : name) {
            hash ^= c;
            hash *= 16777619u;
        }
        return hash & kMask;
    }
    struct Entry {
        std::string_view name;
        Prop prop = Prop::Other;
    };
    std::array<Entry, kSize> slots_{};
};

Prop PropOf(std::string_view name) {
    static const PropTable kProps = [] {
        PropTable props;
        auto add = [&props](Prop prop, std::initializer_list<std::string_view> names) {
            for (std::string_view written : names)
                props.Add(written, prop);
        };
        add(Prop::Technical, {"VERSION",
                              "PRODID",
                              "REV",
                              "UID",
                              "TZ",
                              "GEO",
                              "LABEL",
                              "CLASS",
                              "SORT-STRING",
                              "KEY",
                              "SOURCE",
                              "KIND",
                              "NAME",
                              "PROFILE",
                              "MAILER",
                              "CLIENTPIDMAP",
                              "XML",
                              "X-REDUCTION",
                              "X-ABLABEL",
                              "X-ABUID",
                              "X-ABSHOWAS",
                              "X-ABADR",
                              "X-MS-OL-DESIGN",
                              "X-MS-OL-DEFAULT-POSTAL-ADDRESS",
                              "X-EVOLUTION-FILE-AS",
                              "X-EVOLUTION-LIST",
                              "X-EVOLUTION-LIST-SHOW-ADDRESSES",
                              "X-MOZILLA-HTML",
                              "X-SKYPE-PSTN"});
        add(Prop::N, {"N"});
        add(Prop::FN, {"FN"});
        add(Prop::Nickname, {"NICKNAME"});
        add(Prop::SkypeDisplayName, {"X-SKYPE-DISPLAYNAME"});
        add(Prop::SkypeNumber, {"X-SKYPE-PSTNNUMBER"});
        add(Prop::Org, {"ORG"});
        add(Prop::Title, {"TITLE"});
        add(Prop::Role, {"ROLE"});
        add(Prop::Email, {"EMAIL"});
        add(Prop::Tel, {"TEL"});
        add(Prop::Adr, {"ADR"});
        add(Prop::Birthday, {"BDAY"});
        add(Prop::Anniversary, {"ANNIVERSARY", "X-ANNIVERSARY", "X-MS-ANNIVERSARY",
                                "X-EVOLUTION-ANNIVERSARY", "X-KADDRESSBOOK-X-ANNIVERSARY"});
        add(Prop::AppleDate, {"X-ABDATE"});
        add(Prop::Note, {"NOTE"});
        add(Prop::Url, {"URL"});
        add(Prop::Messenger,
            {"IMPP", "X-SKYPE", "X-SKYPE-USERNAME", "X-AIM", "X-JABBER", "X-XMPP", "X-GOOGLE-TALK",
             "X-GTALK", "X-SIP", "X-MSN", "X-YAHOO", "X-ICQ", "X-QQ", "X-GADUGADU", "X-GROUPWISE",
             "X-MS-IMADDRESS", "X-WECHAT", "X-LINE"});
        add(Prop::Categories, {"CATEGORIES"});
        add(Prop::Photo, {"PHOTO"});
        add(Prop::Related, {"RELATED"});
        add(Prop::AppleRelated, {"X-ABRELATEDNAMES"});
        add(Prop::Spouse,
            {"X-SPOUSE", "X-EVOLUTION-SPOUSE", "X-MS-SPOUSE", "X-KADDRESSBOOK-X-SPOUSENAME"});
        add(Prop::Children, {"X-CHILDREN", "X-CHILD", "X-MS-CHILDREN"});
        add(Prop::Manager,
            {"X-MANAGER", "X-EVOLUTION-MANAGER", "X-MS-MANAGER", "X-KADDRESSBOOK-X-MANAGERSNAME"});
        add(Prop::Assistant, {"X-ASSISTANT", "X-EVOLUTION-ASSISTANT", "X-MS-ASSISTANT",
                              "X-KADDRESSBOOK-X-ASSISTANTSNAME"});
        add(Prop::Android, {"X-ANDROID-CUSTOM"});
        add(Prop::Phonetic,
            {"X-PHONETIC-FIRST-NAME", "X-PHONETIC-MIDDLE-NAME", "X-PHONETIC-LAST-NAME"});
        add(Prop::Sound, {"SOUND"});
        return props;
    }();
    return kProps.Find(name);
}

// A relation by the word a card gives it (RELATED;TYPE=, Apple's labels).
Field RelationOfWord(std::string_view word) {
    const std::string w = LowerAscii(TrimView(word));
    if (w == "spouse" || w == "partner" || w == "husband" || w == "wife" || w == "domestic partner")
        return &R::eContact_Spouse;
    if (w == "child" || w == "son" || w == "daughter") return &R::eContact_Childern;
    if (w == "manager") return &R::eContact_Manager;
    if (w == "assistant") return &R::eContact_Assistant;
    return nullptr;
}

// Apple writes its labels as "_$!<Spouse>!$_"; others write the word.
std::string LabelWord(std::string_view label) {
    if (label.starts_with("_$!<") && label.ends_with(">!$_"))
        return std::string(label.substr(4, label.size() - 8));
    return std::string(label);
}

// Whether text holds a or b. find_first_of would ask memchr about each byte.
bool HoldsEither(std::string_view text, char a, char b) {
    for (const char c : text)
        if (c == a || c == b) return true;
    return false;
}

// Line breaks as the record keeps them: CR LF. Appended to field after
// separator, as AppendJoined does.
void AppendWindowsLines(std::string& field, std::string_view text, std::string_view separator) {
    if (text.empty()) return;
    if (!field.empty()) field += separator;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) field += '\r';
        field += text[i];
    }
}

// A street line as the whole address keeps it: escaped, a line break being
// "\n", which both outputs resolve. Appended to out.
void AppendEscapedStreetLine(std::string& out, std::string_view text) {
    if (!HoldsEither(text, '\r', '\n') && text.find('\\') == std::string_view::npos) {
        out += text;
        return;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (c == '\r' || c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
}

void AppendJoined(std::string& field, std::string_view value, std::string_view separator) {
    if (value.empty()) return;
    if (!field.empty()) field += separator;
    field += value;
}

// A number's own slots, in order; the unused ones null.
using SlotList = std::array<Field, 3>;

// Something read from the card, waiting for its slot. The texts are views
// into the card or the mapper's scratch, both kept until the next card.
struct Candidate {
    int rank = 101;        // 1 for the most preferred, 101 when not marked
    std::string_view name; // the property, for notes
    std::string_view value;
    SlotList slots{}; // a number's own slots
    bool home = false, work = false;
};

struct AddressCandidate : Candidate {
    std::array<std::string_view, 7> parts{}; // box, extended, street, city, region, code, country
};

// Most preferred first, otherwise in file order.
template <typename T> void SortByPreference(std::vector<T>& list) {
    const bool allAlike = std::all_of(list.begin(), list.end(),
                                      [&list](const T& c) { return c.rank == list.front().rank; });
    if (allAlike) return;
    std::stable_sort(list.begin(), list.end(),
                     [](const T& a, const T& b) { return a.rank < b.rank; });
}

// Where numbers go that have no slot of their kind left, after other phone.
constexpr Field kOverflowPhones[] = {
    &R::eContact_HomePhone2,       &R::eContact_OfficePhone2, &R::eContact_CallbackPhone,
    &R::eContact_RadioPhone,       &R::eContact_CarPhone,     &R::eContact_AssistantPhone,
    &R::eContact_CompanyMainPhone, &R::eContact_PrimaryPhone, &R::eContact_ISDN,
    &R::eContact_TTYPhone,         &R::eContact_Telex};

// The kinds of number a TEL's types name, one bit each.
enum PhoneKind : unsigned {
    kHome = 1u << 0,
    kWork = 1u << 1,
    kFax = 1u << 2,
    kPager = 1u << 3,
    kCell = 1u << 4,
    kCar = 1u << 5,
    kIsdn = 1u << 6,
    kTty = 1u << 7,
    kRadio = 1u << 8,
    kCallback = 1u << 9,
    kTelex = 1u << 10,
    kAssistant = 1u << 11,
    kCompanyMain = 1u << 12,
    kMainOrPref = 1u << 13,
};

// The words of each kind, in upper case, as the types may write them.
constexpr struct {
    std::string_view word;
    unsigned kind;
} kPhoneWords[] = {
    {"HOME", kHome},
    {"WORK", kWork},
    {"FAX", kFax},
    {"PAGER", kPager},
    {"CELL", kCell},
    {"MOBILE", kCell},
    {"IPHONE", kCell},
    {"CAR", kCar},
    {"ISDN", kIsdn},
    {"TEXTPHONE", kTty},
    {"TTY", kTty},
    {"TDD", kTty},
    {"X-TTY", kTty},
    {"X-TTYTDD", kTty},
    {"X-RADIO", kRadio},
    {"RADIO", kRadio},
    {"X-CALLBACK", kCallback},
    {"CALLBACK", kCallback},
    {"X-TELEX", kTelex},
    {"TLX", kTelex},
    {"TELEX", kTelex},
    {"X-ASSISTANT", kAssistant},
    {"ASSISTANT", kAssistant},
    {"X-COMPANY-MAIN", kCompanyMain},
    {"X-COMPANY_MAIN", kCompanyMain},
    {"COMPANY-MAIN", kCompanyMain},
    {"X-COMPANYMAIN", kCompanyMain},
    {"MAIN", kMainOrPref},
    {"PREF", kMainOrPref},
};

// Spaces and tabs off both ends, as the lexer trims a written type.
std::string_view TrimWhite(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// A number's own slots by its kinds; none for a number of no kind. The types
// are read once, every written type against every word.
SlotList PhoneSlots(const VCardPropertyView& p) {
    unsigned kinds = 0;
    p.AnyParamValue("TYPE", [&kinds](std::string_view written) {
        const std::string_view type = TrimWhite(written);
        for (const auto& known : kPhoneWords)
            if (type.size() == known.word.size() && EqualsUpperAscii(type, known.word))
                kinds |= known.kind;
        return false;
    });
    auto has = [kinds](unsigned kind) { return (kinds & kind) != 0; };
    const bool home = has(kHome), work = has(kWork);
    if (has(kFax)) {
        if (work) return {&R::eContact_OfficeFax, &R::eContact_OtherFax, &R::eContact_HomeFax};
        if (home) return {&R::eContact_HomeFax, &R::eContact_OtherFax, &R::eContact_OfficeFax};
        return {&R::eContact_OtherFax, &R::eContact_OfficeFax, &R::eContact_HomeFax};
    }
    if (has(kPager)) return {&R::eContact_Pager};
    if (has(kCell)) return {&R::eContact_CellPhone};
    if (has(kCar)) return {&R::eContact_CarPhone};
    if (has(kIsdn)) return {&R::eContact_ISDN};
    if (has(kTty)) return {&R::eContact_TTYPhone};
    if (has(kRadio)) return {&R::eContact_RadioPhone};
    if (has(kCallback)) return {&R::eContact_CallbackPhone};
    if (has(kTelex)) return {&R::eContact_Telex};
    if (has(kAssistant)) return {&R::eContact_AssistantPhone};
    if (has(kCompanyMain)) return {&R::eContact_CompanyMainPhone};
    if (home) return {&R::eContact_HomePhone, &R::eContact_HomePhone2};
    if (work) return {&R::eContact_OfficePhone, &R::eContact_OfficePhone2};
    if (has(kMainOrPref) || p.HasParam("PREF")) return {&R::eContact_PrimaryPhone};
    return {};
}

// Whether text holds lower (in lower case) in any case.
bool ContainsNoCase(std::string_view text, std::string_view lower) {
    if (text.size() < lower.size()) return false;
    for (size_t i = 0; i + lower.size() <= text.size(); ++i) {
        size_t j = 0;
        for (; j < lower.size(); ++j) {
            char c = text[i + j];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c != lower[j]) break;
        }
        if (j == lower.size()) return true;
    }
    return false;
}

class CardMapper {
  public:
    explicit CardMapper(StandardContext& ctx) : ctx_(ctx) {}

    void Map(const VCardView& card, ContactRecord& record);

  private:
    // A property's text, unescaped and trimmed: a view of the value itself
    // when it holds no escape.
    std::string_view Text(const VCardPropertyView& p) {
        if (p.value.find('\\') == std::string_view::npos) return TrimView(p.value);
        std::string& out = scratch_.Take();
        AppendUnescapedText(p.value, card_->version, out);
        return TrimView(out);
    }
    // The components of a structured value, still escaped, as views of it.
    const std::vector<std::string_view>& Components(const VCardPropertyView& p) {
        SplitComponentViews(p.value, card_->version, parts_);
        return parts_;
    }
    // One component's items joined by separator, each unescaped.
    std::string_view Joined(std::string_view component, std::string_view separator) {
        if (!HoldsEither(component, '\\', ',')) return TrimView(component);
        std::string& out = scratch_.Take();
        for (const std::string& item : SplitListItems(component, card_->version))
            AppendJoined(out, TrimView(item), separator);
        return out;
    }
    // "tel:+1-418-656-9254;ext=102" as a user writes it: "+1-418-656-9254 ext. 102".
    std::string_view PhoneNumber(std::string_view value) {
        if (value.size() >= 4 && EqualsUpperAscii(value.substr(0, 4), "TEL:"))
            value.remove_prefix(4);
        if (!ContainsNoCase(value, ";ext=")) return TrimView(value);
        const std::string lower = LowerAscii(value);
        const size_t ext = lower.find(";ext=");
        std::string& out = scratch_.Take();
        out.append(value.substr(0, ext)).append(" ext. ").append(value.substr(ext + 5));
        return TrimView(out);
    }
    void Note(std::string message, bool withoutSlot = false) {
        RunNote note;
        note.file = ctx_.file;
        note.contact = ctx_.ivCard;
        note.message = std::move(message);
        note.valueWithoutSlot = withoutSlot;
        ctx_.sink.Notes().Add(std::move(note));
    }
    // A value of the card that no slot takes: quoted, so that the notes of
    // one kind group into one line.
    void NoSlot(std::string_view name, std::string_view value) {
        std::string shown = ShownValue(value);
        for (char& c : shown)
            if (c == '"')
                c = '\'';
            else if (c == '\r' || c == '\n')
                c = ' ';
        Note("A value of " + std::string(name) + " found no slot in the output: \"" + shown + "\"",
             true);
    }
    // The first value of its kind goes to the field; a different later one
    // is noted.
    void Single(Field field, std::string_view name, std::string_view value) {
        if (value.empty()) return;
        if ((r_->*field).empty())
            r_->*field = value;
        else if (r_->*field != value)
            NoSlot(name, value);
    }
    void Date(double& field, std::string_view name, std::string_view text, const char* what);
    void Name(const VCardPropertyView& p);
    void Organisation(const VCardPropertyView& p);
    void Address(const VCardPropertyView& p);
    void Picture(const VCardPropertyView& p);
    void AndroidRow(const VCardPropertyView& p);
    void Relation(Field field, std::string_view name, std::string_view value);
    void Other(const VCardPropertyView& p);
    void PlaceAll();
    void PlacePhones();
    void PlaceAddresses();
    template <typename T = Candidate>
    T Make(const VCardPropertyView& p, std::string_view value) const {
        T c;
        const int pref = p.Pref();
        c.rank = pref > 0 ? pref : 101;
        c.name = p.name;
        c.value = value;
        return c;
    }
    std::string LabelOf(const VCardPropertyView& p) {
        if (p.group.empty()) return {};
        for (const VCardPropertyView& other : card_->properties)
            if (other.name == "X-ABLABEL" && EqualsUpperAscii(other.group, UpperAscii(p.group)))
                return LabelWord(Text(other));
        return {};
    }

    StandardContext& ctx_;
    const VCardView* card_ = nullptr;
    ContactRecord* r_ = nullptr;
    // Kept from card to card for their room.
    TextScratch scratch_;
    std::vector<std::string_view> parts_;
    std::vector<Candidate> emails_, phones_, urls_, messengers_;
    std::vector<AddressCandidate> addresses_;
    std::vector<const Candidate*> restPhones_;
    std::vector<AddressCandidate*> restAddresses_;
    std::string_view skypeDisplayName_, skypeUserName_;
    std::vector<std::string_view> skypeNumbers_;
    bool sawPicture_ = false;
};

void CardMapper::Date(double& field, std::string_view name, std::string_view text,
                      const char* what) {
    const VCardDate date = ParseVCardDate(text);
    std::optional<double> day;
    if (date.Usable()) day = DateSerial(date.year, date.month, date.day);
    if (!day) {
        std::string shown = ShownValue(text);
        std::replace(shown.begin(), shown.end(), '"', '\'');
        const std::string why = date.problem == "no year"
                                    ? "has no year, which Outlook needs"
                                    : "is not a date with day, month and year";
        Note(std::string(what) + " \"" + shown + "\" " + why + "; it was left out.", true);
        return;
    }
    if (field == 0)
        field = *day;
    else if (field != *day)
        NoSlot(name, text);
}

void CardMapper::Name(const VCardPropertyView& p) {
    if (TrimView(p.value).empty()) return;
    const Field fields[] = {&R::eContact_LastName, &R::eContact_FirstName, &R::eContact_MiddleName,
                            &R::eContact_Title, &R::eContact_Suffix};
    const bool first = r_->eContact_LastName.empty() && r_->eContact_FirstName.empty() &&
                       r_->eContact_MiddleName.empty() && r_->eContact_Title.empty() &&
                       r_->eContact_Suffix.empty();
    if (!first) {
        NoSlot(p.name, Text(p));
        return;
    }
    const std::vector<std::string_view>& parts = Components(p);
    for (size_t i = 0; i < parts.size() && i < std::size(fields); ++i)
        r_->*fields[i] = Joined(parts[i], i >= 3 ? ", " : " ");
    // Components past the suffix have no slot.
    for (size_t i = std::size(fields); i < parts.size(); ++i)
        if (const std::string_view extra = Joined(parts[i], " "); !extra.empty())
            NoSlot(p.name, extra);
}

void CardMapper::Organisation(const VCardPropertyView& p) {
    const std::vector<std::string_view>& parts = Components(p);
    std::string company = parts.empty() ? std::string() : std::string(Joined(parts[0], ", "));
    std::string units;
    for (size_t i = 1; i < parts.size(); ++i)
        AppendJoined(units, Joined(parts[i], ", "), ", ");
    if (company.empty() && units.empty()) return;
    if (r_->eContact_Company.empty() && r_->eContact_Department.empty()) {
        r_->eContact_Company = std::move(company);
        r_->eContact_Department = std::move(units);
        return;
    }
    std::string whole = company;
    AppendJoined(whole, units, ", ");
    if (whole != r_->eContact_Company) NoSlot(p.name, whole);
}

void CardMapper::Address(const VCardPropertyView& p) {
    AddressCandidate c = Make<AddressCandidate>(p, {});
    bool any = false;
    std::string* rest = nullptr; // the country with components past it
    auto take = [&](size_t i, std::string_view component) {
        if (i < c.parts.size()) {
            c.parts[i] = Joined(component, i <= 2 ? "\n" : ", ");
            any = any || !c.parts[i].empty();
        } else if (const std::string_view extra = Joined(component, ", "); !extra.empty()) {
            // A component past the country: kept with the country.
            if (!rest) {
                rest = &scratch_.Take();
                *rest = c.parts[6];
            }
            AppendJoined(*rest, extra, ", ");
            c.parts[6] = *rest;
            any = true;
        }
    };
    const std::vector<std::string_view>& parts = Components(p);
    for (size_t i = 0; i < parts.size(); ++i)
        take(i, parts[i]);
    if (!any) return;
    p.AnyParamValue("TYPE", [&c](std::string_view written) {
        const std::string_view type = TrimWhite(written);
        c.home = c.home || (type.size() == 4 && EqualsUpperAscii(type, "HOME"));
        c.work = c.work || (type.size() == 4 && EqualsUpperAscii(type, "WORK"));
        return false;
    });
    addresses_.push_back(c);
}

void CardMapper::Picture(const VCardPropertyView& p) {
    if (!ctx_.sink.WantsPictures()) return;
    const VCardPicture picture = PictureOf(p);
    switch (picture.kind) {
    case VCardPicture::Kind::None:
        return;
    case VCardPicture::Kind::Uri: {
        std::string shown = ShownValue(picture.uri);
        std::replace(shown.begin(), shown.end(), '"', '\'');
        Note("The picture is given only as a web address (\"" + shown + "\"); it was not fetched.",
             true);
        return;
    }
    case VCardPicture::Kind::Bad:
        Note("The picture could not be decoded (" + picture.problem + "); it was left out.");
        return;
    case VCardPicture::Kind::Inline:
        break;
    }
    if (picture.bytes.empty()) return;
    if (sawPicture_) {
        Note("The card holds a second picture, for which the output has no slot; it was left out.",
             true);
        return;
    }
    sawPicture_ = true;
    ctx_.sink.Poll();
    std::string failure;
    const std::string extension = picture.extension.empty() ? "gif" : picture.extension;
    r_->ePhoto = ctx_.sink.KeepPictureAs(picture.bytes, ctx_.ivCard, extension, failure);
    if (r_->ePhoto.empty() && !failure.empty()) Note(std::move(failure));
    if (!r_->ePhoto.empty() && picture.type.empty())
        Note("The picture's type is unknown; it was kept as it is.");
}

void CardMapper::Relation(Field field, std::string_view name, std::string_view value) {
    if (value.empty()) return;
    if (field == &R::eContact_Childern)
        AppendJoined(r_->*field, value, ", ");
    else
        Single(field, name, value);
}

// Android's rows for what vCard has no property for.
void CardMapper::AndroidRow(const VCardPropertyView& p) {
    const std::vector<std::string_view>& parts = Components(p);
    auto part = [&](size_t i) {
        return i < parts.size() ? Trim(UnescapeComponent(parts[i], card_->version)) : std::string();
    };
    const std::string kind = part(0);
    const std::string value = part(1), type = part(2);
    if (kind == "vnd.android.cursor.item/nickname") {
        AppendJoined(r_->eContact_NickName, value, ", ");
        return;
    }
    if (kind == "vnd.android.cursor.item/contact_event" && !value.empty()) {
        if (type == "1")
            Date(r_->eContact_Anniversary, "ANNIVERSARY", value, "The anniversary");
        else if (type == "3")
            Date(r_->eContact_BirthDay, "BDAY", value, "The birthday");
        else
            NoSlot("X-ANDROID-CUSTOM", value);
        return;
    }
    if (kind == "vnd.android.cursor.item/relation" && !value.empty()) {
        // Android's relation kinds: 1 assistant, 3 child, 4 domestic partner,
        // 7 manager, 10 partner, 14 spouse.
        const Field field = type == "1"                                   ? &R::eContact_Assistant
                            : type == "3"                                 ? &R::eContact_Childern
                            : type == "7"                                 ? &R::eContact_Manager
                            : type == "4" || type == "10" || type == "14" ? &R::eContact_Spouse
                                                                          : nullptr;
        if (field)
            Relation(field, "X-ANDROID-CUSTOM", value);
        else
            NoSlot("X-ANDROID-CUSTOM", value);
        return;
    }
    std::string rest;
    for (size_t i = 1; i < parts.size(); ++i)
        AppendJoined(rest, part(i), "; ");
    if (!rest.empty()) NoSlot("X-ANDROID-CUSTOM", rest);
}

// A property with no slot of its own: noted when it says something.
void CardMapper::Other(const VCardPropertyView& p) {
    if (p.name == "AGENT") {
        std::string who;
        if (p.embeddedCard) {
            // The embedded card's name stands for it.
            const std::string upper = UpperAscii(p.value);
            const size_t fn = upper.find("\nFN:");
            who =
                fn == std::string::npos
                    ? "an embedded vCard"
                    : Trim(p.value.substr(fn + 4, p.value.find_first_of("\r\n", fn + 4) - fn - 4));
        } else {
            who = Text(p);
        }
        if (!who.empty()) NoSlot(p.name, who);
        return;
    }
    if (p.binary) {
        Note("The card's " + std::string(p.name) + " holds data for which the output has no slot.",
             true);
        return;
    }
    const std::string_view text = Text(p);
    if (!text.empty()) NoSlot(p.name, text);
}

void CardMapper::Map(const VCardView& card, ContactRecord& record) {
    card_ = &card;
    r_ = &record;
    scratch_.Reset();
    emails_.clear();
    phones_.clear();
    urls_.clear();
    messengers_.clear();
    addresses_.clear();
    skypeDisplayName_ = skypeUserName_ = {};
    skypeNumbers_.clear();
    sawPicture_ = false;
    for (const VCardPropertyView& p : card.properties) {
        const std::string_view n = p.name;
        switch (PropOf(n)) {
        case Prop::Technical:
            break;
        case Prop::N:
            Name(p);
            break;
        case Prop::FN:
            Single(&R::eContact_FullName, n, Text(p));
            break;
        case Prop::Nickname:
            AppendJoined(r_->eContact_NickName, Joined(p.value, ", "), ", ");
            break;
        case Prop::SkypeDisplayName:
            if (skypeDisplayName_.empty()) skypeDisplayName_ = Text(p);
            break;
        case Prop::SkypeNumber: {
            Candidate c = Make(p, PhoneNumber(Text(p)));
            // Skype's telephone contacts: where Normal Mode puts them.
            c.slots = {&R::eContact_OfficePhone, &R::eContact_OfficePhone2};
            skypeNumbers_.push_back(c.value);
            if (!c.value.empty()) phones_.push_back(c);
            break;
        }
        case Prop::Org:
            Organisation(p);
            break;
        case Prop::Title:
            Single(&R::eContact_JobTitle, n, Text(p));
            break;
        case Prop::Role:
            Single(&R::eContact_Profession, n, Text(p));
            break;
        case Prop::Email:
            if (const std::string_view v = Text(p); !v.empty()) emails_.push_back(Make(p, v));
            break;
        case Prop::Tel: {
            Candidate c = Make(p, PhoneNumber(Text(p)));
            c.slots = PhoneSlots(p);
            if (!c.value.empty()) phones_.push_back(c);
            break;
        }
        case Prop::Adr:
            Address(p);
            break;
        case Prop::Birthday:
            if (!TrimView(p.value).empty()) Date(r_->eContact_BirthDay, n, Text(p), "The birthday");
            break;
        case Prop::Anniversary:
            if (!TrimView(p.value).empty())
                Date(r_->eContact_Anniversary, n, Text(p), "The anniversary");
            break;
        case Prop::AppleDate:
            if (LowerAscii(LabelOf(p)) == "anniversary")
                Date(r_->eContact_Anniversary, "ANNIVERSARY", Text(p), "The anniversary");
            else if (const std::string_view v = Text(p); !v.empty())
                NoSlot(n, v);
            break;
        case Prop::Note:
            AppendWindowsLines(r_->eContact_Comments, Text(p), "\r\n");
            break;
        case Prop::Url:
            if (const std::string_view v = Text(p); !v.empty()) {
                Candidate c = Make(p, v);
                c.home = p.HasType("HOME");
                urls_.push_back(c);
            }
            break;
        case Prop::Messenger: {
            const std::string_view v = Text(p);
            if (n == "X-SKYPE-USERNAME" && skypeUserName_.empty()) skypeUserName_ = v;
            if (!v.empty()) messengers_.push_back(Make(p, v));
            break;
        }
        case Prop::Categories:
            AppendJoined(r_->eContact_Categories, Joined(p.value, ", "), ", ");
            break;
        case Prop::Photo:
            Picture(p);
            break;
        case Prop::Related: {
            Field field = nullptr;
            p.AnyParamValue("TYPE", [&field](std::string_view type) {
                field = RelationOfWord(type);
                return field != nullptr;
            });
            if (field)
                Relation(field, n, Text(p));
            else if (const std::string_view v = Text(p); !v.empty())
                NoSlot(n, v);
            break;
        }
        case Prop::AppleRelated:
            if (const Field field = RelationOfWord(LabelOf(p)))
                Relation(field, n, Text(p));
            else if (const std::string_view v = Text(p); !v.empty())
                NoSlot(n, v);
            break;
        case Prop::Spouse:
            Relation(&R::eContact_Spouse, n, Text(p));
            break;
        case Prop::Children:
            Relation(&R::eContact_Childern, n, Text(p));
            break;
        case Prop::Manager:
            Relation(&R::eContact_Manager, n, Text(p));
            break;
        case Prop::Assistant:
            Relation(&R::eContact_Assistant, n, Text(p));
            break;
        case Prop::Android:
            AndroidRow(p);
            break;
        case Prop::Phonetic:
            // How the name is read: no output has a place for it yet.
            if (const std::string_view v = Text(p); !v.empty()) NoSlot(n, v);
            break;
        case Prop::Sound:
            if (p.HasType("X-IRMC-N") && !p.binary) {
                // Phones write the reading of the name here, in N's components.
                std::string reading;
                for (const std::string_view part : Components(p))
                    AppendJoined(reading, Joined(part, " "), " ");
                if (!reading.empty()) NoSlot(n, reading);
            } else {
                Other(p);
            }
            break;
        case Prop::Other:
            Other(p);
            break;
        }
    }
    // Skype names the contact by its display name, then by its user name.
    if (r_->eContact_FullName.empty())
        r_->eContact_FullName = !skypeDisplayName_.empty() ? skypeDisplayName_ : skypeUserName_;
    else if (!skypeDisplayName_.empty() && skypeDisplayName_ != r_->eContact_FullName)
        NoSlot("X-SKYPE-DISPLAYNAME", skypeDisplayName_);
    PlaceAll();
}

void CardMapper::PlaceAll() {
    SortByPreference(emails_);
    const Field emailSlots[] = {&R::eContact_Email, &R::eContact_Email2, &R::eContact_Email3};
    size_t next = 0;
    for (const Candidate& c : emails_) {
        if (next < std::size(emailSlots))
            r_->*emailSlots[next++] = c.value;
        else
            NoSlot(c.name, c.value);
    }

    PlacePhones();
    PlaceAddresses();

    // Web pages: business or untyped to the web page, home to the personal
    // one; each then takes the other slot.
    SortByPreference(urls_);
    for (const Candidate& c : urls_) {
        std::string* own = c.home ? &r_->eContact_PersonalWebPage : &r_->eContact_WebPage;
        std::string* other = c.home ? &r_->eContact_WebPage : &r_->eContact_PersonalWebPage;
        if (own->empty())
            *own = c.value;
        else if (other->empty())
            *other = c.value;
        else
            NoSlot(c.name, c.value);
    }

    SortByPreference(messengers_);
    for (const Candidate& c : messengers_) {
        // A telephone contact's user name is its number, no messenger account.
        if (c.name == "X-SKYPE-USERNAME" &&
            std::find(skypeNumbers_.begin(), skypeNumbers_.end(), c.value) != skypeNumbers_.end())
            continue;
        if (r_->eContact_IMAddress.empty())
            r_->eContact_IMAddress = c.value;
        else if (r_->eContact_IMAddress != c.value)
            NoSlot(c.name, c.value);
    }
}

void CardMapper::PlacePhones() {
    SortByPreference(phones_);
    // Every number first where its kind belongs, so that a number of no kind
    // does not take the slot of one that has it.
    restPhones_.clear();
    for (const Candidate& c : phones_) {
        auto free = std::find_if(c.slots.begin(), c.slots.end(),
                                 [this](Field f) { return f && (r_->*f).empty(); });
        if (free != c.slots.end())
            r_->** free = c.value;
        else
            restPhones_.push_back(&c);
    }
    for (const Candidate* c : restPhones_) {
        if (r_->eContact_OtherPhone.empty()) {
            r_->eContact_OtherPhone = c->value;
            continue;
        }
        auto free = std::find_if(std::begin(kOverflowPhones), std::end(kOverflowPhones),
                                 [this](Field f) { return (r_->*f).empty(); });
        if (free != std::end(kOverflowPhones))
            r_->** free = c->value;
        else
            NoSlot(c->name, c->value);
    }
}

struct AddressGroup {
    Field whole, city, state, zip, country;
};
constexpr AddressGroup kPersonal{&R::eContact_PersonalAddress, &R::eContact_PersonalCity,
                                 &R::eContact_PersonalState, &R::eContact_PersonalZip,
                                 &R::eContact_PersonalCountry};
constexpr AddressGroup kBusiness{&R::eContact_BusinessAddress, &R::eContact_BusinessCity,
                                 &R::eContact_BusinessState, &R::eContact_BusinessZip,
                                 &R::eContact_BusinessCountry};
constexpr AddressGroup kOther{&R::eContact_OtherAddress, &R::eContact_OtherCity,
                              &R::eContact_OtherState, &R::eContact_OtherZip,
                              &R::eContact_OtherCountry};

void CardMapper::PlaceAddresses() {
    SortByPreference(addresses_);
    auto taken = [this](const AddressGroup& g) {
        return !(r_->*g.whole).empty() || !(r_->*g.city).empty() || !(r_->*g.state).empty() ||
               !(r_->*g.zip).empty() || !(r_->*g.country).empty();
    };
    auto store = [this](const AddressGroup& g, const AddressCandidate& c) {
        // Post-office box, extended address and street, one per line, into
        // the whole address, which is empty: the group is not taken.
        std::string& street = r_->*g.whole;
        for (size_t i = 0; i <= 2; ++i) {
            if (c.parts[i].empty()) continue;
            if (!street.empty()) street += "\\n";
            AppendEscapedStreetLine(street, c.parts[i]);
        }
        r_->*g.city = c.parts[3];
        r_->*g.state = c.parts[4];
        r_->*g.zip = c.parts[5];
        r_->*g.country = c.parts[6];
        if (g.whole == kPersonal.whole) r_->eSelAddress = "1";
    };
    restAddresses_.clear();
    for (AddressCandidate& c : addresses_) {
        const AddressGroup& own = c.home ? kPersonal : c.work ? kBusiness : kOther;
        if (!taken(own))
            store(own, c);
        else
            restAddresses_.push_back(&c);
    }
    for (AddressCandidate* c : restAddresses_) {
        bool stored = false;
        for (const AddressGroup* g : {&kOther, &kPersonal, &kBusiness})
            if (!taken(*g)) {
                store(*g, *c);
                stored = true;
                break;
            }
        if (!stored) {
            std::string whole;
            for (const std::string_view part : c->parts)
                AppendJoined(whole, part, "; ");
            NoSlot(c->name, whole);
        }
    }
}

// The lexer's reads, with a turn for the window between them: a card with a
// large picture is many reads long.
class PollingSource final : public ByteSource {
  public:
    PollingSource(ByteSource& inner, ContactSink& sink) : inner_(inner), sink_(sink) {}
    bool Open(std::string& why) override { return inner_.Open(why); }
    bool Read(char* buffer, size_t size, size_t& got, std::string& why) override {
        sink_.Poll();
        return inner_.Read(buffer, size, got, why);
    }

  private:
    ByteSource& inner_;
    ContactSink& sink_;
};

// A problem of the text, where the user can find it.
std::string DiagnosticMessage(const VCardDiagnostic& d) {
    std::string message = d.message;
    std::replace(message.begin(), message.end(), '"', '\'');
    return "The vCard text breaks the standard on line \"" + std::to_string(d.line) +
           "\": " + message + ".";
}

} // namespace

namespace {

void NoteDiagnostics(const VCardView& card, StandardContext& ctx) {
    for (const VCardDiagnostic& d : card.diagnostics) {
        // A card without VERSION is read as 2.1, which is what it most likely is.
        if (d.message.starts_with("no VERSION line")) continue;
        RunNote note;
        note.file = ctx.file;
        note.contact = ctx.ivCard;
        note.message = DiagnosticMessage(d);
        ctx.sink.Notes().Add(std::move(note));
    }
}

} // namespace

void MapStandardCard(const VCardView& card, ContactRecord& record, StandardContext& ctx) {
    NoteDiagnostics(card, ctx);
    CardMapper(ctx).Map(card, record);
}

void ReadStandardFrom(const std::string& file, ByteSource& source, int32_t& ivCard,
                      ContactRecord& record, ContactSink& sink) {
    PollingSource polled(source, sink);
    VCardLexer lexer(polled);
    std::string why;
    if (!lexer.Open(why)) {
        sink.Notes().Add(RunNote{file, 0, "The file could not be opened: " + why + ".", false});
        return;
    }
    sink.Poll();
    FreevCard(record);
    auto fileNotes = [&] {
        for (const VCardDiagnostic& d : lexer.TakeFileDiagnostics())
            sink.Notes().Add(RunNote{file, 0, DiagnosticMessage(d), false});
    };
    StandardContext ctx{sink, file, ivCard};
    // One card's views and one mapper, kept for their room from card to card.
    CardMapper mapper(ctx);
    bool anyCard = false;
    try {
        VCardView card;
        // A stop asked for between contacts begins no further contact.
        while (!sink.StopRequested() && lexer.Next(card)) {
            anyCard = true;
            sink.CardOpened();
            fileNotes();
            ctx.ivCard = ivCard;
            NoteDiagnostics(card, ctx);
            mapper.Map(card, record);
            sink.Poll();
            if (ivCard > kMaxCardCounter) {
                RunNote note{file, ivCard,
                             "The run's contact counter is at its limit; this contact was not "
                             "converted.",
                             true};
                sink.Notes().Add(std::move(note));
            } else {
                sink.ContactFinished(record, ReadMode::Standard, ivCard);
                ++ivCard;
            }
            FreevCard(record);
            sink.Progress(static_cast<int64_t>(ivCard) - 1);
        }
        fileNotes();
        if (!anyCard && lexer.CardsBegun() == 0 && !sink.StopRequested())
            sink.Notes().Add(RunNote{file, 0, "No vCard was found in the file.", false});
    } catch (const std::exception& e) {
        RunNote failure{file, ivCard,
                        std::string("Reading stopped at this contact (") + e.what() +
                            "); it and the rest of the file were not converted.",
                        true};
        sink.Notes().Add(std::move(failure));
        FreevCard(record);
    }
}

} // namespace velloquin
