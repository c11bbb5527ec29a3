// ReadvCard: reads one backup file, cuts it into vCards, fills the record by
// the property and photo rules and hands every finished contact to the host.
#pragma once

#include "BackupText.h"
#include "ContactRecord.h"
#include "RunNotes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace velloquin {

// Everything the reader needs from the window that owns it. The options are
// asked for afresh at every use, as the window's buttons may change while a
// run lets the window work.
class ReaderHost {
  public:
    virtual ~ReaderHost() = default;

    virtual bool OptAdvance() = 0;
    virtual bool OptNormal() = 0;
    virtual bool OptPST() = 0;
    virtual bool OptXLS() = 0;

    // Lets the window process what is pending. Called many times per line, so
    // an implementation must make it cheap (see ThrottledPump in app/).
    virtual void LetTheWindowWork() = 0;
    virtual void SetProgressCaption(const std::string& caption) = 0;

    // The run's output folder, ending in the platform's separator.
    virtual const std::string& SaveFolder() = 0;
    virtual const std::string& PstStoreID() = 0;

    // The two outputs, Outlook first, then Excel, as the options select them.
    virtual void CreateContactItem(const OutlookContactArgs& args) = 0;
    virtual void Save2ExcelContact(const ExcelContactArgs& args) = 0;

    virtual RunNotes& Notes() = 0;

    // True once the user asked to stop (the window is closing): the reader
    // finishes the contact it is handing off and returns.
    virtual bool StopRequested() { return false; }
    // A vCard has begun: the contact numbered by the counter is handed off
    // at its end, even when a stop is asked for before then.
    virtual void CardOpened() {}

    // False for a host that only looks at the texts: the pictures are then
    // neither decoded nor written.
    virtual bool WritePictures() { return true; }
};

// Reads one file. ivCard is the run's contact counter: one more than the
// contacts handed off so far in the run; the reader advances it per contact.
// Failures do not escape: the file's reading ends and a note says why.
void ReadvCard(std::string vcardFile, int32_t& ivCard, ContactRecord& record, ReaderHost& host);

// The same on bytes from elsewhere (memory, in the fuzz targets and tests);
// file names the backup in notes.
void ReadvCardFrom(const std::string& file, ByteSource& source, int32_t& ivCard,
                   ContactRecord& record, ReaderHost& host);

// ReadvCard on text already read and decoded; file names it in notes.
void ReadvCardText(const std::string& file, std::string_view text, int32_t& ivCard,
                   ContactRecord& record, ReaderHost& host);

// The largest value the contact counter may reach; a contact past it is
// reported, not dropped silently.
inline constexpr int32_t kMaxCardCounter = 2'000'000'000;

} // namespace velloquin
