// A writer killed at any moment leaves a store that both readers open and
// that holds at least the contacts of its last checkpoint.
//
// What a killed run may leave: before the writer has committed the empty
// store ("ready") there may be no file or a file without a valid header yet;
// from then on the header always describes a complete, older or newer
// committed store. Bytes past ibFileEof and space marked allocated by the
// interrupted commit are allowed; everything else must pass the verifier.
#include "PstVerifier.h"
#include "StoreTesting.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace velloquin::pstcheck;

namespace {

constexpr int kContacts = 300;
constexpr int kCheckpoint = 25;
constexpr int kRuns = 24;

struct KillRun {
    bool ready = false;
    int saved = 0;
    int committed = -1;
    bool closed = false;
};

// Starts the writer, kills it with SIGKILL once it has printed `killAfter`
// lines (plus `delayMicros`), then collects everything it printed.
KillRun RunAndKill(const std::string& pst, uint32_t seed, int killAfter, int delayMicros) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe");
    fcntl(fds[0], F_SETPIPE_SZ, 4096); // keep the writer close to what is read
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        const std::string n = std::to_string(kContacts), s = std::to_string(seed),
                          c = std::to_string(kCheckpoint);
        execl(PSTCHECK_KILLWRITER, PSTCHECK_KILLWRITER, pst.c_str(), n.c_str(), s.c_str(),
              c.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string output;
    int lines = 0;
    bool killed = killAfter == 0;
    if (killed) {
        usleep(static_cast<useconds_t>(delayMicros));
        kill(pid, SIGKILL);
    }
    char buffer[256];
    ssize_t got;
    while ((got = read(fds[0], buffer, sizeof buffer)) > 0) {
        output.append(buffer, static_cast<size_t>(got));
        lines += static_cast<int>(std::count(buffer, buffer + got, '\n'));
        if (!killed && lines >= killAfter) {
            usleep(static_cast<useconds_t>(delayMicros));
            kill(pid, SIGKILL);
            killed = true;
        }
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);

    KillRun run;
    std::istringstream in(output);
    std::string word;
    int value;
    while (in >> word) {
        if (word == "ready") run.ready = true;
        if (word == "closed") run.closed = true;
        if (word == "saved" && in >> value) run.saved = value;
        if (word == "committed" && in >> value) run.committed = value;
    }
    return run;
}

bool HasHeader(const std::string& pst) {
    const auto bytes = ReadBytes(pst);
    return bytes.size() >= 4 && bytes[0] == '!' && bytes[1] == 'B' && bytes[2] == 'D' &&
           bytes[3] == 'N';
}

TEST(KilledWriter, LeavesItsLastCheckpointReadable) {
    std::mt19937 picker(2024);
    int midRun = 0;
    for (int r = 0; r < kRuns; ++r) {
        SCOPED_TRACE("run " + std::to_string(r));
        TempDir dir;
        const std::string pst = dir / "killed.pst";
        const uint32_t seed = 500 + static_cast<uint32_t>(r);
        // Lines: "ready", one per contact and one per commit.
        const int killAfter = std::uniform_int_distribution<int>(0, kContacts + 12)(picker);
        const int delay = std::uniform_int_distribution<int>(0, 3000)(picker);
        const KillRun run = RunAndKill(pst, seed, killAfter, delay);
        if (!run.ready && (!std::filesystem::exists(pst) || !HasHeader(pst))) continue;
        if (!run.closed) ++midRun;

        ExpectVerifies(pst, true);
        const ReadBack back = ReadStoreBack(pst, dir.Path());
        const int held = static_cast<int>(back.vcards.size());
        const auto stats = velloquin::pstcheck::VerifyPstFile(pst, {true, true, false}).stats;
        std::cout << "run " << r << ": saved " << run.saved << ", last commit seen "
                  << run.committed << ", file holds " << held
                  << (stats.amapValid ? "" : ", killed inside a commit")
                  << (std::filesystem::file_size(pst) > stats.fileEof ? ", bytes past EOF" : "")
                  << "\n";
        EXPECT_GE(held, std::max(run.committed, 0)) << "lost a checkpoint";
        EXPECT_LE(held, run.saved);

        std::mt19937 rng(seed);
        std::vector<TestContact> written;
        for (int i = 0; i < held; ++i)
            written.push_back(RandomContact(rng, {0.5, 0.3, 20000}));
        ExpectSameContacts(written, back);
        if (HasFailure()) return;
    }
    // The runs must really have hit the writer while it was working.
    EXPECT_GE(midRun, 20);
}

} // namespace
