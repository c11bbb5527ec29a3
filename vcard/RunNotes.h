// What a conversion run has to tell the user at its end: contacts or values
// that could not be converted, files that could not be read, writes that
// failed. Nothing here is shown on the way; the run shows it all at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velloquin {

struct RunNote {
    std::string file;      // the backup file or output it concerns; may be empty
    int64_t contact = 0;   // 1-based number of the contact within the run; 0 = none
    std::string message;   // what happened, in the user's words
    bool lostContact = false; // the contact did not reach the output at all
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
    const std::vector<RunNote>& Kept() const { return kept_; }
    // One line per kept note, then a line for the ones not kept.
    std::string Format() const;

  private:
    std::vector<RunNote> kept_;
    size_t total_ = 0;
    int64_t lost_ = 0;
};

} // namespace velloquin
