// The store writer through the library's interface, fed with contacts built
// from the input: texts of every length (past the 3,580 bytes that fit one
// heap allocation and past a data block), dates of every value and pictures
// of every size. The store is written into memory through the same file
// layer, then checked by the structural verifier there: a store that does not
// verify is a fault.
#include "FuzzSupport.h"

#include "outlook/Rdo.h"
#include "pst/Contact.h"
#include "pst/RdoPst.h"
#include "tools/pstverify/PstVerifier.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace velloquin;

// seed again and again up to length bytes, doubling what is there: a few
// appends even for megabytes, where one per seed would cost most of the run.
std::string Repeat(const std::string& seed, size_t length) {
    std::string text = seed;
    text.reserve(length);
    while (text.size() < length)
        text.append(text, 0, std::min(text.size(), length - text.size()));
    text.resize(length);
    return text;
}

// A text of the chosen length, repeating a few bytes of the input.
std::string Text(FuzzedDataProvider& in) {
    size_t length;
    // Mostly short texts, so that an input still runs fast; the long ones
    // are what the heap-on-node and data-tree code paths are for, and a few
    // around each boundary reach them as well as many would.
    switch (in.ConsumeIntegralInRange(0, 63)) {
    case 0:
    case 1: // around the 3,580 bytes of one heap allocation
        length = in.ConsumeIntegralInRange<size_t>(3560, 3600);
        break;
    case 2:
    case 3: // around one data block
        length = in.ConsumeIntegralInRange<size_t>(8150, 8200);
        break;
    case 4:
    case 5:
    case 6:
    case 7:
        length = in.ConsumeIntegralInRange<size_t>(0, 1000);
        break;
    case 8: // across many blocks (ten at most: more reach nothing new)
        length = in.ConsumeIntegralInRange<size_t>(0, 40000);
        break;
    default:
        return in.ConsumeRandomLengthString(80);
    }
    std::string seed = in.ConsumeRandomLengthString(12);
    if (seed.empty()) seed = "x";
    return Repeat(seed, length);
}

double Date(FuzzedDataProvider& in) {
    static const double kSpecial[] = {0,
                                      -1,
                                      -657434, // year 100
                                      2958465, // year 9999
                                      1e300,
                                      -1e300,
                                      std::numeric_limits<double>::quiet_NaN(),
                                      std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity(),
                                      std::numeric_limits<double>::denorm_min()};
    if (in.ConsumeBool()) return in.PickValueInArray(kSpecial);
    return in.ConsumeFloatingPoint<double>();
}

// Picture sizes around the writer's boundaries: inline in the heap, one
// block, a block list, and now and then a list of lists (past 1,021 blocks
// of 8,176 bytes).
size_t PictureSize(FuzzedDataProvider& in, bool& listOfListsLeft) {
    // The list of lists is rare, and one to a store: each costs megabytes of
    // writing and checking, a second one reaches nothing the first did not,
    // and the corpus keeps the inputs that reach it, so their cost would
    // come back in every mutation of them.
    const int pick = in.ConsumeIntegralInRange(0, 255);
    if (pick == 0 && listOfListsLeft) {
        listOfListsLeft = false;
        return in.ConsumeIntegralInRange<size_t>(8'300'000, 8'400'000);
    }
    if (pick <= 24) return in.ConsumeIntegralInRange<size_t>(3560, 3600);
    if (pick <= 48) return in.ConsumeIntegralInRange<size_t>(8150, 8200);
    if (pick <= 72) return in.ConsumeIntegralInRange<size_t>(0, 200000);
    return in.ConsumeIntegralInRange<size_t>(0, 16);
}

template <class Step> void Try(Step&& step) {
    try {
        step();
    } catch (const outlook::RdoError&) {
        // a refusal the writer reports is fine; anything else is a fault
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const auto& names = pst::ContactFieldNames();
    const std::string storePath = (fuzz::WorkFolder() / "Contacts.pst").string();

    // The library's session as the factory creates it on this platform.
    static std::vector<uint8_t> storeBytes;
    pst::StoreOptions options;
    options.memory = &storeBytes;
    auto session = pst::CreatePstSession(options);
    session->Logon();
    auto store = session->Stores()->AddPSTStore(storePath, 1, Text(in));
    const std::string storeId = store->EntryID();
    store->ValidateIPMTree();

    bool listOfListsLeft = true;
    const int contacts = in.ConsumeIntegralInRange(0, 6);
    for (int c = 0; c < contacts && in.remaining_bytes() > 0; ++c) {
        std::shared_ptr<outlook::RdoContactItem> item;
        Try([&] {
            item = session->GetStoreFromID(storeId)->GetDefaultFolder(10)->Items()->Add(2);
        });
        if (!item) std::abort();
        const int properties = in.ConsumeIntegralInRange(0, 50);
        for (int p = 0; p < properties; ++p) {
            std::string name = in.ConsumeIntegralInRange(0, 20) == 0
                                   ? in.ConsumeRandomLengthString(20)
                                   : names[in.ConsumeIntegralInRange<size_t>(0, names.size() - 1)];
            const bool date = in.ConsumeIntegralInRange(0, 3) == 0;
            Try([&] {
                if (date)
                    item->SetProperty(name, outlook::DateValue{Date(in)});
                else
                    item->SetProperty(name, Text(in));
            });
        }
        const int pictures = in.ConsumeIntegralInRange(0, 2);
        for (int k = 0; k < pictures; ++k) {
            const size_t length = PictureSize(in, listOfListsLeft);
            std::string seed = in.ConsumeRandomLengthString(16);
            if (seed.empty()) seed = "G";
            const std::string picture = fuzz::WriteInput("1.gif", Repeat(seed, length));
            Try([&] { item->AddPicture(picture); });
        }
        if (in.ConsumeIntegralInRange(0, 7) == 0)
            Try([&] { item->AddPicture((fuzz::WorkFolder() / "missing.gif").string()); });
        Try([&] { item->Save(); });
    }
    store.reset();
    // The log-off commits the store: a store that cannot be finished is a fault.
    session->Logoff();
    session.reset();

    const auto verdict = pstverify::VerifyPst(storeBytes);
    if (!verdict.Ok()) {
        std::fputs(verdict.Describe().c_str(), stderr);
        std::abort();
    }
    fuzz::EmptyWorkFolder();
    return 0;
}
