// Base64Decode: the picture text of a PHOTO property to its bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velloquin {

// Decodes standard Base64 (RFC 4648 alphabet, case-sensitive). CR LF pairs,
// tabs, spaces and LFs are ignored; the text is taken in groups of four from
// its start, the last group possibly shorter. Every "=" in a group drops one
// of its three bytes and counts as zero bits; a short last group without "="
// still gives three bytes, the missing places being zero bits.
// Returns nullopt for text that has no meaning as Base64: a group of four "="
// or a character outside the alphabet (a lone CR included). why, when given,
// then says which of the two it was.
std::optional<std::string> Base64Decode(std::string_view base64String, std::string* why = nullptr);

} // namespace velloquin
