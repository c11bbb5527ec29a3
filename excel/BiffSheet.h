// The BIFF 2.1 workbook as one of the sheet formats: texts in one Windows
// code page, the 36 columns, 65,536 rows.
#pragma once

#include "excel/ExcelFile.h"
#include "excel/Sheet.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

namespace velloquin::excel {

class BiffSheet final : public Sheet {
  public:
    // The code page of the next workbook's texts (1252 unless set).
    void SetCodePage(uint16_t codePage) { codePage_ = codePage; }
    // The code page of the workbook open or last written.
    uint16_t CodePage() const { return writer_.CodePage(); }
    // The next workbook goes into this sink instead of its file (memory, for
    // tests and fuzzing).
    void UseSink(std::unique_ptr<OutputSink> sink) { sink_ = std::move(sink); }

    std::string_view Extension() const override { return ".xls"; }
    std::string_view Noun() const override { return "workbook"; }
    int64_t LastRow() const override { return 65536; }
    std::string PastLastRow(int64_t row) const override;
    bool HoldsEveryField() const override { return false; }
    bool UsesCodePage() const override { return true; }
    Created Create(const std::string& path, int columns, std::string& why) override;
    bool AddRow(int64_t row, const ContactRowTexts& texts, AlteredCells& altered,
                std::string& why) override;
    int64_t LastRowKept() const override { return lastRowKept_; }
    bool Close(std::string& why) override;

  private:
    // A row that may still sit in the writer's buffer.
    struct PendingRow {
        int64_t row;
        uint64_t endOffset;
    };
    bool WriteFixedPart();
    void ForgetCommittedRows();

    ExcelFile writer_;
    std::unique_ptr<OutputSink> sink_;
    uint16_t codePage_ = kWesternCodePage;
    bool open_ = false;
    std::deque<PendingRow> pending_;
    int64_t lastRowKept_ = 1;
};

} // namespace velloquin::excel
