// Where a vCard starts and ends. Every part of the program that looks for
// vCards (the reader, the reading ahead, the window's and the command line's
// checks of a chosen file) asks here, so that all of them see the same cards.
#pragma once

#include "core/Text.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace velloquin {

// A line that is BEGIN:VCARD (END:VCARD) once the spaces around it are
// removed, in any case. Inline, with the length first: every line of a
// backup is asked both, most of them twice.
inline bool IsCardStart(std::string_view line) {
    const std::string_view t = TrimView(line);
    return t.size() == 11 && EqualsUpperAscii(t, "BEGIN:VCARD");
}
inline bool IsCardEnd(std::string_view line) {
    const std::string_view t = TrimView(line);
    return t.size() == 9 && EqualsUpperAscii(t, "END:VCARD");
}

// Finds the lines that start a vCard in a backup's bytes, given piece by
// piece, as the reader sees them: a leading UTF-8 byte-order mark is skipped,
// a UTF-16 one makes the text UTF-16 of its byte order, a CR or CR LF ends a
// line, and with cutAtLf (Advance mode) an LF alone does too. Of a line only
// as much is kept as can still make it a start line, so a huge file without
// line ends costs no more memory than a small one.
class CardStartScanner {
  public:
    explicit CardStartScanner(bool cutAtLf = false) : cutAtLf_(cutAtLf) {}

    // The start lines that the piece completes.
    int64_t Feed(std::string_view bytes);
    // After the last piece: the last line, which needs no end.
    int64_t Finish();

  private:
    enum class Units { Unknown, Bytes, Utf16LE, Utf16BE };

    // Decides the units from the first bytes and reads what follows the mark.
    int64_t TakeHead();
    int64_t FeedUnits(std::string_view bytes);
    // One code unit; true when it ends a start line.
    bool Unit(uint32_t unit);
    bool EndLine();

    static constexpr size_t kWord = 11; // "BEGIN:VCARD"
    bool cutAtLf_;
    Units units_ = Units::Unknown;
    std::string head_;     // the first bytes, until the byte-order mark is known
    int oddByte_ = -1;     // the first byte of a UTF-16 unit cut by a piece's end
    bool afterCr_ = false; // an LF next belongs to the CR before it
    std::string core_;     // the line between its blanks, up to one more than the word
    size_t pendingBlanks_ = 0;
    bool tooLong_ = false;
};

} // namespace velloquin
