// The NDB writer against a real file: data trees, subnode trees, reference
// counts and the maps, checked on the bytes it wrote.
#include "pst/FileIo.h"
#include "pst/Ndb.h"
#include "pst/PstError.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;
using namespace velloquin::pst;

namespace {

class NdbFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device rd;
        path_ = fs::temp_directory_path() / ("ndb_" + std::to_string(rd()) + ".pst");
        file_ = std::make_unique<StoreFile>(path_.string());
        ndb_ = std::make_unique<NdbWriter>(*file_);
        ndb_->Create();
    }
    void TearDown() override {
        ndb_.reset();
        file_.reset();
        fs::remove(path_);
    }
    Bytes Contents() {
        file_->Flush();
        std::ifstream in(path_, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    struct Found {
        uint64_t ib = 0;
        uint64_t cb = 0;
        uint64_t cRef = 0;
    };
    // A block's BBT entry, looked up through the committed tree.
    Found FindBlock(const Bytes& f, uint64_t bid) {
        uint64_t page = LoadLe(&f[240], 8);
        for (;;) {
            const uint8_t* p = &f[page];
            const size_t n = p[488];
            if (p[491] == 0) {
                for (size_t i = 0; i < n; ++i)
                    if (LoadLe(p + 24 * i, 8) == bid)
                        return {LoadLe(p + 24 * i + 8, 8), LoadLe(p + 24 * i + 16, 2),
                                LoadLe(p + 24 * i + 18, 2)};
                return {};
            }
            size_t i = 0;
            while (i + 1 < n && LoadLe(p + 24 * (i + 1), 8) <= bid)
                ++i;
            page = LoadLe(p + 24 * i + 16, 8);
        }
    }
    fs::path path_;
    std::unique_ptr<StoreFile> file_;
    std::unique_ptr<NdbWriter> ndb_;
};

} // namespace

TEST_F(NdbFixture, StreamsSplitIntoBlocksUnderAnXBlock) {
    const Bytes data(8177, 0x5A);
    EXPECT_FALSE(IsInternalBid(ndb_->WriteStream(data.data(), 8176)));
    const size_t before = ndb_->BlockCount();
    const uint64_t tree = ndb_->WriteStream(data.data(), 8177);
    EXPECT_TRUE(IsInternalBid(tree));
    EXPECT_EQ(ndb_->BlockCount(), before + 3); // two data blocks and the XBLOCK
    ndb_->SetNode(0x803F, tree, 0, 0);
    ndb_->Commit();
    const Bytes f = Contents();
    // header: BBT root, then every block listed with 1 + its references
    const uint64_t bbtIb = LoadLe(&f[240], 8);
    ASSERT_EQ(f[bbtIb + 491], 0); // a single leaf
    const size_t n = f[bbtIb + 488];
    ASSERT_EQ(n, 4u);
    EXPECT_EQ(FindBlock(f, tree).cRef, 2u); // BBT + NBT entry
    const uint64_t xIb = FindBlock(f, tree).ib;
    EXPECT_EQ(f[xIb], 0x01);
    EXPECT_EQ(f[xIb + 1], 0x01);
    EXPECT_EQ(LoadLe(&f[xIb + 2], 2), 2u);
    EXPECT_EQ(LoadLe(&f[xIb + 4], 4), 8177u);
    EXPECT_EQ(LoadLe(&f[bbtIb + 24 * 1 + 18], 2), 2u); // data block under the XBLOCK
}

TEST_F(NdbFixture, ManySubnodesGetAnIntermediateBlock) {
    const uint8_t byte = 1;
    const uint64_t shared = ndb_->WriteDataBlock(&byte, 1);
    std::vector<uint64_t> roots;
    for (uint32_t count : {340u, 341u}) {
        std::vector<SubnodeEntry> entries;
        for (uint32_t i = count; i-- > 0;) // unsorted on purpose
            entries.push_back({MakeNid(kNidLtp, 0x401 + i), shared, 0});
        roots.push_back(ndb_->WriteSubnodes(entries));
        ndb_->SetNode(MakeNid(kNidNormalMessage, 0x10000 + count), shared, roots.back(), 0x8082);
    }
    ndb_->Commit();
    const Bytes f = Contents();
    const uint64_t slIb = FindBlock(f, roots[0]).ib;
    ASSERT_NE(slIb, 0u);
    EXPECT_EQ(FindBlock(f, roots[0]).cb, 8u + 340 * 24);
    EXPECT_EQ(LoadLe(&f[slIb], 4), 0x01540002u);                 // SLBLOCK, 340 entries
    EXPECT_EQ(LoadLe(&f[slIb + 8], 8), MakeNid(kNidLtp, 0x401)); // sorted by NID
    const uint64_t siIb = FindBlock(f, roots[1]).ib;
    ASSERT_NE(siIb, 0u);
    EXPECT_EQ(FindBlock(f, roots[1]).cb, 8u + 2 * 16);
    EXPECT_EQ(LoadLe(&f[siIb], 4), 0x00020102u); // SIBLOCK over two SLBLOCKs
    EXPECT_EQ(LoadLe(&f[siIb + 8 + 16], 8),
              MakeNid(kNidLtp, 0x401 + 340)); // second child's first NID
    // the shared block: the BBT, two NBT entries and 681 SLENTRYs
    EXPECT_EQ(FindBlock(f, shared).cRef, 1u + 2 + 681);
}

TEST_F(NdbFixture, ReleasedBlocksLeaveTheMapsAndTheTree) {
    const Bytes data(20000, 1);
    const uint64_t tree = ndb_->WriteStream(data.data(), data.size());
    ndb_->SetNode(0x21, tree, 0, 0);
    ndb_->Commit();
    const Bytes before = Contents();
    const uint64_t freeBefore = LoadLe(&before[200], 8);
    ndb_->SetNode(0x21, 0, 0, 0); // the whole tree becomes garbage
    EXPECT_EQ(ndb_->BlockCount(), 0u);
    ndb_->Commit();
    const Bytes after = Contents();
    // the stream's blocks (8192, 8192, 3712 and the 64-byte XBLOCK) are free again;
    // the second commit's tree pages replace the first's
    EXPECT_EQ(LoadLe(&after[200], 8), freeBefore + 2 * 8192 + 3712 + 64);
    EXPECT_EQ(after[248], 0x02); // maps valid
    EXPECT_EQ(LoadLe(&after[40], 4),
              LoadLe(&before[40], 4) + 2); // dwUnique advanced per header write
}

TEST_F(NdbFixture, NidCountersStartWhereOutlookStarts) {
    EXPECT_EQ(ndb_->NewNid(kNidNormalMessage), 0x200024u);
    EXPECT_EQ(ndb_->NewNid(kNidAttachment), 0x8025u);
    EXPECT_EQ(ndb_->NewNid(kNidLtp), 0x803Fu);
    EXPECT_EQ(ndb_->NewNid(kNidSearchFolder), MakeNid(kNidSearchFolder, 0x4001));
}

TEST(StoreFileTest, ExclusiveCreateAndFailingWrites) {
    const fs::path p = fs::temp_directory_path() / "pst_storefile_test.bin";
    fs::remove(p);
    {
        StoreFile f(p.string());
        f.FailAfter(10);
        const uint8_t b[8] = {};
        f.WriteAt(0, b, 8);
        EXPECT_THROW(f.WriteAt(8, b, 8), PstError); // nothing of it is written
        f.Close();
    }
    EXPECT_EQ(fs::file_size(p), 8u);
    EXPECT_THROW(StoreFile{p.string()}, PstError);
    EXPECT_EQ(fs::file_size(p), 8u);
    fs::remove(p);
}
