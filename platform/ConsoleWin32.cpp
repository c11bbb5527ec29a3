#include "platform/Console.h"

#include "platform/WideText.h"

#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <iostream>
#include <streambuf>

namespace velloquin::platform {

namespace {

// Length of the UTF-8 sequence that a lead byte starts (1 for anything else,
// so that broken text still moves on).
size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

// Hands UTF-8 text to the console as UTF-16. A character cut between two
// writes waits for its remaining bytes.
class ConsoleBuffer : public std::streambuf {
  public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}

  protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            pending_.push_back(traits_type::to_char_type(c));
            if (pending_.size() >= kChunk) WriteComplete();
        }
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char* s, std::streamsize n) override {
        pending_.append(s, static_cast<size_t>(n));
        if (pending_.size() >= kChunk) WriteComplete();
        return n;
    }

    int sync() override {
        WriteComplete();
        return 0;
    }

  private:
    static constexpr size_t kChunk = 4096;

    void WriteComplete() {
        size_t end = pending_.size();
        // Keep an unfinished last character for the next write.
        for (size_t back = 1; back <= 3 && back <= pending_.size(); ++back) {
            const auto c = static_cast<unsigned char>(pending_[pending_.size() - back]);
            if ((c & 0xC0) == 0x80) continue;
            if (SequenceLength(c) > back) end = pending_.size() - back;
            break;
        }
        const std::wstring wide = WideFromUtf8(std::string_view(pending_).substr(0, end));
        DWORD written = 0;
        if (!wide.empty())
            WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &written,
                          nullptr);
        pending_.erase(0, end);
    }

    HANDLE console_;
    std::string pending_;
};

void Redirect(std::ostream& stream, DWORD which) {
    HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return;
    stream.flush();
    // Never freed: the standard streams are flushed after every static object
    // of the program is gone.
    stream.rdbuf(new ConsoleBuffer(handle));
}

} // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i)
        args.push_back(Utf8FromWide(wide[i]));
    LocalFree(wide);
    return args;
}

void UseUtf8Console() {
    Redirect(std::cout, STD_OUTPUT_HANDLE);
    Redirect(std::cerr, STD_ERROR_HANDLE);
}

bool StderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

} // namespace velloquin::platform
