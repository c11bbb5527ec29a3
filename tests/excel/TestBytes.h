// Byte helpers for the workbook tests: hex literals and splitting a stream
// into records. Layout checks only; the format itself is checked by
// LibreOffice in LibreOfficeReadBackTest.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velloquin::excel::testing {

using Bytes = std::vector<uint8_t>;

// "09 00 4A" plus optional trailing text bytes.
inline Bytes Hex(std::string_view hex, std::string_view text = {}) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += hex[i] == ' ' ? 1 : 2) {
        if (hex[i] == ' ') continue;
        out.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

struct Record {
    uint16_t number;
    Bytes bytes; // header and body
};

// The complete records of a stream; a cut-off record at the end is dropped.
inline std::vector<Record> SplitRecords(const Bytes& stream) {
    std::vector<Record> records;
    size_t pos = 0;
    while (pos + 4 <= stream.size()) {
        const auto number = static_cast<uint16_t>(stream[pos] | stream[pos + 1] << 8);
        const size_t length = static_cast<size_t>(stream[pos + 2] | stream[pos + 3] << 8);
        if (pos + 4 + length > stream.size()) break;
        records.push_back(
            {number, Bytes(stream.begin() + static_cast<std::ptrdiff_t>(pos),
                           stream.begin() + static_cast<std::ptrdiff_t>(pos + 4 + length))});
        pos += 4 + length;
    }
    return records;
}

struct Label {
    uint16_t row, column;
    std::string text;
};

// The LABEL records of a stream, in file order.
inline std::vector<Label> Labels(const Bytes& stream) {
    std::vector<Label> labels;
    for (const Record& r : SplitRecords(stream)) {
        if (r.number != 4) continue;
        labels.push_back({static_cast<uint16_t>(r.bytes[4] | r.bytes[5] << 8),
                          static_cast<uint16_t>(r.bytes[6] | r.bytes[7] << 8),
                          std::string(r.bytes.begin() + 12, r.bytes.end())});
    }
    return labels;
}

} // namespace velloquin::excel::testing
