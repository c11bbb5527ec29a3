// A contact item's fields by object-model name, and the MAPI properties
// Outlook stores for them on an IPM.Contact message.
#pragma once

#include "pst/Ltp.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velloquin::pst {

// A contact item's text fields, one slot each. Most are stored as one plain
// property each; FullName, the whole addresses, the e-mail addresses,
// Categories and Children have derived properties.
enum class ContactText : uint8_t {
    FirstName,
    MiddleName,
    LastName,
    JobTitle,
    CompanyName,
    BusinessTelephoneNumber,
    BusinessFaxNumber,
    HomeTelephoneNumber,
    HomeFaxNumber,
    MobileTelephoneNumber,
    PagerNumber,
    CarTelephoneNumber,
    BusinessAddressStreet,
    BusinessAddressCity,
    BusinessAddressState,
    BusinessAddressPostalCode,
    BusinessAddressCountry,
    HomeAddressStreet,
    HomeAddressCity,
    HomeAddressState,
    HomeAddressPostalCode,
    HomeAddressCountry,
    BusinessHomePage,
    WebPage,
    IMAddress,
    Department,
    OfficeLocation,
    Profession,
    ManagerName,
    AssistantName,
    Title,
    Suffix,
    Spouse,
    Body,
    FullName,
    BusinessAddress,
    HomeAddress,
    Email1Address,
    Email2Address,
    Email3Address,
    Categories,
    NickName,
    Home2TelephoneNumber,
    Business2TelephoneNumber,
    OtherTelephoneNumber,
    OtherFaxNumber,
    CompanyMainTelephoneNumber,
    ISDNNumber,
    RadioTelephoneNumber,
    CallbackTelephoneNumber,
    TelexNumber,
    TTYTDDTelephoneNumber,
    AssistantTelephoneNumber,
    PrimaryTelephoneNumber,
    OtherAddressStreet,
    OtherAddressCity,
    OtherAddressState,
    OtherAddressPostalCode,
    OtherAddressCountry,
    PersonalHomePage,
    OtherAddress,
    Children,
};
constexpr size_t kContactTextCount = size_t(ContactText::Children) + 1;
enum class ContactDate : uint8_t { Birthday, Anniversary };
constexpr size_t kContactDateCount = size_t(ContactDate::Anniversary) + 1;

// The fields of one contact item. An empty text or a zero date is a field
// that is not set.
struct ContactFields {
    std::array<std::string, kContactTextCount> texts;
    std::array<double, kContactDateCount> dates{}; // automation dates

    std::string& operator[](ContactText f) { return texts[size_t(f)]; }
    const std::string& operator[](ContactText f) const { return texts[size_t(f)]; }
    double& operator[](ContactDate f) { return dates[size_t(f)]; }
    double operator[](ContactDate f) const { return dates[size_t(f)]; }
};

enum class FieldKind : uint8_t { Text, Date };
// Where an object-model property name ("FirstName", "Birthday", ...) goes:
// an index into ContactFields::texts or ::dates.
struct ContactFieldRef {
    FieldKind kind;
    uint8_t index;
};
// The field of an object-model name, or nothing for an unknown name.
std::optional<ContactFieldRef> FindContactField(std::string_view name);
// Every object-model name the contact item accepts, in a fixed order.
const std::vector<std::string>& ContactFieldNames();

// FILETIME (100-ns ticks since 1601-01-01 UTC) of an automation date.
uint64_t FileTimeFromAutomationDate(double date);
// FILETIME of the current moment.
uint64_t FileTimeNow();

// "Full Name" of the item: FullName, else the name parts, else the first of
// the company, the e-mail and IM addresses and the phone numbers.
std::string ContactDisplayName(const ContactFields& f);
// PidLidFileUnder and its id: "Surname, Given Middle" when there is a name
// part, else the full name, the company or the display name's fallback.
std::pair<std::string, uint32_t> ContactFileAs(const ContactFields& f);
// One address group as written: the whole address and its parts.
struct ContactAddress {
    std::string whole, street, city, state, postalCode, country;
};
// The group for the given fields. An empty street part takes a one-line whole
// address; the whole address is composed of the parts as Outlook composes it
// (street, "City, State PostalCode", country, one line each), except a
// multi-line whole address that has no street part, which is kept.
ContactAddress ResolveAddress(const std::string& whole, const std::string& street,
                              const std::string& city, const std::string& state,
                              const std::string& postalCode, const std::string& country);
// PidTagInitials as Outlook derives it: "A.B.C." of first, middle and last name.
std::string ContactInitials(const ContactFields& f);
// Categories (or children's names) cut at commas, items trimmed, empty items
// dropped.
std::vector<std::string> SplitCategories(const std::string& text);
// One-off ENTRYID: flags 4, provider uid 16, version 2, flags 2, then display
// name, address type and address as NUL-terminated UTF-16LE.
Bytes OneOffEntryId(const std::string& name, const std::string& type, const std::string& address);

// All properties of the contact message except the size (added by the
// store, which knows the encoded size), in place of what `out` held.
// `hasPicture` adds PidLidHasPicture.
void ContactProperties(const ContactFields& f, bool hasPicture, uint64_t now,
                       const Bytes& searchKey, PropertyList& out);

// Value encoders.
Property TextProp(uint16_t id, const std::string& utf8);
Property LongProp(uint16_t id, uint32_t v);
Property BoolProp(uint16_t id, bool v);
Property TimeProp(uint16_t id, uint64_t fileTime);
Property BinaryProp(uint16_t id, Bytes v);

} // namespace velloquin::pst
