// The arithmetic that paces frames to the display.
#include "platform/refresh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

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

namespace
{

// The deadline after a frame that ended at now, having had the processor for a millisecond and
// waited for the display for the given time, as the frame before did, where the previous
// deadline was `previous`.
double deadlineAfter(double now, double waited, double previous, double period)
{
    Pace pace = {};
    pace.deadline = previous;
    pace.waitedInARow = waited > period / 8;
    nextDeadline(pace, now - waited - 0.001, now, 0.001, period);
    return pace.deadline;
}

} // namespace

TEST(NextDeadline, KeepsToThePeriodFromThePreviousDeadline)
{
    const double p = 1.0 / 60, previous = 100;
    // Early: one period after the previous deadline, however early.
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + 0.001, 0, previous, p), previous + p);
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + p / 2, 0, previous, p), previous + p);
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + p, 0, previous, p), previous + p);
    // Late by less than a period: the deadline stays, already past, so the next frame comes at
    // once and the rate holds.
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + 1.5 * p, 0, previous, p), previous + p);
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + 2 * p, 0, previous, p), previous + p);
    // Late by more than a period: start again from now.
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + 2.1 * p, 0, previous, p), previous + 2.1 * p);
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + 60, 0, previous, p), previous + 60);
    // The first frame, with no deadline before it.
    EXPECT_DOUBLE_EQ(deadlineAfter(5000, 0, 0, p), 5000);
    // Waiting an eighth of a period is the window system's copy; longer, twice in a row, the
    // display's refresh: a period after it, less the frame's own millisecond, early or late.
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + p / 2, p / 9, previous, p), previous + p);
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + p / 2, p / 7, previous, p),
                     previous + 1.5 * p - 0.001);
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + 1.5 * p, p, previous, p), previous + 2.5 * p - 0.001);
}

TEST(NextDeadline, LearnsThePaceFramesAreShownAtAndLetsItGo)
{
    const double p = 1.0 / 60;
    Pace pace = {};
    double end = 1000;
    auto frameAt = [&](double at, double waiting = 0) {
        end = at;
        nextDeadline(pace, end - waiting - 0.001, end, 0.001, p);
    };
    // Frames unevenly apart, as a slow renderer's come; that waited, 60 ms apart, a stall, or
    // 25 ms apart but one, as a busy machine's might: no pace. Frames that wait, evenly 25 ms
    // apart for long enough: the display's.
    for (int n = 0; n < 12; ++n)
        frameAt(end + (n % 2 ? 0.022 : 0.028));
    for (double apart : {0.060, 0.060, 0.060, 0.060, 0.060, 0.060, 0.060, 0.060, 0.060, 0.060,
                         0.060, 0.060, 0.016, 0.025, 0.025, 0.025, 0.025, 0.016})
        frameAt(end + apart, 0.008);
    EXPECT_EQ(pace.shownPeriod, 0);
    for (int n = 0; n < 16; ++n) // eight on the schedule, each after one asked for after a wait
        frameAt(end + 0.025, 0.008);
    EXPECT_NEAR(pace.shownPeriod, 0.025, 1e-9);
    // Frames that come when asked come 25 ms apart. Four seconds on, one is asked for a period
    // after the one before: where it waits, 25 ms it stays, and where it does not, no longer.
    for (bool waits : {true, false}) {
        const double learnt = end;
        frameAt(pace.deadline);
        while (pace.deadline - learnt < 4) {
            frameAt(pace.deadline);
            ASSERT_NEAR(pace.deadline - end, 0.025, 1e-9) << end - learnt;
        }
        frameAt(pace.deadline);
        EXPECT_NEAR(pace.deadline - end, p, 1e-9);
        end = pace.deadline + (waits ? 0.008 : 0.001);
        nextDeadline(pace, end - (waits ? 0.009 : 0.001), end, 0.001, p);
        EXPECT_NEAR(pace.deadline - end, waits ? 0.025 - 0.008 : p - 0.001, 1e-9) << waits;
    }
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

// What a program whose frames follow nextDeadline, with the period read, shows on a display
// that refreshes every displayPeriod, where the driver queues up to `queued` frames: a frame
// goes on while fewer wait, and otherwise waits for the refresh that shows one (Mesa's DRI3 and
// NVIDIA's drivers, 2; DRI2's, 1), in the swap or in its first GL call, where the driver finds
// it a buffer. A software renderer never waits (queued 0), but finishes the drawing in the
// swap. Each frame takes drawSeconds to draw and swapSeconds of the swap's own work, which the
// processor's time counts unless busyCounted is false (Windows), and is asked for by a GLUT
// timer in whole milliseconds, which fires a little late.
struct Shown {
    double framesPerSecond; // the program's
    double heldShare;       // of the time, the loop waited for the display
    double repeatShare;     // of the refreshes, those with no new frame to show
};

enum Where { inSwap, inFirstCall };

Shown show(double period, double displayPeriod, int queued, Where where, double drawSeconds,
           double swapSeconds = 0.0003, bool busyCounted = true)
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
    auto waitForABuffer = [&] {
        refreshUntil(t);
        const double before = t;
        while (queued > 0 && waiting >= queued)
            refreshUntil(t = (refreshes + 1) * displayPeriod);
        held += t - before;
    };
    for (int frame = 0; frame < frames; ++frame) {
        if (frame == settled) {
            from = t, heldFrom = held, refreshesFrom = refreshes, repeatsFrom = repeats;
        }
        const double start = t;
        if (where == inFirstCall)
            waitForABuffer();
        t += drawSeconds;
        if (where == inSwap)
            waitForABuffer();
        ++waiting;
        t += swapSeconds;
        nextDeadline(pace, start, t, busyCounted ? drawSeconds + swapSeconds : 0, period);
        t += timerMillis(pace.deadline, t) / 1000.0 + 0.0002;
    }
    return {(frames - settled) / (t - from), (held - heldFrom) / (t - from),
            double(repeats - repeatsFrom) / double(refreshes - refreshesFrom)};
}

} // namespace

TEST(NextDeadline, KeepsToADisplayThatMakesFramesWaitWithoutHoldingTheLoop)
{
    // Displays at the rate read, a little slower, as a clock a little off would have it or as
    // a rate rounded up, and much slower, as a 144 Hz rate read for a 60 Hz display or 60 where
    // the display shows 30 frames a second and names no rate; and one a little faster.
    for (int queued : {1, 2})
        for (Where where : {inSwap, inFirstCall})
            for (double draw : {0.1, 0.45}) // of the display's period
                for (auto [read, hz] : {std::pair{60.0, 60.0},
                                        {60.0, 59.994},
                                        {60.0, 59.94},
                                        {60.0, 59.0},
                                        {60.0, 50.0},
                                        {60.0, 30.0},
                                        {60.0, 60.06},
                                        {144.0, 60.0},
                                        {144.0, 144.0}}) {
                    const Shown shown = show(1 / read, 1 / hz, queued, where, draw / hz);
                    const std::string what =
                        std::to_string(queued) + " queued, " + (where ? "first call, " : "swap, ") +
                        std::to_string(hz) + " Hz read as " + std::to_string(read) + ", drawn in " +
                        std::to_string(draw) + " of a refresh";
                    // Frames at the display's rate, where it is no faster than the rate read. The
                    // loop waits for it never where the rate is right, and otherwise a little:
                    // a few frames when the rate read is tried again, and, where the display is
                    // only a little slower, waits as short as a window system's copy.
                    EXPECT_NEAR(shown.framesPerSecond, std::min(hz, read), 0.01 * hz) << what;
                    EXPECT_LT(shown.heldShare, 0.12) << what;
                    if (hz == read) {
                        EXPECT_EQ(shown.heldShare, 0) << what;
                        EXPECT_EQ(shown.repeatShare, 0) << what;
                    }
                }
}

TEST(NextDeadline, KeepsTheRateWhereASoftwareRenderersSwapsTakeLong)
{
    // Drawing that finishes in the swap: quick, a quarter period and more, and slower still,
    // where the processor's time is counted; where it is not, as on Windows, up to an eighth.
    for (double hz : {60.0, 144.0})
        for (auto [swap, counted] : {std::pair{0.0006, true},
                                     {0.25 / hz, true},
                                     {0.6 / hz, true},
                                     {0.0006, false},
                                     {0.125 / hz, false}})
            EXPECT_NEAR(show(1 / hz, 1 / hz, 0, inSwap, 0.001, swap, counted).framesPerSecond, hz,
                        hz * 0.02)
                << hz << " Hz, " << swap << (counted ? "" : ", the processor's time not counted");
}

TEST(NextDeadline, HoldsTheMeanRateWhenEveryTimerIsLate)
{
    const double p = 1.0 / 60;
    Pace pace = {};
    double now = 1000;
    const double start = now;
    for (int frame = 0; frame < 600; ++frame) {
        now += 0.002; // drawing and swapping
        nextDeadline(pace, now - 0.002, now, 0.002, p);
        now += timerMillis(pace.deadline, now) / 1000.0 + 0.0005; // and the timer fires late
    }
    EXPECT_NEAR((now - start) / 600, p, p / 100);
}
