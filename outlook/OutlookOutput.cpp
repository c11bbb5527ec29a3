#include "OutlookOutput.h"

#include "core/Text.h"
#include "platform/Locale.h"

#include <cstdio>
#include <exception>
#include <iterator>
#include <utility>

namespace velloquin::outlook {

namespace {

constexpr const char* kProgId = "Redemption.RDOSession";
constexpr int16_t kUnicodeStoreFormat = 1;
constexpr int16_t kContactItemType = 2;

template <class T> T& Need(const std::shared_ptr<T>& object, const char* what) {
    if (!object) throw RdoError(std::string("the Outlook library returned no ") + what);
    return *object;
}

std::string ErrorText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

// Runs one step of the writer; a failing step is skipped and its reason
// returned, so that the next step still runs.
template <class Step> std::string TryStep(Step&& step) {
    try {
        step();
        return {};
    } catch (...) {
        return ErrorText(std::current_exception());
    }
}

// The contact as the user knows it, for the notes (which give its number).
std::string DescribeContact(const OutlookContactArgs& args) {
    if (!args.eContact_FullName.empty()) return args.eContact_FullName;
    std::string name = args.eContact_FirstName;
    if (!args.eContact_LastName.empty()) name += (name.empty() ? "" : " ") + args.eContact_LastName;
    if (name.empty()) name = args.eContact_Email;
    return name.empty() ? std::string("the contact") : name;
}

// The IM address field: the three other e-mail fields joined as Outlook has
// always received them; when all three are empty (as they are for every
// Skype backup) the contact's own instant-messaging address instead.
std::string IMAddressValue(const OutlookContactArgs& args) {
    if (args.eContact_OtherEmail1.empty() && args.eContact_OtherEmail2.empty() &&
        args.eContact_OtherEmail3.empty())
        return args.eContact_IMAddress;
    return args.eContact_OtherEmail1 + " " + args.eContact_OtherEmail2 + " " +
           args.eContact_OtherEmail3;
}

// A text property of the contact item and the argument it takes; no field
// means the IM address, which is built from several.
struct TextProperty {
    const char* name;
    std::string OutlookContactArgs::*field;
    // An address part, which arrives with its vCard escapes unresolved.
    bool address = false;
    // For a street: the whole address, the street line of the card, that
    // stands in when the street part is empty. Given explicitly, a street
    // of several lines stays the street, not an address nobody composed.
    std::string OutlookContactArgs::*wholeAddress = nullptr;
};

// The contact item's text properties in the order they are written.
const TextProperty kTextProperties[] = {
    {"FirstName", &OutlookContactArgs::eContact_FirstName},
    {"MiddleName", &OutlookContactArgs::eContact_MiddleName},
    {"LastName", &OutlookContactArgs::eContact_LastName},
    {"FullName", &OutlookContactArgs::eContact_FullName},
    {"JobTitle", &OutlookContactArgs::eContact_JobTitle},
    {"CompanyName", &OutlookContactArgs::eContact_Company},
    {"BusinessTelephoneNumber", &OutlookContactArgs::eContact_OfficePhone},
    {"BusinessFaxNumber", &OutlookContactArgs::eContact_OfficeFax},
    {"HomeTelephoneNumber", &OutlookContactArgs::eContact_HomePhone},
    {"HomeFaxNumber", &OutlookContactArgs::eContact_HomeFax},
    {"MobileTelephoneNumber", &OutlookContactArgs::eContact_CellPhone},
    {"PagerNumber", &OutlookContactArgs::eContact_Pager},
    {"CarTelephoneNumber", &OutlookContactArgs::eContact_CarPhone},
    {"BusinessAddress", &OutlookContactArgs::eContact_BusinessAddress, true},
    {"BusinessAddressStreet", &OutlookContactArgs::eContact_BusinessStreet, true,
     &OutlookContactArgs::eContact_BusinessAddress},
    {"BusinessAddressCity", &OutlookContactArgs::eContact_BusinessCity},
    {"BusinessAddressState", &OutlookContactArgs::eContact_BusinessState},
    {"BusinessAddressPostalCode", &OutlookContactArgs::eContact_BusinessZip},
    {"BusinessAddressCountry", &OutlookContactArgs::eContact_BusinessCountry},
    {"HomeAddress", &OutlookContactArgs::eContact_PersonalAddress, true},
    {"HomeAddressStreet", &OutlookContactArgs::eContact_PersonalStreet, true,
     &OutlookContactArgs::eContact_PersonalAddress},
    {"HomeAddressCity", &OutlookContactArgs::eContact_PersonalCity},
    {"HomeAddressState", &OutlookContactArgs::eContact_PersonalState},
    {"HomeAddressPostalCode", &OutlookContactArgs::eContact_PersonalZip},
    {"HomeAddressCountry", &OutlookContactArgs::eContact_PersonalCountry},
    {"Email1Address", &OutlookContactArgs::eContact_Email},
    {"Email2Address", &OutlookContactArgs::eContact_Email2},
    {"Email3Address", &OutlookContactArgs::eContact_Email3},
    {"BusinessHomePage", &OutlookContactArgs::eContact_WebPage},
    {"WebPage", &OutlookContactArgs::eContact_WebPage},
    {"IMAddress", nullptr},
    {"Categories", &OutlookContactArgs::eContact_Categories},
    {"Department", &OutlookContactArgs::eContact_Department},
    {"OfficeLocation", &OutlookContactArgs::eContact_Location},
    {"Profession", &OutlookContactArgs::eContact_Profession},
    {"ManagerName", &OutlookContactArgs::eContact_Manager},
    {"AssistantName", &OutlookContactArgs::eContact_Assistant},
    {"Title", &OutlookContactArgs::eContact_Title},
    {"Suffix", &OutlookContactArgs::eContact_Suffix},
    {"Spouse", &OutlookContactArgs::eContact_Spouse},
    {"Body", &OutlookContactArgs::eContact_Comments},
};

static_assert(std::size(kTextProperties) == 41);

std::string TextValue(const TextProperty& property, const OutlookContactArgs& args) {
    if (!property.field) return IMAddressValue(args);
    if (!property.address) return args.*property.field;
    const std::string& text = (args.*property.field).empty() && property.wholeAddress
                                  ? args.*property.wholeAddress
                                  : args.*property.field;
    // The workbook resolves the same escapes; a line break stays one here.
    return ResolveAddressEscapes(text, "\r\n");
}

} // namespace

std::string FormatStoreTimestamp(const std::tm& localTime) {
    const int year = localTime.tm_year + 1900;
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%02d %d.%d.%02d", localTime.tm_mday,
                  localTime.tm_mon + 1, ((year % 100) + 100) % 100, localTime.tm_hour,
                  localTime.tm_min, localTime.tm_sec);
    return text;
}

std::tm LocalNow() {
    return platform::LocalTime(std::time(nullptr));
}

bool CreatePstStore(PstState& state, const std::string& saveFolder, const Clock& clock,
                    std::string& errorDetail) {
    return CreatePstStore(state, saveFolder, clock, errorDetail, CreateRdoObject);
}

bool CreatePstStore(PstState& state, const std::string& saveFolder, const Clock& clock,
                    std::string& errorDetail, const SessionFactory& factory) {
    // One handler for the whole set-up: whichever step fails, the run ends.
    try {
        std::shared_ptr<RdoSession> session = factory(kProgId);
        Need(session, "session");
        state.pstSession = session;
        state.pstSession->Logon();
        // The clock is read once for the file name and once for the display
        // name; across a second boundary the two differ, as users have seen.
        const std::string path = saveFolder + "Contacts" + FormatStoreTimestamp(clock()) + ".pst";
        const std::string displayName =
            "Skype Contacts : Created - " + FormatStoreTimestamp(clock());
        std::shared_ptr<RdoStores> stores = state.pstSession->Stores();
        state.pstStore =
            Need(stores, "store collection").AddPSTStore(path, kUnicodeStoreFormat, displayName);
        state.pstPath = path;
        state.pstStoreID = Need(state.pstStore, "store").EntryID();
        state.pstStore->ValidateIPMTree();
        return true;
    } catch (...) {
        errorDetail = ErrorText(std::current_exception());
        return false;
    }
}

std::string OutlookErrorText() {
    return "Outlook Session Creation Error !\r\n"
           "Check if Outlook is installed and configured.\r\n"
           "If Outlook 2013/2010 (64 Bit) is installed, then please try to re-install it as "
           "Outlook 2013/2010 (32 Bit).";
}

void ClosePstStore(PstState& state, RunNotes* notes) {
    state.pstStore.reset();
    const std::string why = TryStep([&] { Need(state.pstSession, "session").Logoff(); });
    if (!why.empty() && notes)
        notes->Add(RunNote{state.pstPath, 0,
                           "The Outlook store could not be closed properly, so its contacts may "
                           "be incomplete: " +
                               why,
                           false});
    state.pstSession.reset();
}

void CreateContactItem(const PstState& state, const OutlookContactArgs& args, RunNotes& notes,
                       int64_t contactNumber) {
    const std::string who = DescribeContact(args);
    auto note = [&](const std::string& message, bool lost) {
        notes.Add(RunNote{state.pstPath, contactNumber, message, lost});
    };

    // The store, folder and collection are looked up afresh for every
    // contact and let go as soon as the item exists.
    std::shared_ptr<RdoContactItem> item;
    std::string why = TryStep([&] {
        const auto store = Need(state.pstSession, "session").GetStoreFromID(args.storeID);
        const auto folder = Need(store, "store").GetDefaultFolder(args.FolderName);
        const auto items = Need(folder, "contacts folder").Items();
        item = Need(items, "item collection").Add(kContactItemType);
        Need(item, "contact item");
    });
    if (!item) {
        note(who + " could not be added to the Outlook store (" + why + "); the contact is lost.",
             true);
        return;
    }

    for (const TextProperty& property : kTextProperties) {
        why = TryStep([&] { item->SetProperty(property.name, TextValue(property, args)); });
        if (!why.empty())
            note(who + ": its " + property.name + " could not be written (" + why + ").", false);
    }

    if (!args.ePhoto.empty()) {
        why = TryStep([&] { item->AddPicture(args.ePhoto); });
        if (!why.empty())
            note(who + ": its picture " + args.ePhoto + " could not be attached (" + why + ").",
                 false);
    }

    // Any non-zero date is written, whatever the regional date format says;
    // 0 stands for no date.
    const std::pair<const char*, double> dates[] = {{"Birthday", args.eContact_BirthDay},
                                                    {"Anniversary", args.eContact_Anniversary}};
    for (const auto& date : dates) {
        const char* name = date.first;
        const double value = date.second;
        if (value == 0) continue;
        why = TryStep([&] { item->SetProperty(name, DateValue{value}); });
        if (!why.empty())
            note(who + ": its " + name + " could not be written (" + why + ").", false);
    }

    why = TryStep([&] { item->Save(); });
    if (!why.empty())
        note(who + " could not be saved in the Outlook store (" + why + "); the contact is lost.",
             true);
}

} // namespace velloquin::outlook
