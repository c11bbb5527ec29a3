// The store's named properties. The writer registers its complete list when
// the file is created, so every named property has a fixed id (0x8000 + its
// position) and the name-to-id map is never empty.
#pragma once

#include "pst/Ltp.h"

#include <cstdint>
#include <vector>

namespace velloquin::pst {

// Numeric names in PSETID_Address {00062004-0000-0000-C000-000000000046}.
enum Lid : uint16_t {
    kLidFileUnder = 0x8005,
    kLidFileUnderId = 0x8006,
    kLidHasPicture = 0x8015,
    kLidHomeAddress = 0x801A,
    kLidWorkAddress = 0x801B,
    kLidPostalAddressId = 0x8022,
    kLidAddressBookProviderEmailList = 0x8028,
    kLidAddressBookProviderArrayType = 0x8029,
    kLidHtml = 0x802B,
    kLidWorkAddressStreet = 0x8045,
    kLidWorkAddressCity = 0x8046,
    kLidWorkAddressState = 0x8047,
    kLidWorkAddressPostalCode = 0x8048,
    kLidWorkAddressCountry = 0x8049,
    kLidInstantMessagingAddress = 0x8062,
    kLidEmail1DisplayName = 0x8080,
    kLidEmail1AddressType = 0x8082,
    kLidEmail1EmailAddress = 0x8083,
    kLidEmail1OriginalDisplayName = 0x8084,
    kLidEmail1OriginalEntryId = 0x8085,
    kLidFax1AddressType = 0x80B2,
    kLidFax2AddressType = 0x80C2,
    kLidFax3AddressType = 0x80D2,
    kLidBirthdayLocal = 0x80DE,
    kLidWeddingAnniversaryLocal = 0x80DF,
    kLidFileUnderList = 0x8026,
    kLidContactCharacterSet = 0x8023,
    kLidOtherAddress = 0x801C,
    kLidOtherAddressCountryCode = 0x80DC,
};
// Each fax group: address type, e-mail address (+1), original display name
// (+2), original entry id (+3).

// Numeric names in PSETID_Common {00062008-0000-0000-C000-000000000046}.
enum CommonLid : uint16_t {
    kLidCurrentVersion = 0x8552,
    kLidCurrentVersionName = 0x8554,
};
// Email2 and Email3 groups sit at +0x10 and +0x20 from the Email1 LIDs.

// Property id of a PSETID_Address LID; throws for a LID not registered.
uint16_t NamedId(uint16_t lid);
// Property id of a PSETID_Common LID; throws for a LID not registered.
uint16_t CommonNamedId(uint16_t lid);
// Property id of PS_PUBLIC_STRINGS "Keywords" (the categories).
uint16_t KeywordsId();

// Hash bucket of a NAMEID: (dwPropertyID, or the CRC of a string name) XOR
// ((wGuid << 1) | N), modulo the bucket count.
uint32_t NameBucket(uint32_t idOrCrc, uint16_t guidAndKind, uint32_t buckets = 251);

// Properties of the name-to-id map node: bucket count 0x0001, GUID stream
// 0x0002 (PSETID_Address, PSETID_Common), entry stream 0x0003 (NAMEID: dwPropertyID 4, (wGuid << 1)
// | N 2, wPropIdx 2), string stream 0x0004 (length 4 + UTF-16LE, 4-byte aligned) and one binary
// property 0x1000 + b for each non-empty bucket b.
std::vector<Property> NameMapProperties();

} // namespace velloquin::pst
