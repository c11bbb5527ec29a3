#include "core/RunNotes.h"

namespace velloquin {

namespace {

// The note as one sentence ending in a full stop.
std::string Sentence(const std::string& message) {
    std::string out = message;
    // The outputs' and the platform's own words often end without one.
    if (!out.empty() && out.find_last_of(".!?") != out.size() - 1) out += '.';
    return out;
}

std::string WithoutFinalStop(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' '))
        text.pop_back();
    return text;
}

// "The birthday ..." reads "200 contacts: the birthday ..."; a word in
// capitals stays as it is.
std::string LowerFirst(std::string text) {
    if (text.size() > 1 && text[0] >= 'A' && text[0] <= 'Z' && text[1] >= 'a' && text[1] <= 'z')
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

} // namespace

std::string NotePattern(const std::string& message, std::vector<std::string>* quoted) {
    std::string out;
    size_t i = 0;
    auto dropBlankBefore = [&out] {
        if (!out.empty() && out.back() == ' ') out.pop_back();
    };
    while (i < message.size()) {
        const char c = message[i];
        if (c == '"' && i > 0) {
            const size_t close = message.find('"', i + 1);
            if (close == std::string::npos) break;
            if (quoted) quoted->push_back(message.substr(i + 1, close - i - 1));
            dropBlankBefore();
            i = close + 1;
            continue;
        }
        if (c == '(') {
            const size_t close = message.find(')', i + 1);
            if (close != std::string::npos &&
                message.find('"', i + 1) < close) { // a remark quoting a value
                for (size_t open = message.find('"', i + 1); quoted && open < close;) {
                    const size_t end = message.find('"', open + 1);
                    if (end > close) break;
                    quoted->push_back(message.substr(open + 1, end - open - 1));
                    open = message.find('"', end + 1);
                }
                dropBlankBefore();
                i = close + 1;
                continue;
            }
        }
        out.push_back(c);
        ++i;
    }
    if (i < message.size()) out.append(message, i, std::string::npos);
    return out;
}

void RunNotes::Add(RunNote note) {
    ++total_;
    if (note.lostContact) lost_ += note.contactsLost;
    if (note.onlyAdvanceModeReads) advanceModeWouldRead_ = true;
    if (note.valueWithoutSlot) ++valuesWithoutSlot_;
    AddToGroup(note);
    if (kept_.size() < kMaxKept) kept_.push_back(std::move(note));
}

void RunNotes::AddToGroup(const RunNote& note) {
    std::vector<std::string> quoted;
    std::string pattern = NotePattern(note.message, &quoted);
    auto key = std::make_pair(note.file, pattern);
    auto found = groupIndex_.find(key);
    if (found == groupIndex_.end()) {
        if (groups_.size() >= kMaxGroups) {
            ++ungrouped_;
            return;
        }
        found = groupIndex_.emplace(std::move(key), groups_.size()).first;
        Group group;
        group.file = note.file;
        group.message = note.message;
        group.pattern = std::move(pattern);
        group.lostContact = note.lostContact;
        groups_.push_back(std::move(group));
    }
    Group& group = groups_[found->second];
    ++group.count;
    if (note.contact > 0) {
        if (group.firstContacts.size() < kShownContacts)
            group.firstContacts.push_back(note.contact);
        group.lastContact = note.contact;
    }
    if (!quoted.empty() && group.examples.size() < kShownExamples) {
        bool known = false;
        // The last one quoted is the value as the backup holds it, where a
        // note also quotes what was made of it.
        for (const std::string& example : group.examples)
            known = known || example == quoted.back();
        if (!known) group.examples.push_back(quoted.back());
    }
}

void RunNotes::Clear() {
    kept_.clear();
    groups_.clear();
    groupIndex_.clear();
    ungrouped_ = 0;
    total_ = 0;
    lost_ = 0;
    advanceModeWouldRead_ = false;
    valuesWithoutSlot_ = 0;
}

std::string RunNotes::Format() const {
    std::string out;
    for (const RunNote& note : kept_) {
        if (!note.file.empty()) out += note.file + ": ";
        if (note.contact > 0) out += "contact " + std::to_string(note.contact) + ": ";
        out += Sentence(note.message) + '\n';
    }
    const size_t more = total_ - kept_.size();
    if (more == 1)
        out += "... and 1 more note like the ones above.\n";
    else if (more > 1)
        out += "... and " + std::to_string(more) + " more notes like the ones above.\n";
    return out;
}

std::string RunNotes::FormatGrouped() const {
    std::string out;
    for (const Group& group : groups_) {
        if (!group.file.empty()) out += group.file + ": ";
        if (group.count == 1) {
            if (!group.firstContacts.empty())
                out += "contact " + std::to_string(group.firstContacts.front()) + ": ";
            out += Sentence(group.message) + '\n';
            continue;
        }
        const bool ofContacts = !group.firstContacts.empty();
        out += std::to_string(group.count) + (ofContacts ? " contacts: " : " times: ") +
               LowerFirst(WithoutFinalStop(group.pattern));
        std::string detail;
        if (ofContacts) {
            detail = "contacts ";
            for (size_t i = 0; i < group.firstContacts.size(); ++i)
                detail += (i ? ", " : "") + std::to_string(group.firstContacts[i]);
            // The numbers between are left out: they follow in the saved notes.
            const auto shown = static_cast<int64_t>(group.firstContacts.size());
            if (group.count > shown)
                detail += (group.count > shown + 1 ? " \xE2\x80\xA6 " : ", ") +
                          std::to_string(group.lastContact);
        }
        if (!group.examples.empty()) {
            if (!detail.empty()) detail += "; ";
            detail +=
                group.examples.size() < static_cast<size_t>(group.count) ? "for example " : "";
            for (size_t i = 0; i < group.examples.size(); ++i)
                detail += (i ? ", \"" : "\"") + group.examples[i] + "\"";
        }
        if (!detail.empty()) out += " (" + detail + ")";
        out += ".\n";
    }
    if (ungrouped_ == 1)
        out += "... and 1 more note.\n";
    else if (ungrouped_ > 1)
        out += "... and " + std::to_string(ungrouped_) + " more notes.\n";
    return out;
}

} // namespace velloquin
