#include "Fakes.h"

#include "app/ThrottledPump.h"

#include <gtest/gtest.h>

using namespace velloquin;
using namespace std::chrono_literals;
using velloquin::testing::FakeControls;
using velloquin::testing::FakePump;

namespace {

struct ManualClock {
    app::ThrottledPump::TimePoint now{};
    app::ThrottledPump::Clock Clock() {
        return [this] { return now; };
    }
};

TEST(ThrottledPump, DenseCallsPumpAboutOncePerInterval) {
    FakePump pump;
    FakeControls label;
    ManualClock clock;
    app::ThrottledPump throttle(pump, label, 30ms, clock.Clock());
    // One second of calls, one every microsecond.
    for (int i = 0; i < 1'000'000; ++i) {
        clock.now += 1us;
        throttle.LetTheWindowWork();
    }
    EXPECT_GE(pump.pumps, 25);
    EXPECT_LE(pump.pumps, 34);
}

TEST(ThrottledPump, SparseCallsAreNotHeldBack) {
    FakePump pump;
    FakeControls label;
    ManualClock clock;
    app::ThrottledPump throttle(pump, label, 30ms, clock.Clock());
    // A burst teaches it to read the clock rarely ...
    for (int i = 0; i < 10'000; ++i)
        throttle.LetTheWindowWork();
    const int afterBurst = pump.pumps;
    // ... but once calls come 40 ms apart, it notices within one stride and
    // pumps at every call again.
    for (int i = 0; i < 200; ++i) {
        clock.now += 40ms;
        throttle.LetTheWindowWork();
    }
    EXPECT_GE(pump.pumps - afterBurst, 200 - 64);
}

TEST(ThrottledPump, CaptionReachesTheLabelOnPumpAndOnFlushOnly) {
    FakePump pump;
    FakeControls label;
    ManualClock clock;
    app::ThrottledPump throttle(pump, label, 30ms, clock.Clock());
    throttle.PumpNow();
    for (int i = 1; i <= 500; ++i) {
        throttle.SetCaption("(" + std::to_string(i) + ") vCards Saved");
        throttle.LetTheWindowWork();
    }
    EXPECT_TRUE(label.captions.empty()) << "no time passed, so no pump and no caption";
    throttle.Flush();
    EXPECT_EQ(label.captions, std::vector<std::string>{"(500) vCards Saved"});
    throttle.Flush();
    EXPECT_EQ(label.captions.size(), 1u) << "an unchanged caption is not pushed again";

    throttle.SetCaption("(501) vCards Saved");
    clock.now += 31ms;
    for (int i = 0; i < 64 && pump.pumps == 1; ++i)
        throttle.LetTheWindowWork();
    EXPECT_EQ(pump.pumps, 2);
    EXPECT_EQ(label.captions.back(), "(501) vCards Saved");
}

} // namespace
