// Which reader answers ReadMode::Standard: the standards reader, or the
// stand-in that reads like Advance Mode until it is built in. Expectations
// that only the standards reader can meet are skipped while the stand-in is
// there, and hold from the moment it is not.
#pragma once

#include "core/ContactRecord.h"
#include "core/RunNotes.h"
#include "vcard/Reader.h"

namespace velloquin::testing {

inline bool StandardReaderPresent() {
    struct Sink : ContactSink {
        std::string email;
        RunNotes notes;
        void ContactFinished(const ContactRecord& record, ReadMode, int32_t) override {
            email = record.eContact_Email;
        }
        RunNotes& Notes() override { return notes; }
    } sink;
    ContactRecord record;
    int32_t counter = 1;
    // A grouped property, which no rule of the Skype backups sees.
    ReadvCardText("", "BEGIN:VCARD\r\nitem1.EMAIL:probe@example.com\r\nEND:VCARD\r\n",
                  ReadMode::Standard, counter, record, sink);
    return sink.email == "probe@example.com";
}

} // namespace velloquin::testing
