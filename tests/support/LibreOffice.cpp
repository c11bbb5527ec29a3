#include "support/LibreOffice.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>

namespace velloquin::testsupport {

namespace fs = std::filesystem;

namespace {

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TempDir::TempDir(std::string_view prefix) {
    // create_directory fails on a name that exists, so a folder another
    // process made a moment ago is never shared; Windows has no mkdtemp.
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate =
            fs::temp_directory_path() / (std::string(prefix) + "-" + std::to_string(random()));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, error);
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

bool SofficeInstalled() {
#ifdef _WIN32
    // The Windows tests run under wine, where LibreOffice is not installed.
    return false;
#else
    return std::system("command -v soffice >/dev/null 2>&1") == 0;
#endif
}

std::vector<CsvTable> ReadWorkbooks(const std::vector<fs::path>& workbooks) {
    std::set<std::string> stems;
    for (const fs::path& workbook : workbooks) {
        if (!stems.insert(workbook.stem().string()).second) {
            throw std::runtime_error("two workbooks named " + workbook.stem().string());
        }
    }
    TempDir work("velloquin-lo");
    const fs::path profile = work.Path() / "profile";
    const fs::path out = work.Path() / "out";
    fs::create_directories(out);
    std::string command = "timeout 600 soffice -env:UserInstallation=file://" +
                          ShellQuoted(profile.string()) +
                          " --headless --norestore --nolockcheck --convert-to "
                          "'csv:Text - txt - csv (StarCalc):44,34,76' --outdir " +
                          ShellQuoted(out.string());
    for (const fs::path& workbook : workbooks)
        command += " " + ShellQuoted(workbook.string());
    const fs::path log = work.Path() / "soffice.log";
    command += " >" + ShellQuoted(log.string()) + " 2>&1";
    const int status = std::system(command.c_str());

    std::vector<CsvTable> tables;
    for (const fs::path& workbook : workbooks) {
        const fs::path csv = out / (workbook.stem().string() + ".csv");
        if (!fs::exists(csv)) {
            throw std::runtime_error("LibreOffice did not convert " + workbook.string() +
                                     " (status " + std::to_string(status) + "): " + ReadAll(log));
        }
        tables.push_back(ParseCsv(ReadAll(csv)));
    }
    return tables;
}

namespace {

const fs::path kSheetJsScript = fs::path(VELLOQUIN_SOURCE_DIR) / "tools/node/sheet-to-csv.js";

} // namespace

bool SheetJsInstalled() {
    return std::system("command -v node >/dev/null 2>&1") == 0 &&
           fs::exists(kSheetJsScript.parent_path() / "node_modules/xlsx/package.json");
}

std::vector<CsvTable> ReadWorkbooksWithSheetJs(const std::vector<fs::path>& workbooks) {
    TempDir out("velloquin-sheetjs");
    std::string command =
        "node " + ShellQuoted(kSheetJsScript.string()) + " " + ShellQuoted(out.Path().string());
    for (const fs::path& workbook : workbooks)
        command += " " + ShellQuoted(workbook.string());
    const fs::path log = out.Path() / "node.log";
    command += " >" + ShellQuoted(log.string()) + " 2>&1";
    const int status = std::system(command.c_str());
    std::vector<CsvTable> tables;
    for (const fs::path& workbook : workbooks) {
        const fs::path csv = out.Path() / (workbook.stem().string() + ".csv");
        if (!fs::exists(csv)) {
            throw std::runtime_error("SheetJS did not read " + workbook.string() + " (status " +
                                     std::to_string(status) + "): " + ReadAll(log));
        }
        tables.push_back(ParseCsv(ReadAll(csv)));
    }
    return tables;
}

CsvTable ParseCsv(std::string_view text) {
    CsvTable table;
    CsvRow row;
    std::string field;
    bool quoted = false;
    bool rowStarted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
            continue;
        }
        rowStarted = true;
        if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(std::move(field));
            field.clear();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            row.push_back(std::move(field));
            field.clear();
            table.push_back(std::move(row));
            row.clear();
            rowStarted = false;
        } else {
            field += c;
        }
    }
    if (rowStarted) {
        row.push_back(std::move(field));
        table.push_back(std::move(row));
    }
    return table;
}

} // namespace velloquin::testsupport
