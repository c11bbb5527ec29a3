#include "RunNotes.h"

namespace velloquin {

void RunNotes::Add(RunNote note) {
    ++total_;
    if (note.lostContact) ++lost_;
    if (kept_.size() < kMaxKept) kept_.push_back(std::move(note));
}

void RunNotes::Clear() {
    kept_.clear();
    total_ = 0;
    lost_ = 0;
}

std::string RunNotes::Format() const {
    std::string out;
    for (const RunNote& note : kept_) {
        if (!note.file.empty()) out += note.file + ": ";
        if (note.contact > 0) out += "contact " + std::to_string(note.contact) + ": ";
        out += note.message;
        out += '\n';
    }
    if (total_ > kept_.size())
        out += "... and " + std::to_string(total_ - kept_.size()) + " more notes like these\n";
    return out;
}

} // namespace velloquin
