// The browser launches, seen through a stand-in xdg-open that records its arguments, so that
// no real browser ever starts in a test.
#include "harness.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

using namespace e2e;

namespace
{

// Frames arrive at well over a hundred a second here; 801 of them take seconds at most.
const double launchWait = 60;

bool keepsDrawing(App &app)
{
    const Image before = app.grab();
    for (int i = 0; i < 20; ++i) {
        sleepFor(0.05);
        const Image after = app.grab();
        for (size_t p = 0; p < before.pixels.size(); ++p)
            if (before.pixels[p] != after.pixels[p])
                return true;
    }
    return false;
}

} // namespace

TEST(Browser, ARestingSphereOpensQqqComWithTheAddressAsTheOnlyArgument)
{
    Xserver x;
    App app(x);
    app.waitForWindow();
    const auto launches = app.waitForLaunches(3, launchWait);
    ASSERT_GE(launches.size(), 3u);
    for (const auto &line : launches)
        EXPECT_EQ(line, "1:http://www.qqq.com");
}

TEST(Browser, TwoRightClicksSwitchTheDomainToOrg)
{
    Xserver x;
    App app(x);
    app.waitForWindow();
    app.xdotool({"mousemove", "200", "200", "click", "--repeat", "2", "--delay", "30", "3"});
    const size_t before = app.launches().size();
    // The launch under way while the clicks arrived may still show the old domain.
    const auto launches = app.waitForLaunches(before + 2, launchWait);
    ASSERT_GE(launches.size(), before + 2);
    EXPECT_EQ(launches.back(), "1:http://www.qqq.org");
    app.drain();
    EXPECT_EQ(app.stdoutText, "<escape> to exit\n");
}

TEST(Browser, AWanderingSphereSpellsChangingAddresses)
{
    Xserver x;
    App app(x);
    app.waitForWindow();
    // Four presses: moves take 1.25 s, so successive launches see different places.
    app.xdotool({"mousemove", "200", "200", "click", "--repeat", "4", "--delay", "30", "1"});
    const size_t before = app.launches().size();
    const auto launches = app.waitForLaunches(before + 6, launchWait);
    ASSERT_GE(launches.size(), before + 6);
    const std::regex form(R"(1:http://www\.[a-{]{3}\.(com|org|net))");
    std::set<std::string> seen;
    for (size_t i = before; i < launches.size(); ++i) {
        EXPECT_TRUE(std::regex_match(launches[i], form)) << launches[i];
        seen.insert(launches[i]);
    }
    EXPECT_GE(seen.size(), 2u) << "the address follows the sphere";
}

TEST(Browser, ManyLaunchesLeaveAtMostOneZombie)
{
    Xserver x;
    App app(x);
    app.waitForWindow();
    for (size_t n = 2; n <= 10; n += 2) {
        ASSERT_GE(app.waitForLaunches(n, launchWait).size(), n);
        sleepFor(0.2); // the last stand-in has ended by now and waits to be collected
        EXPECT_LE(app.zombieChildren(), 1);
    }
}

TEST(Browser, WithNoBrowserOnThePathTheProgramKeepsDrawingSilently)
{
    Xserver x;
    App app(x, Browser::missing);
    app.waitForWindow();
    sleepFor(5); // several launch periods
    EXPECT_TRUE(app.alive());
    EXPECT_TRUE(keepsDrawing(app));
    EXPECT_EQ(app.zombieChildren(), 0);
    app.drain();
    EXPECT_EQ(app.stdoutText, "<escape> to exit\n");
    EXPECT_EQ(app.stderrText, "");
}

TEST(Browser, ABrowserThatIsNotExecutableChangesNothing)
{
    Xserver x;
    App app(x, Browser::notExecutable);
    app.waitForWindow();
    sleepFor(5);
    EXPECT_TRUE(app.alive());
    EXPECT_TRUE(keepsDrawing(app));
    EXPECT_TRUE(app.launches().empty());
    EXPECT_EQ(app.zombieChildren(), 0);
    app.drain();
    EXPECT_EQ(app.stdoutText, "<escape> to exit\n");
    EXPECT_EQ(app.stderrText, "");
}

TEST(Browser, ABrowserThatFailsChangesNothing)
{
    Xserver x;
    App app(x, Browser::fails);
    app.waitForWindow();
    ASSERT_GE(app.waitForLaunches(4, launchWait).size(), 4u);
    EXPECT_TRUE(keepsDrawing(app));
    EXPECT_LE(app.zombieChildren(), 1);
    app.drain();
    EXPECT_EQ(app.stdoutText, "<escape> to exit\n");
    EXPECT_EQ(app.stderrText, "");
}

TEST(Browser, ABrowserThatNeverEndsIsNotWaitedFor)
{
    Xserver x;
    App app(x, Browser::hangs);
    app.waitForWindow();
    ASSERT_GE(app.waitForLaunches(4, launchWait).size(), 4u);
    EXPECT_TRUE(keepsDrawing(app));
    EXPECT_EQ(app.zombieChildren(), 0);
}
