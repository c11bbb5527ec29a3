// What the hardening tests share: a conversion run with stand-ins for the
// window, the command line as a child process with its peak memory, and the
// independent readers' view of the outputs.
#pragma once

#include "app/ConversionRun.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace velloquin::hardening {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, const std::string& bytes);

// Every path below the folder, relative to it, sorted.
std::vector<std::string> Listing(const fs::path& folder);

// BEGIN:VCARD lines that a later END:VCARD line closes, counted on lines cut
// at any line end (CR LF, CR or LF) and trimmed of blanks. A UTF-16 backup
// is counted on its ASCII letters.
int64_t CountCardPairs(const std::string& bytes);

struct Conversion {
    bool outlook = false;
    bool advance = false;
};

struct ConversionResult {
    app::RunSummary summary;
    RunNotes notes;
    std::vector<std::string> messages; // message box texts in order
    fs::path output;                   // the workbook or the store
    // What the outputs were handed: per Excel row, whether any cell has a
    // value (readers drop trailing empty rows); contacts with a name, which
    // every reader shows.
    std::vector<bool> rowHasValue;
    int64_t namedContacts = 0;
    int64_t Converted() const { return summary.contactsRead - summary.contactsLost; }
};

// One run of the conversion, as the Convert button starts it, into `out`:
// of the backup file `input`, or of every backup in it when it is a folder.
ConversionResult Convert(const fs::path& input, const fs::path& out, Conversion how);

// The store as the two independent readers see it. ok is false, with the
// readers' output in log, when one of them does not accept it.
struct StoreReadBack {
    bool ok = false;
    std::string log;
    int64_t readpstContacts = 0;       // vCards readpst exports
    int64_t pffexportContacts = 0;     // items pffexport finds in Contacts
    std::vector<std::string> pictures; // bytes of the pictures pffexport exported
};
StoreReadBack ReadStore(const fs::path& store, const fs::path& workDir);

// The command line as a child process, stopped when it runs past the limit.
struct ChildResult {
    int exitCode = -1; // -1: killed or ended by a signal
    bool timedOut = false;
    int64_t peakRssBytes = 0;
    std::string output; // stdout and stderr
};
ChildResult RunCli(const std::vector<std::string>& args, const fs::path& workDir,
                   std::chrono::seconds limit);

} // namespace velloquin::hardening
