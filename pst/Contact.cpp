#include "pst/Contact.h"

#include "core/Text.h"
#include "pst/NameMap.h"

#include <chrono>
#include <cmath>
#include <unordered_map>

namespace velloquin::pst {

namespace {

using T = ContactText;

// Every text field by object-model name, in the order of ContactText. A plain
// field is stored as one string property: ids >= 0x8000 are PSETID_Address
// LIDs, resolved through the name map, and 0 marks a field whose properties
// are derived below.
struct TextField {
    ContactText field;
    const char* name;
    uint16_t id;
    bool addressPart = false; // written with its address group
};
constexpr TextField kTextFields[] = {
    {T::FirstName, "FirstName", 0x3A06},
    {T::MiddleName, "MiddleName", 0x3A44},
    {T::LastName, "LastName", 0x3A11},
    {T::JobTitle, "JobTitle", 0x3A17},
    {T::CompanyName, "CompanyName", 0x3A16},
    {T::BusinessTelephoneNumber, "BusinessTelephoneNumber", 0x3A08},
    {T::BusinessFaxNumber, "BusinessFaxNumber", 0x3A24},
    {T::HomeTelephoneNumber, "HomeTelephoneNumber", 0x3A09},
    {T::HomeFaxNumber, "HomeFaxNumber", 0x3A25},
    {T::MobileTelephoneNumber, "MobileTelephoneNumber", 0x3A1C},
    {T::PagerNumber, "PagerNumber", 0x3A21},
    {T::CarTelephoneNumber, "CarTelephoneNumber", 0x3A1E},
    {T::BusinessAddressStreet, "BusinessAddressStreet", kLidWorkAddressStreet, true},
    {T::BusinessAddressCity, "BusinessAddressCity", kLidWorkAddressCity, true},
    {T::BusinessAddressState, "BusinessAddressState", kLidWorkAddressState, true},
    {T::BusinessAddressPostalCode, "BusinessAddressPostalCode", kLidWorkAddressPostalCode, true},
    {T::BusinessAddressCountry, "BusinessAddressCountry", kLidWorkAddressCountry, true},
    {T::HomeAddressStreet, "HomeAddressStreet", 0x3A5D, true},
    {T::HomeAddressCity, "HomeAddressCity", 0x3A59, true},
    {T::HomeAddressState, "HomeAddressState", 0x3A5C, true},
    {T::HomeAddressPostalCode, "HomeAddressPostalCode", 0x3A5B, true},
    {T::HomeAddressCountry, "HomeAddressCountry", 0x3A5A, true},
    {T::BusinessHomePage, "BusinessHomePage", 0x3A51},
    {T::WebPage, "WebPage", kLidHtml},
    {T::IMAddress, "IMAddress", kLidInstantMessagingAddress},
    {T::Department, "Department", 0x3A18},
    {T::OfficeLocation, "OfficeLocation", 0x3A19},
    {T::Profession, "Profession", 0x3A46},
    {T::ManagerName, "ManagerName", 0x3A4E},
    {T::AssistantName, "AssistantName", 0x3A30},
    {T::Title, "Title", 0x3A45},
    {T::Suffix, "Suffix", 0x3A05},
    {T::Spouse, "Spouse", 0x3A48},
    {T::Body, "Body", 0x1000},
    {T::FullName, "FullName", 0},
    {T::BusinessAddress, "BusinessAddress", 0},
    {T::HomeAddress, "HomeAddress", 0},
    {T::Email1Address, "Email1Address", 0},
    {T::Email2Address, "Email2Address", 0},
    {T::Email3Address, "Email3Address", 0},
    {T::Categories, "Categories", 0},
    {T::NickName, "NickName", 0x3A4F},
    {T::Home2TelephoneNumber, "Home2TelephoneNumber", 0x3A2F},
    {T::Business2TelephoneNumber, "Business2TelephoneNumber", 0x3A1B},
    {T::OtherTelephoneNumber, "OtherTelephoneNumber", 0x3A1F},
    {T::OtherFaxNumber, "OtherFaxNumber", 0x3A23},
    {T::CompanyMainTelephoneNumber, "CompanyMainTelephoneNumber", 0x3A57},
    {T::ISDNNumber, "ISDNNumber", 0x3A2D},
    {T::RadioTelephoneNumber, "RadioTelephoneNumber", 0x3A1D},
    {T::CallbackTelephoneNumber, "CallbackTelephoneNumber", 0x3A02},
    {T::TelexNumber, "TelexNumber", 0x3A2C},
    {T::TTYTDDTelephoneNumber, "TTYTDDTelephoneNumber", 0x3A4B},
    {T::AssistantTelephoneNumber, "AssistantTelephoneNumber", 0x3A2E},
    {T::PrimaryTelephoneNumber, "PrimaryTelephoneNumber", 0x3A1A},
    {T::OtherAddressStreet, "OtherAddressStreet", 0x3A63, true},
    {T::OtherAddressCity, "OtherAddressCity", 0x3A5F, true},
    {T::OtherAddressState, "OtherAddressState", 0x3A62, true},
    {T::OtherAddressPostalCode, "OtherAddressPostalCode", 0x3A61, true},
    {T::OtherAddressCountry, "OtherAddressCountry", 0x3A60, true},
    {T::PersonalHomePage, "PersonalHomePage", 0x3A50},
    {T::OtherAddress, "OtherAddress", 0},
    {T::Children, "Children", 0},
};
constexpr const char* kDateNames[] = {"Birthday", "Anniversary"};

constexpr bool InEnumOrder() {
    for (size_t i = 0; i < std::size(kTextFields); ++i)
        if (size_t(kTextFields[i].field) != i) return false;
    return std::size(kTextFields) == kContactTextCount &&
           std::size(kDateNames) == kContactDateCount;
}
static_assert(InEnumOrder(), "kTextFields and kDateNames follow the enums");

// What names a contact that has no name, in this order.
constexpr ContactText kNameFallbacks[] = {T::CompanyName,
                                          T::Email1Address,
                                          T::Email2Address,
                                          T::Email3Address,
                                          T::IMAddress,
                                          T::MobileTelephoneNumber,
                                          T::BusinessTelephoneNumber,
                                          T::HomeTelephoneNumber,
                                          T::CarTelephoneNumber,
                                          T::PagerNumber,
                                          T::BusinessFaxNumber,
                                          T::HomeFaxNumber,
                                          T::NickName,
                                          T::PrimaryTelephoneNumber,
                                          T::Business2TelephoneNumber,
                                          T::Home2TelephoneNumber,
                                          T::CompanyMainTelephoneNumber,
                                          T::OtherTelephoneNumber,
                                          T::AssistantTelephoneNumber,
                                          T::CallbackTelephoneNumber,
                                          T::RadioTelephoneNumber,
                                          T::ISDNNumber,
                                          T::TTYTDDTelephoneNumber,
                                          T::TelexNumber,
                                          T::OtherFaxNumber};

uint16_t Resolve(uint16_t id) {
    return id >= 0x8000 ? NamedId(id) : id;
}

const std::string* Get(const ContactFields& f, ContactText field) {
    const std::string& v = f[field];
    return v.empty() ? nullptr : &v;
}

std::string JoinNonEmpty(std::initializer_list<std::string> parts, const char* sep) {
    std::string out;
    for (const std::string& p : parts) {
        if (p.empty()) continue;
        if (!out.empty()) out += sep;
        out += p;
    }
    return out;
}

// The multi-line address Outlook shows when only the parts are known.
std::string ComposeAddress(const std::string& street, const std::string& city,
                           const std::string& state, const std::string& zip,
                           const std::string& country) {
    const std::string cityLine = JoinNonEmpty({JoinNonEmpty({city, state}, ", "), zip}, " ");
    return JoinNonEmpty({street, cityLine, country}, "\r\n");
}

constexpr uint64_t kTicksPerDay = 864000000000ull;
constexpr double kDaysFrom1601To1899 = 109205;

} // namespace

std::optional<ContactFieldRef> FindContactField(std::string_view name) {
    // Called for every property write of every contact.
    static const std::unordered_map<std::string_view, ContactFieldRef> fields = [] {
        std::unordered_map<std::string_view, ContactFieldRef> m;
        for (const auto& t : kTextFields)
            m.emplace(t.name, ContactFieldRef{FieldKind::Text, uint8_t(t.field)});
        for (size_t i = 0; i < std::size(kDateNames); ++i)
            m.emplace(kDateNames[i], ContactFieldRef{FieldKind::Date, uint8_t(i)});
        return m;
    }();
    auto it = fields.find(name);
    if (it == fields.end()) return std::nullopt;
    return it->second;
}

const std::vector<std::string>& ContactFieldNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const auto& t : kTextFields)
            n.emplace_back(t.name);
        for (const char* d : kDateNames)
            n.emplace_back(d);
        return n;
    }();
    return names;
}

uint64_t FileTimeFromAutomationDate(double date) {
    const double ticks = (date + kDaysFrom1601To1899) * double(kTicksPerDay);
    return ticks <= 0 ? 0 : static_cast<uint64_t>(std::llround(ticks));
}

uint64_t FileTimeNow() {
    using namespace std::chrono;
    const auto since1970 =
        duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<uint64_t>(since1970) * 10 + 116444736000000000ull;
}

std::string ContactDisplayName(const ContactFields& f) {
    if (const std::string* full = Get(f, T::FullName)) return *full;
    std::string composed = JoinNonEmpty(
        {f[T::Title], f[T::FirstName], f[T::MiddleName], f[T::LastName], f[T::Suffix]}, " ");
    if (!composed.empty()) return composed;
    // A card without a name still needs a line in the Contacts list.
    for (const ContactText field : kNameFallbacks)
        if (const std::string* v = Get(f, field)) return *v;
    return {};
}

std::pair<std::string, uint32_t> ContactFileAs(const ContactFields& f) {
    const std::string given = JoinNonEmpty({f[T::FirstName], f[T::MiddleName]}, " ");
    const std::string byName = JoinNonEmpty({f[T::LastName], given}, ", ");
    if (!byName.empty()) return {byName, 0x8017};
    if (const std::string* full = Get(f, T::FullName)) return {*full, 0x3001};
    if (const std::string* company = Get(f, T::CompanyName)) return {*company, 0x3A16};
    const std::string display = ContactDisplayName(f);
    if (!display.empty()) return {display, 0x3001};
    return {std::string(), 0};
}

ContactAddress ResolveAddress(const std::string& whole, const std::string& street,
                              const std::string& city, const std::string& state,
                              const std::string& postalCode, const std::string& country) {
    ContactAddress a{whole, street, city, state, postalCode, country};
    // The reader keeps the street line of a card in the whole address; a
    // one-line whole address with no street part is that street.
    const bool oneLine = whole.find_first_of("\r\n") == std::string::npos;
    if (a.street.empty() && oneLine) a.street = whole;
    const std::string composed = ComposeAddress(a.street, a.city, a.state, a.postalCode, a.country);
    // A whole address of several lines with no street part is kept as the
    // user wrote it: composing would drop its street.
    if (!composed.empty() && (!a.street.empty() || whole.empty())) a.whole = composed;
    return a;
}

std::string ContactInitials(const ContactFields& f) {
    std::string out;
    for (const ContactText field : {T::FirstName, T::MiddleName, T::LastName}) {
        const std::string* v = Get(f, field);
        if (!v) continue;
        // the first character, with all of its UTF-8 bytes
        size_t n = 1;
        while (n < v->size() && ((*v)[n] & 0xC0) == 0x80)
            ++n;
        out += v->substr(0, n) + ".";
    }
    return out;
}

std::vector<std::string> SplitCategories(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        std::string item = text.substr(start, end - start);
        const size_t a = item.find_first_not_of(" \t");
        const size_t b = item.find_last_not_of(" \t");
        if (a != std::string::npos) out.push_back(item.substr(a, b - a + 1));
        start = end + 1;
    }
    return out;
}

namespace {

void WriteOneOffEntryId(PropertyList& p, uint32_t tag, std::string_view name, std::string_view type,
                        std::string_view address) {
    static constexpr uint8_t kOneOffUid[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                               0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
    static constexpr uint8_t kVersionAndFlags[4] = {
        0x00, 0x00, // version
        0x01,       // flags: no rich text ...
        0x90};      // ... Unicode strings, no address-book lookup
    p.Begin(tag);
    p.U32(0);
    p.Raw(kOneOffUid, 16);
    p.Raw(kVersionAndFlags, 4);
    for (const std::string_view t : {name, type, address}) {
        p.Utf16(t);
        p.U16(0);
    }
    p.End();
}

} // namespace

Bytes OneOffEntryId(const std::string& name, const std::string& type, const std::string& address) {
    PropertyList p;
    WriteOneOffEntryId(p, Tag(0, kPtBinary), name, type, address);
    return p.Data();
}

Property TextProp(uint16_t id, const std::string& utf8) {
    return {Tag(id, kPtUnicode), Utf8ToUtf16Le(utf8), 0};
}
Property LongProp(uint16_t id, uint32_t v) {
    LeWriter s;
    s.U32(v);
    return {Tag(id, kPtInt32), s.Take(), 0};
}
Property BoolProp(uint16_t id, bool v) {
    return {Tag(id, kPtBool), Bytes{uint8_t(v ? 1 : 0)}, 0};
}
Property TimeProp(uint16_t id, uint64_t fileTime) {
    LeWriter s;
    s.U64(fileTime);
    return {Tag(id, kPtTime), s.Take(), 0};
}
Property BinaryProp(uint16_t id, Bytes v) {
    return {Tag(id, kPtBinary), std::move(v), 0};
}

void ContactProperties(const ContactFields& f, bool hasPicture, uint64_t now,
                       const Bytes& searchKey, PropertyList& p) {
    p.Clear();
    auto text = [&p](uint16_t id, std::string_view v) {
        if (!v.empty()) p.Text(id, v);
    };
    for (const auto& t : kTextFields)
        if (t.id != 0 && !t.addressPart) text(Resolve(t.id), f[t.field]);

    // Names: display name doubles as subject; FileAs like Outlook's default.
    const std::string display = ContactDisplayName(f);
    text(0x3001, display);
    text(0x0037, display);
    text(0x0E1D, display);
    const auto [fileAs, fileAsId] = ContactFileAs(f);
    if (!fileAs.empty()) {
        text(NamedId(kLidFileUnder), fileAs);
        p.Long(NamedId(kLidFileUnderId), fileAsId);
    }

    // Addresses, each set as a group: the whole address composed of its
    // parts. The business address, else the home address, is the mailing
    // address.
    const ContactAddress work = ResolveAddress(
        f[T::BusinessAddress], f[T::BusinessAddressStreet], f[T::BusinessAddressCity],
        f[T::BusinessAddressState], f[T::BusinessAddressPostalCode], f[T::BusinessAddressCountry]);
    const ContactAddress home = ResolveAddress(
        f[T::HomeAddress], f[T::HomeAddressStreet], f[T::HomeAddressCity], f[T::HomeAddressState],
        f[T::HomeAddressPostalCode], f[T::HomeAddressCountry]);
    auto address = [&](const ContactAddress& a, const uint16_t(&ids)[6]) {
        text(ids[0], a.whole);
        text(ids[1], a.street);
        text(ids[2], a.city);
        text(ids[3], a.state);
        text(ids[4], a.postalCode);
        text(ids[5], a.country);
    };
    address(work, {NamedId(kLidWorkAddress), NamedId(kLidWorkAddressStreet),
                   NamedId(kLidWorkAddressCity), NamedId(kLidWorkAddressState),
                   NamedId(kLidWorkAddressPostalCode), NamedId(kLidWorkAddressCountry)});
    address(home, {NamedId(kLidHomeAddress), 0x3A5D, 0x3A59, 0x3A5C, 0x3A5B, 0x3A5A});
    const ContactAddress other = ResolveAddress(
        f[T::OtherAddress], f[T::OtherAddressStreet], f[T::OtherAddressCity],
        f[T::OtherAddressState], f[T::OtherAddressPostalCode], f[T::OtherAddressCountry]);
    address(other, {NamedId(kLidOtherAddress), 0x3A63, 0x3A5F, 0x3A62, 0x3A61, 0x3A60});
    const ContactAddress* mailing = !work.whole.empty()    ? &work
                                    : !home.whole.empty()  ? &home
                                    : !other.whole.empty() ? &other
                                                           : nullptr;
    if (mailing) {
        address(*mailing, {0x3A15, 0x3A29, 0x3A27, 0x3A28, 0x3A2A, 0x3A26});
        p.Long(NamedId(kLidPostalAddressId), mailing == &work ? 2 : mailing == &home ? 1 : 3);
    }

    // E-mail addresses and fax numbers with the companions Outlook keeps for
    // each, listed in the address-book arrays: e-mail 0..2, business fax 3,
    // home fax 4 (bit 1 << entry in the array type).
    uint32_t emailList[6];
    size_t listed = 0;
    uint32_t arrayType = 0;
    const ContactText emails[] = {T::Email1Address, T::Email2Address, T::Email3Address};
    std::string shown;
    for (uint16_t k = 0; k < 3; ++k) {
        const std::string& addr = f[emails[k]];
        if (addr.empty()) continue;
        const auto base = static_cast<uint16_t>(kLidEmail1DisplayName + 0x10 * k);
        shown = addr;
        if (!display.empty()) shown = display + " (" + addr + ")";
        text(NamedId(base), shown);
        text(NamedId(static_cast<uint16_t>(base + 2)), "SMTP");
        text(NamedId(static_cast<uint16_t>(base + 3)), addr);
        text(NamedId(static_cast<uint16_t>(base + 4)), addr);
        WriteOneOffEntryId(p, Tag(NamedId(static_cast<uint16_t>(base + 5)), kPtBinary), shown,
                           "SMTP", addr);
        emailList[listed++] = k;
        arrayType |= 1u << k;
    }
    const std::pair<ContactText, uint16_t> faxes[] = {{T::BusinessFaxNumber, kLidFax1AddressType},
                                                      {T::HomeFaxNumber, kLidFax2AddressType},
                                                      {T::OtherFaxNumber, kLidFax3AddressType}};
    for (uint16_t k = 0; k < 3; ++k) {
        const auto [field, base] = faxes[k];
        // Outlook names the type of every fax entry, filled or not.
        text(NamedId(base), "FAX");
        const std::string& number = f[field];
        if (number.empty()) continue;
        const std::string addr = display + "@" + number;
        text(NamedId(static_cast<uint16_t>(base + 1)), addr);
        text(NamedId(static_cast<uint16_t>(base + 2)), display);
        WriteOneOffEntryId(p, Tag(NamedId(static_cast<uint16_t>(base + 3)), kPtBinary), display,
                           "FAX", addr);
        emailList[listed++] = 3u + k;
        arrayType |= 1u << (3 + k);
    }
    if (arrayType) {
        p.Begin(Tag(NamedId(kLidAddressBookProviderEmailList), kPtMvInt32));
        for (size_t i = 0; i < listed; ++i)
            p.U32(emailList[i]);
        p.End();
        p.Long(NamedId(kLidAddressBookProviderArrayType), arrayType);
    }

    // Lists of texts: the categories, the children's names.
    auto textList = [&p](const std::string& joined, uint16_t id) {
        if (joined.empty()) return;
        const std::vector<std::string> items = SplitCategories(joined);
        if (items.empty()) return;
        LeWriter head, body;
        head.U32(static_cast<uint32_t>(items.size()));
        const size_t start = 4 + 4 * items.size();
        for (const std::string& item : items) {
            head.U32(static_cast<uint32_t>(start + body.Size()));
            body.Raw(Utf8ToUtf16Le(item));
        }
        head.Raw(body.Data());
        p.Add(Tag(id, kPtMvUnicode), head.Data().data(), head.Size());
    };
    textList(f[T::Categories], KeywordsId());
    textList(f[T::Children], 0x3A58);

    // Dates: the day at 11:59 UTC, and its local midnight stored unconverted.
    auto date = [&](ContactDate field, uint16_t tagId, uint16_t localLid) {
        if (f[field] == 0) return;
        const double day = std::floor(f[field]);
        p.Time(tagId, FileTimeFromAutomationDate(day + (11 * 60 + 59) / 1440.0));
        p.Time(NamedId(localLid), FileTimeFromAutomationDate(day));
    };
    date(ContactDate::Birthday, 0x3A42, kLidBirthdayLocal);
    date(ContactDate::Anniversary, 0x3A41, kLidWeddingAnniversaryLocal);

    if (hasPicture) p.Bool(NamedId(kLidHasPicture), true);

    // What Outlook writes on every contact: the contact icon, the locale
    // whose address layout the whole addresses follow (en-US), the file-as
    // choices its form offers, and the version of Outlook whose contacts
    // these follow.
    p.Long(0x1080, 0x200);
    p.Long(0x3FF1, 0x409);
    p.Long(0x3A71, 0);
    p.Long(NamedId(kLidContactCharacterSet), 0x100);
    text(0x3A0A, ContactInitials(f));
    p.Begin(Tag(NamedId(kLidFileUnderList), kPtMvInt32));
    for (uint32_t id : {0x8017u, 0x8037u, 0x3A16u, 0x8019u, 0x8018u})
        p.U32(id);
    p.End();
    p.Long(CommonNamedId(kLidCurrentVersion), 0x1E666);
    p.Text(CommonNamedId(kLidCurrentVersionName), "12.0");

    // The message itself.
    p.Text(0x001A, "IPM.Contact");
    p.Long(0x0E07, hasPicture ? 0x11 : 0x01); // read, has attachment
    p.Long(0x0E17, 0);
    p.Long(0x0017, 1);
    p.Long(0x0036, 0);
    p.Time(0x3007, now);
    p.Time(0x3008, now);
    p.Binary(0x300B, searchKey);
}

} // namespace velloquin::pst
