// The browser launches, seen through a stand-in xdg-open that records its arguments, so that
// no real browser ever starts in a test.
#include "harness.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

using namespace e2e;

namespace
{

// Frames keep to the display, 60 a second under Xvfb, so launches come 13.4 s apart. These
// tests run the program's clock ten times faster: 1.3 s apart.
const int clockSpeed = 10;
const double launchWait = 60;

// The program with a stand-in browser that records each start.
class Browsing : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        app.waitForWindow();
    }

    Xserver x;
    App app{x, Browser::records, clockSpeed};
};

} // namespace

TEST_F(Browsing, TwoRightClicksSwitchTheDomainToOrg)
{
    app.xdotool({"mousemove", "200", "200", "click", "--repeat", "2", "--delay", "30", "3"});
    const size_t before = app.launches().size();
    // The launch under way while the clicks arrived may still show the old domain.
    const auto launches = app.waitForLaunches(before + 2, launchWait);
    ASSERT_GE(launches.size(), before + 2);
    EXPECT_EQ(launches.back(), "1:http://www.qqq.org");
    app.drain();
    EXPECT_EQ(app.stdoutText, "<escape> to exit\n");
}

TEST_F(Browsing, AWanderingSphereSpellsChangingAddresses)
{
    // Four presses: moves take about 2 s of the program's time, so successive launches, 13 s
    // apart, see different places.
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

TEST_F(Browsing, ManyLaunchesLeaveNoZombies)
{
    for (size_t n = 2; n <= 10; n += 2) {
        ASSERT_GE(app.waitForLaunches(n, launchWait).size(), n);
        sleepFor(0.2); // the last stand-in has ended by now
        EXPECT_EQ(app.zombieChildren(), 0);
    }
}

// The launches on any desktop, a Wayland session's too.
class Launching : public InSession
{
  protected:
    Launching()
    {
        clockSpeed = ::clockSpeed;
    }
};

TEST_P(Launching, ARestingSphereOpensQqqComWithTheAddressAsTheOnlyArgument)
{
    const auto launches = app->waitForLaunches(3, launchWait);
    ASSERT_GE(launches.size(), 3u);
    for (const auto &line : launches)
        EXPECT_EQ(line, "1:http://www.qqq.com");
}

INSTANTIATE_TEST_SUITE_P(Sessions, Launching, ::testing::Values(xvfb, wayland), sessionName);

// Whatever the browser command does, the program draws on, silently, and leaves no zombies.
class BrokenBrowser : public ::testing::TestWithParam<Browser>
{
};

TEST_P(BrokenBrowser, ChangesNothingInTheProgram)
{
    const Browser browser = GetParam();
    Xserver x;
    App app(x, browser, clockSpeed);
    app.waitForWindow();
    if (browser == Browser::fails || browser == Browser::hangs)
        ASSERT_GE(app.waitForLaunches(4, launchWait).size(), 4u);
    else
        sleepFor(5); // several launch periods, with nothing that can start
    EXPECT_TRUE(app.alive());
    EXPECT_TRUE(app.keepsDrawing());
    EXPECT_EQ(app.zombieChildren(), 0);
    app.drain();
    EXPECT_EQ(app.stdoutText, "<escape> to exit\n");
    EXPECT_EQ(app.stderrText, "");
}

std::string browserName(const ::testing::TestParamInfo<Browser> &param)
{
    static const char *const names[] = {"records", "missing", "notExecutable", "fails", "hangs"};
    return names[static_cast<int>(param.param)];
}

INSTANTIATE_TEST_SUITE_P(Browser, BrokenBrowser,
                         ::testing::Values(Browser::missing, Browser::notExecutable, Browser::fails,
                                           Browser::hangs),
                         browserName);
