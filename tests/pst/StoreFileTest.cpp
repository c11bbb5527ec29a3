// The store on real files: the NDB writer, each commit checked by the
// structural verifier (reference counts, maps, free space, B-tree order and
// key ranges); the library interface's errors, and what a failing disk
// leaves behind.
#include "outlook/Rdo.h"
#include "pst/FileIo.h"
#include "pst/Ndb.h"
#include "pst/Store.h"
#include "support/Readers.h"
#include "tools/pstverify/PstVerifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;
using namespace velloquin;
using namespace velloquin::pst;
using namespace velloquin::outlook;

namespace {

// A file of bare blocks and nodes, removed at the end.
struct NdbFile {
    NdbFile() { ndb.Create(); }
    // Windows removes no file that is still open.
    ~NdbFile() {
        try {
            file.Close();
        } catch (...) {
        }
        std::error_code ignored;
        fs::remove(path, ignored);
    }
    // A killed writer may leave bytes past the end and space marked as used.
    void Verify(bool killed = false) {
        file.Flush();
        const auto r = pstverify::VerifyPstFile(path.string(), {killed, killed, false});
        EXPECT_TRUE(r.Ok()) << r.Describe();
        nbtLevels = r.stats.nbtLevels, bbtLevels = r.stats.bbtLevels;
    }
    void Commit() { ndb.Commit(), Verify(); }
    // A node with one data block, or a tree of three under an XBLOCK.
    void AddNode(uint32_t index, size_t size = 1) {
        const Bytes data(size, static_cast<uint8_t>(index));
        ndb.SetNode(MakeNid(kNidLtp, index), ndb.WriteStream(data.data(), size), 0, 0);
        ndb.BumpCounter(kNidLtp, index);
    }

    fs::path path = fs::temp_directory_path() / ("ndb_" + std::to_string(std::random_device{}()));
    // Unbuffered, so that a failed write leaves the file as a killed writer
    // would; never full unless a test says so.
    FailingSink* device = nullptr;
    StoreFile file{path.string(), [this] {
                       platform::CreateFailure failure;
                       auto sink = std::make_unique<FailingSink>(
                           FileSink::CreateNew(path.string(), failure), UINT64_MAX);
                       device = sink.get();
                       return sink;
                   }()};
    NdbWriter ndb{file};
    int nbtLevels = 0, bbtLevels = 0;
};

pstverify::VerifyStats ExpectVerifies(const fs::path& pst) {
    const auto r = pstverify::VerifyPstFile(pst.string());
    EXPECT_TRUE(r.Ok()) << r.Describe();
    return r.stats;
}

} // namespace

TEST(NdbWriter, StreamsAndSubnodesSplitAtTheirBlockLimits) {
    NdbFile f;
    EXPECT_EQ(f.ndb.NewNid(kNidLtp), 0x803Fu); // where Outlook starts
    EXPECT_EQ(f.ndb.NewNid(kNidNormalMessage), 0x200024u);
    const struct {
        size_t bytes, blocks; // data blocks, XBLOCKs and the XXBLOCK
    } streams[] = {{8176, 1}, {8177, 3}, {8176 * 1021, 1022}, {8176 * 1021 + 1, 1025}};
    uint32_t nid = 0x402;
    for (const auto& s : streams) {
        const Bytes bytes(s.bytes, 0x5A);
        const size_t before = f.ndb.BlockCount();
        const uint64_t bid = f.ndb.WriteStream(bytes.data(), bytes.size());
        EXPECT_EQ(f.ndb.BlockCount() - before, s.blocks) << s.bytes;
        f.ndb.SetNode(MakeNid(kNidLtp, nid++), bid, 0, 0);
    }
    // 340 subnodes fill one SLBLOCK; one more takes two under an SIBLOCK
    const uint8_t byte = 1;
    const uint64_t shared = f.ndb.WriteDataBlock(&byte, 1);
    for (uint32_t count : {340u, 341u}) {
        std::vector<SubnodeEntry> entries;
        for (uint32_t i = count; i-- > 0;) // unsorted on purpose
            entries.push_back({MakeNid(kNidLtp, 0x801 + i), shared, 0});
        const size_t before = f.ndb.BlockCount();
        const uint64_t sub = f.ndb.WriteSubnodes(entries);
        EXPECT_EQ(f.ndb.BlockCount() - before, count == 340 ? 1u : 3u);
        f.ndb.SetNode(MakeNid(kNidNormalMessage, 0x10000 + count), shared, sub, 0);
    }
    f.ndb.BumpCounter(kNidLtp, 0x801 + 341);
    f.ndb.BumpCounter(kNidNormalMessage, 0x10000 + 341);
    f.Commit();
}

TEST(NdbWriter, TreesGainALevelWhenAPageIsFullAndSplitAcrossCommits) {
    // NBT leaves hold 15 entries, BBT leaves 20, index pages 20
    const struct {
        uint32_t nodes;
        int nbt, bbt;
    } cases[] = {{15, 1, 1}, {16, 2, 1}, {21, 2, 2}, {300, 2, 2}, {301, 3, 2}, {401, 3, 3}};
    for (const auto& c : cases) {
        NdbFile f;
        for (uint32_t i = 0; i < c.nodes; ++i)
            f.AddNode(0x401 + i);
        f.Commit();
        EXPECT_EQ(std::make_pair(f.nbtLevels, f.bbtLevels), std::make_pair(c.nbt, c.bbt))
            << c.nodes;
    }
    // Later commits keep unchanged leaves and split the others: keys landing
    // between the old ones, and nodes whose block trees become garbage.
    // (the verifier finds space that stays allocated after its block is released)
    NdbFile f;
    for (uint32_t round = 0; round < 6; ++round) {
        for (uint32_t i = 0; i < 60; ++i)
            f.AddNode(0x401 + i * 12 + round, round == 0 ? 20000 : 1);
        if (round == 4) {
            for (uint32_t i = 0; i < 60; ++i)
                f.ndb.SetNode(MakeNid(kNidLtp, 0x401 + i * 12), 0, 0, 0);
            EXPECT_EQ(f.ndb.BlockCount(), 4 * 60u); // each stream's three blocks and XBLOCK went
        }
        f.Commit();
    }
    // A commit cut short after the header that opens it, as by a kill, leaves the last one.
    f.AddNode(0x401 + 5000, 300000); // the file grows by a region
    f.device->FailAfter(564);
    EXPECT_ANY_THROW(f.ndb.Commit());
    f.Verify(true);
}

TEST(Library, FailuresSurfaceAsErrors) {
    const testsupport::TempDir dir("velloquin-pst-lib");
    const fs::path& path = dir.Path();
    EXPECT_THROW(CreateRdoObject("Outlook.Application"), RdoError);
    auto session = CreateRdoObject("redemption.rdosession");
    EXPECT_THROW(session->Stores(), RdoError); // before Logon
    session->Logon();
    const fs::path existing = path / "existing.pst", pst = path / "s.pst";
    std::ofstream(existing) << "keep";
    EXPECT_THROW(session->Stores()->AddPSTStore(existing.string(), 1, "x"), RdoError);
    EXPECT_EQ(fs::file_size(existing), 4u); // never overwritten
    EXPECT_THROW(session->Stores()->AddPSTStore((path / "no" / "such.pst").string(), 1, "x"),
                 RdoError);
    auto store = session->Stores()->AddPSTStore(pst.string(), 1, "x");
    std::string lower = store->EntryID(); // hex text, accepted in either case
    ASSERT_EQ(lower.size(), 48u);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return c | 0x20; });
    EXPECT_NO_THROW(session->GetStoreFromID(lower));
    EXPECT_THROW(session->GetStoreFromID("00"), RdoError);
    EXPECT_THROW(store->GetDefaultFolder(6), RdoError);
    auto items = store->GetDefaultFolder(10)->Items();
    EXPECT_THROW(items->Add(0), RdoError);
    auto item = items->Add(2);
    EXPECT_THROW(item->SetProperty("Nickname", std::string("x")), RdoError);
    EXPECT_THROW(item->SetProperty("Birthday", std::string("1985-03-27")), RdoError);
    EXPECT_THROW(item->AddPicture((path / "missing.gif").string()), RdoError);
    item->Save();
    EXPECT_THROW(item->Save(), RdoError);
    session->Logoff();
    EXPECT_THROW(items->Add(2), RdoError);
    EXPECT_EQ(ExpectVerifies(pst).messages, 1u);
}

// Texts by number go to the same fields as by name; an item starts empty
// although it takes over the room of the item before.
TEST(Library, TextsByNumberAndNothingLeftOfTheItemBefore) {
    const testsupport::TempDir dir("velloquin-pst-lib");
    const fs::path pst = dir.Path() / "s.pst";
    auto session = CreateRdoObject("Redemption.RDOSession");
    session->Logon();
    auto items =
        session->Stores()->AddPSTStore(pst.string(), 1, "x")->GetDefaultFolder(10)->Items();
    auto first = items->Add(2);
    for (const char* name : {"Birthday", "Nickname", "firstname"})
        EXPECT_EQ(first->TextSlot(name), -1) << name;
    first->SetText(first->TextSlot("FirstName"), "Ann");
    first->SetText(first->TextSlot("LastName"), "Smithson-Fairweather");
    first->SetProperty("MiddleName", std::string("Quentin Maximilian"));
    EXPECT_THROW(first->SetText(-1, "x"), RdoError);
    EXPECT_THROW(first->SetText(100, "x"), RdoError);
    first->Save();
    first.reset();
    auto second = items->Add(2);
    second->SetProperty("FirstName", std::string("Bob"));
    second->Save();
    second.reset();
    session->Logoff();
    EXPECT_EQ(ExpectVerifies(pst).messages, 2u);
    if (!testsupport::ReadpstAvailable()) return;
    EXPECT_EQ(
        testsupport::ReadpstContactNames(pst),
        (std::vector<std::string>{"Smithson-Fairweather;Ann;Quentin Maximilian;;", ";Bob;;;"}));
}

TEST(Library, AFailedWriteThrowsAndKeepsTheLastCommit) {
    // The same in a file and in memory (as the fuzz target writes it).
    for (const bool inMemory : {false, true}) {
        const testsupport::TempDir dir("velloquin-pst-lib");
        const fs::path& path = dir.Path();
        const fs::path file = path / "full.pst", pic = path / "p.gif";
        std::ofstream(pic, std::ios::binary) << std::string(50000, 'p');
        std::vector<uint8_t> memory;
        pst::StoreOptions options;
        options.failAfterBytes = 400000; // the empty store fits; a few pictures do not
        if (inMemory) options.memory = &memory;
        pst::PstStore store(file.string(), "full", options);
        pst::ContactFields f;
        f[pst::ContactText::FirstName] = "A";
        store.SaveContact(f, nullptr);
        store.Commit();
        EXPECT_THROW(
            for (int i = 0; i < 20; ++i) {
                const auto p = store.StorePicture(pic.string());
                store.SaveContact(f, &p);
            },
            RdoError);
        EXPECT_THROW(store.SaveContact(f, nullptr), RdoError); // nothing more after a failure
        store.Close();
        // cut back to the last commit: the verifier finds any bytes past the header's end of file
        if (!inMemory) {
            EXPECT_EQ(ExpectVerifies(file).messages, 1u);
            continue;
        }
        EXPECT_FALSE(fs::exists(file)); // nothing reached the disk
        const auto verdict = pstverify::VerifyPst(memory);
        EXPECT_TRUE(verdict.Clean()) << verdict.Describe();
        EXPECT_EQ(verdict.stats.messages, 1u);
    }
}
