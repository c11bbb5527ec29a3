// The one field list against everything made from it: the record and its
// facts, both hand-offs, the sheets' columns and the store's properties.
#include "core/ContactRecord.h"
#include "excel/ContactSheet.h"
#include "pst/Contact.h"
#include "support/ContactFields.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

using namespace velloquin;
using testsupport::ShortFieldName;

namespace {

// The fields no reader fills, kept for the hand-offs' sake: they reach no output.
const std::set<std::string_view> kUnread = {"ShortName", "PhoneticName", "MailDomain"};
// The fields that reach Outlook only joined into its IM address.
const std::set<std::string_view> kJoinedIntoIMAddress = {"OtherEmail1", "OtherEmail2",
                                                         "OtherEmail3"};

TEST(FieldList, EveryFactReachesTheStoreAndASheetColumn) {
    std::set<std::string_view> silent;
    for (const ContactField& field : kContactFields) {
        if (!field.IsFact()) continue;
        const std::string_view name = ShortFieldName(field);
        const bool inSheets = field.sheet[0].place >= 0 || field.standsInFor;
        const bool inStore = field.outlook[0].name || kJoinedIntoIMAddress.count(name);
        if (!inSheets && !inStore)
            silent.insert(name);
        else {
            EXPECT_TRUE(inSheets) << name << " reaches no sheet";
            EXPECT_TRUE(inStore) << name << " reaches no Outlook property";
        }
    }
    EXPECT_EQ(silent, kUnread);
}

TEST(FieldList, TheStoreTakesEveryPropertyTheWriterWrites) {
    std::set<std::string> written;
    for (const ContactField& field : kContactFields)
        for (const OutlookProperty& property : field.outlook) {
            if (!property.name) continue;
            written.insert(property.name);
            const auto ref = pst::FindContactField(property.name);
            ASSERT_TRUE(ref) << property.name;
            EXPECT_EQ(ref->kind == pst::FieldKind::Date, field.kind == FieldKind::Date)
                << property.name;
        }
    // ... and the store knows no property the writer leaves out.
    const std::vector<std::string>& known = pst::ContactFieldNames();
    EXPECT_EQ(written, std::set<std::string>(known.begin(), known.end()));
}

TEST(FieldList, TheWorkbookKeepsItsColumnsAndTheWideSheetsAddOneForEveryOtherFact) {
    const std::array<const char*, 36> workbook = {"First Name",
                                                  "Middle Name",
                                                  "Last Name",
                                                  "Email",
                                                  "Suffix",
                                                  "Title",
                                                  "Company",
                                                  "Job Title",
                                                  "Location",
                                                  "Website",
                                                  "Department",
                                                  "Manager",
                                                  "Assistant",
                                                  "Business Street Address",
                                                  "Business City",
                                                  "Business Zip/Postal Code",
                                                  "Business State",
                                                  "Business Country",
                                                  "Business Phone Number",
                                                  "Business FAX",
                                                  "Business CellPhone",
                                                  "Business Pager",
                                                  "Business Other Email 1",
                                                  "Business Other Email 2",
                                                  "Business Other Email 3",
                                                  "Personal Street Address",
                                                  "Personal City",
                                                  "Personal Zip/Postal Code",
                                                  "Personal State",
                                                  "Personal Country",
                                                  "Personal Phone Number",
                                                  "Personal FAX",
                                                  "Personal CellPhone",
                                                  "Birthday",
                                                  "Anniversary",
                                                  "Comments"};
    for (int column = 1; column <= 36; ++column)
        EXPECT_STREQ(excel::SheetTitles()[size_t(column - 1)], workbook[size_t(column - 1)]);

    // Each fact on its own, named after its field: where the sheets show it.
    std::set<std::string> titles;
    for (int column = 1; column <= excel::kWideSheetColumns; ++column)
        EXPECT_TRUE(titles.insert(excel::SheetTitle(column)).second) << excel::SheetTitle(column);
    for (const ContactField& field : kContactFields) {
        if (!field.IsFact() || kUnread.count(ShortFieldName(field))) continue;
        ContactRecord record;
        if (field.date)
            record.*field.date = 40000;
        else
            record.*field.text = std::string(ShortFieldName(field));
        for (const bool wide : {false, true}) {
            const excel::ContactRowTexts texts(record, wide);
            EXPECT_EQ(texts.Columns(), wide ? excel::kWideSheetColumns : 36);
            std::string shown;
            for (int column = 1; column <= texts.Columns(); ++column)
                if (!texts.Column(column).empty() || texts.Date(column) != 0)
                    shown += std::string(shown.empty() ? "" : ", ") + excel::SheetTitle(column);
            // its own columns, or those of the field it stands in for
            const ContactField& own = field.standsInFor ? *FindField(field.standsInFor) : field;
            std::string want;
            std::vector<const ContactField*> fields = {&own};
            if (&own != &field) fields.push_back(&field);
            for (const ContactField* f : fields)
                for (const SheetColumn& column : f->sheet)
                    if ((column.place > 0 && f == &own) || (wide && column.place == 0))
                        want += std::string(want.empty() ? "" : ", ") + column.title;
            EXPECT_EQ(shown, want) << field.name << (wide ? " (wide)" : "");
            // What the workbook cannot show is counted.
            EXPECT_EQ(excel::ValuesWithoutColumn(record), own.sheet[0].place > 0 ? 0 : 1)
                << field.name;
        }
    }
}

TEST(FieldList, FactsAndHandOffsWalkEveryField) {
    ContactRecord padded;
    int facts = 0;
    for (const ContactField& field : kContactFields) {
        if (field.date) {
            padded.*field.date = 1;
        } else {
            padded.*field.text = "  " + std::string(field.name) + " ";
        }
        facts += field.IsFact();
        ContactRecord one;
        if (field.date)
            one.*field.date = 2;
        else
            one.*field.text = "x";
        EXPECT_EQ(CountFacts(one), field.IsFact() ? 1 : 0) << field.name;
    }
    EXPECT_EQ(CountFacts(padded), facts);

    // Outlook takes every text trimmed; the workbook only the two names, in
    // Advance Mode.
    const OutlookContactArgs outlook = MakeOutlookHandOff(padded, "store");
    EXPECT_EQ(outlook.storeID, "store");
    EXPECT_EQ(outlook.FolderName, 10);
    for (const bool advance : {false, true}) {
        const ExcelContactArgs excel = MakeExcelHandOff(padded, advance, 12);
        EXPECT_EQ(excel.xlsCnt, 12);
        for (const ContactField& field : kContactFields) {
            if (field.date) {
                EXPECT_EQ(outlook.*field.date, 1);
                EXPECT_EQ(excel.*field.date, 1);
                continue;
            }
            EXPECT_EQ(outlook.*field.text, field.name) << field.name;
            const bool trimmed = advance && (ShortFieldName(field) == "FirstName" ||
                                             ShortFieldName(field) == "FullName");
            EXPECT_EQ(excel.*field.text, trimmed ? field.name : padded.*field.text) << field.name;
        }
    }
    FreevCard(padded);
    EXPECT_EQ(CountFacts(padded), 0);
    EXPECT_EQ(padded.ePhoto, "");
}

} // namespace
