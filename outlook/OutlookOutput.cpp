#include "OutlookOutput.h"

#include "core/Text.h"
#include "platform/Locale.h"

#include <algorithm>
#include <array>
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

// A text property of the contact item and the field it is written from.
struct TextProperty {
    const char* name = nullptr;
    const ContactField* field = nullptr;
};

constexpr size_t CountTextProperties() {
    size_t count = 0;
    for (const ContactField& field : kContactFields)
        for (const OutlookProperty& property : field.outlook)
            count += property.name && field.kind != FieldKind::Date;
    return count;
}

// The contact item's text properties in the order they are written.
constexpr auto kTextProperties = [] {
    std::array<TextProperty, CountTextProperties()> properties{};
    for (const ContactField& field : kContactFields)
        for (const OutlookProperty& property : field.outlook)
            if (property.name && field.kind != FieldKind::Date)
                properties[static_cast<size_t>(property.step - 1)] = {property.name, &field};
    return properties;
}();

// Every contact gets these writes, a Standard Mode one the others when set.
static_assert(std::count_if(kTextProperties.begin(), kTextProperties.end(),
                            [](const TextProperty& p) { return !p.field->outlookWhenSet; }) == 41);

// The text a property is written with: the contact's own, or one made from
// it and kept in `made`.
std::string_view TextValue(const TextProperty& property, const OutlookContactArgs& args,
                           std::string& made) {
    const ContactField& field = *property.field;
    if (field.text == &ContactRecord::eContact_IMAddress) {
        made = IMAddressValue(args);
        return made;
    }
    if (!field.address) return args.*field.text;
    const std::string& text = (args.*field.text).empty() && field.wholeAddress
                                  ? args.*field.wholeAddress
                                  : args.*field.text;
    // The workbook resolves the same escapes; a line break stays one here.
    made = ResolveAddressEscapes(text, "\r\n");
    return made;
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
        state.textSlots.clear();
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
    state.textSlots.clear();
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

    // The names are resolved to the library's numbers once, at the run's
    // first item; a name without a number is written by name.
    if (state.textSlots.size() != kTextProperties.size()) {
        state.textSlots.clear();
        for (const TextProperty& property : kTextProperties)
            state.textSlots.push_back(item->TextSlot(property.name));
    }
    std::string made;
    for (size_t i = 0; i < kTextProperties.size(); ++i) {
        const TextProperty& property = kTextProperties[i];
        const std::string_view value = TextValue(property, args, made);
        if (property.field->outlookWhenSet && value.empty()) continue;
        const int slot = state.textSlots[i];
        why = TryStep([&] {
            if (slot >= 0)
                item->SetText(slot, value);
            else
                item->SetProperty(property.name, std::string(value));
        });
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
    for (const ContactField& field : kContactFields) {
        if (!field.date || !field.outlook[0].name) continue;
        const char* name = field.outlook[0].name;
        const double value = args.*field.date;
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
