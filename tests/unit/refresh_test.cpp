// The arithmetic that paces frames to the display.
#include "platform/refresh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(FramePeriod, IsTheRatesOr60WhereThereIsNoPlausibleOne)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double hz : {0.0, 1.0, -60.0, 19.9, 1000.1, 1e9, nan, inf})
        EXPECT_DOUBLE_EQ(framePeriod(hz), 1.0 / 60) << hz;
    EXPECT_DOUBLE_EQ(framePeriod(60), 1.0 / 60);
    EXPECT_DOUBLE_EQ(framePeriod(60000.0 / 1001), 1001.0 / 60000);
    EXPECT_DOUBLE_EQ(framePeriod(144), 1.0 / 144);
}

TEST(MostOverlapped, IsTheDisplayThatShowsMostOfTheWindow)
{
    // 144 Hz at the left, 60 Hz to its right, and one above them both.
    const Area displays[] = {{0, 0, 1024, 768}, {1024, 0, 1024, 768}, {0, -1080, 1920, 1080}};
    EXPECT_EQ(mostOverlapped(displays, 3, {800, 100, 450, 400}), 1);  // 226 columns to 224
    EXPECT_EQ(mostOverlapped(displays, 3, {700, 100, 450, 400}), 0);  // 324 to 126
    EXPECT_EQ(mostOverlapped(displays, 3, {100, -300, 450, 400}), 2); // 300 rows to 100
    EXPECT_EQ(mostOverlapped(displays, 3, {2048, 0, 450, 400}), -1);  // beside them all
    EXPECT_EQ(mostOverlapped(displays, 3, {100, 100, 0, 0}), -1);
    const Area far = {2147483000, 2147483000, 600, 600}; // no overflow
    EXPECT_EQ(mostOverlapped(&far, 1, {2147483100, 2147483100, 450, 400}), 0);
}

TEST(ModeRate, IsTheDotClockOverTheDotsOfAFrame)
{
    EXPECT_DOUBLE_EQ(modeRate(148500000, 2200, 1125, false, false), 60); // 1080p
    EXPECT_DOUBLE_EQ(modeRate(78720000, 1312, 800, false, false), 75);
    EXPECT_NEAR(modeRate(25175000, 800, 525, false, false), 59.94, 0.01); // VGA's 640 x 480
    // Interlaced: two fields a frame. Double scan: each line twice.
    EXPECT_DOUBLE_EQ(modeRate(74250000, 2200, 1125, true, false), 60); // 1080i
    EXPECT_DOUBLE_EQ(modeRate(78720000, 1312, 800, false, true), 37.5);
    EXPECT_DOUBLE_EQ(modeRate(78720000, 1312, 800, true, true), 75);
    // No timings (Xvfb's one mode): no rate, so frames keep to 60 a second.
    EXPECT_EQ(modeRate(0, 0, 0, false, false), 0);
    EXPECT_EQ(modeRate(78720000, 0, 800, false, false), 0);
    EXPECT_EQ(modeRate(78720000, 1312, 0, true, false), 0);
    EXPECT_DOUBLE_EQ(framePeriod(modeRate(0, 0, 0, false, false)), 1.0 / 60);
}

TEST(NextDeadline, IsAPeriodAfterTheLastWasDueAndALateFrameIsMadeUpOnce)
{
    const double p = 1.0 / 60, due = 100;
    // On time, or late by less than a period (a late timer, a wait for the display): a period
    // after it was due, so the lateness is made up in the next.
    for (double end : {due, due + 0.001, due + p / 2, due + 0.99 * p})
        EXPECT_DOUBLE_EQ(nextDeadline(due, end, p), due + p) << end - due;
    // Later, by a period and more (a stall, a wait for a display slower than it names, the
    // first frame, with no deadline before it): the next at once, and the beat holds.
    for (auto [before, end] : {std::pair{due, due + 1.01 * p},
                               {due, due + 2.5 * p},
                               {due, due + 3600.31},
                               {0.0, 5000.004}}) {
        const double next = nextDeadline(before, end, p);
        EXPECT_LE(next, end) << end - before;
        EXPECT_GT(next, end - p) << end - before;
        EXPECT_NEAR(std::remainder(next - before, p), 0, 1e-6) << end - before;
        EXPECT_DOUBLE_EQ(nextDeadline(next, end + 0.001, p), next + p) << end - before;
    }
    // Every timer late and every frame 2 ms long: the mean rate holds.
    double now = 1000, deadline = now;
    for (int frame = 0; frame < 600; ++frame) {
        now += 0.002;
        deadline = nextDeadline(deadline, now, p);
        now += timerMillis(deadline, now) / 1000.0 + 0.0005;
    }
    EXPECT_NEAR((now - 1000) / 600, p, p / 100);
}

TEST(TimerMillis, RoundsUpSoTheTimerFiresNoSooner)
{
    EXPECT_EQ(timerMillis(100 + 1.0 / 60, 100), 17u);
    EXPECT_EQ(timerMillis(100.016, 100), 16u);
    EXPECT_EQ(timerMillis(100.0161, 100), 17u);
    EXPECT_EQ(timerMillis(100, 100), 0u);
    EXPECT_EQ(timerMillis(99, 100), 0u);
    // No clock fault can stop the frames for longer than a second.
    EXPECT_EQ(timerMillis(1e300, 0), 1000u);
    EXPECT_EQ(timerMillis(std::numeric_limits<double>::quiet_NaN(), 0), 0u);
    EXPECT_EQ(timerMillis(std::numeric_limits<double>::infinity(), 0), 1000u);
}
