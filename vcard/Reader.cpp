#include "Reader.h"

#include "Rules.h"
#include "Text.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace velloquin {
namespace {

bool EqualsUpper(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i]) return false;
    }
    return true;
}

// The BEGIN:VCARD lines Advance mode would see: the text cut at every CR and
// every LF, each piece trimmed of its spaces.
int64_t CountBeginLinesCutAtLf(std::string_view text) {
    int64_t count = 0;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        const std::string_view piece = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (EqualsUpper(TrimView(piece), "BEGIN:VCARD")) ++count;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return count;
}

// The system's words for the last failure, or the fallback when it left none.
std::string SystemReason(int err, const char* fallback) {
    return err ? std::generic_category().message(err) : fallback;
}

// The whole file at once: a backup of tens of thousands of contacts is a few
// megabytes. why says what went wrong when the answer is false; a file that
// could be opened but not read to its end keeps what was read.
bool ReadFileBytes(const std::string& path, std::string& bytes, std::string& why) {
    const std::filesystem::path fsPath = PathFromUtf8(path);
    std::error_code ec;
    // Opening a folder succeeds on some systems; reading it then fails
    // without a useful word.
    if (std::filesystem::is_directory(fsPath, ec)) {
        why = "it is a folder, not a file";
        return false;
    }
    errno = 0;
    std::ifstream in(fsPath, std::ios::binary);
    if (!in) {
        why = SystemReason(errno, "the file could not be opened");
        return false;
    }
    char buffer[1 << 16];
    errno = 0;
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        bytes.append(buffer, static_cast<size_t>(in.gcount()));
    if (in.bad()) {
        why = SystemReason(errno, "reading the file failed part way");
        return false;
    }
    return true;
}

class FileReader {
  public:
    FileReader(const std::string& file, int32_t& ivCard, ContactRecord& record, ReaderHost& host)
        : ivCard_(ivCard), record_(record), host_(host), ctx_{host, file, ivCard, {}} {}

    void Read(std::string_view text);

  private:
    // Returns false when the reading of the file is to stop.
    bool ProcessPiece(std::string_view piece, ReadMode mode);
    bool HandOff(ReadMode mode);
    void ShowProgress();
    void Note(std::string message, bool lostContact) {
        ctx_.ivCard = ivCard_;
        NoteContact(ctx_, std::move(message), lostContact);
    }

    int32_t& ivCard_;
    ContactRecord& record_;
    ReaderHost& host_;
    RuleContext ctx_;
    bool inCard_ = false;
    bool cardEnded_ = false;
    bool sawBoundary_ = false; // a BEGIN:VCARD or END:VCARD piece
    int64_t captionCount_ = -1;
    std::string caption_;
};

void FileReader::ShowProgress() {
    // The caption only changes with the counter; the host decides how often
    // it is drawn.
    if (captionCount_ != ivCard_) {
        captionCount_ = ivCard_;
        caption_ = "(" + std::to_string(static_cast<int64_t>(ivCard_) - 1) + ") vCards Saved";
    }
    host_.SetProgressCaption(caption_);
}

bool FileReader::ProcessPiece(std::string_view piece, ReadMode mode) {
    const std::string_view t = TrimView(piece);
    host_.LetTheWindowWork();
    if (EqualsUpper(t, "BEGIN:VCARD")) {
        sawBoundary_ = true;
        // The open card's values stay and mix with the next card's; the user
        // is told that one contact went into another.
        if (inCard_)
            Note("A vCard has no END:VCARD before the next BEGIN:VCARD; its values were "
                 "merged into the next contact.",
                 true);
        inCard_ = true;
    }
    if (EqualsUpper(t, "END:VCARD")) {
        sawBoundary_ = true;
        cardEnded_ = true;
    }
    host_.LetTheWindowWork();
    if (inCard_) {
        ctx_.ivCard = ivCard_;
        ApplyPropertyRules(t, mode, record_, ctx_);
        host_.LetTheWindowWork();
    }
    host_.LetTheWindowWork();
    if (cardEnded_) return HandOff(mode);
    return true;
}

bool FileReader::HandOff(ReadMode mode) {
    host_.LetTheWindowWork();
    if (ivCard_ > kMaxCardCounter) {
        // The counter cannot number this contact: say so rather than let it
        // disappear.
        Note("The run's contact counter is at its limit; this contact was not converted.", true);
    } else {
        if (host_.OptPST())
            host_.CreateContactItem(MakeOutlookHandOff(record_, host_.PstStoreID()));
        if (host_.OptXLS())
            host_.Save2ExcelContact(MakeExcelHandOff(record_, mode == ReadMode::Advance, ivCard_));
    }
    FreevCard(record_);
    inCard_ = false;
    cardEnded_ = false;
    ctx_.photo.Clear();
    if (ivCard_ <= kMaxCardCounter) ++ivCard_;
    return !host_.StopRequested();
}

void FileReader::Read(std::string_view text) {
    size_t pos = 0;
    // A line ends at CR LF or at a lone CR; a lone LF stays in its line.
    while (pos < text.size()) {
        const size_t cr = text.find('\r', pos);
        const std::string_view line =
            text.substr(pos, cr == std::string_view::npos ? std::string_view::npos : cr - pos);
        if (cr == std::string_view::npos)
            pos = text.size();
        else
            pos = cr + (cr + 1 < text.size() && text[cr + 1] == '\n' ? 2 : 1);

        // The options are asked afresh for every line. One of the two is
        // always chosen in the window; with neither, Normal mode applies.
        // A stop asked for between contacts ends the file here.
        if (!inCard_ && host_.StopRequested()) return;
        if (host_.OptAdvance()) {
            size_t start = 0;
            for (;;) {
                const size_t lf = line.find('\n', start);
                const std::string_view piece = line.substr(
                    start, lf == std::string_view::npos ? std::string_view::npos : lf - start);
                if (!ProcessPiece(piece, ReadMode::Advance)) return;
                host_.LetTheWindowWork();
                ShowProgress();
                if (lf == std::string_view::npos) break;
                start = lf + 1;
            }
        } else {
            if (!ProcessPiece(line, ReadMode::Normal)) return;
            host_.LetTheWindowWork();
            ShowProgress();
        }
    }

    host_.LetTheWindowWork();
    if (inCard_)
        Note("The file ends inside a vCard (BEGIN:VCARD without END:VCARD); that contact was not "
             "converted.",
             true);
    if (sawBoundary_) return;
    // Lines that end in LF alone are one long line in Normal mode, in which
    // no vCard can be found: the whole file would be lost without a word.
    // Each of its vCards counts as lost, so that the totals agree with the note.
    RunNote note;
    note.file = ctx_.file;
    const int64_t cards = CountBeginLinesCutAtLf(text);
    if (cards > 0) {
        note.lostContact = true;
        note.contactsLost = cards;
        note.onlyAdvanceModeReads = true;
        note.message = "No vCard could be read although the file holds " + std::to_string(cards) +
                       (cards == 1 ? " BEGIN:VCARD line" : " BEGIN:VCARD lines") +
                       "; its lines probably end in LF alone, which only Advance Mode reads.";
    } else {
        note.message = "No vCard was found in the file.";
    }
    host_.Notes().Add(std::move(note));
}

} // namespace

void ReadvCard(std::string vcardFile, int32_t& ivCard, ContactRecord& record, ReaderHost& host) {
    const std::string path = Trim(vcardFile);
    RunNote failure;
    failure.file = path;
    std::string bytes;
    std::string why;
    if (!ReadFileBytes(path, bytes, why)) {
        // Whatever was read before a read error is still converted.
        if (bytes.empty()) {
            failure.message = "The file could not be opened: " + why + ".";
            host.Notes().Add(std::move(failure));
            return;
        }
        failure.message = "Reading the file failed after " + std::to_string(bytes.size()) +
                          " bytes (" + why + "); the rest of it was not converted.";
        host.Notes().Add(failure);
    }
    host.LetTheWindowWork();
    FreevCard(record);
    try {
        const std::string text = DecodeBackupBytes(bytes);
        std::string().swap(bytes);
        FileReader reader(path, ivCard, record, host);
        reader.Read(text);
    } catch (const std::exception& e) {
        failure.contact = ivCard;
        failure.lostContact = true;
        failure.message = std::string("Reading stopped at this contact (") + e.what() +
                          "); it and the rest of the file were not converted.";
        host.Notes().Add(std::move(failure));
    }
}

} // namespace velloquin
