#include "BackupText.h"

#include "Rules.h"
#include "core/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace velloquin {
namespace {

// The system's words for the last failure, or the fallback when it left none.
std::string SystemReason(int err, const char* fallback) {
    return err ? std::generic_category().message(err) : fallback;
}

class FileSource final : public ByteSource {
  public:
    explicit FileSource(std::string path) : path_(std::move(path)) {}

    bool Open(std::string& why) override {
        const std::filesystem::path fsPath = PathFromUtf8(path_);
        std::error_code ec;
        // Opening a folder succeeds on some systems; reading it then fails
        // without a useful word.
        if (std::filesystem::is_directory(fsPath, ec)) {
            why = "it is a folder, not a file";
            return false;
        }
        in_.close();
        in_.clear();
        errno = 0;
        in_.open(fsPath, std::ios::binary);
        if (!in_) {
            why = SystemReason(errno, "the file could not be opened");
            return false;
        }
        return true;
    }

    bool Read(char* buffer, size_t size, size_t& got, std::string& why) override {
        errno = 0;
        in_.read(buffer, static_cast<std::streamsize>(size));
        got = static_cast<size_t>(in_.gcount());
        if (in_.bad()) {
            why = SystemReason(errno, "reading the file failed part way");
            return false;
        }
        return true;
    }

  private:
    std::string path_;
    std::ifstream in_;
};

// How many bytes the UTF-8 sequence that starts with this byte has; 0 for a
// byte that cannot start one.
size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// Checks UTF-8 that arrives in pieces. A character cut by the end of a piece
// is held until the next piece completes it.
class Utf8Check {
  public:
    void Add(std::string_view piece) {
        if (!valid_) return;
        size_t start = 0;
        if (!held_.empty()) {
            const size_t need = SequenceLength(static_cast<unsigned char>(held_[0]));
            start = std::min(need - held_.size(), piece.size());
            held_.append(piece.substr(0, start));
            if (held_.size() < need) return;
            valid_ = IsValidUtf8(held_);
            held_.clear();
            if (!valid_) return;
        }
        // Where the last whole character ends: look back over at most three
        // continuation bytes for the lead byte of the last character.
        size_t cut = piece.size();
        for (size_t i = piece.size(); i > start && piece.size() - i < 4;) {
            --i;
            const auto b = static_cast<unsigned char>(piece[i]);
            if ((b & 0xC0) == 0x80) continue;
            const size_t need = SequenceLength(b);
            if (need > piece.size() - i) cut = i;
            break;
        }
        valid_ = IsValidUtf8(piece.substr(start, cut - start));
        held_.assign(piece.substr(cut));
    }
    bool Valid() const { return valid_ && held_.empty(); }

  private:
    bool valid_ = true;
    std::string held_;
};

} // namespace

std::unique_ptr<ByteSource> MakeFileSource(const std::string& path) {
    return std::make_unique<FileSource>(path);
}

bool MemorySource::Read(char* buffer, size_t size, size_t& got, std::string&) {
    got = std::min(size, bytes_.size() - pos_);
    if (got > 0) std::memcpy(buffer, bytes_.data() + pos_, got);
    pos_ += got;
    return true;
}

BackupText::BackupText(ByteSource& source, size_t pieceSize)
    : source_(source), pieceSize_(std::max<size_t>(pieceSize, 4)) {}

bool BackupText::Fetch(size_t want, std::string_view& bytes, std::string& why) {
    if (const std::string_view* memory = source_.InMemory()) {
        bytes = memory->substr(std::min<uint64_t>(position_, memory->size()), want);
        position_ += bytes.size();
        return true;
    }
    // Not zeroed: most backups are small, and only what is read is touched.
    if (!buffer_) buffer_.reset(new char[pieceSize_]);
    size_t got = 0;
    if (!source_.Read(buffer_.get(), std::min(want, pieceSize_), got, why)) return false;
    bytes = {buffer_.get(), got};
    position_ += got;
    return true;
}

bool BackupText::Open(std::string& why) {
    if (!source_.Open(why)) return false;
    // The first pass: every byte once, to learn the encoding and how much of
    // the file can be read at all.
    Utf8Check utf8;
    bool beyondAscii = false; // a UTF-8 character outside ASCII seen
    std::string tail;         // the last bytes of the piece before, for a character cut
    unsigned char head[3] = {0, 0, 0};
    uint64_t total = 0;
    position_ = 0;
    for (;;) {
        std::string_view bytes;
        if (!Fetch(source_.InMemory() ? SIZE_MAX : pieceSize_, bytes, failure_)) break;
        if (bytes.empty()) break;
        for (size_t i = 0; i < bytes.size() && total + i < 3; ++i)
            head[total + i] = static_cast<unsigned char>(bytes[i]);
        utf8.Add(bytes);
        if (!beyondAscii) {
            beyondAscii = HasUtf8BeyondAscii(tail + std::string(bytes.substr(0, 3))) ||
                          HasUtf8BeyondAscii(bytes);
            tail.assign(bytes.substr(bytes.size() - std::min<size_t>(bytes.size(), 3)));
        }
        total += bytes.size();
    }
    if (total == 0 && !failure_.empty()) {
        why = failure_;
        return false;
    }
    readable_ = total;

    // A UTF-16 backup would otherwise arrive as text with a NUL after every
    // letter, in which no vCard line can be found.
    if (total >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
        encoding_ = Encoding::Utf16Le;
        skip_ = 2;
    } else if (total >= 2 && head[0] == 0xFE && head[1] == 0xFF) {
        encoding_ = Encoding::Utf16Be;
        skip_ = 2;
    } else {
        // The byte-order mark is dropped whatever follows it, so that it never
        // stands in front of the first BEGIN:VCARD.
        if (total >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) skip_ = 3;
        encoding_ = utf8.Valid()  ? Encoding::Utf8
                    : beyondAscii ? Encoding::Utf8WithStrays
                                  : Encoding::Cp1252;
    }
    std::string again;
    position_ = 0;
    if (!source_.Open(again)) {
        failure_ = again;
        readable_ = 0;
    }
    return true;
}

bool BackupText::Next(std::string_view& text) {
    for (;;) {
        if (bytesRead_ >= readable_) {
            // What the first pass could not read ends the text here too.
            if (encoding_ == Encoding::Utf8WithStrays) {
                decoded_.clear();
                strays_.Add({}, true, decoded_); // a character cut by the end
                text = decoded_;
                return !text.empty();
            }
            if (!carry_.empty()) {
                decoded_ = Utf16ToUtf8(carry_, encoding_ == Encoding::Utf16Be);
                carry_.clear();
                text = decoded_;
                return !text.empty();
            }
            return false;
        }
        const size_t want =
            static_cast<size_t>(std::min<uint64_t>(pieceSize_, readable_ - bytesRead_));
        std::string_view bytes;
        std::string why;
        if (!Fetch(want, bytes, why) || bytes.empty()) {
            // The file changed or failed between the two passes.
            failure_ = why.empty() ? "the file became shorter while it was read" : why;
            readable_ = bytesRead_;
            continue;
        }
        const size_t got = bytes.size();
        if (bytesRead_ < skip_) bytes.remove_prefix(std::min<size_t>(skip_ - bytesRead_, got));
        bytesRead_ += got;
        switch (encoding_) {
        case Encoding::Utf8:
            text = bytes; // valid already: no copy
            break;
        case Encoding::Cp1252:
            decoded_ = Cp1252ToUtf8(bytes);
            text = decoded_;
            break;
        case Encoding::Utf8WithStrays:
            decoded_.clear();
            // A character that the next piece completes waits in the decoder.
            strays_.Add(bytes, false, decoded_);
            text = decoded_;
            break;
        case Encoding::Utf16Le:
        case Encoding::Utf16Be: {
            const bool big = encoding_ == Encoding::Utf16Be;
            carry_.append(bytes);
            // Hold back an odd byte, and a high surrogate whose partner may
            // be in the next piece.
            size_t whole = carry_.size() & ~size_t{1};
            if (whole >= 2) {
                const auto hi = static_cast<unsigned char>(carry_[whole - (big ? 2 : 1)]);
                if (hi >= 0xD8 && hi <= 0xDB) whole -= 2;
            }
            decoded_ = Utf16ToUtf8(std::string_view(carry_).substr(0, whole), big);
            carry_.erase(0, whole);
            text = decoded_;
            break;
        }
        }
        if (!text.empty()) return true;
    }
}

} // namespace velloquin
