// Reading workbooks back with independent readers, LibreOffice and SheetJS,
// as CSV tables of UTF-8 texts.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velloquin::testsupport {

using CsvRow = std::vector<std::string>;
using CsvTable = std::vector<CsvRow>;

// A fresh private folder, removed with all it holds when the object goes.
class TempDir {
  public:
    explicit TempDir(std::string_view prefix = "velloquin");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// True when `soffice` can be found on the PATH.
bool SofficeInstalled();

// Converts every workbook with one LibreOffice start (comma-separated, double
// quotes, UTF-8) under a private profile, so that parallel tests do not meet,
// and returns the tables in the order given. The workbooks' file names must
// differ. Throws std::runtime_error with LibreOffice's output when a file is
// not converted.
std::vector<CsvTable> ReadWorkbooks(const std::vector<std::filesystem::path>& workbooks);

// True when node and the pinned SheetJS package (tools/install-deps.sh puts
// it in tools/node) are there.
bool SheetJsInstalled();

// The same with SheetJS (npm "xlsx") as the reader.
std::vector<CsvTable> ReadWorkbooksWithSheetJs(const std::vector<std::filesystem::path>& workbooks);

// Splits CSV text: fields separated by commas, quoted with double quotes
// (doubled inside), rows ended by LF or CR LF outside quotes.
CsvTable ParseCsv(std::string_view text);

} // namespace velloquin::testsupport
