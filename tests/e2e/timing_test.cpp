// What is judged by the clock: the frame rate and the longest gap between frames, the pace of the
// wandering, the launches' spacing, and how soon a drag shows. These run alone, each with nothing
// beside it (RUN_SERIAL), and not under the sanitizers, where time means nothing.
#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

using namespace e2e;

// Frames keep to the display: at its mode's rate where it names one, at 60 a second where it
// does not (Xvfb), and none waits long for the one before. The swap waits for no display here
// but where the session's probe makes it wait, so the program's own pacing is what is measured.
// Meanwhile each left press adds a timer chain that ticks every 20 ms, and a move lasts 250
// ticks: 5 s, then 2.5 and 1.7 s, whatever the display, as the frames' waiting holds no tick
// back. Ticks are counted from outside, by the probe, as the calls that arm the timer whose
// callback first comes with a press.
class Pacing : public InSession
{
  protected:
    Pacing()
    {
        probe = true;
    }
};

TEST_P(Pacing, FramesFollowTheDisplaysRefreshAndMovesKeepTheirPace)
{
    const double hz = GetParam().refreshHz > 0 ? GetParam().refreshHz : 60;
    FrameCounter counter(*x, app->window);
    const double start = now();
    sleepFor(2); // at rest
    // Whatever timers the program armed before any press are not the move's.
    std::vector<std::string> frameTimers;
    for (const auto &call : app->timerCalls())
        frameTimers.push_back(call.callback);
    app->moveTo(100, 300);
    for (int presses = 1; presses <= 3; ++presses) {
        app->xdotool({"click", "1"});
        const double from = now() + 0.5; // the press has come
        sleepFor(3);
        const double to = now();
        int ticks = 0;
        for (const auto &call : app->timerCalls())
            ticks += call.seconds >= from && call.seconds < to &&
                     std::find(frameTimers.begin(), frameTimers.end(), call.callback) ==
                         frameTimers.end();
        const double moveSeconds = 250 / (ticks / (to - from));
        const double expected = 5.0 / presses;
        RecordProperty("move_seconds_after_" + std::to_string(presses),
                       std::to_string(moveSeconds));
        EXPECT_NEAR(moveSeconds, expected, expected * 0.07) << "after " << presses << " presses";
    }
    const double rate = static_cast<double>(counter.frames()) / (now() - start);
    const long gap = counter.longestGapMillis();
    RecordProperty("frames_per_second", std::to_string(rate));
    RecordProperty("longest_gap_ms", static_cast<int>(gap));
    EXPECT_NEAR(rate, hz, hz * 0.04);
    EXPECT_LE(gap, 100) << "the picture stood still for " << gap << " ms";
}

INSTANTIATE_TEST_SUITE_P(Sessions, Pacing,
                         ::testing::Values(xvfb, at75Hz, at50Hz, wayland, waitingSwap),
                         sessionName);

// How soon things come, on the display most tests use.
class Timing : public InSession
{
};

TEST_P(Timing, LaunchesComeEvery801FramesAbout13SecondsApart)
{
    using Clock = std::chrono::steady_clock;
    FrameCounter counter(*x, app->window);
    std::vector<Clock::time_point> times;
    std::vector<long> frames;
    const auto giveUp = Clock::now() + std::chrono::seconds(45);
    while (times.size() < 2 && Clock::now() < giveUp) {
        if (app->launches().size() > times.size()) {
            times.push_back(Clock::now());
            frames.push_back(counter.frames());
        }
        sleepFor(0.005);
    }
    ASSERT_EQ(times.size(), 2u);
    const double apart = std::chrono::duration<double>(times[1] - times[0]).count();
    EXPECT_NEAR(apart, 801.0 / 60, 801.0 / 60 * 0.15);
    EXPECT_NEAR(frames[1] - frames[0], 801, 4);
}

TEST_P(Timing, ADragShowsWithinAFrameOrTwo)
{
    // Though each frame waits for the display, the front left edge turns to where nothing was
    // drawn within 100 ms. A small grab keeps the looking quick.
    const Pixel edge = project(-13.5, 5, 13.5, 40);
    ASSERT_FALSE(near(app->grab(), edge, isDrawn, 2));
    app->xdotool({"mousemove", "225", "200", "mousedown", "2"});
    app->xdotool({"mousemove", "40", "200"});
    const double shown = timeUntil(
        [&] {
            return near(grab(*x, int(edge.x) - 2, int(edge.y) - 2, 5, 5), {2, 2}, isDrawn);
        },
        2);
    app->xdotool({"mouseup", "2"});
    RecordProperty("turn_shown_ms", static_cast<int>(shown * 1000));
    EXPECT_LT(shown, 0.1) << "the turn shows only after " << shown << " s";
}

INSTANTIATE_TEST_SUITE_P(Sessions, Timing, ::testing::Values(xvfb), sessionName);
