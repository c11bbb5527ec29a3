// Randomised stores: sizes, field mixes and picture sizes drawn from fixed
// seeds, so every failure can be replayed. Each store goes through the
// verifier and both readers, and every contact is compared field by field.
#include "StoreTesting.h"

#include <gtest/gtest.h>

#include <iostream>

using namespace velloquin::pstcheck;

namespace {

class Soak : public testing::TestWithParam<uint32_t> {};

TEST_P(Soak, RandomStoreReadsBackIntact) {
    std::mt19937 rng(GetParam());
    // Mostly small stores, now and then an empty one or one of thousands.
    const std::vector<size_t> sizes = {0, 1, 2, 17, 160, 450, 1200, 2600};
    size_t count = sizes[std::uniform_int_distribution<size_t>(0, sizes.size() - 1)(rng)];
    count += std::uniform_int_distribution<size_t>(0, count / 4)(rng);
    RandomContactOptions options;
    options.fieldProbability = std::uniform_real_distribution<double>(0.05, 0.95)(rng);
    options.pictureProbability = std::uniform_real_distribution<double>(0.0, 0.5)(rng);
    options.maxPicture = std::uniform_int_distribution<size_t>(1, 120000)(rng);
    std::vector<TestContact> contacts;
    for (size_t i = 0; i < count; ++i)
        contacts.push_back(RandomContact(rng, options));
    std::cout << "seed " << GetParam() << ": " << count << " contacts, fields "
              << options.fieldProbability << ", pictures " << options.pictureProbability
              << " up to " << options.maxPicture << " bytes\n";

    TempDir dir;
    const std::string pst = dir / "soak.pst";
    WriteStore(pst, contacts, dir.Path());
    ExpectVerifies(pst);
    ExpectSameContacts(contacts, ReadStoreBack(pst, dir.Path()));
}

INSTANTIATE_TEST_SUITE_P(Seeds, Soak,
                         testing::Values(11u, 23u, 37u, 41u, 59u, 67u, 73u, 89u, 97u, 101u, 105u));

} // namespace
