// The operations of the Outlook store library that the program uses, as
// abstract objects. The library is reached through CreateRdoObject; on this
// platform our own .pst writer stands behind it. A failing operation throws
// RdoError, which the caller's error mode handles (end the set-up with a
// message, or skip the step and go on).
#pragma once

#include "core/Error.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace velloquin::outlook {

// The library's failures are the core's errors, so that a caller handles a
// failed store as it handles any other failure of the core.
class RdoError : public Error {
  public:
    using Error::Error;
};

// An automation date: days since 30 December 1899.
struct DateValue {
    double value = 0;
};
using PropertyValue = std::variant<std::string, DateValue>;

class RdoContactItem {
  public:
    virtual ~RdoContactItem() = default;
    // Writes one of the contact properties by its object-model name
    // ("FirstName", "Email1Address", "Birthday", ...). An unknown name or a
    // value of the wrong kind throws.
    virtual void SetProperty(const std::string& name, const PropertyValue& value) = 0;
    // Texts by number rather than by name, for a caller that writes the same
    // names for thousands of items: TextSlot gives a name's number, the same
    // for every item of the session, or -1 when the library has none for it
    // (the default), and SetText then writes the text as SetProperty would.
    virtual int TextSlot(const std::string& name) const {
        (void)name;
        return -1;
    }
    virtual void SetText(int slot, std::string_view text) {
        (void)text;
        throw RdoError("Unknown contact property number " + std::to_string(slot));
    }
    // Attaches the picture file as the contact's picture; throws when it
    // cannot be read.
    virtual void AddPicture(const std::string& path) = 0;
    // Stores the item in its folder.
    virtual void Save() = 0;
};

class RdoItems {
  public:
    virtual ~RdoItems() = default;
    // itemType 2 is a contact item; other types throw.
    virtual std::shared_ptr<RdoContactItem> Add(int16_t itemType) = 0;
};

class RdoFolder {
  public:
    virtual ~RdoFolder() = default;
    virtual std::shared_ptr<RdoItems> Items() = 0;
};

class RdoStore {
  public:
    virtual ~RdoStore() = default;
    virtual std::string EntryID() = 0;
    virtual void ValidateIPMTree() = 0;
    // folderType 10 is the contacts folder; other types throw.
    virtual std::shared_ptr<RdoFolder> GetDefaultFolder(int16_t folderType) = 0;
};

class RdoStores {
  public:
    virtual ~RdoStores() = default;
    // Creates a new store file. Never overwrites: an existing file throws, as
    // does a folder that cannot be written. format 1 is the Unicode format.
    virtual std::shared_ptr<RdoStore> AddPSTStore(const std::string& path, int16_t format,
                                                  const std::string& displayName) = 0;
};

class RdoSession {
  public:
    virtual ~RdoSession() = default;
    virtual void Logon() = 0;
    virtual std::shared_ptr<RdoStores> Stores() = 0;
    virtual std::shared_ptr<RdoStore> GetStoreFromID(const std::string& storeID) = 0;
    // Ends the logon; every store opened in the session is committed and closed.
    virtual void Logoff() = 0;
};

// Creates the library's object by its programmatic identifier
// ("Redemption.RDOSession"); throws RdoError for any other identifier.
std::shared_ptr<RdoSession> CreateRdoObject(const std::string& progId);

} // namespace velloquin::outlook
