#include "pst/RdoPst.h"

#include "pst/Store.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <variant>
#include <vector>

namespace velloquin::pst {

using outlook::DateValue;
using outlook::PropertyValue;
using outlook::RdoError;

namespace {

constexpr int16_t kFolderContacts = 10;
constexpr int16_t kItemContact = 2;

class ContactItem final : public outlook::RdoContactItem {
  public:
    explicit ContactItem(std::shared_ptr<PstStore> store)
        : store_(std::move(store)), fields_(store_->TakeFields()) {}
    ~ContactItem() override {
        if (picture_ && !saved_) store_->DropPicture(*picture_);
        store_->ReturnFields(std::move(fields_));
    }

    int TextSlot(const std::string& name) const override {
        const auto field = FindContactField(name);
        return field && field->kind == FieldKind::Text ? field->index : -1;
    }
    void SetText(int slot, std::string_view text) override {
        if (slot < 0 || size_t(slot) >= kContactTextCount)
            throw RdoError("Unknown contact property number " + std::to_string(slot));
        fields_->texts[size_t(slot)] = text;
    }

    void SetProperty(const std::string& name, const PropertyValue& value) override {
        const auto field = FindContactField(name);
        if (!field) throw RdoError("Unknown contact property: " + name);
        if (field->kind == FieldKind::Text) {
            const auto* text = std::get_if<std::string>(&value);
            if (!text) throw RdoError("The property " + name + " takes a text");
            fields_->texts[field->index] = *text;
        } else {
            const auto* date = std::get_if<DateValue>(&value);
            if (!date) throw RdoError("The property " + name + " takes a date");
            fields_->dates[field->index] = date->value;
        }
    }

    void AddPicture(const std::string& path) override {
        if (saved_) throw RdoError("The contact item is already saved");
        StoredPicture pic = store_->StorePicture(path);
        if (picture_) store_->DropPicture(*picture_);
        picture_ = std::move(pic);
    }

    void Save() override {
        if (saved_) throw RdoError("The contact item is already saved");
        store_->SaveContact(*fields_, picture_ ? &*picture_ : nullptr);
        saved_ = true;
    }

  private:
    std::shared_ptr<PstStore> store_;
    std::unique_ptr<ContactFields> fields_;
    std::optional<StoredPicture> picture_;
    bool saved_ = false;
};

class Items final : public outlook::RdoItems {
  public:
    explicit Items(std::shared_ptr<PstStore> store) : store_(std::move(store)) {}
    std::shared_ptr<outlook::RdoContactItem> Add(int16_t itemType) override {
        if (itemType != kItemContact) throw RdoError("Only contact items can be added");
        if (!store_->IsOpen()) throw RdoError("The store is closed");
        return std::make_shared<ContactItem>(store_);
    }

  private:
    std::shared_ptr<PstStore> store_;
};

class Folder final : public outlook::RdoFolder {
  public:
    explicit Folder(std::shared_ptr<PstStore> store) : store_(std::move(store)) {}
    std::shared_ptr<outlook::RdoItems> Items() override {
        return std::make_shared<pst::Items>(store_);
    }

  private:
    std::shared_ptr<PstStore> store_;
};

class Store final : public outlook::RdoStore {
  public:
    explicit Store(std::shared_ptr<PstStore> store)
        : store_(std::move(store)), entryId_(store_->EntryIdText()) {}
    std::string EntryID() override { return entryId_; }
    void ValidateIPMTree() override {
        // The tree, Contacts included, is written when the store is created.
        if (!store_->IsOpen()) throw RdoError("The store is closed");
    }
    std::shared_ptr<outlook::RdoFolder> GetDefaultFolder(int16_t folderType) override {
        if (folderType != kFolderContacts)
            throw RdoError("Default folder " + std::to_string(folderType) + " is not available");
        if (!store_->IsOpen()) throw RdoError("The store is closed");
        return std::make_shared<Folder>(store_);
    }
    PstStore& Impl() { return *store_; }

  private:
    std::shared_ptr<PstStore> store_;
    std::string entryId_;
};

class Session;

class Stores final : public outlook::RdoStores {
  public:
    explicit Stores(std::weak_ptr<Session> session) : session_(std::move(session)) {}
    std::shared_ptr<outlook::RdoStore> AddPSTStore(const std::string& path, int16_t format,
                                                   const std::string& displayName) override;

  private:
    std::weak_ptr<Session> session_;
};

bool SameId(const std::string& a, const std::string& b) {
    // Asked for every contact, with the ID the store gave out.
    if (a == b) return true;
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

class Session final : public outlook::RdoSession, public std::enable_shared_from_this<Session> {
  public:
    explicit Session(StoreOptions options) : options_(options) {}
    ~Session() override {
        try {
            Logoff();
        } catch (...) {
            // a session dropped without Logoff keeps what was committed
        }
    }
    void Logon() override { loggedOn_ = true; }
    std::shared_ptr<outlook::RdoStores> Stores() override {
        if (!loggedOn_) throw RdoError("The session is not logged on");
        return std::make_shared<pst::Stores>(weak_from_this());
    }
    std::shared_ptr<outlook::RdoStore> GetStoreFromID(const std::string& storeID) override {
        if (!loggedOn_) throw RdoError("The session is not logged on");
        for (const auto& s : stores_)
            if (SameId(s->EntryID(), storeID)) return s;
        throw RdoError("No open store has the entry ID " + storeID);
    }
    void Logoff() override {
        std::string firstError;
        for (const auto& s : stores_) {
            try {
                s->Impl().Close();
            } catch (const std::exception& e) {
                if (firstError.empty()) firstError = e.what();
            }
        }
        stores_.clear();
        loggedOn_ = false;
        if (!firstError.empty()) throw RdoError(firstError);
    }

    std::shared_ptr<outlook::RdoStore> Add(const std::string& path, int16_t format,
                                           const std::string& displayName) {
        if (!loggedOn_) throw RdoError("The session is not logged on");
        // 1 is the default format and 2 Unicode, both written as Unicode;
        // the old ANSI format (3) is not offered.
        if (format != 1 && format != 2) throw RdoError("Unsupported store format");
        auto store =
            std::make_shared<Store>(std::make_shared<PstStore>(path, displayName, options_));
        stores_.push_back(store);
        return store;
    }

  private:
    StoreOptions options_;
    bool loggedOn_ = false;
    std::vector<std::shared_ptr<Store>> stores_;
};

std::shared_ptr<outlook::RdoStore> Stores::AddPSTStore(const std::string& path, int16_t format,
                                                       const std::string& displayName) {
    const auto session = session_.lock();
    if (!session) throw RdoError("The session has ended");
    return session->Add(path, format, displayName);
}

} // namespace

std::shared_ptr<outlook::RdoSession> CreatePstSession(const StoreOptions& options) {
    return std::make_shared<Session>(options);
}

} // namespace velloquin::pst
