// Stores written through the library interface and read back by the
// independent readers: pffinfo/pffexport (libpff) and readpst (libpst).
#include "outlook/Rdo.h"
#include "pst/RdoPst.h"
#include "pst/Store.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace velloquin::outlook;
using velloquin::pst::Bytes;

namespace {

struct ShellResult {
    int status;
    std::string output;
};

ShellResult Shell(const std::string& command) {
    ShellResult r{-1, {}};
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf{};
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        r.output.append(buf.data(), n);
    r.status = pclose(p);
    return r;
}

std::string Quote(const fs::path& p) {
    return "'" + p.string() + "'";
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class TempDir {
  public:
    TempDir() {
        std::random_device rd;
        path_ = fs::temp_directory_path() / ("pst_tests_" + std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~TempDir() {
        if (std::getenv("PST_TESTS_KEEP")) return; // for looking at a failure
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

// What the readers found in a store.
struct Exported {
    std::string pffinfo;
    fs::path contacts;      // pffexport's Contacts folder
    fs::path debugContacts; // the same with every property dumped (-d)
    std::string vcards;     // readpst's vCards of the Contacts folder
    std::string readpstLog;
};

Exported ReadBack(const fs::path& pst, const fs::path& work, bool debugValues = false) {
    Exported e;
    const ShellResult info = Shell("pffinfo " + Quote(pst));
    EXPECT_EQ(info.status, 0) << info.output;
    e.pffinfo = info.output;
    const fs::path exp = work / "exp";
    const ShellResult ex =
        Shell("pffexport -q -m items -f text -t " + Quote(exp) + " " + Quote(pst));
    EXPECT_EQ(ex.status, 0) << ex.output;
    e.contacts = work / "exp.export" / "Top of Personal Folders" / "Contacts";
    if (debugValues) {
        const ShellResult dbg =
            Shell("pffexport -q -d -m items -f text -t " + Quote(work / "dbg") + " " + Quote(pst));
        EXPECT_EQ(dbg.status, 0) << dbg.output;
        e.debugContacts = work / "dbg.export" / "Top of Personal Folders" / "Contacts";
    }
    const fs::path rp = work / "rp";
    fs::create_directories(rp);
    const ShellResult r = Shell("readpst -cv -j0 -o " + Quote(rp) + " " + Quote(pst));
    EXPECT_EQ(r.status, 0) << r.output;
    e.readpstLog = r.output;
    e.vcards = ReadAll(rp / "Contacts.contacts");
    return e;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

size_t CountContactDirs(const fs::path& contacts) {
    if (!fs::exists(contacts)) return 0;
    size_t n = 0;
    for (const auto& d : fs::directory_iterator(contacts))
        n += d.is_directory() ? 1 : 0;
    return n;
}

// pffexport names items Contact00001.. in the folder's row order.
fs::path ContactDir(const fs::path& contacts, size_t oneBased) {
    char name[32];
    std::snprintf(name, sizeof name, "Contact%05zu", oneBased);
    return contacts / name;
}

std::string Field(const std::map<std::string, std::string>& fields, const std::string& key) {
    auto it = fields.find(key);
    return it == fields.end() ? "<no " + key + ">" : it->second;
}

// "Label:<tabs>value" lines of pffexport's Contact.txt / Message.txt.
std::map<std::string, std::string> Fields(const fs::path& file) {
    std::map<std::string, std::string> f;
    std::istringstream in(ReadAll(file));
    std::string line;
    while (std::getline(in, line)) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const size_t v = line.find_first_not_of("\t ", colon + 1);
        f[line.substr(0, colon)] = v == std::string::npos ? "" : line.substr(v);
    }
    return f;
}

void WritePicture(const fs::path& p, size_t size, unsigned seed) {
    std::mt19937 g(seed);
    std::string b(size, '\0');
    for (char& c : b)
        c = static_cast<char>(g());
    b[0] = '\xFF';
    b[1] = '\xD8';
    std::ofstream(p, std::ios::binary) << b;
}

struct Session {
    std::shared_ptr<RdoSession> session;
    std::string storeId;
};

Session OpenStore(const fs::path& pst) {
    Session s{CreateRdoObject("Redemption.RDOSession"), {}};
    s.session->Logon();
    auto store = s.session->Stores()->AddPSTStore(pst.string(), 1,
                                                  "Skype Contacts : Created - 5.12.26 9.7.03");
    s.storeId = store->EntryID();
    store->ValidateIPMTree();
    return s;
}

// The contact writer's sequence for one contact.
void AddNumbered(const Session& s, size_t i, const fs::path* picture) {
    auto item = s.session->GetStoreFromID(s.storeId)->GetDefaultFolder(10)->Items()->Add(2);
    const std::string n = std::to_string(i);
    item->SetProperty("FirstName", "Given" + n);
    item->SetProperty("LastName", "Family" + n);
    item->SetProperty("FullName", "Given" + n + " Family" + n);
    item->SetProperty("Email1Address", "user" + n + "@example.com");
    item->SetProperty("MobileTelephoneNumber", "+41 79 " + n);
    item->SetProperty("Body", "note " + n);
    if (picture) item->AddPicture(picture->string());
    item->Save();
}

} // namespace

TEST(Readers, EmptyStoreHasTheFolderTree) {
    TempDir t;
    const fs::path pst = t.Path() / "Contacts5.12.26 9.7.03.pst";
    Session s = OpenStore(pst);
    s.session->Logoff();
    const Exported e = ReadBack(pst, t.Path());
    EXPECT_NE(e.pffinfo.find("Folders:\t\tSubtree, Wastbox, Finder"), std::string::npos)
        << e.pffinfo;
    EXPECT_NE(e.pffinfo.find("Encryption type:\tnone"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(e.contacts));
    EXPECT_TRUE(fs::is_directory(e.contacts.parent_path() / "Deleted Items"));
    EXPECT_EQ(CountContactDirs(e.contacts), 0u);
    EXPECT_EQ(Count(e.vcards, "VERSION:3.0"), 0u);
    const ShellResult ls = Shell("lspst " + Quote(pst));
    EXPECT_EQ(ls.status, 0);
    EXPECT_EQ(ls.output.find("Error"), std::string::npos) << ls.output;
}

TEST(Readers, OneContactWithEveryProperty) {
    TempDir t;
    const fs::path pst = t.Path() / "one.pst";
    const fs::path pic = t.Path() / "1.gif";
    WritePicture(pic, 20000, 7);
    Session s = OpenStore(pst);
    auto item = s.session->GetStoreFromID(s.storeId)->GetDefaultFolder(10)->Items()->Add(2);
    const std::map<std::string, std::string> text = {
        {"FirstName", "Zoë"},
        {"MiddleName", "Q"},
        {"LastName", "Ångström"},
        {"FullName", "Zoë Q Ångström"},
        {"JobTitle", "Engineer"},
        {"CompanyName", "Acme AG"},
        {"BusinessTelephoneNumber", "+41 44 111"},
        {"BusinessFaxNumber", "+41 44 112"},
        {"HomeTelephoneNumber", "+41 44 113"},
        {"HomeFaxNumber", "+41 44 114"},
        {"MobileTelephoneNumber", "+41 79 115"},
        {"PagerNumber", "116"},
        {"CarTelephoneNumber", "117"},
        {"BusinessAddress", "Main St 1\r\nZurich"},
        {"BusinessAddressStreet", "Main St 1"},
        {"BusinessAddressCity", "Zurich"},
        {"BusinessAddressState", "ZH"},
        {"BusinessAddressPostalCode", "8000"},
        {"BusinessAddressCountry", "Switzerland"},
        {"HomeAddress", "Home Rd 2\r\nBern"},
        {"HomeAddressStreet", "Home Rd 2"},
        {"HomeAddressCity", "Bern"},
        {"HomeAddressState", "BE"},
        {"HomeAddressPostalCode", "3000"},
        {"HomeAddressCountry", "CH"},
        {"Email1Address", "zoe@example.com"},
        {"Email2Address", "zoe2@example.com"},
        {"Email3Address", "zoe3@example.com"},
        {"BusinessHomePage", "http://example.com"},
        {"WebPage", "http://example.com"},
        {"IMAddress", "a b c"},
        {"Categories", "Friends, Skype"},
        {"Department", "R&D"},
        {"OfficeLocation", "B12"},
        {"Profession", "Physicist"},
        {"ManagerName", "Max"},
        {"AssistantName", "Ada"},
        {"Title", "Dr."},
        {"Suffix", "Jr."},
        {"Spouse", "Sam"},
        {"Body", std::string(5000, 'x') + "\r\nend"}, // large: stored in a subnode
    };
    for (const auto& [name, value] : text)
        item->SetProperty(name, value);
    item->SetProperty("Birthday", DateValue{31133.0}); // 1985-03-27
    item->SetProperty("Anniversary", DateValue{40000.25});
    item->AddPicture(pic.string());
    item->Save();
    s.session->Logoff();

    const Exported e = ReadBack(pst, t.Path(), true);
    ASSERT_EQ(Count(e.vcards, "VERSION:3.0"), 1u);
    for (const char* line :
         {"FN:Ångström\\, Zoë Q", "N:Ångström;Zoë;Q;Dr.;Jr.", "EMAIL:zoe@example.com",
          "EMAIL:zoe2@example.com", "EMAIL:zoe3@example.com", "BDAY:1985-03-27", "TITLE:Engineer",
          "ROLE:Physicist", "ORG:Acme AG", "AGENT:BEGIN:VCARD\nFN:Ada",
          "TEL;TYPE=work,voice:+41 44 111", "TEL;TYPE=work,fax:+41 44 112",
          "TEL;TYPE=home,fax:+41 44 114", "TEL;TYPE=pager:116", "TEL;TYPE=home,voice:+41 44 113",
          "TEL;TYPE=cell,voice:+41 79 115", "TEL;TYPE=car,voice:117",
          ";Main St 1;Zurich;ZH;8000;Switzerland", ";Home Rd 2;Bern;BE;3000;CH"})
        EXPECT_NE(e.vcards.find(line), std::string::npos) << line << "\n" << e.vcards;

    const fs::path dir = ContactDir(e.contacts, 1);
    const auto c = Fields(dir / "Contact.txt");
    EXPECT_EQ(Field(c, "File under"), "Ångström, Zoë Q");
    EXPECT_EQ(Field(c, "Given name"), "Zoë");
    EXPECT_EQ(Field(c, "Surname"), "Ångström");
    EXPECT_EQ(Field(c, "Department name"), "R&D");
    EXPECT_EQ(Field(c, "Office location"), "B12");
    EXPECT_EQ(Field(c, "Email address 3"), "zoe3@example.com");
    EXPECT_EQ(Field(c, "Subject"), "Zoë Q Ångström");
    EXPECT_EQ(Field(c, "Display name"), "Zoë Q Ångström");
    EXPECT_EQ(Field(c, "Flags"), "0x00000011 (Read, Has attachments)");
    EXPECT_EQ(Field(c, "Generational abbreviation"), "Jr.");
    EXPECT_EQ(Field(c, "Business fax number"), "+41 44 112");
    const std::string body = ReadAll(dir / "Message.txt");
    EXPECT_EQ(body.size(), 5005u);
    EXPECT_EQ(body.substr(5000), "\r\nend") << "the body from its subnode, whole";
    // the picture's bytes come back unchanged
    const fs::path attached = dir / "Attachments" / "1_ContactPicture.jpg";
    ASSERT_TRUE(fs::exists(attached));
    EXPECT_EQ(ReadAll(attached), ReadAll(pic));

    // Named and other properties readers do not print: their ids in the debug dump.
    const std::string values = ReadAll(ContactDir(e.debugContacts, 1) / "ItemValues.txt");
    for (const char* lid : {"80de", "80df", "8015", "8062", "802b", "8080", "8085", "8005"})
        EXPECT_NE(values.find("Maps to entry type:\t\t0x0000" + std::string(lid)),
                  std::string::npos)
            << lid;
    for (const char* tag : {"3a41", "3a42", "3a48", "3a4e", "3a51", "1000", "3a46", "3a45"})
        EXPECT_NE(values.find("Entry type:\t\t\t0x0000" + std::string(tag)), std::string::npos)
            << tag;
    // the categories as a multi-valued string of two items
    EXPECT_NE(values.find("Maps to entry:\t\t\tKeywords\nValue:\n0x00000000: 02 00 00 00"),
              std::string::npos);
}

TEST(Readers, ThreeThousandContactsWithPictures) {
    TempDir t;
    const fs::path pst = t.Path() / "3000.pst";
    const fs::path small = t.Path() / "small.gif";
    const fs::path big = t.Path() / "big.gif";
    WritePicture(small, 3000, 1); // kept in the attachment's heap
    WritePicture(big, 8177, 2);   // one byte over a block: an XBLOCK
    Session s = OpenStore(pst);
    for (size_t i = 1; i <= 3000; ++i)
        AddNumbered(s, i, i % 10 == 1 ? (i % 20 == 1 ? &small : &big) : nullptr);
    s.session->Logoff();
    const Exported e = ReadBack(pst, t.Path());
    EXPECT_EQ(Count(e.vcards, "VERSION:3.0"), 3000u);
    EXPECT_NE(e.readpstLog.find("\"Contacts\" - 3000 items done"), std::string::npos);
    EXPECT_NE(e.vcards.find(
                  "FN:Family2999\\, Given2999\nN:Family2999;Given2999;;;\n"
                  "EMAIL:user2999@example.com\nTEL;TYPE=cell,voice:+41 79 2999\nNOTE:note 2999"),
              std::string::npos);
    ASSERT_EQ(CountContactDirs(e.contacts), 3000u);
    EXPECT_EQ(Field(Fields(ContactDir(e.contacts, 1234) / "Contact.txt"), "Given name"),
              "Given1234");
    EXPECT_EQ(ReadAll(ContactDir(e.contacts, 1) / "Attachments" / "1_ContactPicture.jpg"),
              ReadAll(small));
    EXPECT_EQ(ReadAll(ContactDir(e.contacts, 2991) / "Attachments" / "1_ContactPicture.jpg"),
              ReadAll(big));
    EXPECT_FALSE(fs::exists(ContactDir(e.contacts, 2) / "Attachments"));
}

// One large store: multi-level B-trees, a multi-block contents table and a
// file past the first FMap region (about 31 MB).
TEST(Readers, TwentyThousandContactsPastTheFirstFMap) {
    TempDir t;
    const fs::path pst = t.Path() / "20000.pst";
    const fs::path pic = t.Path() / "pic.gif";
    WritePicture(pic, 20000, 3);
    Session s = OpenStore(pst);
    for (size_t i = 1; i <= 20000; ++i)
        AddNumbered(s, i, i % 10 == 0 ? &pic : nullptr);
    s.session->Logoff();
    EXPECT_GT(fs::file_size(pst), 0x4400u + 129u * 253952u);
    const Exported e = ReadBack(pst, t.Path());
    EXPECT_EQ(Count(e.vcards, "VERSION:3.0"), 20000u);
    ASSERT_EQ(CountContactDirs(e.contacts), 20000u);
    EXPECT_EQ(Field(Fields(ContactDir(e.contacts, 20000) / "Contact.txt"), "Surname"),
              "Family20000");
    EXPECT_EQ(ReadAll(ContactDir(e.contacts, 19990) / "Attachments" / "1_ContactPicture.jpg"),
              ReadAll(pic));
}

// What a killed run leaves: the file as it is on disk between checkpoints.
TEST(Readers, FileBetweenCheckpointsHoldsTheLastCheckpoint) {
    TempDir t;
    const fs::path pst = t.Path() / "open.pst";
    velloquin::pst::StoreOptions options;
    options.checkpointInterval = std::chrono::hours(1); // count-driven only
    velloquin::pst::PstStore store(pst.string(), "open", options);
    velloquin::pst::ContactFields f;
    for (size_t i = 1; i <= 1500; ++i) {
        f.text["LastName"] = "Family" + std::to_string(i);
        store.SaveContact(f, nullptr);
    }
    // 1000 contacts made a checkpoint; the other 500 are only appended
    EXPECT_EQ(store.CommittedContacts(), 1000u);
    const fs::path copy = t.Path() / "copy.pst";
    fs::copy_file(pst, copy);
    const Exported e = ReadBack(copy, t.Path());
    EXPECT_EQ(Count(e.vcards, "VERSION:3.0"), 1000u);
    EXPECT_EQ(CountContactDirs(e.contacts), 1000u);
    EXPECT_NE(e.vcards.find("N:Family1000;"), std::string::npos);
    EXPECT_EQ(e.vcards.find("N:Family1001;"), std::string::npos);
    store.Close();
}

TEST(Library, FailuresSurfaceAsErrors) {
    TempDir t;
    EXPECT_THROW(CreateRdoObject("Outlook.Application"), RdoError);
    auto session = CreateRdoObject("redemption.rdosession");
    EXPECT_THROW(session->Stores(), RdoError); // before Logon
    session->Logon();
    // never overwrites
    const fs::path existing = t.Path() / "existing.pst";
    std::ofstream(existing) << "keep";
    EXPECT_THROW(session->Stores()->AddPSTStore(existing.string(), 1, "x"), RdoError);
    EXPECT_EQ(ReadAll(existing), "keep");
    EXPECT_THROW(session->Stores()->AddPSTStore((t.Path() / "no" / "such.pst").string(), 1, "x"),
                 RdoError);
    const fs::path pst = t.Path() / "s.pst";
    auto store = session->Stores()->AddPSTStore(pst.string(), 1, "x");
    EXPECT_THROW(session->Stores()->AddPSTStore(pst.string(), 1, "x"), RdoError);
    // the entry id is hex text, accepted in either case
    std::string lower = store->EntryID();
    ASSERT_EQ(lower.size(), 48u);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_NO_THROW(session->GetStoreFromID(lower));
    EXPECT_THROW(session->GetStoreFromID("00"), RdoError);
    EXPECT_THROW(store->GetDefaultFolder(6), RdoError);
    auto items = store->GetDefaultFolder(10)->Items();
    EXPECT_THROW(items->Add(0), RdoError);
    auto item = items->Add(2);
    EXPECT_THROW(item->SetProperty("Nickname", std::string("x")), RdoError);
    EXPECT_THROW(item->SetProperty("Birthday", std::string("1985-03-27")), RdoError);
    EXPECT_THROW(item->SetProperty("FirstName", DateValue{1}), RdoError);
    EXPECT_THROW(item->AddPicture((t.Path() / "missing.gif").string()), RdoError);
    item->Save();
    EXPECT_THROW(item->Save(), RdoError);
    session->Logoff();
    EXPECT_THROW(items->Add(2), RdoError);
    EXPECT_THROW(session->GetStoreFromID(store->EntryID()), RdoError);
    // the item saved without a single property is still a contact (readpst
    // exports only contacts with at least one contact field)
    const Exported e = ReadBack(pst, t.Path());
    EXPECT_EQ(CountContactDirs(e.contacts), 1u);
}

TEST(Library, AFailedWriteThrowsAndKeepsTheLastCommit) {
    TempDir t;
    const fs::path pst = t.Path() / "full.pst";
    const fs::path pic = t.Path() / "p.gif";
    WritePicture(pic, 50000, 4);
    {
        velloquin::pst::StoreOptions options;
        options.failAfterBytes = 400000; // the empty store fits; a few pictures do not
        velloquin::pst::PstStore store(pst.string(), "full", options);
        velloquin::pst::ContactFields f;
        f.text["FirstName"] = "A";
        store.SaveContact(f, nullptr);
        store.Commit();
        bool failed = false;
        for (int i = 0; i < 20 && !failed; ++i) {
            try {
                const auto p = store.StorePicture(pic.string());
                store.SaveContact(f, &p);
            } catch (const RdoError&) {
                failed = true;
            }
        }
        EXPECT_TRUE(failed);
        EXPECT_THROW(store.SaveContact(f, nullptr), RdoError); // nothing more after a failure
        store.Close();
    }
    // cut back to the last commit: nothing of the failed work trails it
    const Bytes header = [&] {
        std::ifstream in(pst, std::ios::binary);
        Bytes h(564);
        in.read(reinterpret_cast<char*>(h.data()), 564);
        return h;
    }();
    EXPECT_EQ(fs::file_size(pst), velloquin::pst::LoadLe(&header[184], 8)); // ibFileEof
    const Exported e = ReadBack(pst, t.Path());
    EXPECT_EQ(Count(e.vcards, "VERSION:3.0"), 1u);
}
