// The Outlook output against a recording library (and, for refusals, the real one).
#include "outlook/OutlookOutput.h"
#include "RecordingRdo.h"
#include "support/ContactFields.h"
#include "support/Readers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <tuple>

namespace fs = std::filesystem;
using namespace velloquin;
using velloquin::testing::RdoLog;

namespace {

std::tm Time(const char* text, int plusSeconds = 0) {
    std::tm t{};
    std::istringstream(text) >> std::get_time(&t, "%Y-%m-%d %H:%M:%S");
    t.tm_sec += plusSeconds;
    return t;
}

// A clock that reads `start` first and one second later at every reading after.
outlook::Clock Ticking(const char* start) {
    return [start, n = 0]() mutable { return Time(start, n++); };
}

TEST(PstStore, CreatedInOrderFromTwoClockReadingsAndClosedByLoggingOff) {
    // The timestamp: one digit where short, two for the year and the seconds.
    // clang-format off
    const char* stamps[][2] = {{"2026-12-05 09:07:03", "5.12.26 9.7.03"}, {"2013-06-05 14:30:00", "5.6.13 14.30.00"},
                               {"2026-01-31 00:00:09", "31.1.26 0.0.09"}, {"2000-10-10 23:59:59", "10.10.00 23.59.59"}};
    // clang-format on
    for (const auto& [time, expected] : stamps)
        EXPECT_EQ(outlook::FormatStoreTimestamp(Time(time)), expected);
    RdoLog log;
    outlook::PstState state;
    std::string detail;
    ASSERT_TRUE(outlook::CreatePstStore(state, "/out/", Ticking("2026-12-05 09:07:03"), detail,
                                        log.Factory()));
    EXPECT_EQ(log.calls, std::vector<std::string>(
                             {"Create Redemption.RDOSession", "Logon", "Stores",
                              "AddPSTStore /out/Contacts5.12.26 9.7.03.pst|1|Skype Contacts : "
                              "Created - 5.12.26 9.7.04",
                              "EntryID", "ValidateIPMTree"}));
    EXPECT_TRUE(state.pstStoreID == "STORE-ID-1" && state.pstSession && state.pstStore);
    log.failing = {"Logoff"}; // the log-off commits the store: its failure is worth a note
    RunNotes notes;
    outlook::ClosePstStore(state, &notes);
    EXPECT_EQ(log.calls.back(), "Logoff");
    EXPECT_TRUE(!state.pstSession && !state.pstStore && notes.Total() == 1);
}

TEST(PstStore, TheRealLibraryRefusesAndTouchesNothing) {
    for (bool sameName : {false, true}) {
        testsupport::TempDir dir("velloquin-pst");
        // A plain file where the folder should be (the root user the tests may run
        // as ignores permission bits), or an older store of the same name.
        const fs::path kept = dir.Path() / (sameName ? "Contacts31.1.26 0.0.09.pst" : "plain");
        std::ofstream(kept) << "keep";
        outlook::PstState state;
        std::string detail;
        EXPECT_FALSE(outlook::CreatePstStore(state, (sameName ? dir.Path() : kept).string() + "/",
                                             Ticking("2026-01-31 00:00:09"), detail));
        EXPECT_FALSE(detail.empty());
        state = {};
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 1);
        EXPECT_EQ(fs::file_size(kept), 4u);
    }
}

struct ContactWriter : ::testing::Test {
    RdoLog log;
    outlook::PstState state{log.Self<outlook::RdoSession>()};
    RunNotes notes;
    void Write(const OutlookContactArgs& a) { outlook::CreateContactItem(state, a, notes, 7); }
};

// Every text field holds a short form of its name.
OutlookContactArgs Named() {
    OutlookContactArgs a;
    a.storeID = "ID";
    a.eContact_BirthDay = 36526;
    a.eContact_Anniversary = -1;
    a.ePhoto = "/out/3.gif";
    a.eSelAddress = "SelAddress";
    for (const auto& [name, field] : testsupport::ContactTextFields())
        a.*field = std::string(name);
    return a;
}

// The writes in order, then the picture and the dates whatever their sign (and
// whatever the regional date format), then Save.
TEST_F(ContactWriter, LooksTheItemUpThenWritesEveryPropertyInOrder) {
    Write(Named());
    std::string written;
    for (const std::string& call : log.calls)
        written += (call.rfind("Set ", 0) ? call : call.substr(4)) + "; ";
    // clang-format off
    EXPECT_EQ(written, "GetStoreFromID ID; GetDefaultFolder 10; Items; Add 2; FirstName=FirstName; "
        "MiddleName=MiddleName; LastName=LastName; FullName=FullName; JobTitle=JobTitle; CompanyName=Company; "
        "BusinessTelephoneNumber=OfficePhone; BusinessFaxNumber=OfficeFax; HomeTelephoneNumber=HomePhone; "
        "HomeFaxNumber=HomeFax; MobileTelephoneNumber=CellPhone; PagerNumber=Pager; CarTelephoneNumber=CarPhone; "
        "BusinessAddress=BusinessAddress; BusinessAddressStreet=BusinessStreet; BusinessAddressCity=BusinessCity; "
        "BusinessAddressState=BusinessState; BusinessAddressPostalCode=BusinessZip; "
        "BusinessAddressCountry=BusinessCountry; HomeAddress=PersonalAddress; HomeAddressStreet=PersonalStreet; "
        "HomeAddressCity=PersonalCity; HomeAddressState=PersonalState; HomeAddressPostalCode=PersonalZip; "
        "HomeAddressCountry=PersonalCountry; Email1Address=Email; Email2Address=Email2; Email3Address=Email3; "
        "BusinessHomePage=WebPage; WebPage=WebPage; IMAddress=OtherEmail1 OtherEmail2 OtherEmail3; "
        "Categories=Categories; Department=Department; OfficeLocation=Location; Profession=Profession; "
        "ManagerName=Manager; AssistantName=Assistant; Title=Title; Suffix=Suffix; Spouse=Spouse; "
        "Body=Comments; Children=Childern; NickName=NickName; Home2TelephoneNumber=HomePhone2; "
        "Business2TelephoneNumber=OfficePhone2; OtherTelephoneNumber=OtherPhone; OtherFaxNumber=OtherFax; "
        "CompanyMainTelephoneNumber=CompanyMainPhone; ISDNNumber=ISDN; RadioTelephoneNumber=RadioPhone; "
        "CallbackTelephoneNumber=CallbackPhone; TelexNumber=Telex; TTYTDDTelephoneNumber=TTYPhone; "
        "AssistantTelephoneNumber=AssistantPhone; PrimaryTelephoneNumber=PrimaryPhone; OtherAddress=OtherAddress; "
        "OtherAddressStreet=OtherStreet; OtherAddressCity=OtherCity; OtherAddressState=OtherState; "
        "OtherAddressPostalCode=OtherZip; OtherAddressCountry=OtherCountry; PersonalHomePage=PersonalWebPage; "
        "AddPicture /out/3.gif; Birthday=date:36526; Anniversary=date:-1; Save; ");
    // clang-format on
    EXPECT_TRUE(notes.Empty());
}

TEST_F(ContactWriter, IMAddressFallsBackToTheContactsOwnAddressOnly) {
    // clang-format off
    const char* cases[][5] = {{"", "", "", "live:anna", "live:anna"}, {"", "", "", "", ""},
        {"x@a", "", "", "live:anna", "x@a  "}, {"", "", "z@c", "live:anna", "  z@c"}, {"x@a", "y@b", "z@c", "", "x@a y@b z@c"}};
    // clang-format on
    for (const auto& [other1, other2, other3, im, expected] : cases) {
        log.calls.clear();
        // clang-format off
        OutlookContactArgs a;
        a.eContact_OtherEmail1 = other1, a.eContact_OtherEmail2 = other2, a.eContact_OtherEmail3 = other3;
        a.eContact_IMAddress = im;
        Write(a);
        // clang-format on
        EXPECT_EQ(log.calls.at(34), std::string("Set IMAddress=") + expected); // the 31st write
        EXPECT_EQ(log.calls.size(), 46u) << "no picture, no date of 0, then Save";
    }
}

// Skip and go on; only a contact that never reaches the store is lost.
TEST_F(ContactWriter, AFailingStepIsNotedAndSkippedOrTheContactCountedLost) {
    const std::tuple<std::string, int, size_t> cases[] = {
        // clang-format off
        {"GetStoreFromID", 1, 0}, {"GetDefaultFolder", 1, 0}, {"Items", 1, 0}, {"Add", 1, 0}, {"Save", 1, 64},
        {"Set:JobTitle", 0, 64}, {"AddPicture", 0, 64}, {"Set:Birthday", 0, 64}, {"", 1, 0}, // no session
        // clang-format on
    };
    for (const auto& [step, lost, writes] : cases) {
        log.calls.clear();
        log.failing = {step};
        notes.Clear();
        if (step.empty()) state.pstSession.reset();
        Write(Named());
        EXPECT_EQ(log.Count("Set "), writes) << step;
        EXPECT_EQ(notes.LostContacts(), lost) << step;
        ASSERT_EQ(notes.Kept().size(), 1u) << step;
        EXPECT_EQ(notes.Kept()[0].contact, 7);
        EXPECT_NE(notes.Kept()[0].message.find("FullName"), std::string::npos) << step;
        EXPECT_TRUE(lost || log.calls.back() == "Save") << step;
    }
}

} // namespace
