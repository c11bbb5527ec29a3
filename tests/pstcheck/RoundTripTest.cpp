// Stores written through the library interface, checked by the verifier and
// compared with what both readers show: 0, 1, 3,000 and 20,000 contacts,
// contacts at the block limits, and randomised stores.
#include "StoreTesting.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace velloquin::pstcheck;

namespace {

void RoundTrip(const std::vector<TestContact>& contacts, uint64_t minFileSize = 0) {
    TempDir dir;
    WriteStore(dir / "contacts.pst", contacts, dir);
    EXPECT_GE(std::filesystem::file_size(dir / "contacts.pst"), minFileSize);
    ExpectSameContacts(contacts, ReadStoreBack(dir / "contacts.pst", dir));
}

// Every field filled, with a picture of `size` bytes (0 = none).
TestContact Full(size_t picture) {
    TestContact c = RandomContacts(1, static_cast<uint32_t>(picture), {1, 0, 1})[0];
    c.picture = picture ? PictureBytes(picture, 1) : "";
    return c;
}

TEST(StoreRoundTrip, EmptyAndOneContactStores) {
    RoundTrip({});
    RoundTrip({Full(5000)});
}

// Pictures and bodies around a heap allocation (3,580 bytes), a data block
// (8,176 bytes) and what one XBLOCK reaches (1,021 blocks, 8.3 MB).
TEST(StoreRoundTrip, PictureAndBodySizesAtTheBlockLimits) {
    std::vector<TestContact> contacts;
    for (size_t size : {1u, 3580u, 3581u, 8176u, 8177u, 16352u, 16353u, 1200000u, 9000000u})
        contacts.push_back(Full(size));
    for (size_t length : {1789u, 1790u, 1791u, 4000u, 9000u, 70000u}) {
        contacts.push_back(Full(0)); // two bytes a character: 1,790 fill a heap allocation
        contacts.back().text["Body"] = std::string(length - 1, 'b') + "é";
    }
    RoundTrip(contacts);
}

// The fields only a Standard Mode reading fills, each in its own slot: a
// contact with all of them, one whose only address is the other address (the
// mailing address then), one with only the assistant's number, random mixes.
TEST(StoreRoundTrip, EveryFieldOfAStandardReadingInItsSlot) {
    std::vector<TestContact> contacts = RandomContacts(1, 7, {1, 0, 1, true});
    TestContact other, assistant;
    other.text = {{"LastName", "Other"},
                  {"OtherAddressStreet", "1 Way"},
                  {"OtherAddressCity", "Town"},
                  {"OtherAddressCountry", "Land"}};
    assistant.text = {{"FirstName", "Ann"}, {"AssistantTelephoneNumber", "+1 555 0100"}};
    contacts.push_back(other);
    contacts.push_back(assistant);
    const auto mixed = RandomContacts(60, 23, {0.3, 0.1, 3000, true});
    contacts.insert(contacts.end(), mixed.begin(), mixed.end());
    RoundTrip(contacts);
}

TEST(StoreRoundTrip, ThreeThousandContacts) {
    RoundTrip(RandomContacts(3000, 3000, {0.6, 0.1, 20000}));
}

// Past the 32.5 MB where the file needs its first FMap page. Slow.
TEST(StoreRoundTrip, TwentyThousandContactsPastTheFirstFMap) {
    RoundTrip(RandomContacts(20000, 20000, {0.1, 0.05, 60000}), 0x4400 + 128 * 253952);
}

// Random sizes (mostly small, now and then empty or thousands), field mixes
// and picture sizes, from fixed seeds so that every failure can be replayed.
class Soak : public testing::TestWithParam<uint32_t> {};

TEST_P(Soak, RandomStoreReadsBackIntact) {
    std::mt19937 rng(GetParam());
    const size_t sizes[] = {0, 1, 2, 17, 160, 450, 1200, 2600};
    size_t count = sizes[std::uniform_int_distribution<size_t>(0, 7)(rng)];
    count += std::uniform_int_distribution<size_t>(0, count / 4)(rng);
    const RandomContactOptions options{std::uniform_real_distribution<double>(0.05, 0.95)(rng),
                                       std::uniform_real_distribution<double>(0.0, 0.5)(rng),
                                       std::uniform_int_distribution<size_t>(1, 120000)(rng)};
    RecordProperty("contacts", static_cast<int>(count));
    RoundTrip(RandomContacts(count, static_cast<uint32_t>(rng()), options));
}

INSTANTIATE_TEST_SUITE_P(Seeds, Soak,
                         testing::Values(11u, 23u, 37u, 41u, 59u, 67u, 73u, 89u, 97u, 101u, 105u));

} // namespace
