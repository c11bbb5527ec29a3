#include "support/Readers.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <stdexcept>

namespace velloquin::testsupport {

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Fields separated by commas, quoted with double quotes (doubled inside),
// rows ended by LF or CR LF outside quotes.
CsvTable ParseCsv(std::string_view text) {
    CsvTable table;
    CsvRow row;
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
            field += text[i++];
        } else if (c == '"') {
            quoted = !quoted;
        } else if (quoted || (c != ',' && c != '\n' && c != '\r')) {
            field += c;
        } else {
            row.push_back(std::move(field));
            field.clear();
            if (c == ',') continue;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            table.push_back(std::move(row));
            row.clear();
        }
    }
    if (!row.empty() || !field.empty()) {
        row.push_back(std::move(field));
        table.push_back(std::move(row));
    }
    return table;
}

// Runs a reader that writes each workbook's table as <its stem>.csv into `out`.
std::vector<CsvTable> Collect(std::string command, const fs::path& out, const std::string& reader,
                              const std::vector<fs::path>& workbooks) {
    std::set<std::string> stems;
    for (const fs::path& workbook : workbooks) {
        if (!stems.insert(workbook.stem().string()).second)
            throw std::runtime_error("two workbooks named " + workbook.stem().string());
        command += " " + Quoted(workbook.string());
    }
    const int status =
        std::system((command + " >" + Quoted((out / "log").string()) + " 2>&1").c_str());
    std::vector<CsvTable> tables;
    for (const fs::path& workbook : workbooks) {
        const fs::path csv = out / (workbook.stem().string() + ".csv");
        if (!fs::exists(csv))
            throw std::runtime_error(reader + " did not read " + workbook.string() + " (status " +
                                     std::to_string(status) + "): " + ReadFile(out / "log"));
        tables.push_back(ParseCsv(ReadFile(csv)));
    }
    return tables;
}

const fs::path kSheetJsScript = fs::path(VELLOQUIN_SOURCE_DIR) / "tools/node/sheet-to-csv.js";

} // namespace

TempDir::TempDir(std::string_view prefix) {
    // create_directory fails on a name that exists, so a folder another
    // process made a moment ago is never shared; Windows has no mkdtemp.
    std::mt19937_64 random(std::random_device{}());
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path candidate =
            fs::temp_directory_path() / (std::string(prefix) + "-" + std::to_string(random()));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, error);
            path_ = candidate;
        }
    }
    if (path_.empty()) throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    if (!std::getenv("VELLOQUIN_KEEP_TEMP")) fs::remove_all(path_, ignored);
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string FromHex(std::string_view hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); ++i)
        if (hex[i] != ' ')
            bytes += static_cast<char>(std::stoi(std::string(hex.substr(i++, 2)), nullptr, 16));
    return bytes;
}

std::string WriteFile(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
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
    TempDir work("velloquin-lo");
    return Collect("timeout 600 soffice -env:UserInstallation=file://" + Quoted(work / "profile") +
                       " --headless --norestore --nolockcheck --convert-to "
                       "'csv:Text - txt - csv (StarCalc):44,34,76' --outdir " +
                       Quoted(work.Path().string()),
                   work.Path(), "LibreOffice", workbooks);
}

std::vector<CsvTable> ReadCsvFiles(const std::vector<fs::path>& files) {
    TempDir work("velloquin-lo");
    return Collect("timeout 600 soffice -env:UserInstallation=file://" + Quoted(work / "profile") +
                       " --headless --norestore --nolockcheck --infilter="
                       "'Text - txt - csv (StarCalc):44,34,76,1' --convert-to "
                       "'csv:Text - txt - csv (StarCalc):44,34,76' --outdir " +
                       Quoted(work.Path().string()),
                   work.Path(), "LibreOffice", files);
}

bool SheetJsInstalled() {
    return std::system("command -v node >/dev/null 2>&1") == 0 &&
           fs::exists(kSheetJsScript.parent_path() / "node_modules/xlsx/package.json");
}

std::vector<CsvTable> ReadWorkbooksWithSheetJs(const std::vector<fs::path>& workbooks) {
    TempDir out("velloquin-sheetjs");
    return Collect("node " + Quoted(kSheetJsScript.string()) + " " + Quoted(out.Path().string()),
                   out.Path(), "SheetJS", workbooks);
}

std::vector<std::string> ReadpstContactNames(const fs::path& store) {
    TempDir out("velloquin-readpst");
    const std::string command = "readpst -cv -j0 -o " + Quoted(out.Path().string()) + " " +
                                Quoted(store.string()) + " >" + Quoted(out / "log") + " 2>&1";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("readpst failed on " + store.string() + ": " +
                                 ReadFile(out / "log"));
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(out.Path())) {
        if (!entry.is_regular_file() || entry.path().filename() == "log") continue;
        std::ifstream in(entry.path());
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.starts_with("N:")) names.push_back(line.substr(2));
        }
    }
    return names;
}

} // namespace velloquin::testsupport
