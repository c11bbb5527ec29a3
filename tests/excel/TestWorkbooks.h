// What the workbook tests write, and helpers to read their bytes. The helpers
// cut a stream at its record headers only: whether the format is right is
// for the readers to say (ReadBackTest writes the same samples).
#pragma once

#include "core/Text.h"
#include "excel/ContactSheet.h"
#include "excel/ExcelFile.h"
#include "excel/ShortDate.h"
#include "support/Readers.h"

#include <string>
#include <vector>

namespace velloquin::excel::testing {

using Bytes = std::vector<uint8_t>;

// "09 00 4A", then the bytes of an optional text.
inline Bytes Hex(std::string_view hex, std::string_view text = {}) {
    const std::string bytes = testsupport::FromHex(hex).append(text);
    return Bytes(bytes.begin(), bytes.end());
}

// The complete records, header and body, of the stream from `from` on.
inline std::vector<Bytes> Records(const Bytes& stream, size_t from = 0) {
    std::vector<Bytes> records;
    for (size_t at = from, end; at + 4 <= stream.size(); at = end) {
        end = at + 4 + size_t(stream[at + 2] | stream[at + 3] << 8);
        if (end > stream.size()) break;
        records.emplace_back(stream.begin() + long(at), stream.begin() + long(end));
    }
    return records;
}

// The LABEL cells of a row as stored (0 = titles), in file order: the
// 1-based column and the text.
inline std::vector<std::pair<int, std::string>> Row(const Bytes& stream, int row) {
    std::vector<std::pair<int, std::string>> cells;
    for (const Bytes& r : Records(stream))
        if (r[0] == 4 && r[1] == 0 && (r[4] | r[5] << 8) == row)
            cells.emplace_back((r[6] | r[7] << 8) + 1, std::string(r.begin() + 12, r.end()));
    return cells;
}

// The cells of a row that are not empty, as "column=text|".
inline std::string Filled(const std::vector<std::string>& row) {
    std::string cells;
    for (size_t column = 0; column < row.size(); ++column)
        if (!row[column].empty()) cells += std::to_string(column + 1) + "=" + row[column] + "|";
    return cells;
}

// Every record-writing operation but the password, in an order Excel accepts.
inline int32_t WriteEveryRecord(ExcelFile& file) {
    file.ProtectSpreadsheet(false);
    file.PrintGridLines(true);
    for (const int32_t code :
         {file.SetFont("Verdana", 10, 0), file.SetFont("Verdana", 10, 1), file.SetHeader("Head"),
          file.SetFooter(""), file.SetMargin(0x26, 0.75), file.SetColumnWidth(1, 3, 10),
          file.SetDefaultRowHeight(15), file.SetRowHeight(2, 15),
          file.WriteValue(2, 64, 1, 0, 1, 1, "Email"), file.WriteValue(0, 64, 1, 0, 1, 2, 42),
          file.WriteValue(2, 0, 3, 64, 2, 4, "", 23), file.WriteValue(1, 64, 1, 0, 3, 1, 1.5, 4),
          file.InsertHorizPageBreak(3), file.InsertHorizPageBreak(10),
          file.InsertHorizPageBreak(2)})
        if (code != 0) return code;
    return 0;
}

// Contact 1 of the sample sheets, and what its row holds: a blank first name
// that the full name stands in for, Windows-1252 letters, escaped addresses,
// the pager in two columns, a birthday, a field without a column, and values
// past 255 characters, cut.
inline void WriteSampleContact(ContactSheet& sheet, RunNotes& notes) {
    ExcelContactArgs a;
    a.eContact_FirstName = "   ";
    a.eContact_FullName = "Jos\xC3\xA9";
    a.eContact_LastName = "M\xC3\xBCller";
    a.eContact_Email = "jose@example.com";
    a.eContact_Email2 = "never@written.example";
    a.eContact_Company = "Caf\xC3\xA9 \xE2\x82\xAC" + Cp1252ToUtf8(std::string(300, '\xE9'));
    a.eContact_Location = "loc";
    a.eContact_Assistant = "asst";
    a.eContact_BusinessAddress = "12 Main St\\nSuite 4\\, Floor 2";
    a.eContact_BusinessCity = "Z\xC3\xBCrich";
    a.eContact_PersonalAddress = "Rue de l'\xC3\x89glise 3\\nFlat 1";
    a.eContact_Pager = "555-0100";
    a.eContact_BirthDay = 30809;
    a.eContact_Comments = "Says \"hi\", often" + std::string(300, 'x');
    a.xlsCnt = 1;
    sheet.Save2ExcelContact(a, notes);
}

inline std::string SampleRow() {
    return "1=Jos\xC3\xA9|3=M\xC3\xBCller|4=jose@example.com|7=Caf\xC3\xA9 \xE2\x82\xAC" +
           Cp1252ToUtf8(std::string(249, '\xE9')) +
           "|9=loc|13=asst|14=12 Main St, Suite 4, Floor 2|15=Z\xC3\xBCrich|22=555-0100|"
           "26=Rue de l'\xC3\x89glise 3, Flat 1|33=555-0100|34=" +
           ShortDateText(30809) + "|36=Says \"hi\", often" + std::string(239, 'x') + "|";
}

} // namespace velloquin::excel::testing
