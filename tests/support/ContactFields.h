// The text fields of the contact record and of the hand-off to Outlook, by
// their names after "eContact_", in the record's order.
#pragma once

// clang-format off
#define VELLOQUIN_CONTACT_TEXT_FIELDS(X)                                                           \
    X(FirstName) X(MiddleName) X(LastName) X(FullName) X(Suffix) X(Title) X(Email) X(Email2)       \
    X(Email3) X(Company) X(Profession) X(JobTitle) X(BusinessAddress) X(BusinessStreet)            \
    X(BusinessCity) X(BusinessZip) X(BusinessState) X(BusinessCountry) X(Location) X(WebPage)      \
    X(Department) X(Manager) X(Assistant) X(OfficePhone) X(OfficeFax) X(CellPhone) X(Pager)        \
    X(CarPhone) X(OtherEmail1) X(OtherEmail2) X(OtherEmail3) X(IMAddress) X(PersonalAddress)       \
    X(PersonalStreet) X(PersonalCity) X(PersonalZip) X(PersonalState) X(PersonalCountry) X(Spouse) \
    X(Childern) X(HomePhone) X(HomeFax) X(Comments) X(ShortName) X(PhoneticName) X(MailDomain)     \
    X(Categories)
// clang-format on
