// The library interface's errors, and what a failing disk leaves behind.
#include "outlook/Rdo.h"
#include "pst/Store.h"
#include "support/Readers.h"
#include "tools/pstverify/PstVerifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace velloquin;
using namespace velloquin::outlook;

namespace {

pstverify::VerifyStats ExpectVerifies(const fs::path& pst) {
    const auto r = pstverify::VerifyPstFile(pst.string());
    EXPECT_TRUE(r.Ok()) << r.Describe();
    return r.stats;
}

} // namespace

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
        f.text["FirstName"] = "A";
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
