// Awkward backups through every output of the command line, judged by
// independent readers: LibreOffice (and SheetJS) for the sheets, readpst,
// pffexport and pst-extractor for the store. Each value is kept exactly or a
// note names it, and the exit status says which.
#include "CliRun.h"
#include "pstcheck/StoreTesting.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace velloquin::testsupport;

namespace {

struct Outputs : Cli {
    int converted = 0;
    // Converts the backup text into a folder of its own; the output file,
    // named after the format and the run so that the readers tell them apart.
    fs::path Convert(const std::string& format, const std::string& text, bool advance = false) {
        const std::string name = format + std::to_string(++converted);
        const fs::path folder = root.Path() / name;
        fs::create_directories(folder);
        std::vector<std::string> args = {"--" + format, "--out", folder.string(),
                                         Backup(name + ".vcf", text)};
        if (advance) args.insert(args.begin(), "--advance");
        Run(args);
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string ext = entry.path().extension().string();
            if (ext == ".xls" || ext == ".xlsx" || ext == ".csv" || ext == ".pst") {
                const fs::path named = root.Path() / (name + ext);
                fs::rename(entry.path(), named);
                return named;
            }
        }
        ADD_FAILURE() << "no output: " << output;
        return {};
    }
    // The parts of an .xlsx, each parsed by Python's XML parser: "" when all
    // are well-formed, else the parser's complaint.
    std::string XmlProblems(const fs::path& xlsx) {
        const fs::path log = root.Path() / "xml.log";
        const std::string check =
            "/usr/bin/python3 -c \"import sys, zipfile, xml.etree.ElementTree as E\n"
            "z = zipfile.ZipFile(sys.argv[1])\n"
            "for n in z.namelist():\n"
            "    if n.endswith('.xml') or n.endswith('.rels'): E.fromstring(z.read(n))\" " +
            Quote(xlsx.string()) + " >" + Quote(log.string()) + " 2>&1";
        return std::system(check.c_str()) == 0 ? "" : ReadAll(log) + "in " + xlsx.string();
    }
};

// The contact rows (the title row left out), each cell without CRs.
std::vector<CsvRow> Rows(const CsvTable& table) {
    std::vector<CsvRow> rows(table.begin() + (table.empty() ? 0 : 1), table.end());
    for (CsvRow& row : rows)
        for (std::string& cell : row)
            std::erase(cell, '\r');
    return rows;
}

std::string Card(const std::string& lines) {
    return "BEGIN:VCARD\r\n" + lines + "END:VCARD\r\n";
}

TEST_F(Outputs, XlsxReplacesWhatXmlForbidsAndSaysSo) {
    using namespace std::string_literals;
    const fs::path xlsx = Convert("xlsx", Card("N:Doe\xEF\xBF\xBE;Jane\r\n") +
                                              Card("N:Roe;Rick\xEF\xBF\xBF\x01\r\nNOTE:a\0b\r\n"s) +
                                              Card("N:Poe;Ann\tMarie_x000D_\r\n"));
    EXPECT_EQ(status, 1) << output;
    EXPECT_EQ(XmlProblems(xlsx), "");
    for (const char* named : {"1: \"Last Name\"", "2: \"First Name\"", "2: \"Comments\""})
        EXPECT_NE(output.find(named + std::string(" holds characters that the file cannot hold")),
                  std::string::npos)
            << named << "\n"
            << output;
    const std::string fffd = "\xEF\xBF\xBD";
    for (const CsvTable& table :
         {ReadWorkbooks({xlsx}).at(0), ReadWorkbooksWithSheetJs({xlsx}).at(0)}) {
        const std::vector<CsvRow> rows = Rows(table);
        ASSERT_EQ(rows.size(), 3u) << "every contact has its row";
        EXPECT_EQ(rows[0].at(2) + rows[1].at(0) + rows[1].at(35) + rows[2].at(0),
                  "Doe" + fffd + "Rick" + fffd + fffd + "a" + fffd + "bAnn\tMarie_x000D_");
    }
}

TEST_F(Outputs, StoreResolvesAddressEscapesAsTheSheetDoes) {
    const std::string backup = Card("ADR;TYPE=WORK:;;1 Main St\\nSuite 5\\, rear;Springfield;IL;"
                                    "62701;USA\r\nADR;TYPE=HOME:;;2 Elm St;Shelbyville;;;\r\n");
    const fs::path pst = Convert("outlook", backup), xls = Convert("excel", backup);
    EXPECT_EQ(Rows(ReadWorkbooks({xls}).at(0)).at(0).at(13), "1 Main St, Suite 5, rear");
    const auto back = velloquin::pstcheck::ReadStoreBack(pst.string(), root);
    ASSERT_EQ(back.extracted.size(), 1u);
    const std::string street = "1 Main St\r\nSuite 5, rear";
    EXPECT_EQ(back.extracted[0].at("BusinessAddressStreet"), street);
    EXPECT_EQ(back.extracted[0].at("BusinessAddress"), street + "\r\nSpringfield, IL 62701\r\nUSA");
    EXPECT_EQ(back.extracted[0].at("HomeAddressStreet"), "2 Elm St");
    EXPECT_EQ(back.items.at(0).at("lid:0x8045"), street);
    const auto adr = back.vcards.at(0).find("ADR;TYPE=work");
    ASSERT_NE(adr, back.vcards[0].end());
    EXPECT_NE(adr->second.find("1 Main St\nSuite 5, rear"), std::string::npos) << adr->second;
}

// A card that fills every slot Standard Mode knows, as a phone or an
// address book writes it, reaches the store with each value where Outlook
// shows it: pst-extractor reads the properties back by their own names.
TEST_F(Outputs, StandardModeFillsEveryOutlookSlotOfTheStore) {
    const std::string png = "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwAD"
                            "hgGAWjR9awAAAABJRU5ErkJggg==";
    const std::string card = Card(
        "VERSION:3.0\r\nN:Lovelace;Ada;Augusta;Countess;FRS\r\nFN:Ada Lovelace\r\n"
        "NICKNAME:Enchantress\r\nORG:Analytical Engines;Research\r\nTITLE:Analyst\r\n"
        "ROLE:Mathematician\r\nX-SPOUSE:William King\r\nX-CHILDREN:Byron\r\n"
        "X-MANAGER:Charles Babbage\r\nX-ASSISTANT:Mary Somerville\r\n"
        "item1.EMAIL;TYPE=INTERNET:second@example.com\r\n"
        "EMAIL;TYPE=INTERNET,PREF:first@example.com\r\nEMAIL:third@example.com\r\n"
        "TEL;TYPE=CELL:+44 1\r\nTEL;TYPE=HOME,VOICE:+44 2\r\nTEL;TYPE=HOME:+44 3\r\n"
        "TEL;TYPE=WORK:+44 4\r\nTEL;TYPE=WORK:+44 5\r\nTEL;TYPE=WORK,FAX:+44 6\r\n"
        "TEL;TYPE=HOME,FAX:+44 7\r\nTEL;TYPE=FAX:+44 8\r\nTEL;TYPE=PAGER:+44 9\r\n"
        "TEL;TYPE=CAR:+44 10\r\nTEL;TYPE=ISDN:+44 11\r\nTEL;TYPE=X-COMPANY-MAIN:+44 12\r\n"
        "TEL;TYPE=MAIN:+44 13\r\nTEL;TYPE=TEXTPHONE:+44 14\r\nTEL;TYPE=X-RADIO:+44 15\r\n"
        "TEL;TYPE=X-CALLBACK:+44 16\r\nTEL;TYPE=X-TELEX:+44 17\r\nTEL;TYPE=X-ASSISTANT:+44 18\r\n"
        "TEL:+44 19\r\nADR;TYPE=HOME:;;1 Home St;Hometown;HS;11111;Homeland\r\n"
        "ADR;TYPE=WORK:;;2 Work St;Worktown;WS;22222;Workland\r\n"
        "ADR:PO Box 3;;3 Other St;Othertown;OS;33333;Otherland\r\n"
        "BDAY:1815-12-10\r\nX-ANNIVERSARY:1835-07-08\r\nNOTE:Wrote the first\\nprogram\r\n"
        "URL;TYPE=WORK:https://work.example.com/\r\nURL;TYPE=HOME:https://home.example.com/\r\n"
        "X-JABBER:ada@jabber.example\r\nCATEGORIES:Mathematics,Friends\r\n"
        "PHOTO;ENCODING=b;TYPE=PNG:" +
        png + "\r\n");
    const std::string name = "standard" + std::to_string(++converted);
    const fs::path folder = root.Path() / name;
    fs::create_directories(folder);
    Run({"--standard", "--outlook", "--out", folder.string(), Backup(name + ".vcf", card)});
    EXPECT_EQ(status, 0) << output;
    fs::path pst;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".pst") pst = entry.path();
    ASSERT_FALSE(pst.empty()) << output;
    const auto back = velloquin::pstcheck::ReadStoreBack(pst.string(), root);
    ASSERT_EQ(back.extracted.size(), 1u);
    const auto& c = back.extracted[0];
    const std::map<std::string, std::string> expected = {
        {"LastName", "Lovelace"},
        {"FirstName", "Ada"},
        {"MiddleName", "Augusta"},
        {"Title", "Countess"},
        {"Suffix", "FRS"},
        {"NickName", "Enchantress"},
        {"CompanyName", "Analytical Engines"},
        {"Department", "Research"},
        {"JobTitle", "Analyst"},
        {"Profession", "Mathematician"},
        {"Spouse", "William King"},
        {"Children", "Byron"},
        {"ManagerName", "Charles Babbage"},
        {"AssistantName", "Mary Somerville"},
        {"Email1Address", "first@example.com"},
        {"Email2Address", "second@example.com"},
        {"Email3Address", "third@example.com"},
        {"MobileTelephoneNumber", "+44 1"},
        {"HomeTelephoneNumber", "+44 2"},
        {"Home2TelephoneNumber", "+44 3"},
        {"BusinessTelephoneNumber", "+44 4"},
        {"Business2TelephoneNumber", "+44 5"},
        {"BusinessFaxNumber", "+44 6"},
        {"HomeFaxNumber", "+44 7"},
        {"OtherFaxNumber", "+44 8"},
        {"PagerNumber", "+44 9"},
        {"CarTelephoneNumber", "+44 10"},
        {"ISDNNumber", "+44 11"},
        {"CompanyMainTelephoneNumber", "+44 12"},
        {"PrimaryTelephoneNumber", "+44 13"},
        {"TTYTDDTelephoneNumber", "+44 14"},
        {"RadioTelephoneNumber", "+44 15"},
        {"CallbackTelephoneNumber", "+44 16"},
        {"TelexNumber", "+44 17"},
        {"AssistantTelephoneNumber", "+44 18"},
        {"OtherTelephoneNumber", "+44 19"},
        {"HomeAddressStreet", "1 Home St"},
        {"HomeAddressCity", "Hometown"},
        {"HomeAddressState", "HS"},
        {"HomeAddressPostalCode", "11111"},
        {"HomeAddressCountry", "Homeland"},
        {"BusinessAddressStreet", "2 Work St"},
        {"BusinessAddressCity", "Worktown"},
        {"OtherAddressCity", "Othertown"},
        {"OtherAddressState", "OS"},
        {"OtherAddressPostalCode", "33333"},
        {"OtherAddressCountry", "Otherland"},
        {"Body", "Wrote the first\r\nprogram"},
        {"BusinessHomePage", "https://work.example.com/"},
        {"PersonalHomePage", "https://home.example.com/"},
        {"IMAddress", "ada@jabber.example"},
        {"Categories", "Mathematics, Friends"},
    };
    for (const auto& [property, value] : expected) {
        const auto found = c.find(property);
        EXPECT_TRUE(found != c.end() && found->second == value)
            << property << ": \"" << (found == c.end() ? "(none)" : found->second)
            << "\", expected \"" << value << "\"";
    }
    // The post-office box stays with the street it belongs to.
    EXPECT_NE(c.at("OtherAddressStreet").find("PO Box 3"), std::string::npos);
    EXPECT_NE(c.at("OtherAddressStreet").find("3 Other St"), std::string::npos);
    EXPECT_EQ(c.at("Birthday").substr(0, 10), "1815-12-10");
    EXPECT_EQ(c.at("Anniversary").substr(0, 10), "1835-07-08");
    EXPECT_EQ(c.at("picture").substr(1, 3), "PNG");
}

// ---- random backups ----

// The fields a random backup fills: its line's name, the sheet's column
// (1-based) and the store's property.
struct Field {
    const char* line;
    int column;
    const char* property;
};
const Field kRandomFields[] = {{"N", 3, "LastName"},      {"N", 1, "FirstName"},
                               {"ORG", 7, "CompanyName"}, {"TITLE", 8, "JobTitle"},
                               {"NOTE", 36, "Body"},      {"TEL", 21, "MobileTelephoneNumber"}};

using Contact = std::map<std::string, std::string>; // property -> value

// A random backup of CR LF lines, some vCards without END:VCARD and some
// values with a stray Windows-1252 byte, and the contacts the run should
// write of it: a vCard without its end merges into the next (later lines
// win, but Normal Mode keeps a card's first mobile number), the last one of
// the file is not written.
std::pair<std::string, std::vector<Contact>> RandomBackup(std::mt19937& random, bool advance) {
    const std::vector<std::string> words = {
        "Smith", "O'Brien", "Anne-Marie", "José",        "Müller", "Søren", "Łukasz",
        "Wąsik", "Иван",    "Пётр",       "Γιώργος",     "Ά",      "山田",  "花子",
        "¥500",  "£5",      "=1+1",       "+7 495 0100", "-5",     "@home", "a \"b\", c"};
    auto word = [&] { return words[random() % words.size()]; };
    std::string text;
    std::vector<Contact> contacts;
    Contact open;
    bool inCard = false;
    const int cards = 6 + static_cast<int>(random() % 6);
    for (int card = 0; card < cards; ++card) {
        text += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
        if (!inCard) open.clear();
        inCard = true;
        if (random() % 4 != 0) {
            const std::string last = word(), first = word();
            text += "N:" + last + ";" + first + "\r\n";
            open["LastName"] = last, open["FirstName"] = first;
        }
        for (const char* line : {"ORG", "TITLE", "NOTE", "TEL"}) {
            if (random() % 3 == 0) continue;
            std::string value = word(), written = value;
            if (std::string(line) == "NOTE" && random() % 3 == 0)
                value += " café", written += " caf\xE9"; // a stray byte
            if (std::string(line) == "TEL") {
                text += "TEL;TYPE=CELL;TYPE=VOICE:" + written + "\r\n";
                if (!advance && open.count("MobileTelephoneNumber")) continue;
            } else {
                text += std::string(line) + ":" + written + "\r\n";
            }
            for (const Field& f : kRandomFields)
                if (f.line == std::string(line)) open[f.property] = value;
        }
        if (random() % 6 == 0) continue; // no END:VCARD
        text += "END:VCARD\r\n";
        contacts.push_back(open);
        inCard = false;
    }
    return {text, contacts};
}

// The count in the workbook's note of values that lost characters.
int CountedLosses(const std::string& output) {
    const size_t at = output.find(" lost characters");
    if (at == std::string::npos) return 0;
    size_t start = output.rfind(" value", output.rfind(" of ", at));
    while (start > 0 && std::isdigit(static_cast<unsigned char>(output[start - 1])))
        --start;
    return std::stoi(output.substr(start));
}

TEST_F(Outputs, RandomBackupsReadBackExactlyOrAsTheNotesSay) {
    struct Backup {
        std::vector<Contact> contacts;
        fs::path xls, xlsx, csv, pst;
        int xlsLosses = 0;
    };
    std::vector<Backup> backups;
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        for (const bool advance : {false, true}) {
            std::mt19937 random(seed);
            auto [text, contacts] = RandomBackup(random, advance);
            Backup r;
            r.contacts = contacts;
            r.xls = Convert("excel", text, advance);
            r.xlsLosses = CountedLosses(output);
            r.xlsx = Convert("xlsx", text, advance);
            r.csv = Convert("csv", text, advance);
            r.pst = Convert("outlook", text, advance);
            EXPECT_NE(output.find("\n" + std::to_string(contacts.size()) + " contact"),
                      std::string::npos)
                << output;
            backups.push_back(r);
        }
    }
    std::vector<fs::path> books, csvs;
    for (const Backup& r : backups) {
        books.insert(books.end(), {r.xls, r.xlsx});
        csvs.push_back(r.csv);
    }
    const std::vector<CsvTable> workbooks = ReadWorkbooks(books), texts = ReadCsvFiles(csvs);
    for (size_t i = 0; i < backups.size(); ++i) {
        SCOPED_TRACE("backup " + std::to_string(i));
        const Backup& r = backups[i];
        const std::vector<CsvRow> xls = Rows(workbooks.at(2 * i)),
                                  xlsx = Rows(workbooks.at(2 * i + 1)), csv = Rows(texts.at(i));
        ASSERT_EQ(xls.size(), r.contacts.size());
        ASSERT_EQ(xlsx.size(), r.contacts.size());
        ASSERT_EQ(csv.size(), r.contacts.size());
        const TempDir work("velloquin-readback");
        const auto store = velloquin::pstcheck::ReadStoreBack(r.pst.string(), work);
        ASSERT_EQ(store.extracted.size(), r.contacts.size());
        int xlsDiffering = 0;
        for (size_t c = 0; c < r.contacts.size(); ++c) {
            for (const Field& f : kRandomFields) {
                const auto it = r.contacts[c].find(f.property);
                const std::string value = it == r.contacts[c].end() ? "" : it->second;
                const size_t column = static_cast<size_t>(f.column - 1);
                EXPECT_EQ(xlsx[c].at(column), value) << f.property;
                const bool formula =
                    !value.empty() && std::string("=+-@").find(value[0]) != std::string::npos;
                EXPECT_EQ(csv[c].at(column), (formula ? "'" : "") + value) << f.property;
                const auto stored = store.extracted[c].find(f.property);
                EXPECT_EQ(stored == store.extracted[c].end() ? "" : stored->second, value)
                    << f.property;
                xlsDiffering += xls[c].at(column) != value;
            }
        }
        // The workbook's one code page may lose characters: the note counts
        // each value that lost some.
        EXPECT_EQ(xlsDiffering, r.xlsLosses);
    }
}

} // namespace
