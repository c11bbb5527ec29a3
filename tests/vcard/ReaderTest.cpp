#include "TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>

namespace velloquin {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::Reading;

const std::string kTwo =
    "BEGIN:VCARD\r\nFN:One\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Two\r\nEND:VCARD\r\n";

// What a run made of a backup: per hand-off the full name, the picture's bytes
// in brackets if it has one, and ";"; then "noted N" per note about contact N.
std::string Outcome(const Reading& run) {
    std::string seen;
    long pictures = 0;
    EXPECT_EQ(run.host.outlook.size(), run.host.excel.size());
    for (size_t i = 0; i < run.host.excel.size(); ++i) {
        seen += run.host.excel[i].eContact_FullName;
        const std::string& photo = run.host.outlook.at(i).ePhoto;
        if (!photo.empty()) {
            ++pictures;
            EXPECT_EQ(photo, (run.folder / (std::to_string(i + 1) + ".gif")).string());
            seen += "[" + ReadFile(photo) + "]";
        }
        seen += ";";
    }
    // No picture file is left without its contact, none is hidden.
    EXPECT_EQ(std::count_if(fs::directory_iterator(run.folder), {},
                            [](const auto& file) { return file.path().extension() != ".vcf"; }),
              pictures);
    for (const RunNote& note : run.host.notes.Kept())
        seen += "noted " + std::to_string(note.contact);
    return seen;
}

struct BackupCase {
    std::string bytes;
    std::string normal;            // the Outcome in Normal mode
    const char* advance = nullptr; // in Advance mode, when it differs
};

void PrintTo(const BackupCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.bytes);
}

class Backups : public testing::TestWithParam<BackupCase> {};

TEST_P(Backups, ReadInBothModes) {
    for (const bool advance : {false, true}) {
        Reading run(advance);
        run.Backup(GetParam().bytes);
        EXPECT_EQ(Outcome(run),
                  advance && GetParam().advance ? GetParam().advance : GetParam().normal)
            << (advance ? "advance\n" : "normal\n") << run.host.notes.Format();
        const size_t count = run.host.excel.size();
        EXPECT_EQ(run.ivCard, static_cast<int32_t>(1 + count));
        ASSERT_FALSE(run.host.progress.empty());
        EXPECT_EQ(run.host.progress.back(), static_cast<int64_t>(count));
        // The reader holds a piece of the file at a time; where the pieces
        // are cut changes nothing.
        for (const size_t step : {1, 2, 3, 5}) {
            Reading slow(advance);
            slow.Trickle(GetParam().bytes, step);
            EXPECT_EQ(Outcome(slow), Outcome(run)) << "pieces of " << step;
        }
    }
}

// UTF-16 text as a backup's bytes, with its byte-order mark.
std::string Utf16Backup(const std::u16string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return bytes;
}

std::string Card(const std::string& lines) {
    return "BEGIN:VCARD\r\n" + lines + "END:VCARD\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Reader, Backups,
    testing::ValuesIn(std::vector<BackupCase>{
        {kTwo, "One;Two;"},
        {"BEGIN:VCARD\rFN:One\rEND:VCARD\rBEGIN:VCARD\rFN:Two\rEND:VCARD\r", "One;Two;"},
        // LF alone does not end a line: Normal mode finds no card and says why.
        {"BEGIN:VCARD\nFN:One\nEND:VCARD\nBEGIN:VCARD\nFN:Two\nEND:VCARD\n", "noted 0", "One;Two;"},
        {"BEGIN:VCARD\nFN:One\r\nEND:VCARD\n", "noted 0", "One;"},
        {"BEGIN:VCARD\r\nFN:One\r\nEND:VCARD", "One;"},
        {"  begin:vcard \r\nFN:One\r\n End:VCard  \r\n", "One;"},
        // Tabs are not trimmed: a tab-indented boundary is no boundary.
        {"\tBEGIN:VCARD\r\nFN:One\r\nEND:VCARD\r\n", ";"},
        {"BEGIN:VCARD x\r\nFN:One\r\nEND:VCARD\r\n", ";"},
        {"FN:Zero\r\nEND:VCARD\r\n", ";"},
        {"hello\r\nworld\r\n\r\n", "noted 0"}, // no vCard in the file, and the user hears of it
        // A card left open mixes into the next one, and the user hears of it.
        {"BEGIN:VCARD\r\nFN:One\r\nTEL;CELL:1\r\n" + Card("FN:Two\r\n"), "Two;noted 1"},
        {kTwo + "BEGIN:VCARD\r\nFN:Three\r\n", "One;Two;noted 3"},
        // With a byte-order mark the first card opens like any other.
        {"\xEF\xBB\xBF" + Card("FN:\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\r\n"),
         "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD;"},
        // UTF-16 either way round, a character beyond the first plane included.
        {Utf16Backup(u"BEGIN:VCARD\r\nFN:\u00C9mile \U0001F600\r\nEND:VCARD\r\n", false),
         "\xC3\x89mile \xF0\x9F\x98\x80;"},
        {Utf16Backup(u"BEGIN:VCARD\r\nFN:\u0416\r\nEND:VCARD\r\n", true), "\xD0\x96;"},
        // Bytes that are not UTF-8 are Windows-1252.
        {Card("FN:Ren\xE9 \x80\r\n"), "Ren\xC3\xA9 \xE2\x82\xAC;"},
        // In a UTF-8 backup only those bytes are, and a note names their lines.
        {Card("FN:Jos\xC3\xA9 \xE9\r\n") + Card("FN:Łódź\r\n"),
         "Jos\xC3\xA9 \xC3\xA9;Łódź;noted 0"},
        // After lines of CR LF, vCards of lines that end in LF alone are noted
        // as lost in Normal mode.
        {Card("FN:One\r\n") + "BEGIN:VCARD\nFN:Two\nEND:VCARD\n", "One;noted 0", "One;Two;"},
        // Advance mode cuts at every line end, an LF before a CR included; an
        // empty piece between two is a line like any other.
        {"BEGIN:VCARD\n\rFN:One\n\nEND:VCARD\r\n\rBEGIN:VCARD\rFN:Two\r\nEND:VCARD\n",
         "noted 1noted 0", "One;Two;"},
        {"BEGIN:VCARD\nFN:One\nEND:VCARD", "noted 0", "One;"},
        // Normal mode gathers a picture's continuation lines until the next
        // property; Advance mode decodes the one piece after the PHOTO line.
        {Card("FN:X\r\nPHOTO;ENCODING=b:YWJj\r\n ZGVm\r\n Z2hp\r\n amts\r\nURL:www.x.com\r\n"),
         "X[abcdefghijkl];", "X[def];"},
        {Card("FN:Y\r\nPHOTO;ENCODING=b:YWJj\r\nURL:http://h/x\r\n"), "Y[abc];", "Y;noted 1"},
        {Card("FN:Z\r\nPHOTO:YWJj\r\nPHOTO:\r\neHl6\r\n"), "Z[xyz];", "Z[xyz];noted 1"},
        {Card("FN:A\r\nPHOTOGRAPHER:x\r\n") + Card("FN:B\r\nPHOTO;ENCODING=b:\r\n YWJj\r\n"),
         "A;B[abc];"},
        // A picture that cannot be decoded is left out; the rest is read.
        {Card("PHOTO:YWJj\r\n====\r\nFN:Still read\r\n"), "Still read;noted 1"},
    }));

// A backup of LF line ends is one long line in Normal mode. It is looked
// through rather than held, and its vCards are still counted, with their
// lines, for the note that sends the user to Advance mode, which reads them.
TEST(Reader, LongBlockOfLfLinesCountedInNormalMode) {
    std::string bytes = Card("FN:One\r\n");
    constexpr int kLfCards = 5000; // some 140 KB, past what a line may hold
    for (int i = 0; i < kLfCards; ++i)
        bytes += "BEGIN:VCARD\nFN:x\nEND:VCARD\n";
    for (const size_t step : {size_t{0}, size_t{4093}}) {
        Reading normal, advance(true);
        for (Reading* run : {&normal, &advance}) {
            if (step == 0)
                run->Backup(bytes);
            else
                run->Trickle(bytes, step);
        }
        ASSERT_EQ(normal.host.excel.size(), 1u);
        ASSERT_EQ(normal.host.notes.Kept().size(), 1u);
        const RunNote& note = normal.host.notes.Kept()[0];
        EXPECT_EQ(note.contactsLost, kLfCards);
        EXPECT_NE(note.message.find("lines 4, 7, 10, 13, 16, 19, 22, 25, 28, 31 and 4990 more"),
                  std::string::npos)
            << note.message;
        EXPECT_EQ(advance.host.excel.size(), size_t{1 + kLfCards});
        EXPECT_TRUE(advance.host.notes.Kept().empty()) << advance.host.notes.Format();
    }
}

TEST(Reader, HandsOffToOutlookThenExcel) {
    const std::string cards =
        Card("N:Doe; John\r\nADR;HOME:;; 1 Main ;T\r\nBDAY:19850327\r\n") + kTwo;
    for (const bool advance : {false, true}) {
        Reading run(advance);
        run.ivCard = 7;
        run.host.storeId = " id ";
        run.Backup(cards);
        ASSERT_EQ(run.host.order, "OXOXOX");
        const OutlookContactArgs& o = run.host.outlook[0];
        const ExcelContactArgs& x = run.host.excel[0];
        // Outlook gets every text trimmed, Excel the texts as read but for the
        // names that Advance mode trims.
        EXPECT_EQ(o.storeID + o.eContact_FirstName + o.eContact_PersonalAddress, " id John1 Main");
        EXPECT_EQ(x.eContact_FirstName + x.eContact_PersonalAddress,
                  advance ? "John 1 Main " : " John 1 Main ");
        EXPECT_EQ(o.FolderName, 10);
        EXPECT_EQ(o.eContact_BirthDay + x.eContact_BirthDay, 2 * 31133);
        EXPECT_EQ(x.xlsCnt, 7);
        EXPECT_EQ(run.host.excel[1].eContact_LastName, ""); // the record was cleared
        EXPECT_EQ(run.ivCard, 10);
    }
    // (Stopping when the window closes: in the window's test, which counts
    // what the outputs hold.)
    Reading neither;
    neither.host.pst = neither.host.xls = false;
    EXPECT_EQ(neither.Backup(cards).ivCard, 4); // counted all the same
    EXPECT_EQ(neither.host.order, "");
}

TEST(Reader, FailuresAreNoted) {
    Reading dates(true), full;
    // A bad date is left at 0, reading goes on, and the note says where.
    dates.ivCard = 4;
    dates.Backup(kTwo + Card("BDAY:1985-13-45\r\nFN:Three\r\n") + kTwo, "dates.vcf");
    EXPECT_EQ(Outcome(dates), "One;Two;Three;One;Two;noted 6");
    EXPECT_EQ(dates.host.excel.at(2).eContact_BirthDay, 0);
    EXPECT_NE(dates.host.notes.Format().find("dates.vcf: contact 6: The birthday \"1985-13-45\""),
              std::string::npos)
        << dates.host.notes.Format();
    // Past the counter's limit every contact is reported lost.
    full.ivCard = kMaxCardCounter;
    full.Backup(kTwo + kTwo);
    EXPECT_EQ(full.host.excel.size(), 1u);
    EXPECT_EQ(full.host.notes.LostContacts(), 3);
    EXPECT_EQ(full.host.notes.Kept().at(0).contact, kMaxCardCounter + 1);
    // Notes past the first thousand are only counted.
    for (size_t i = 0; i < RunNotes::kMaxKept; ++i)
        full.host.notes.Add({"", 0, "x", true});
    EXPECT_EQ(full.host.notes.Kept().size(), RunNotes::kMaxKept);
    EXPECT_EQ(full.host.notes.LostContacts(), 1003);
    EXPECT_NE(full.host.notes.Format().find("3 more"), std::string::npos);
}

// What the user reads about a file: the exact note, how many contacts it
// counts as lost, and whether Advance Mode would read what Normal mode did not.
TEST(Reader, NotesSayWhatHappenedInFullSentences) {
    struct NoteCase {
        std::string bytes; // empty: the path is made to fail instead
        bool advance;
        std::string note; // the formatted note after the file's name
        int64_t lost;
        bool offerAdvance;
    };
    const std::string lfOnly = "BEGIN:VCARD\nFN:One\nEND:VCARD\nBEGIN:VCARD\nFN:Two\nEND:VCARD\n";
    const NoteCase cases[] = {
        {"FN:no card here\r\n", false, "No vCard was found in the file.\n", 0, false},
        {"", false, "No vCard was found in the file.\n", 0, false},
        {lfOnly, false,
         "No vCard could be read although the file holds 2 BEGIN:VCARD lines; its lines probably "
         "end in LF alone, which Normal Mode does not read.\n",
         2, true},
        {"BEGIN:VCARD\nFN:One\nEND:VCARD", false,
         "No vCard could be read although the file holds 1 BEGIN:VCARD line; its lines probably "
         "end in LF alone, which Normal Mode does not read.\n",
         1, true},
        // The text tested is the value laid out as year, month and day.
        {Card("BDAY: 19850327\r\n"), false,
         "contact 1: The birthday \" 198 50 32\" (taken from \" 19850327\") is not a date with "
         "day, month and year; it was left empty.\n",
         0, false},
        {Card("ANNIVERSARY:1990\r\n"), true,
         "contact 1: The anniversary \"1990  \" (taken from \"1990\") is not a date with day, "
         "month and year; it was left empty.\n",
         0, false},
        {"BEGIN:VCARD\r\nFN:x\r\n", false,
         "contact 1: The file ends inside a vCard (BEGIN:VCARD without END:VCARD); that contact "
         "was not converted.\n",
         1, false},
    };
    for (const NoteCase& c : cases) {
        Reading run(c.advance);
        run.Backup(c.bytes, "n.vcf");
        const std::string prefix = (run.folder / "n.vcf").string() + ": ";
        EXPECT_EQ(run.host.notes.Format(), c.note.empty() ? "" : prefix + c.note)
            << testing::PrintToString(c.bytes);
        EXPECT_EQ(run.host.notes.LostContacts(), c.lost) << testing::PrintToString(c.bytes);
        EXPECT_EQ(run.host.notes.AdvanceModeWouldRead(), c.offerAdvance);
    }

    // A file that cannot be opened is named with the system's reason.
    Reading run;
#ifdef _WIN32
    // Links and permission bits are Unix matters.
    run.File((run.folder / "gone.vcf").string());
    EXPECT_EQ(run.host.notes.Format(), (run.folder / "gone.vcf").string() +
                                           ": The file could not be opened: No such file or "
                                           "directory.\n");
#else
    fs::create_symlink(run.folder / "loop.vcf", run.folder / "loop.vcf");
    run.File((run.folder / "loop.vcf").string()).File((run.folder / "gone.vcf").string());
    EXPECT_EQ(run.host.notes.Format(),
              (run.folder / "loop.vcf").string() +
                  ": The file could not be opened: Too many levels of symbolic links.\n" +
                  (run.folder / "gone.vcf").string() +
                  ": The file could not be opened: No such file or directory.\n");
    if (::geteuid() != 0) { // the administrator reads everything
        run.Backup(kTwo, "locked.vcf");
        fs::permissions(run.folder / "locked.vcf", fs::perms::none);
        run.host.notes.Clear();
        run.File((run.folder / "locked.vcf").string());
        EXPECT_NE(run.host.notes.Format().find("could not be opened: Permission denied."),
                  std::string::npos);
    }
#endif
}

// Pictures are named by the run's contact counter, across files, in both modes.
TEST(Reader, EveryPictureOfARunGetsItsOwnFile) {
    const std::string card = Card("FN:X\r\nPHOTO;ENCODING=b:\r\n YWJj\r\n");
    for (const bool advance : {false, true}) {
        Reading run(advance);
        run.Backup(card + card + Card("") + card, "a.vcf").Backup(card);
        EXPECT_EQ(Outcome(run), "X[abc];X[abc];;X[abc];X[abc];");
        // A picture that cannot be written is left out and noted.
        run.host.saveFolder = (run.folder / "missing" / "").string();
        EXPECT_EQ(Outcome(run.Backup(card, "c.vcf")), "X[abc];X[abc];;X[abc];X[abc];X;noted 6");
    }
}

TEST(PhotoLarge, ManyMegabytesOverManyLines) {
    std::string backup = "BEGIN:VCARD\r\nPHOTO;ENCODING=b:\r\n";
    for (int i = 0; i < 80'000; ++i)
        backup += " " + std::string(76, 'A') + "\r\n"; // about 6 MB of Base64
    Reading run;
    EXPECT_EQ(fs::file_size(run.Backup(backup + "END:VCARD\r\n").host.outlook.at(0).ePhoto),
              80'000u * 57);
}

// Every END:VCARD line of a real-world file (spaces and case aside) is a
// contact that must reach both outputs or be named in a note.
void ReadWhole(Reading& run, const fs::path& file) {
    run.File(file.string());
    const std::string bytes = ReadFile(file), name = file.filename().string();
    const std::regex end("^ *END:VCARD *$", std::regex::icase | std::regex::multiline);
    const auto cards = std::distance(std::sregex_iterator(bytes.begin(), bytes.end(), end), {});
    EXPECT_GT(cards, 0) << name;
    EXPECT_EQ(run.ivCard - 1, static_cast<int32_t>(run.host.excel.size())) << name;
    // Standard Mode also converts a card whose END:VCARD is missing.
    if (run.mode == ReadMode::Standard ? run.ivCard - 1 < cards : run.ivCard - 1 != cards) {
        EXPECT_GT(run.host.notes.LostContacts(), 0) << name << " lost cards silently";
    }
    Outcome(run); // the pictures' files
}

class PublicVcards : public testing::TestWithParam<ReadMode> {};

TEST_P(PublicVcards, EveryCardHandedOffOrNoted) {
    size_t files = 0;
    for (const auto& entry :
         fs::directory_iterator(fs::path(VELLOQUIN_SHARED_TESTDATA) / "public-vcards" / "aosp")) {
        if (entry.path().extension() != ".vcf") continue;
        Reading run(GetParam());
        ReadWhole(run, entry.path());
        ++files;
    }
    EXPECT_GE(files, 30u);
    // Our sample: UTF-8 without BOM, a Cyrillic name, three JPEG pictures.
    Reading run(GetParam());
    ReadWhole(run, fs::path(VELLOQUIN_SAMPLES) / "skype-contacts-sample.vcf");
    ASSERT_EQ(run.host.outlook.size(), 8u);
    EXPECT_TRUE(run.host.notes.Empty()) << run.host.notes.Format();
    EXPECT_EQ(run.host.outlook[3].eContact_FullName,
              "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD \xD0\x9F\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE\xD0\xB2");
    std::string magic;
    for (const auto& args : run.host.outlook)
        if (!args.ePhoto.empty()) magic += ReadFile(args.ePhoto).substr(0, 2);
    EXPECT_EQ(magic, "\xFF\xD8\xFF\xD8\xFF\xD8");
}

INSTANTIATE_TEST_SUITE_P(Modes, PublicVcards,
                         testing::Values(ReadMode::Normal, ReadMode::Advance, ReadMode::Standard),
                         [](const auto& p) {
                             return p.param == ReadMode::Normal    ? "normal"
                                    : p.param == ReadMode::Advance ? "advance"
                                                                   : "standard";
                         });

} // namespace
} // namespace velloquin
