// Real clicks, drags and resizes from xdotool, judged by the pixels they change.
#include "harness.h"

#include <gtest/gtest.h>

#include <string>

using namespace e2e;

namespace
{

class Input : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        app.waitForWindow();
    }

    // Pixels drawn in one picture and not in the other. Shading changes with the turning
    // light and with the scene's turn; where things are drawn does not.
    static int drawnDifference(const Image &a, const Image &b)
    {
        int different = 0;
        for (size_t i = 0; i < a.pixels.size(); ++i)
            different += isDrawn(a.pixels[i]) != isDrawn(b.pixels[i]);
        return different;
    }

    Xserver x;
    App app{x};
};

} // namespace

TEST_F(Input, DragTurnsTheSceneByThePointersXAndBack)
{
    // The middle button starts no move, so the sphere stays put while the drag turns things.
    const Image start = app.grab();
    app.xdotool({"mousemove", "225", "200", "mousedown", "2"});
    app.xdotool({"mousemove", "40", "200"});
    // How soon it shows is judged with the other timings; here, that it does.
    const Pixel edge = project(-13.5, 5, 13.5, 40);
    ASSERT_FALSE(near(start, edge, isDrawn, 2));
    ASSERT_TRUE(eventually(
        [&] {
            return near(app.grab(), edge, isDrawn, 2);
        },
        5));
    const Image turned = app.grab();
    EXPECT_GT(drawnDifference(start, turned), 500);
    // At 40 degrees the four upright edges and the sphere are where the camera puts them.
    for (double cx : {-13.5, 13.5})
        for (double cz : {-13.5, 13.5})
            EXPECT_TRUE(near(turned, project(cx, 5, cz, 40), isDrawn, 2))
                << "upright edge at " << cx << ", " << cz;
    EXPECT_NEAR(centroid(turned, isGreen).x, project(3, 3, 3, 40).x, 3);

    app.xdotool({"mousemove", "0", "200"});
    Image back;
    EXPECT_TRUE(eventually(
        [&] {
            back = app.grab();
            return drawnDifference(start, back) < 20;
        },
        5))
        << "a drag to x = 0 restores the view";
    app.xdotool({"mouseup", "2"});
    EXPECT_NEAR(centroid(back, isGreen).x, project(3, 3, 3).x, 3);
}

TEST_F(Input, ReleasingKeepsTheLastTurn)
{
    app.xdotool({"mousemove", "225", "200", "mousedown", "3"});
    app.xdotool({"mousemove", "30", "200", "mouseup", "3"});
    ASSERT_TRUE(eventually(
        [&] {
            return near(app.grab(), project(13.5, 13.5, 13.5, 30), isDrawn, 3);
        },
        5));
    app.xdotool({"mousemove", "300", "300"}); // plain motion turns nothing
    sleepFor(0.3);
    EXPECT_TRUE(near(app.grab(), project(13.5, 13.5, 13.5, 30), isDrawn, 3));
    EXPECT_FALSE(near(app.grab(), project(13.5, 13.5, 13.5), isDrawn, 3));
}

TEST_F(Input, AWideWindowStretchesThePicture)
{
    app.xdotool({"windowsize", std::to_string(app.window), "900", "400"});
    Image wide;
    ASSERT_TRUE(eventually(
        [&] {
            if (app.geometry().width != 900)
                return false;
            wide = app.grab(900, 400);
            return near(wide, project(13.5, 0, 13.5, 0, 900, 400), isBlue);
        },
        5))
        << "no picture drawn for the new size";
    // The projection keeps its aspect of 1, so x positions double with the width.
    EXPECT_TRUE(near(wide, project(13.5, 0, 13.5, 0, 900, 400), isBlue));
    EXPECT_TRUE(near(wide, project(-13.5, 0, -13.5, 0, 900, 400), isBlue));
    EXPECT_FALSE(near(wide, project(13.5, 0, 13.5), isBlue, 4)) << "the old right edge is gone";
    EXPECT_NEAR(centroid(wide, isGreen).x, project(3, 3, 3, 0, 900, 400).x, 4);
    EXPECT_NEAR(centroid(wide, isGreen).y, project(3, 3, 3, 0, 900, 400).y, 4);
}

TEST_F(Input, SurvivesATinyAndAHugeWindow)
{
    for (const char *size : {"1", "1280", "1", "450"}) {
        app.xdotool({"windowsize", std::to_string(app.window), size, size});
        sleepFor(0.2);
        ASSERT_TRUE(app.alive()) << "after a resize to " << size;
    }
    app.drain();
    EXPECT_EQ(app.stdoutText, "<escape> to exit\n");
}

// Clicks on any desktop: the pointer's way through a Wayland compositor as well.
class Clicks : public InSession
{
};

TEST_P(Clicks, LeftClicksSetTheSphereWandering)
{
    const Pixel rest = project(3, 3, 3);
    sleepFor(0.3);
    ASSERT_LT(distance(centroid(app->grab(), isGreen), rest), 3) << "still at rest before a click";

    // Three presses: three timer chains, so each move takes a third of five seconds.
    app->moveTo(100, 300);
    app->xdotool({"click", "--repeat", "3", "--delay", "30", "1"});
    bool moved = false;
    for (int i = 0; i < 100 && !moved; ++i) {
        sleepFor(0.05);
        const Image image = app->grab();
        moved = share(image, rest, isGreen, 3) < 0.2 && count(image, isGreen) > 50 &&
                distance(centroid(image, isGreen), rest) > 25;
    }
    EXPECT_TRUE(moved) << "the sphere left (3, 3, 3) and shows elsewhere";
}

INSTANTIATE_TEST_SUITE_P(Sessions, Clicks, ::testing::Values(xvfb, wayland), sessionName);
