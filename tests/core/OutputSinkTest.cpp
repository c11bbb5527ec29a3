// The sinks every writer shares: appends and positioned writes must land
// where a plain file would put them, whatever stack of sinks carries them,
// and a full device must fail at the byte it fills.
#include "core/OutputSink.h"
#include "support/Readers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

using namespace velloquin;

namespace {

std::span<const uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// What a file holds after the writes: the reference the sinks are held to.
struct Model {
    std::string bytes;
    void Append(const std::string& s) { Write(bytes.size(), s); }
    void Write(size_t at, const std::string& s) {
        if (bytes.size() < at + s.size()) bytes.resize(at + s.size(), '\0');
        bytes.replace(at, s.size(), s);
    }
};

// Appends and rewrites in the order a store makes them: records appended,
// a header patched, a region extended past the end, appends after that.
void Script(OutputSink& sink, Model& model) {
    const auto append = [&](const std::string& s) {
        ASSERT_TRUE(sink.Append(Bytes(s)));
        model.Append(s);
    };
    const auto write = [&](size_t at, const std::string& s) {
        ASSERT_TRUE(sink.WriteAt(at, Bytes(s)));
        model.Write(at, s);
    };
    append("HEADER--");
    for (int i = 0; i < 40; ++i)
        append("record " + std::to_string(i) + ";");
    write(0, "header");                   // over the first bytes, still in a buffer
    write(model.bytes.size(), "tail");    // exactly at the end: an append
    write(model.bytes.size() + 7, "far"); // past the end: the gap reads as zeros
    append(std::string(300, 'x'));        // larger than a small buffer
    write(20, "middle");
    append("last");
    ASSERT_TRUE(sink.Flush());
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TEST(OutputSink, EveryStackWritesWhatAFileWouldHold) {
    const testsupport::TempDir dir("velloquin-sink");
    struct Case {
        const char* name;
        bool file;
        size_t buffer; // 0: no buffer
    } cases[] = {{"memory", false, 0},
                 {"buffered memory", false, 64},
                 {"file", true, 0},
                 {"buffered file", true, 64},
                 {"large buffer, file", true, 1 << 20}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> memory;
        const auto path = dir.Path() / (std::string(c.name) + ".bin");
        std::unique_ptr<OutputSink> sink;
        if (c.file) {
            platform::CreateFailure failure;
            sink = FileSink::CreateNew(path.string(), failure);
            ASSERT_TRUE(sink) << failure.reason;
        } else {
            sink = std::make_unique<MemorySink>(memory);
        }
        if (c.buffer != 0) sink = std::make_unique<BufferedSink>(std::move(sink), c.buffer);
        Model model;
        Script(*sink, model);
        ASSERT_TRUE(sink->Close());
        const std::string written =
            c.file ? ReadFile(path) : std::string(memory.begin(), memory.end());
        EXPECT_EQ(written, model.bytes);
        EXPECT_EQ(sink->Error().code, result::kOk);
    }
}

TEST(OutputSink, AFullDeviceKeepsWhatFitsAndStaysFailed) {
    for (const bool buffered : {false, true}) {
        SCOPED_TRACE(buffered ? "buffered" : "direct");
        std::vector<uint8_t> memory;
        auto failing = std::make_unique<FailingSink>(memory, 10);
        FailingSink* device = failing.get();
        std::unique_ptr<OutputSink> sink = std::move(failing);
        if (buffered) sink = std::make_unique<BufferedSink>(std::move(sink), 4);
        EXPECT_TRUE(sink->Append(Bytes("abcdef")));
        const bool second = sink->Append(Bytes("ghijkl")) && sink->Flush();
        EXPECT_FALSE(second);
        EXPECT_EQ(std::string(memory.begin(), memory.end()), "abcdefghij");
        EXPECT_EQ(sink->Error().code, result::kDiskFull);
        // Nothing more is taken, not even after room is made.
        device->FailAfter(100);
        EXPECT_FALSE(sink->WriteAt(0, Bytes("x")));
        EXPECT_FALSE(sink->Close());
        EXPECT_EQ(memory.size(), 10u);
    }
}

TEST(OutputSink, CreatingNewNeverReplacesAFile) {
    const testsupport::TempDir dir("velloquin-sink");
    const auto path = dir.Path() / "kept.bin";
    std::ofstream(path) << "keep";
    platform::CreateFailure failure;
    EXPECT_FALSE(FileSink::CreateNew(path.string(), failure));
    EXPECT_TRUE(failure.exists);
    EXPECT_EQ(ReadFile(path), "keep");
    FileError error;
    EXPECT_FALSE(FileSink::Open((dir.Path() / "no" / "such.bin").string(), error));
    EXPECT_EQ(error.code, result::kPathNotFound);
}
