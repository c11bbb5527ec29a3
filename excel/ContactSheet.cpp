#include "excel/ContactSheet.h"

#include "core/Text.h"
#include "excel/BiffSheet.h"
#include "excel/Sheet.h"

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

ContactSheet::ContactSheet() = default;
ContactSheet::~ContactSheet() = default;

void ContactSheet::UseUnicodeSheet(std::unique_ptr<Sheet> sheet) {
    unicode_ = std::move(sheet);
}

BiffSheet& ContactSheet::Biff() {
    if (!biff_) biff_ = std::make_unique<BiffSheet>();
    return *biff_;
}

bool ContactSheet::CreateExcelSheet(const std::string& ExcelSheetPath, std::string& errorMessage) {
    path_ = ExcelSheetPath;
    Sheet& sheet = unicode_ ? *unicode_ : static_cast<Sheet&>(Biff());
    const std::string_view extension = sheet.Extension();
    if (!path_.ends_with(extension))
        path_ = path_.substr(0, path_.rfind('.')) + std::string(extension);
    return Start(sheet, errorMessage);
}

bool ContactSheet::CreateExcelSheet(std::unique_ptr<OutputSink> sink, const std::string& name,
                                    std::string& errorMessage) {
    path_ = name;
    Biff().UseSink(std::move(sink));
    return Start(Biff(), errorMessage);
}

bool ContactSheet::Start(Sheet& sheet, std::string& errorMessage) {
    sheet_ = &sheet;
    open_ = false;
    writeFailed_ = false;
    pending_.clear();
    valuesLosing_ = 0;
    contactsLosing_ = 0;
    valuesWithoutColumn_ = 0;
    contactsWithoutColumn_ = 0;
    if (biff_) biff_->SetCodePage(codePage_);
    std::string why;
    const int columns = everyField_ && sheet.HoldsEveryField() ? kWideSheetColumns : kColumns;
    const Sheet::Created created = sheet.Create(path_, columns, why);
    if (created == Sheet::Created::kYes) {
        open_ = true;
        return true;
    }
    errorMessage = "The " + std::string(sheet.Noun()) + " " + Quoted(path_) + " could not be " +
                   (created == Sheet::Created::kNotWritten ? "written" : "created") + ": " + why +
                   ".";
    std::string ignored;
    sheet.Close(ignored);
    return false;
}

void ContactSheet::Save2ExcelContact(const ExcelContactArgs& args, RunNotes& notes) {
    const int64_t contact = args.xlsCnt;
    if (!open_ || writeFailed_) {
        const std::string_view noun = open_      ? sheet_->Noun()
                                      : unicode_ ? unicode_->Noun()
                                                 : std::string_view("workbook");
        notes.Add({path_, contact,
                   "Missing from the " + std::string(noun) +
                       (writeFailed_ ? ", as writing it had failed." : ", as it is not open."),
                   true});
        return;
    }
    Sheet& sheet = *sheet_;
    const int64_t row = contact + 1;
    if (row < 1 || row > sheet.LastRow()) {
        notes.Add({path_, contact,
                   "Missing from the " + std::string(sheet.Noun()) + ": " + sheet.PastLastRow(row),
                   true});
        return;
    }

    const ContactRowTexts texts(args, everyField_ && sheet.HoldsEveryField());
    AlteredCells altered;
    std::string why;
    const bool written = sheet.AddRow(row, texts, altered, why);
    for (const auto& [column, kept] : altered.cutInCodePage)
        notes.Add({path_, contact,
                   Quoted(SheetTitle(column)) + " is longer than a cell holds (255 bytes in " +
                       CodePageName(biff_->CodePage()) + "); the workbook holds its first " +
                       std::to_string(kept) + " characters.",
                   false});
    if (!written) {
        WriteFailed(contact, why, notes);
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
    valuesLosing_ += altered.valuesLosingCharacters;
    if (altered.valuesLosingCharacters > 0) ++contactsLosing_;
    if (everyField_ && !sheet.HoldsEveryField()) {
        const int withoutColumn = ValuesWithoutColumn(args);
        valuesWithoutColumn_ += withoutColumn;
        contactsWithoutColumn_ += withoutColumn > 0;
    }
    pending_.push_back({contact, row});
    ForgetKeptRows();
}

// Rows that reached the file cannot be lost any more.
void ContactSheet::ForgetKeptRows() {
    const int64_t kept = sheet_->LastRowKept();
    while (!pending_.empty() && pending_.front().row <= kept)
        pending_.pop_front();
}

// Reports the failure once, and every contact whose row did not reach the file.
void ContactSheet::WriteFailed(int64_t contact, const std::string& why, RunNotes& notes) {
    writeFailed_ = true;
    ForgetKeptRows();
    const std::string noun(sheet_->Noun());
    notes.Add({path_, 0, "Writing the " + noun + " failed: " + why + ".", false});
    for (const PendingRow& pending : pending_)
        notes.Add(
            {path_, pending.contact, "Missing from the " + noun + ", as writing it failed.", true});
    pending_.clear();
    if (contact != 0)
        notes.Add({path_, contact, "Missing from the " + noun + ", as writing it failed.", true});
}

void ContactSheet::CloseExcelSheet(RunNotes& notes) {
    if (!open_) return;
    open_ = false;
    if (valuesLosing_ > 0) {
        notes.Add({path_, 0,
                   std::to_string(valuesLosing_) + (valuesLosing_ == 1 ? " value" : " values") +
                       " of " + std::to_string(contactsLosing_) +
                       (contactsLosing_ == 1 ? " contact" : " contacts") +
                       " lost characters: no one code page holds all the scripts of the "
                       "backup, so the workbook is written in " +
                       CodePageName(biff_->CodePage()) +
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
    std::string why;
    if (!sheet_->Close(why) && !writeFailed_) WriteFailed(0, why, notes);
    pending_.clear();
}

} // namespace velloquin::excel
