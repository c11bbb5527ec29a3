// Prints what VCardLexer reads from each file named on the command line, as
// one JSON document, for comparisons with other vCard readers.
#include "../JsonText.h"
#include "vcard/VCardLexer.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace {

using namespace velloquin;

using testing_support::Json;

std::string Hex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (char c : bytes) {
        out += digits[static_cast<unsigned char>(c) >> 4];
        out += digits[static_cast<unsigned char>(c) & 15];
    }
    return out;
}

const char* VersionText(VCardVersion version) {
    switch (version) {
    case VCardVersion::V21:
        return "2.1";
    case VCardVersion::V30:
        return "3.0";
    case VCardVersion::V40:
        return "4.0";
    }
    return "";
}

void Diagnostics(const std::vector<VCardDiagnostic>& list) {
    std::cout << "[";
    for (size_t i = 0; i < list.size(); ++i)
        std::cout << (i ? "," : "") << "{\"line\":" << list[i].line
                  << ",\"message\":" << Json(list[i].message) << "}";
    std::cout << "]";
}

void Property(const VCardProperty& p, VCardVersion version) {
    std::cout << "{\"line\":" << p.line << ",\"group\":" << Json(p.group)
              << ",\"name\":" << Json(p.name) << ",\"params\":[";
    for (size_t i = 0; i < p.params.size(); ++i) {
        std::cout << (i ? "," : "") << "[" << Json(p.params[i].name) << ",[";
        for (size_t j = 0; j < p.params[i].values.size(); ++j)
            std::cout << (j ? "," : "") << Json(p.params[i].values[j]);
        std::cout << "]]";
    }
    std::cout << "],\"value\":" << Json(p.value)
              << ",\"text\":" << Json(UnescapeText(p.value, version)) << ",\"components\":[";
    const std::vector<std::string> components = SplitComponents(p.value, version);
    for (size_t i = 0; i < components.size(); ++i) {
        std::cout << (i ? "," : "") << "[";
        const std::vector<std::string> items = SplitListItems(components[i], version);
        for (size_t j = 0; j < items.size(); ++j)
            std::cout << (j ? "," : "") << Json(items[j]);
        std::cout << "]";
    }
    // The items a reader that splits every value at ',' sees.
    std::cout << "],\"items\":[";
    const std::vector<std::string> items = SplitListItems(p.value, VCardVersion::V30);
    for (size_t i = 0; i < items.size(); ++i)
        std::cout << (i ? "," : "") << Json(items[i]);
    std::cout << "],\"binary\":" << (p.binary ? "true" : "false")
              << ",\"media\":" << Json(p.mediaType) << ",\"bytes\":" << Json(Hex(p.bytes))
              << ",\"embedded\":[";
    if (p.embeddedCard) {
        // The embedded card's own properties, read by the same lexer.
        MemorySource source(p.value);
        VCardLexer inner(source);
        std::string why;
        VCard card;
        bool first = true;
        if (inner.Open(why))
            while (inner.Next(card))
                for (const VCardProperty& property : card.properties) {
                    std::cout << (first ? "" : ",");
                    first = false;
                    Property(property, card.version);
                }
    }
    std::cout << "]}";
}

} // namespace

int main(int argc, char** argv) {
    std::cout << "[";
    for (int a = 1; a < argc; ++a) {
        auto source = MakeFileSource(argv[a]);
        VCardLexer lexer(*source);
        std::string why;
        if (!lexer.Open(why)) {
            std::cerr << argv[a] << ": " << why << "\n";
            return 1;
        }
        std::cout << (a > 1 ? "," : "") << "{\"file\":" << Json(argv[a]) << ",\"cards\":[";
        VCard card;
        for (bool first = true; lexer.Next(card); first = false) {
            std::cout << (first ? "" : ",") << "{\"version\":\"" << VersionText(card.version)
                      << "\",\"begin\":" << card.beginLine << ",\"end\":" << card.endLine
                      << ",\"diagnostics\":";
            Diagnostics(card.diagnostics);
            std::cout << ",\"properties\":[";
            for (size_t i = 0; i < card.properties.size(); ++i) {
                if (i) std::cout << ",";
                Property(card.properties[i], card.version);
            }
            std::cout << "]}";
        }
        std::cout << "],\"begun\":" << lexer.CardsBegun() << ",\"file_diagnostics\":";
        Diagnostics(lexer.TakeFileDiagnostics());
        std::cout << "}";
    }
    std::cout << "]\n";
    return 0;
}
