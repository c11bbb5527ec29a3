// The Outlook output of a run: the store session set up before the first
// backup file and closed after the last, and the writer of one contact item.
#pragma once

#include "Rdo.h"
#include "core/ContactRecord.h"
#include "core/RunNotes.h"

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velloquin::outlook {

// The session fields that the main window owns.
struct PstState {
    std::shared_ptr<RdoSession> pstSession;
    std::shared_ptr<RdoStore> pstStore;
    std::string pstStoreID;
    // The store file of the run, for the user's summary.
    std::string pstPath;
    // The library's numbers of the contact item's text properties, resolved
    // at the first contact of the run.
    mutable std::vector<int> textSlots;
};

// "d.m.YY H.m.ss", e.g. 5.12.26 9.7.03.
std::string FormatStoreTimestamp(const std::tm& localTime);

// Reads the local clock; tests replace it.
using Clock = std::function<std::tm()>;
std::tm LocalNow();

// Creates the library's session object by its programmatic identifier;
// tests put a recording session in its place.
using SessionFactory = std::function<std::shared_ptr<RdoSession>(const std::string& progId)>;

// Creates the session and the new store in saveFolder. On failure returns
// false and sets errorDetail (the message text is the caller's to show).
bool CreatePstStore(PstState& state, const std::string& saveFolder, const Clock& clock,
                    std::string& errorDetail);
bool CreatePstStore(PstState& state, const std::string& saveFolder, const Clock& clock,
                    std::string& errorDetail, const SessionFactory& factory);

// The three lines of the set-up failure message, joined by CR LF.
std::string OutlookErrorText();
inline constexpr const char* kOutlookErrorTitle = "Outlook Error";

// Releases the store, logs off, releases the session; failures are skipped
// (and, given notes, noted: the log-off is what commits the store).
void ClosePstStore(PstState& state, RunNotes* notes = nullptr);

// Adds and saves one contact item. Every step is skipped on failure and the
// next one runs; a contact whose item could not be added or saved is noted
// as lost.
void CreateContactItem(const PstState& state, const OutlookContactArgs& args, RunNotes& notes,
                       int64_t contactNumber);

} // namespace velloquin::outlook
