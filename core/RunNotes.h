// What a conversion run has to tell the user at its end: contacts or values
// that could not be converted, files that could not be read, writes that
// failed. Nothing here is shown on the way; the run shows it all at once.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
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
    // The file's vCards are there, but Normal Mode does not read its lines.
    bool onlyAdvanceModeReads = false;
    // A value that was read but found no slot in the output: nothing of the
    // contact is lost but this value, which the note quotes.
    bool valueWithoutSlot = false;
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
    // Values read that found no slot in the output (notes marked so).
    int64_t ValuesWithoutSlot() const { return valuesWithoutSlot_; }
    const std::vector<RunNote>& Kept() const { return kept_; }
    // One line per kept note, each a sentence ending in a full stop, then a
    // line for the ones not kept.
    std::string Format() const;
    // The same notes with the repeated ones told once: notes of one file that
    // say the same but for the values they quote become one line with their
    // number, the first contacts and the first values. Every note counts, the
    // ones not kept too, so the text stays short whatever the backup.
    std::string FormatGrouped() const;

    // Notes that say the same thing about different values.
    struct Group {
        std::string file;
        std::string message; // the first note's message
        std::string pattern; // the message without the values it quotes
        bool lostContact = false;
        int64_t count = 0;
        std::vector<int64_t> firstContacts; // at most kShownContacts
        int64_t lastContact = 0;
        std::vector<std::string> examples; // values as quoted, at most kShownExamples
    };
    static constexpr size_t kMaxGroups = 1000;
    static constexpr size_t kShownContacts = 3;
    static constexpr size_t kShownExamples = 3;
    const std::vector<Group>& Groups() const { return groups_; }

  private:
    void AddToGroup(const RunNote& note);

    std::vector<RunNote> kept_;
    std::vector<Group> groups_;
    std::map<std::pair<std::string, std::string>, size_t> groupIndex_;
    size_t ungrouped_ = 0; // notes that came after kMaxGroups groups were full
    size_t total_ = 0;
    int64_t lost_ = 0;
    bool advanceModeWouldRead_ = false;
    int64_t valuesWithoutSlot_ = 0;
};

// A note's message without the values it quotes: every "..." but one that
// opens the message (a column's title, which says what the note is about),
// with the bracketed remarks that quote one. The values are handed to
// quoted in their order.
std::string NotePattern(const std::string& message, std::vector<std::string>* quoted = nullptr);

} // namespace velloquin
