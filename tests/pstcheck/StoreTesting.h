// Shared pieces of the store tests: contacts with known fields, writing them
// through the library interface, running the independent readers and
// reading back what they export.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace velloquin::pstcheck {

struct TestContact {
    std::map<std::string, std::string> text; // object-model name -> value
    double birthday = 0;                     // automation dates, 0 = none
    double anniversary = 0;
    std::vector<uint8_t> picture; // empty = none
};

// A fresh directory below the system's temporary folder, removed on
// destruction unless PSTCHECK_KEEP is set in the environment.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Writes the contacts into a new store through CreateRdoObject; picture
// files are written to `scratchDir` first.
void WriteStore(const std::string& path, const std::vector<TestContact>& contacts,
                const std::string& scratchDir, const std::string& displayName = "Velloquin Test");

struct CommandResult {
    int exitCode = -1;
    std::string output; // stdout and stderr
};
CommandResult RunCommand(const std::string& command);
std::string Quote(const std::string& path);
std::vector<uint8_t> ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);

// One vCard of readpst's export: property lines by upper-case name without
// parameters ("TEL"), each with its parameters and still-escaped value.
struct VCardLine {
    std::string params; // e.g. "TYPE=work", upper case
    std::string value;
};
struct VCard {
    std::multimap<std::string, VCardLine> lines;
    // Unescaped value of the first line with this name (and parameters
    // containing `params`), or nothing.
    std::optional<std::string> Get(const std::string& name, const std::string& params = "") const;
    // The components of a structured value (N, ADR), unescaped.
    std::vector<std::string> Components(const std::string& name,
                                        const std::string& params = "") const;
};
std::vector<VCard> ParseVCards(const std::string& text);
std::string UnescapeVCard(const std::string& value);

// An item of pffexport's debug export: every property of ItemValues.txt by
// key, "0x3a06" for a tag and "lid:0x8083" / "name:Keywords" for named ones,
// with the raw value bytes.
struct PffProperty {
    uint32_t valueType = 0;
    std::vector<uint8_t> bytes;
};
struct PffItem {
    std::string directory;
    std::map<std::string, PffProperty> properties;
    std::vector<uint8_t> picture; // bytes of the exported picture attachment
    bool hasPicture = false;
};
// Items of one folder of a pffexport -d tree, in the order pffexport numbers them.
std::vector<PffItem> ReadPffItems(const std::string& folderDir);
std::string Utf16ToUtf8(const std::vector<uint8_t>& bytes);

// Everything the readers export of one store.
struct ReadBack {
    std::string pffinfo;
    std::string pffexportLog;
    std::string readpstLog;
    std::vector<VCard> vcards;           // readpst -cv
    std::vector<PffItem> items;          // pffexport -d, Contacts folder
    std::vector<std::string> pffFolders; // folder paths below the export root
};
// Runs pffinfo, pffexport and readpst on the store; adds a failure to the
// running test for every reader that does not accept it.
ReadBack ReadStoreBack(const std::string& pstPath, const std::string& workDir);

// Compares what the readers exported with the contacts written, adding a
// failure for every difference (at most a few per field).
void ExpectSameContacts(const std::vector<TestContact>& written, const ReadBack& back);

// Runs the structural verifier and adds a failure with its findings.
void ExpectVerifies(const std::string& pstPath, bool killed = false);

// Random contacts: every field present or empty by chance, texts mixing
// ASCII, accented Latin, Cyrillic and CJK, some long bodies and pictures of
// random sizes.
struct RandomContactOptions {
    double fieldProbability = 0.5;
    double pictureProbability = 0.2;
    size_t maxPicture = 40000;
};
TestContact RandomContact(std::mt19937& rng, const RandomContactOptions& options);
// Every field filled, with a picture of `pictureSize` bytes (0 = none).
TestContact FullContact(int index, size_t pictureSize);
std::vector<uint8_t> PictureBytes(size_t size, uint32_t seed);

} // namespace velloquin::pstcheck
