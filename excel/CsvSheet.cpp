#include "core/OutputSink.h"
#include "excel/ContactSheet.h"
#include "excel/Sheet.h"
#include "excel/ShortDate.h"

#include <span>

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

class CsvSheet final : public Sheet {
  public:
    std::string_view Extension() const override { return ".csv"; }
    int64_t LastRow() const override { return INT64_MAX; }

    Created Create(const std::string& path, int columns, std::string& why) override {
        sink_.reset();
        FileError error;
        auto file = FileSink::Open(path, error);
        if (!file) {
            why = error.reason;
            return Created::kNotCreated;
        }
        sink_ = std::make_unique<BufferedSink>(std::move(file));
        line_ = kByteOrderMark;
        for (int column = 1; column <= columns; ++column) {
            if (column > 1) line_ += ',';
            AppendField(line_, SheetTitle(column));
        }
        line_ += "\r\n";
        return Put(why) ? Created::kYes : Created::kNotCreated;
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
        if (!sink_) return true;
        const bool closed = sink_->Close();
        if (!closed) why = sink_->Error().reason;
        sink_.reset();
        return closed;
    }

  private:
    bool Put(std::string& why) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(line_.data());
        if (sink_->Append(std::span(bytes, line_.size()))) return true;
        why = sink_->Error().reason;
        return false;
    }

    std::unique_ptr<OutputSink> sink_;
    std::string line_;
};

} // namespace

std::unique_ptr<Sheet> MakeCsvSheet() {
    return std::make_unique<CsvSheet>();
}

} // namespace velloquin::excel
