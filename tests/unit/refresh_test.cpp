// The arithmetic that paces frames to the display.
#include "platform/refresh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(FramePeriod, TakesTheFastestPlausibleRateAnd60WhereThereIsNone)
{
    EXPECT_DOUBLE_EQ(framePeriod(nullptr, 0), 1.0 / 60);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double implausible[] = {0, 1, -60, 19.9, 1000.1, 1e9, nan, inf};
    for (double hz : implausible)
        EXPECT_DOUBLE_EQ(framePeriod(&hz, 1), 1.0 / 60) << hz;
    EXPECT_DOUBLE_EQ(framePeriod(implausible, 8), 1.0 / 60);

    const double sixty = 60, ntsc = 60000.0 / 1001, high = 144;
    EXPECT_DOUBLE_EQ(framePeriod(&sixty, 1), 1.0 / 60);
    EXPECT_DOUBLE_EQ(framePeriod(&ntsc, 1), 1001.0 / 60000);
    EXPECT_DOUBLE_EQ(framePeriod(&high, 1), 1.0 / 144);
    const double mixed[] = {0, 75, 1e9, 144, 60, nan};
    EXPECT_DOUBLE_EQ(framePeriod(mixed, 6), 1.0 / 144);
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
    const double none = modeRate(0, 0, 0, false, false);
    EXPECT_DOUBLE_EQ(framePeriod(&none, 1), 1.0 / 60);
}

TEST(NextDeadline, KeepsToThePeriodFromThePreviousDeadline)
{
    const double p = 1.0 / 60, previous = 100;
    // Early: wait until one period after the previous deadline, however early.
    EXPECT_DOUBLE_EQ(nextDeadline(previous + 0.001, previous, p), previous + p);
    EXPECT_DOUBLE_EQ(nextDeadline(previous + p / 2, previous, p), previous + p);
    // On time: no wait.
    EXPECT_DOUBLE_EQ(nextDeadline(previous + p, previous, p), previous + p);
    // Late by less than a period: the deadline stays, already past, so the next frame's wait
    // makes up for it.
    EXPECT_DOUBLE_EQ(nextDeadline(previous + 1.5 * p, previous, p), previous + p);
    EXPECT_DOUBLE_EQ(nextDeadline(previous + 2 * p, previous, p), previous + p);
    // Late by more than a period: start again from now.
    EXPECT_DOUBLE_EQ(nextDeadline(previous + 2.1 * p, previous, p), previous + 2.1 * p);
    EXPECT_DOUBLE_EQ(nextDeadline(previous + 60, previous, p), previous + 60);
    // The first frame, with no deadline before it, does not wait.
    EXPECT_DOUBLE_EQ(nextDeadline(5000, 0, p), 5000);
}

TEST(NextDeadline, FollowsASwapThatAlreadyWaitsForTheDisplay)
{
    // Displays a hair off the rate reported (Windows reports 59 for 59.94 Hz), whose swaps
    // wait for them: were the program to keep its own schedule, its waits would grow until
    // the display missed frames.
    const double p = 1.0 / 60;
    for (double display : {p * 0.984, p * 0.9999, p, p * 1.002}) {
        double deadline = 0, now = 1000;
        for (int frame = 0; frame < 10000; ++frame, now += display) {
            deadline = nextDeadline(now, deadline, p);
            ASSERT_LE(deadline, now) << "frame " << frame << " would wait, display " << display;
        }
    }
}

TEST(NextDeadline, HoldsTheMeanRateWhenEverySleepOverruns)
{
    const double p = 1.0 / 60;
    double deadline = 0, now = 1000;
    const double start = now;
    for (int frame = 0; frame < 600; ++frame) {
        now += 0.002; // drawing and swapping
        deadline = nextDeadline(now, deadline, p);
        now = std::fmax(now, deadline) + 0.0005; // every sleep wakes half a millisecond late
    }
    EXPECT_NEAR((now - start) / 600, p, p / 100);
}
