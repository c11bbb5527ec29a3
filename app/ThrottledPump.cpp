#include "ThrottledPump.h"

#include <utility>

namespace velloquin::app {

namespace {
// Reading the clock costs far more than counting a call; a stride of 64 keeps
// the reader's dense calls to a few clock reads per millisecond.
constexpr uint32_t kMaxStride = 64;
// Calls closer together than this count as dense.
constexpr std::chrono::microseconds kDenseGap{500};
} // namespace

ThrottledPump::ThrottledPump(WindowPump& pump, RunControls& label,
                             std::chrono::milliseconds interval, Clock clock)
    : pump_(pump), label_(label), interval_(interval), clock_(std::move(clock)) {}

void ThrottledPump::LetTheWindowWork() {
    if (++sinceClockRead_ < stride_) return;
    sinceClockRead_ = 0;
    const TimePoint now = clock_();
    const auto gap = now - lastClockRead_;
    lastClockRead_ = now;
    if (gap < kDenseGap) {
        if (stride_ < kMaxStride) stride_ *= 2;
    } else if (gap > interval_ / 4) {
        stride_ = 1;
    }
    if (now - lastPump_ >= interval_) Pump(now);
}

void ThrottledPump::PumpNow() {
    Pump(clock_());
}

void ThrottledPump::SetCaption(const std::string& caption) {
    if (caption_ != caption) {
        caption_ = caption;
        captionPending_ = true;
    }
}

void ThrottledPump::Flush() {
    if (!captionPending_) return;
    captionPending_ = false;
    // A caption changed and changed back between two pumps never left the label.
    if (captionShown_ && *captionShown_ == caption_) return;
    captionShown_ = caption_;
    label_.SetProgressCaption(caption_);
}

void ThrottledPump::Pump(TimePoint now) {
    // The caption first, so that the events processed now repaint it.
    Flush();
    pump_.LetTheWindowWork();
    ++pumps_;
    lastPump_ = now;
    lastClockRead_ = now;
}

} // namespace velloquin::app
