// A store written onto a disk that really fills up (a small tmpfs): the
// failure is reported, never a success, and the file left behind is either
// removed or a valid store that holds every contact of its last checkpoint.
#include "StoreTesting.h"
#include "outlook/OutlookOutput.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/mount.h>
#include <unistd.h>

using namespace velloquin;
using namespace velloquin::pstcheck;
namespace fs = std::filesystem;

namespace {

// A tmpfs of `size` mounted on a fresh folder for the test's lifetime.
struct SmallDisk {
    explicit SmallDisk(const char* size) {
        if (geteuid() != 0) {
            why = "mounting a tmpfs needs root";
            return;
        }
        const std::string options = std::string("size=") + size;
        if (mount("tmpfs", dir.Path().c_str(), "tmpfs", 0, options.c_str()) != 0)
            why = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
        else
            mounted = true;
    }
    ~SmallDisk() {
        if (mounted) umount2(dir.Path().c_str(), MNT_DETACH);
    }
    TempDir dir;
    bool mounted = false;
    std::string why;
};

const RandomContactOptions kOptions{0.5, 0.5, 60000};

TEST(FullDisk, TheStoreWriterReportsItAndKeepsItsLastCheckpoint) {
    SmallDisk disk("3m");
    if (!disk.mounted) GTEST_SKIP() << disk.why;
    TempDir work; // the readers' output goes elsewhere: this disk is full
    const std::string pst = disk.dir / "full.pst";
    const std::vector<TestContact> contacts = RandomContacts(2000, 77, kOptions);
    size_t saved = 0, committed = 0;
    bool failed = false;
    {
        pst::StoreOptions options;
        options.checkpointContacts = 25;
        options.checkpointInterval = std::chrono::hours(1);
        pst::PstStore store(pst, "Full Disk", options);
        for (const TestContact& c : contacts) {
            try {
                committed = store.CommittedContacts();
                SaveContact(store, c, work / "picture");
                ++saved;
            } catch (const std::exception&) {
                failed = true;
                break;
            }
        }
        EXPECT_TRUE(failed) << "the disk never filled";
        EXPECT_ANY_THROW(store.SaveContact({}, nullptr)) << "a broken store took more";
        store.Close(); // gives the space back; the failure has been reported already
    }
    if (!fs::exists(pst)) return; // removed: nothing half-written is left
    const ReadBack back = ReadStoreBack(pst, work, true);
    const size_t held = back.items.size();
    EXPECT_GE(held, committed) << "lost a checkpoint";
    EXPECT_LE(held, saved);
    ExpectSameContacts({contacts.begin(), contacts.begin() + static_cast<ptrdiff_t>(held)}, back);
}

// The same through the whole Outlook output: the run's notes name the lost
// contacts, and closing never turns the failure into a success.
TEST(FullDisk, TheOutlookOutputNotesTheLostContacts) {
    SmallDisk disk("2m");
    if (!disk.mounted) GTEST_SKIP() << disk.why;
    TempDir work;
    outlook::PstState state;
    std::string detail;
    const outlook::Clock clock = [] {
        std::tm t{};
        t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 5, t.tm_hour = 9;
        return t;
    };
    ASSERT_TRUE(outlook::CreatePstStore(state, disk.dir / "", clock, detail)) << detail;
    RunNotes notes;
    int64_t n = 0;
    for (const TestContact& c : RandomContacts(2000, 78, kOptions)) {
        OutlookContactArgs args;
        args.storeID = state.pstStoreID;
        args.FolderName = 10;
        args.eContact_LastName = "Contact " + std::to_string(++n);
        args.eContact_Comments = c.text.count("Body") ? c.text.at("Body") : "";
        if (!c.picture.empty()) args.ePhoto = testsupport::WriteFile(work / "p.gif", c.picture);
        outlook::CreateContactItem(state, args, notes, n);
        if (notes.LostContacts() > 0) break;
    }
    outlook::ClosePstStore(state, &notes);
    EXPECT_GT(notes.LostContacts(), 0) << "the full disk went unreported:\n" << notes.Format();
    if (fs::exists(state.pstPath)) {
        const ReadBack back = ReadStoreBack(state.pstPath, work, true);
        EXPECT_LT(static_cast<int64_t>(back.items.size()), n);
    }
}

} // namespace
