// The workbook's code page: chosen from the values that will be written, by
// reading the backups ahead.
#include "app/LookAhead.h"
#include "support/Readers.h"
#include "vcard/TestHost.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace velloquin::app {
namespace {

using excel::CodePageChoice;

// A backup of cards "N:last;first" (none when both are empty) and an
// optional FN line, CR LF ends.
std::string Backup(const std::vector<std::vector<std::string>>& cards) {
    std::string text;
    for (const auto& card : cards) {
        text += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
        if (!card.at(0).empty() || !card.at(1).empty())
            text += "N:" + card.at(0) + ";" + card.at(1) + "\r\n";
        if (card.size() > 2) text += "FN:" + card[2] + "\r\n";
        text += "END:VCARD\r\n";
    }
    return text;
}

struct Folder {
    testsupport::TempDir dir{"codepage"};
    std::vector<std::string> Write(const std::vector<std::string>& texts) {
        std::vector<std::string> paths;
        for (const std::string& text : texts) {
            paths.push_back(testsupport::WriteFile(
                dir.Path() / ("b" + std::to_string(paths.size()) + ".vcf"), text));
        }
        return paths;
    }
};

TEST(LookAhead, TheFirstThatHoldsEveryValueElseTheOneKeepingMost) {
    struct Case {
        const char* what;
        std::vector<std::string> backups;
        uint16_t codePage;
        int64_t valuesLosing, contactsLosing;
    };
    const Case cases[] = {
        // clang-format off
        // (The other single scripts: in the test of reading them back.)
        {"Western", {Backup({{"Müller", "José"}, {"Núñez", "Søren"}})}, 1252, 0, 0},
        {"Lithuanian", {Backup({{"Žemaitė", "Ąžuolas"}, {"Ozoliņš", "Jānis"}})}, 1257, 0, 0},
        {"Vietnamese", {Backup({{"Trương", "Văn"}})}, 1258, 0, 0},
        {"Thai", {Backup({{"ใจดี", "สมชาย"}})}, 874, 0, 0},
        // A full name that column 1 does not show is no value of the sheet.
        {"unwritten", {Backup({{"Doe", "John", "Иван Петров"}})}, 1252, 0, 0},
        // (A folder's files, and Cyrillic with accented Greek: in the run's and
        // the command line's tests.)
        // Windows-1252 and GBK (936) each lose two values of one contact: the
        // first of them in the order is taken.
        {"Western and Cyrillic", {Backup({{"Núñez", "Søren"}, {"Müller", "José"}, {"Петров", "Иван"}})}, 1252, 2, 1},
        // clang-format on
    };
    for (const Case& c : cases) {
        Folder folder;
        const CodePageVerdict verdict = ChooseWorkbookCodePage(folder.Write(c.backups), {});
        EXPECT_EQ(verdict.codePage, c.codePage) << c.what;
        EXPECT_EQ(verdict.valuesLosing, c.valuesLosing) << c.what;
        EXPECT_EQ(verdict.contactsLosing, c.contactsLosing) << c.what;
    }
}

TEST(LookAhead, ReadingAheadAgreesWithReadingEverything) {
    const std::vector<std::string> names[] = {
        {"Doe", "Smith"},    {"José", "Müller", "Søren", "Núñez"},
        {"Łukasz", "Wąsik"}, {"Иван", "Пётр"},
        {"Γιώργος", "Ά"},    {"Şükrü"},
        {"山田", "张"},      {"김"},
    };
    std::set<uint16_t> winners;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::mt19937 random(seed);
        // Each seed favours other scripts, so that other code pages win.
        std::vector<double> weights;
        for (size_t i = 0; i < std::size(names); ++i)
            weights.push_back(random() % 4 == 0 ? 40.0 : double(random() % 3));
        std::discrete_distribution<size_t> script(weights.begin(), weights.end());
        auto pick = [&] {
            const auto& pool = names[script(random)];
            return pool[random() % pool.size()];
        };
        std::vector<std::vector<std::string>> cards;
        // A card with only a full name shows it in the first column, unless
        // it merges with a card before it that has a name.
        for (int i = 0; i < 300; ++i)
            cards.push_back(random() % 3 == 0 ? std::vector<std::string>{"", "", pick()}
                                              : std::vector<std::string>{pick(), pick(), pick()});
        // Some vCards lose their END:VCARD line, so that the reader merges
        // them into the next, or leaves the last one of a file out.
        auto dropEnds = [&](std::string text) {
            for (size_t at = text.find("END:VCARD\r\n"); at != std::string::npos;
                 at = text.find("END:VCARD\r\n", at + 1))
                if (random() % 6 == 0) text.erase(at, 11);
            return text;
        };
        Folder folder;
        const auto paths =
            folder.Write({dropEnds(Backup(cards)), dropEnds(Backup({{pick(), pick()}}))});
        for (const ReadMode mode : {ReadMode::Normal, ReadMode::Advance, ReadMode::Standard}) {
            // Every contact of the backup handed to the choice: what the
            // reading ahead must arrive at while parsing only some of the vCards.
            testing_support::Reading all;
            all.mode = mode;
            CodePageChoice choice;
            for (const std::string& path : paths)
                all.File(path);
            for (const ExcelContactArgs& args : all.host.excel)
                choice.AddContact(args);
            const CodePageVerdict expected = choice.Choose();
            winners.insert(expected.codePage);
            // Also with a bound so small that the held-back vCards are
            // parsed on the way, as in a backup far larger than these.
            for (const size_t bound : {size_t{16} << 20, size_t{2000}}) {
                PrereadHooks hooks;
                hooks.mode = mode;
                hooks.keptBytesBound = bound;
                const CodePageVerdict verdict = ChooseWorkbookCodePage(paths, hooks);
                EXPECT_EQ(verdict.codePage, expected.codePage) << seed << " " << bound;
                EXPECT_EQ(verdict.valuesLosing, expected.valuesLosing) << seed << " " << bound;
                EXPECT_EQ(verdict.contactsLosing, expected.contactsLosing) << seed << " " << bound;
            }
        }
    }
    EXPECT_GE(winners.size(), 4u) << "the mixes should favour different code pages";
}

// Standard Mode decodes values, so a name may reach the workbook in a script
// that the vCard's own bytes do not show; the reading ahead leaves out only a
// picture's folded Base64 lines, never the lines that say a value is encoded.
TEST(LookAhead, EncodedNamesCountInStandardMode) {
    const std::string cyrillic = "=D0=98=D0=B2=D0=B0=D0=BD"; // "Иван", quoted-printable
    const std::string headers[] = {
        "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:",
        "n;charset=utf-8;encoding=quoted-printable:",
        "item1.N;ENCODING=QUOTED-PRINTABLE;\r\n CHARSET=UTF-8:",
        "N;\r\n ENCODING=QUOTED-PRINTABLE:",
    };
    const std::string picture =
        "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQ\r\n " + std::string(70, 'Q') + "\r\n CHARSET\r\n";
    for (const std::string& header : headers) {
        std::string backup;
        for (int i = 0; i < 40; ++i) {
            backup += "BEGIN:VCARD\r\nVERSION:2.1\r\n" + picture;
            backup += i % 4 == 0 ? header + cyrillic + ";Doe\r\n" : "N:Smith;Jo\r\n";
            backup += "END:VCARD\r\n";
        }
        Folder folder;
        const auto paths = folder.Write({backup});
        testing_support::Reading all;
        all.mode = ReadMode::Standard;
        CodePageChoice choice;
        all.File(paths[0]);
        for (const ExcelContactArgs& args : all.host.excel)
            choice.AddContact(args);
        const CodePageVerdict expected = choice.Choose();
        EXPECT_EQ(expected.codePage, 1251) << header;
        PrereadHooks hooks;
        hooks.mode = ReadMode::Standard;
        const CodePageVerdict verdict = ChooseWorkbookCodePage(paths, hooks);
        EXPECT_EQ(verdict.codePage, expected.codePage) << header;
        EXPECT_EQ(verdict.valuesLosing, expected.valuesLosing) << header;
    }
}

TEST(LookAhead, DatesWrittenInTheUsersScriptCountEvenInAnAsciiBackup) {
    Folder folder;
    const auto paths = folder.Write({"BEGIN:VCARD\r\nN:Doe;Jane\r\nBDAY:19520303\r\nEND:VCARD\r\n"
                                     "BEGIN:VCARD\r\nN:Roe;Rick\r\nEND:VCARD\r\n"});
    PrereadHooks hooks;
    EXPECT_EQ(ChooseWorkbookCodePage(paths, hooks).codePage, 1252);
    // A Bulgarian short date: Windows-1252 would show its "г." as "?.".
    hooks.dateText = [](double) { return std::optional<std::string>("3.3.1952 г."); };
    const CodePageVerdict verdict = ChooseWorkbookCodePage(paths, hooks);
    EXPECT_EQ(verdict.codePage, 1251);
    EXPECT_EQ(verdict.valuesLosing, 0);
}

TEST(LookAhead, CardsAreCutAsTheReaderHandsThemOff) {
    const std::string crlf =
        "x\r\nBEGIN:VCARD\r\nN:a\r\nEND:VCARD\r\n begin:vcard \r\nEND:VCARD\r\n";
    const std::string lf = "BEGIN:VCARD\nN:a\nEND:VCARD\nBEGIN:VCARD\nEND:VCARD\n";
    EXPECT_EQ(SplitCards(crlf, false),
              (std::vector<std::string>{"BEGIN:VCARD\r\nN:a\r\nEND:VCARD\r\n",
                                        " begin:vcard \r\nEND:VCARD\r\n"}));
    // Lines that end in LF alone are one line in Normal mode: no card.
    EXPECT_TRUE(SplitCards(lf, false).empty());
    EXPECT_EQ(SplitCards(lf, true).size(), 2u);
    // Given in pieces, as a backup is read, the text is cut the same way,
    // wherever a piece ends: inside a line, between CR and LF, in a boundary.
    // A vCard without its end runs on into the next; one open at the end is
    // no contact.
    // Standard Mode ends it where the next begins, and at the end.
    const std::string mixed = crlf + "\rBEGIN:VCARD\rN:b\r" + lf + "BEGIN:VCARD\r\nN:c";
    for (const ReadMode mode : {ReadMode::Normal, ReadMode::Advance, ReadMode::Standard}) {
        for (const size_t step : {1, 2, 3, 7}) {
            std::vector<std::string> cards;
            CardCutter cutter(mode);
            const auto keep = [&](std::string_view card) { cards.emplace_back(card); };
            for (size_t at = 0; at < mixed.size(); at += step)
                cutter.Add(std::string_view(mixed).substr(at, step), keep);
            cutter.Finish(keep);
            EXPECT_EQ(cards, SplitCards(mixed, mode)) << "pieces of " << step;
            const std::vector<std::string> tail =
                mode == ReadMode::Normal ? std::vector<std::string>{}
                : mode == ReadMode::Advance
                    ? std::vector<std::string>{"BEGIN:VCARD\rN:b\rBEGIN:"
                                               "VCARD\nN:a\nEND:VCARD\n",
                                               "BEGIN:VCARD\nEND:VCARD\n"}
                    : std::vector<std::string>{"BEGIN:VCARD\rN:b\r",
                                               "BEGIN:VCARD\nN:a\nEND:"
                                               "VCARD\n",
                                               "BEGIN:VCARD\nEND:VCARD\n", "BEGIN:VCARD\r\nN:c"};
            ASSERT_EQ(cards.size(), 2 + tail.size()) << "pieces of " << step;
            EXPECT_EQ(std::vector<std::string>(cards.begin() + 2, cards.end()), tail);
        }
    }
}

} // namespace
} // namespace velloquin::app
