// VCardLexer: reads vCard text (2.1, 3.0, 4.0) the way the vCard standards
// define it, card by card, into properties: group, name, parameters and the
// value decoded to UTF-8. What a property means is left to its reader; the
// lexer only takes the text apart and says where the text breaks the rules.
//
// Memory stays flat over a file: bytes are read in pieces and only the card
// being read is held whole.
#pragma once

#include "BackupText.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace velloquin {

class CodePageConverter;

enum class VCardVersion { V21, V30, V40 };

// A problem in the text, with the number of the (first) line it is on.
struct VCardDiagnostic {
    uint64_t line = 0;
    std::string message;
};

// One parameter as written. A bare 2.1 parameter (TEL;CELL) is TYPE=CELL, a
// bare QUOTED-PRINTABLE or BASE64 is ENCODING=. The name is in upper case;
// the values keep their case, quotes removed, one per comma-separated item.
struct VCardParam {
    std::string name;
    std::vector<std::string> values;
};

// One parameter value of a card read as views: the parameter's name in
// upper case, the value as VCardParam holds it, and the parameter's place
// among the property's parameters (a TYPE=a,b gives two values of one).
struct VCardParamView {
    std::string_view name;
    std::string_view value;
    size_t index = 0;
};

// Texts made while a card is read (decoded values, unescaped components),
// kept until Reset. A text handed out never moves, so views of it stay
// valid; the strings keep their room from card to card.
class TextScratch {
  public:
    // An empty string that stays where it is until the next Reset.
    std::string& Take();
    void Reset();

  private:
    std::deque<std::string> texts_;
    size_t used_ = 0;
};

// A property as a reader of one card at a time sees it: views into the
// lexer's buffers, valid until its next Next or Open. The parameters are
// parsed only when asked about.
struct VCardPropertyView {
    uint64_t line = 0;
    std::string_view group; // as written; empty without one
    std::string_view name;  // upper case
    // The value as VCardProperty::value has it; bytes, binary, embeddedCard
    // and mediaType likewise.
    std::string_view value;
    std::string_view bytes;
    bool binary = false;
    bool embeddedCard = false;
    std::string_view mediaType;
    // The parameters: the values of the card's, or VCardProperty's list.
    const VCardParamView* paramViews = nullptr;
    size_t paramCount = 0;
    const std::vector<VCardParam>* params = nullptr;

    std::vector<std::string> ParamValues(std::string_view upperName) const;
    bool HasParam(std::string_view upperName) const;
    bool HasType(std::string_view type) const;
    int Pref() const;
    // Calls each with every value of the parameters of this name (upper
    // case), in order, until it returns true; true when one did.
    template <typename Each> bool AnyParamValue(std::string_view upperName, Each&& each) const {
        using Callable = std::remove_reference_t<Each>;
        return VisitParamValues(upperName, const_cast<void*>(static_cast<const void*>(&each)),
                                [](void* e, std::string_view written) {
                                    return (*static_cast<Callable*>(e))(written);
                                });
    }
    bool VisitParamValues(std::string_view upperName, void* context,
                          bool (*each)(void*, std::string_view)) const;
};

struct VCardProperty {
    uint64_t line = 0;
    std::string group; // "item1" of item1.EMAIL, as written; empty without one
    std::string name;  // upper case
    std::vector<VCardParam> params;
    // The value in UTF-8: unfolded, quoted-printable and CHARSET decoded, but
    // still escaped (see the helpers below). For a binary value that decoded
    // (ENCODING=b/BASE64, a data: URI) the bytes are in bytes and value is
    // empty; one that did not decode keeps its text here and is reported.
    std::string value;
    std::string bytes;
    bool binary = false;
    // A 2.1 AGENT whose value is a whole embedded vCard: value holds that
    // card's text, lines ending in CR LF.
    bool embeddedCard = false;
    // The media type of a data: URI ("image/jpeg"), lower case.
    std::string mediaType;

    // The values of every parameter of this name (upper case), in order.
    std::vector<std::string> ParamValues(std::string_view upperName) const;
    bool HasParam(std::string_view upperName) const;
    // True when TYPE holds this type, in any case and in any written form.
    bool HasType(std::string_view type) const;
    // The preference: 1-100 from PREF=n (4.0), 1 for TYPE=PREF or a bare PREF
    // (2.1, 3.0), 0 when the property is not marked preferred.
    int Pref() const;
    // The same property seen as the view type, valid while this one lives.
    VCardPropertyView View() const;
};

struct VCard {
    VCardVersion version = VCardVersion::V21;
    bool versionGiven = false; // false: no VERSION line, read as 2.1
    uint64_t beginLine = 0;
    uint64_t endLine = 0; // 0 when the card had no END:VCARD line
    std::vector<VCardProperty> properties;
    std::vector<VCardDiagnostic> diagnostics;

    // The first property of that name (upper case), or null.
    const VCardProperty* Find(std::string_view upperName) const;
};

// The same card as views into the lexer (see VCardPropertyView): what a
// reader that keeps nothing of the card needs, without a copy of its text.
struct VCardView {
    VCardVersion version = VCardVersion::V21;
    bool versionGiven = false;
    uint64_t beginLine = 0;
    uint64_t endLine = 0;
    std::vector<VCardPropertyView> properties;
    std::vector<VCardDiagnostic> diagnostics;

    const VCardPropertyView* Find(std::string_view upperName) const;
};

class VCardLexer {
  public:
    explicit VCardLexer(ByteSource& source, size_t pieceSize = 64 * 1024);
    ~VCardLexer();
    VCardLexer(const VCardLexer&) = delete;
    VCardLexer& operator=(const VCardLexer&) = delete;

    // False, with the system's reason, when the source cannot be opened.
    bool Open(std::string& why);
    // The next card; false when the text holds no more.
    bool Next(VCard& card);
    // The same card as views, valid until the next Next or Open.
    bool Next(VCardView& card);
    // Problems outside any card (lines between cards, an END:VCARD without
    // its BEGIN, a failed read), taken out as they are collected.
    std::vector<VCardDiagnostic> TakeFileDiagnostics();
    // BEGIN:VCARD lines met so far (embedded AGENT cards not counted).
    uint64_t CardsBegun() const { return cardsBegun_; }

  private:
    // A logical line: its text is cardText_[begin, end), its folds the
    // foldCount entries of folds_ from foldBegin.
    struct RawLine {
        uint64_t line = 0;
        size_t begin = 0;
        size_t end = 0;
        size_t foldBegin = 0;
        size_t foldCount = 0;
        size_t firstLine = 0; // the size of its first physical line
        // What the first physical line's header says of the encoding, asked
        // only when a line may continue the value without a fold.
        bool encodingKnown = false;
        bool quotedPrintable = false;
        bool base64 = false;
        bool agentCard = false; // an AGENT followed by its embedded card
    };
    enum class Encoding { Utf8, Utf16Le, Utf16Be };

    bool Fill();
    bool GotPiece(bool read, size_t got, const std::string& why);
    bool NextPhysicalLine(std::string_view& line, bool capped);
    void FinishPending();
    bool PendingQuotedPrintable();
    bool PendingBase64();
    void StartPending(std::string_view line);
    void StartCardText();
    void Decode(VCardView& card);
    void DecodeLine(const RawLine& raw, VCardView& card);
    std::string_view DecodeText(std::string_view bytes, std::string_view name, uint64_t line,
                                const std::string_view* charset);
    CodePageConverter* Converter(uint16_t codePage);
    void AddFileDiagnostic(uint64_t line, std::string message);

    ByteSource& source_;
    size_t pieceSize_;
    std::unique_ptr<char[]> piece_;
    std::string buffer_; // text not yet cut into lines, in UTF-8 (or raw bytes)
    size_t pos_ = 0;
    bool sourceDone_ = false;
    bool skipLineFeed_ = false; // the last piece ended in CR
    bool started_ = false;
    Encoding encoding_ = Encoding::Utf8;
    std::string carry_; // UTF-16 bytes held for the next piece
    uint64_t lineNumber_ = 0;

    bool inCard_ = false;
    uint64_t cardsBegun_ = 0;
    uint64_t beginLine_ = 0;
    std::string spill_;                      // a line that runs over the end of the buffer
    std::vector<VCardParamView> paramViews_; // the card's parameters, in order
    // The card being read: its lines' text one after the other, then what
    // was decoded from them. The views of the card handed out point here.
    std::string cardText_;
    std::vector<size_t> folds_; // where a folded line's white space sits
    std::vector<RawLine> raw_;
    TextScratch scratch_;
    VCardView ownedView_; // what Next(VCard&) copies from
    RawLine pending_;     // the last line of cardText_, still growing
    bool hasPending_ = false;
    int agentDepth_ = 0; // > 0 while an AGENT's embedded card is read
    std::vector<VCardDiagnostic> cardDiagnostics_;
    std::vector<VCardDiagnostic> fileDiagnostics_;
    uint64_t fileDiagnosticsDropped_ = 0;
    std::map<uint16_t, std::unique_ptr<CodePageConverter>> converters_;
};

// Splits a structured value (N, ADR, ORG) at its unescaped ';' into
// components, still escaped. In 2.1 a backslash escapes only ';' (and a
// backslash, so that a component may end in one); in 3.0 and 4.0 it escapes
// the character after it.
std::vector<std::string> SplitComponents(std::string_view value, VCardVersion version);
// The same components as views into value (each is a piece of it), in out.
void SplitComponentViews(std::string_view value, VCardVersion version,
                         std::vector<std::string_view>& out);
// Splits one component (or a list value such as CATEGORIES, NICKNAME) at its
// unescaped ',' into items and unescapes each. 2.1 has no lists: the
// component is one item, only "\;" and "\\" unescaped.
std::vector<std::string> SplitListItems(std::string_view component, VCardVersion version);
// A whole text value, unescaped: "\n" and "\N" a line break, "\," "\;" "\\"
// the character. 2.1 defines no escapes outside structured values, so its
// text is returned unchanged.
std::string UnescapeText(std::string_view value, VCardVersion version);
// The same appended to out.
void AppendUnescapedText(std::string_view value, VCardVersion version, std::string& out);
// One component of a structured value, unescaped (2.1: "\;" and "\\" alone).
std::string UnescapeComponent(std::string_view component, VCardVersion version);

// A date of BDAY or ANNIVERSARY. year is 0 when the text gives none.
struct VCardDate {
    int year = 0;
    int month = 0;
    int day = 0;
    bool hasTime = false;
    // Empty when the date is usable as a calendar date with a year;
    // otherwise why not ("no year", "no day", "not a date", ...).
    std::string problem;
    bool Usable() const { return problem.empty(); }
};
VCardDate ParseVCardDate(std::string_view text);

// A picture (PHOTO, LOGO) as far as the text gives it.
struct VCardPicture {
    enum class Kind { None, Inline, Uri, Bad };
    Kind kind = Kind::None;
    std::string bytes;     // Inline: the decoded picture
    std::string type;      // "jpeg", "png", "gif", "bmp", "tiff"; empty when unknown
    std::string extension; // "jpg", "png", ...; empty when unknown
    std::string uri;       // Uri: the address, never fetched
    std::string problem;   // Bad, or a note on an Inline or Uri one
};
VCardPicture PictureOf(const VCardProperty& property);
VCardPicture PictureOf(const VCardPropertyView& property);
// The picture type the bytes' first bytes show, or empty.
std::string PictureTypeFromMagic(std::string_view bytes);

// The Windows code page a CHARSET name stands for; 65001 for UTF-8 (and
// US-ASCII); nullopt for a name not known here.
std::optional<uint16_t> CodePageForCharset(std::string_view charset);

} // namespace velloquin
