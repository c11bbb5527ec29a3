// A stand-in for the Outlook store library that records every call in one
// log, in order, and fails the calls a test names.
#pragma once

#include "outlook/Rdo.h"

#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace velloquin::testing {

struct RdoLog {
    std::vector<std::string> calls;
    // Calls to fail, by their log entry's first word ("Logon", "Add", "Save")
    // or, for property writes, "Set:<Name>".
    std::set<std::string> failing;
    std::string entryId = "STORE-ID-1";

    void Call(const std::string& entry, const std::string& failKey) {
        calls.push_back(entry);
        if (failing.count(failKey)) throw outlook::RdoError(failKey + " refused");
    }
    std::vector<std::string> Starting(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& c : calls)
            if (c.rfind(prefix, 0) == 0) out.push_back(c);
        return out;
    }
};

class RecordingItem : public outlook::RdoContactItem {
  public:
    explicit RecordingItem(RdoLog& log) : log_(log) {}
    void SetProperty(const std::string& name, const outlook::PropertyValue& value) override {
        std::ostringstream entry;
        entry << "Set " << name << "=";
        if (const auto* text = std::get_if<std::string>(&value))
            entry << '"' << *text << '"';
        else
            entry << "date:" << std::get<outlook::DateValue>(value).value;
        log_.Call(entry.str(), "Set:" + name);
    }
    void AddPicture(const std::string& path) override {
        log_.Call("AddPicture " + path, "AddPicture");
    }
    void Save() override { log_.Call("Save", "Save"); }

  private:
    RdoLog& log_;
};

class RecordingItems : public outlook::RdoItems {
  public:
    explicit RecordingItems(RdoLog& log) : log_(log) {}
    std::shared_ptr<outlook::RdoContactItem> Add(int16_t itemType) override {
        log_.Call("Add " + std::to_string(itemType), "Add");
        return std::make_shared<RecordingItem>(log_);
    }

  private:
    RdoLog& log_;
};

class RecordingFolder : public outlook::RdoFolder {
  public:
    explicit RecordingFolder(RdoLog& log) : log_(log) {}
    std::shared_ptr<outlook::RdoItems> Items() override {
        log_.Call("Items", "Items");
        return std::make_shared<RecordingItems>(log_);
    }

  private:
    RdoLog& log_;
};

class RecordingStore : public outlook::RdoStore {
  public:
    explicit RecordingStore(RdoLog& log) : log_(log) {}
    std::string EntryID() override {
        log_.Call("EntryID", "EntryID");
        return log_.entryId;
    }
    void ValidateIPMTree() override { log_.Call("ValidateIPMTree", "ValidateIPMTree"); }
    std::shared_ptr<outlook::RdoFolder> GetDefaultFolder(int16_t folderType) override {
        log_.Call("GetDefaultFolder " + std::to_string(folderType), "GetDefaultFolder");
        return std::make_shared<RecordingFolder>(log_);
    }

  private:
    RdoLog& log_;
};

class RecordingStores : public outlook::RdoStores {
  public:
    explicit RecordingStores(RdoLog& log) : log_(log) {}
    std::shared_ptr<outlook::RdoStore> AddPSTStore(const std::string& path, int16_t format,
                                                   const std::string& displayName) override {
        log_.Call("AddPSTStore " + path + "|" + std::to_string(format) + "|" + displayName,
                  "AddPSTStore");
        return std::make_shared<RecordingStore>(log_);
    }

  private:
    RdoLog& log_;
};

class RecordingSession : public outlook::RdoSession {
  public:
    explicit RecordingSession(RdoLog& log) : log_(log) {}
    void Logon() override { log_.Call("Logon", "Logon"); }
    std::shared_ptr<outlook::RdoStores> Stores() override {
        log_.Call("Stores", "Stores");
        return std::make_shared<RecordingStores>(log_);
    }
    std::shared_ptr<outlook::RdoStore> GetStoreFromID(const std::string& storeID) override {
        log_.Call("GetStoreFromID " + storeID, "GetStoreFromID");
        return std::make_shared<RecordingStore>(log_);
    }
    void Logoff() override { log_.Call("Logoff", "Logoff"); }

  private:
    RdoLog& log_;
};

// A factory for CreatePstStore and ConversionRun::rdoFactory.
inline auto RecordingFactory(RdoLog& log) {
    return [&log](const std::string& progId) -> std::shared_ptr<outlook::RdoSession> {
        log.Call("Create " + progId, "Create");
        return std::make_shared<RecordingSession>(log);
    };
}

} // namespace velloquin::testing
