// velloquin-cli: converts a Skype contacts backup without a window, through
// the same conversion run as the window.
#include "CliPlatform.h"

#include "app/ConversionRun.h"
#include "excel/ContactSheet.h"
#include "excel/Sheet.h"
#include "platform/Console.h"
#include "platform/Utf8Path.h"
#ifdef VELLOQUIN_XLSX
#include "excel/XlsxSheet.h"
#endif

#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;
using namespace velloquin;

namespace {

// Exit statuses.
constexpr int kConverted = 0;  // every contact converted, nothing to report
constexpr int kIncomplete = 1; // the run ended, but something was lost or skipped
constexpr int kBadUsage = 2;   // the arguments are wrong
// Nothing was converted: input or output missing, the output could not be
// created, or the run ended without a single contact in the output.
constexpr int kNothingConverted = 3;

constexpr const char* kUsage =
    "Usage: velloquin-cli [--excel | --xlsx | --csv | --outlook] [--advance | --standard]\n"
    "                     --out DIR (FILE.vcf | --folder DIR)\n"
    "\n"
    "Converts a Skype contacts backup (vCard) into an Excel workbook\n"
    "(vCardContactsExported.xls) or a new Outlook store (Contacts<time>.pst) in DIR.\n"
    "\n"
    "  --excel         write the Excel 2.1 workbook (the default)\n"
    "  --xlsx          write vCardContactsExported.xlsx instead: the same columns in\n"
    "                  every script, dates as dates, editable in any spreadsheet\n"
    "  --csv           write vCardContactsExported.csv instead: UTF-8, the same columns\n"
    "  --outlook       write an Outlook .pst store\n"
    "  --advance       read in Advance mode, for backups Normal mode fails to import\n"
    "  --standard      read in Standard mode: any vCard 2.1, 3.0 or 4.0 as the\n"
    "                  standards define it (phones, webmail, address books)\n"
    "  --out DIR       the existing folder to save into\n"
    "  --folder DIR    read every .vcf file of DIR instead of one FILE.vcf\n"
    "  --help          show this help\n"
    "  --version       show the version\n"
    "\n"
    "Exit status: 0 when every contact was converted whole, 1 when contacts or values\n"
    "were lost or found no place in the output (they are listed), 2 for bad\n"
    "arguments, 3 when nothing could be converted.\n";

struct Arguments {
    bool excel = false;
    bool xlsx = false;
    bool csv = false;
    bool outlook = false;
    bool advance = false;
    bool standard = false;
    std::optional<std::string> out;
    std::optional<std::string> folder;
    std::optional<std::string> file;
    bool help = false;
    bool version = false;
};

struct UsageError {
    std::string message;
};

// Accepts "--name VALUE" and "--name=VALUE".
bool TakeValue(std::string_view arg, std::string_view name, size_t& i,
               const std::vector<std::string>& argv, std::optional<std::string>& target) {
    std::optional<std::string> value;
    if (arg == name) {
        if (i + 1 >= argv.size()) throw UsageError{std::string(name) + " needs a folder"};
        value = argv[++i];
    } else if (arg.size() > name.size() && arg.substr(0, name.size()) == name &&
               arg[name.size()] == '=') {
        value = std::string(arg.substr(name.size() + 1));
    } else {
        return false;
    }
    if (target) throw UsageError{std::string(name) + " is given twice"};
    if (value->empty()) throw UsageError{std::string(name) + " needs a folder"};
    target = std::move(value);
    return true;
}

Arguments Parse(const std::vector<std::string>& argv) {
    Arguments args;
    bool optionsEnded = false;
    for (size_t i = 1; i < argv.size(); ++i) {
        const std::string_view arg = argv[i];
        if (!optionsEnded && arg.size() > 1 && arg.front() == '-') {
            if (arg == "--")
                optionsEnded = true;
            else if (arg == "--help" || arg == "-h")
                args.help = true;
            else if (arg == "--version")
                args.version = true;
            else if (arg == "--excel")
                args.excel = true;
            else if (arg == "--outlook")
                args.outlook = true;
            else if (arg == "--xlsx")
                args.xlsx = true;
            else if (arg == "--csv")
                args.csv = true;
            else if (arg == "--advance")
                args.advance = true;
            else if (arg == "--standard")
                args.standard = true;
            else if (!TakeValue(arg, "--out", i, argv, args.out) &&
                     !TakeValue(arg, "--folder", i, argv, args.folder))
                throw UsageError{"unknown option " + std::string(arg)};
            continue;
        }
        if (args.file)
            throw UsageError{"only one backup file can be given (use --folder for several)"};
        args.file = std::string(arg);
    }
    if (args.help || args.version) return args;
    if (int(args.excel) + int(args.xlsx) + int(args.csv) + int(args.outlook) > 1)
        throw UsageError{"choose one of --excel, --xlsx, --csv and --outlook"};
    if (args.advance && args.standard) throw UsageError{"choose one of --advance and --standard"};
#ifndef VELLOQUIN_XLSX
    if (args.xlsx) throw UsageError{"this velloquin-cli was built without --xlsx"};
#endif
    if (!args.out) throw UsageError{"--out DIR is required"};
    if (args.file && args.folder)
        throw UsageError{"give either a backup file or --folder, not both"};
    if (!args.file && !args.folder) throw UsageError{"give a backup file or --folder DIR"};
    return args;
}

int Fail(const std::string& message) {
    std::cerr << "velloquin-cli: " << message << '\n';
    return kNothingConverted;
}

int Convert(const Arguments& args) {
    using platform::PathFromUtf8;
    std::error_code ec;
    // The output folder is not created: a mistyped one would scatter outputs.
    if (!fs::is_directory(PathFromUtf8(*args.out), ec))
        return Fail("the output folder " + *args.out + " does not exist");
    const std::string outFolder =
        platform::Utf8FromPath(fs::absolute(PathFromUtf8(*args.out), ec).lexically_normal());
    if (args.folder && !fs::is_directory(PathFromUtf8(*args.folder), ec))
        return Fail("the backup folder " + *args.folder + " does not exist");
    if (args.file && !fs::is_regular_file(PathFromUtf8(*args.file), ec))
        return Fail("the backup file " + *args.file + " does not exist");

    const bool terminal = platform::StderrIsTerminal();
    int64_t expected = 0;
    // Advance and Standard Mode both end lines at LF as well.
    const bool cutAtLf = args.advance || args.standard;
    if (terminal) {
        if (args.file) {
            expected = cli::CountCards(*args.file, cutAtLf);
        } else {
            for (const std::string& name : app::ListBackupFiles(*args.folder))
                expected += cli::CountCards(app::WithFinalSeparator(*args.folder) + name, cutAtLf);
        }
    }

    cli::ProgressBar bar(std::cerr, terminal, expected);
    cli::FixedFolder picker(outFolder);
    cli::PrintedMessages messages(std::cout, std::cerr, &bar);
    cli::TerminalPump pump(bar);
    cli::ArgumentControls controls(args.outlook, args.advance, args.standard);
    app::ConversionRun run(picker, messages, pump, controls);
    // Nobody answers an offer here; a second reading of every backup would
    // only slow the run down.
    run.checkStandardMode = false;
    pump.Attach(run);
#ifdef VELLOQUIN_XLSX
    if (args.xlsx) run.sheet.UseUnicodeSheet(excel::MakeXlsxSheet());
#endif
    if (args.csv) run.sheet.UseUnicodeSheet(excel::MakeCsvSheet());

    if (args.folder) {
        run.srcFolder = app::WithFinalSeparator(*args.folder);
        run.inputMode = app::InputMode::Folder;
    } else {
        run.chosenFileName = *args.file;
    }
    cli::CatchInterrupt();
    run.CmdSplit_Click();
    bar.Clear();

    const app::RunSummary& summary = run.LastSummary();
    if (!summary.started || summary.setupFailed) return kNothingConverted;

    if (summary.stopped) std::cerr << "velloquin-cli: interrupted\n" << run.LastNotes().Format();

    const std::string output = args.outlook ? run.pst.pstPath : run.sheet.Path();
    const int64_t converted = summary.contactsRead - summary.contactsLost;
    std::cout << converted << (converted == 1 ? " contact" : " contacts") << " converted to "
              << output << '\n';
    // The notes also count contacts the reader could not hand on at all.
    const RunNotes& notes = run.LastNotes();
    const int64_t lost = notes.LostContacts(), withoutSlot = notes.ValuesWithoutSlot();
    if (lost > 0)
        std::cerr << "velloquin-cli: " << lost << (lost == 1 ? " contact was" : " contacts were")
                  << " lost (see the notes above)\n";
    if (withoutSlot > 0)
        std::cerr << "velloquin-cli: " << withoutSlot
                  << (withoutSlot == 1 ? " value was" : " values were")
                  << " read but found no place in the output (see the notes above)\n";
    if (lost <= 0 && withoutSlot <= 0 && !notes.Empty())
        std::cerr << "velloquin-cli: not everything was converted (see the notes above)\n";
    // A backup in which nothing could be read is no success, whatever the
    // notes say about why.
    if (converted <= 0) return kNothingConverted;
    // A value without a place in the output is a loss too, though its
    // contact is there.
    if (withoutSlot > 0) return kIncomplete;
    return notes.Empty() ? kConverted : kIncomplete;
}
} // namespace

int main(int argc, char** argv) {
    platform::UseUtf8Console();
    Arguments args;
    try {
        args = Parse(platform::CommandLineArguments(argc, argv));
    } catch (const UsageError& error) {
        std::cerr << "velloquin-cli: " << error.message << "\n\n" << kUsage;
        return kBadUsage;
    }
    if (args.help) {
        std::cout << kUsage;
        return kConverted;
    }
    if (args.version) {
        std::cout << "velloquin-cli " << VELLOQUIN_VERSION << '\n';
        return kConverted;
    }
    try {
        return Convert(args);
    } catch (const std::exception& e) {
        return Fail(std::string("unexpected failure: ") + e.what());
    }
}
