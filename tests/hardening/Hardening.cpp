#include "Hardening.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace velloquin::hardening {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::string> Listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(entry.path().lexically_relative(folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

std::string TrimBlanks(std::string s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.back()))
        s.pop_back();
    size_t i = 0;
    while (i < s.size() && blank(s[i]))
        ++i;
    s.erase(0, i);
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

} // namespace

int64_t CountCardPairs(const std::string& bytes) {
    std::string text = bytes;
    if (text.size() >= 2 &&
        ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF')))
        text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    int64_t pairs = 0;
    bool open = false;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = TrimBlanks(text.substr(pos, end - pos));
        if (line == "BEGIN:VCARD") open = true;
        if (line == "END:VCARD" && open) {
            ++pairs;
            open = false;
        }
        pos = end + 1;
    }
    return pairs;
}

namespace {

struct Picker : app::FolderPicker {
    std::string folder;
    std::string BrowseForFolder(const std::string&) override { return folder; }
};

struct Messages : app::MessageBox {
    std::vector<std::string> shown;
    void Show(const std::string& text, const std::string&) override { shown.push_back(text); }
};

struct Pump : app::WindowPump {
    void LetTheWindowWork() override {}
};

struct Controls : app::RunControls {
    Conversion how;
    bool OptXLS() override { return !how.outlook; }
    bool OptPST() override { return how.outlook; }
    bool OptNormal() override { return !how.advance; }
    bool OptAdvance() override { return how.advance; }
    void SetProgressCaption(const std::string&) override {}
    void SetCmdSplitEnabled(bool) override {}
    void SetRunUnderWay(bool) override {}
};

bool HasValue(const ExcelContactArgs& a) {
    static const std::string ExcelContactArgs::*const kTexts[] = {
        &ExcelContactArgs::xlsContact_FirstName,
        &ExcelContactArgs::xlsContact_MiddleName,
        &ExcelContactArgs::xlsContact_LastName,
        &ExcelContactArgs::xlsContact_FullName,
        &ExcelContactArgs::xlsContact_Suffix,
        &ExcelContactArgs::xlsContact_Title,
        &ExcelContactArgs::xlsContact_Email,
        &ExcelContactArgs::xlsContact_Email2,
        &ExcelContactArgs::xlsContact_Email3,
        &ExcelContactArgs::xlsContact_Company,
        &ExcelContactArgs::xlsContact_Profession,
        &ExcelContactArgs::xlsContact_JobTitle,
        &ExcelContactArgs::xlsContact_BusinessAddress,
        &ExcelContactArgs::xlsContact_BusinessStreet,
        &ExcelContactArgs::xlsContact_BusinessCity,
        &ExcelContactArgs::xlsContact_BusinessZip,
        &ExcelContactArgs::xlsContact_BusinessState,
        &ExcelContactArgs::xlsContact_BusinessCountry,
        &ExcelContactArgs::xlsContact_Location,
        &ExcelContactArgs::xlsContact_WebPage,
        &ExcelContactArgs::xlsContact_Department,
        &ExcelContactArgs::xlsContact_Manager,
        &ExcelContactArgs::xlsContact_Assistant,
        &ExcelContactArgs::xlsContact_OfficePhone,
        &ExcelContactArgs::xlsContact_OfficeFax,
        &ExcelContactArgs::xlsContact_CellPhone,
        &ExcelContactArgs::xlsContact_Pager,
        &ExcelContactArgs::xlsContact_CarPhone,
        &ExcelContactArgs::xlsContact_OtherEmail1,
        &ExcelContactArgs::xlsContact_OtherEmail2,
        &ExcelContactArgs::xlsContact_OtherEmail3,
        &ExcelContactArgs::xlsContact_IMAddress,
        &ExcelContactArgs::xlsContact_PersonalStreet,
        &ExcelContactArgs::xlsContact_PersonalCity,
        &ExcelContactArgs::xlsContact_PersonalZip,
        &ExcelContactArgs::xlsContact_PersonalState,
        &ExcelContactArgs::xlsContact_PersonalCountry,
        &ExcelContactArgs::xlsContact_Spouse,
        &ExcelContactArgs::xlsContact_Childern,
        &ExcelContactArgs::xlsContact_HomePhone,
        &ExcelContactArgs::xlsContact_HomeFax,
        &ExcelContactArgs::xlsContact_Comments,
        &ExcelContactArgs::xlsContact_ShortName,
        &ExcelContactArgs::xlsContact_PhoneticName,
        &ExcelContactArgs::xlsContact_MailDomain,
        &ExcelContactArgs::xlsContact_Categories,
        &ExcelContactArgs::xlsContact_PersonalAddress};
    for (const auto field : kTexts)
        if (!(a.*field).empty()) return true;
    return a.xlsContact_BirthDay != 0 || a.xlsContact_Anniversary != 0;
}

// The run as the window has it, noting what each output is handed.
class RecordingRun : public app::ConversionRun {
  public:
    using ConversionRun::ConversionRun;
    void Save2ExcelContact(const ExcelContactArgs& args) override {
        rowHasValue.push_back(HasValue(args));
        ConversionRun::Save2ExcelContact(args);
    }
    void CreateContactItem(const OutlookContactArgs& args) override {
        namedContacts += !args.eContact_FirstName.empty() || !args.eContact_LastName.empty() ||
                         !args.eContact_FullName.empty();
        ConversionRun::CreateContactItem(args);
    }
    std::vector<bool> rowHasValue;
    int64_t namedContacts = 0;
};

} // namespace

ConversionResult Convert(const fs::path& input, const fs::path& out, Conversion how) {
    Picker picker;
    picker.folder = out.string();
    Messages messages;
    Pump pump;
    Controls controls;
    controls.how = how;
    RecordingRun run(picker, messages, pump, controls);
    if (fs::is_directory(input)) {
        run.srcFolder = app::WithFinalSeparator(input.string());
        run.inputMode = 2;
    } else {
        run.chosenFileName = input.string();
    }
    run.CmdSplit_Click();

    ConversionResult result;
    result.summary = run.LastSummary();
    result.notes = run.LastNotes();
    result.messages = messages.shown;
    result.rowHasValue = run.rowHasValue;
    result.namedContacts = run.namedContacts;
    result.output = how.outlook ? fs::path(run.pst.pstPath) : out / excel::kExcelSheetName;
    return result;
}

namespace {

// Runs a reader with its output in a file; returns its exit status.
int RunReader(const std::vector<std::string>& args, const fs::path& log) {
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 1);
        dup2(fd, 2);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

size_t Count(const std::string& text, const std::string& word) {
    size_t n = 0;
    for (size_t pos = text.find(word); pos != std::string::npos; pos = text.find(word, pos + 1))
        ++n;
    return n;
}

} // namespace

StoreReadBack ReadStore(const fs::path& store, const fs::path& workDir) {
    StoreReadBack back;
    const fs::path readpstDir = workDir / "readpst";
    const fs::path pffDir = workDir / "pffexport";
    fs::remove_all(readpstDir);
    fs::remove_all(pffDir);
    fs::create_directories(readpstDir);
    fs::create_directories(pffDir);

    const int readpst =
        RunReader({"readpst", "-q", "-cv", "-j0", "-o", readpstDir.string(), store.string()},
                  workDir / "readpst.log");
    const int pff =
        RunReader({"pffexport", "-q", "-t", (pffDir / "store").string(), store.string()},
                  workDir / "pffexport.log");
    back.log = "readpst exit " + std::to_string(readpst) + ":\n" +
               ReadFile(workDir / "readpst.log") + "pffexport exit " + std::to_string(pff) + ":\n" +
               ReadFile(workDir / "pffexport.log");
    back.ok = readpst == 0 && pff == 0;

    for (const auto& entry : fs::recursive_directory_iterator(readpstDir))
        if (entry.is_regular_file())
            back.readpstContacts +=
                static_cast<int64_t>(Count(ReadFile(entry.path()), "BEGIN:VCARD"));
    const fs::path contacts = pffDir / "store.export" / "Top of Personal Folders" / "Contacts";
    if (fs::is_directory(contacts)) {
        for (const auto& item : fs::directory_iterator(contacts)) {
            if (!item.is_directory()) continue;
            ++back.pffexportContacts;
            const fs::path attachments = item.path() / "Attachments";
            if (!fs::is_directory(attachments)) continue;
            for (const auto& file : fs::directory_iterator(attachments))
                if (file.is_regular_file()) back.pictures.push_back(ReadFile(file.path()));
        }
    } else {
        back.ok = false;
        back.log += "\npffexport exported no Contacts folder";
    }
    return back;
}

ChildResult RunCli(const std::vector<std::string>& args, const fs::path& workDir,
                   std::chrono::seconds limit) {
    ChildResult result;
    const fs::path log = workDir / "cli.log";
    const pid_t pid = fork();
    if (pid < 0) return result;
    if (pid == 0) {
        if (chdir(workDir.c_str()) != 0) _exit(126);
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 1);
        dup2(fd, 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(VELLOQUIN_CLI));
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(VELLOQUIN_CLI, argv.data());
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return result;
        if (std::chrono::steady_clock::now() > deadline && !result.timedOut) {
            result.timedOut = true;
            kill(pid, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.peakRssBytes = static_cast<int64_t>(usage.ru_maxrss) * 1024; // kilobytes on Linux
    result.output = ReadFile(log);
    return result;
}

} // namespace velloquin::hardening
