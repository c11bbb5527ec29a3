// Hostile sizes through the command line as a child process, in both modes
// and both outputs: none may crash or hang, the peak memory stays within a
// small multiple of the input, and whatever is not converted is reported.
#include "Hardening.h"

#include <cerrno>
#include <fstream>
#include <random>
#include <regex>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velloquin::hardening {
namespace {

constexpr int64_t kMB = 1 << 20;

struct Child {
    int exitCode;      // -1: ended by a signal, or killed after five minutes
    int64_t peakBytes; // wait4 reports the largest of the shell, timeout(1) and the command line
    std::string output;
};

Child RunCli(const std::vector<std::string>& args, const fs::path& dir) {
    std::string command = "cd '" + dir.string() + "' && exec timeout -s KILL 300 " VELLOQUIN_CLI;
    for (const std::string& arg : args)
        command += " '" + arg + "'";
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", (command + " >cli.log 2>&1").c_str(), nullptr);
        _exit(127);
    }
    int status = -1; // not exited, should fork or wait4 fail
    rusage usage{};
    while (pid > 0 && wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss * int64_t{1024},
            ReadFile(dir / "cli.log")};
}

fs::path LongLine(const fs::path& dir) {
    std::string backup = "BEGIN:VCARD\r\nFN:Long Line\r\nNOTE:";
    backup.append(100 * kMB, 'x'); // and the card never ends
    return WriteFile(dir / "long.vcf", backup);
}

fs::path ManyProperties(const fs::path& dir) {
    std::string backup = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Many Properties\r\n";
    for (int i = 0; i < 10000; ++i) { // ten properties each
        const std::string n = std::to_string(i) + "\r\n";
        backup += "TEL;TYPE=CELL:+1 555 0100 " + n + "EMAIL;TYPE=INTERNET:a" + n + "NOTE:note " +
                  n + "X-SKYPE-ID:id" + n + "ADR;TYPE=HOME:;;street " + n + "CATEGORIES:c" + n +
                  "ORG:org " + n + "TITLE:t" + n + "URL:http://x/" + n + "TEL;TYPE=HOME:" + n;
    }
    return WriteFile(dir / "many.vcf", backup + "END:VCARD\r\n");
}

// 15 MB of random bytes, 20 MB in Base64 (coreutils' encoder) on the line
// after PHOTO, where both modes read it.
fs::path BigPicture(const fs::path& dir) {
    std::string picture(15 * kMB, '\0');
    std::mt19937 random(7);
    for (char& c : picture)
        c = static_cast<char>(random());
    const std::string backup =
        WriteFile(dir / "picture.vcf",
                  "BEGIN:VCARD\r\nFN:Big Picture\r\nPHOTO;ENCODING=BASE64;TYPE=JPEG:\r\n");
    const std::string encode =
        "base64 -w0 '" + WriteFile(dir / "picture.bin", picture) + "' >>'" + backup + "'";
    EXPECT_EQ(std::system(encode.c_str()), 0);
    std::ofstream(backup, std::ios::app) << "\r\n\r\nEND:VCARD\r\n";
    return backup;
}

fs::path ThousandBackups(const fs::path& dir) {
    fs::create_directory(dir / "backups");
    for (int i = 0; i < 1000; ++i) {
        const std::string n = std::to_string(i);
        WriteFile(dir / "backups" / ("backup" + n + ".vcf"),
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Person " + n + "\r\nN:" + n +
                      ";Person;;;\r\nTEL:+1 555 " + n + "\r\nEND:VCARD\r\n");
    }
    return dir / "backups";
}

struct Hostile {
    const char* name;
    fs::path (*make)(const fs::path& dir); // the backup file or folder
    int64_t converted;
    friend void PrintTo(const Hostile& hostile, std::ostream* os) { *os << hostile.name; }
};

class HostileSize : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileSize, IsConvertedOrReportedInModestMemory) {
    TempDir work("velloquin-hostile");
    const fs::path input = GetParam().make(work.Path());
    const int64_t converted = GetParam().converted;
    int64_t size = 0; // of the backups
    for (const auto& file : fs::recursive_directory_iterator(work.Path()))
        if (file.path().extension() == ".vcf") size += static_cast<int64_t>(file.file_size());
    const std::string picture = ReadFile(work.Path() / "picture.bin"); // or none

    for (const Conversion how : kConversions) {
        SCOPED_TRACE(how.Name());
        const fs::path out = work.Path() / how.Name();
        fs::create_directory(out);
        std::vector<std::string> args{how.outlook ? "--outlook" : "--excel", "--out", out.string()};
        if (how.advance) args.push_back("--advance");
        if (fs::is_directory(input)) args.push_back("--folder");
        args.push_back(input.string());
        const Child run = RunCli(args, work.Path());
        ASSERT_EQ(run.exitCode, converted ? 0 : 3) << run.output;
        // Generous for a converter that streams, tight enough to catch one
        // that copies its input per property or per line.
        EXPECT_LT(run.peakBytes, 6 * size + 100 * kMB)
            << run.peakBytes / kMB << " MB peak for " << size / kMB << " MB of input";
        std::smatch output;
        const std::regex line("\\b" + std::to_string(converted) + " contacts? converted to (.+)");
        ASSERT_TRUE(std::regex_search(run.output, output, line)) << run.output;
        EXPECT_TRUE(converted || run.output.find("lost") != std::string::npos);
        EXPECT_TRUE(picture.empty() || ReadFile(out / "1.gif") == picture) << "1.gif differs";
        if (!how.outlook) ExpectWorkbooks({output[1].str()}, {converted});
        const auto back =
            how.outlook ? ExpectStore(output[1].str(), converted) : pstcheck::ReadBack{};
        EXPECT_TRUE(!how.outlook || picture.empty() ||
                    back.items.at(0).at("picture") ==
                        pstcheck::Bytes(picture.begin(), picture.end()))
            << "the stored picture differs";
        fs::remove_all(out);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, HostileSize,
    ::testing::Values(Hostile{"HundredMegabyteLineWithoutLineEnd", LongLine, 0},
                      Hostile{"CardWithHundredThousandProperties", ManyProperties, 1},
                      Hostile{"TwentyMegabytePicture", BigPicture, 1},
                      Hostile{"FolderOfThousandBackups", ThousandBackups, 1000}),
    [](const auto& hostile) { return std::string(hostile.param.name); });

} // namespace
} // namespace velloquin::hardening
