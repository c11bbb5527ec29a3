#include "StoreTesting.h"

#include "PstVerifier.h"
#include "outlook/Rdo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace velloquin::pstcheck {

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "pstcheck-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error("cannot create a temporary folder");
    path_ = buffer.data();
}

TempDir::~TempDir() {
    if (!std::getenv("PSTCHECK_KEEP")) {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
}

std::string Quote(const std::string& path) {
    std::string out = "'";
    for (char c : path)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

CommandResult RunCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteStore(const std::string& path, const std::vector<TestContact>& contacts,
                const std::string& scratchDir, const std::string& displayName) {
    using namespace velloquin::outlook;
    auto session = CreateRdoObject("Redemption.RDOSession");
    session->Logon();
    auto store = session->Stores()->AddPSTStore(path, 1, displayName);
    auto items = store->GetDefaultFolder(10)->Items();
    for (size_t i = 0; i < contacts.size(); ++i) {
        const TestContact& c = contacts[i];
        auto item = items->Add(2);
        for (const auto& [name, value] : c.text)
            item->SetProperty(name, value);
        if (c.birthday != 0) item->SetProperty("Birthday", DateValue{c.birthday});
        if (c.anniversary != 0) item->SetProperty("Anniversary", DateValue{c.anniversary});
        if (!c.picture.empty()) {
            const std::string picture = scratchDir + "/" + std::to_string(i) + ".gif";
            std::ofstream(picture, std::ios::binary)
                .write(reinterpret_cast<const char*>(c.picture.data()),
                       static_cast<std::streamsize>(c.picture.size()));
            item->AddPicture(picture);
            fs::remove(picture);
        }
        item->Save();
    }
    session->Logoff();
}

// ---- readpst's vCards ------------------------------------------------------

std::string UnescapeVCard(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char c = value[++i];
            out += (c == 'n' || c == 'N') ? '\n' : c;
        } else {
            out += value[i];
        }
    }
    return out;
}

static std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::vector<VCard> ParseVCards(const std::string& text) {
    std::vector<VCard> cards;
    std::istringstream in(text);
    std::string line;
    bool inCard = false, agentPending = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "BEGIN:VCARD") {
            cards.emplace_back();
            inCard = true;
            continue;
        }
        if (!inCard) continue;
        if (line == "END:VCARD") {
            inCard = false;
            continue;
        }
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string head = line.substr(0, colon);
        const std::string value = line.substr(colon + 1);
        const size_t semi = head.find(';');
        std::string name = Upper(head.substr(0, semi));
        const std::string params = semi == std::string::npos ? "" : Upper(head.substr(semi + 1));
        // readpst writes the assistant as a nested card that it never closes:
        // "AGENT:BEGIN:VCARD" followed by the assistant's FN line.
        if (name == "AGENT" && value == "BEGIN:VCARD") {
            agentPending = true;
            continue;
        }
        if (agentPending && name == "FN") {
            name = "AGENT";
            agentPending = false;
        }
        cards.back().lines.emplace(name, VCardLine{params, value});
    }
    return cards;
}

std::optional<std::string> VCard::Get(const std::string& name, const std::string& params) const {
    auto [begin, end] = lines.equal_range(name);
    for (auto it = begin; it != end; ++it)
        if (it->second.params.find(Upper(params)) != std::string::npos)
            return UnescapeVCard(it->second.value);
    return std::nullopt;
}

std::vector<std::string> VCard::Components(const std::string& name,
                                           const std::string& params) const {
    auto [begin, end] = lines.equal_range(name);
    for (auto it = begin; it != end; ++it) {
        if (it->second.params.find(Upper(params)) == std::string::npos) continue;
        std::vector<std::string> parts{""};
        const std::string& v = it->second.value;
        for (size_t i = 0; i < v.size(); ++i) {
            if (v[i] == '\\' && i + 1 < v.size())
                parts.back() += v.substr(i++, 2);
            else if (v[i] == ';')
                parts.emplace_back();
            else
                parts.back() += v[i];
        }
        for (auto& p : parts)
            p = UnescapeVCard(p);
        return parts;
    }
    return {};
}

// ---- pffexport -------------------------------------------------------------

std::string Utf16ToUtf8(const std::vector<uint8_t>& bytes) {
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t c = bytes[i] | (bytes[i + 1] << 8);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
            const uint32_t low = bytes[i + 2] | (bytes[i + 3] << 8);
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

static std::string FieldValue(const std::string& line) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) return "";
    size_t start = colon + 1;
    while (start < line.size() && (line[start] == '\t' || line[start] == ' '))
        ++start;
    return line.substr(start);
}

static bool IsHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// ItemValues.txt: blocks of "Entry type:", "Value type:", optional "Maps to
// entry type:" / "Maps to entry:", then "Value:" and hex dump lines
// "0x00000000: 46 00 75 00 ...  ascii" (16 bytes a line, an extra space
// after the eighth).
static std::map<std::string, PffProperty> ParseItemValues(const std::string& text) {
    std::map<std::string, PffProperty> props;
    std::istringstream in(text);
    std::string line, key;
    PffProperty current;
    bool inValue = false;
    auto flush = [&] {
        if (!key.empty()) props[key] = current;
        key.clear();
        current = {};
        inValue = false;
    };
    while (std::getline(in, line)) {
        if (line.rfind("Entry type:", 0) == 0) {
            flush();
            std::ostringstream k;
            k << "0x" << std::hex << (std::stoul(FieldValue(line), nullptr, 16) & 0xFFFF);
            key = k.str();
            if (key.size() < 6) key.insert(2, 6 - key.size(), '0');
        } else if (line.rfind("Value type:", 0) == 0) {
            current.valueType = static_cast<uint32_t>(std::stoul(FieldValue(line), nullptr, 16));
        } else if (line.rfind("Maps to entry type:", 0) == 0) {
            std::ostringstream k;
            k << "lid:0x" << std::hex << std::stoul(FieldValue(line), nullptr, 16);
            key = k.str();
        } else if (line.rfind("Maps to entry:", 0) == 0) {
            key = "name:" + FieldValue(line);
        } else if (line.rfind("Value:", 0) == 0) {
            inValue = true;
        } else if (inValue && line.rfind("0x", 0) == 0 && line.size() > 12) {
            for (size_t i = 0; i < 16; ++i) {
                const size_t pos = 12 + 3 * i + (i >= 8 ? 1 : 0);
                if (pos + 2 > line.size() || !IsHex(line[pos]) || !IsHex(line[pos + 1])) break;
                current.bytes.push_back(
                    static_cast<uint8_t>(std::stoul(line.substr(pos, 2), nullptr, 16)));
            }
        } else if (line.empty()) {
            inValue = false;
        }
    }
    flush();
    return props;
}

std::vector<PffItem> ReadPffItems(const std::string& folderDir) {
    std::vector<std::string> dirs;
    if (fs::is_directory(folderDir))
        for (const auto& e : fs::directory_iterator(folderDir))
            if (e.is_directory()) dirs.push_back(e.path().filename().string());
    std::sort(dirs.begin(), dirs.end());
    std::vector<PffItem> items;
    for (const auto& d : dirs) {
        PffItem item;
        item.directory = folderDir + "/" + d;
        item.properties = ParseItemValues(ReadText(item.directory + "/ItemValues.txt"));
        const std::string picture = item.directory + "/Attachments/1_ContactPicture.jpg";
        if (fs::exists(picture)) {
            item.hasPicture = true;
            item.picture = ReadBytes(picture);
        }
        items.push_back(std::move(item));
    }
    return items;
}

// pffexport writes each item as a folder "ContactNNNNN" (with its
// attachments below it); those are not folders of the store.
static bool InsideItem(const std::string& path) {
    for (const auto& part : fs::path(path)) {
        const std::string name = part.string();
        if (name.size() > 7 && name.rfind("Contact", 0) == 0 &&
            std::all_of(name.begin() + 7, name.end(),
                        [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
            return true;
    }
    return false;
}

ReadBack ReadStoreBack(const std::string& pstPath, const std::string& workDir) {
    ReadBack back;
    const CommandResult info = RunCommand("pffinfo " + Quote(pstPath));
    back.pffinfo = info.output;
    EXPECT_EQ(info.exitCode, 0) << info.output;
    EXPECT_NE(info.output.find("Encryption type:\tnone"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("Subtree, Wastbox, Finder"), std::string::npos) << info.output;

    const std::string text = workDir + "/text", debug = workDir + "/debug",
                      rp = workDir + "/readpst";
    const CommandResult textExport =
        RunCommand("pffexport -q -m items -f text -t " + Quote(text) + " " + Quote(pstPath));
    EXPECT_EQ(textExport.exitCode, 0) << textExport.output;
    const CommandResult debugExport =
        RunCommand("pffexport -q -d -m items -t " + Quote(debug) + " " + Quote(pstPath));
    back.pffexportLog = textExport.output + debugExport.output;
    EXPECT_EQ(debugExport.exitCode, 0) << debugExport.output;

    const std::string root = text + ".export";
    if (fs::is_directory(root))
        for (const auto& e : fs::recursive_directory_iterator(root))
            if (e.is_directory()) {
                const std::string folder = fs::relative(e.path(), root).string();
                if (!InsideItem(folder)) back.pffFolders.push_back(folder);
            }
    std::sort(back.pffFolders.begin(), back.pffFolders.end());

    back.items = ReadPffItems(debug + ".export/Top of Personal Folders/Contacts");
    // The picture bytes come from the plain export; its item directories
    // carry the same numbers.
    const auto plain = ReadPffItems(text + ".export/Top of Personal Folders/Contacts");
    EXPECT_EQ(plain.size(), back.items.size());
    for (size_t i = 0; i < std::min(plain.size(), back.items.size()); ++i) {
        if (plain[i].hasPicture != back.items[i].hasPicture ||
            plain[i].picture != back.items[i].picture)
            ADD_FAILURE() << "the two pffexport runs disagree on the picture of item " << i;
        back.items[i].picture = plain[i].picture;
    }

    fs::create_directories(rp);
    const CommandResult readpst =
        RunCommand("readpst -cv -j0 -o " + Quote(rp) + " " + Quote(pstPath));
    back.readpstLog = readpst.output;
    EXPECT_EQ(readpst.exitCode, 0) << readpst.output;
    EXPECT_NE(readpst.output.find("Processing Folder \"Contacts\""), std::string::npos)
        << readpst.output;
    back.vcards = ParseVCards(ReadText(rp + "/Contacts.contacts"));
    return back;
}

// ---- comparing -------------------------------------------------------------

namespace {

// Where each object-model text lands: a property tag ("0x3a06") or a
// named property of the address set ("lid:0x8083").
const std::vector<std::pair<std::string, std::string>>& TextFieldKeys() {
    static const std::vector<std::pair<std::string, std::string>> keys = {
        {"FirstName", "0x3a06"},
        {"MiddleName", "0x3a44"},
        {"LastName", "0x3a11"},
        {"FullName", "0x3001"},
        {"Title", "0x3a45"},
        {"Suffix", "0x3a05"},
        {"JobTitle", "0x3a17"},
        {"CompanyName", "0x3a16"},
        {"Department", "0x3a18"},
        {"OfficeLocation", "0x3a19"},
        {"Profession", "0x3a46"},
        {"ManagerName", "0x3a4e"},
        {"AssistantName", "0x3a30"},
        {"Spouse", "0x3a48"},
        {"Body", "0x1000"},
        {"BusinessTelephoneNumber", "0x3a08"},
        {"BusinessFaxNumber", "0x3a24"},
        {"HomeTelephoneNumber", "0x3a09"},
        {"HomeFaxNumber", "0x3a25"},
        {"MobileTelephoneNumber", "0x3a1c"},
        {"PagerNumber", "0x3a21"},
        {"CarTelephoneNumber", "0x3a1e"},
        {"BusinessAddress", "lid:0x801b"},
        {"BusinessAddressStreet", "lid:0x8045"},
        {"BusinessAddressCity", "lid:0x8046"},
        {"BusinessAddressState", "lid:0x8047"},
        {"BusinessAddressPostalCode", "lid:0x8048"},
        {"BusinessAddressCountry", "lid:0x8049"},
        {"HomeAddress", "lid:0x801a"},
        {"HomeAddressStreet", "0x3a5d"},
        {"HomeAddressCity", "0x3a59"},
        {"HomeAddressState", "0x3a5c"},
        {"HomeAddressPostalCode", "0x3a5b"},
        {"HomeAddressCountry", "0x3a5a"},
        {"Email1Address", "lid:0x8083"},
        {"Email2Address", "lid:0x8093"},
        {"Email3Address", "lid:0x80a3"},
        {"BusinessHomePage", "0x3a51"},
        {"WebPage", "lid:0x802b"},
        {"IMAddress", "lid:0x8062"},
    };
    return keys;
}

std::string Text(const TestContact& c, const std::string& name) {
    auto it = c.text.find(name);
    return it == c.text.end() ? "" : it->second;
}

std::string NoCr(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
    return s;
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

// "YYYY-MM-DD" of an automation date.
std::string DateText(double automationDate) {
    using namespace std::chrono;
    const sys_days day =
        sys_days(year{1899} / December / 30) + days(static_cast<int>(std::floor(automationDate)));
    const year_month_day ymd(day);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return buffer;
}

uint64_t U64(const std::vector<uint8_t>& b) {
    uint64_t v = 0;
    for (size_t i = std::min<size_t>(8, b.size()); i-- > 0;)
        v = (v << 8) | b[i];
    return v;
}

// Automation date of a FILETIME.
double FromFileTime(uint64_t ticks) {
    return static_cast<double>(ticks) / 864000000000.0 - 109205.0;
}

std::vector<std::string> MultiString(const std::vector<uint8_t>& b) {
    std::vector<std::string> out;
    if (b.size() < 4) return out;
    const uint32_t n = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    auto at = [&](size_t o) {
        return static_cast<size_t>(b[o] | (b[o + 1] << 8) | (b[o + 2] << 16) |
                                   (static_cast<uint32_t>(b[o + 3]) << 24));
    };
    if (b.size() < 4 + 4 * size_t{n}) return out;
    for (uint32_t i = 0; i < n; ++i) {
        const size_t start = at(4 + 4 * i), end = i + 1 < n ? at(8 + 4 * i) : b.size();
        if (start > end || end > b.size()) return {};
        out.push_back(Utf16ToUtf8(std::vector<uint8_t>(b.begin() + start, b.begin() + end)));
    }
    return out;
}

std::vector<std::string> SplitCategories(const std::string& s) {
    std::vector<std::string> out;
    std::string item;
    std::istringstream in(s);
    while (std::getline(in, item, ','))
        if (!Trim(item).empty()) out.push_back(Trim(item));
    return out;
}

void CompareDebugItem(const TestContact& c, const PffItem& item, size_t i) {
    const auto& p = item.properties;
    for (const auto& [name, key] : TextFieldKeys()) {
        const std::string want = Text(c, name);
        auto it = p.find(key);
        if (want.empty()) {
            // The display name is made from the other parts when not given.
            if (key != "0x3001") {
                EXPECT_TRUE(it == p.end() || it->second.bytes.empty())
                    << "item " << i << ": " << name << " written empty but stored";
            }
            continue;
        }
        if (it == p.end()) {
            ADD_FAILURE() << "item " << i << ": " << name << " (" << key << ") missing";
            continue;
        }
        EXPECT_EQ(it->second.valueType, 0x1Fu) << "item " << i << ": " << name;
        EXPECT_EQ(Utf16ToUtf8(it->second.bytes), want) << "item " << i << ": " << name;
    }
    const std::string categories = Text(c, "Categories");
    auto keywords = p.find("name:Keywords");
    if (SplitCategories(categories).empty()) {
        EXPECT_TRUE(keywords == p.end()) << "item " << i << ": categories stored";
    } else if (keywords == p.end()) {
        ADD_FAILURE() << "item " << i << ": categories missing";
    } else {
        EXPECT_EQ(keywords->second.valueType, 0x101Fu);
        EXPECT_EQ(MultiString(keywords->second.bytes), SplitCategories(categories)) << "item " << i;
    }
    const struct {
        double date;
        const char* tag;
        const char* local;
    } dates[] = {{c.birthday, "0x3a42", "lid:0x80de"}, {c.anniversary, "0x3a41", "lid:0x80df"}};
    for (const auto& d : dates) {
        auto utc = p.find(d.tag), local = p.find(d.local);
        if (d.date == 0) {
            EXPECT_TRUE(utc == p.end() && local == p.end()) << "item " << i << ": date stored";
            continue;
        }
        if (utc == p.end() || local == p.end()) {
            ADD_FAILURE() << "item " << i << ": date " << d.tag << " missing";
            continue;
        }
        EXPECT_EQ(DateText(FromFileTime(U64(utc->second.bytes))), DateText(d.date))
            << "item " << i << " " << d.tag;
        EXPECT_EQ(FromFileTime(U64(local->second.bytes)), std::floor(d.date))
            << "item " << i << " " << d.local << " is not the local midnight";
    }
    EXPECT_EQ(Utf16ToUtf8(p.count("0x001a") ? p.at("0x001a").bytes : std::vector<uint8_t>{}),
              "IPM.Contact")
        << "item " << i;
    const bool hasPicture = !c.picture.empty();
    EXPECT_EQ(item.hasPicture, hasPicture) << "item " << i;
    if (hasPicture && item.picture != c.picture)
        ADD_FAILURE() << "item " << i << ": picture of " << c.picture.size()
                      << " bytes exported as " << item.picture.size() << " different bytes";
    auto flag = p.find("lid:0x8015");
    EXPECT_EQ(flag != p.end() && !flag->second.bytes.empty() && flag->second.bytes[0] == 1,
              hasPicture)
        << "item " << i << ": PidLidHasPicture";
}

void ExpectLine(const VCard& v, const std::string& name, const std::string& params,
                const std::string& want, size_t i) {
    auto got = v.Get(name, params);
    if (want.empty()) {
        EXPECT_FALSE(got.has_value()) << "card " << i << ": unexpected " << name << ";" << params;
    } else {
        EXPECT_EQ(NoCr(got.value_or("<missing>")), NoCr(want))
            << "card " << i << ": " << name << ";" << params;
    }
}

void CompareVCard(const TestContact& c, const VCard& v, size_t i) {
    const std::vector<std::string> n = v.Components("N");
    const std::vector<std::string> wantN = {Text(c, "LastName"), Text(c, "FirstName"),
                                            Text(c, "MiddleName"), Text(c, "Title"),
                                            Text(c, "Suffix")};
    EXPECT_EQ(n, wantN) << "card " << i << ": N";
    if (!Text(c, "LastName").empty() && !Text(c, "FirstName").empty()) {
        std::string fileAs = Text(c, "LastName") + ", " + Text(c, "FirstName");
        if (!Text(c, "MiddleName").empty()) fileAs += " " + Text(c, "MiddleName");
        EXPECT_EQ(v.Get("FN").value_or(""), fileAs) << "card " << i << ": FN";
    }
    std::vector<std::string> emails, wantEmails;
    auto [begin, end] = v.lines.equal_range("EMAIL");
    for (auto it = begin; it != end; ++it)
        emails.push_back(UnescapeVCard(it->second.value));
    for (const char* e : {"Email1Address", "Email2Address", "Email3Address"})
        if (!Text(c, e).empty()) wantEmails.push_back(Text(c, e));
    EXPECT_EQ(emails, wantEmails) << "card " << i << ": EMAIL";
    ExpectLine(v, "TEL", "work,fax", Text(c, "BusinessFaxNumber"), i);
    ExpectLine(v, "TEL", "work,voice", Text(c, "BusinessTelephoneNumber"), i);
    ExpectLine(v, "TEL", "car,voice", Text(c, "CarTelephoneNumber"), i);
    ExpectLine(v, "TEL", "home,fax", Text(c, "HomeFaxNumber"), i);
    ExpectLine(v, "TEL", "home,voice", Text(c, "HomeTelephoneNumber"), i);
    ExpectLine(v, "TEL", "cell,voice", Text(c, "MobileTelephoneNumber"), i);
    ExpectLine(v, "TEL", "pager", Text(c, "PagerNumber"), i);
    ExpectLine(v, "TITLE", "", Text(c, "JobTitle"), i);
    ExpectLine(v, "ROLE", "", Text(c, "Profession"), i);
    ExpectLine(v, "AGENT", "", Text(c, "AssistantName"), i);
    ExpectLine(v, "ORG", "", Text(c, "CompanyName"), i);
    ExpectLine(v, "NOTE", "", Text(c, "Body"), i);
    ExpectLine(v, "LABEL", "home", Text(c, "HomeAddress"), i);
    ExpectLine(v, "LABEL", "work", Text(c, "BusinessAddress"), i);
    if (!Text(c, "HomeAddress").empty()) {
        const auto adr = v.Components("ADR", "home");
        const std::vector<std::string> want = {"",
                                               "",
                                               Text(c, "HomeAddressStreet"),
                                               Text(c, "HomeAddressCity"),
                                               Text(c, "HomeAddressState"),
                                               Text(c, "HomeAddressPostalCode"),
                                               Text(c, "HomeAddressCountry")};
        EXPECT_EQ(adr, want) << "card " << i << ": ADR;TYPE=home";
    }
    if (!Text(c, "BusinessAddress").empty()) {
        const auto adr = v.Components("ADR", "work");
        const std::vector<std::string> want = {"",
                                               "",
                                               Text(c, "BusinessAddressStreet"),
                                               Text(c, "BusinessAddressCity"),
                                               Text(c, "BusinessAddressState"),
                                               Text(c, "BusinessAddressPostalCode"),
                                               Text(c, "BusinessAddressCountry")};
        EXPECT_EQ(adr, want) << "card " << i << ": ADR;TYPE=work";
    }
    if (c.birthday != 0) {
        EXPECT_EQ(v.Get("BDAY").value_or("").substr(0, 10), DateText(c.birthday))
            << "card " << i << ": BDAY";
    } else {
        EXPECT_FALSE(v.Get("BDAY")) << "card " << i;
    }
}

} // namespace

// The writer composes a full address from its parts when none is given, as
// Outlook does; such a composition must hold every part, in order. The
// composed text then is what both readers must show.
TestContact WithComposedAddresses(TestContact c, const PffItem& item, size_t i) {
    const struct {
        const char* full;
        const char* key;
        std::vector<std::string> parts;
    } addresses[] = {
        {"BusinessAddress",
         "lid:0x801b",
         {"BusinessAddressStreet", "BusinessAddressCity", "BusinessAddressState",
          "BusinessAddressPostalCode", "BusinessAddressCountry"}},
        {"HomeAddress",
         "lid:0x801a",
         {"HomeAddressStreet", "HomeAddressCity", "HomeAddressState", "HomeAddressPostalCode",
          "HomeAddressCountry"}},
    };
    for (const auto& a : addresses) {
        if (!Text(c, a.full).empty()) continue;
        auto it = item.properties.find(a.key);
        if (it == item.properties.end()) continue;
        const std::string composed = Utf16ToUtf8(it->second.bytes);
        size_t at = 0;
        for (const auto& part : a.parts) {
            if (Text(c, part).empty()) continue;
            const size_t found = composed.find(Text(c, part), at);
            if (found == std::string::npos) {
                ADD_FAILURE() << "item " << i << ": composed " << a.full << " \"" << composed
                              << "\" lacks " << part;
                break;
            }
            at = found + Text(c, part).size();
        }
        c.text[a.full] = composed;
    }
    return c;
}

void ExpectSameContacts(const std::vector<TestContact>& written, const ReadBack& back) {
    const std::vector<std::string> folders = {
        "SPAM Search Folder 2", "Search Root", "Top of Personal Folders",
        "Top of Personal Folders/Contacts", "Top of Personal Folders/Deleted Items"};
    EXPECT_EQ(back.pffFolders, folders);
    const std::string done =
        "\"Contacts\" - " + std::to_string(written.size()) + " items done, 0 items skipped.";
    if (!written.empty()) {
        EXPECT_NE(back.readpstLog.find(done), std::string::npos) << back.readpstLog;
    }
    ASSERT_EQ(back.items.size(), written.size()) << "pffexport items";
    ASSERT_EQ(back.vcards.size(), written.size()) << "readpst vCards";
    for (size_t i = 0; i < written.size(); ++i) {
        const TestContact effective = WithComposedAddresses(written[i], back.items[i], i);
        CompareDebugItem(effective, back.items[i], i);
        CompareVCard(effective, back.vcards[i], i);
        if (::testing::Test::HasFailure() && i > 20) return; // enough to diagnose
    }
}

void ExpectVerifies(const std::string& pstPath, bool killed) {
    VerifyOptions options;
    options.allowTrailingBytes = options.allowLeakedSpace = killed;
    const VerifyResult result = VerifyPstFile(pstPath, options);
    EXPECT_TRUE(result.Ok()) << pstPath << ":\n" << result.Describe();
}

// ---- test contacts ---------------------------------------------------------

std::vector<uint8_t> PictureBytes(size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    std::mt19937 rng(seed);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(rng());
    // Make it look like the start of a JPEG file, as most backups hold.
    const uint8_t soi[] = {0xFF, 0xD8, 0xFF, 0xE0};
    std::copy(soi, soi + std::min<size_t>(4, size), bytes.begin());
    return bytes;
}

namespace {

const std::vector<std::string>& TextNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const auto& [name, key] : TextFieldKeys())
            n.push_back(name);
        n.push_back("Categories");
        return n;
    }();
    return names;
}

std::string RandomText(std::mt19937& rng, size_t maxLength) {
    static const std::vector<std::string> pieces = {
        "a", "b", "Z",  "7",  "-", ".", "@", " ",  ",", ";", "\\", "é", "ü", "ß", "Ж",
        "ы", "Ё", "中", "文", "😀", "Ω", "ñ", "O'", "x", "q", "M",  "&", "(", ")", "+"};
    std::uniform_int_distribution<size_t> length(1, maxLength), piece(0, pieces.size() - 1);
    std::string s;
    const size_t n = length(rng);
    for (size_t i = 0; i < n; ++i)
        s += pieces[piece(rng)];
    // Leading and trailing blanks are not what these tests are about.
    const std::string t = Trim(s);
    return t.empty() ? "x" : t;
}

} // namespace

TestContact RandomContact(std::mt19937& rng, const RandomContactOptions& options) {
    TestContact c;
    std::bernoulli_distribution field(options.fieldProbability),
        picture(options.pictureProbability), longBody(0.1);
    for (const auto& name : TextNames()) {
        if (!field(rng)) continue;
        if (name == "Body")
            c.text[name] = RandomText(rng, longBody(rng) ? 5000 : 60) + "\nline 2\nline 3";
        else if (name == "Categories")
            c.text[name] = RandomText(rng, 8) + ", " + RandomText(rng, 8);
        else
            c.text[name] = RandomText(rng, 30);
    }
    std::uniform_int_distribution<int> day(2, 60000);
    if (field(rng)) c.birthday = day(rng);
    if (field(rng)) c.anniversary = day(rng);
    if (picture(rng)) {
        std::uniform_int_distribution<size_t> size(1, options.maxPicture);
        c.picture = PictureBytes(size(rng), static_cast<uint32_t>(rng()));
    }
    return c;
}

TestContact FullContact(int index, size_t pictureSize) {
    TestContact c;
    const std::string n = std::to_string(index);
    for (const auto& name : TextNames())
        c.text[name] = name + " é ü Жёлтый " + n;
    c.text["FirstName"] = "Zoë " + n;
    c.text["LastName"] = "Müller-Иванов " + n;
    c.text["Email1Address"] = "zoe" + n + "@example.com";
    c.text["Email2Address"] = "z.m" + n + "@example.org";
    c.text["Email3Address"] = "зоя" + n + "@пример.рф";
    c.text["Categories"] = "Friends, Work, Клуб";
    c.text["BusinessAddress"] = "1 Rue de l'Église\n75001 Paris\nFrance";
    c.text["HomeAddress"] = "Hauptstraße 5\n10115 Berlin";
    c.birthday = 30000 + index % 1000;
    c.anniversary = 40000 + index % 1000;
    if (pictureSize) c.picture = PictureBytes(pictureSize, static_cast<uint32_t>(index));
    return c;
}

} // namespace velloquin::pstcheck
