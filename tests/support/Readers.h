// Reading outputs back with independent readers: workbooks with LibreOffice
// and SheetJS as CSV tables of UTF-8 texts, stores with readpst; and the
// private folders and file bytes the tests share.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velloquin::testsupport {

using CsvRow = std::vector<std::string>;
using CsvTable = std::vector<CsvRow>;

// A fresh private folder, removed with all it holds when the object goes
// unless VELLOQUIN_KEEP_TEMP is set, to look at what a failing test wrote.
class TempDir {
  public:
    explicit TempDir(std::string_view prefix = "velloquin");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);
// The bytes written as pairs of hex digits, blanks between them or not ("E9 80", "e980").
std::string FromHex(std::string_view hex);
// Writes the bytes as the file's whole content; returns its path.
std::string WriteFile(const std::filesystem::path& path, std::string_view bytes);

// True when `soffice` can be found on the PATH.
bool SofficeInstalled();

// Converts every workbook with one LibreOffice start (comma-separated, double
// quotes, UTF-8) under a private profile, so that parallel tests do not meet,
// and returns the tables in the order given. The workbooks' file names must
// differ. Throws std::runtime_error with the reader's output when a file is
// not converted.
std::vector<CsvTable> ReadWorkbooks(const std::vector<std::filesystem::path>& workbooks);

// The same for .csv files (UTF-8, commas, double quotes), read as LibreOffice
// opens them when the user picks those settings, formulas evaluated.
std::vector<CsvTable> ReadCsvFiles(const std::vector<std::filesystem::path>& files);

// True when node and the pinned SheetJS package (tools/install-deps.sh puts
// it in tools/node) are there.
bool SheetJsInstalled();

// The same with SheetJS (npm "xlsx") as the reader.
std::vector<CsvTable> ReadWorkbooksWithSheetJs(const std::vector<std::filesystem::path>& workbooks);

// The "N:" line values (family;given;middle;title;suffix) of every contact
// readpst finds in the store, in the order it lists them. Throws
// std::runtime_error when readpst fails on the store.
std::vector<std::string> ReadpstContactNames(const std::filesystem::path& store);

// False where readpst cannot be run: in the Windows tests under wine.
inline bool ReadpstAvailable() {
#ifdef _WIN32
    return false;
#else
    return true;
#endif
}

} // namespace velloquin::testsupport
