#include "RecordingRdo.h"

#include "outlook/OutlookOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;
using namespace velloquin;
using velloquin::testing::RdoLog;
using velloquin::testing::RecordingFactory;
using velloquin::testing::RecordingSession;

namespace {

std::tm Time(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(StoreTimestamp, OneDigitWhereShortTwoForYearAndSeconds) {
    struct Case {
        std::tm time;
        const char* expected;
    } cases[] = {
        {Time(2026, 12, 5, 9, 7, 3), "5.12.26 9.7.03"},
        {Time(2013, 6, 5, 14, 30, 0), "5.6.13 14.30.00"},
        {Time(2026, 1, 31, 0, 0, 9), "31.1.26 0.0.09"},
        {Time(2000, 10, 10, 23, 59, 59), "10.10.00 23.59.59"},
        {Time(2105, 2, 1, 1, 5, 10), "1.2.05 1.5.10"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(outlook::FormatStoreTimestamp(c.time), c.expected);
}

// A clock that moves on one second per reading.
outlook::Clock TickingClock(std::tm start) {
    return [start]() mutable {
        std::tm now = start;
        ++start.tm_sec;
        return now;
    };
}

TEST(CreatePstStore, CallsTheLibraryInOrderWithPathAndNameFromTwoClockReadings) {
    RdoLog log;
    outlook::PstState state;
    std::string detail;
    ASSERT_TRUE(outlook::CreatePstStore(state, "/out/", TickingClock(Time(2026, 12, 5, 9, 7, 3)),
                                        detail, RecordingFactory(log)));
    const std::vector<std::string> expected = {
        "Create Redemption.RDOSession",
        "Logon",
        "Stores",
        "AddPSTStore /out/Contacts5.12.26 9.7.03.pst|1|Skype Contacts : Created - 5.12.26 9.7.04",
        "EntryID",
        "ValidateIPMTree",
    };
    EXPECT_EQ(log.calls, expected);
    EXPECT_EQ(state.pstStoreID, "STORE-ID-1");
    EXPECT_EQ(state.pstPath, "/out/Contacts5.12.26 9.7.03.pst");
    EXPECT_TRUE(state.pstSession && state.pstStore);
}

TEST(CreatePstStore, AnyFailingStepEndsTheSetUpWithItsReason) {
    for (const char* step :
         {"Create", "Logon", "Stores", "AddPSTStore", "EntryID", "ValidateIPMTree"}) {
        SCOPED_TRACE(step);
        RdoLog log;
        log.failing = {step};
        outlook::PstState state;
        std::string detail;
        EXPECT_FALSE(outlook::CreatePstStore(state, "/out/",
                                             TickingClock(Time(2026, 1, 1, 0, 0, 0)), detail,
                                             RecordingFactory(log)));
        EXPECT_NE(detail.find(std::string(step) + " refused"), std::string::npos) << detail;
        EXPECT_EQ(log.calls.back().rfind(step, 0), 0u) << "nothing runs after the failing step";
        EXPECT_TRUE(log.Starting("Logoff").empty());
    }
}

TEST(OutlookErrorText, ThreeLinesJoinedByCrLf) {
    EXPECT_EQ(outlook::OutlookErrorText(),
              "Outlook Session Creation Error !\r\n"
              "Check if Outlook is installed and configured.\r\n"
              "If Outlook 2013/2010 (64 Bit) is installed, then please try to re-install it as "
              "Outlook 2013/2010 (32 Bit).");
}

// The real store library behind the set-up: a store it cannot create must
// leave the folder as it was.
class RealStoreFailure : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("velloquin-pstfail-" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(dir_))
            names.push_back(entry.path().string() + ":" +
                            std::to_string(entry.is_regular_file() ? entry.file_size() : 0));
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
};

TEST_F(RealStoreFailure, FolderThatCannotBeWritten) {
    // A plain file in place of the folder: nothing can be created below it
    // (permission bits would not stop the root user the tests may run as).
    const fs::path notAFolder = dir_ / "plain-file";
    std::ofstream(notAFolder) << "keep";
    const auto before = Listing();
    outlook::PstState state;
    std::string detail;
    EXPECT_FALSE(outlook::CreatePstStore(state, notAFolder.string() + "/",
                                         TickingClock(Time(2026, 1, 31, 0, 0, 9)), detail));
    EXPECT_FALSE(detail.empty());
    state = {};
    EXPECT_EQ(Listing(), before);
}

TEST_F(RealStoreFailure, ExistingFileOfTheSameNameIsKept) {
    const fs::path existing = dir_ / "Contacts31.1.26 0.0.09.pst";
    std::ofstream(existing, std::ios::binary) << "an older store";
    const auto before = Listing();
    outlook::PstState state;
    std::string detail;
    EXPECT_FALSE(outlook::CreatePstStore(state, dir_.string() + "/",
                                         TickingClock(Time(2026, 1, 31, 0, 0, 9)), detail));
    EXPECT_FALSE(detail.empty());
    state = {};
    EXPECT_EQ(Listing(), before);
    std::ifstream in(existing, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "an older store");
}

// A contact whose every text field holds its own field name.
OutlookContactArgs NamedArgs() {
    OutlookContactArgs a;
    a.storeID = "STORE-ID-1";
    a.FolderName = 10;
#define NAME(field) a.field = #field
    NAME(eContact_FirstName);
    NAME(eContact_MiddleName);
    NAME(eContact_LastName);
    NAME(eContact_FullName);
    NAME(eContact_Suffix);
    NAME(eContact_Title);
    NAME(eContact_Email);
    NAME(eContact_Email2);
    NAME(eContact_Email3);
    NAME(eContact_Company);
    NAME(eContact_Profession);
    NAME(eContact_JobTitle);
    NAME(eContact_BusinessAddress);
    NAME(eContact_BusinessStreet);
    NAME(eContact_BusinessCity);
    NAME(eContact_BusinessZip);
    NAME(eContact_BusinessState);
    NAME(eContact_BusinessCountry);
    NAME(eContact_Location);
    NAME(eContact_WebPage);
    NAME(eContact_Department);
    NAME(eContact_Manager);
    NAME(eContact_Assistant);
    NAME(eContact_OfficePhone);
    NAME(eContact_OfficeFax);
    NAME(eContact_CellPhone);
    NAME(eContact_Pager);
    NAME(eContact_CarPhone);
    NAME(eContact_OtherEmail1);
    NAME(eContact_OtherEmail2);
    NAME(eContact_OtherEmail3);
    NAME(eContact_IMAddress);
    NAME(eContact_PersonalAddress);
    NAME(eContact_PersonalStreet);
    NAME(eContact_PersonalCity);
    NAME(eContact_PersonalZip);
    NAME(eContact_PersonalState);
    NAME(eContact_PersonalCountry);
    NAME(eContact_Spouse);
    NAME(eContact_Childern);
    NAME(eContact_HomePhone);
    NAME(eContact_HomeFax);
    NAME(eContact_Comments);
    NAME(eContact_ShortName);
    NAME(eContact_PhoneticName);
    NAME(eContact_MailDomain);
    NAME(eContact_Categories);
    NAME(eSelAddress);
#undef NAME
    return a;
}

struct ContactWriter : ::testing::Test {
    RdoLog log;
    outlook::PstState state;
    RunNotes notes;

    void SetUp() override {
        state.pstSession = std::make_shared<RecordingSession>(log);
        state.pstPath = "/out/Contacts.pst";
    }
    void Write(const OutlookContactArgs& args) {
        outlook::CreateContactItem(state, args, notes, 7);
    }
};

TEST_F(ContactWriter, LooksTheItemUpThenWritesTheFortyOnePropertiesInOrder) {
    Write(NamedArgs());
    const std::vector<std::string> expected = {
        "GetStoreFromID STORE-ID-1",
        "GetDefaultFolder 10",
        "Items",
        "Add 2",
        R"(Set FirstName="eContact_FirstName")",
        R"(Set MiddleName="eContact_MiddleName")",
        R"(Set LastName="eContact_LastName")",
        R"(Set FullName="eContact_FullName")",
        R"(Set JobTitle="eContact_JobTitle")",
        R"(Set CompanyName="eContact_Company")",
        R"(Set BusinessTelephoneNumber="eContact_OfficePhone")",
        R"(Set BusinessFaxNumber="eContact_OfficeFax")",
        R"(Set HomeTelephoneNumber="eContact_HomePhone")",
        R"(Set HomeFaxNumber="eContact_HomeFax")",
        R"(Set MobileTelephoneNumber="eContact_CellPhone")",
        R"(Set PagerNumber="eContact_Pager")",
        R"(Set CarTelephoneNumber="eContact_CarPhone")",
        R"(Set BusinessAddress="eContact_BusinessAddress")",
        R"(Set BusinessAddressStreet="eContact_BusinessStreet")",
        R"(Set BusinessAddressCity="eContact_BusinessCity")",
        R"(Set BusinessAddressState="eContact_BusinessState")",
        R"(Set BusinessAddressPostalCode="eContact_BusinessZip")",
        R"(Set BusinessAddressCountry="eContact_BusinessCountry")",
        R"(Set HomeAddress="eContact_PersonalAddress")",
        R"(Set HomeAddressStreet="eContact_PersonalStreet")",
        R"(Set HomeAddressCity="eContact_PersonalCity")",
        R"(Set HomeAddressState="eContact_PersonalState")",
        R"(Set HomeAddressPostalCode="eContact_PersonalZip")",
        R"(Set HomeAddressCountry="eContact_PersonalCountry")",
        R"(Set Email1Address="eContact_Email")",
        R"(Set Email2Address="eContact_Email2")",
        R"(Set Email3Address="eContact_Email3")",
        R"(Set BusinessHomePage="eContact_WebPage")",
        R"(Set WebPage="eContact_WebPage")",
        R"(Set IMAddress="eContact_OtherEmail1 eContact_OtherEmail2 eContact_OtherEmail3")",
        R"(Set Categories="eContact_Categories")",
        R"(Set Department="eContact_Department")",
        R"(Set OfficeLocation="eContact_Location")",
        R"(Set Profession="eContact_Profession")",
        R"(Set ManagerName="eContact_Manager")",
        R"(Set AssistantName="eContact_Assistant")",
        R"(Set Title="eContact_Title")",
        R"(Set Suffix="eContact_Suffix")",
        R"(Set Spouse="eContact_Spouse")",
        R"(Set Body="eContact_Comments")",
        "Save",
    };
    EXPECT_EQ(log.calls, expected);
    EXPECT_TRUE(notes.Empty());
}

TEST_F(ContactWriter, EmptyContactStillGetsEveryWriteAndSave) {
    OutlookContactArgs empty;
    empty.storeID = "STORE-ID-1";
    Write(empty);
    EXPECT_EQ(log.Starting("Set ").size(), 41u);
    EXPECT_EQ(log.Starting("Set IMAddress"), std::vector<std::string>{R"(Set IMAddress="")"});
    EXPECT_TRUE(log.Starting("AddPicture").empty());
    EXPECT_TRUE(log.Starting("Set Birthday").empty());
    EXPECT_TRUE(log.Starting("Set Anniversary").empty());
    EXPECT_EQ(log.calls.back(), "Save");
}

TEST_F(ContactWriter, IMAddressFallsBackToTheContactsOwnAddressOnly) {
    struct Case {
        const char* other1;
        const char* other2;
        const char* other3;
        const char* im;
        const char* expected;
    } cases[] = {
        {"", "", "", "live:anna", "live:anna"},   {"", "", "", "", ""},
        {"x@a", "", "", "live:anna", "x@a  "},    {"", "", "z@c", "live:anna", "  z@c"},
        {"x@a", "y@b", "z@c", "", "x@a y@b z@c"},
    };
    for (const Case& c : cases) {
        log.calls.clear();
        OutlookContactArgs args;
        args.eContact_OtherEmail1 = c.other1;
        args.eContact_OtherEmail2 = c.other2;
        args.eContact_OtherEmail3 = c.other3;
        args.eContact_IMAddress = c.im;
        Write(args);
        EXPECT_EQ(log.Starting("Set IMAddress"),
                  std::vector<std::string>{std::string("Set IMAddress=\"") + c.expected + "\""});
    }
}

TEST_F(ContactWriter, PictureThenNonZeroDatesThenSave) {
    OutlookContactArgs args;
    args.ePhoto = "/out/3.gif";
    args.eContact_BirthDay = 36526; // 1 January 2000
    args.eContact_Anniversary = -1; // before 1899-12-30 is still a date
    Write(args);
    const std::vector<std::string> tail(log.calls.end() - 4, log.calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"AddPicture /out/3.gif", "Set Birthday=date:36526",
                                              "Set Anniversary=date:-1", "Save"}));

    log.calls.clear();
    args.ePhoto.clear();
    args.eContact_BirthDay = 0;
    args.eContact_Anniversary = 40000.5;
    Write(args);
    EXPECT_TRUE(log.Starting("AddPicture").empty());
    EXPECT_TRUE(log.Starting("Set Birthday").empty());
    EXPECT_EQ(log.Starting("Set Anniversary"),
              std::vector<std::string>{"Set Anniversary=date:40000.5"});
}

TEST_F(ContactWriter, ContactsThatNeverReachTheStoreAreCountedLost) {
    for (const char* step : {"GetStoreFromID", "GetDefaultFolder", "Items", "Add", "Save"}) {
        SCOPED_TRACE(step);
        log.calls.clear();
        log.failing = {step};
        notes.Clear();
        OutlookContactArgs args = NamedArgs();
        Write(args);
        EXPECT_EQ(notes.LostContacts(), 1);
        ASSERT_EQ(notes.Kept().size(), 1u);
        EXPECT_EQ(notes.Kept()[0].contact, 7);
        EXPECT_NE(notes.Kept()[0].message.find("eContact_FullName"), std::string::npos);
        if (std::string(step) != "Save") {
            EXPECT_TRUE(log.Starting("Set ").empty());
        }
    }
    log.calls.clear();
    log.failing.clear();
    notes.Clear();
    state.pstSession.reset();
    Write(NamedArgs());
    EXPECT_EQ(notes.LostContacts(), 1);
}

TEST_F(ContactWriter, RefusedStepsAreSkippedAndNotedButTheContactIsSaved) {
    log.failing = {"Set:JobTitle", "AddPicture", "Set:Birthday"};
    OutlookContactArgs args = NamedArgs();
    args.ePhoto = "/out/missing.gif";
    args.eContact_BirthDay = 36526;
    args.eContact_Anniversary = 36527;
    Write(args);
    EXPECT_EQ(log.Starting("Set ").size(), 43u);
    EXPECT_EQ(log.calls.back(), "Save");
    EXPECT_EQ(notes.LostContacts(), 0);
    EXPECT_EQ(notes.Total(), 3u);
}

TEST(ClosePstStore, LogsOffAndReleasesAndNotesAFailedLogoff) {
    for (bool logoffFails : {false, true}) {
        RdoLog log;
        if (logoffFails) log.failing = {"Logoff"};
        outlook::PstState state;
        state.pstSession = std::make_shared<RecordingSession>(log);
        state.pstStore = std::make_shared<velloquin::testing::RecordingStore>(log);
        RunNotes notes;
        outlook::ClosePstStore(state, &notes);
        EXPECT_EQ(log.calls, std::vector<std::string>{"Logoff"});
        EXPECT_FALSE(state.pstSession || state.pstStore);
        EXPECT_EQ(notes.Total(), logoffFails ? 1u : 0u);
        EXPECT_EQ(notes.LostContacts(), 0);
    }
}

} // namespace
