// "Let the window work" made cheap, on a clock the test moves by hand.
#include "app/ThrottledPump.h"
#include "Fakes.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(ThrottledPump, PumpsAboutOncePerIntervalAndTheCaptionOnlyThenOrOnFlush) {
    velloquin::testing::FakeWindow window;
    velloquin::app::ThrottledPump::TimePoint now{};
    velloquin::app::ThrottledPump throttle(window, window, 30ms, [&] { return now; });
    for (int i = 1; i <= 1'000'000; ++i, now += 1us) { // one second, a call every microsecond
        throttle.SetCaption("(" + std::to_string(i / 1000) + ") vCards Saved");
        throttle.LetTheWindowWork();
    }
    EXPECT_TRUE(window.pumps >= 25 && window.pumps <= 34) << window.pumps;
    EXPECT_EQ(window.captions.size(), size_t(window.pumps)) << "one caption per pump";
    throttle.Flush();
    throttle.Flush(); // an unchanged caption is not pushed again
    EXPECT_EQ(window.captions.back(), "(1000) vCards Saved");
    EXPECT_EQ(window.captions.size(), size_t(window.pumps) + 1);
    // Calls 40 ms apart after the dense ones are noticed within one stride.
    const int before = window.pumps;
    for (int i = 0; i < 200; ++i, now += 40ms)
        throttle.LetTheWindowWork();
    EXPECT_GE(window.pumps - before, 200 - 64);
}
