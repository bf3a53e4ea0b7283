// Letters, the drawn text, the pacing of browser launches and the turning light.
#include "glut_seam.h"

#include "input/input.h"
#include "render/render.h"

#include "app/gl.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

TEST(StartingScene, RestsAtThreeThreeThreeWithTheAddressLaidOut)
{
    const SceneState start{};
    EXPECT_EQ(start.spherePos.x, 3.0f);
    EXPECT_EQ(start.spherePos.y, 3.0f);
    EXPECT_EQ(start.spherePos.z, 3.0f);
    EXPECT_EQ(start.tickMillis * 250, start.moveMillis); // a move is 250 ticks
    EXPECT_EQ(start.domainCycle, 2);
    EXPECT_EQ(start.frameCounter, 0);
    EXPECT_EQ(start.lightAngle, 0.0f);
    EXPECT_EQ(start.spinAngle, 0.0f);
    // "http://www." 0-10, letters 11-13, "." 14, domain 15-17, terminator 18.
    EXPECT_EQ(std::string(start.addressText, 11), "http://www.");
    EXPECT_EQ(start.addressText[14], '.');
    EXPECT_EQ(std::string(start.addressText + 15), "com");
    EXPECT_EQ(start.addressText[18], '\0');
    EXPECT_EQ(start.emptyArgument[0], '\0');
}

TEST(LetterCode, NamesTheWanderBoxFromAToBrace)
{
    EXPECT_EQ(letterCode(-13.0), 'a');
    EXPECT_EQ(letterCode(3.0), 'q');
    EXPECT_EQ(letterCode(12.9), 'z');
    EXPECT_EQ(letterCode(13.0), '{');
    EXPECT_EQ(letterCode(0.0), 'n');
}

TEST(LetterCode, TruncatesRatherThanRounds)
{
    EXPECT_EQ(letterCode(4.0 - 1e-9), 'q');
    EXPECT_EQ(letterCode(4.0), 'r');
    EXPECT_EQ(letterCode(-12.01), 'a');
    EXPECT_EQ(letterCode(-12.0), 'b');
    EXPECT_EQ(letterCode(static_cast<float>(12.999999)), 'z');
}

using Labels = FreshScene;

TEST_F(Labels, DrawTheLettersBesideTheSphereThenTheAddress)
{
    drawLabels(3.0, 3.0, 3.0);
    EXPECT_EQ(seam::stroked, "q,q,qhttp://www.qqq.com");

    seam::stroked.clear();
    drawLabels(-13.0, 12.9, 13.0);
    EXPECT_EQ(seam::stroked, "a,z,{http://www.az{.com");
    EXPECT_STREQ(scene.addressText, "http://www.az{.com");
}

TEST_F(Labels, TheAddressKeepsEighteenCharactersThroughDomainChanges)
{
    for (int press = 0; press < 7; ++press) {
        mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 0, 0);
        seam::stroked.clear();
        drawLabels(-1.5, 0.25, 9.0);
        EXPECT_EQ(std::strlen(scene.addressText), 18u);
        EXPECT_EQ(std::string(scene.addressText, 15), "http://www.lnw.");
        EXPECT_EQ(seam::stroked.substr(5), scene.addressText);
    }
}

// Frames drawn with a stand-in xdg-open first on PATH that logs each start: real children,
// and never a real browser.
class Launches : public FreshScene
{
  protected:
    void SetUp() override
    {
        FreshScene::SetUp();
        char scratch[] = "/tmp/wanderlink-unit-XXXXXX";
        ASSERT_NE(mkdtemp(scratch), nullptr);
        dir = scratch;
        std::ofstream(dir + "/xdg-open")
            << "#!/bin/sh\nprintf '%s:%s\\n' \"$#\" \"$1\" >> '" << dir << "/log'\n";
        chmod((dir + "/xdg-open").c_str(), 0755);
        oldPath = std::getenv("PATH");
        setenv("PATH", (dir + ":" + oldPath).c_str(), 1);
    }

    void TearDown() override
    {
        while (waitpid(-1, nullptr, 0) > 0) { // the stand-ins started, before they go
        }
        signal(SIGCHLD, SIG_DFL); // launches change how children end; later tests wait on theirs
        setenv("PATH", oldPath.c_str(), 1);
        unlink((dir + "/xdg-open").c_str());
        unlink((dir + "/log").c_str());
        rmdir(dir.c_str());
    }

    void frames(int n)
    {
        for (int i = 0; i < n; ++i)
            seam::frame();
    }

    // What the stand-in logged, once every started child has ended: waitpid returns when no
    // child is left, whether the system collected them or this did.
    std::vector<std::string> launched()
    {
        while (waitpid(-1, nullptr, 0) > 0) {
        }
        std::vector<std::string> lines;
        std::ifstream log(dir + "/log");
        for (std::string line; std::getline(log, line);)
            lines.push_back(line);
        return lines;
    }

    std::string dir, oldPath;
};

TEST_F(Launches, FirstAtFrame802ThenEvery801)
{
    frames(801);
    EXPECT_TRUE(launched().empty());
    frames(1); // 802
    EXPECT_EQ(launched(), std::vector<std::string>{"1:http://www.qqq.com"});
    EXPECT_EQ(scene.frameCounter, 1);
    frames(800); // up to 1602
    EXPECT_EQ(launched().size(), 1u);
    frames(1); // 1603
    EXPECT_EQ(launched().size(), 2u);
    frames(801 * 3);
    EXPECT_EQ(launched().size(), 5u);
}

TEST_F(Launches, ARightPressBetweenFramesShowsInTheNextLaunch)
{
    frames(801);
    mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 0, 0); // "com" again
    mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 0, 0); // "org"
    frames(1);
    EXPECT_EQ(launched(), std::vector<std::string>{"1:http://www.qqq.org"});
}

TEST_F(Launches, OpenTheAddressOfThatVeryFrame)
{
    scene.spherePos = {-13.0f, 0.0f, 12.5f};
    frames(802);
    EXPECT_EQ(launched(), std::vector<std::string>{"1:http://www.anz.com"});
}

using Frames = Launches; // a thousand frames open the browser: the stand-in, never a real one

TEST_F(Frames, EachSwapsThenAsksForTheNextByATimer)
{
    display();
    EXPECT_EQ(seam::order, "st");
    EXPECT_EQ(seam::redisplays, 0); // not at once: when the timer fires
    for (int n = 2; n <= 3; ++n) {
        seam::frame();
        EXPECT_EQ(seam::swaps, n);
    }
    EXPECT_EQ(seam::order, "strstrst");
}

TEST_F(Frames, KeepTheDisplaysRateInGLUTsWholeMilliseconds)
{
    display();
    seam::frame(); // on the beat: the count starts there
    const double start = seam::clock;
    for (int frame = 1; frame <= 600; ++frame) {
        seam::frame();
        ASSERT_LE(seam::timers.back().millis, 17u) << "frame " << frame;
    }
    EXPECT_NEAR(seam::clock - start, 10.0, 0.001); // 600 periods of 1/60 s
}

TEST_F(Frames, ARedisplayBeforeTheRefreshDrawsNothing)
{
    display();
    seam::frame();
    const float angle = scene.lightAngle;
    const int counted = scene.frameCounter;
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 0, 0); // each asks for a redisplay, as move ticks do
    reshape(900, 400);
    seam::stroked.clear();
    for (int request = 0; request < 3; ++request)
        display();
    EXPECT_EQ(seam::swaps, 2);
    EXPECT_EQ(seam::stroked, "");
    EXPECT_EQ(scene.lightAngle, angle);
    EXPECT_EQ(scene.frameCounter, counted);
    seam::frame(); // at the refresh
    EXPECT_EQ(seam::swaps, 3);
    EXPECT_EQ(scene.lightAngle, angle + 1);
    EXPECT_EQ(scene.frameCounter, counted + 1);
}

TEST_F(Frames, FollowTheDisplayWhereTheDriverMakesThemWait)
{
    // A wait for the refresh, in the swap or in the next frame's first GL call, is in the frame:
    // the next comes a period after this one was due, or, after a wait of more than a period,
    // at once, and the one after that on the beat.
    for (double *wait : {&seam::swapWait, &seam::clearWait}) {
        seam::swapWait = seam::clearWait = 0;
        display();
        seam::frame();
        *wait = 0.010;
        seam::frame();
        EXPECT_NEAR(seam::timers.back().millis + 10, 1000.0 / 60, 1); // in GLUT's whole ms
        *wait = 0.025;
        seam::frame();
        EXPECT_EQ(seam::timers.back().millis, 0u);
        *wait = 0;
        seam::frame();
        EXPECT_NEAR(seam::timers.back().millis + 25, 2000.0 / 60, 1);
    }
}

TEST_F(Frames, TheTextIsDrawnUnlitAndTheLineLit)
{
    init();
    for (int n = 0; n < 2; ++n)
        seam::frame();
    const std::string frame = std::string(5 + 18, 'u') + 'L'; // letters, address, line
    EXPECT_EQ(seam::lighting, frame + frame);
}

TEST_F(Frames, TheLightTurnsADegreeAFrameAndWrapsAt360)
{
    for (int frame = 1; frame <= 1000; ++frame) {
        seam::frame();
        ASSERT_EQ(scene.lightAngle, static_cast<float>(frame % 360)) << "frame " << frame;
    }
    scene.lightAngle = 359.0f;
    seam::frame();
    EXPECT_EQ(scene.lightAngle, 0.0f);
}
