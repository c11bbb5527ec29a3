// What a Normal-mode run leaves unread that Standard Mode reads: counted by
// reading the backups again, vCard by vCard, and offered only when there is
// some.
#include "app/StandardOffer.h"
#include "Fakes.h"
#include "app/ConversionRun.h"
#include "support/Readers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace velloquin;
using app::StandardGain;

namespace {

TEST(StandardOffer, TwoReadingsAreComparedVCardByVCard) {
    struct Case {
        std::vector<int> normal, standard;
        StandardGain gain;
    };
    const Case cases[] = {
        {{}, {}, {0, 0}},
        {{3, 2}, {3, 2}, {0, 0}},
        // Less in one vCard takes nothing off more in another.
        {{3, 2}, {4, 1}, {1, 1}},
        // Normal Mode read none of them: every vCard counts whole.
        {{}, {2, 3}, {5, 2}},
        {{2}, {2, 4, 1}, {5, 2}},
        {{5, 5}, {}, {0, 0}},
        {{0}, {0, 0}, {0, 0}},
    };
    for (const Case& c : cases) {
        const StandardGain gain = app::CompareFacts(c.normal, c.standard);
        EXPECT_EQ(gain, c.gain) << c.normal.size() << " " << c.standard.size() << ": "
                                << gain.values << " " << gain.contacts;
    }
    // A Skype account as the IM address is no value Normal Mode leaves unread.
    ContactRecord record;
    record.eContact_IMAddress = "live:someone";
    EXPECT_EQ(app::OfferFacts(record), 0);
    record.eContact_FullName = "Someone";
    record.eContact_BirthDay = 31133;
    EXPECT_EQ(app::OfferFacts(record), 2);
    EXPECT_EQ(app::StandardGainText({1, 1}),
              "Normal Mode left 1 value of 1 contact unread that Standard Mode reads.");
    EXPECT_EQ(app::StandardGainText({5, 2}),
              "Normal Mode left 5 values of 2 contacts unread that Standard Mode reads.");
}

std::string Lf(std::string text) {
    std::string out;
    for (const char c : text)
        if (c != '\r') out += c;
    return out;
}

// Every kind of backup through a workbook run: what was counted, whether the
// notes asked, and that the label ends as the run left it.
TEST(StandardOffer, OnlyWhatNormalModeLeavesUnreadIsOffered) {
    testsupport::TempDir dir("velloquin-offer");
    const std::string sample =
        testsupport::ReadFile(fs::path(VELLOQUIN_SAMPLES) / "skype-contacts-sample.vcf");
    const std::string lfCards =
        "BEGIN:VCARD\nN:Fam1;Giv1\nEND:VCARD\nBEGIN:VCARD\nN:Fam2;Giv2\nEND:VCARD\n";
    // What phones and webmail write and the Skype rules do not see: a grouped
    // e-mail, a value folded onto the next line, a quoted-printable address
    // whose soft line break hides its city, a number without a kind.
    const std::string unseen =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Hopper;Grace\r\nFN:Grace Hopper\r\n"
        "item1.EMAIL;TYPE=INTERNET:grace@example.com\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lovelace;Ada\r\nFN:Ada Lovelace\r\nTITLE:\r\n "
        "Countess\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Babbage;Charles\r\nFN:Charles Babbage\r\n"
        "ADR;HOME;ENCODING=QUOTED-PRINTABLE:;;1 Dorset St=\r\n;London;;;\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Turing;Alan\r\nFN:Alan Turing\r\nTEL:+44 1234 "
        "5678\r\nEND:VCARD\r\n";
    struct Case {
        const char* what;
        std::string backup;
        bool advance, check;
        StandardGain gain; // contacts < 0: only that some were counted
        bool offered;
    };
    const Case cases[] = {
        // A Skype backup, which Normal Mode reads whole.
        {"sample", sample, false, true, {0, 0}, false},
        {"lf", lfCards, false, true, {4, 2}, true},
        // Normal Mode reads no vCard of it; each one counts.
        {"lf sample", Lf(sample), false, true, {-1, 8}, true},
        {"unseen", unseen, false, true, {4, 4}, true},
        // The window reads in Advance Mode: nothing is checked or offered.
        {"advance", unseen, true, true, {0, 0}, false},
        // Not checked (the command line): only vCards Normal Mode could not
        // cut out are reason to offer.
        {"unchecked lf", lfCards, false, false, {0, 0}, true},
        {"unchecked unseen", unseen, false, false, {0, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path out = dir.Path() / c.what;
        fs::create_directories(out);
        velloquin::testing::FakeWindow window;
        window.folder = out.string();
        window.advance = c.advance;
        app::ConversionRun run{window, window, window, window};
        run.checkStandardMode = c.check;
        run.chosenFileName =
            testsupport::WriteFile(dir.Path() / (std::string(c.what) + ".vcf"), c.backup);
        run.CmdSplit_Click();

        const StandardGain gain = run.LastSummary().standardGain;
        if (c.gain.values < 0) {
            EXPECT_GT(gain.values, c.gain.contacts);
        } else {
            EXPECT_EQ(gain.values, c.gain.values);
        }
        EXPECT_EQ(gain.contacts, c.gain.contacts);
        const bool asked = !window.notes.empty() && !window.notes[0].question.empty();
        EXPECT_EQ(asked, c.offered);
        if (asked) {
            EXPECT_EQ(window.notes[0].question, "Read it again in Standard Mode?");
            EXPECT_EQ(window.notes[0].text.starts_with(app::StandardGainText(gain)), c.check)
                << window.notes[0].text;
        }
        // No Yes was given: the label shows what the one reading saved.
        ASSERT_FALSE(window.captions.empty());
        EXPECT_EQ(window.captions.back(),
                  "(" + std::to_string(run.LastSummary().contactsRead) + ") vCards Saved");
    }
}

} // namespace
