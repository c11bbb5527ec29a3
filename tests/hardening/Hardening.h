// What the hardening tests share: a run as the Convert button starts it, and
// the outputs read back by the independent readers.
#pragma once

#include "app/ConversionRun.h"
#include "app/Fakes.h"
#include "pstcheck/StoreTesting.h"
#include "support/Readers.h"

#include <gtest/gtest.h>

namespace velloquin::hardening {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

struct Conversion {
    bool outlook, advance;
    std::string Name() const {
        return std::string(outlook ? "Outlook" : "Excel") + (advance ? "Advance" : "Normal");
    }
    friend void PrintTo(const Conversion& how, std::ostream* os) { *os << how.Name(); }
};
inline const Conversion kConversions[] = {
    {false, false}, {false, true}, {true, false}, {true, true}};

// A nameless contact gets a last name on its way to the output, so that it
// shows in the readers: LibreOffice drops trailing empty rows, readpst items
// without a contact property.
struct NamingRun : app::ConversionRun {
    using ConversionRun::ConversionRun;
    void Save2ExcelContact(const ExcelContactArgs& args) override {
        ExcelContactArgs a = args;
        if (a.eContact_FirstName + a.eContact_LastName + a.eContact_FullName == "")
            a.eContact_LastName = "-";
        ConversionRun::Save2ExcelContact(a);
    }
    void CreateContactItem(const OutlookContactArgs& args) override {
        OutlookContactArgs a = args;
        if (a.eContact_FirstName + a.eContact_LastName + a.eContact_FullName == "")
            a.eContact_LastName = "-";
        ConversionRun::CreateContactItem(a);
    }
};

struct Converted {
    app::RunSummary summary;
    RunNotes notes;
    fs::path output; // the workbook or the store
    int64_t Count() const { return summary.contactsRead - summary.contactsLost; }
};

inline Converted Convert(const fs::path& backup, const fs::path& out, Conversion how) {
    velloquin::testing::FakeWindow window;
    window.folder = out.string();
    window.xls = !how.outlook;
    window.advance = how.advance;
    NamingRun run(window, window, window, window);
    run.chosenFileName = backup.string();
    run.CmdSplit_Click();
    return {run.LastSummary(), run.LastNotes(),
            how.outlook ? fs::path(run.pst.pstPath) : out / excel::kExcelSheetName};
}

// Verifies the store's structure; pffexport, readpst and pst-extractor must
// find every contact.
inline pstcheck::ReadBack ExpectStore(const fs::path& store, int64_t contacts) {
    const pstcheck::TempDir work;
    pstcheck::ReadBack back = pstcheck::ReadStoreBack(store.string(), work);
    EXPECT_EQ(static_cast<int64_t>(back.items.size()), contacts) << "pffexport, " << store;
    EXPECT_EQ(static_cast<int64_t>(back.vcards.size()), contacts) << "readpst, " << store;
    EXPECT_EQ(static_cast<int64_t>(back.extracted.size()), contacts) << "pst-extractor, " << store;
    return back;
}

// LibreOffice, started once, shows each workbook's header and a row per contact.
inline void ExpectWorkbooks(const std::vector<fs::path>& books,
                            const std::vector<int64_t>& contacts) {
    const auto tables = testsupport::ReadWorkbooks(books);
    for (size_t i = 0; i < books.size(); ++i) {
        EXPECT_EQ(static_cast<int64_t>(tables[i].size()), contacts[i] + 1) << books[i];
        EXPECT_EQ(tables[i].empty() ? 0 : tables[i][0].size(), 36u) << books[i];
    }
}

} // namespace velloquin::hardening
