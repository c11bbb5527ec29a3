// A stand-in for the Outlook store library: one object plays the session, the
// store, its folder and every item, records each call in one ordered log and
// fails the calls a test names.
#pragma once

#include "outlook/Rdo.h"

#include <algorithm>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace velloquin::testing {

using namespace outlook;
using S = const std::string&;
template <class T> using P = std::shared_ptr<T>;

struct RdoLog : RdoSession, RdoStores, RdoStore, RdoFolder, RdoItems, RdoContactItem {
    std::vector<std::string> calls;
    // Calls to fail, by their entry's first word ("Logon", "Add", "Save") or,
    // for property writes, "Set:<Name>".
    std::set<std::string> failing;

    void Call(S entry, std::string key = {}) {
        calls.push_back(entry);
        if (key.empty()) key = entry.substr(0, entry.find(' '));
        if (failing.count(key)) throw RdoError(key + " refused");
    }
    // This object as one of the library's, after recording the entry if any.
    template <class T> P<T> Self(S entry = {}) {
        if (!entry.empty()) Call(entry);
        return P<T>(this, [](T*) {}); // the test owns the log
    }
    // How many entries start with the prefix.
    size_t Count(S prefix) const {
        return std::count_if(calls.begin(), calls.end(), [&](S c) { return !c.rfind(prefix, 0); });
    }
    SessionFactory Factory() {
        return [this](S id) { return Self<RdoSession>("Create " + id); };
    }

    void Logon() override { Call("Logon"); }
    P<RdoStores> Stores() override { return Self<RdoStores>("Stores"); }
    P<RdoStore> AddPSTStore(S path, int16_t format, S name) override {
        return Self<RdoStore>("AddPSTStore " + path + "|" + std::to_string(format) + "|" + name);
    }
    std::string EntryID() override {
        Call("EntryID");
        return "STORE-ID-1";
    }
    void ValidateIPMTree() override { Call("ValidateIPMTree"); }
    P<RdoStore> GetStoreFromID(S id) override { return Self<RdoStore>("GetStoreFromID " + id); }
    P<RdoFolder> GetDefaultFolder(int16_t type) override {
        return Self<RdoFolder>("GetDefaultFolder " + std::to_string(type));
    }
    P<RdoItems> Items() override { return Self<RdoItems>("Items"); }
    P<RdoContactItem> Add(int16_t type) override {
        return Self<RdoContactItem>("Add " + std::to_string(type));
    }
    void SetProperty(S name, const PropertyValue& value) override {
        std::ostringstream date;
        if (const auto* d = std::get_if<DateValue>(&value)) date << "date:" << d->value;
        const std::string* text = std::get_if<std::string>(&value);
        Call("Set " + name + "=" + (text ? *text : date.str()), "Set:" + name);
    }
    void AddPicture(S path) override { Call("AddPicture " + path); }
    void Save() override { Call("Save"); }
    void Logoff() override { Call("Logoff"); }
};

} // namespace velloquin::testing
