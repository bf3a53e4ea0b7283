// The arithmetic that paces frames to the display.
#include "platform/refresh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

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

namespace
{

// The deadline after a frame whose swap took swapSeconds and ended at now, where the previous
// deadline was `previous` and the swaps before it were quick.
double deadlineAfter(double now, double swapSeconds, double previous, double period)
{
    Pace pace = {previous, swapSeconds, 0, false};
    nextDeadline(pace, now, swapSeconds, period);
    return pace.deadline;
}

} // namespace

TEST(NextDeadline, KeepsToThePeriodFromThePreviousDeadline)
{
    const double p = 1.0 / 60, previous = 100, swap = 0.001;
    // Early: one period after the previous deadline, however early.
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + 0.001, swap, previous, p), previous + p);
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + p / 2, swap, previous, p), previous + p);
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + p, swap, previous, p), previous + p);
    // Late by less than a period: the deadline stays, already past, so the next frame comes at
    // once and the rate holds.
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + 1.5 * p, swap, previous, p), previous + p);
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + 2 * p, swap, previous, p), previous + p);
    // Late by more than a period: start again from now.
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + 2.1 * p, swap, previous, p), previous + 2.1 * p);
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + 60, swap, previous, p), previous + 60);
    // The first frame, with no deadline before it.
    EXPECT_DOUBLE_EQ(deadlineAfter(5000, swap, 0, p), 5000);
    // Two swaps that waited for the display: a period after the last, early or late.
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + p / 2, p / 3, previous, p), previous + 1.5 * p);
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + 1.5 * p, p, previous, p), previous + 2.5 * p);
}

TEST(NextDeadline, TakesASwapThatStaysLongForTheRenderersOwnTime)
{
    // Long once, as a software renderer's now and then: on schedule. Long twice: a wait, so
    // follow it. Still long a period after: the renderer's own time, on schedule again.
    const double p = 1.0 / 60, slow = 0.006;
    Pace pace = {};
    double now = 1000;
    for (int frame = 0; frame < 3; ++frame, now += p)
        nextDeadline(pace, now, 0.001, p);
    const double schedule = pace.deadline;
    nextDeadline(pace, now, slow, p);
    EXPECT_DOUBLE_EQ(pace.deadline, schedule + p);
    nextDeadline(pace, now + p, slow, p);
    EXPECT_DOUBLE_EQ(pace.deadline, now + 2 * p);
    nextDeadline(pace, now + 2 * p + 0.001, slow, p);
    EXPECT_DOUBLE_EQ(pace.deadline, now + 3 * p);
    for (int frame = 3; frame < 60; ++frame) {
        nextDeadline(pace, now + frame * p, slow, p);
        ASSERT_NEAR(pace.deadline, now + (frame + 1) * p, 1e-9) << frame;
    }
}

TEST(NextDeadline, LearnsAPeriodAtMostFromSwapsHeldBackForLong)
{
    // A desktop holds back a hidden window's frames for a second each. Once it shows the window
    // again, swaps that wait for the display are followed within five seconds.
    const double p = 1.0 / 60;
    Pace pace = {};
    double now = 1000;
    for (int frame = 0; frame < 3; ++frame, now += 1)
        nextDeadline(pace, now, 1.0, p);
    int frame = 0;
    for (; frame < 1000 && !pace.followed; ++frame, now += p)
        nextDeadline(pace, now, 0.010, p);
    EXPECT_LT(frame, 300);
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

namespace
{

// What a program whose frames follow nextDeadline shows on a display that refreshes every
// displayPeriod, where the driver queues up to `queued` frames: the swap returns at once while
// fewer wait, and otherwise waits for the refresh that shows one (Mesa's DRI3 and NVIDIA's
// drivers, 2; DRI2's, 1). A software renderer's swap never waits (queued 0), but finishes the
// drawing itself. Each frame takes drawSeconds to draw and swapSeconds of the swap's own work,
// and is asked for by a GLUT timer in whole milliseconds, which fires a little late.
struct Shown {
    double framesPerSecond; // the program's
    double heldShare;       // of the time, the loop waited in the swap
    double repeatShare;     // of the refreshes, those with no new frame to show
};

Shown show(double period, double displayPeriod, int queued, double drawSeconds,
           double swapSeconds = 0.0003)
{
    const int frames = 12000, settled = 1000; // from where the measures start
    double t = 0, held = 0, from = 0, heldFrom = 0;
    Pace pace = {};
    long refreshes = 0, repeats = 0, refreshesFrom = 0, repeatsFrom = 0;
    int waiting = 0;
    auto refreshUntil = [&](double until) {
        for (; (refreshes + 1) * displayPeriod <= until; ++refreshes) {
            repeats += waiting == 0;
            waiting -= waiting > 0;
        }
    };
    for (int frame = 0; frame < frames; ++frame) {
        if (frame == settled) {
            from = t, heldFrom = held, refreshesFrom = refreshes, repeatsFrom = repeats;
        }
        const double swapStart = t + drawSeconds;
        refreshUntil(swapStart);
        double now = swapStart;
        while (queued > 0 && waiting >= queued) {
            now = (refreshes + 1) * displayPeriod;
            refreshUntil(now);
        }
        held += now - swapStart;
        ++waiting;
        now += swapSeconds;
        nextDeadline(pace, now, now - swapStart, period);
        t = now + timerMillis(pace.deadline, now) / 1000.0 + 0.0002;
    }
    return {(frames - settled) / (t - from), (held - heldFrom) / (t - from),
            double(repeats - repeatsFrom) / double(refreshes - refreshesFrom)};
}

} // namespace

TEST(NextDeadline, KeepsToAWaitingSwapWithoutHoldingTheLoop)
{
    // The program keeps to 60 a second. Displays at that rate, a little slower, as a clock a
    // little off would have it or as a rate rounded up, and much slower; and one a little faster.
    const double p = 1.0 / 60;
    for (int queued : {1, 2})
        for (double draw : {0.002, 0.008})
            for (double hz : {60.0, 59.994, 59.94, 59.0, 50.0, 60.06}) {
                const Shown shown = show(p, 1 / hz, queued, draw);
                const std::string what = std::to_string(queued) + " queued, " + std::to_string(hz) +
                                         " Hz, drawn in " + std::to_string(draw) + " s";
                // Every refresh shows a new frame, where the display is no faster.
                EXPECT_NEAR(shown.framesPerSecond, std::min(hz, 60.0), 0.06) << what;
                if (hz <= 60) {
                    EXPECT_EQ(shown.repeatShare, 0) << what;
                }
                // The loop waits in the swap for a tenth of the time at most, where the rate is
                // the display's within 2 %, so move ticks keep their pace.
                if (hz >= 59) {
                    EXPECT_LT(shown.heldShare, 0.1) << what;
                }
                if (hz == 60) {
                    EXPECT_EQ(shown.heldShare, 0) << what;
                }
            }
}

TEST(NextDeadline, KeepsTheRateWhereASoftwareRenderersSwapsTakeLong)
{
    // Drawing that finishes in the swap: quick, a quarter period and more, and slower still.
    const double p = 1.0 / 60;
    for (double swap : {0.0006, 0.005, 0.010})
        EXPECT_NEAR(show(p, p, 0, 0.001, swap).framesPerSecond, 60, 60 * 0.04) << swap;
}

TEST(NextDeadline, HoldsTheMeanRateWhenEveryTimerIsLate)
{
    const double p = 1.0 / 60;
    Pace pace = {};
    double now = 1000;
    const double start = now;
    for (int frame = 0; frame < 600; ++frame) {
        now += 0.002; // drawing and swapping
        nextDeadline(pace, now, 0.001, p);
        now += timerMillis(pace.deadline, now) / 1000.0 + 0.0005; // and the timer fires late
    }
    EXPECT_NEAR((now - start) / 600, p, p / 100);
}
