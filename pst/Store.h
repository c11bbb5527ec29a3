// A Unicode .pst store that holds contacts: the message store, the name map,
// the mandatory folders and the Contacts folder, written append-only with
// commits at checkpoints and when the store is closed.
#pragma once

#include "core/LeWriter.h"
#include "pst/Contact.h"
#include "pst/Ndb.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace velloquin::pst {

class StoreFile;

// Fixed node ids of the folder tree.
enum FixedNid : uint32_t {
    kNidMessageStore = 0x21,
    kNidNameToIdMap = 0x61,
    kNidRootFolder = 0x122,
    kNidSpamSearchFolder = 0x2223,
    kNidIpmSubtree = 0x8022,
    kNidSearchRoot = 0x8042,
    kNidDeletedItems = 0x8062,
    kNidContacts = 0x8082,
};

struct StoreOptions {
    // A checkpoint commits once this many contacts are pending, or a quarter
    // of the store's contacts when that is more (keeps the total commit work
    // proportional to the store size) ...
    size_t checkpointContacts = 1000;
    // ... or when this much time has passed since the last commit.
    std::chrono::milliseconds checkpointInterval{2000};
    // Test hook: the file fails after this many bytes.
    uint64_t failAfterBytes = UINT64_MAX;
    // The store's bytes go here instead of into a file (fuzzing, tests); the
    // path then only names the store.
    std::vector<uint8_t>* memory = nullptr;
};

// A picture already streamed into the file as blocks, waiting for its item.
struct StoredPicture {
    uint64_t bid = 0; // data tree of the bytes (0 when they are inline)
    uint64_t size = 0;
    Bytes inlineData; // small pictures stay in the attachment's heap
};

class PstStore {
  public:
    // Creates the file (never over an existing one) and commits the empty
    // store with its folder tree.
    PstStore(const std::string& path, const std::string& displayName, StoreOptions options = {});
    ~PstStore();
    PstStore(const PstStore&) = delete;
    PstStore& operator=(const PstStore&) = delete;

    // Hex of the store's ENTRYID (flags, record key, message store NID).
    std::string EntryIdText() const;
    // ENTRYID of an object of this store: rgbFlags 4 (0), uid 16, nid 4.
    Bytes EntryIdOf(uint32_t nid) const;
    const Bytes& RecordKey() const { return recordKey_; }
    const std::string& Path() const { return path_; }

    // Reads the picture file and stores its bytes; throws when unreadable.
    StoredPicture StorePicture(const std::string& path);
    // Frees a picture that no item took.
    void DropPicture(const StoredPicture& picture);
    // Appends one contact message to the Contacts folder.
    void SaveContact(const ContactFields& fields, const StoredPicture* picture);

    // Empty fields for an item; they keep the room of an earlier item's
    // texts, given back with ReturnFields, so that a run of thousands of
    // contacts does not allocate each text afresh.
    std::unique_ptr<ContactFields> TakeFields();
    void ReturnFields(std::unique_ptr<ContactFields> fields) noexcept;

    // `durable` waits until the disk has the commit (used when closing).
    void Commit(bool durable = false);
    // Commits and closes the file; later calls do nothing.
    void Close();
    bool IsOpen() const { return open_; }
    size_t ContactCount() const { return rows_.size(); }
    size_t CommittedContacts() const { return committedContacts_; }

  private:
    struct ContentsRow {
        uint32_t nid;
        uint32_t flags;
        uint32_t size;
        uint64_t modified;
        Bytes subject; // UTF-16LE, cut to what a table cell shows
    };
    struct FolderInfo {
        uint32_t nid;
        std::string name;
        uint32_t count;
        bool subfolders;
        std::string containerClass;
    };
    template <class F> auto Guard(F&& f);
    uint32_t NewLtpNid();
    std::pair<uint64_t, uint64_t> WritePc(const std::vector<Property>& props,
                                          std::vector<SubnodeEntry> extraSubnodes);
    std::pair<uint64_t, uint64_t> WritePc(PropertyList& props,
                                          std::vector<SubnodeEntry> extraSubnodes);
    uint64_t WriteTableBlocks(const EncodedTc& tc, uint64_t& bidSub);
    void WriteTable(uint32_t nid, const EncodedTc& tc);
    void WriteStaticNodes();
    void WriteFolderPc(const FolderInfo& folder, uint32_t parent);
    void WriteHierarchy(uint32_t nid, const std::vector<FolderInfo>& children);
    void WriteContactsFolder();
    void MaybeCheckpoint();
    FolderInfo ContactsInfo() const;
    Bytes RandomBytes(size_t n);
    // PidTagReplVersionHistory: count 4, replica GUID 16, version 4.
    Bytes ReplVersionHistory();

    std::string path_;
    std::string displayName_;
    StoreOptions options_;
    std::unique_ptr<StoreFile> file_;
    std::unique_ptr<NdbWriter> ndb_;
    std::mt19937_64 random_;
    Bytes recordKey_;
    // Blocks of the empty table templates, shared by the folders' tables.
    uint64_t hierarchyTemplate_ = 0, contentsTemplate_ = 0, faiTemplate_ = 0, searchTemplate_ = 0,
             attachTemplate_ = 0, recipientTemplate_ = 0;
    std::vector<ContentsRow> rows_;
    // The properties of the contact being saved; its room is kept for the next.
    PropertyList contactProperties_;
    std::unique_ptr<ContactFields> spareFields_;
    // The Contacts table's blocks of the last commit, reused where unchanged.
    std::vector<std::pair<uint64_t, Bytes>> contentsHeapCache_, contentsMatrixCache_;
    size_t committedContacts_ = 0;
    bool dirty_ = false;
    bool open_ = false;
    bool broken_ = false;
    std::chrono::steady_clock::time_point lastCommit_;
};

} // namespace velloquin::pst
