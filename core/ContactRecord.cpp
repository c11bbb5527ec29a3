#include "core/ContactRecord.h"

#include "core/Text.h"

namespace velloquin {

void FreevCard(ContactRecord& record) {
    record = ContactRecord{};
}

int CountFacts(const ContactRecord& record) {
    static constexpr std::string ContactRecord::*kTexts[] = {
        &ContactRecord::eContact_FirstName,
        &ContactRecord::eContact_MiddleName,
        &ContactRecord::eContact_LastName,
        &ContactRecord::eContact_FullName,
        &ContactRecord::eContact_Suffix,
        &ContactRecord::eContact_Title,
        &ContactRecord::eContact_Email,
        &ContactRecord::eContact_Email2,
        &ContactRecord::eContact_Email3,
        &ContactRecord::eContact_Company,
        &ContactRecord::eContact_Profession,
        &ContactRecord::eContact_JobTitle,
        &ContactRecord::eContact_BusinessAddress,
        &ContactRecord::eContact_BusinessStreet,
        &ContactRecord::eContact_BusinessCity,
        &ContactRecord::eContact_BusinessZip,
        &ContactRecord::eContact_BusinessState,
        &ContactRecord::eContact_BusinessCountry,
        &ContactRecord::eContact_Location,
        &ContactRecord::eContact_WebPage,
        &ContactRecord::eContact_Department,
        &ContactRecord::eContact_Manager,
        &ContactRecord::eContact_Assistant,
        &ContactRecord::eContact_OfficePhone,
        &ContactRecord::eContact_OfficeFax,
        &ContactRecord::eContact_CellPhone,
        &ContactRecord::eContact_Pager,
        &ContactRecord::eContact_CarPhone,
        &ContactRecord::eContact_OtherEmail1,
        &ContactRecord::eContact_OtherEmail2,
        &ContactRecord::eContact_OtherEmail3,
        &ContactRecord::eContact_IMAddress,
        &ContactRecord::eContact_PersonalAddress,
        &ContactRecord::eContact_PersonalStreet,
        &ContactRecord::eContact_PersonalCity,
        &ContactRecord::eContact_PersonalZip,
        &ContactRecord::eContact_PersonalState,
        &ContactRecord::eContact_PersonalCountry,
        &ContactRecord::eContact_Spouse,
        &ContactRecord::eContact_Childern,
        &ContactRecord::eContact_HomePhone,
        &ContactRecord::eContact_HomeFax,
        &ContactRecord::eContact_Comments,
        &ContactRecord::eContact_ShortName,
        &ContactRecord::eContact_PhoneticName,
        &ContactRecord::eContact_MailDomain,
        &ContactRecord::eContact_Categories,
        &ContactRecord::eContact_NickName,
        &ContactRecord::eContact_HomePhone2,
        &ContactRecord::eContact_OfficePhone2,
        &ContactRecord::eContact_OtherPhone,
        &ContactRecord::eContact_OtherFax,
        &ContactRecord::eContact_CompanyMainPhone,
        &ContactRecord::eContact_ISDN,
        &ContactRecord::eContact_RadioPhone,
        &ContactRecord::eContact_CallbackPhone,
        &ContactRecord::eContact_Telex,
        &ContactRecord::eContact_TTYPhone,
        &ContactRecord::eContact_AssistantPhone,
        &ContactRecord::eContact_PrimaryPhone,
        &ContactRecord::eContact_OtherAddress,
        &ContactRecord::eContact_OtherStreet,
        &ContactRecord::eContact_OtherCity,
        &ContactRecord::eContact_OtherZip,
        &ContactRecord::eContact_OtherState,
        &ContactRecord::eContact_OtherCountry,
        &ContactRecord::eContact_PersonalWebPage};
    int facts = (record.eContact_BirthDay != 0) + (record.eContact_Anniversary != 0);
    for (const auto text : kTexts)
        facts += !(record.*text).empty();
    return facts;
}

ExcelContactArgs MakeExcelHandOff(const ContactRecord& record, bool advanceMode, int32_t xlsCnt) {
    ExcelContactArgs a;
    a.xlsContact_FirstName =
        advanceMode ? Trim(record.eContact_FirstName) : record.eContact_FirstName;
    a.xlsContact_MiddleName = record.eContact_MiddleName;
    a.xlsContact_LastName = record.eContact_LastName;
    a.xlsContact_FullName = advanceMode ? Trim(record.eContact_FullName) : record.eContact_FullName;
    a.xlsContact_Suffix = record.eContact_Suffix;
    a.xlsContact_Title = record.eContact_Title;
    a.xlsContact_Email = record.eContact_Email;
    a.xlsContact_Email2 = record.eContact_Email2;
    a.xlsContact_Email3 = record.eContact_Email3;
    a.xlsContact_Company = record.eContact_Company;
    a.xlsContact_Profession = record.eContact_Profession;
    a.xlsContact_JobTitle = record.eContact_JobTitle;
    a.xlsContact_BusinessAddress = record.eContact_BusinessAddress;
    a.xlsContact_BusinessStreet = record.eContact_BusinessStreet;
    a.xlsContact_BusinessCity = record.eContact_BusinessCity;
    a.xlsContact_BusinessZip = record.eContact_BusinessZip;
    a.xlsContact_BusinessState = record.eContact_BusinessState;
    a.xlsContact_BusinessCountry = record.eContact_BusinessCountry;
    a.xlsContact_Location = record.eContact_Location;
    a.xlsContact_WebPage = record.eContact_WebPage;
    a.xlsContact_Department = record.eContact_Department;
    a.xlsContact_Manager = record.eContact_Manager;
    a.xlsContact_Assistant = record.eContact_Assistant;
    a.xlsContact_OfficePhone = record.eContact_OfficePhone;
    a.xlsContact_OfficeFax = record.eContact_OfficeFax;
    a.xlsContact_CellPhone = record.eContact_CellPhone;
    a.xlsContact_Pager = record.eContact_Pager;
    a.xlsContact_CarPhone = record.eContact_CarPhone;
    a.xlsContact_OtherEmail1 = record.eContact_OtherEmail1;
    a.xlsContact_OtherEmail2 = record.eContact_OtherEmail2;
    a.xlsContact_OtherEmail3 = record.eContact_OtherEmail3;
    a.xlsContact_IMAddress = record.eContact_IMAddress;
    a.xlsContact_PersonalStreet = record.eContact_PersonalStreet;
    a.xlsContact_PersonalCity = record.eContact_PersonalCity;
    a.xlsContact_PersonalZip = record.eContact_PersonalZip;
    a.xlsContact_PersonalState = record.eContact_PersonalState;
    a.xlsContact_PersonalCountry = record.eContact_PersonalCountry;
    a.xlsContact_Spouse = record.eContact_Spouse;
    a.xlsContact_Childern = record.eContact_Childern;
    a.xlsContact_HomePhone = record.eContact_HomePhone;
    a.xlsContact_HomeFax = record.eContact_HomeFax;
    a.xlsContact_BirthDay = record.eContact_BirthDay;
    a.xlsContact_Anniversary = record.eContact_Anniversary;
    a.xlsContact_Comments = record.eContact_Comments;
    a.xlsContact_ShortName = record.eContact_ShortName;
    a.xlsContact_PhoneticName = record.eContact_PhoneticName;
    a.xlsContact_MailDomain = record.eContact_MailDomain;
    a.xlsContact_Categories = record.eContact_Categories;
    a.xlsCnt = xlsCnt;
    a.xlsContact_PersonalAddress = record.eContact_PersonalAddress;
    return a;
}

OutlookContactArgs MakeOutlookHandOff(const ContactRecord& record, const std::string& pstStoreID) {
    OutlookContactArgs a;
    a.storeID = pstStoreID;
    a.FolderName = 10;
    a.eContact_FirstName = Trim(record.eContact_FirstName);
    a.eContact_MiddleName = Trim(record.eContact_MiddleName);
    a.eContact_LastName = Trim(record.eContact_LastName);
    a.eContact_FullName = Trim(record.eContact_FullName);
    a.eContact_Suffix = Trim(record.eContact_Suffix);
    a.eContact_Title = Trim(record.eContact_Title);
    a.eContact_Email = Trim(record.eContact_Email);
    a.eContact_Email2 = Trim(record.eContact_Email2);
    a.eContact_Email3 = Trim(record.eContact_Email3);
    a.eContact_Company = Trim(record.eContact_Company);
    a.eContact_Profession = Trim(record.eContact_Profession);
    a.eContact_JobTitle = Trim(record.eContact_JobTitle);
    a.eContact_BusinessAddress = Trim(record.eContact_BusinessAddress);
    a.eContact_BusinessStreet = Trim(record.eContact_BusinessStreet);
    a.eContact_BusinessCity = Trim(record.eContact_BusinessCity);
    a.eContact_BusinessZip = Trim(record.eContact_BusinessZip);
    a.eContact_BusinessState = Trim(record.eContact_BusinessState);
    a.eContact_BusinessCountry = Trim(record.eContact_BusinessCountry);
    a.eContact_Location = Trim(record.eContact_Location);
    a.eContact_WebPage = Trim(record.eContact_WebPage);
    a.eContact_Department = Trim(record.eContact_Department);
    a.eContact_Manager = Trim(record.eContact_Manager);
    a.eContact_Assistant = Trim(record.eContact_Assistant);
    a.eContact_OfficePhone = Trim(record.eContact_OfficePhone);
    a.eContact_OfficeFax = Trim(record.eContact_OfficeFax);
    a.eContact_CellPhone = Trim(record.eContact_CellPhone);
    a.eContact_Pager = Trim(record.eContact_Pager);
    a.eContact_CarPhone = Trim(record.eContact_CarPhone);
    a.eContact_OtherEmail1 = Trim(record.eContact_OtherEmail1);
    a.eContact_OtherEmail2 = Trim(record.eContact_OtherEmail2);
    a.eContact_OtherEmail3 = Trim(record.eContact_OtherEmail3);
    a.eContact_IMAddress = Trim(record.eContact_IMAddress);
    a.eContact_PersonalAddress = Trim(record.eContact_PersonalAddress);
    a.eContact_PersonalStreet = Trim(record.eContact_PersonalStreet);
    a.eContact_PersonalCity = Trim(record.eContact_PersonalCity);
    a.eContact_PersonalZip = Trim(record.eContact_PersonalZip);
    a.eContact_PersonalState = Trim(record.eContact_PersonalState);
    a.eContact_PersonalCountry = Trim(record.eContact_PersonalCountry);
    a.eContact_Spouse = Trim(record.eContact_Spouse);
    a.eContact_Childern = Trim(record.eContact_Childern);
    a.eContact_HomePhone = Trim(record.eContact_HomePhone);
    a.eContact_HomeFax = Trim(record.eContact_HomeFax);
    a.eContact_BirthDay = record.eContact_BirthDay;
    a.eContact_Anniversary = record.eContact_Anniversary;
    a.eContact_Comments = Trim(record.eContact_Comments);
    a.eContact_ShortName = Trim(record.eContact_ShortName);
    a.eContact_PhoneticName = Trim(record.eContact_PhoneticName);
    a.eContact_MailDomain = Trim(record.eContact_MailDomain);
    a.eContact_Categories = Trim(record.eContact_Categories);
    a.ePhoto = Trim(record.ePhoto);
    a.eSelAddress = Trim(record.eSelAddress);
    return a;
}

} // namespace velloquin
