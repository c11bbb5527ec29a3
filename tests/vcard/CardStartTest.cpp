// The one recogniser of a vCard's start: the scanner over raw bytes must see
// exactly the begin lines the reader itself opens a card at, in both modes,
// however the bytes are cut into pieces.
#include "vcard/CardStart.h"

#include "TestHost.h"

#include <gtest/gtest.h>

namespace velloquin {
namespace {

using testing_support::Reading;

std::string Utf16(std::string_view ascii, bool littleEndian) {
    std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (const char c : ascii) {
        const char units[2] = {c, '\0'};
        out += littleEndian ? std::string(units, 2) : std::string{units[1], units[0]};
    }
    return out;
}

// Counts the cards the reader opens: every begin line it sees.
struct OpenCounter : testing_support::RecordingHost {
    int64_t opened = 0;
    void CardOpened() override { ++opened; }
};

int64_t ReaderStarts(const std::string& bytes, bool advance) {
    OpenCounter sink;
    ContactRecord record;
    int32_t ivCard = 1;
    ReadvCardText("b.vcf", bytes, advance ? ReadMode::Advance : ReadMode::Normal, ivCard, record,
                  sink);
    return sink.opened;
}

struct StartCase {
    std::string bytes;
    int64_t normal, advance;
};

TEST(CardStart, TheScannerSeesTheBeginLinesTheReaderSees) {
    const std::string card = "BEGIN:VCARD\r\nFN:a\r\nEND:VCARD\r\n";
    const std::vector<StartCase> cases = {
        {card + card, 2, 2},
        {"  begin:vCard  \r\nEND:VCARD", 1, 1},
        {"BEGIN:VCARD\nFN:a\nEND:VCARD\nBEGIN:VCARD\n", 0, 2},
        {card + "BEGIN:VCARD\nEND:VCARD\n", 1, 2},
        {"\rBEGIN:VCARD\r\rBEGIN:VCARD", 2, 2}, // lone CRs, no end on the last line
        {"\xEF\xBB\xBF"
         "BEGIN:VCARD",
         1, 1},
        {"\xEF\xBB"
         "BEGIN:VCARD",
         0, 0}, // half a mark is text
        {Utf16(card + card, true), 2, 2},
        {Utf16(card, false), 1, 1},
        {Utf16("BEGIN:VCARD\nEND:VCARD\nBEGIN:VCARD", true), 0, 2},
        {Utf16("BEGIN:VCARD\r\n", true) + "x", 1, 1}, // an odd byte at the end
        {"BEGIN:VCARD x\r\nBEGIN: VCARD\r\nBEGIN:VCARDS\r\n\tBEGIN:VCARD\r\nB\xC3\x89GIN:VCARD", 0,
         0},
        {"BEGIN:VCARD" + std::string(1000, ' ') + "\r\n", 1, 1},
        {std::string(100'000, 'x') + "\r\nBEGIN:VCARD", 1, 1},
        {std::string(100'000, ' ') + "BEGIN:VCARD", 1, 1},
        {"", 0, 0},
    };
    for (const StartCase& c : cases) {
        for (const bool advance : {false, true}) {
            const int64_t expected = advance ? c.advance : c.normal;
            EXPECT_EQ(ReaderStarts(c.bytes, advance), expected)
                << testing::PrintToString(c.bytes.substr(0, 80)) << advance;
            for (const size_t step : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, c.bytes.size()}) {
                CardStartScanner scanner(advance);
                int64_t found = 0;
                for (size_t at = 0; at < c.bytes.size(); at += std::max<size_t>(step, 1))
                    found += scanner.Feed(std::string_view(c.bytes).substr(at, step));
                found += scanner.Finish();
                EXPECT_EQ(found, expected) << testing::PrintToString(c.bytes.substr(0, 80))
                                           << advance << " pieces of " << step;
            }
        }
    }
}

} // namespace
} // namespace velloquin
