// The one contact record that the readers fill and the outputs read, the one
// list of its fields, and the two hand-offs built from it.
//
// Text is UTF-8 in memory. Dates are automation dates: days since
// 30 December 1899, the fraction being the time of day; 0 means "no date".
//
// Every field is named once, in VELLOQUIN_CONTACT_FIELDS below: the record's
// members are declared from it, and kContactFields describes each one to the
// code that copies, trims, counts or writes contacts (the hand-offs,
// CountFacts, the sheets' columns, the Outlook writer's property table, the
// tests' field lists). A new field is one new line there; whatever has no
// place for it (a sheet without the column, the store without the property)
// says so in that line.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace velloquin {

struct ContactRecord;

// What a field holds. Text and Date are facts about the contact; the picture
// file and the address marker are the reader's own bookkeeping.
enum class FieldKind : uint8_t { Text, Date, Picture, Marker };

// A sheet column of a field: `place` is the column of the 36-column .xls
// workbook (1 to 36); 0 puts it among the columns that the .xlsx and .csv
// sheets add after those 36 in Standard Mode, in the order of the list.
struct SheetColumn {
    int place = -1; // -1: no column
    const char* title = nullptr;
};

// An Outlook contact-item property a field is written to, by its
// object-model name; `step` orders the writes of one contact.
struct OutlookProperty {
    int step = 0;
    const char* name = nullptr;
};

struct ContactField {
    const char* name = nullptr; // the record member's name
    FieldKind kind = FieldKind::Text;
    std::string ContactRecord::*text = nullptr; // every kind but Date
    double ContactRecord::*date = nullptr;      // Date
    std::array<SheetColumn, 2> sheet{};
    // A field with no column of its own that the sheets show in the column of
    // another field when that one is empty (or, with standsInWhenBlank, holds
    // nothing but spaces).
    std::string ContactRecord::*standsInFor = nullptr;
    bool standsInWhenBlank = false;
    std::array<OutlookProperty, 2> outlook{};
    // A street part that Outlook receives from the whole address (the street
    // line of a card) when it is empty itself.
    std::string ContactRecord::*wholeAddress = nullptr;
    // Part of an address, whose vCard escapes the rules reader leaves in.
    bool address = false;
    // The .xls hand-off trims it in Advance Mode (Outlook trims every text).
    bool trimForSheetInAdvance = false;
    // Written to the store only when it holds a value: the Skype rules never
    // fill it, so their contacts keep the writes Outlook has always seen.
    bool outlookWhenSet = false;

    constexpr bool IsFact() const { return kind == FieldKind::Text || kind == FieldKind::Date; }
};

// X(member, kind, details...): details are designated initializers of
// ContactField after `date`, in its order.
//
// Outlook steps 1 to 41 are the writes every contact gets; IMAddress (31)
// joins the three other e-mail fields. Children and every field after
// eSelAddress are read only by the standards reader.
// clang-format off
#define VELLOQUIN_CONTACT_FIELDS(X)                                                                \
    X(eContact_FirstName, Text, .sheet = {{{1, "First Name"}}},                                    \
      .outlook = {{{1, "FirstName"}}}, .trimForSheetInAdvance = true)                              \
    X(eContact_MiddleName, Text, .sheet = {{{2, "Middle Name"}}}, .outlook = {{{2, "MiddleName"}}}) \
    X(eContact_LastName, Text, .sheet = {{{3, "Last Name"}}}, .outlook = {{{3, "LastName"}}})      \
    X(eContact_FullName, Text, .sheet = {{{0, "Full Name"}}},                                      \
      .standsInFor = &ContactRecord::eContact_FirstName, .standsInWhenBlank = true,                \
      .outlook = {{{4, "FullName"}}}, .trimForSheetInAdvance = true)                               \
    X(eContact_Suffix, Text, .sheet = {{{5, "Suffix"}}}, .outlook = {{{39, "Suffix"}}})            \
    X(eContact_Title, Text, .sheet = {{{6, "Title"}}}, .outlook = {{{38, "Title"}}})               \
    X(eContact_Email, Text, .sheet = {{{4, "Email"}}}, .outlook = {{{26, "Email1Address"}}})       \
    X(eContact_Email2, Text, .sheet = {{{0, "Email 2"}}}, .outlook = {{{27, "Email2Address"}}})    \
    X(eContact_Email3, Text, .sheet = {{{0, "Email 3"}}}, .outlook = {{{28, "Email3Address"}}})    \
    X(eContact_Company, Text, .sheet = {{{7, "Company"}}}, .outlook = {{{6, "CompanyName"}}})      \
    X(eContact_Profession, Text, .sheet = {{{0, "Profession"}}},                                   \
      .outlook = {{{35, "Profession"}}})                                                           \
    X(eContact_JobTitle, Text, .sheet = {{{8, "Job Title"}}}, .outlook = {{{5, "JobTitle"}}})      \
    X(eContact_BusinessAddress, Text, .sheet = {{{14, "Business Street Address"}}},                \
      .outlook = {{{14, "BusinessAddress"}}}, .address = true)                                     \
    X(eContact_BusinessStreet, Text, .standsInFor = &ContactRecord::eContact_BusinessAddress,      \
      .outlook = {{{15, "BusinessAddressStreet"}}},                                                \
      .wholeAddress = &ContactRecord::eContact_BusinessAddress, .address = true)                   \
    X(eContact_BusinessCity, Text, .sheet = {{{15, "Business City"}}},                             \
      .outlook = {{{16, "BusinessAddressCity"}}})                                                  \
    X(eContact_BusinessZip, Text, .sheet = {{{16, "Business Zip/Postal Code"}}},                   \
      .outlook = {{{18, "BusinessAddressPostalCode"}}})                                            \
    X(eContact_BusinessState, Text, .sheet = {{{17, "Business State"}}},                           \
      .outlook = {{{17, "BusinessAddressState"}}})                                                 \
    X(eContact_BusinessCountry, Text, .sheet = {{{18, "Business Country"}}},                       \
      .outlook = {{{19, "BusinessAddressCountry"}}})                                               \
    X(eContact_Location, Text, .sheet = {{{9, "Location"}}}, .outlook = {{{34, "OfficeLocation"}}}) \
    X(eContact_WebPage, Text, .sheet = {{{10, "Website"}}},                                        \
      .outlook = {{{29, "BusinessHomePage"}, {30, "WebPage"}}})                                    \
    X(eContact_Department, Text, .sheet = {{{11, "Department"}}}, .outlook = {{{33, "Department"}}}) \
    X(eContact_Manager, Text, .sheet = {{{12, "Manager"}}}, .outlook = {{{36, "ManagerName"}}})    \
    X(eContact_Assistant, Text, .sheet = {{{13, "Assistant"}}},                                    \
      .outlook = {{{37, "AssistantName"}}})                                                        \
    X(eContact_OfficePhone, Text, .sheet = {{{19, "Business Phone Number"}}},                      \
      .outlook = {{{7, "BusinessTelephoneNumber"}}})                                               \
    X(eContact_OfficeFax, Text, .sheet = {{{20, "Business FAX"}}},                                 \
      .outlook = {{{8, "BusinessFaxNumber"}}})                                                     \
    X(eContact_CellPhone, Text, .sheet = {{{21, "Business CellPhone"}}},                           \
      .outlook = {{{11, "MobileTelephoneNumber"}}})                                                \
    X(eContact_Pager, Text, .sheet = {{{22, "Business Pager"}, {33, "Personal CellPhone"}}},       \
      .outlook = {{{12, "PagerNumber"}}})                                                          \
    X(eContact_CarPhone, Text, .sheet = {{{0, "Car Phone"}}},                                      \
      .outlook = {{{13, "CarTelephoneNumber"}}})                                                   \
    X(eContact_OtherEmail1, Text, .sheet = {{{23, "Business Other Email 1"}}})                     \
    X(eContact_OtherEmail2, Text, .sheet = {{{24, "Business Other Email 2"}}})                     \
    X(eContact_OtherEmail3, Text, .sheet = {{{25, "Business Other Email 3"}}})                     \
    X(eContact_IMAddress, Text, .sheet = {{{0, "IM Address"}}}, .outlook = {{{31, "IMAddress"}}})  \
    X(eContact_PersonalAddress, Text, .sheet = {{{26, "Personal Street Address"}}},                \
      .outlook = {{{20, "HomeAddress"}}}, .address = true)                                         \
    X(eContact_PersonalStreet, Text, .standsInFor = &ContactRecord::eContact_PersonalAddress,      \
      .outlook = {{{21, "HomeAddressStreet"}}},                                                    \
      .wholeAddress = &ContactRecord::eContact_PersonalAddress, .address = true)                   \
    X(eContact_PersonalCity, Text, .sheet = {{{27, "Personal City"}}},                             \
      .outlook = {{{22, "HomeAddressCity"}}})                                                      \
    X(eContact_PersonalZip, Text, .sheet = {{{28, "Personal Zip/Postal Code"}}},                   \
      .outlook = {{{24, "HomeAddressPostalCode"}}})                                                \
    X(eContact_PersonalState, Text, .sheet = {{{29, "Personal State"}}},                           \
      .outlook = {{{23, "HomeAddressState"}}})                                                     \
    X(eContact_PersonalCountry, Text, .sheet = {{{30, "Personal Country"}}},                       \
      .outlook = {{{25, "HomeAddressCountry"}}})                                                   \
    X(eContact_Spouse, Text, .sheet = {{{0, "Spouse"}}}, .outlook = {{{40, "Spouse"}}})            \
    X(eContact_Childern, Text, .sheet = {{{0, "Children"}}}, .outlook = {{{42, "Children"}}},      \
      .outlookWhenSet = true)                                                                      \
    X(eContact_HomePhone, Text, .sheet = {{{31, "Personal Phone Number"}}},                        \
      .outlook = {{{9, "HomeTelephoneNumber"}}})                                                   \
    X(eContact_HomeFax, Text, .sheet = {{{32, "Personal FAX"}}}, .outlook = {{{10, "HomeFaxNumber"}}}) \
    X(eContact_BirthDay, Date, .sheet = {{{34, "Birthday"}}}, .outlook = {{{0, "Birthday"}}})      \
    X(eContact_Anniversary, Date, .sheet = {{{35, "Anniversary"}}},                                \
      .outlook = {{{0, "Anniversary"}}})                                                           \
    X(eContact_Comments, Text, .sheet = {{{36, "Comments"}}}, .outlook = {{{41, "Body"}}})         \
    X(eContact_ShortName, Text)                                                                    \
    X(eContact_PhoneticName, Text)                                                                 \
    X(eContact_MailDomain, Text)                                                                   \
    X(eContact_Categories, Text, .sheet = {{{0, "Categories"}}}, .outlook = {{{32, "Categories"}}}) \
    X(ePhoto, Picture)                                                                             \
    X(eSelAddress, Marker)                                                                         \
    X(eContact_NickName, Text, .sheet = {{{0, "Nickname"}}}, .outlook = {{{43, "NickName"}}},      \
      .outlookWhenSet = true)                                                                      \
    X(eContact_HomePhone2, Text, .sheet = {{{0, "Personal Phone Number 2"}}},                      \
      .outlook = {{{44, "Home2TelephoneNumber"}}}, .outlookWhenSet = true)                         \
    X(eContact_OfficePhone2, Text, .sheet = {{{0, "Business Phone Number 2"}}},                    \
      .outlook = {{{45, "Business2TelephoneNumber"}}}, .outlookWhenSet = true)                     \
    X(eContact_OtherPhone, Text, .sheet = {{{0, "Other Phone Number"}}},                           \
      .outlook = {{{46, "OtherTelephoneNumber"}}}, .outlookWhenSet = true)                         \
    X(eContact_OtherFax, Text, .sheet = {{{0, "Other FAX"}}},                                      \
      .outlook = {{{47, "OtherFaxNumber"}}}, .outlookWhenSet = true)                               \
    X(eContact_CompanyMainPhone, Text, .sheet = {{{0, "Company Main Phone"}}},                     \
      .outlook = {{{48, "CompanyMainTelephoneNumber"}}}, .outlookWhenSet = true)                   \
    X(eContact_ISDN, Text, .sheet = {{{0, "ISDN"}}}, .outlook = {{{49, "ISDNNumber"}}},            \
      .outlookWhenSet = true)                                                                      \
    X(eContact_RadioPhone, Text, .sheet = {{{0, "Radio Phone"}}},                                  \
      .outlook = {{{50, "RadioTelephoneNumber"}}}, .outlookWhenSet = true)                         \
    X(eContact_CallbackPhone, Text, .sheet = {{{0, "Callback Phone"}}},                            \
      .outlook = {{{51, "CallbackTelephoneNumber"}}}, .outlookWhenSet = true)                      \
    X(eContact_Telex, Text, .sheet = {{{0, "Telex"}}}, .outlook = {{{52, "TelexNumber"}}},         \
      .outlookWhenSet = true)                                                                      \
    X(eContact_TTYPhone, Text, .sheet = {{{0, "TTY/TDD Phone"}}},                                  \
      .outlook = {{{53, "TTYTDDTelephoneNumber"}}}, .outlookWhenSet = true)                        \
    X(eContact_AssistantPhone, Text, .sheet = {{{0, "Assistant Phone"}}},                          \
      .outlook = {{{54, "AssistantTelephoneNumber"}}}, .outlookWhenSet = true)                     \
    X(eContact_PrimaryPhone, Text, .sheet = {{{0, "Primary Phone"}}},                              \
      .outlook = {{{55, "PrimaryTelephoneNumber"}}}, .outlookWhenSet = true)                       \
    X(eContact_OtherAddress, Text, .sheet = {{{0, "Other Street Address"}}},                       \
      .outlook = {{{56, "OtherAddress"}}}, .address = true, .outlookWhenSet = true)                \
    X(eContact_OtherStreet, Text, .standsInFor = &ContactRecord::eContact_OtherAddress,            \
      .outlook = {{{57, "OtherAddressStreet"}}},                                                   \
      .wholeAddress = &ContactRecord::eContact_OtherAddress, .address = true,                      \
      .outlookWhenSet = true)                                                                      \
    X(eContact_OtherCity, Text, .sheet = {{{0, "Other City"}}},                                    \
      .outlook = {{{58, "OtherAddressCity"}}}, .outlookWhenSet = true)                             \
    X(eContact_OtherZip, Text, .sheet = {{{0, "Other Zip/Postal Code"}}},                          \
      .outlook = {{{60, "OtherAddressPostalCode"}}}, .outlookWhenSet = true)                       \
    X(eContact_OtherState, Text, .sheet = {{{0, "Other State"}}},                                  \
      .outlook = {{{59, "OtherAddressState"}}}, .outlookWhenSet = true)                            \
    X(eContact_OtherCountry, Text, .sheet = {{{0, "Other Country"}}},                              \
      .outlook = {{{61, "OtherAddressCountry"}}}, .outlookWhenSet = true)                          \
    X(eContact_PersonalWebPage, Text, .sheet = {{{0, "Personal Website"}}},                        \
      .outlook = {{{62, "PersonalHomePage"}}}, .outlookWhenSet = true)
// clang-format on

#define VELLOQUIN_FIELD_TYPE_Text std::string
#define VELLOQUIN_FIELD_TYPE_Picture std::string
#define VELLOQUIN_FIELD_TYPE_Marker std::string
#define VELLOQUIN_FIELD_TYPE_Date double

struct ContactRecord {
#define VELLOQUIN_DECLARE_FIELD(fieldMember, fieldKind, ...)                                       \
    VELLOQUIN_FIELD_TYPE_##fieldKind fieldMember{};
    VELLOQUIN_CONTACT_FIELDS(VELLOQUIN_DECLARE_FIELD)
#undef VELLOQUIN_DECLARE_FIELD
};

#define VELLOQUIN_FIELD_POINTER_Text(fieldMember) .text = &ContactRecord::fieldMember
#define VELLOQUIN_FIELD_POINTER_Picture(fieldMember) .text = &ContactRecord::fieldMember
#define VELLOQUIN_FIELD_POINTER_Marker(fieldMember) .text = &ContactRecord::fieldMember
#define VELLOQUIN_FIELD_POINTER_Date(fieldMember) .date = &ContactRecord::fieldMember

// Every field of the record, in the record's order.
inline constexpr ContactField kContactFields[] = {
#define VELLOQUIN_DESCRIBE_FIELD(fieldMember, fieldKind, ...)                                      \
    ContactField{.name = #fieldMember,                                                             \
                 .kind = FieldKind::fieldKind,                                                     \
                 VELLOQUIN_FIELD_POINTER_##fieldKind(fieldMember) __VA_OPT__(, ) __VA_ARGS__},
    VELLOQUIN_CONTACT_FIELDS(VELLOQUIN_DESCRIBE_FIELD)
#undef VELLOQUIN_DESCRIBE_FIELD
};

#undef VELLOQUIN_FIELD_POINTER_Text
#undef VELLOQUIN_FIELD_POINTER_Picture
#undef VELLOQUIN_FIELD_POINTER_Marker
#undef VELLOQUIN_FIELD_POINTER_Date
#undef VELLOQUIN_FIELD_TYPE_Text
#undef VELLOQUIN_FIELD_TYPE_Picture
#undef VELLOQUIN_FIELD_TYPE_Marker
#undef VELLOQUIN_FIELD_TYPE_Date

// The entry of a text member, or null.
constexpr const ContactField* FindField(std::string ContactRecord::*member) {
    for (const ContactField& field : kContactFields)
        if (field.text == member) return &field;
    return nullptr;
}

// Clears every text field and sets both dates to 0.
void FreevCard(ContactRecord& record);

// The facts a record holds: its non-empty texts and non-zero dates, the
// picture and the address it was read for (eSelAddress) left out. Two readings
// of one card compare by it.
int CountFacts(const ContactRecord& record);

// What Save2ExcelContact receives: the contact and its place in the run.
struct ExcelContactArgs : ContactRecord {
    // The run's contact counter for this contact; its row is xlsCnt + 1.
    // Wider than the original 16 bits so that no contact past 32,767 is dropped.
    int32_t xlsCnt = 0;
};

// What CreateContactItem receives: the contact and where it goes.
struct OutlookContactArgs : ContactRecord {
    std::string storeID;
    int16_t FolderName = 10;
};

// Builds the Excel hand-off. In Advance mode the first and full names are
// trimmed; in Normal mode every value goes as the record holds it.
ExcelContactArgs MakeExcelHandOff(const ContactRecord& record, bool advanceMode, int32_t xlsCnt);
// The same into a hand-off that a run keeps from one contact to the next, so
// that its texts keep their memory.
void FillExcelHandOff(const ContactRecord& record, bool advanceMode, int32_t xlsCnt,
                      ExcelContactArgs& handOff);

// Builds the Outlook hand-off: every text trimmed of leading and trailing spaces.
OutlookContactArgs MakeOutlookHandOff(const ContactRecord& record, const std::string& pstStoreID);

} // namespace velloquin
