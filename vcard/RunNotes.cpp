#include "RunNotes.h"

namespace velloquin {

void RunNotes::Add(RunNote note) {
    ++total_;
    if (note.lostContact) lost_ += note.contactsLost;
    if (note.onlyAdvanceModeReads) advanceModeWouldRead_ = true;
    if (kept_.size() < kMaxKept) kept_.push_back(std::move(note));
}

void RunNotes::Clear() {
    kept_.clear();
    total_ = 0;
    lost_ = 0;
    advanceModeWouldRead_ = false;
}

std::string RunNotes::Format() const {
    std::string out;
    for (const RunNote& note : kept_) {
        if (!note.file.empty()) out += note.file + ": ";
        if (note.contact > 0) out += "contact " + std::to_string(note.contact) + ": ";
        out += note.message;
        // The outputs' and the platform's own words often end without one.
        if (!note.message.empty() && note.message.find_last_of(".!?") != note.message.size() - 1)
            out += '.';
        out += '\n';
    }
    const size_t more = total_ - kept_.size();
    if (more == 1)
        out += "... and 1 more note like the ones above.\n";
    else if (more > 1)
        out += "... and " + std::to_string(more) + " more notes like the ones above.\n";
    return out;
}

} // namespace velloquin
