#include "StoreTesting.h"

#include "core/LeWriter.h"
#include "outlook/Rdo.h"
#include "tools/pstverify/PstVerifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iconv.h>
#include <optional>
#include <set>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace velloquin::pstcheck {
using testsupport::FromHex;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

constexpr auto npos = std::string::npos;

// Each object-model text: where pffexport -d shows it (a property tag or a
// named property of the address set) and, if it does, the readpst vCard line
// that holds it alone. Categories go to "name:Keywords".
const std::vector<std::array<std::string, 3>> kFields = [] {
    std::vector<std::array<std::string, 3>> fields;
    std::istringstream in(
        "FirstName 0x3a06 - MiddleName 0x3a44 - LastName 0x3a11 - FullName 0x3001 - "
        "Title 0x3a45 - Suffix 0x3a05 - JobTitle 0x3a17 TITLE CompanyName 0x3a16 ORG "
        "Department 0x3a18 - OfficeLocation 0x3a19 - Profession 0x3a46 ROLE ManagerName 0x3a4e - "
        "AssistantName 0x3a30 AGENT Spouse 0x3a48 - Body 0x1000 NOTE "
        "BusinessTelephoneNumber 0x3a08 TEL;TYPE=work,voice BusinessFaxNumber 0x3a24 "
        "TEL;TYPE=work,fax HomeTelephoneNumber 0x3a09 TEL;TYPE=home,voice HomeFaxNumber 0x3a25 "
        "TEL;TYPE=home,fax MobileTelephoneNumber 0x3a1c TEL;TYPE=cell,voice PagerNumber 0x3a21 "
        "TEL;TYPE=pager CarTelephoneNumber 0x3a1e TEL;TYPE=car,voice "
        "BusinessAddress lid:0x801b LABEL;TYPE=work BusinessAddressStreet lid:0x8045 - "
        "BusinessAddressCity lid:0x8046 - BusinessAddressState lid:0x8047 - "
        "BusinessAddressPostalCode lid:0x8048 - BusinessAddressCountry lid:0x8049 - "
        "HomeAddress lid:0x801a LABEL;TYPE=home HomeAddressStreet 0x3a5d - HomeAddressCity 0x3a59 "
        "- "
        "HomeAddressState 0x3a5c - HomeAddressPostalCode 0x3a5b - HomeAddressCountry 0x3a5a - "
        "Email1Address lid:0x8083 - Email2Address lid:0x8093 - Email3Address lid:0x80a3 - "
        "BusinessHomePage 0x3a51 - WebPage lid:0x802b - IMAddress lid:0x8062 -");
    for (std::array<std::string, 3> f; in >> f[0] >> f[1] >> f[2];)
        fields.push_back(f);
    return fields;
}();
// The same for the fields a Standard Mode reading adds. The assistant's
// number sits in readpst's nested card, which it never closes.
const std::vector<std::array<std::string, 3>> kLaterFields = [] {
    std::vector<std::array<std::string, 3>> fields;
    std::istringstream in(
        "NickName 0x3a4f NICKNAME Home2TelephoneNumber 0x3a2f TEL;TYPE=home,voice "
        "Business2TelephoneNumber 0x3a1b TEL;TYPE=work,voice OtherTelephoneNumber 0x3a1f "
        "TEL;TYPE=msg OtherFaxNumber 0x3a23 TEL;TYPE=fax,pref CompanyMainTelephoneNumber 0x3a57 - "
        "ISDNNumber 0x3a2d TEL;TYPE=isdn RadioTelephoneNumber 0x3a1d TEL;TYPE=pcs "
        "CallbackTelephoneNumber 0x3a02 - TelexNumber 0x3a2c TEL;TYPE=bbs "
        "TTYTDDTelephoneNumber 0x3a4b - AssistantTelephoneNumber 0x3a2e - "
        "PrimaryTelephoneNumber 0x3a1a TEL;TYPE=phone,pref OtherAddress lid:0x801c "
        "LABEL;TYPE=postal OtherAddressStreet 0x3a63 - OtherAddressCity 0x3a5f - "
        "OtherAddressState 0x3a62 - OtherAddressPostalCode 0x3a61 - OtherAddressCountry 0x3a60 - "
        "PersonalHomePage 0x3a50 -");
    for (std::array<std::string, 3> f; in >> f[0] >> f[1] >> f[2];)
        fields.push_back(f);
    return fields;
}();
// Both lists.
const std::vector<std::array<std::string, 3>> kAllFields = [] {
    auto fields = kFields;
    fields.insert(fields.end(), kLaterFields.begin(), kLaterFields.end());
    return fields;
}();

// Runs a command, adding a failure unless it exits with 0; returns its output.
std::string Run(const std::string& command, const TempDir& work) {
    const int status = std::system((command + " > '" + work / "log" + "' 2>&1").c_str());
    EXPECT_EQ(status, 0) << command << "\n" << ReadFile(work / "log");
    return ReadFile(work / "log");
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t");
    return a == npos ? "" : s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

// A list of texts as the store keeps it: cut at commas, items trimmed, empty
// ones dropped, joined by ", ".
std::string ListOf(const std::string& text) {
    std::string out;
    std::istringstream items(text);
    for (std::string s; std::getline(items, s, ',');)
        if (!Trim(s).empty()) out += (out.empty() ? "" : ", ") + Trim(s);
    return out;
}

// "YYYY-MM-DD hh:mm" of an automation date; 0 is none.
std::string Time(double date) {
    const time_t t = static_cast<time_t>(std::round((date - 25569) * 86400));
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%F %R", std::gmtime(&t));
    return date ? buffer : "";
}

std::string Utf8(const std::string& utf16, size_t from = 0, size_t to = npos) {
    static const iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
    size_t left = std::min(to, utf16.size()) - std::min(from, utf16.size()), room = 2 * left;
    std::string out(room, '\0');
    char *in = const_cast<char*>(utf16.data()) + std::min(from, utf16.size()), *o = out.data();
    iconv(cd, &in, &left, &o, &room);
    return out.substr(0, out.size() - room);
}

// A value of the types the contacts use, as text: strings, multi-valued
// strings (count, offsets, strings) joined by ", ", times and numbers.
std::string Decode(unsigned long type, const std::string& b) {
    auto at = [&](size_t o, int n) {
        return b.size() < o + n ? 0 : velloquin::LoadLe(reinterpret_cast<const uint8_t*>(&b[o]), n);
    };
    std::string out = type == 0x1F ? Utf8(b) : "";
    for (size_t i = 0; type == 0x101F && i < at(0, 4); ++i)
        out +=
            (i ? ", " : "") + Utf8(b, at(4 + 4 * i, 4), i + 1 < at(0, 4) ? at(8 + 4 * i, 4) : npos);
    if (type == 0x40) out = Time(static_cast<double>(at(0, 8)) / 864e9 - 109205);
    return type == 0x0B || type == 0x03 ? std::to_string(at(0, type == 0x0B ? 1 : 4)) : out;
}

// pffexport -d's ItemValues.txt: per property "Entry type:", "Value type:",
// "Maps to entry type:" (a LID) or "Maps to entry:" (a name) for named ones,
// "Value:", lines "0x00000000: 46 00 75 00 ...  F.u." of 16 bytes with an
// extra space after the eighth, and an empty line.
std::map<std::string, std::string> ParseItemValues(const std::string& text) {
    std::map<std::string, std::string> item;
    std::istringstream in(text + "\n");
    std::string key;
    unsigned long type = 0;
    std::string value;
    for (std::string line; std::getline(in, line);) {
        const std::string v = Trim(line.substr(line.find(':') + 1));
        if (line.rfind("Entry type:", 0) == 0) key = "0x" + v.substr(v.size() - 4);
        if (line.rfind("Maps to entry type:", 0) == 0) key = "lid:0x" + v.substr(v.size() - 4);
        if (line.rfind("Maps to entry:", 0) == 0) key = "name:" + v;
        if (line.rfind("Value type:", 0) == 0) type = std::stoul(v, nullptr, 16), value.clear();
        for (size_t i = 0, p = 12; line.rfind("0x", 0) == 0 && i < 16;
             ++i, p = 12 + 3 * i + (i > 7))
            if (p + 2 <= line.size() && std::isxdigit(static_cast<unsigned char>(line[p])))
                value += static_cast<char>(std::stoul(line.substr(p, 2), nullptr, 16));
        if (line.empty() && !key.empty()) item[key] = Decode(type, value), key.clear();
    }
    return item;
}

// readpst's vCards: each line's value unescaped, a birthday without the
// time readpst adds. The assistant comes as a nested card that readpst never
// closes: "AGENT:BEGIN:VCARD", then its FN and TEL (as "AGENT", "AGENT-TEL").
std::vector<std::multimap<std::string, std::string>> ParseVCards(const std::string& text) {
    std::vector<std::multimap<std::string, std::string>> cards;
    std::istringstream in(text);
    bool agent = false;
    for (std::string line; std::getline(in, line);) {
        const size_t colon = line.find(':');
        if (line == "BEGIN:VCARD") cards.emplace_back();
        if (cards.empty() || colon == npos || line == "BEGIN:VCARD" || line == "END:VCARD")
            continue;
        if (line == "AGENT:BEGIN:VCARD" && (agent = true)) continue;
        const std::string name = line.substr(0, colon);
        std::string v;
        for (size_t i = colon + 1; i < std::min(line.size(), name == "BDAY" ? colon + 11 : npos);
             ++i)
            if (line[i] == '\\' && i + 1 < line.size())
                v += line[++i] == 'n' ? '\n' : line[i];
            else if (line[i] != '\r')
                v += line[i];
        agent = agent && (name == "FN" || name == "TEL");
        cards.back().emplace(!agent ? name : name == "FN" ? "AGENT" : "AGENT-TEL", v);
    }
    return cards;
}

// pst-extractor through tools/node/dump-contacts.js, under a time limit
// that grows with the store: a reader that loops fails the test instead of
// hanging it.
std::vector<std::map<std::string, std::string>> ReadExtracted(const std::string& pst,
                                                              const TempDir& work) {
    const std::string node = PSTCHECK_NODE_DIR;
    if (!fs::exists(node + "/node_modules/pst-extractor")) {
        ADD_FAILURE() << "pst-extractor is not installed in " << node
                      << "/node_modules: run tools/install-deps.sh";
        return {};
    }
    const auto limit = 60 + fs::file_size(pst) / (1 << 20) * 3;
    const std::string out = work / "extractor";
    const int status =
        std::system(("timeout -k 5 " + std::to_string(limit) + " node '" + node +
                     "/dump-contacts.js' '" + pst + "' '" + out + "' > '" + work / "log" + "' 2>&1")
                        .c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 124) {
        ADD_FAILURE() << "pst-extractor did not finish reading " << pst << " within " << limit
                      << " s";
        return {};
    }
    EXPECT_EQ(status, 0) << "pst-extractor:\n" << ReadFile(work / "log");
    std::vector<std::map<std::string, std::string>> contacts;
    std::set<std::string> folders;
    std::istringstream in(ReadFile(out + "/contacts.txt"));
    for (std::string line; std::getline(in, line);) {
        const size_t space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value = space == npos ? "" : line.substr(space + 1);
        if (key == "folder") folders.insert(FromHex(value));
        if (key == "contact") contacts.emplace_back();
        if (contacts.empty() || key == "contact" || key == "end" || key == "folder") continue;
        contacts.back()[key] = key == "picture" ? ReadFile(out + "/" + value) : FromHex(value);
    }
    EXPECT_TRUE(folders.count("/Top of Personal Folders/Contacts")) << "pst-extractor";
    return contacts;
}

// The store's form of a contact: each address group as the writer settles
// it (a one-line whole address is the street when there is no street part;
// the whole address is composed of the parts, street / "City, State Zip" /
// country), and the name a contact without one is shown by.
TestContact Settled(TestContact c, std::string& display) {
    for (const std::string a : {"BusinessAddress", "HomeAddress", "OtherAddress"}) {
        std::string &whole = c.text[a], &street = c.text[a + "Street"];
        if (street.empty() && whole.find_first_of("\r\n") == npos) street = whole;
        std::string cityLine = c.text[a + "City"];
        for (const auto& [part, sep] :
             {std::pair<std::string, std::string>{"State", ", "}, {"PostalCode", " "}})
            if (!c.text[a + part].empty())
                cityLine += (cityLine.empty() ? "" : sep) + c.text[a + part];
        std::string composed;
        for (const std::string& line : {street, cityLine, c.text[a + "Country"]})
            if (!line.empty()) composed += (composed.empty() ? "" : "\r\n") + line;
        if (!composed.empty() && (!street.empty() || whole.empty())) whole = composed;
    }
    display = c.text["FullName"];
    for (const char* part : {"Title", "FirstName", "MiddleName", "LastName", "Suffix"})
        if (c.text["FullName"].empty() && !c.text[part].empty())
            display += (display.empty() ? "" : " ") + c.text[part];
    for (const char* name : {"CompanyName",
                             "Email1Address",
                             "Email2Address",
                             "Email3Address",
                             "IMAddress",
                             "MobileTelephoneNumber",
                             "BusinessTelephoneNumber",
                             "HomeTelephoneNumber",
                             "CarTelephoneNumber",
                             "PagerNumber",
                             "BusinessFaxNumber",
                             "HomeFaxNumber",
                             "NickName",
                             "PrimaryTelephoneNumber",
                             "Business2TelephoneNumber",
                             "Home2TelephoneNumber",
                             "CompanyMainTelephoneNumber",
                             "OtherTelephoneNumber",
                             "AssistantTelephoneNumber",
                             "CallbackTelephoneNumber",
                             "RadioTelephoneNumber",
                             "ISDNNumber",
                             "TTYTDDTelephoneNumber",
                             "TelexNumber",
                             "OtherFaxNumber"})
        if (display.empty()) display = c.text[name];
    return c;
}

void CompareContact(const TestContact& written, std::map<std::string, std::string> item,
                    const std::multimap<std::string, std::string>& card,
                    std::map<std::string, std::string> extracted) {
    std::string display;
    TestContact c = Settled(written, display);
    // pffexport: every text, the categories, both dates (UTC: a time on that
    // day; the named property: its local midnight) and the picture.
    std::map<std::string, std::string> want, got;
    for (const auto& [name, key, line] : kAllFields)
        want[key] = c.text[name];
    want["name:Keywords"] = ListOf(c.text["Categories"]);
    want["0x3a58"] = ListOf(c.text["Children"]);
    want["0x3a42"] = Time(c.birthday).substr(0, 10),
    want["lid:0x80de"] = Time(std::floor(c.birthday));
    want["0x3a41"] = Time(c.anniversary).substr(0, 10),
    want["lid:0x80df"] = Time(std::floor(c.anniversary));
    want["0x001a"] = "IPM.Contact";
    want["lid:0x8015"] = c.picture.empty() ? "" : "1"; // has a picture
    want["0x0e07"] = c.picture.empty() ? "1" : "17";   // message flags: read, has attachments
    // the name shown, as display name, subject and file-as
    std::string fileAs = c.text["LastName"], given = c.text["FirstName"];
    if (!c.text["MiddleName"].empty()) given += (given.empty() ? "" : " ") + c.text["MiddleName"];
    if (!given.empty()) fileAs += (fileAs.empty() ? "" : ", ") + given;
    for (const std::string& next : {c.text["FullName"], c.text["CompanyName"], display})
        if (fileAs.empty()) fileAs = next;
    want["0x3001"] = want["0x0037"] = display;
    want["lid:0x8005"] = fileAs;
    // the mailing address: the business address, else the home address, else the other
    const std::string mail = !c.text["BusinessAddress"].empty() ? "BusinessAddress"
                             : !c.text["HomeAddress"].empty()   ? "HomeAddress"
                                                                : "OtherAddress";
    want["lid:0x8022"] = c.text[mail].empty()        ? ""
                         : mail == "BusinessAddress" ? "2"
                         : mail == "HomeAddress"     ? "1"
                                                     : "3";
    want["0x3a15"] = c.text[mail];
    want["0x3a29"] = c.text[mail].empty() ? "" : c.text[mail + "Street"];
    want["0x3a27"] = c.text[mail].empty() ? "" : c.text[mail + "City"];
    want["0x3a26"] = c.text[mail].empty() ? "" : c.text[mail + "Country"];
    // the address-book arrays: e-mail 1 to 3, business fax (3), home fax (4), other fax (5)
    uint32_t arrayType = 0, bit = 1;
    for (const char* name : {"Email1Address", "Email2Address", "Email3Address", "BusinessFaxNumber",
                             "HomeFaxNumber", "OtherFaxNumber"})
        arrayType |= c.text[name].empty() ? 0 : bit, bit <<= 1;
    want["lid:0x8029"] = arrayType ? std::to_string(arrayType) : "";
    for (const auto& [key, name] :
         {std::pair<std::string, const char*>{"lid:0x80b3", "BusinessFaxNumber"},
          {"lid:0x80c3", "HomeFaxNumber"},
          {"lid:0x80d3", "OtherFaxNumber"}})
        want[key] = c.text[name].empty() ? "" : display + "@" + c.text[name];
    for (const auto& [key, value] : want)
        got[key] = key == "0x3a42" || key == "0x3a41" ? item[key].substr(0, 10) : item[key];
    EXPECT_EQ(got, want) << "pffexport";
    EXPECT_TRUE(item["picture"] == c.picture) << "picture of " << c.picture.size() << " bytes";

    // pst-extractor: every text by its object-model name, the subject, the
    // categories, both dates (UTC) and the picture
    std::map<std::string, std::string> wantX;
    for (const auto& [name, key, line] : kAllFields)
        wantX[name] = c.text[name];
    wantX["Children"] = want["0x3a58"];
    wantX["FullName"] = wantX["Subject"] = display;
    wantX["FileAs"] = fileAs;
    wantX["Categories"] = want["name:Keywords"];
    wantX["Birthday"] = Time(c.birthday).substr(0, 10);
    wantX["Anniversary"] = Time(c.anniversary).substr(0, 10);
    wantX["MessageClass"] = "IPM.Contact";
    for (const auto& [key, value] : wantX)
        EXPECT_EQ(key == "Birthday" || key == "Anniversary" ? extracted[key].substr(0, 10)
                                                            : extracted[key],
                  value)
            << "pst-extractor: " << key;
    EXPECT_TRUE(extracted["picture"] == c.picture)
        << "pst-extractor: picture of " << c.picture.size() << " bytes";

    // readpst: its vCard's lines
    auto t = [&](const std::string& name) { return std::erase(c.text[name], '\r'), c.text[name]; };
    std::multimap<std::string, std::string> wantCard{{"N", t("LastName") + ";" + t("FirstName") +
                                                               ";" + t("MiddleName") + ";" +
                                                               t("Title") + ";" + t("Suffix")},
                                                     {"VERSION", "3.0"},
                                                     {"BDAY", Time(c.birthday).substr(0, 10)}};
    for (const auto& [name, key, line] : kAllFields)
        wantCard.emplace(name == "AssistantTelephoneNumber" ? "AGENT-TEL" : line, t(name));
    for (const char* e : {"Email1Address", "Email2Address", "Email3Address"})
        wantCard.emplace("EMAIL", t(e));
    for (const std::string a : {"HomeAddress", "BusinessAddress", "OtherAddress"})
        wantCard.emplace(a[0] == 'H'   ? "ADR;TYPE=home"
                         : a[0] == 'B' ? "ADR;TYPE=work"
                                       : "ADR;TYPE=postal",
                         t(a).empty()
                             ? ""
                             : ";;" + t(a + "Street") + ";" + t(a + "City") + ";" + t(a + "State") +
                                   ";" + t(a + "PostalCode") + ";" + t(a + "Country"));
    auto gotCard = card;
    if (t("LastName").empty() || t("FirstName").empty()) // else readpst makes its own up
        gotCard.erase("FN");
    else
        wantCard.emplace("FN", t("LastName") + ", " + Trim(t("FirstName") + " " + t("MiddleName")));
    std::erase_if(wantCard,
                  [](const auto& line) { return line.second.empty() || line.first == "-"; });
    EXPECT_EQ(gotCard, wantCard) << "readpst";
}

std::string RandomText(std::mt19937& rng, size_t maxLength) {
    static const std::vector<std::string> pieces = {
        "a", "b", "Z",  "7",  "-", ".", "@", " ",  ",", ";", "\\", "é", "ü", "ß", "Ж",
        "ы", "Ё", "中", "文", "😀", "Ω", "ñ", "O'", "x", "q", "M",  "&", "(", ")", "+"};
    std::string s;
    for (size_t n = std::uniform_int_distribution<size_t>(1, maxLength)(rng); n > 0; --n)
        s += pieces[std::uniform_int_distribution<size_t>(0, pieces.size() - 1)(rng)];
    const std::string t = Trim(s); // leading and trailing blanks are another test's business
    return t.empty() ? "x" : t;
}

} // namespace

void WriteStore(const std::string& pst, const std::vector<TestContact>& contacts,
                const TempDir& scratch) {
    auto session = outlook::CreateRdoObject("Redemption.RDOSession");
    session->Logon();
    auto items = session->Stores()->AddPSTStore(pst, 1, "Test")->GetDefaultFolder(10)->Items();
    for (const TestContact& c : contacts) {
        auto item = items->Add(2);
        for (const auto& [name, value] : c.text)
            item->SetProperty(name, value);
        if (c.birthday) item->SetProperty("Birthday", outlook::DateValue{c.birthday});
        if (c.anniversary) item->SetProperty("Anniversary", outlook::DateValue{c.anniversary});
        if (!c.picture.empty()) item->AddPicture(WriteFile(scratch / "picture", c.picture));
        item->Save();
    }
    session->Logoff();
}

void SaveContact(pst::PstStore& store, const TestContact& c, const std::string& pictureFile) {
    pst::ContactFields fields;
    for (const auto& [name, value] : c.text)
        fields.texts[pst::FindContactField(name).value().index] = value;
    fields[pst::ContactDate::Birthday] = c.birthday;
    fields[pst::ContactDate::Anniversary] = c.anniversary;
    std::optional<pst::StoredPicture> picture;
    if (!c.picture.empty()) picture = store.StorePicture(WriteFile(pictureFile, c.picture));
    store.SaveContact(fields, picture ? &*picture : nullptr);
}

ReadBack ReadStoreBack(const std::string& pst, const TempDir& work, bool killed) {
    const auto verified = pstverify::VerifyPstFile(pst, {killed, killed, true});
    // our writer leaves nothing for a note either
    EXPECT_TRUE(verified.Clean()) << pst << ":\n" << verified.Describe();
    Run("pffinfo '" + pst + "'", work);
    // the text export, with every item's properties dumped as well
    Run("pffexport -q -d -f text -m items -t '" + work / "pff" + "' '" + pst + "'", work);
    fs::create_directories(work / "readpst");
    Run("readpst -cv -j0 -o '" + work / "readpst" + "' '" + pst + "'", work);
    ReadBack back{ParseVCards(ReadFile(work / "readpst/Contacts.contacts")), {}, {}};
    std::set<std::string> folders;
    std::set<fs::path> items; // pffexport's items, Contact00001... in row order
    const fs::path root = work / "pff.export";
    for (auto it = fs::recursive_directory_iterator(root); it != decltype(it)(); ++it)
        if (it->is_directory() && it.depth() < 2)
            folders.insert(fs::relative(*it, root));
        else if (it->is_directory() && it.depth() == 2)
            items.insert(*it); // items of Contacts
    EXPECT_EQ(folders,
              (std::set<std::string>{"SPAM Search Folder 2", "Search Root",
                                     "Top of Personal Folders", "Top of Personal Folders/Contacts",
                                     "Top of Personal Folders/Deleted Items"}));
    for (const fs::path& item : items) {
        back.items.push_back(ParseItemValues(ReadFile(item / "ItemValues.txt")));
        back.items.back()["picture"] = ReadFile(item / "Attachments/1_ContactPicture.jpg");
    }
    back.extracted = ReadExtracted(pst, work);
    return back;
}

void ExpectSameContacts(const std::vector<TestContact>& written, const ReadBack& back) {
    ASSERT_EQ(back.items.size(), written.size()) << "pffexport";
    ASSERT_EQ(back.vcards.size(), written.size()) << "readpst";
    ASSERT_EQ(back.extracted.size(), written.size()) << "pst-extractor";
    for (size_t i = 0; i < written.size() && !(::testing::Test::HasFailure() && i > 20); ++i) {
        SCOPED_TRACE("contact " + std::to_string(i));
        CompareContact(written[i], back.items[i], back.vcards[i], back.extracted[i]);
    }
}

std::vector<TestContact> RandomContacts(size_t n, uint32_t seed,
                                        const RandomContactOptions& options) {
    std::mt19937 rng(seed);
    std::vector<TestContact> contacts(n);
    for (TestContact& c : contacts) {
        std::bernoulli_distribution field(options.fieldProbability),
            picture(options.pictureProbability), longBody(0.1);
        for (const auto& [name, key, line] : options.everyField ? kAllFields : kFields)
            if (field(rng))
                c.text[name] = name != "Body"
                                   ? RandomText(rng, 30)
                                   : RandomText(rng, longBody(rng) ? 5000 : 60) + "\nline 2";
        // readpst skips a contact with nothing but these
        if (std::all_of(c.text.begin(), c.text.end(), [](const auto& t) {
                return std::string("Body IMAddress WebPage").find(t.first) != npos;
            }))
            c.text["LastName"] = RandomText(rng, 30);
        if (field(rng)) c.text["Categories"] = RandomText(rng, 8) + ", " + RandomText(rng, 8);
        if (options.everyField && field(rng))
            c.text["Children"] = RandomText(rng, 8) + ", " + RandomText(rng, 8);
        std::uniform_int_distribution<int> day(2, 60000);
        c.birthday = field(rng) ? day(rng) : 0;
        c.anniversary = field(rng) ? day(rng) : 0;
        if (picture(rng))
            c.picture =
                PictureBytes(std::uniform_int_distribution<size_t>(1, options.maxPicture)(rng),
                             static_cast<uint32_t>(rng()));
    }
    return contacts;
}

std::string PictureBytes(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string b(size, '\xFF'); // the start of a JPEG file, as most backups hold
    for (size_t i = 1; i < size; ++i)
        b[i] = static_cast<char>(rng());
    return b;
}

} // namespace velloquin::pstcheck
