// pst-killwriter OUT N SEED CHECKPOINT
// Writes N random contacts (the same ones for the same SEED) into a new
// store at OUT, committing every CHECKPOINT contacts, and reports its
// progress on stdout so that a test can kill it anywhere:
//   "ready"            the empty store is committed
//   "saved I"          contact I (1-based) is appended
//   "committed C"      the file now holds the first C contacts
//   "closed"           the store is complete
#include "StoreTesting.h"
#include "pst/Store.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

using namespace velloquin;

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: pst-killwriter OUT N SEED CHECKPOINT\n";
        return 2;
    }
    const std::string out = argv[1];
    const int n = std::atoi(argv[2]);
    std::mt19937 rng(static_cast<uint32_t>(std::atoi(argv[3])));
    pst::StoreOptions options;
    options.checkpointContacts = static_cast<size_t>(std::atoi(argv[4]));
    options.checkpointInterval = std::chrono::hours(1);
    try {
        pst::PstStore store(out, "Kill Test", options);
        std::printf("ready\n");
        std::fflush(stdout);
        size_t committed = store.CommittedContacts();
        const std::string picturePath = out + ".picture";
        for (int i = 0; i < n; ++i) {
            const pstcheck::TestContact c = pstcheck::RandomContact(rng, {0.5, 0.3, 20000});
            pst::ContactFields fields;
            for (const auto& [name, value] : c.text)
                fields.text[name] = value;
            if (c.birthday != 0) fields.dates["Birthday"] = c.birthday;
            if (c.anniversary != 0) fields.dates["Anniversary"] = c.anniversary;
            if (!c.picture.empty()) {
                std::ofstream(picturePath, std::ios::binary)
                    .write(reinterpret_cast<const char*>(c.picture.data()),
                           static_cast<std::streamsize>(c.picture.size()));
                const pst::StoredPicture picture = store.StorePicture(picturePath);
                store.SaveContact(fields, &picture);
            } else {
                store.SaveContact(fields, nullptr);
            }
            std::printf("saved %d\n", i + 1);
            if (store.CommittedContacts() != committed) {
                committed = store.CommittedContacts();
                std::printf("committed %zu\n", committed);
            }
            std::fflush(stdout);
        }
        store.Close();
        std::remove(picturePath.c_str());
        std::printf("committed %zu\nclosed\n", store.CommittedContacts());
    } catch (const std::exception& e) {
        std::cerr << "pst-killwriter: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
