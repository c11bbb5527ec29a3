// Stores whose writer is cut short leave a file that every reader opens and
// that holds at least the contacts of the last checkpoint: a writer killed at
// any moment, and one whose disk really fills up (a small tmpfs), which also
// reports the failure, never a success, or removes what it half wrote.
//
// Before the writer has committed the empty store there may be no file, or
// one without a header yet; from then on the header always describes a
// complete committed store. Bytes past its end of file and space marked
// allocated by the interrupted commit are allowed; everything else must pass
// the verifier.
#include "StoreTesting.h"
#include "outlook/OutlookOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velloquin;
using namespace velloquin::pstcheck;
namespace fs = std::filesystem;

namespace {

constexpr int kContacts = 300, kRuns = 24;
const RandomContactOptions kKillOptions{0.5, 0.3, 20000};

// The writer: random contacts from `seed`, a checkpoint every 25, and after
// the empty store and each contact a line "<saved> <committed>" on `out`.
[[noreturn]] void WriteAndReport(const std::string& path, uint32_t seed, int out) try {
    pst::StoreOptions options;
    options.checkpointContacts = 25;
    options.checkpointInterval = std::chrono::hours(1);
    pst::PstStore store(path, "Kill Test", options);
    dprintf(out, "0 0\n");
    int saved = 0;
    for (const TestContact& c : RandomContacts(kContacts, seed, kKillOptions)) {
        SaveContact(store, c, path + ".gif");
        dprintf(out, "%d %zu\n", ++saved, store.CommittedContacts());
    }
    store.Close();
    dprintf(out, "%d %zu\n", kContacts, store.CommittedContacts());
    _exit(0);
} catch (const std::exception& e) {
    dprintf(2, "writer: %s\n", e.what());
    _exit(1);
}

// Runs the writer and kills it once it has reported `lines` lines and
// `delayMicros` more have passed; returns its last complete report.
std::pair<int, int> RunAndKill(const std::string& pst, uint32_t seed, int lines, int delayMicros) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe");
    fcntl(fds[0], F_SETPIPE_SZ, 4096); // keeps the writer close to what is read
    const pid_t pid = fork();
    if (pid == 0) close(fds[0]), WriteAndReport(pst, seed, fds[1]);
    close(fds[1]);
    std::string output;
    for (int seen = 0;;) {
        if (seen == lines)
            usleep(static_cast<useconds_t>(delayMicros)), kill(pid, SIGKILL), seen = -1;
        char buffer[256];
        const ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got <= 0) break;
        output.append(buffer, static_cast<size_t>(got));
        if (seen >= 0)
            seen = std::min(lines, seen + static_cast<int>(std::count(buffer, buffer + got, '\n')));
    }
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    std::pair<int, int> last{-1, -1};
    std::sscanf(output.c_str() + output.rfind('\n', output.size() - 2) + 1, "%d %d", &last.first,
                &last.second);
    return last;
}

TEST(KilledWriter, LeavesItsLastCheckpointReadable) {
    std::mt19937 picker(2024);
    int midRun = 0;
    for (int r = 0; r < kRuns; ++r) {
        SCOPED_TRACE("run " + std::to_string(r));
        TempDir dir;
        const std::string pst = dir / "killed.pst";
        const uint32_t seed = 500 + static_cast<uint32_t>(r);
        // kill after a random line of the empty store's, the contacts' and the closing one
        const int lines = std::uniform_int_distribution<int>(0, kContacts + 1)(picker);
        const auto [saved, committed] =
            RunAndKill(pst, seed, lines, std::uniform_int_distribution<int>(0, 3000)(picker));
        if (saved < 0) continue; // killed before the empty store was committed
        midRun += committed < kContacts ? 1 : 0;

        const ReadBack back = ReadStoreBack(pst, dir, true);
        const auto held = static_cast<int>(back.items.size());
        ExpectSameContacts(RandomContacts(held, seed, kKillOptions), back);
        EXPECT_GE(held, committed) << "lost a checkpoint";
        EXPECT_LE(held, saved);
    }
    EXPECT_TRUE(HasFailure() || midRun >= 20)
        << "only " << midRun << " runs hit the writer at work";
}

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

const RandomContactOptions kFullOptions{0.5, 0.5, 60000};

TEST(FullDisk, TheStoreWriterReportsItAndKeepsItsLastCheckpoint) {
    SmallDisk disk("3m");
    if (!disk.mounted) GTEST_SKIP() << disk.why;
    TempDir work; // the readers' output goes elsewhere: this disk is full
    const std::string pst = disk.dir / "full.pst";
    const std::vector<TestContact> contacts = RandomContacts(2000, 77, kFullOptions);
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
    for (const TestContact& c : RandomContacts(2000, 78, kFullOptions)) {
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
