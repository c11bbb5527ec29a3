// What a conversion run has to tell the user at its end: contacts or values
// that could not be converted, files that could not be read, writes that
// failed. Nothing here is shown on the way; the run shows it all at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velloquin {

struct RunNote {
    std::string file;         // the backup file or output it concerns; may be empty
    int64_t contact = 0;      // 1-based number of the contact within the run; 0 = none
    std::string message;      // what happened, in the user's words
    bool lostContact = false; // the contact did not reach the output at all
    // With lostContact: how many contacts the note stands for (a file none of
    // whose vCards could be read is one note for all of them).
    int64_t contactsLost = 1;
    // The file's vCards are there, but only Advance Mode reads its lines.
    bool onlyAdvanceModeReads = false;
};

class RunNotes {
  public:
    // Keeps the first notes in full and only counts the rest, so that a
    // hostile backup cannot fill memory with notes.
    static constexpr size_t kMaxKept = 1000;

    void Add(RunNote note);
    void Clear();
    bool Empty() const { return total_ == 0; }
    size_t Total() const { return total_; }
    int64_t LostContacts() const { return lost_; }
    // True when some file would be read in Advance Mode, which this run did not use.
    bool AdvanceModeWouldRead() const { return advanceModeWouldRead_; }
    const std::vector<RunNote>& Kept() const { return kept_; }
    // One line per kept note, each a sentence ending in a full stop, then a
    // line for the ones not kept.
    std::string Format() const;

  private:
    std::vector<RunNote> kept_;
    size_t total_ = 0;
    int64_t lost_ = 0;
    bool advanceModeWouldRead_ = false;
};

} // namespace velloquin
