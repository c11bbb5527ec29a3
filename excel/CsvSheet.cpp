#include "excel/ContactSheet.h"
#include "excel/ShortDate.h"
#include "excel/UnicodeSheet.h"
#include "platform/Files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace velloquin::excel {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A spreadsheet program opening the file takes a field that starts with one
// of these as a formula (or, with tab and CR, may after trimming). The texts
// come from the contacts themselves, so anyone in the list could plant one:
// a leading apostrophe keeps such a field text.
bool WouldBeFormula(std::string_view value) {
    return !value.empty() &&
           std::string_view("=+-@\t\r").find(value.front()) != std::string_view::npos;
}

void AppendField(std::string& line, std::string_view value) {
    const std::string_view guard = WouldBeFormula(value) ? "'" : "";
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += guard;
        line += value;
        return;
    }
    line += '"';
    line += guard;
    for (char c : value) {
        if (c == '"') line += '"';
        line += c;
    }
    line += '"';
}

class CsvSheet final : public UnicodeSheet {
  public:
    ~CsvSheet() override {
        if (file_) std::fclose(file_);
    }
    std::string_view Extension() const override { return ".csv"; }
    int64_t LastRow() const override { return INT64_MAX; }

    bool Create(const std::string& path, int columns, std::string& why) override {
        if (file_) std::fclose(file_);
        file_ = nullptr;
        file_ = platform::OpenFile(path, "wb");
        if (!file_) {
            why = std::strerror(errno);
            return false;
        }
        line_ = kByteOrderMark;
        for (int column = 1; column <= columns; ++column) {
            if (column > 1) line_ += ',';
            AppendField(line_, SheetTitle(column));
        }
        line_ += "\r\n";
        return Put(why);
    }

    bool AddRow(int64_t, const ContactRowTexts& texts, AlteredCells&, std::string& why) override {
        line_.clear();
        for (int column = 1; column <= texts.Columns(); ++column) {
            if (column > 1) line_ += ',';
            const double date = texts.Date(column);
            if (date != 0)
                AppendField(line_, DateValueText(date).value_or(""));
            else
                AppendField(line_, texts.Column(column));
        }
        line_ += "\r\n";
        return Put(why);
    }

    bool Close(std::string& why) override {
        if (!file_) return true;
        const bool flushed = std::fflush(file_) == 0;
        const int error = errno;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (flushed && closed) return true;
        why = std::strerror(flushed ? errno : error);
        return false;
    }

  private:
    bool Put(std::string& why) {
        if (std::fwrite(line_.data(), 1, line_.size(), file_) == line_.size()) return true;
        why = std::strerror(errno);
        return false;
    }

    std::FILE* file_ = nullptr;
    std::string line_;
};

} // namespace

std::unique_ptr<UnicodeSheet> MakeCsvSheet() {
    return std::make_unique<CsvSheet>();
}

} // namespace velloquin::excel
