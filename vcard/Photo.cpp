#include "Base64.h"
#include "Rules.h"
#include "Text.h"

#include <array>
#include <fstream>

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

// "PHOTO:" or "PHOTO;" at the start, in any case.
bool IsPhotoLine(std::string_view t) {
    if (t.size() < 6) return false;
    return UpperAscii(t.substr(0, 5)) == "PHOTO" && (t[5] == ':' || t[5] == ';') &&
           t.find(':') != std::string_view::npos;
}

bool WritePicture(const std::string& path, std::string_view bytes) {
    std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

// The picture file of the contact being read: named by the run's contact
// number only, so that nothing in a backup chooses where it is written, and
// every picture of a run gets a file of its own.
void StorePicture(std::string_view bytes, ContactRecord& record, RuleContext& ctx) {
    ctx.host.LetTheWindowWork();
    // A PHOTO without data would only leave an empty picture to attach.
    if (bytes.empty()) {
        record.ePhoto.clear();
        return;
    }
    const std::string path = ctx.host.SaveFolder() + std::to_string(ctx.ivCard) + ".gif";
    if (WritePicture(path, bytes)) {
        record.ePhoto = path;
    } else {
        record.ePhoto.clear();
        NoteContact(ctx, "The picture file \"" + path +
                             "\" could not be written; the picture was left out.");
    }
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
            if (auto bytes = Base64Decode(Trim(photo.base64), &why)) {
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
    // White space goes first: CR LF pairs, then tabs, spaces and any other
    // LF. A CR on its own stays and is then no Base64 character.
    std::string text;
    text.reserve(base64String.size());
    const size_t n = base64String.size();
    for (size_t i = 0; i < n; ++i) {
        const char c = base64String[i];
        if (c == '\r' && i + 1 < n && base64String[i + 1] == '\n') {
            ++i;
            continue;
        }
        if (c == '\t' || c == ' ' || c == '\n') continue;
        text.push_back(c);
    }

    std::string out;
    out.reserve(text.size() / 4 * 3 + 3);
    for (size_t group = 0; group < text.size(); group += 4) {
        int count = 3;
        uint32_t accumulator = 0;
        for (size_t k = 0; k < 4; ++k) {
            uint32_t value = 0;
            if (group + k < text.size()) {
                const char c = text[group + k];
                if (c == '=') {
                    --count;
                } else {
                    const int8_t v = kValues[static_cast<unsigned char>(c)];
                    if (v < 0) {
                        if (why) *why = "a character outside the Base64 alphabet";
                        return std::nullopt;
                    }
                    value = static_cast<uint32_t>(v);
                }
            }
            accumulator = accumulator * 64 + value;
        }
        if (count < 0) {
            if (why) *why = "a group of four \"=\"";
            return std::nullopt;
        }
        const char bytes[3] = {static_cast<char>((accumulator >> 16) & 0xFF),
                               static_cast<char>((accumulator >> 8) & 0xFF),
                               static_cast<char>(accumulator & 0xFF)};
        out.append(bytes, static_cast<size_t>(count));
    }
    return out;
}

void ApplyPhotoRules(std::string_view piece, ReadMode mode, ContactRecord& record,
                     RuleContext& ctx) {
    if (mode == ReadMode::Advance)
        AdvancePhotoRules(piece, record, ctx);
    else
        NormalPhotoRules(piece, record, ctx);
}

} // namespace velloquin
