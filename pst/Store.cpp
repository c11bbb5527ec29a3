#include "pst/Store.h"

#include "core/Text.h"
#include "platform/Utf8Path.h"
#include "pst/FileIo.h"
#include "pst/Ltp.h"
#include "pst/NameMap.h"
#include "pst/Ndb.h"
#include "pst/PstError.h"

#include <algorithm>
#include <array>
#include <exception>
#include <filesystem>
#include <fstream>
#include <initializer_list>

namespace velloquin::pst {

namespace {

// Column sets of the table templates, as Outlook's own new files have them.
const std::vector<uint32_t> kHierarchyColumns = {0x0E300102, 0x0E330014, 0x0E340102, 0x0E380003,
                                                 0x3001001F, 0x36020003, 0x36030003, 0x360A000B,
                                                 0x3613001F, 0x66350003, 0x66360003};
const std::vector<uint32_t> kContentsColumns = {
    0x00170003, 0x001A001F, 0x00360003, 0x0037001F, 0x00390040, 0x0042001F, 0x0057000B,
    0x0058000B, 0x0070001F, 0x00710102, 0x0E03001F, 0x0E04001F, 0x0E060040, 0x0E070003,
    0x0E080003, 0x0E170003, 0x0E300102, 0x0E330014, 0x0E340102, 0x0E380003, 0x0E3C0102,
    0x0E3D0102, 0x10970003, 0x30080040, 0x30130102, 0x65C60003};
const std::vector<uint32_t> kFaiColumns = {
    0x001A001F, 0x0E070003, 0x0E170003, 0x3001001F, 0x6800001F, 0x6803000B, 0x68051003,
    0x682F001F, 0x70030003, 0x70040102, 0x70050102, 0x7006001F, 0x70070003};
const std::vector<uint32_t> kSearchContentsColumns = {
    0x00170003, 0x001A001F, 0x00360003, 0x0037001F, 0x0042001F, 0x0057000B,
    0x0058000B, 0x0E03001F, 0x0E04001F, 0x0E05001F, 0x0E060040, 0x0E070003,
    0x0E080003, 0x0E170003, 0x0E2A000B, 0x30080040, 0x67F10003};
const std::vector<uint32_t> kAttachmentColumns = {0x0E200003, 0x3704001F, 0x37050003, 0x370B0003};
const std::vector<uint32_t> kRecipientColumns = {0x0C150003, 0x0E0F000B, 0x0FF90102, 0x0FFE0003,
                                                 0x0FFF0102, 0x3001001F, 0x3002001F, 0x3003001F,
                                                 0x300B0102, 0x39000003, 0x39FF001F, 0x3A40000B};

constexpr uint32_t kTagRowVer = 0x67F30003;
constexpr size_t kMaxCellChars = 255; // tables show at most this much of a text
const char* const kPictureName = "ContactPicture.jpg";

uint32_t TableNid(uint32_t folder, uint32_t type) {
    return MakeNid(type, NidIndex(folder));
}

Bytes CellText(const std::string& utf8) {
    Bytes b = Utf8ToUtf16Le(utf8);
    if (b.size() > kMaxCellChars * 2) {
        size_t cut = kMaxCellChars * 2;
        // never split a surrogate pair
        if ((b[cut - 1] & 0xFC) == 0xD8) cut -= 2;
        b.resize(cut);
    }
    return b;
}

} // namespace

template <class F> auto PstStore::Guard(F&& f) {
    if (!open_) throw PstError("The store is closed: " + path_);
    if (broken_) throw PstError("The store cannot be written after an earlier failure: " + path_);
    try {
        return f();
    } catch (...) {
        broken_ = true;
        throw;
    }
}

PstStore::PstStore(const std::string& path, const std::string& displayName, StoreOptions options)
    : path_(path), displayName_(displayName), options_(options) {
    std::unique_ptr<OutputSink> sink;
    if (options_.memory) {
        options_.memory->clear();
        sink = std::make_unique<MemorySink>(*options_.memory);
    } else {
        sink = StoreFile::CreateNewFileSink(path);
    }
    if (options_.failAfterBytes != UINT64_MAX)
        sink = std::make_unique<FailingSink>(std::move(sink), options_.failAfterBytes);
    file_ = std::make_unique<StoreFile>(path, std::move(sink));
    ndb_ = std::make_unique<NdbWriter>(*file_);
    std::random_device seed;
    random_.seed((uint64_t(seed()) << 32) ^ seed());
    recordKey_ = RandomBytes(16);
    open_ = true;
    Guard([&] {
        ndb_->Create();
        WriteStaticNodes();
        WriteContactsFolder();
        ndb_->Commit();
    });
    lastCommit_ = std::chrono::steady_clock::now();
}

PstStore::~PstStore() {
    try {
        Close();
    } catch (...) {
        // Closing from a destructor: the last commit stays on disk.
    }
}

Bytes PstStore::RandomBytes(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; i += 8)
        StoreLe(&b[i], random_(), static_cast<int>(std::min<size_t>(8, n - i)));
    return b;
}

Bytes PstStore::EntryIdOf(uint32_t nid) const {
    LeWriter s(24);
    s.U32(0);
    s.Raw(recordKey_);
    s.U32(nid);
    return s.Take();
}

std::string PstStore::EntryIdText() const {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : EntryIdOf(kNidMessageStore)) {
        out += hex[b >> 4];
        out += hex[b & 0xF];
    }
    return out;
}

uint32_t PstStore::NewLtpNid() {
    return ndb_->NewNid(kNidLtp);
}

std::pair<uint64_t, uint64_t> PstStore::WritePc(const std::vector<Property>& props,
                                                std::vector<SubnodeEntry> subnodes) {
    PropertyList list;
    for (const Property& p : props)
        list.Add(p.tag, p.value.data(), p.value.size(), p.subnode);
    return WritePc(list, std::move(subnodes));
}

std::pair<uint64_t, uint64_t> PstStore::WritePc(PropertyList& props,
                                                std::vector<SubnodeEntry> subnodes) {
    EncodedPc pc = BuildPc(props, [this] { return NewLtpNid(); });
    const uint64_t bidData = ndb_->WriteBlocks(pc.heap);
    for (const SubnodeValue& v : pc.subnodes)
        subnodes.push_back({v.nid, ndb_->WriteStream(v.data.data(), v.data.size()), 0});
    return {bidData, ndb_->WriteSubnodes(std::move(subnodes))};
}

uint64_t PstStore::WriteTableBlocks(const EncodedTc& tc, uint64_t& bidSub) {
    const uint64_t bidData = ndb_->WriteBlocks(tc.heap);
    bidSub = 0;
    if (tc.matrixNid)
        bidSub = ndb_->WriteSubnodes({{tc.matrixNid, ndb_->WriteBlocks(tc.matrix), 0}});
    return bidData;
}

void PstStore::WriteTable(uint32_t nid, const EncodedTc& tc) {
    uint64_t bidSub = 0;
    const uint64_t bidData = WriteTableBlocks(tc, bidSub);
    ndb_->SetNode(nid, bidData, bidSub, 0);
}

Bytes PstStore::ReplVersionHistory() {
    LeWriter s(24);
    s.U32(1);
    s.Raw(RandomBytes(16));
    s.U32(1);
    return s.Take();
}

void PstStore::WriteFolderPc(const FolderInfo& f, uint32_t parent) {
    std::vector<Property> p = {TextProp(0x3001, f.name), LongProp(0x3602, f.count),
                               LongProp(0x3603, 0), BoolProp(0x360A, f.subfolders)};
    if (!f.containerClass.empty()) p.push_back(TextProp(0x3613, f.containerClass));
    // A folder that holds items carries its hidden-item counts, as Outlook's
    // own Contacts folder does.
    if (f.nid == kNidContacts) {
        p.push_back(LongProp(0x6635, 0));
        p.push_back(LongProp(0x6636, 0));
    }
    // The root names the default contacts folder for MAPI clients.
    if (f.nid == kNidRootFolder) p.push_back(BinaryProp(0x36D1, EntryIdOf(kNidContacts)));
    const auto [bidData, bidSub] = WritePc(p, {});
    ndb_->SetNode(f.nid, bidData, bidSub, parent);
}

void PstStore::WriteHierarchy(uint32_t nid, const std::vector<FolderInfo>& children) {
    const TableLayout layout = LayoutTable(kHierarchyColumns);
    std::vector<uint32_t> ids;
    for (const FolderInfo& c : children)
        ids.push_back(c.nid);
    const EncodedTc tc = BuildTc(
        layout, ids,
        [&](size_t i, RowWriter& w) {
            const FolderInfo& c = children[i];
            w.SetFixed(kTagRowVer, i + 1);
            w.SetVariable(0x3001001F, CellText(c.name));
            w.SetFixed(0x36020003, c.count);
            w.SetFixed(0x36030003, 0);
            w.SetFixed(0x360A000B, c.subfolders ? 1 : 0);
            if (!c.containerClass.empty()) w.SetVariable(0x3613001F, CellText(c.containerClass));
        },
        [this] { return NewLtpNid(); });
    WriteTable(nid, tc);
}

PstStore::FolderInfo PstStore::ContactsInfo() const {
    return {kNidContacts, "Contacts", static_cast<uint32_t>(rows_.size()), false, "IPF.Contact"};
}

void PstStore::WriteStaticNodes() {
    const auto newLtp = [this] { return NewLtpNid(); };
    auto emptyTable = [&](uint32_t nid, const std::vector<uint32_t>& columns) {
        const EncodedTc tc = BuildTc(LayoutTable(columns), {}, nullptr, newLtp);
        const uint64_t bid = ndb_->WriteBlocks(tc.heap);
        ndb_->SetNode(nid, bid, 0, 0);
        return bid;
    };
    auto share = [&](uint32_t nid, uint64_t bid) { ndb_->SetNode(nid, bid, 0, 0); };

    // Message store.
    {
        const std::vector<Property> p = {
            BinaryProp(0x0FF9, recordKey_),
            TextProp(0x3001, displayName_),
            BinaryProp(0x35E0, EntryIdOf(kNidIpmSubtree)),
            BinaryProp(0x35E3, EntryIdOf(kNidDeletedItems)),
            BinaryProp(0x35E7, EntryIdOf(kNidSearchRoot)),
            LongProp(0x35DF, 0x89), // subtree | wastebasket | finder are valid
            LongProp(0x67FF, 0),    // no password
            // As in every store Outlook creates: the replica's version
            // history (count 1, the replica's GUID, version 1), no
            // replication flags, no restrictions on the store and the
            // store-format level Outlook stamps.
            BinaryProp(0x0E34, ReplVersionHistory()),
            LongProp(0x0E38, 0),
            BoolProp(0x6633, true),
            LongProp(0x66FA, 0x000E0011),
        };
        const auto [d, s] = WritePc(p, {});
        ndb_->SetNode(kNidMessageStore, d, s, 0);
    }
    {
        const auto [d, s] = WritePc(NameMapProperties(), {});
        ndb_->SetNode(kNidNameToIdMap, d, s, 0);
    }

    // Table templates; the empty tables of every folder share their blocks.
    hierarchyTemplate_ = emptyTable(0x60D, kHierarchyColumns);
    contentsTemplate_ = emptyTable(0x60E, kContentsColumns);
    faiTemplate_ = emptyTable(0x60F, kFaiColumns);
    searchTemplate_ = emptyTable(0x610, kSearchContentsColumns);
    attachTemplate_ = emptyTable(0x671, kAttachmentColumns);
    recipientTemplate_ = emptyTable(0x692, kRecipientColumns);
    emptyTable(0x64C, {0x00390040, 0x0E100003, 0x0E140003});
    emptyTable(0x6B6, {0x0E330014, 0x0E370102, 0x0E380003});
    emptyTable(0x6D7, {0x001A001F, 0x0E300102, 0x0E310102, 0x0E330014, 0x0E340102, 0x0E380003,
                       0x0E3E0102});
    emptyTable(0x6F8, {0x0E330014, 0x30070040});

    // Receive-folder table: the root receives the default message class.
    {
        const EncodedTc tc = BuildTc(
            LayoutTable({0x001A001F, 0x66050003}), {1},
            [](size_t, RowWriter& w) {
                w.SetFixed(kTagRowVer, 2);
                w.SetFixed(0x66050003, kNidRootFolder);
                w.SetVariable(0x001A001F, {});
            },
            newLtp);
        WriteTable(0x62B, tc);
    }

    // Search management: empty queue, the activity list naming the spam
    // search folder, an empty domain object.
    ndb_->SetNode(0x1E1, 0, 0, 0);
    {
        const uint8_t activity[4] = {0x23, 0x22, 0x00, 0x00};
        ndb_->SetNode(0x201, ndb_->WriteDataBlock(activity, 4), 0, 0);
    }
    ndb_->SetNode(0x261, 0, 0, 0);

    // The spam search folder with its update queue, criteria and contents.
    {
        const std::vector<Property> p = {TextProp(0x3001, "SPAM Search Folder 2"),
                                         LongProp(0x3602, 0), LongProp(0x3603, 0),
                                         BoolProp(0x360A, false)};
        const auto [d, s] = WritePc(p, {});
        ndb_->SetNode(kNidSpamSearchFolder, d, s, kNidRootFolder);
        ndb_->SetNode(0x2226, 0, 0, 0);
        const auto [cd, cs] = WritePc({LongProp(0x660B, 0)}, {});
        ndb_->SetNode(0x2227, cd, cs, 0);
        share(0x2230, searchTemplate_);
    }

    // Folders.
    const FolderInfo root{kNidRootFolder, "", 0, true, ""};
    const FolderInfo subtree{kNidIpmSubtree, "Top of Personal Folders", 0, true, ""};
    const FolderInfo finder{kNidSearchRoot, "Search Root", 0, false, ""};
    const FolderInfo deleted{kNidDeletedItems, "Deleted Items", 0, false, ""};
    const FolderInfo spam{kNidSpamSearchFolder, "SPAM Search Folder 2", 0, false, ""};
    WriteFolderPc(root, kNidRootFolder);
    WriteHierarchy(TableNid(kNidRootFolder, kNidHierarchyTable), {subtree, finder, spam});
    WriteFolderPc(subtree, kNidRootFolder);
    WriteFolderPc(finder, kNidRootFolder);
    WriteFolderPc(deleted, kNidIpmSubtree);
    for (uint32_t folder :
         {kNidRootFolder, kNidIpmSubtree, kNidSearchRoot, kNidDeletedItems, kNidContacts}) {
        if (folder != kNidRootFolder && folder != kNidIpmSubtree)
            share(TableNid(folder, kNidHierarchyTable), hierarchyTemplate_);
        if (folder != kNidContacts) share(TableNid(folder, kNidContentsTable), contentsTemplate_);
        share(TableNid(folder, kNidAssocContentsTable), faiTemplate_);
    }
    for (uint32_t type :
         {kNidNormalFolder, kNidHierarchyTable, kNidContentsTable, kNidAssocContentsTable})
        ndb_->BumpCounter(type, NidIndex(kNidContacts));
}

void PstStore::WriteContactsFolder() {
    const FolderInfo contacts = ContactsInfo();
    WriteFolderPc(contacts, kNidIpmSubtree);
    WriteHierarchy(TableNid(kNidIpmSubtree, kNidHierarchyTable),
                   {{kNidDeletedItems, "Deleted Items", 0, false, ""}, contacts});
    static const Bytes kClass = Utf8ToUtf16Le("IPM.Contact");
    std::vector<uint32_t> ids;
    ids.reserve(rows_.size());
    for (const ContentsRow& r : rows_)
        ids.push_back(r.nid);
    const TableLayout layout = LayoutTable(kContentsColumns);
    // Every row fills the same cells: their columns are found once.
    enum { kVer, kImportance, kClassCell, kSensitivity, kSubject, kFlags, kSize, kStatus, kTime };
    std::array<const TableColumn*, 9> cells{};
    const uint32_t cellTags[] = {kTagRowVer, 0x00170003, 0x001A001F, 0x00360003, 0x0037001F,
                                 0x0E070003, 0x0E080003, 0x0E170003, 0x30080040};
    for (size_t k = 0; k < cells.size(); ++k) {
        cells[k] = layout.Find(cellTags[k]);
        if (!cells[k]) throw PstError("internal: no such table column");
    }
    EncodedTc tc = BuildTc(
        layout, ids,
        [&](size_t i, RowWriter& w) {
            const ContentsRow& r = rows_[i];
            w.SetFixed(*cells[kVer], i + 1);
            w.SetFixed(*cells[kImportance], 1);
            w.SetVariable(*cells[kClassCell], kClass);
            w.SetFixed(*cells[kSensitivity], 0);
            if (!r.subject.empty()) w.SetVariable(*cells[kSubject], r.subject);
            w.SetFixed(*cells[kFlags], r.flags);
            w.SetFixed(*cells[kSize], r.size);
            w.SetFixed(*cells[kStatus], 0);
            w.SetFixed(*cells[kTime], r.modified);
        },
        [this] { return NewLtpNid(); });
    // Rows never change once written, so all but the last blocks of the row
    // matrix and most of the heap are the same as at the last commit.
    const uint64_t bidData = ndb_->WriteBlocksReusing(std::move(tc.heap), contentsHeapCache_);
    uint64_t bidSub = 0;
    if (tc.matrixNid) {
        const uint64_t matrix =
            ndb_->WriteBlocksReusing(std::move(tc.matrix), contentsMatrixCache_);
        bidSub = ndb_->WriteSubnodes({{tc.matrixNid, matrix, 0}});
    }
    ndb_->SetNode(TableNid(kNidContacts, kNidContentsTable), bidData, bidSub, 0);
}

StoredPicture PstStore::StorePicture(const std::string& path) {
    // A picture that cannot be read is the caller's problem, not the store's:
    // only failed writes leave the store unusable.
    std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
    if (!in) throw PstError("The picture file cannot be read: " + path);
    bool unreadable = false;
    StoredPicture pic = Guard([&] {
        StoredPicture p;
        std::vector<uint64_t> bids;
        Bytes chunk(kMaxBlockData);
        for (;;) {
            in.read(reinterpret_cast<char*>(chunk.data()),
                    static_cast<std::streamsize>(chunk.size()));
            const auto got = static_cast<size_t>(in.gcount());
            if (in.bad() || p.size + got > 0x7FFFFFFF) {
                unreadable = true;
                break;
            }
            if (got == 0) break;
            if (bids.empty() && got <= kMaxHeapAlloc && in.eof()) {
                p.inlineData.assign(chunk.begin(), chunk.begin() + static_cast<ptrdiff_t>(got));
                p.size = got;
                return p;
            }
            bids.push_back(ndb_->WriteDataBlock(chunk.data(), got));
            p.size += got;
            if (in.eof()) break;
        }
        if (unreadable || p.size == 0) {
            for (uint64_t b : bids)
                ndb_->Release(b);
            unreadable = true;
            return p;
        }
        p.bid = ndb_->WriteDataTree(bids, p.size);
        return p;
    });
    if (unreadable) throw PstError("The picture file cannot be read or is empty: " + path);
    return pic;
}

void PstStore::DropPicture(const StoredPicture& picture) {
    if (picture.bid && open_ && !broken_) ndb_->Release(picture.bid);
}

void PstStore::SaveContact(const ContactFields& fields, const StoredPicture* picture) {
    Guard([&] {
        const uint32_t nid = ndb_->NewNid(kNidNormalMessage);
        const uint64_t now = FileTimeNow();
        PropertyList& props = contactProperties_;
        ContactProperties(fields, picture != nullptr, now, RandomBytes(16), props);
        uint64_t size = props.ValueBytes() + 8 * props.Count();
        // Every message shares the empty recipient table; a fresh copy takes
        // over when the block's reference count runs out.
        if (!ndb_->CanShare(recipientTemplate_)) {
            const EncodedTc empty = BuildTc(LayoutTable(kRecipientColumns), {}, nullptr,
                                            [this] { return NewLtpNid(); });
            recipientTemplate_ = ndb_->WriteBlocks(empty.heap);
        }
        std::vector<SubnodeEntry> subnodes = {{0x692, recipientTemplate_, 0}};
        if (picture) {
            const uint32_t attNid = ndb_->NewNid(kNidAttachment);
            const auto attSize = static_cast<uint32_t>(picture->size + 400);
            Property data{Tag(0x3701, kPtBinary), picture->inlineData, 0};
            std::vector<SubnodeEntry> attSub;
            if (picture->bid) {
                data.subnode = NewLtpNid();
                attSub.push_back({data.subnode, picture->bid, 0});
            }
            std::vector<Property> att = {
                LongProp(0x3705, 1), // by value
                std::move(data),
                BoolProp(0x7FFF, true), // the contact's photo
                BoolProp(0x7FFE, true), // hidden
                TextProp(0x3001, kPictureName),
                TextProp(0x3704, kPictureName),
                TextProp(0x3707, kPictureName),
                TextProp(0x3703, ".jpg"),
                TextProp(0x370E, "image/jpeg"),
                LongProp(0x0E20, attSize),
                LongProp(0x370B, 0xFFFFFFFF),
                LongProp(0x3714, 0),
                LongProp(0x7FFD, 0),
                LongProp(0x7FFA, 0),
                TimeProp(0x3007, now),
                TimeProp(0x3008, now),
            };
            const auto [attData, attSubBid] = WritePc(att, std::move(attSub));
            const EncodedTc table = BuildTc(
                LayoutTable(kAttachmentColumns), {attNid},
                [&](size_t, RowWriter& w) {
                    w.SetFixed(kTagRowVer, 1);
                    w.SetFixed(0x0E200003, attSize);
                    w.SetVariable(0x3704001F, Utf8ToUtf16Le(kPictureName));
                    w.SetFixed(0x37050003, 1);
                    w.SetFixed(0x370B0003, 0xFFFFFFFF);
                },
                [this] { return NewLtpNid(); });
            uint64_t tableSub = 0;
            const uint64_t tableData = WriteTableBlocks(table, tableSub);
            subnodes.push_back({0x671, tableData, tableSub});
            subnodes.push_back({attNid, attData, attSubBid});
            size += attSize;
        }
        const auto messageSize = static_cast<uint32_t>(std::min<uint64_t>(size, 0x7FFFFFFF));
        props.Long(0x0E08, messageSize);
        const auto [bidData, bidSub] = WritePc(props, std::move(subnodes));
        ndb_->SetNode(nid, bidData, bidSub, kNidContacts);
        rows_.push_back(
            {nid, picture ? 0x11u : 0x01u, messageSize, now, CellText(ContactDisplayName(fields))});
        dirty_ = true;
    });
    MaybeCheckpoint();
}

std::unique_ptr<ContactFields> PstStore::TakeFields() {
    if (!spareFields_) return std::make_unique<ContactFields>();
    return std::move(spareFields_);
}

void PstStore::ReturnFields(std::unique_ptr<ContactFields> fields) noexcept {
    if (spareFields_ || !fields) return;
    for (std::string& t : fields->texts)
        t.clear();
    fields->dates = {};
    spareFields_ = std::move(fields);
}

void PstStore::MaybeCheckpoint() {
    const size_t pending = rows_.size() - committedContacts_;
    if (pending == 0) return;
    const size_t threshold = std::max(options_.checkpointContacts, rows_.size() / 4);
    if (pending >= threshold ||
        std::chrono::steady_clock::now() - lastCommit_ >= options_.checkpointInterval)
        Commit();
}

void PstStore::Commit(bool durable) {
    Guard([&] {
        if (dirty_) WriteContactsFolder();
        ndb_->Commit(durable);
        committedContacts_ = rows_.size();
        dirty_ = false;
    });
    lastCommit_ = std::chrono::steady_clock::now();
}

void PstStore::Close() {
    if (!open_) return;
    std::exception_ptr failure;
    if (!broken_) {
        try {
            Commit(true);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    open_ = false;
    file_->Close();
    if (broken_ && ndb_->CommittedEnd() != 0) {
        // Whatever the failed work appended lies past the last commit; give
        // the space back (usually the disk is full). Failing to do so loses
        // nothing, the readers ignore those bytes.
        if (options_.memory) {
            options_.memory->resize(ndb_->CommittedEnd());
        } else {
            std::error_code ec;
            std::filesystem::resize_file(platform::PathFromUtf8(path_), ndb_->CommittedEnd(), ec);
        }
    }
    if (failure) std::rethrow_exception(failure);
}

} // namespace velloquin::pst
