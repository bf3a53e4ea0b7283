// What is judged by the clock: the frame rate and the longest gap between frames, the launches'
// spacing, and how soon a drag shows. These run alone, each with nothing beside it (RUN_SERIAL),
// and not under the sanitizers, where time means nothing.
#include "harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace e2e;

// Frames keep to the display: at its mode's rate where it names one, at 60 a second where it
// does not (Xvfb), and none waits long for the one before. The swap waits for no display here,
// so the program's own pacing is what is measured.
class Pacing : public InSession
{
};

TEST_P(Pacing, FramesFollowTheDisplaysRefreshWithoutStalls)
{
    const double hz = GetParam().refreshHz > 0 ? GetParam().refreshHz : 60;
    FrameCounter counter(*x, app->window);
    sleepFor(10);
    const double rate = static_cast<double>(counter.frames()) / 10;
    const long gap = counter.longestGapMillis();
    RecordProperty("frames_per_second", std::to_string(rate));
    RecordProperty("longest_gap_ms", static_cast<int>(gap));
    EXPECT_NEAR(rate, hz, hz * 0.04);
    EXPECT_LE(gap, 100) << "the picture stood still for " << gap << " ms";
}

INSTANTIATE_TEST_SUITE_P(Sessions, Pacing, ::testing::Values(xvfb, at75Hz, at50Hz, wayland),
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
