#include "excel/ContactSheet.h"

#include "core/Text.h"
#include "excel/ExcelFile.h"
#include "excel/UnicodeSheet.h"

#include <algorithm>
#include <array>

namespace velloquin::excel {

namespace {

constexpr int kColumns = kSheetColumns;

constexpr std::array<const char*, kColumns> kTitles = [] {
    std::array<const char*, kColumns> titles{};
    for (const ContactField& field : kContactFields)
        for (const SheetColumn& column : field.sheet)
            if (column.place > 0) titles[static_cast<size_t>(column.place - 1)] = column.title;
    return titles;
}();

// The fields of the columns after the 36, in the order of the list.
constexpr std::array<const ContactField*, kExtraSheetColumns> kExtraFields = [] {
    std::array<const ContactField*, kExtraSheetColumns> fields{};
    size_t next = 0;
    for (const ContactField& field : kContactFields)
        if (field.sheet[0].place == 0) fields[next++] = &field;
    return fields;
}();

// A contact's cells go out in this order of columns (the business address
// block before the columns 9 to 13), which keeps older files byte for byte.
constexpr std::array<int, kColumns> kContactColumnOrder = {
    1,  2,  3,  4,  5,  6,  7,  8,  14, 15, 16, 17, 18, 9,  10, 11, 12, 13,
    19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36,
};

// Excel's last row.
constexpr int64_t kLastRow = 65536;

constexpr int32_t kHeaderFont = 64; // font 1, bold
constexpr int32_t kContactFont = 0; // font 0, regular
constexpr int32_t kAlignLeft = 1;

// A street of one cell line: a line break of the address becomes ", ".
std::string CleanAddress(std::string_view text) {
    return ResolveAddressEscapes(text, ", ");
}

bool OnlyBlanks(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

size_t CharacterCount(std::string_view utf8) {
    return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string CodePageName(uint16_t codePage) {
    return "Windows-" + std::to_string(codePage);
}

} // namespace

const std::array<const char*, kSheetColumns>& SheetTitles() {
    return kTitles;
}

const char* SheetTitle(int column) {
    return column <= kColumns
               ? kTitles[static_cast<size_t>(column - 1)]
               : kExtraFields[static_cast<size_t>(column - kColumns - 1)]->sheet[0].title;
}

namespace {

constexpr size_t kFieldCount = std::size(kContactFields);

constexpr size_t IndexOf(std::string ContactRecord::*member) {
    for (size_t i = 0; i < kFieldCount; ++i)
        if (kContactFields[i].text == member) return i;
    return kFieldCount;
}

// For each field, the field that stands in for it (kFieldCount: none).
constexpr std::array<size_t, kFieldCount> kStandInOf = [] {
    std::array<size_t, kFieldCount> standIns{};
    standIns.fill(kFieldCount);
    for (size_t i = 0; i < kFieldCount; ++i)
        if (kContactFields[i].standsInFor) standIns[IndexOf(kContactFields[i].standsInFor)] = i;
    return standIns;
}();

// The date field of each column (kFieldCount: none). Indexes, not member
// pointers: GCC 12 fills the untouched end of a constant array of member
// pointers with the first member rather than with nulls.
constexpr std::array<size_t, kWideSheetColumns + 1> kDateOfColumn = [] {
    std::array<size_t, kWideSheetColumns + 1> dates{};
    dates.fill(kFieldCount);
    for (size_t i = 0; i < kFieldCount; ++i)
        for (const SheetColumn& column : kContactFields[i].sheet)
            if (kContactFields[i].date && column.place > 0)
                dates[static_cast<size_t>(column.place)] = i;
    return dates;
}();

// Where each column's text comes from: its field, and the field that stands
// in for that one (kFieldCount: none). A field with two columns is in both;
// the columns after the 36 follow the order of the list.
struct ColumnSource {
    size_t field = kFieldCount;
    size_t standIn = kFieldCount;
};

constexpr std::array<ColumnSource, kWideSheetColumns + 1> kColumnSources = [] {
    std::array<ColumnSource, kWideSheetColumns + 1> sources{};
    size_t extra = kColumns + 1;
    for (size_t i = 0; i < kFieldCount; ++i) {
        const ContactField& field = kContactFields[i];
        if (field.sheet[0].place == 0) sources[extra++] = {i, kStandInOf[i]};
        for (const SheetColumn& column : field.sheet)
            if (column.place > 0) sources[static_cast<size_t>(column.place)] = {i, kStandInOf[i]};
    }
    return sources;
}();

bool Empty(const ContactRecord& contact, const ContactField& field) {
    return field.date ? contact.*field.date == 0 : (contact.*field.text).empty();
}

// Whether a stand-in field is shown: its field's column holds nothing else.
bool StandsIn(const ContactRecord& contact, const ContactField& standIn) {
    const std::string& own = contact.*standIn.standsInFor;
    return standIn.standsInWhenBlank ? OnlyBlanks(own) : own.empty();
}

} // namespace

int ValuesWithoutColumn(const ContactRecord& record) {
    int values = 0;
    for (const ContactField& field : kContactFields) {
        if (!field.IsFact() || field.sheet[0].place > 0 || Empty(record, field)) continue;
        const bool shownInstead = field.standsInFor && StandsIn(record, field) &&
                                  kContactFields[IndexOf(field.standsInFor)].sheet[0].place > 0;
        values += !shownInstead;
    }
    return values;
}

ContactRowTexts::ContactRowTexts(const ContactRecord& contact, bool wide)
    : contact_(contact), columns_(wide ? kWideSheetColumns : kColumns) {
    size_t cleaned = 0;
    for (int column = 1; column <= columns_; ++column) {
        const ColumnSource& source = kColumnSources[static_cast<size_t>(column)];
        const ContactField& field = kContactFields[source.field];
        if (!field.text) {
            texts_[static_cast<size_t>(column)] = {};
            continue;
        }
        std::string_view text =
            source.standIn < kFieldCount && StandsIn(contact, kContactFields[source.standIn])
                ? contact.*kContactFields[source.standIn].text
                : contact.*field.text;
        // Without a backslash there is no escape to resolve.
        if (field.address && text.find('\\') != std::string_view::npos)
            text = cleaned_[cleaned++] = CleanAddress(text);
        texts_[static_cast<size_t>(column)] = text;
    }
}

double ContactRowTexts::Date(int column) const {
    const size_t field = kDateOfColumn[static_cast<size_t>(column)];
    return field < kFieldCount ? contact_.*kContactFields[field].date : 0;
}

ContactSheet::ContactSheet() = default;

void ContactSheet::UseUnicodeSheet(std::unique_ptr<UnicodeSheet> sheet) {
    unicode_ = std::move(sheet);
}

bool ContactSheet::CreateUnicodeSheet(std::string& errorMessage) {
    path_ = path_.substr(0, path_.rfind('.')) + std::string(unicode_->Extension());
    writeFailed_ = false;
    unicodeContacts_.clear();
    std::string why;
    unicodeOpen_ = unicode_->Create(path_, everyField_ ? kWideSheetColumns : kColumns, why);
    if (unicodeOpen_) return true;
    errorMessage = "The file " + Quoted(path_) + " could not be created: " + why + ".";
    std::string ignored;
    unicode_->Close(ignored);
    return false;
}

void ContactSheet::SaveUnicodeRow(const ExcelContactArgs& args, int64_t row, RunNotes& notes) {
    const int64_t contact = args.xlsCnt;
    if (row > unicode_->LastRow()) {
        notes.Add({path_, contact,
                   "Missing from the file: a sheet ends at row " +
                       std::to_string(unicode_->LastRow()) + ", and this contact would need row " +
                       std::to_string(row) + ".",
                   true});
        return;
    }
    const ContactRowTexts texts(args, everyField_);
    AlteredCells altered;
    std::string why;
    if (!unicode_->AddRow(row, texts, altered, why)) {
        writeFailed_ = true;
        notes.Add({path_, 0, "Writing the file failed: " + why + ".", false});
        for (const int64_t lost : unicodeContacts_)
            notes.Add({path_, lost, "Missing from the file, as writing it failed.", true});
        notes.Add({path_, contact, "Missing from the file, as writing it failed.", true});
        unicodeContacts_.clear();
        return;
    }
    for (const int column : altered.replaced)
        notes.Add({path_, contact,
                   Quoted(SheetTitle(column)) +
                       " holds characters that the file cannot hold (control characters, "
                       "U+FFFE, U+FFFF or bytes that are not UTF-8); they are written as "
                       "\"\xEF\xBF\xBD\".",
                   false});
    for (const int column : altered.cut)
        notes.Add(
            {path_, contact,
             Quoted(SheetTitle(column)) + " is longer than a cell holds; the file holds its start.",
             false});
    unicodeContacts_.push_back(contact);
}

void ContactSheet::CloseUnicodeSheet(RunNotes& notes) {
    unicodeOpen_ = false;
    std::string why;
    if (unicode_->Close(why) || writeFailed_) return;
    notes.Add({path_, 0, "Writing the file failed: " + why + ".", false});
    for (const int64_t lost : unicodeContacts_)
        notes.Add({path_, lost, "Missing from the file, as writing it failed.", true});
    unicodeContacts_.clear();
}

ContactSheet::~ContactSheet() {
    delete writer_;
}

ExcelFile& ContactSheet::Writer() {
    if (writer_ == nullptr) writer_ = new ExcelFile();
    return *writer_;
}

bool ContactSheet::CreateExcelSheet(const std::string& ExcelSheetPath, std::string& errorMessage) {
    path_ = ExcelSheetPath;
    if (unicode_) return CreateUnicodeSheet(errorMessage);
    if (!StartSheet(errorMessage)) return false;
    if (Writer().CreateFile(ExcelSheetPath) != result::kOk) {
        errorMessage = "The workbook " + Quoted(path_) +
                       " could not be created: " + Writer().LastErrorText() + ".";
        return false;
    }
    return WriteFixedPart(errorMessage);
}

bool ContactSheet::CreateExcelSheet(std::unique_ptr<OutputSink> sink, const std::string& name,
                                    std::string& errorMessage) {
    path_ = name;
    if (!StartSheet(errorMessage)) return false;
    if (Writer().CreateFile(std::move(sink)) != result::kOk) {
        errorMessage = "The workbook " + Quoted(path_) +
                       " could not be created: " + Writer().LastErrorText() + ".";
        return false;
    }
    return WriteFixedPart(errorMessage);
}

bool ContactSheet::StartSheet(std::string& errorMessage) {
    writeFailed_ = false;
    pending_.clear();
    valuesLosing_ = 0;
    contactsLosing_ = 0;
    valuesWithoutColumn_ = 0;
    contactsWithoutColumn_ = 0;
    if (Writer().SetCodePage(codePage_) == result::kOk) return true;
    errorMessage = "The workbook " + Quoted(path_) +
                   " could not be created: " + Writer().LastErrorText() + ".";
    return false;
}

bool ContactSheet::WriteFixedPart(std::string& errorMessage) {
    ExcelFile& writer = Writer();
    int32_t code = writer.SetFont("Verdana", 10, 0);
    if (code == result::kOk) code = writer.SetFont("Verdana", 10, 1);
    if (code == result::kOk) code = writer.SetFont("Verdana", 10, 5);
    if (code == result::kOk) code = writer.SetFont("Courier", 14, 3);
    if (code == result::kOk) code = writer.SetHeader("BIFF 2.1 API");
    for (int column = 1; column <= kColumns && code == result::kOk; ++column) {
        code = writer.WriteValue(ExcelFile::kText, kHeaderFont, kAlignLeft, 0, 1, column,
                                 kTitles[column - 1], 0);
    }
    // A device that cannot take even the fixed part should stop the run
    // before any contact is read.
    if (code == result::kOk) code = writer.Flush();
    if (code == result::kOk) return true;
    errorMessage =
        "The workbook " + Quoted(path_) + " could not be written: " + writer.LastErrorText() + ".";
    writer.CloseFile();
    return false;
}

void ContactSheet::Save2ExcelContact(const ExcelContactArgs& args, RunNotes& notes) {
    const int64_t contact = args.xlsCnt;
    if (unicode_) {
        if (!unicodeOpen_ || writeFailed_) {
            notes.Add({path_, contact,
                       writeFailed_ ? "Missing from the file, as writing it had failed."
                                    : "Missing from the file, as it is not open.",
                       true});
            return;
        }
        SaveUnicodeRow(args, contact + 1, notes);
        return;
    }
    if (writeFailed_ || writer_ == nullptr || !writer_->IsOpen()) {
        notes.Add({path_, contact,
                   writeFailed_ ? "Missing from the workbook, as writing it had failed."
                                : "Missing from the workbook, as it is not open.",
                   true});
        return;
    }
    const int64_t row = contact + 1;
    if (row < 1 || row > kLastRow) {
        notes.Add({path_, contact,
                   "Missing from the workbook: a sheet ends at row 65536, which leaves room "
                   "for 65535 contacts below the title row.",
                   true});
        return;
    }

    const ContactRowTexts texts(args);
    ExcelFile& writer = *writer_;
    int64_t valuesLosing = 0;
    for (int column : kContactColumnOrder) {
        const double date = texts.Date(column);
        auto write = [&](std::string_view text) {
            return writer.WriteText(kContactFont, kAlignLeft, static_cast<int32_t>(row), column,
                                    text);
        };
        int32_t code = result::kOk;
        if (date != 0) {
            code = writer.WriteValue(ExcelFile::kText, kContactFont, kAlignLeft, 0,
                                     static_cast<int32_t>(row), column, AutomationDate{date}, 0);
        } else {
            const std::string_view text = texts.Column(column);
            code = write(text);
            // Too long for a cell in the code page: as much as fits, cut
            // between characters.
            if (code == result::kOverflow && !text.empty()) {
                const std::string_view kept = writer.WorkbookTextPrefix(text, biff::kMaxShortText);
                notes.Add(
                    {path_, contact,
                     Quoted(kTitles[column - 1]) + " is longer than a cell holds (255 bytes in " +
                         CodePageName(writer.CodePage()) + "); the workbook holds its first " +
                         std::to_string(CharacterCount(kept)) + " characters.",
                     false});
                code = write(kept);
            }
        }
        if (code != result::kOk) {
            WriteFailed(contact, notes);
            return;
        }
        if (writer.LastTextReplaced() > 0) ++valuesLosing;
    }
    valuesLosing_ += valuesLosing;
    if (valuesLosing > 0) ++contactsLosing_;
    if (everyField_) {
        const int withoutColumn = ValuesWithoutColumn(args);
        valuesWithoutColumn_ += withoutColumn;
        contactsWithoutColumn_ += withoutColumn > 0;
    }
    pending_.push_back({contact, writer.BytesWritten()});
    ForgetCommittedRows();
}

// Rows that reached the file cannot be lost any more.
void ContactSheet::ForgetCommittedRows() {
    const uint64_t committed = writer_->BytesCommitted();
    while (!pending_.empty() && pending_.front().endOffset <= committed)
        pending_.pop_front();
}

// Reports the failure once, and every contact whose row did not reach the file.
void ContactSheet::WriteFailed(int64_t contact, RunNotes& notes) {
    writeFailed_ = true;
    ForgetCommittedRows();
    notes.Add({path_, 0, "Writing the workbook failed: " + writer_->LastErrorText() + ".", false});
    for (const PendingRow& pending : pending_) {
        notes.Add(
            {path_, pending.contact, "Missing from the workbook, as writing it failed.", true});
    }
    pending_.clear();
    if (contact != 0) {
        notes.Add({path_, contact, "Missing from the workbook, as writing it failed.", true});
    }
}

void ContactSheet::CloseExcelSheet(RunNotes& notes) {
    if (unicode_) {
        if (unicodeOpen_) CloseUnicodeSheet(notes);
        return;
    }
    if (writer_ == nullptr || !writer_->IsOpen()) return;
    if (valuesLosing_ > 0) {
        notes.Add({path_, 0,
                   std::to_string(valuesLosing_) + (valuesLosing_ == 1 ? " value" : " values") +
                       " of " + std::to_string(contactsLosing_) +
                       (contactsLosing_ == 1 ? " contact" : " contacts") +
                       " lost characters: no one code page holds all the scripts of the "
                       "backup, so the workbook is written in " +
                       CodePageName(writer_->CodePage()) +
                       ", which keeps the most values whole, and shows the other characters "
                       "as \"?\". The Outlook output keeps every script.",
                   false});
    }
    if (valuesWithoutColumn_ > 0) {
        notes.Add({path_, 0,
                   std::to_string(valuesWithoutColumn_) +
                       (valuesWithoutColumn_ == 1 ? " value" : " values") + " of " +
                       std::to_string(contactsWithoutColumn_) +
                       (contactsWithoutColumn_ == 1 ? " contact" : " contacts") +
                       (valuesWithoutColumn_ == 1 ? " has" : " have") +
                       " no column in the .xls workbook (a nickname, a second e-mail or phone "
                       "number, another address...): the .xlsx and .csv sheets keep them, and "
                       "so does the Outlook store.",
                   false});
    }
    const bool failedBefore = writeFailed_;
    const int32_t code = writer_->CloseFile();
    if (code != result::kOk && !failedBefore) WriteFailed(0, notes);
    pending_.clear();
}

} // namespace velloquin::excel
