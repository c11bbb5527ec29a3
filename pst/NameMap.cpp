#include "pst/NameMap.h"

#include "core/Text.h"
#include "pst/Crc.h"
#include "pst/PstError.h"

#include <algorithm>
#include <array>
#include <map>

namespace velloquin::pst {

namespace {

constexpr uint16_t kLids[] = {
    kLidFileUnder, kLidFileUnderId, kLidHasPicture, kLidHomeAddress, kLidWorkAddress,
    kLidPostalAddressId, kLidAddressBookProviderEmailList, kLidAddressBookProviderArrayType,
    kLidHtml, kLidWorkAddressStreet, kLidWorkAddressCity, kLidWorkAddressState,
    kLidWorkAddressPostalCode, kLidWorkAddressCountry, kLidInstantMessagingAddress,
    // the three e-mail groups
    0x8080, 0x8082, 0x8083, 0x8084, 0x8085, 0x8090, 0x8092, 0x8093, 0x8094, 0x8095, 0x80A0, 0x80A2,
    0x80A3, 0x80A4, 0x80A5, kLidBirthdayLocal, kLidWeddingAnniversaryLocal,
    // the fax groups: business and home complete, primary fax's type only
    0x80B2, 0x80B3, 0x80B4, 0x80B5, 0x80C2, 0x80C3, 0x80C4, 0x80C5, 0x80D2, kLidFileUnderList,
    kLidContactCharacterSet};
constexpr size_t kLidCount = sizeof(kLids) / sizeof(kLids[0]);
// PSETID_Common names, registered after "Keywords": a widely used reader
// (pst-extractor) never reads the last entry of the name map, so the last
// one is a name no reader needs.
constexpr uint16_t kCommonLids[] = {kLidCurrentVersion, kLidCurrentVersionName};
constexpr size_t kCommonCount = sizeof(kCommonLids) / sizeof(kCommonLids[0]);
// PSETID_Address names added later, after the others so that every earlier
// name keeps its id: the other address and the rest of the other-fax group.
// The last is a name the writer never uses, as the last entry must be.
constexpr uint16_t kLaterLids[] = {kLidOtherAddress, 0x80D3, 0x80D4, 0x80D5,
                                   kLidOtherAddressCountryCode};
constexpr size_t kLaterCount = sizeof(kLaterLids) / sizeof(kLaterLids[0]);
constexpr size_t kLaterFirst = kLidCount + 1 + kCommonCount;

constexpr uint32_t kBuckets = 251;
// wGuid 2 is PS_PUBLIC_STRINGS; 3 is the first GUID of the GUID stream.
constexpr uint16_t kNumericAddress = (3 << 1) | 0;
constexpr uint16_t kNumericCommon = (4 << 1) | 0;
constexpr uint16_t kStringPublic = (2 << 1) | 1;

// PSETID_Address and PSETID_Common in Windows byte order: the GUID stream.
constexpr uint8_t kGuidStream[32] = {
    0x04, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46,
    0x08, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

} // namespace

uint16_t NamedId(uint16_t lid) {
    // Asked for tens of times per contact: a table by LID, 0 where none.
    static const auto ids = [] {
        std::array<uint16_t, 0x100> t{};
        for (size_t i = kLaterCount; i-- > 0;)
            t[kLaterLids[i] & 0xFF] = static_cast<uint16_t>(0x8000 + kLaterFirst + i);
        for (size_t i = kLidCount; i-- > 0;)
            t[kLids[i] & 0xFF] = static_cast<uint16_t>(0x8000 + i);
        return t;
    }();
    if ((lid & 0xFF00) == 0x8000 && ids[lid & 0xFF] != 0) return ids[lid & 0xFF];
    throw PstError("internal: named property not registered");
}

uint16_t CommonNamedId(uint16_t lid) {
    for (size_t i = 0; i < kCommonCount; ++i)
        if (kCommonLids[i] == lid) return static_cast<uint16_t>(0x8000 + kLidCount + 1 + i);
    throw PstError("internal: named property not registered");
}

uint16_t KeywordsId() {
    return static_cast<uint16_t>(0x8000 + kLidCount);
}

uint32_t NameBucket(uint32_t idOrCrc, uint16_t guidAndKind, uint32_t buckets) {
    return (idOrCrc ^ guidAndKind) % buckets;
}

std::vector<Property> NameMapProperties() {
    std::vector<Property> props;
    auto binary = [&props](uint16_t id, Bytes v) {
        props.push_back({Tag(id, kPtBinary), std::move(v), 0});
    };
    LeWriter count;
    count.U32(kBuckets);
    props.push_back({Tag(0x0001, kPtInt32), count.Take(), 0});
    binary(0x0002, Bytes(std::begin(kGuidStream), std::end(kGuidStream)));

    LeWriter entries, strings;
    std::map<uint32_t, LeWriter> buckets;
    auto nameId = [](LeWriter& s, uint32_t id, uint16_t kind, size_t index) {
        s.U32(id);
        s.U16(kind);
        s.U16(static_cast<uint16_t>(index));
    };
    for (size_t i = 0; i < kLidCount; ++i) {
        nameId(entries, kLids[i], kNumericAddress, i);
        nameId(buckets[NameBucket(kLids[i], kNumericAddress)], kLids[i], kNumericAddress, i);
    }
    const Bytes keywords = Utf8ToUtf16Le("Keywords");
    const auto offset = static_cast<uint32_t>(strings.Size());
    strings.U32(static_cast<uint32_t>(keywords.size()));
    strings.Raw(keywords);
    strings.PadTo((strings.Size() + 3) / 4 * 4);
    const size_t keywordsIndex = kLidCount;
    nameId(entries, offset, kStringPublic, keywordsIndex);
    const uint32_t crc = Crc32(keywords.data(), keywords.size());
    nameId(buckets[NameBucket(crc, kStringPublic)], crc, kStringPublic, keywordsIndex);

    for (size_t i = 0; i < kCommonCount; ++i) {
        const size_t index = kLidCount + 1 + i;
        nameId(entries, kCommonLids[i], kNumericCommon, index);
        nameId(buckets[NameBucket(kCommonLids[i], kNumericCommon)], kCommonLids[i], kNumericCommon,
               index);
    }
    for (size_t i = 0; i < kLaterCount; ++i) {
        const size_t index = kLaterFirst + i;
        nameId(entries, kLaterLids[i], kNumericAddress, index);
        nameId(buckets[NameBucket(kLaterLids[i], kNumericAddress)], kLaterLids[i], kNumericAddress,
               index);
    }
    binary(0x0003, entries.Take());
    binary(0x0004, strings.Take());
    for (auto& [b, sink] : buckets)
        binary(static_cast<uint16_t>(0x1000 + b), sink.Take());
    return props;
}

} // namespace velloquin::pst
