// A backup's text, read and decoded piece by piece, so that the memory a run
// needs does not grow with the size of the backup.
#pragma once

#include "core/Text.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velloquin {

// Where a backup's bytes come from: a file, or memory (the fuzz targets, the
// tests). Open starts again at the first byte, so a source can be read twice.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // False, with the system's reason, when the bytes cannot be reached.
    virtual bool Open(std::string& why) = 0;
    // Up to size bytes into buffer; got is 0 at the end. False, with the
    // system's reason, when reading fails.
    virtual bool Read(char* buffer, size_t size, size_t& got, std::string& why) = 0;
    // The bytes themselves, when they are in memory already: they are then
    // looked at where they are, without a copy.
    virtual const std::string_view* InMemory() const { return nullptr; }
};

// A file named by its UTF-8 path.
std::unique_ptr<ByteSource> MakeFileSource(const std::string& path);

// Bytes that stay alive while the source is read.
class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    bool Open(std::string&) override {
        pos_ = 0;
        return true;
    }
    bool Read(char* buffer, size_t size, size_t& got, std::string&) override;
    const std::string_view* InMemory() const override { return &bytes_; }

  private:
    std::string_view bytes_;
    size_t pos_ = 0;
};

// Decodes as a whole file would be decoded: UTF-16 by its byte-order mark;
// otherwise UTF-8 when every byte of the file is UTF-8 (a leading byte-order
// mark dropped); UTF-8 with each stray byte as its Windows-1252 character
// when the file holds UTF-8 beyond ASCII too (StrayLines then names where);
// else Windows-1252. Choosing needs one look at every byte, so
// Open reads the source once before the text is handed out.
class BackupText {
  public:
    explicit BackupText(ByteSource& source, size_t pieceSize = 256 * 1024);

    // False, with the reason, when nothing at all could be read.
    bool Open(std::string& why);
    // The next piece of UTF-8 text; false at the end, or when reading failed
    // (see Failure). Pieces may end inside a character; only a line break
    // marks anything, and those are ASCII.
    bool Next(std::string_view& text);

    // Set when reading failed part way: what the system said, and how many of
    // the file's bytes were read before.
    const std::string& Failure() const { return failure_; }
    uint64_t BytesRead() const { return bytesRead_; }
    // The lines of a UTF-8 file on which bytes that are not UTF-8 were read
    // as Windows-1252, so far (the first few), and how many such lines.
    const std::vector<uint64_t>& StrayLines() const { return strays_.Lines(); }
    uint64_t StrayLineCount() const { return strays_.LineCount(); }

  private:
    enum class Encoding { Utf8, Utf8WithStrays, Utf16Le, Utf16Be, Cp1252 };

    // The next piece's bytes: from memory, or read into the buffer.
    bool Fetch(size_t want, std::string_view& bytes, std::string& why);

    ByteSource& source_;
    size_t pieceSize_;
    std::unique_ptr<char[]> buffer_; // made at the first read from a file
    uint64_t position_ = 0;          // of the next byte, in the current pass
    Encoding encoding_ = Encoding::Utf8;
    uint64_t readable_ = 0;  // bytes the first pass read; the second reads no more
    uint64_t bytesRead_ = 0; // bytes the second pass has read so far
    size_t skip_ = 0;        // the byte-order mark's length
    std::string failure_;
    std::string decoded_; // the current piece, when it had to be converted
    std::string carry_;   // UTF-16 bytes held back for the next piece
    StrayByteDecoder strays_;
};

} // namespace velloquin
