#include "vcard/Reader.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <string>

namespace velloquin {
namespace {

using testing_support::FreshFolder;
using testing_support::RecordingHost;
using testing_support::WriteFile;

struct Reading {
    RecordingHost host;
    int32_t ivCard = 1;
    ContactRecord record;
};

// Reads the bytes as a backup file in the chosen mode.
void ReadBackup(Reading& run, const std::string& bytes, bool advance,
                const std::string& name = "b.vcf") {
    const auto folder = FreshFolder("reader");
    run.host.advance = advance;
    run.host.saveFolder = folder.string() + "/";
    ReadvCard(" " + WriteFile(folder / name, bytes) + " ", run.ivCard, run.record, run.host);
}

const char* const kTwoCards = "BEGIN:VCARD\r\nFN:One\r\nEND:VCARD\r\n"
                              "BEGIN:VCARD\r\nFN:Two\r\nEND:VCARD\r\n";

struct LineCase {
    const char* name;
    std::string bytes;
    bool advance;
    size_t handOffs;
    std::vector<std::string> fullNames; // of the hand-offs, in order
    bool noted;
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

class ReaderLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(ReaderLineTest, CutsLinesAndCards) {
    Reading run;
    ReadBackup(run, GetParam().bytes, GetParam().advance);
    ASSERT_EQ(run.host.excel.size(), GetParam().handOffs) << run.host.notes.Format();
    EXPECT_EQ(run.ivCard, static_cast<int32_t>(1 + GetParam().handOffs));
    for (size_t i = 0; i < GetParam().fullNames.size(); ++i)
        EXPECT_EQ(run.host.excel[i].xlsContact_FullName, GetParam().fullNames[i]);
    EXPECT_EQ(run.host.notes.Empty(), !GetParam().noted) << run.host.notes.Format();
    ASSERT_FALSE(run.host.captions.empty());
    EXPECT_EQ(run.host.captions.back(),
              "(" + std::to_string(GetParam().handOffs) + ") vCards Saved");
}

const std::string kLf = Replace(kTwoCards, "\r\n", "\n");
const std::string kCr = Replace(kTwoCards, "\r\n", "\r");

const LineCase kLineCases[] = {
    {"crlf_normal", kTwoCards, false, 2, {"One", "Two"}, false},
    {"crlf_advance", kTwoCards, true, 2, {"One", "Two"}, false},
    {"cr_normal", kCr, false, 2, {"One", "Two"}, false},
    {"cr_advance", kCr, true, 2, {"One", "Two"}, false},
    // LF alone does not end a line: Normal mode sees one piece and says so.
    {"lf_normal", kLf, false, 0, {}, true},
    {"lf_advance", kLf, true, 2, {"One", "Two"}, false},
    {"no_final_line_end", "BEGIN:VCARD\r\nFN:One\r\nEND:VCARD", false, 1, {"One"}, false},
    {"boundaries_any_case_and_spaced",
     "  begin:vcard \r\nFN:One\r\n End:VCard  \r\n",
     false,
     1,
     {"One"},
     false},
    {"begin_with_trailing_text", "BEGIN:VCARD x\r\nFN:One\r\nEND:VCARD\r\n", true, 1, {""}, false},
    {"end_outside_card_hands_off_empty", "FN:Zero\r\nEND:VCARD\r\n", false, 1, {""}, false},
    {"no_vcard_at_all", "hello\r\nworld\r\n", false, 0, {}, false},
    {"blank_line", "\r\n", true, 0, {}, false},
    // A card left open mixes into the next one, and the user hears of it.
    {"unclosed_then_next",
     "BEGIN:VCARD\r\nFN:One\r\nTEL;CELL:1\r\nBEGIN:VCARD\r\nFN:Two\r\nEND:VCARD\r\n",
     false,
     1,
     {"Two"},
     true},
    {"unclosed_at_end",
     "BEGIN:VCARD\r\nFN:One\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Two\r\n",
     true,
     1,
     {"One"},
     true},
    // A CR in the middle of an LF-only file still ends a line in Advance mode.
    {"mixed_line_ends_advance", "BEGIN:VCARD\nFN:One\r\nEND:VCARD\n", true, 1, {"One"}, false},
    // Tabs are not trimmed, so a tab-indented boundary is no boundary.
    {"tab_before_begin", "\tBEGIN:VCARD\r\nFN:One\r\nEND:VCARD\r\n", false, 1, {""}, false},
};

INSTANTIATE_TEST_SUITE_P(Reader, ReaderLineTest, testing::ValuesIn(kLineCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(Reader, ProgressAfterEveryLineOrPiece) {
    Reading normal;
    ReadBackup(normal, kTwoCards, false);
    EXPECT_EQ(normal.host.captions.size(), 6u);
    EXPECT_EQ(normal.host.captions[2], "(1) vCards Saved");
    Reading advance;
    // Each CR LF line is one piece; the LF-only file has 7 pieces (the last empty).
    ReadBackup(advance, kLf, true);
    EXPECT_EQ(advance.host.captions.size(), 7u);
    EXPECT_EQ(advance.host.captions.back(), "(2) vCards Saved");
    EXPECT_GT(advance.host.pumps, advance.host.captions.size());
}

TEST(Reader, ModeReadAfreshForEveryLine) {
    Reading run;
    // Line 1 Normal, line 2 Advance (cuts at LF), the rest Normal.
    run.host.advancePerCall = {false, true};
    ReadBackup(run, "BEGIN:VCARD\r\nFN:One\nEND:VCARD\r\n", false);
    ASSERT_EQ(run.host.excel.size(), 1u);
    EXPECT_EQ(run.host.excel[0].xlsContact_FullName, "One");
}

TEST(Reader, OutlookFirstThenExcelWithTheirArguments) {
    Reading run;
    run.ivCard = 7;
    ReadBackup(run,
               "BEGIN:VCARD\r\nN:Doe; John;  Q.\r\nFN:  Jo D\r\nEND:VCARD\r\n"
               "BEGIN:VCARD\r\nFN:Next\r\nEND:VCARD\r\n",
               false);
    EXPECT_EQ(run.host.order, (std::vector<std::string>{"outlook", "excel", "outlook", "excel"}));
    const OutlookContactArgs& o = run.host.outlook[0];
    EXPECT_EQ(o.storeID, "store-1");
    EXPECT_EQ(o.FolderName, 10);
    EXPECT_EQ(o.eContact_FirstName, "John");
    EXPECT_EQ(o.eContact_MiddleName, "Q.");
    EXPECT_EQ(o.eContact_FullName, "Jo D");
    const ExcelContactArgs& x = run.host.excel[0];
    EXPECT_EQ(x.xlsCnt, 7);
    EXPECT_EQ(x.xlsContact_FirstName, " John"); // Normal mode: as read
    EXPECT_EQ(x.xlsContact_MiddleName, "  Q.");
    EXPECT_EQ(run.host.excel[1].xlsCnt, 8);
    EXPECT_EQ(run.host.excel[1].xlsContact_FirstName, ""); // the record was cleared
    EXPECT_EQ(run.ivCard, 9);
}

TEST(Reader, AdvanceModeTrimsExcelNames) {
    Reading run;
    ReadBackup(run, "BEGIN:VCARD\r\nN:Doe; John; Q.\r\nEND:VCARD\r\n", true);
    ASSERT_EQ(run.host.excel.size(), 1u);
    EXPECT_EQ(run.host.excel[0].xlsContact_FirstName, "John");
    EXPECT_EQ(run.host.excel[0].xlsContact_MiddleName, " Q.");
}

TEST(Reader, NeitherOutputStillCounts) {
    Reading run;
    run.host.pst = false;
    run.host.xls = false;
    ReadBackup(run, kTwoCards, false);
    EXPECT_TRUE(run.host.order.empty());
    EXPECT_EQ(run.ivCard, 3);
}

TEST(Reader, Utf8AndBomAndCodePage) {
    // With a byte-order mark the first card opens like any other.
    Reading bom;
    ReadBackup(
        bom,
        "\xEF\xBB\xBF"
        "BEGIN:VCARD\r\nX-SKYPE-DISPLAYNAME:\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\r\nEND:VCARD\r\n",
        false);
    ASSERT_EQ(bom.host.excel.size(), 1u);
    EXPECT_EQ(bom.host.excel[0].xlsContact_FullName, "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD");
    // Bytes that are not UTF-8 are Windows-1252.
    Reading cp;
    ReadBackup(cp, "BEGIN:VCARD\r\nFN:Ren\xE9 \x80\r\nEND:VCARD\r\n", false);
    ASSERT_EQ(cp.host.excel.size(), 1u);
    EXPECT_EQ(cp.host.excel[0].xlsContact_FullName, "Ren\xC3\xA9 \xE2\x82\xAC");
}

TEST(Reader, MissingFileIsNoted) {
    Reading run;
    ReadvCard("/nonexistent/velloquin/x.vcf", run.ivCard, run.record, run.host);
    EXPECT_EQ(run.ivCard, 1);
    ASSERT_EQ(run.host.notes.Total(), 1u);
    EXPECT_EQ(run.host.notes.Kept()[0].file, "/nonexistent/velloquin/x.vcf");
    EXPECT_TRUE(run.host.order.empty());
}

TEST(Reader, CounterLimitReportsEveryLostContact) {
    Reading run;
    run.ivCard = kMaxCardCounter;
    ReadBackup(run, std::string(kTwoCards) + kTwoCards, false);
    EXPECT_EQ(run.host.excel.size(), 1u);
    EXPECT_EQ(run.host.notes.LostContacts(), 3);
    EXPECT_EQ(run.host.notes.Kept()[0].contact, kMaxCardCounter + 1);
}

TEST(Reader, BadDateKeepsReadingWithNumberedNote) {
    Reading run;
    run.ivCard = 4;
    ReadBackup(run,
               "BEGIN:VCARD\r\nFN:One\r\nEND:VCARD\r\n"
               "BEGIN:VCARD\r\nBDAY:1985-13-45\r\nFN:Two\r\nEND:VCARD\r\n"
               "BEGIN:VCARD\r\nFN:Three\r\nEND:VCARD\r\n",
               true, "dates.vcf");
    ASSERT_EQ(run.host.excel.size(), 3u);
    EXPECT_EQ(run.host.excel[1].xlsContact_FullName, "Two");
    EXPECT_EQ(run.host.excel[1].xlsContact_BirthDay, 0);
    ASSERT_EQ(run.host.notes.Total(), 1u);
    const std::string text = run.host.notes.Format();
    EXPECT_NE(text.find("dates.vcf: contact 5: "), std::string::npos) << text;
    EXPECT_NE(text.find("1985-13-45"), std::string::npos) << text;
}

TEST(Reader, StopsAfterTheHandOffWhenAsked) {
    Reading run;
    run.host.stopAfterHandOffs = 1;
    ReadBackup(run, kTwoCards, false);
    EXPECT_EQ(run.host.excel.size(), 1u);
    EXPECT_EQ(run.ivCard, 2);
}

TEST(RunNotes, FormatsAndCaps) {
    RunNotes notes;
    notes.Add({"a.vcf", 3, "bad", true});
    notes.Add({"", 0, "plain", false});
    EXPECT_EQ(notes.Format(), "a.vcf: contact 3: bad\nplain\n");
    for (size_t i = 0; i < RunNotes::kMaxKept; ++i)
        notes.Add({"", 0, "x", true});
    EXPECT_EQ(notes.Kept().size(), RunNotes::kMaxKept);
    EXPECT_EQ(notes.LostContacts(), 1001);
    EXPECT_NE(notes.Format().find("2 more"), std::string::npos);
}

} // namespace
} // namespace velloquin
