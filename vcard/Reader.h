// ReadvCard: reads one backup file, cuts it into vCards, fills the record by
// the property and photo rules and hands every finished contact to the sink.
#pragma once

#include "BackupText.h"
#include "core/ContactRecord.h"
#include "core/RunNotes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace velloquin {

// Normal and Advance read a Skype backup by its own rules, cutting its lines
// at CR LF only, or at LF too; Standard reads any vCard 2.1, 3.0 or 4.0 as
// the standards define it.
enum class ReadMode { Normal, Advance, Standard };

// Where the reader's contacts go. The reader knows nothing of the window or
// of the outputs: it reports what it has read and asks only whether to stop.
class ContactSink {
  public:
    virtual ~ContactSink() = default;

    // A vCard has ended. ivCard is the contact's number in the run; the
    // reader empties the record once this returns.
    virtual void ContactFinished(const ContactRecord& record, ReadMode mode, int32_t ivCard) = 0;

    // Called many times per line, so that whoever runs the reader can keep
    // its surroundings responsive: an implementation must make it cheap.
    virtual void Poll() {}
    // After every line: the contacts finished so far in the run.
    virtual void Progress(int64_t contactsFinished) { (void)contactsFinished; }

    virtual RunNotes& Notes() = 0;

    // True once the reading is to stop: the reader finishes the contact it
    // is handing off and returns.
    virtual bool StopRequested() { return false; }
    // A vCard has begun: the contact numbered by the counter is handed off
    // at its end, even when a stop is asked for before then.
    virtual void CardOpened() {}

    // False for a sink that only looks at the texts: the pictures are then
    // not even decoded.
    virtual bool WantsPictures() { return true; }
    // A decoded picture of the contact numbered ivCard. Returns where it is
    // kept (what the contact's ePhoto then names), or empty text with the
    // reason in failure. The bytes are never empty.
    virtual std::string KeepPicture(std::string_view bytes, int32_t ivCard, std::string& failure) {
        (void)bytes;
        (void)ivCard;
        (void)failure;
        return {};
    }
};

// Reads one file. ivCard is the run's contact counter: one more than the
// contacts handed off so far in the run; the reader advances it per contact.
// Failures do not escape: the file's reading ends and a note says why.
void ReadvCard(const std::string& vcardFile, ReadMode mode, int32_t& ivCard, ContactRecord& record,
               ContactSink& sink);

// The same on bytes from elsewhere (memory, in the fuzz targets and tests);
// file names the backup in notes.
void ReadvCardFrom(const std::string& file, ByteSource& source, ReadMode mode, int32_t& ivCard,
                   ContactRecord& record, ContactSink& sink);

// ReadvCard on text already read and decoded; file names it in notes.
void ReadvCardText(const std::string& file, std::string_view text, ReadMode mode, int32_t& ivCard,
                   ContactRecord& record, ContactSink& sink);

// The largest value the contact counter may reach; a contact past it is
// reported, not dropped silently.
inline constexpr int32_t kMaxCardCounter = 2'000'000'000;

} // namespace velloquin
