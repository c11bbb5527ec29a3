// The property and photo rules that fill the contact record from one trimmed
// piece of a vCard. Internal to the reader; apart so that tests can feed the
// rules one piece at a time.
#pragma once

#include "Reader.h"
#include "core/ContactRecord.h"
#include "platform/Utf8Path.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velloquin {

// The picture of the contact being read, while it is being gathered. The
// Base64 text and the decoded bytes stay here and never in ePhoto, so that
// ePhoto holds nothing but empty text or a file path when a contact is
// handed off.
struct PhotoState {
    bool photoPending = false;
    bool photoDecoded = false;
    std::string base64;  // Normal mode: the text gathered so far
    std::string picture; // Normal mode: decoded bytes waiting for their file

    void Clear() { *this = PhotoState{}; }
};

// What the rules need besides the piece and the record.
struct RuleContext {
    ContactSink& sink;
    std::string file;   // the backup file, for notes
    int32_t ivCard = 0; // the run's number of the contact being read
    PhotoState photo;
};

// What the rules look for anywhere in a line rather than in its name. Every
// line of a backup is looked at for it, so it is found in one pass.
struct LineWords {
    bool imAddress = false;   // "IMADDRESS", in any case
    bool anniversary = false; // "ANNIVERSARY", in any case
    bool url = false;         // "URL", as written
    bool work = false;        // "work", in any case, before `colon`
    bool home = false;        // "home", in any case, before `colon`
};
LineWords FindLineWords(std::string_view line, size_t colon);

// Applies every rule of the mode to one trimmed piece, in their fixed order.
void ApplyPropertyRules(std::string_view piece, ReadMode mode, ContactRecord& record,
                        RuleContext& ctx);

// The picture rules alone (they run in the middle of the property rules).
void ApplyPhotoRules(std::string_view piece, ReadMode mode, ContactRecord& record,
                     RuleContext& ctx);

// Reads as a number: optional sign, digits, optional decimal point and
// exponent, spaces around it allowed. Empty text is not a number.
bool IsNumeric(std::string_view text);

// A date text to its day. Accepted: "YYYY MM DD", YYYYMMDD, YYYY-MM-DD with
// an optional time part after "T" (the time is not kept; a birthday is a
// day). Spaces around the text are allowed. Anything else, dates without a
// year included, is not a date.
std::optional<double> ConvertDate(std::string_view text);

// Adds a note about the contact being read.
void NoteContact(RuleContext& ctx, std::string message, bool lostContact = false);

// A value quoted in a note, cut short if it is long.
std::string ShownValue(std::string_view value);

using platform::PathFromUtf8;

} // namespace velloquin
