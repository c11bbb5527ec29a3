#include "core/ContactRecord.h"

#include "core/Text.h"

#include <array>
#include <type_traits>

namespace velloquin {

namespace {

// The list's own promises, kept at compile time: each sheet place of the
// workbook taken once, each Outlook property written once and the writes in
// a gapless order, and a stand-in never standing in for a stand-in.
constexpr bool ListIsConsistent() {
    int places[37] = {};
    int steps[128] = {};
    int lastStep = 0;
    for (const ContactField& field : kContactFields) {
        if ((field.kind == FieldKind::Date) != (field.date != nullptr)) return false;
        for (const SheetColumn& column : field.sheet) {
            if (column.place > 36 || (column.place >= 0 && column.title == nullptr)) return false;
            if (column.place > 0) ++places[column.place];
        }
        for (const OutlookProperty& property : field.outlook) {
            if (property.name == nullptr || property.step == 0) continue;
            if (property.step < 0 || property.step >= 128) return false;
            ++steps[property.step];
            if (property.step > lastStep) lastStep = property.step;
        }
        if (field.standsInFor) {
            // Searched here rather than through FindField: the sanitizers' build
            // cannot compare the pointer it returns at compile time.
            bool found = false;
            for (const ContactField& target : kContactFields) {
                if (target.text != field.standsInFor) continue;
                found = true;
                if (target.standsInFor || field.sheet[0].place > 0) return false;
            }
            if (!found) return false;
        }
        if (field.wholeAddress && !field.address) return false;
    }
    for (int place = 1; place <= 36; ++place)
        if (places[place] != 1) return false;
    for (int step = 1; step <= lastStep; ++step)
        if (steps[step] != 1) return false;
    return true;
}
static_assert(ListIsConsistent(), "kContactFields: a sheet place or an Outlook step is amiss");

} // namespace

namespace {

// The record's texts and dates apart: the reader empties a record, and the
// run hands one off, once per contact, and the loops over these are short.
template <typename Member> constexpr size_t CountMembers() {
    size_t count = 0;
    for (const ContactField& field : kContactFields)
        count += std::is_same_v<Member, std::string ContactRecord::*> ? field.text != nullptr
                                                                      : field.date != nullptr;
    return count;
}

constexpr auto kTexts = [] {
    std::array<std::string ContactRecord::*, CountMembers<std::string ContactRecord::*>()> texts{};
    size_t next = 0;
    for (const ContactField& field : kContactFields)
        if (field.text) texts[next++] = field.text;
    return texts;
}();

constexpr auto kDates = [] {
    std::array<double ContactRecord::*, CountMembers<double ContactRecord::*>()> dates{};
    size_t next = 0;
    for (const ContactField& field : kContactFields)
        if (field.date) dates[next++] = field.date;
    return dates;
}();

} // namespace

void FreevCard(ContactRecord& record) {
    // Each text is emptied where it is, and the next contact's texts reuse
    // the memory. Only a long text (a note of a megabyte, say) gives its
    // memory back.
    constexpr size_t kKeptCapacity = size_t{64} << 10;
    for (const auto member : kTexts) {
        std::string& text = record.*member;
        if (text.empty()) continue;
        if (text.capacity() > kKeptCapacity)
            std::string().swap(text);
        else
            text.clear();
    }
    for (const auto member : kDates)
        record.*member = 0;
}

int CountFacts(const ContactRecord& record) {
    int facts = 0;
    for (const ContactField& field : kContactFields) {
        if (field.kind == FieldKind::Date)
            facts += record.*field.date != 0;
        else if (field.kind == FieldKind::Text)
            facts += !(record.*field.text).empty();
    }
    return facts;
}

ExcelContactArgs MakeExcelHandOff(const ContactRecord& record, bool advanceMode, int32_t xlsCnt) {
    ExcelContactArgs a;
    FillExcelHandOff(record, advanceMode, xlsCnt, a);
    return a;
}

void FillExcelHandOff(const ContactRecord& record, bool advanceMode, int32_t xlsCnt,
                      ExcelContactArgs& handOff) {
    // Most of a contact's fields are empty, and an empty text needs no copy.
    for (const auto member : kTexts) {
        const std::string& text = record.*member;
        if (text.empty())
            (handOff.*member).clear();
        else
            handOff.*member = text;
    }
    for (const auto member : kDates)
        handOff.*member = record.*member;
    if (advanceMode)
        for (const ContactField& field : kContactFields)
            if (field.trimForSheetInAdvance) handOff.*field.text = TrimView(record.*field.text);
    handOff.xlsCnt = xlsCnt;
}

OutlookContactArgs MakeOutlookHandOff(const ContactRecord& record, const std::string& pstStoreID) {
    OutlookContactArgs a;
    static_cast<ContactRecord&>(a) = record;
    a.storeID = pstStoreID;
    a.FolderName = 10;
    for (const ContactField& field : kContactFields)
        if (field.text) a.*field.text = Trim(a.*field.text);
    return a;
}

} // namespace velloquin
