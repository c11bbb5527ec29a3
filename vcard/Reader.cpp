#include "Reader.h"

#include "BackupText.h"
#include "CardStart.h"
#include "Rules.h"
#include "StandardReader.h"
#include "core/Text.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace velloquin {
namespace {

// The BEGIN:VCARD lines Advance mode would see in one line of Normal mode:
// the line cut at every LF, each piece trimmed of its spaces. Each one's
// line in the file goes to lines (firstLine is the line's own), the first
// kMaxLinesKept of them.
constexpr size_t kMaxLinesKept = 1000;
int64_t CountBeginLinesCutAtLf(std::string_view text, int64_t firstLine,
                               std::vector<int64_t>& lines) {
    int64_t count = 0;
    size_t start = 0;
    for (int64_t line = firstLine;; ++line) {
        const size_t end = text.find_first_of("\r\n", start);
        const std::string_view piece = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (IsCardStart(piece)) {
            ++count;
            if (lines.size() < kMaxLinesKept) lines.push_back(line);
        }
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return count;
}

// "line 4", "lines 4, 9 and 12", "lines 4, 9, ... and 7 more".
std::string LinesText(const std::vector<int64_t>& lines, int64_t total) {
    constexpr size_t kShown = 10;
    const size_t shown = std::min(lines.size(), kShown);
    std::string where = total == 1 ? "line " : "lines ";
    for (size_t i = 0; i < shown; ++i)
        where += (i == 0                                                   ? ""
                  : i + 1 == shown && total == static_cast<int64_t>(shown) ? " and "
                                                                           : ", ") +
                 std::to_string(lines[i]);
    if (total > static_cast<int64_t>(shown))
        where += " and " + std::to_string(total - static_cast<int64_t>(shown)) + " more";
    return where;
}

class FileReader {
  public:
    FileReader(const std::string& file, ReadMode mode, int32_t& ivCard, ContactRecord& record,
               ContactSink& sink)
        : mode_(mode), ivCard_(ivCard), record_(record), sink_(sink), ctx_{sink, file, ivCard, {}} {
    }

    // The text in pieces as it is read; false once reading is to stop.
    bool Feed(std::string_view text);
    // After the last piece: the last line, and what the file as a whole says.
    void Finish();

  private:
    // Returns false when the reading of the file is to stop.
    bool ProcessLine(std::string_view line);
    bool FeedCutAtLf(std::string_view text, size_t pos);
    bool ProcessAdvancePiece(std::string_view piece);
    void LookThroughLongLine();
    bool ProcessPiece(std::string_view piece, ReadMode mode);
    bool HandOff(ReadMode mode);
    // The contacts finished so far, after every line: told again only when
    // the count has changed, as most lines finish no contact.
    void ReportProgress() {
        const int64_t finished = static_cast<int64_t>(ivCard_) - 1;
        if (finished == reported_) return;
        reported_ = finished;
        sink_.Progress(finished);
    }
    void Note(std::string message, bool lostContact) {
        ctx_.ivCard = ivCard_;
        NoteContact(ctx_, std::move(message), lostContact);
    }

    const ReadMode mode_;
    int32_t& ivCard_;
    ContactRecord& record_;
    ContactSink& sink_;
    RuleContext ctx_;
    bool inCard_ = false;
    bool cardEnded_ = false;
    bool sawBoundary_ = false;        // a BEGIN:VCARD or END:VCARD piece
    int64_t beginLinesCutAtLf_ = 0;   // what Advance mode would have found and Normal mode did not
    std::vector<int64_t> beginLines_; // their lines in the file, the first few
    int64_t fileLine_ = 1;            // the file's line where the current line starts
    std::string pending_;             // a line (Advance mode: a piece) not yet ended
    bool skipLf_ = false;  // the last piece ended in CR; an LF first in the next belongs to it
    bool midLine_ = false; // Advance mode: an LF ended the last piece, not a CR
    // Normal mode: a long line outside a vCard with an LF in it can be neither
    // a boundary nor a property, so only its BEGIN:VCARD pieces are counted as
    // they come and the line is not held; lookedThroughLine_ is the file's
    // line of the first piece not yet counted.
    bool lookingThrough_ = false;
    int64_t lookedThroughLine_ = 0;
    int64_t reported_ = -1; // the count of finished contacts last told
};

bool FileReader::ProcessPiece(std::string_view piece, ReadMode mode) {
    const std::string_view t = TrimView(piece);
    sink_.Poll();
    // A stop asked for in that turn of the window, between two contacts,
    // begins no further contact: the user was promised none.
    if (!inCard_ && sink_.StopRequested()) return false;
    if (IsCardStart(t)) {
        sawBoundary_ = true;
        // The open card's values stay and mix with the next card's; the user
        // is told that one contact went into another.
        if (inCard_)
            Note("A vCard has no END:VCARD before the next BEGIN:VCARD; its values were "
                 "merged into the next contact.",
                 true);
        inCard_ = true;
        sink_.CardOpened();
    }
    if (IsCardEnd(t)) {
        sawBoundary_ = true;
        cardEnded_ = true;
    }
    sink_.Poll();
    if (inCard_) {
        ctx_.ivCard = ivCard_;
        ApplyPropertyRules(t, mode, record_, ctx_);
        sink_.Poll();
    }
    sink_.Poll();
    if (cardEnded_) return HandOff(mode);
    return true;
}

bool FileReader::HandOff(ReadMode mode) {
    sink_.Poll();
    if (ivCard_ > kMaxCardCounter) {
        // The counter cannot number this contact: say so rather than let it
        // disappear.
        Note("The run's contact counter is at its limit; this contact was not converted.", true);
    } else {
        sink_.ContactFinished(record_, mode, ivCard_);
    }
    FreevCard(record_);
    inCard_ = false;
    cardEnded_ = false;
    ctx_.photo.Clear();
    if (ivCard_ <= kMaxCardCounter) ++ivCard_;
    return !sink_.StopRequested();
}

// Past this many bytes a Normal mode line outside a vCard is looked through
// instead of held, when it has an LF in it.
constexpr size_t kHeldLineLimit = size_t{64} * 1024;

bool FileReader::Feed(std::string_view text) {
    size_t pos = 0;
    if (skipLf_ && !text.empty()) {
        if (text[0] == '\n') pos = 1;
        skipLf_ = false;
    }
    if (mode_ == ReadMode::Advance) return FeedCutAtLf(text, pos);
    // A line ends at CR LF or at a lone CR; a lone LF stays in its line.
    while (pos < text.size()) {
        const size_t cr = text.find('\r', pos);
        if (cr == std::string_view::npos) {
            pending_.append(text.substr(pos));
            if (!inCard_ && (lookingThrough_ || pending_.size() > kHeldLineLimit))
                LookThroughLongLine();
            return true;
        }
        std::string_view line = text.substr(pos, cr - pos);
        if (!pending_.empty()) {
            pending_.append(line);
            line = pending_;
        }
        if (cr + 1 < text.size()) {
            pos = cr + (text[cr + 1] == '\n' ? 2 : 1);
        } else {
            pos = text.size();
            skipLf_ = true;
        }
        const bool goOn = ProcessLine(line);
        pending_.clear();
        // A picture's line may have been megabytes long; the next is not.
        if (pending_.capacity() > (1u << 20)) std::string().swap(pending_);
        if (!goOn) return false;
    }
    return true;
}

// Counts the BEGIN:VCARD pieces that the held part of a long line completes
// and lets go of them. A backup whose lines all end in LF is one line in
// Normal mode, and would otherwise be held whole.
void FileReader::LookThroughLongLine() {
    const size_t lastLf = pending_.rfind('\n');
    if (lastLf == std::string::npos) return;
    if (!lookingThrough_) {
        lookingThrough_ = true;
        lookedThroughLine_ = fileLine_;
    }
    const std::string_view done = std::string_view(pending_).substr(0, lastLf);
    beginLinesCutAtLf_ += CountBeginLinesCutAtLf(done, lookedThroughLine_, beginLines_);
    lookedThroughLine_ += 1 + std::count(done.begin(), done.end(), '\n');
    pending_.erase(0, lastLf + 1);
}

// Advance mode ends a piece at CR LF, a lone CR or a lone LF, and hands each
// one on as soon as its end is read, so that no more than a piece is held.
bool FileReader::FeedCutAtLf(std::string_view text, size_t pos) {
    while (pos < text.size()) {
        // Not find_first_of, which asks memchr about every byte.
        size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        if (end == text.size()) end = std::string_view::npos;
        if (end == std::string_view::npos) {
            pending_.append(text.substr(pos));
            return true;
        }
        std::string_view piece = text.substr(pos, end - pos);
        if (!pending_.empty()) {
            pending_.append(piece);
            piece = pending_;
        }
        const bool cr = text[end] == '\r';
        if (!cr) {
            pos = end + 1;
        } else if (end + 1 < text.size()) {
            pos = end + (text[end + 1] == '\n' ? 2 : 1);
        } else {
            pos = text.size();
            skipLf_ = true;
        }
        const bool goOn = ProcessAdvancePiece(piece);
        midLine_ = !cr;
        pending_.clear();
        if (pending_.capacity() > (1u << 20)) std::string().swap(pending_);
        if (!goOn) return false;
    }
    return true;
}

bool FileReader::ProcessAdvancePiece(std::string_view piece) {
    // A stop asked for between contacts ends the file before a line (at CR),
    // as in Normal mode, not before each piece of it.
    if (!midLine_) {
        if (!inCard_ && sink_.StopRequested()) return false;
    }
    ++fileLine_;
    if (!ProcessPiece(piece, ReadMode::Advance)) return false;
    sink_.Poll();
    ReportProgress();
    return true;
}

bool FileReader::ProcessLine(std::string_view line) {
    // A stop asked for between contacts ends the file here.
    if (!inCard_ && sink_.StopRequested()) return false;
    // Lines that end in LF alone are one long line in Normal mode, in which
    // no vCard can be found; what Advance mode would find there is counted
    // for the note, in a file of mixed line ends as in one of LF alone.
    const bool lookedThrough = lookingThrough_;
    int64_t lineNumber = lookedThrough ? lookedThroughLine_ : fileLine_;
    if (line.find('\n') != std::string_view::npos) {
        beginLinesCutAtLf_ += CountBeginLinesCutAtLf(line, lineNumber, beginLines_);
        lineNumber += std::count(line.begin(), line.end(), '\n');
    }
    fileLine_ = lineNumber + 1;
    lookingThrough_ = false;
    // A line with an LF in it is no boundary, and outside a vCard the rules
    // do not see it: an LF stands in for what was let go of.
    if (!ProcessPiece(lookedThrough ? std::string_view("\n") : line, ReadMode::Normal))
        return false;
    sink_.Poll();
    ReportProgress();
    return true;
}

void FileReader::Finish() {
    if (mode_ == ReadMode::Advance) {
        // The last piece needs no end; after an LF even an empty one counts.
        if (!pending_.empty() || midLine_) {
            const std::string piece = std::move(pending_);
            pending_.clear();
            if (!ProcessAdvancePiece(piece)) return;
        }
    } else if (!pending_.empty() || lookingThrough_) {
        const std::string line = std::move(pending_);
        pending_.clear();
        if (!ProcessLine(line)) return;
    }
    sink_.Poll();
    if (inCard_)
        Note("The file ends inside a vCard (BEGIN:VCARD without END:VCARD); that contact was not "
             "converted.",
             true);
    if (sawBoundary_) {
        // Some vCards were read, and the ones after lines that end in LF
        // alone would be lost without a word.
        if (beginLinesCutAtLf_ == 0) return;
        RunNote note;
        note.file = ctx_.file;
        note.lostContact = true;
        note.contactsLost = beginLinesCutAtLf_;
        note.onlyAdvanceModeReads = true;
        note.message = "The BEGIN:VCARD " + LinesText(beginLines_, beginLinesCutAtLf_) +
                       " could not be read: the lines there end in LF alone, which Normal Mode "
                       "does not read; " +
                       (beginLinesCutAtLf_ == 1 ? "that contact was" : "those contacts were") +
                       " not converted.";
        sink_.Notes().Add(std::move(note));
        return;
    }
    // The whole file would be lost without a word.
    // Each of its vCards counts as lost, so that the totals agree with the note.
    RunNote note;
    note.file = ctx_.file;
    const int64_t cards = beginLinesCutAtLf_;
    if (cards > 0) {
        note.lostContact = true;
        note.contactsLost = cards;
        note.onlyAdvanceModeReads = true;
        note.message = "No vCard could be read although the file holds " + std::to_string(cards) +
                       (cards == 1 ? " BEGIN:VCARD line" : " BEGIN:VCARD lines") +
                       "; its lines probably end in LF alone, which Normal Mode does not read.";
    } else {
        note.message = "No vCard was found in the file.";
    }
    sink_.Notes().Add(std::move(note));
}

// Where a UTF-8 backup held bytes that are not UTF-8, so that the user can
// check the values there.
std::string StrayBytesMessage(const BackupText& text) {
    const std::vector<int64_t> lines(text.StrayLines().begin(), text.StrayLines().end());
    return "Bytes that are not UTF-8 were read as Windows-1252 characters on " +
           LinesText(lines, static_cast<int64_t>(text.StrayLineCount())) +
           "; check the values there.";
}

} // namespace

void ReadvCardText(const std::string& file, std::string_view text, ReadMode mode, int32_t& ivCard,
                   ContactRecord& record, ContactSink& sink) {
    MemorySource source(text);
    ReadvCardFrom(file, source, mode, ivCard, record, sink);
}

void ReadvCard(const std::string& vcardFile, ReadMode mode, int32_t& ivCard, ContactRecord& record,
               ContactSink& sink) {
    const std::string path = Trim(vcardFile);
    const auto source = MakeFileSource(path);
    ReadvCardFrom(path, *source, mode, ivCard, record, sink);
}

void ReadvCardFrom(const std::string& file, ByteSource& source, ReadMode mode, int32_t& ivCard,
                   ContactRecord& record, ContactSink& sink) {
    if (mode == ReadMode::Standard) {
        ReadStandardFrom(file, source, ivCard, record, sink);
        return;
    }
    RunNote failure;
    failure.file = file;
    BackupText text(source);
    std::string why;
    if (!text.Open(why)) {
        failure.message = "The file could not be opened: " + why + ".";
        sink.Notes().Add(std::move(failure));
        return;
    }
    sink.Poll();
    FreevCard(record);
    try {
        FileReader reader(file, mode, ivCard, record, sink);
        std::string_view piece;
        bool goOn = true;
        while (goOn && text.Next(piece))
            goOn = reader.Feed(piece);
        // Whatever was read before a read error is still converted.
        if (!text.Failure().empty()) {
            failure.message = "Reading the file failed after " + std::to_string(text.BytesRead()) +
                              " bytes (" + text.Failure() + "); the rest of it was not converted.";
            sink.Notes().Add(failure);
        }
        if (goOn) reader.Finish();
        if (text.StrayLineCount() > 0)
            sink.Notes().Add(RunNote{file, 0, StrayBytesMessage(text), false});
    } catch (const std::exception& e) {
        failure.contact = ivCard;
        failure.lostContact = true;
        failure.message = std::string("Reading stopped at this contact (") + e.what() +
                          "); it and the rest of the file were not converted.";
        sink.Notes().Add(std::move(failure));
    }
}

} // namespace velloquin
