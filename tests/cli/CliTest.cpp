// Runs the built velloquin-cli as a user would and checks its outputs with
// independent readers: LibreOffice for the workbook, readpst and pffexport
// for the store.
#include "CliRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;
using namespace velloquin::testsupport;

namespace {

// Three Skype-style contacts, CR LF line ends, one with a Cyrillic name.
const std::string kBackup =
    "BEGIN:VCARD\r\nN:Doe;John;Q.;Dr.;Jr.\r\nFN:John Doe\r\nORG:Acme;Sales\r\nBDAY:1985-03-27\r\n"
    "EMAIL;TYPE=INTERNET;TYPE=PREF:john@example.com\r\nTEL;TYPE=CELL:+1 555 0100\r\n"
    "ADR;TYPE=HOME:;;1 Main St;Springfield;IL;62701;USA\r\nPHOTO;ENCODING=b;TYPE=GIF:"
    "R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nFN:\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd Petrov\r\n"
    "EMAIL;TYPE=INTERNET:ivan@example.org\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nN:Roe;Jane\r\nFN:Jane Roe\r\nEND:VCARD\r\n";

TEST_F(Cli, ArgumentsAndExitStatuses) {
    // clang-format off
    const std::string file = Backup("a.vcf", kBackup), dir = out.string(), usage = "Usage: velloquin-cli",
        nowhere = (root.Path() / "nowhere").string(), bad = Backup("bad.vcf", "BEGIN:VCARD\r\nBDAY:someday\r\nEND:VCARD\r\n");
    const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
        {{"--version"}, 0, "velloquin-cli 1.2\n"}, {{"--help"}, 0, usage}, {{"--bogus", "--out", dir, file}, 2, usage},
        {{"--excel", "--outlook", "--out", dir, file}, 2, usage}, {{file}, 2, usage}, {{"--out", dir}, 2, usage},
        {{"--advance", "--standard", "--out", dir, file}, 2, "choose one of --advance and --standard"},
        {{"--out", dir, file, "--folder", src.string()}, 2, usage}, {{"--out", dir, file, file}, 2, usage},
        {{"--out"}, 2, usage}, {{"--out", dir, "--out", dir, file}, 2, usage}, {{"--out", nowhere, file}, 3, nowhere},
        {{"--out", dir, (src / "missing.vcf").string()}, 3, "missing.vcf"},
        {{"--out", dir, bad}, 1, "someday"}, // a value that cannot be converted is named
        // Nothing converted, for whatever reason: 3, as the help says.
        {{"--out", dir, Backup("empty.vcf", "")}, 3, "No vCard was found in the file.\n"},
        {{"--xlsx", "--out", dir, "--folder", (root.Path() / "out").string()}, 3, "0 contacts converted"},
        {{"--outlook", "--out", dir, Backup("end.vcf", "BEGIN:VCARD\r\nN:a\r\n")}, 3, "without END:VCARD"},
        // Lines ending in LF alone: the lost contacts are counted as the note counts them.
        {{"--out", dir, Backup("lf.vcf", "BEGIN:VCARD\nFN:a\nEND:VCARD\nBEGIN:VCARD\nFN:b\nEND:VCARD\n")}, 3,
         "holds 2 BEGIN:VCARD lines; its lines probably end in LF alone, which Normal Mode does not read.\n\n"
         "Read it again in Standard Mode?\n(No: give --standard to read it in Standard Mode.)\n"
         "0 contacts converted to " + dir + "/vCardContactsExported.xls\nvelloquin-cli: 2 contacts were lost"},
        // After lines of CR LF, vCards of lines ending in LF alone: named, counted and offered again.
        {{"--out", dir, Backup("mixed.vcf", "BEGIN:VCARD\r\nFN:a\r\nEND:VCARD\r\nBEGIN:VCARD\nFN:b\nEND:VCARD\n")}, 1,
         "The BEGIN:VCARD line 4 could not be read: the lines there end in LF alone, which Normal Mode does not read; that "
         "contact was not converted.\n\nRead it again in Standard Mode?\n(No: give --standard to read it in Standard Mode.)\n"
         "1 contact converted to " + dir + "/vCardContactsExported.xls\nvelloquin-cli: 1 contact was lost"},
        // Cyrillic and accented Greek: no code page holds both. The workbook keeps the Greek
        // (read back in the workbook's own tests) and says what was lost.
        {{"--out", dir, Backup("m.vcf", "BEGIN:VCARD\r\nN:Петров;Иван\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:Παπαδόπουλος;Γιώργος\r\n"
          "END:VCARD\r\nBEGIN:VCARD\r\nN:Σ;Ά\r\nEND:VCARD\r\n")}, 1, "2 values of 1 contact lost characters: no one code page "
         "holds all the scripts of the backup, so the workbook is written in Windows-1253, which keeps the most values whole, and "
         "shows the other characters as \"?\". The Outlook output keeps every script."},
    };
    // clang-format on
    for (const auto& [args, expected, text] : cases) {
        Run(args);
        EXPECT_TRUE(status == expected && output.find(text) != std::string::npos)
            << args.front() << ": " << status << " " << output;
        const bool wrote = output.find(" converted to ") != std::string::npos;
        EXPECT_TRUE((wrote || fs::is_empty(out)) && !fs::exists(nowhere)) << args.front();
        for (const auto& entry : fs::directory_iterator(out))
            fs::remove_all(entry.path());
    }
}

// --standard reads what the Skype rules do not see: lines that end in LF
// alone, grouped, folded and quoted-printable lines. A value that finds no
// place in the output is named and makes the exit status 1.
TEST_F(Cli, StandardModeReadsEveryVCardAndNamesWhatFindsNoPlace) {
    const fs::path csv = out / "vCardContactsExported.csv";
    auto convert = [&](const std::string& name, const std::string& text) {
        for (const auto& entry : fs::directory_iterator(out))
            fs::remove_all(entry.path());
        Run({"--standard", "--csv", "--out", out.string(), Backup(name, text)});
        return ReadAll(csv);
    };
    // Lines that end in LF alone: every vCard, nothing offered, nothing to say.
    const std::string lf = convert(
        "lf.vcf", "BEGIN:VCARD\nN:Fam1;Giv1\nEND:VCARD\nBEGIN:VCARD\nN:Fam2;Giv2\nEND:VCARD\n");
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("2 contacts converted to " + csv.string()), std::string::npos) << output;
    EXPECT_EQ(output.find("Read it again"), std::string::npos) << output;
    EXPECT_TRUE(lf.find("Fam1") != std::string::npos && lf.find("Fam2") != std::string::npos);

    const std::string unseen = convert(
        "unseen.vcf",
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Hopper;Grace\r\nitem1.EMAIL;TYPE=INTERNET:"
        "grace@example.com\r\nTITLE:\r\n Rear Admiral\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Babbage;Charles\r\nADR;HOME;ENCODING=QUOTED-PRINTABLE:;;"
        "1 Dorset St=\r\n;London;;;\r\nNOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Caf=C3=A9\r\n"
        "END:VCARD\r\n");
    EXPECT_EQ(status, 0) << output;
    for (const char* value :
         {"grace@example.com", "Rear Admiral", "1 Dorset St", "London", "Caf\u00e9"})
        EXPECT_NE(unseen.find(value), std::string::npos) << value << "\n" << unseen;

    // A quoted-printable name in Cyrillic: the workbook's code page is chosen
    // from what the reader makes of it, not from its ASCII text.
    const std::string qp =
        Backup("qp.vcf", "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8;ENCODING="
                         "QUOTED-PRINTABLE:=D0=9F=D0=B5=D1=82=D1=80=D0=BE=D0=B2;"
                         "=D0=98=D0=B2=D0=B0=D0=BD\r\nEND:VCARD\r\n");
    Run({"--standard", "--out", out.string(), qp});
    EXPECT_EQ(status, 0) << output;
    const std::string book = ReadAll(out / "vCardContactsExported.xls");
    // BOF, then CODEPAGE 1251; "Петров" a byte per letter.
    EXPECT_EQ(book.substr(8, 6), std::string("\x42\x00\x02\x00\xE3\x04", 6));
    EXPECT_NE(book.find("\xCF\xE5\xF2\xF0\xEE\xE2"), std::string::npos);

    // A fourth e-mail address has no place in Outlook's three.
    convert("four.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jo\r\nEMAIL:a@example.com\r\n"
                        "EMAIL:b@example.com\r\nEMAIL:c@example.com\r\nEMAIL:d@example.com\r\n"
                        "END:VCARD\r\n");
    EXPECT_EQ(status, 1) << output;
    EXPECT_NE(output.find("d@example.com"), std::string::npos) << output;
    EXPECT_NE(output.find("1 value was read but found no place in the output"), std::string::npos)
        << output;
}

TEST_F(Cli, TheStoreReadsBackInTheOpenReaders) {
    Run({"--outlook", "--out", out.string(), Backup("a.vcf", kBackup)});
    ASSERT_EQ(status, 0) << output;
    fs::path store; // the folder also holds the contacts' pictures
    for (const auto& entry : fs::directory_iterator(out))
        if (entry.path().extension() == ".pst") store = entry.path();
    EXPECT_NE(output.find("3 contacts converted to " + store.string()), std::string::npos);
    // readpst writes each contact as a vCard of its own making, the name line
    // from the name parts; pffexport writes each item's properties.
    const fs::path cards = root.Path() / "readpst";
    fs::create_directories(cards);
    for (const std::string& run :
         {"readpst -q -cv -o " + Quote(cards) + " " + Quote(store),
          "pffexport -q -t " + Quote(root.Path() / "pff") + " " + Quote(store)})
        ASSERT_EQ(std::system((run + " >/dev/null 2>&1").c_str()), 0) << run;
    const std::string vcards = ReadAll(cards), items = ReadAll(root.Path());
    for (const char* expected :
         {"N:Doe;John;Q.;Dr.;Jr.", "N:Roe;Jane", "john@example.com", "ivan@example.org",
          "+1 555 0100", "Springfield", "Acme", "BDAY:1985-03-27"})
        EXPECT_NE(vcards.find(expected), std::string::npos) << expected << "\n" << vcards;
    for (const char* name : {"John Doe", "Jane Roe", "\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd Petrov"})
        EXPECT_NE(items.find(std::string("Display name:\t\t\t\t") + name), std::string::npos);
    int pictures = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root.Path()))
        pictures += entry.path().filename().string().find("ContactPicture") != std::string::npos;
    EXPECT_EQ(pictures, 1);
}

// Names in two scripts that one code page (Windows-932) holds, a birthday, a
// value with a comma and quotes, a comment of two lines.
const std::string kScripts =
    "BEGIN:VCARD\r\nN:Петров;Иван\r\nORG:Рога, \"и\" копыта\r\nBDAY:1985-03-27\r\n"
    "NOTE:first\\nsecond\r\nTEL;TYPE=CELL:+7 495 0100\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nN:山田;花子\r\nEMAIL;TYPE=INTERNET:hanako@example.jp\r\nEND:VCARD\r\n";

// The filled cells, row by row; a line break inside a cell as LF, however
// the reader writes it.
std::string Cells(const CsvTable& table) {
    std::string cells;
    for (const auto& row : table) {
        for (size_t column = 0; column < row.size(); ++column) {
            std::string cell;
            for (char c : row[column])
                if (c != '\r') cell += c;
            if (!cell.empty()) cells += std::to_string(column + 1) + "=" + cell + "|";
        }
        cells += "\n";
    }
    return cells;
}

// The .xls, .xlsx and .csv of one backup read back with the same cells.
TEST_F(Cli, TheThreeSheetFormatsReadBackAlike) {
    const bool lo = SofficeInstalled(), js = SheetJsInstalled();
    if (!lo || !js) GTEST_SKIP() << "LibreOffice and SheetJS are both needed";
    const std::string backup = Backup("s.vcf", kScripts);
    std::vector<fs::path> books;
    for (const std::string format : {"excel", "xlsx", "csv"}) {
        const fs::path folder = root.Path() / format;
        fs::create_directories(folder);
        Run({"--" + format, "--out", folder.string(), backup});
        ASSERT_EQ(status, 0) << output;
        const std::string ext = format == "excel" ? "xls" : format;
        const fs::path written = folder / ("vCardContactsExported." + ext);
        EXPECT_NE(output.find("2 contacts converted to " + written.string()), std::string::npos)
            << output;
        // The readers name each table by its workbook's name: one name each.
        books.push_back(root.Path() / (format + "." + ext));
        fs::rename(written, books.back());
    }
    const std::vector<CsvTable> tables = ReadWorkbooks({books[0], books[1]});
    const std::string expected = Cells(tables.at(0));
    EXPECT_NE(expected.find("1=Иван|3=Петров|7=Рога, \"и\" копыта|21=+7 495 0100|"),
              std::string::npos)
        << expected;
    EXPECT_NE(expected.find("1=花子|3=山田|4=hanako@example.jp|"), std::string::npos) << expected;
    // The birthday in the short-date form of the user's locale.
    EXPECT_NE(expected.find("|34="), std::string::npos) << expected;
    EXPECT_NE(expected.find("|36=first\nsecond|"), std::string::npos) << expected;
    // LibreOffice for the two workbooks, SheetJS for all three.
    EXPECT_EQ(Cells(tables.at(1)), expected);
    const auto sheetJs = ReadWorkbooksWithSheetJs(books);
    EXPECT_EQ(Cells(sheetJs.at(0)), expected);
    EXPECT_EQ(Cells(sheetJs.at(1)), expected);
    // The .csv keeps a field that would be a formula text with an apostrophe.
    std::string csvExpected = expected;
    csvExpected.replace(csvExpected.find("|21=+"), 5, "|21='+");
    EXPECT_EQ(Cells(sheetJs.at(2)), csvExpected);

    // The .xlsx keeps the birthday as a date (a number with a date format),
    // its title row bold and frozen.
    const std::string unzip =
        "/usr/bin/python3 -c \"import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
        "sys.stdout.write(z.read('xl/worksheets/sheet1.xml').decode() + "
        "z.read('xl/styles.xml').decode())\" " +
        Quote(books[1].string()) + " >" + Quote((root.Path() / "xml").string());
    ASSERT_EQ(std::system(unzip.c_str()), 0);
    const std::string parts = ReadAll(root.Path() / "xml");
    EXPECT_NE(parts.find("<v>31133</v>"), std::string::npos) << "27 March 1985 as a day number";
    EXPECT_NE(parts.find("ySplit=\"1\""), std::string::npos) << "the title row frozen";
    EXPECT_NE(parts.find("<b/>"), std::string::npos) << "a bold font";
    // The .csv: a byte-order mark, then UTF-8.
    EXPECT_EQ(ReadAll(books[2]).substr(0, 13), "\xEF\xBB\xBF"
                                               "First Name");
}

} // namespace
