// Stores written through the library interface, read back by pff-tools and
// pst-utils, and checked by the structural verifier.
#include "StoreTesting.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace velloquin::pstcheck;

namespace {

void RoundTrip(const std::vector<TestContact>& contacts) {
    TempDir dir;
    const std::string pst = dir / "contacts.pst";
    WriteStore(pst, contacts, dir.Path());
    ExpectVerifies(pst);
    const ReadBack back = ReadStoreBack(pst, dir.Path());
    ExpectSameContacts(contacts, back);
}

std::vector<TestContact> RandomContacts(size_t n, uint32_t seed, RandomContactOptions options) {
    std::mt19937 rng(seed);
    std::vector<TestContact> contacts;
    for (size_t i = 0; i < n; ++i)
        contacts.push_back(RandomContact(rng, options));
    return contacts;
}

TEST(StoreRoundTrip, EmptyStoreKeepsItsFolderTree) {
    RoundTrip({});
}

TEST(StoreRoundTrip, OneContactWithEveryField) {
    RoundTrip({FullContact(1, 5000)});
}

// Around the heap allocation limit (3,580 bytes) and the data block limit
// (8,176 bytes), and past what one XBLOCK can reach (1,021 blocks, 8.3 MB).
TEST(StoreRoundTrip, PictureAndBodySizesAtTheBlockLimits) {
    std::vector<TestContact> contacts;
    for (size_t size : {1u, 3580u, 3581u, 8176u, 8177u, 16352u, 16353u, 1200000u, 9000000u}) {
        contacts.push_back(FullContact(static_cast<int>(contacts.size()), size));
    }
    contacts.push_back(FullContact(100, 0));
    for (size_t length : {1789u, 1790u, 1791u, 4000u, 9000u, 70000u}) {
        TestContact c = FullContact(static_cast<int>(contacts.size()), 0);
        // Two bytes a character in the file: 1,790 characters fill a heap
        // allocation exactly.
        c.text["Body"] = std::string(length - 1, 'b') + "é";
        contacts.push_back(c);
    }
    RoundTrip(contacts);
}

TEST(StoreRoundTrip, ThreeThousandContacts) {
    RoundTrip(RandomContacts(3000, 3000, {0.6, 0.1, 20000}));
}

// Passes the 31 MB mark where the file needs its first FMap page. Slow.
TEST(StoreRoundTrip, TwentyThousandContactsWithPictures) {
    RoundTrip(RandomContacts(20000, 20000, {0.5, 1.0, 3600}));
}

} // namespace
