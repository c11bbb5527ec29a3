#include "CardStart.h"

#include "core/Text.h"

#include <algorithm>

namespace velloquin {

int64_t CardStartScanner::Feed(std::string_view bytes) {
    int64_t found = 0;
    if (units_ == Units::Unknown) {
        // Three bytes tell the byte-order mark, or that there is none.
        const size_t take = std::min(bytes.size(), size_t{3} - head_.size());
        head_.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        if (head_.size() < 3) return 0;
        found += TakeHead();
    }
    return found + FeedUnits(bytes);
}

int64_t CardStartScanner::Finish() {
    int64_t found = 0;
    if (units_ == Units::Unknown) found += TakeHead();
    // A UTF-16 text of an odd length: its last byte is no character.
    oddByte_ = -1;
    if (EndLine()) ++found;
    return found;
}

int64_t CardStartScanner::TakeHead() {
    const auto byte = [this](size_t i) { return static_cast<unsigned char>(head_[i]); };
    std::string_view rest = head_;
    if (head_.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        units_ = Units::Bytes;
        rest.remove_prefix(3);
    } else if (head_.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
        units_ = Units::Utf16LE;
        rest.remove_prefix(2);
    } else if (head_.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
        units_ = Units::Utf16BE;
        rest.remove_prefix(2);
    } else {
        units_ = Units::Bytes;
    }
    return FeedUnits(rest);
}

int64_t CardStartScanner::FeedUnits(std::string_view bytes) {
    int64_t found = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    if (units_ == Units::Bytes) {
        for (; i < n; ++i)
            found += Unit(p[i]) ? 1 : 0;
        return found;
    }
    const bool littleEndian = units_ == Units::Utf16LE;
    const auto unit = [littleEndian](uint32_t first, uint32_t second) {
        return littleEndian ? first | second << 8 : first << 8 | second;
    };
    if (oddByte_ >= 0 && n > 0) {
        found += Unit(unit(static_cast<uint32_t>(oddByte_), p[0])) ? 1 : 0;
        oddByte_ = -1;
        i = 1;
    }
    for (; i + 1 < n; i += 2)
        found += Unit(unit(p[i], p[i + 1])) ? 1 : 0;
    if (i < n) oddByte_ = p[i];
    return found;
}

bool CardStartScanner::Unit(uint32_t unit) {
    if (unit == '\n' && afterCr_) {
        afterCr_ = false;
        return false;
    }
    afterCr_ = unit == '\r';
    if (afterCr_ || (cutAtLf_ && unit == '\n')) return EndLine();
    if (tooLong_) return false;
    if (unit == ' ') {
        if (!core_.empty()) ++pendingBlanks_;
        return false;
    }
    // Blanks inside the line count; past the word's length the line cannot
    // be a start line any more, and the rest of it is only looked through.
    if (core_.size() + pendingBlanks_ >= kWord) {
        tooLong_ = true;
        return false;
    }
    core_.append(pendingBlanks_, ' ');
    pendingBlanks_ = 0;
    // Anything beyond ASCII only has to differ from the word and the blank.
    core_.push_back(unit < 0x80 ? static_cast<char>(unit) : '\x80');
    return false;
}

bool CardStartScanner::EndLine() {
    const bool match = !tooLong_ && IsCardStart(core_);
    core_.clear();
    pendingBlanks_ = 0;
    tooLong_ = false;
    return match;
}

} // namespace velloquin
