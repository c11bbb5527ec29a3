// Shared pieces of the store tests: contacts with known fields, written
// through the library interface, then checked by the structural verifier and
// read back by pffinfo, pffexport (text and -d), readpst and pst-extractor.
#pragma once

#include "pst/Store.h"
#include "support/Readers.h"

#include <map>
#include <random>
#include <string>
#include <vector>

namespace velloquin::pstcheck {

using Bytes = std::string;

struct TestContact {
    std::map<std::string, std::string> text; // object-model name -> value
    double birthday = 0, anniversary = 0;    // automation dates, 0 = none
    Bytes picture;                           // the picture file's, empty = none
};

using testsupport::TempDir;

// Writes the contacts into a new store through CreateRdoObject.
void WriteStore(const std::string& pst, const std::vector<TestContact>& contacts,
                const TempDir& scratch);
// Saves one contact through the store writer itself, its picture by way of a file.
void SaveContact(pst::PstStore& store, const TestContact& c, const std::string& pictureFile);

// What the readers show of the Contacts folder, item by item in row order.
struct ReadBack {
    // readpst -cv: each line's value, unescaped, by "NAME;PARAMS" ("TEL;TYPE=work,fax")
    std::vector<std::multimap<std::string, std::string>> vcards;
    // pffexport -d: values as text by "0x3a06", "lid:0x8083" or "name:Keywords", and
    // from its text export the "picture"
    std::vector<std::map<std::string, std::string>> items;
    // pst-extractor: values by object-model name ("Subject", "FileAs" and
    // "MessageClass" too), dates as "YYYY-MM-DD hh:mm", and the "picture"
    std::vector<std::map<std::string, std::string>> extracted;
};
// Verifies the store's structure and runs the readers on it, adding a failure
// for each problem. A killed writer may leave bytes past the end of the file
// and space still marked allocated.
ReadBack ReadStoreBack(const std::string& pst, const TempDir& work, bool killed = false);
// Adds a failure for every difference between the contacts written and what
// both readers show of them.
void ExpectSameContacts(const std::vector<TestContact>& written, const ReadBack& back);

// Random contacts: each field present by chance, texts mixing ASCII,
// accented Latin, Cyrillic, CJK and astral characters, some long bodies.
struct RandomContactOptions {
    double fieldProbability = 0.5;
    double pictureProbability = 0.2;
    size_t maxPicture = 40000;
    // The fields only a Standard Mode reading fills too: the nickname, the
    // further phone numbers, the other address, the personal web page and the
    // children (separate, so that the older stores' random contacts stay).
    bool everyField = false;
};
std::vector<TestContact> RandomContacts(size_t n, uint32_t seed,
                                        const RandomContactOptions& options);
Bytes PictureBytes(size_t size, uint32_t seed);

} // namespace velloquin::pstcheck
