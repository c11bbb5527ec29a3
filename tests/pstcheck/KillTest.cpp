// A writer killed at any moment leaves a store that both readers open and
// that holds at least the contacts of its last checkpoint.
//
// Before the writer has committed the empty store there may be no file, or
// one without a header yet; from then on the header always describes a
// complete committed store. Bytes past its end of file and space marked
// allocated by the interrupted commit are allowed; everything else must pass
// the verifier.
#include "StoreTesting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velloquin;
using namespace velloquin::pstcheck;

namespace {

constexpr int kContacts = 300, kRuns = 24;
const RandomContactOptions kOptions{0.5, 0.3, 20000};

// The writer: random contacts from `seed`, a checkpoint every 25, and after
// the empty store and each contact a line "<saved> <committed>" on `out`.
[[noreturn]] void WriteAndReport(const std::string& path, uint32_t seed, int out) try {
    pst::StoreOptions options;
    options.checkpointContacts = 25;
    options.checkpointInterval = std::chrono::hours(1);
    pst::PstStore store(path, "Kill Test", options);
    dprintf(out, "0 0\n");
    int saved = 0;
    for (const TestContact& c : RandomContacts(kContacts, seed, kOptions)) {
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
        ExpectSameContacts(RandomContacts(held, seed, kOptions), back);
        EXPECT_GE(held, committed) << "lost a checkpoint";
        EXPECT_LE(held, saved);
    }
    EXPECT_TRUE(HasFailure() || midRun >= 20)
        << "only " << midRun << " runs hit the writer at work";
}

} // namespace
