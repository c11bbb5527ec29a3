#include "CliPlatform.h"

#include "core/Text.h"
#include "platform/Utf8Path.h"
#include "vcard/CardStart.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <vector>

namespace velloquin::cli {

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) {
    interrupted = 1;
}

// Message boxes break lines with CR LF; a terminal wants LF.
std::string TerminalLines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out.push_back(text[i] == '\r' ? '\n' : text[i]);
    }
    return out;
}

constexpr int kBarWidth = 30;

} // namespace

int64_t CountCards(const std::string& path, bool advance) {
    std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
    if (!in) return 0;
    CardStartScanner scanner(advance);
    int64_t count = 0;
    std::vector<char> buffer(1 << 20);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<size_t>(in.gcount());
        if (got == 0) break;
        count += scanner.Feed(std::string_view(buffer.data(), got));
    }
    return count + scanner.Finish();
}

void PrintedMessages::Show(const std::string& text, const std::string& title) {
    if (bar_) bar_->Clear();
    if (title == "Velloquin") {
        out_ << TerminalLines(text) << '\n';
        out_.flush();
    } else {
        err_ << title << ":\n" << TerminalLines(text) << '\n';
        err_.flush();
    }
}

bool PrintedMessages::AskYesNo(const std::string& text, const std::string& title) {
    // The offers to read a backup again name the mode; the option has its name.
    const bool standard = text.find("in Standard Mode?") != std::string::npos;
    Show(text + (standard ? "\n(No: give --standard to read it in Standard Mode.)"
                          : "\n(No: give --advance to read it in Advance Mode.)"),
         title);
    return false;
}

bool PrintedMessages::ShowNotes(const app::NotesBox& box) {
    if (box.question.empty()) {
        Show(box.allNotes, box.title);
        return false;
    }
    return AskYesNo(box.allNotes + "\n" + box.question, box.title);
}

void ProgressBar::Draw(int64_t converted) {
    if (!enabled_) return;
    std::string line = "\r";
    if (expected_ > 0) {
        const int64_t shown = std::min(converted, expected_);
        const auto filled = static_cast<int>(shown * kBarWidth / expected_);
        line += "[" + std::string(static_cast<size_t>(filled), '#') +
                std::string(static_cast<size_t>(kBarWidth - filled), '.') + "] " +
                std::to_string(converted) + "/" + std::to_string(expected_) + " contacts";
    } else {
        line += std::to_string(converted) + " contacts";
    }
    err_ << line << "\x1b[K";
    err_.flush();
    drawn_ = true;
}

void ProgressBar::Clear() {
    if (!drawn_) return;
    err_ << "\r\x1b[K";
    err_.flush();
    drawn_ = false;
}

void TerminalPump::LetTheWindowWork() {
    if (!run_) return;
    if (Interrupted()) run_->RequestStop();
    bar_.Draw(std::max<int64_t>(0, run_->cardCounter - 1));
}

void CatchInterrupt() {
    std::signal(SIGINT, OnInterrupt);
}

bool Interrupted() {
    return interrupted != 0;
}

} // namespace velloquin::cli
