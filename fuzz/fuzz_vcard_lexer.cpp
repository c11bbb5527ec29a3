// The standards lexer on any bytes, with its helpers on every value it
// yields. The bytes are read twice, in pieces of 64 KB and of 16 bytes: the
// cards must come out the same, since where a piece ends means nothing.
#include "core/Text.h"
#include "vcard/VCardLexer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace velloquin;

struct Reading {
    std::vector<VCard> cards;
    uint64_t begun = 0;
};

Reading Read(std::string_view bytes, size_t pieceSize, int depth);

void Check(const VCard& card, int depth) {
    // A card that did not end on its END:VCARD line says so.
    if (card.endLine == 0) {
        bool said = false;
        for (const VCardDiagnostic& d : card.diagnostics)
            said = said || d.message.find("no END:VCARD") != std::string::npos;
        if (!said) std::abort();
    }
    for (const VCardProperty& p : card.properties) {
        if (p.name.empty() || !IsValidUtf8(p.value)) std::abort();
        if (!p.binary && !p.bytes.empty()) std::abort();
        for (const std::string& component : SplitComponents(p.value, card.version))
            SplitListItems(component, card.version);
        UnescapeText(p.value, card.version);
        ParseVCardDate(p.value);
        PictureOf(p);
        p.Pref();
        // An AGENT's card is read as its reader will read it, one level down.
        if (p.embeddedCard && depth < 2) {
            const Reading inner = Read(p.value, 64 * 1024, depth + 1);
            if (inner.cards.empty()) std::abort();
        }
    }
}

Reading Read(std::string_view bytes, size_t pieceSize, int depth) {
    MemorySource source(bytes);
    VCardLexer lexer(source, pieceSize);
    std::string why;
    if (!lexer.Open(why)) std::abort();
    Reading reading;
    VCard card;
    while (lexer.Next(card)) {
        Check(card, depth);
        reading.cards.push_back(std::move(card));
    }
    lexer.TakeFileDiagnostics();
    reading.begun = lexer.CardsBegun();
    if (reading.begun != reading.cards.size()) std::abort();
    return reading;
}

bool Same(const VCard& a, const VCard& b) {
    if (a.version != b.version || a.beginLine != b.beginLine || a.endLine != b.endLine ||
        a.properties.size() != b.properties.size() || a.diagnostics.size() != b.diagnostics.size())
        return false;
    for (size_t i = 0; i < a.properties.size(); ++i) {
        const VCardProperty& p = a.properties[i];
        const VCardProperty& q = b.properties[i];
        if (p.line != q.line || p.group != q.group || p.name != q.name || p.value != q.value ||
            p.bytes != q.bytes || p.params.size() != q.params.size())
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const Reading whole = Read(bytes, 64 * 1024, 0);
    const Reading pieces = Read(bytes, 16, 0);
    if (whole.cards.size() != pieces.cards.size()) std::abort();
    for (size_t i = 0; i < whole.cards.size(); ++i)
        if (!Same(whole.cards[i], pieces.cards[i])) std::abort();
    return 0;
}
