// The arithmetic that paces frames to the display.
#include "platform/refresh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

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
// waited for the display for the given time, where the previous deadline was `previous`.
double deadlineAfter(double now, double waited, double previous, double period)
{
    Pace pace = {};
    pace.deadline = previous;
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
    // Late by less than two periods: the deadline stays, maybe past, so the next frame comes at
    // once and the rate holds.
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + p, 0, previous, p), previous + p);
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + 1.9 * p, 0, previous, p), previous + p);
    // Later: the periods missed are skipped but the last, whose frame comes at once, and the
    // beat holds; so too for the first frame, with no deadline before it.
    for (auto [before, now] :
         {std::pair{previous, previous + 2.1 * p}, {previous, previous + 60}, {0.0, 5000.0}}) {
        const double next = deadlineAfter(now, 0, before, p);
        EXPECT_LE(next, now + 1e-9);
        EXPECT_GE(next, now - p);
        EXPECT_NEAR(std::remainder(next - before, p), 0, 1e-6) << now;
    }
    // Off the processor an eighth of a period longer than usual is the window system's copy;
    // longer, a wait for the display: the next a period and an eighth after it ended, less the
    // timer's lateness (the frame was due at `previous`), early or late.
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + p / 2, p / 9, previous, p), previous + p);
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + p / 2, p / 7, previous, p),
                     previous + p / 7 + 9 * p / 8);
    EXPECT_DOUBLE_EQ(deadlineAfter(previous + 1.5 * p, p, previous, p), previous + 17 * p / 8);
    // The first frame too, with no deadline before it: from its own wait.
    EXPECT_DOUBLE_EQ(deadlineAfter(5000, p, 0, p), 5000 - 0.001 + 9 * p / 8);
}

TEST(NextDeadline, LearnsNoPaceFromAStall)
{
    // Frames a fifth of a second apart, waiting all that time, as a desktop holds back a hidden
    // window's: once they come quickly again, each asks for the next a period on.
    const double p = 1.0 / 60;
    Pace pace = {};
    pace.deadline = 100;
    for (double waits : {0.2, 0.2, 0.2, 0.2, 0.0, 0.0}) {
        const double start = pace.deadline, end = start + waits + 0.001;
        nextDeadline(pace, start, end, 0.001, p);
        if (waits == 0) {
            EXPECT_DOUBLE_EQ(pace.deadline, start + p);
        }
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
// that refreshes every displayPeriod (from 10 s on every laterPeriod, where one is given), where
// the driver queues up to `queued` frames: a frame goes on while fewer wait, and otherwise waits
// for the refresh that shows one (Mesa's DRI3 and NVIDIA's drivers, 2; DRI2's, 1), in the swap
// or in its first GL call, where the driver finds it a buffer. A software renderer never waits
// (queued 0), but finishes the drawing in the swap. Each frame takes drawSeconds to draw and
// swapSeconds of the swap's own work, which the processor's time counts unless busyCounted is
// false (Windows), and is asked for by a GLUT timer in whole milliseconds, which fires a little
// late. A seed but 0 gives a busy machine's noise: timers late by up to 4 ms and one in 100 by
// 15, frames taking from half as long to half as long again, one in 100 held up 8 ms off the
// processor by a round trip to the window system, and one in 50 whose renderer's threads have
// 3 ms of the processor beside it. A move's timer chain ticks every 20 ms from the start, but
// for a tick due while a frame holds GLUT's loop, which comes at its end.
struct Shown {
    double framesPerSecond;        // the program's
    double heldShare;              // of the time, the loop waited for the display
    double repeatShare;            // of the refreshes, those with no new frame to show
    double firstTicks, worstTicks; // per 20 ms, in the first half second and the worst after
};

enum Where { inSwap, inFirstCall };

Shown show(double period, double displayPeriod, int queued, Where where, double drawSeconds,
           double swapSeconds = 0.0003, bool busyCounted = true, unsigned seed = 0,
           double laterPeriod = 0)
{
    const double seconds = 20, settled = laterPeriod ? 11 : 2; // where the measures start
    double t = 0, held = 0, from = 0, heldFrom = 0, nextRefresh = displayPeriod, tick = 0.02;
    Pace pace = {};
    long frames = 0, framesFrom = 0, refreshes = 0, repeats = 0, refreshesFrom = 0, repeatsFrom = 0;
    int waiting = 0, ticks[41] = {};
    std::mt19937 random(seed);
    auto chance = [&](double lo, double hi) {
        return seed ? std::uniform_real_distribution<double>(lo, hi)(random) : (lo + hi) / 2;
    };
    auto refreshUntil = [&](double until) {
        for (; nextRefresh <= until; ++refreshes) {
            repeats += waiting == 0;
            waiting -= waiting > 0;
            nextRefresh += laterPeriod && nextRefresh >= 10 ? laterPeriod : displayPeriod;
        }
    };
    auto waitForABuffer = [&] {
        refreshUntil(t);
        const double before = t;
        while (queued > 0 && waiting >= queued)
            refreshUntil(t = nextRefresh);
        held += t - before;
    };
    for (; t < seconds; ++frames) {
        if (from == 0 && t >= settled) {
            from = t, heldFrom = held, framesFrom = frames, refreshesFrom = refreshes,
            repeatsFrom = repeats;
        }
        const double start = t, draw = drawSeconds * chance(0.5, 1.5),
                     swap = swapSeconds * chance(0.5, 1.5);
        for (; tick < start; tick += 0.02)
            ++ticks[static_cast<int>(tick * 2)];
        if (where == inFirstCall)
            waitForABuffer();
        t += draw;
        if (where == inSwap)
            waitForABuffer();
        ++waiting;
        t += swap + (chance(0, 1) > 0.99 ? 0.008 : 0);
        const double threads = chance(0, 1) > 0.98 ? 0.003 : 0;
        nextDeadline(pace, start, t, busyCounted ? draw + swap + threads : 0, period);
        if (tick < t) { // held back
            ++ticks[static_cast<int>(t * 2)];
            tick = t + 0.02;
        }
        const double late = !seed ? 0.0002 : chance(0, 1) < 0.01 ? 0.015 : chance(0, 0.004);
        t += timerMillis(pace.deadline, t) / 1000.0 + late;
    }
    // Of the ticks, not the last half second's, which the run ends in.
    return {double(frames - framesFrom) / (t - from), (held - heldFrom) / (t - from),
            double(repeats - repeatsFrom) / double(refreshes - refreshesFrom), ticks[0] / 25.0,
            *std::min_element(ticks + 1, ticks + 39) / 25.0};
}

} // namespace

TEST(NextDeadline, KeepsToADisplayThatMakesFramesWaitWithoutHoldingTheLoop)
{
    // Displays at the rate read, a little slower, as a clock a little off would have it or as
    // a rate rounded up, and much slower, as a 144 Hz rate read for a 60 Hz display or 60 where
    // the display shows 40 or 30 frames a second and names no rate; and one a little faster. On
    // a quiet machine, and on busy ones, each a seed to replay.
    for (unsigned seed = 0; seed <= 20; ++seed)
        for (int queued : {1, 2})
            for (Where where : {inSwap, inFirstCall})
                for (double draw : {0.05, 0.45}) // of the display's period
                    for (auto [read, hz] : {std::pair{60.0, 60.0},
                                            {60.0, 59.994},
                                            {60.0, 59.94},
                                            {60.0, 59.0},
                                            {60.0, 50.0},
                                            {60.0, 40.0},
                                            {60.0, 30.0},
                                            {60.0, 60.06},
                                            {144.0, 60.0},
                                            {144.0, 144.0}}) {
                        if (seed > 0 && draw > 0.05) // the ticks wait on long frames, paced or not
                            continue;
                        SCOPED_TRACE(testing::Message()
                                     << "seed " << seed << ", " << queued << " queued, "
                                     << (where ? "first call, " : "swap, ") << hz << " Hz read as "
                                     << read << ", drawn in " << draw << " of a refresh");
                        const Shown shown =
                            show(1 / read, 1 / hz, queued, where, draw / hz, 0.0003, true, seed);
                        // Frames at the display's rate, where it is no faster than the rate
                        // read, but those a late timer loses. The loop waits for it never where
                        // the rate is right on a quiet machine, and otherwise a little: frames
                        // asked for a little early, to find a display grown faster, wait a few
                        // milliseconds now and then. A move's pace holds every half second.
                        EXPECT_NEAR(shown.framesPerSecond, std::min(hz, read),
                                    (seed ? 0.07 : 0.01) * hz);
                        EXPECT_LT(shown.heldShare, 0.12);
                        if (hz == read && seed == 0) {
                            EXPECT_EQ(shown.heldShare, 0);
                            EXPECT_EQ(shown.repeatShare, 0);
                        }
                        if (draw == 0.05) {
                            EXPECT_GE(shown.firstTicks, 0.8);
                            EXPECT_GE(shown.worstTicks, 0.9);
                        }
                    }
}

TEST(NextDeadline, FollowsADisplayThatShowsFramesFasterAgain)
{
    // 30 frames a second, where 60 are named, and from 10 s on 60: from a second later, 60.
    for (unsigned seed = 1; seed <= 20; ++seed)
        EXPECT_NEAR(show(1.0 / 60, 1.0 / 30, 2, inSwap, 0.0017, 0.0003, true, seed, 1.0 / 60)
                        .framesPerSecond,
                    60, 1.2)
            << "seed " << seed;
}

TEST(NextDeadline, KeepsTheRateWhereASoftwareRenderersSwapsTakeLong)
{
    // Drawing that finishes in the swap: quick, a quarter period and more, and slower still,
    // where the processor's time is counted; where it is not, as on Windows, up to an eighth,
    // and half a period in every frame alike. On busy machines too, but for frames that may
    // then take longer than a period.
    for (unsigned seed = 0; seed <= 20; ++seed)
        for (double hz : {60.0, 144.0})
            for (auto [swap, counted] : {std::pair{0.0006, true},
                                         {0.25 / hz, true},
                                         {0.6 / hz, true},
                                         {0.0006, false},
                                         {0.125 / hz, false},
                                         {0.5 / hz, false}})
                if (seed == 0 || swap < 0.5 / hz) {
                    EXPECT_NEAR(
                        show(1 / hz, 1 / hz, 0, inSwap, 0.001, swap, counted, seed).framesPerSecond,
                        hz, hz * (seed ? 0.07 : 0.02))
                        << "seed " << seed << ", " << hz << " Hz, " << swap
                        << (counted ? "" : ", the processor's time not counted");
                }
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
