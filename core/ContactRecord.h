// The one contact record that the reader fills and the outputs read, and the
// two hand-offs built from it.
//
// Text is UTF-8 in memory. Dates are automation dates: days since
// 30 December 1899, the fraction being the time of day; 0 means "no date".
#pragma once

#include <cstdint>
#include <string>

namespace velloquin {

struct ContactRecord {
    std::string eContact_FirstName;
    std::string eContact_MiddleName;
    std::string eContact_LastName;
    std::string eContact_FullName;
    std::string eContact_Suffix;
    std::string eContact_Title;
    std::string eContact_Email;
    std::string eContact_Email2;
    std::string eContact_Email3;
    std::string eContact_Company;
    std::string eContact_Profession;
    std::string eContact_JobTitle;
    std::string eContact_BusinessAddress;
    std::string eContact_BusinessStreet;
    std::string eContact_BusinessCity;
    std::string eContact_BusinessZip;
    std::string eContact_BusinessState;
    std::string eContact_BusinessCountry;
    std::string eContact_Location;
    std::string eContact_WebPage;
    std::string eContact_Department;
    std::string eContact_Manager;
    std::string eContact_Assistant;
    std::string eContact_OfficePhone;
    std::string eContact_OfficeFax;
    std::string eContact_CellPhone;
    std::string eContact_Pager;
    std::string eContact_CarPhone;
    std::string eContact_OtherEmail1;
    std::string eContact_OtherEmail2;
    std::string eContact_OtherEmail3;
    std::string eContact_IMAddress;
    std::string eContact_PersonalAddress;
    std::string eContact_PersonalStreet;
    std::string eContact_PersonalCity;
    std::string eContact_PersonalZip;
    std::string eContact_PersonalState;
    std::string eContact_PersonalCountry;
    std::string eContact_Spouse;
    std::string eContact_Childern;
    std::string eContact_HomePhone;
    std::string eContact_HomeFax;
    double eContact_BirthDay = 0;
    double eContact_Anniversary = 0;
    std::string eContact_Comments;
    std::string eContact_ShortName;
    std::string eContact_PhoneticName;
    std::string eContact_MailDomain;
    std::string eContact_Categories;
    std::string ePhoto;
    std::string eSelAddress;

    // Slots that only the standards reader fills: the Skype rules never
    // produce them, so both hand-offs of the rules' contacts stay as they were.
    std::string eContact_NickName;
    std::string eContact_HomePhone2;
    std::string eContact_OfficePhone2;
    std::string eContact_OtherPhone;
    std::string eContact_OtherFax;
    std::string eContact_CompanyMainPhone;
    std::string eContact_ISDN;
    std::string eContact_RadioPhone;
    std::string eContact_CallbackPhone;
    std::string eContact_Telex;
    std::string eContact_TTYPhone;
    std::string eContact_AssistantPhone;
    std::string eContact_PrimaryPhone;
    std::string eContact_OtherAddress;
    std::string eContact_OtherStreet;
    std::string eContact_OtherCity;
    std::string eContact_OtherZip;
    std::string eContact_OtherState;
    std::string eContact_OtherCountry;
    std::string eContact_PersonalWebPage;
};

// Clears every text field and sets both dates to 0.
void FreevCard(ContactRecord& record);

// The facts a record holds: its non-empty texts and non-zero dates, the
// picture and the address it was read for (eSelAddress) left out. Two readings
// of one card compare by it.
int CountFacts(const ContactRecord& record);

// What Save2ExcelContact receives, in its parameter order.
struct ExcelContactArgs {
    std::string xlsContact_FirstName;
    std::string xlsContact_MiddleName;
    std::string xlsContact_LastName;
    std::string xlsContact_FullName;
    std::string xlsContact_Suffix;
    std::string xlsContact_Title;
    std::string xlsContact_Email;
    std::string xlsContact_Email2;
    std::string xlsContact_Email3;
    std::string xlsContact_Company;
    std::string xlsContact_Profession;
    std::string xlsContact_JobTitle;
    std::string xlsContact_BusinessAddress;
    std::string xlsContact_BusinessStreet;
    std::string xlsContact_BusinessCity;
    std::string xlsContact_BusinessZip;
    std::string xlsContact_BusinessState;
    std::string xlsContact_BusinessCountry;
    std::string xlsContact_Location;
    std::string xlsContact_WebPage;
    std::string xlsContact_Department;
    std::string xlsContact_Manager;
    std::string xlsContact_Assistant;
    std::string xlsContact_OfficePhone;
    std::string xlsContact_OfficeFax;
    std::string xlsContact_CellPhone;
    std::string xlsContact_Pager;
    std::string xlsContact_CarPhone;
    std::string xlsContact_OtherEmail1;
    std::string xlsContact_OtherEmail2;
    std::string xlsContact_OtherEmail3;
    std::string xlsContact_IMAddress;
    std::string xlsContact_PersonalStreet;
    std::string xlsContact_PersonalCity;
    std::string xlsContact_PersonalZip;
    std::string xlsContact_PersonalState;
    std::string xlsContact_PersonalCountry;
    std::string xlsContact_Spouse;
    std::string xlsContact_Childern;
    std::string xlsContact_HomePhone;
    std::string xlsContact_HomeFax;
    double xlsContact_BirthDay = 0;
    double xlsContact_Anniversary = 0;
    std::string xlsContact_Comments;
    std::string xlsContact_ShortName;
    std::string xlsContact_PhoneticName;
    std::string xlsContact_MailDomain;
    std::string xlsContact_Categories;
    // The run's contact counter for this contact; its row is xlsCnt + 1.
    // Wider than the original 16 bits so that no contact past 32,767 is dropped.
    int32_t xlsCnt = 0;
    // Not part of the original argument list: the home street, so that the
    // "Personal Street Address" column can show it.
    std::string xlsContact_PersonalAddress;
};

// What CreateContactItem receives, in its parameter order.
struct OutlookContactArgs {
    std::string storeID;
    int16_t FolderName = 10;
    std::string eContact_FirstName;
    std::string eContact_MiddleName;
    std::string eContact_LastName;
    std::string eContact_FullName;
    std::string eContact_Suffix;
    std::string eContact_Title;
    std::string eContact_Email;
    std::string eContact_Email2;
    std::string eContact_Email3;
    std::string eContact_Company;
    std::string eContact_Profession;
    std::string eContact_JobTitle;
    std::string eContact_BusinessAddress;
    std::string eContact_BusinessStreet;
    std::string eContact_BusinessCity;
    std::string eContact_BusinessZip;
    std::string eContact_BusinessState;
    std::string eContact_BusinessCountry;
    std::string eContact_Location;
    std::string eContact_WebPage;
    std::string eContact_Department;
    std::string eContact_Manager;
    std::string eContact_Assistant;
    std::string eContact_OfficePhone;
    std::string eContact_OfficeFax;
    std::string eContact_CellPhone;
    std::string eContact_Pager;
    std::string eContact_CarPhone;
    std::string eContact_OtherEmail1;
    std::string eContact_OtherEmail2;
    std::string eContact_OtherEmail3;
    std::string eContact_IMAddress;
    std::string eContact_PersonalAddress;
    std::string eContact_PersonalStreet;
    std::string eContact_PersonalCity;
    std::string eContact_PersonalZip;
    std::string eContact_PersonalState;
    std::string eContact_PersonalCountry;
    std::string eContact_Spouse;
    std::string eContact_Childern;
    std::string eContact_HomePhone;
    std::string eContact_HomeFax;
    double eContact_BirthDay = 0;
    double eContact_Anniversary = 0;
    std::string eContact_Comments;
    std::string eContact_ShortName;
    std::string eContact_PhoneticName;
    std::string eContact_MailDomain;
    std::string eContact_Categories;
    std::string ePhoto;
    std::string eSelAddress;
};

// Builds the Excel hand-off. In Advance mode the first and full names are
// trimmed; in Normal mode every value goes as the record holds it.
ExcelContactArgs MakeExcelHandOff(const ContactRecord& record, bool advanceMode, int32_t xlsCnt);

// Builds the Outlook hand-off: every text trimmed of leading and trailing spaces.
OutlookContactArgs MakeOutlookHandOff(const ContactRecord& record, const std::string& pstStoreID);

} // namespace velloquin
