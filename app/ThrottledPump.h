// Makes "let the window work" cheap enough to call several times per line of
// a backup: the window's events are processed at most once per interval, and
// the progress caption, which the reader rewrites after every line, reaches
// the label only when the window gets to paint it.
#pragma once

#include "Platform.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace velloquin::app {

class ThrottledPump {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Clock = std::function<TimePoint()>;

    static constexpr std::chrono::milliseconds kDefaultInterval{30};

    ThrottledPump(WindowPump& pump, RunControls& label,
                  std::chrono::milliseconds interval = kDefaultInterval,
                  Clock clock = std::chrono::steady_clock::now);

    // Called very often. Most calls only count; a few read the clock, and
    // only when the interval has passed is the window really pumped.
    void LetTheWindowWork();
    // Pumps at once, whatever the interval (the run's own few pumping points).
    void PumpNow();

    // Remembers the caption; it reaches the label at the next real pump or Flush.
    void SetCaption(const std::string& caption);
    // Pushes a caption not shown yet to the label (end of a file, end of a run).
    void Flush();

    const std::string& Caption() const { return caption_; }
    int64_t Pumps() const { return pumps_; }

  private:
    void Pump(TimePoint now);

    WindowPump& pump_;
    RunControls& label_;
    std::chrono::steady_clock::duration interval_;
    Clock clock_;
    TimePoint lastPump_{};
    TimePoint lastClockRead_{};
    // Calls between two clock reads. It grows while calls come densely and
    // shrinks when they come sparsely, so a slow caller is not starved.
    uint32_t stride_ = 1;
    uint32_t sinceClockRead_ = 0;
    std::string caption_;
    bool captionPending_ = false;
    std::optional<std::string> captionShown_; // what the label was last given
    int64_t pumps_ = 0;
};

} // namespace velloquin::app
