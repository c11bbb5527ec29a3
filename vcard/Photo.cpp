#include "Rules.h"
#include "core/Base64.h"
#include "core/Text.h"

#include <array>
#include <cstdint>

namespace velloquin {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> MakeValues() {
    std::array<int8_t, 256> values{};
    for (auto& v : values)
        v = -1;
    for (size_t i = 0; i < kAlphabet.size(); ++i)
        values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
    return values;
}

constexpr std::array<int8_t, 256> kValues = MakeValues();

// The first count of a group's three bytes, most significant first.
char* EmitGroup(char* o, uint32_t accumulator, int count) {
    const char bytes[3] = {static_cast<char>((accumulator >> 16) & 0xFF),
                           static_cast<char>((accumulator >> 8) & 0xFF),
                           static_cast<char>(accumulator & 0xFF)};
    for (int k = 0; k < count; ++k)
        *o++ = bytes[k];
    return o;
}

// "PHOTO:" or "PHOTO;" at the start, in any case.
bool IsPhotoLine(std::string_view t) {
    // The first letter first: every line of a vCard is asked.
    if (t.size() < 6 || (t[0] != 'P' && t[0] != 'p')) return false;
    return EqualsUpperAscii(t.substr(0, 5), "PHOTO") && (t[5] == ':' || t[5] == ';') &&
           t.find(':') != std::string_view::npos;
}

// The picture of the contact being read goes to the sink, which keeps it
// where the run's output is; the contact's ePhoto names where.
void StorePicture(std::string_view bytes, ContactRecord& record, RuleContext& ctx) {
    ctx.sink.Poll();
    // A PHOTO without data would only leave an empty picture to attach.
    if (bytes.empty()) {
        record.ePhoto.clear();
        return;
    }
    std::string failure;
    record.ePhoto = ctx.sink.KeepPicture(bytes, ctx.ivCard, failure);
    if (record.ePhoto.empty()) NoteContact(ctx, std::move(failure));
}

void NoteUndecodable(RuleContext& ctx, ContactRecord& record, const std::string& why) {
    record.ePhoto.clear();
    NoteContact(ctx, "The picture could not be decoded (" + why + "); it was left out.");
}

void AdvancePhotoRules(std::string_view t, ContactRecord& record, RuleContext& ctx) {
    PhotoState& photo = ctx.photo;
    // The picture is the one piece after the PHOTO line, whatever it holds.
    if (photo.photoPending) {
        photo.photoPending = false;
        std::string why;
        if (const auto bytes = Base64Decode(t, &why))
            StorePicture(*bytes, record, ctx);
        else
            NoteUndecodable(ctx, record, why);
    }
    if (IsPhotoLine(t)) photo.photoPending = true;
}

void NormalPhotoRules(std::string_view t, ContactRecord& record, RuleContext& ctx) {
    PhotoState& photo = ctx.photo;
    // Pieces without a colon continue the Base64 text; the first piece with
    // one has begun the next property, so the text is complete.
    if (photo.photoPending && !photo.photoDecoded) {
        if (t.find(':') == std::string_view::npos) {
            photo.base64.append(t);
        } else {
            std::string why;
            if (auto bytes = Base64Decode(TrimView(photo.base64), &why)) {
                photo.picture = std::move(*bytes);
                photo.photoDecoded = true;
            } else {
                photo.Clear();
                NoteUndecodable(ctx, record, why);
            }
        }
    }
    // The finished picture is written before a PHOTO line on this piece
    // starts the next one, so that a second PHOTO line in a card cannot
    // replace the decoded bytes with undecoded text.
    if (photo.photoPending && photo.photoDecoded) {
        StorePicture(photo.picture, record, ctx);
        photo.Clear();
    }
    if (IsPhotoLine(t)) {
        const size_t first = t.find(':');
        const size_t second = t.find(':', first + 1);
        photo.base64 =
            Trim(t.substr(first + 1, second == std::string_view::npos ? std::string_view::npos
                                                                      : second - first - 1));
        photo.photoPending = true;
        photo.photoDecoded = false;
    }
}

} // namespace

std::optional<std::string> Base64Decode(std::string_view base64String, std::string* why) {
    // One pass, no copy of the text: a picture is the bulk of a backup. Whole
    // groups of four alphabet characters take the fast path; white space,
    // "=" and the odd group go through the careful one, which keeps the rules
    // (groups counted after white space is dropped, "=" anywhere in a group).
    std::string out;
    out.resize(base64String.size() / 4 * 3 + 3);
    char* o = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(base64String.data());
    const auto* const end = p + base64String.size();

    uint32_t accumulator = 0;
    int have = 0;  // characters of the current group seen so far
    int count = 3; // bytes the current group gives
    while (p < end) {
        if (have == 0) {
            while (end - p >= 4) {
                const int32_t a = kValues[p[0]], b = kValues[p[1]], c = kValues[p[2]],
                              d = kValues[p[3]];
                if ((a | b | c | d) < 0) break;
                const uint32_t v = static_cast<uint32_t>(a << 18 | b << 12 | c << 6 | d);
                o[0] = static_cast<char>(v >> 16);
                o[1] = static_cast<char>(v >> 8);
                o[2] = static_cast<char>(v);
                o += 3;
                p += 4;
            }
            if (p == end) break;
        }
        const unsigned char c = *p++;
        // White space goes first: CR LF pairs, then tabs, spaces and any other
        // LF. A CR on its own stays and is then no Base64 character.
        if (c == '\r' && p < end && *p == '\n') {
            ++p;
            continue;
        }
        if (c == '\t' || c == ' ' || c == '\n') continue;
        uint32_t value = 0;
        if (c == '=') {
            --count;
        } else {
            const int8_t v = kValues[c];
            if (v < 0) {
                if (why) *why = "a character outside the Base64 alphabet";
                return std::nullopt;
            }
            value = static_cast<uint32_t>(v);
        }
        accumulator = accumulator * 64 + value;
        if (++have < 4) continue;
        if (count < 0) {
            if (why) *why = "a group of four \"=\"";
            return std::nullopt;
        }
        o = EmitGroup(o, accumulator, count);
        accumulator = 0;
        have = 0;
        count = 3;
    }
    if (have > 0) {
        // A short last group: the missing places are zero bits.
        for (int k = have; k < 4; ++k)
            accumulator *= 64;
        o = EmitGroup(o, accumulator, count);
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}

void ApplyPhotoRules(std::string_view piece, ReadMode mode, ContactRecord& record,
                     RuleContext& ctx) {
    // Most lines neither begin a picture nor follow the line that does.
    if (!ctx.photo.photoPending && !IsPhotoLine(piece)) return;
    // The pictures' lines hold nothing that other rules read.
    if (!ctx.sink.WantsPictures()) return;
    if (mode == ReadMode::Advance)
        AdvancePhotoRules(piece, record, ctx);
    else
        NormalPhotoRules(piece, record, ctx);
}

} // namespace velloquin
