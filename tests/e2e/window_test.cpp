// The real program in a real window: what it prints, what it draws, how Escape ends it.
#include "harness.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

using namespace e2e;

namespace
{

class Window : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        app.waitForWindow();
    }

    Xserver x;
    App app{x};
};

} // namespace

TEST_F(Window, OpensAt450x400AtTheOriginAndPrintsTheHintOnce)
{
    const auto g = app.geometry();
    EXPECT_EQ(g.x, 0);
    EXPECT_EQ(g.y, 0);
    EXPECT_EQ(g.width, 450);
    EXPECT_EQ(g.height, 400);

    sleepFor(0.5); // many frames later, still the one line
    app.drain();
    EXPECT_EQ(app.stdoutText, "<escape> to exit\n");
    EXPECT_EQ(app.stderrText, "");
}

TEST_F(Window, KeepsDrawingWhileTheLightTurns)
{
    // The sphere rests, yet the picture changes because light 0 turns a degree a frame.
    EXPECT_TRUE(app.keepsDrawing());
    EXPECT_TRUE(app.alive());
}

TEST_F(Window, OtherKeysDoNotEndIt)
{
    app.xdotool({"mousemove", "200", "200"});
    app.xdotool({"key", "q", "Return", "space"});
    sleepFor(0.5);
    EXPECT_TRUE(app.alive());
}

// The scene on both of Mesa's software renderers, which differ where GL leaves a result
// undefined, as a Wayland session's compositor shows it, and as the arm64 build draws it.
class Scene : public InSession
{
};

TEST_P(Scene, TheCubeTheRestingSphereAndWhiteTextOnADarkBlueBackground)
{
    const Image image = app->grab();
    if (const char *path = std::getenv("WANDERLINK_SCREENSHOT"))
        savePpm(image, path);

    for (Pixel corner : {Pixel{2, 2}, Pixel{447, 2}, Pixel{2, 397}, Pixel{447, 397}})
        EXPECT_TRUE(isBackground(image.at(int(corner.x), int(corner.y))))
            << corner.x << "," << corner.y;

    expectRestingScene(image);
    EXPECT_FALSE(near(image, {60, 200}, isDrawn, 4)) << "between the front and back faces";
    EXPECT_EQ(share(image, project(-3, 3, 3), isGreen, 6), 0.0) << "green only at the sphere";
}

INSTANTIATE_TEST_SUITE_P(Sessions, Scene, ::testing::Values(xvfb, softpipe, wayland, arm64),
                         sessionName);

// What holds on any desktop.
class Desktop : public InSession
{
};

TEST_P(Desktop, EscapeEndsTheProgramWithStatusZero)
{
    app->moveTo(200, 200); // keys go to the window under the pointer
    app->xdotool({"key", "Escape"});
    int status = 0;
    ASSERT_TRUE(app->waitForExit(status, 10));
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << app->stderrText;
    EXPECT_EQ(app->stdoutText, "<escape> to exit\n");
}

// What the desktop's shell reads to show the window with the program's name and icon in the
// dock and the window switcher: its class, which the menu entry's StartupWMClass names, its
// process, and the icon, the same as the menu's.
TEST_P(Desktop, TheWindowNamesItsClassItsProcessAndItsIcon)
{
    EXPECT_EQ(windowClass(*x, app->window), "wanderlink/Wanderlink");
    EXPECT_EQ(cardinals(*x, app->window, "_NET_WM_PID"),
              std::vector<unsigned long>{static_cast<unsigned long>(app->pid)});

    // Images one after another: width, height, then ARGB pixels.
    const auto icon = cardinals(*x, app->window, "_NET_WM_ICON");
    std::vector<unsigned long> sizes;
    size_t pixels48 = 0, end = 0;
    for (; end + 1 < icon.size() && icon[end] <= 256; end += 2 + icon[end] * icon[end + 1]) {
        EXPECT_EQ(icon[end], icon[end + 1]);
        sizes.push_back(icon[end]);
        if (icon[end] == 48)
            pixels48 = end + 2;
    }
    EXPECT_EQ(sizes, (std::vector<unsigned long>{16, 32, 48, 64}));
    EXPECT_EQ(end, icon.size()) << "a dock that reads the images by their sizes runs off the end";
    ASSERT_GT(pixels48, 0u);

    // The 48-pixel PNG the package installs for the menu, as RGBA.
    const std::string pam = std::string(x->scratch) + "/48.pam";
    ASSERT_TRUE(run({"sh", "-c", "pngtopam -alphapam \"$0\" > \"$1\"", WANDERLINK_ICON_48, pam}));
    const std::string data = readFile(pam);
    const size_t start = data.find("ENDHDR\n") + 7;
    ASSERT_EQ(data.size() - start, 48u * 48 * 4);
    int different = 0;
    for (size_t p = 0; p < 48 * 48; ++p) {
        const auto *rgba = reinterpret_cast<const unsigned char *>(data.data() + start + 4 * p);
        const unsigned long argb = static_cast<unsigned long>(rgba[3]) << 24 |
                                   static_cast<unsigned long>(rgba[0]) << 16 | rgba[1] << 8 |
                                   rgba[2];
        different += icon[pixels48 + p] != argb;
    }
    EXPECT_EQ(different, 0) << "pixels unlike the menu's icon";
}

INSTANTIATE_TEST_SUITE_P(Sessions, Desktop, ::testing::Values(xvfb, wayland), sessionName);

TEST(NoDisplay, FailsAtOnceWithGlutsOwnError)
{
    for (const char *display : {":999", ""}) { // nobody listens there; no DISPLAY at all
        Xserver nowhere{Xserver::None{}};
        nowhere.display = display;
        App app(nowhere);
        int status = 0;
        ASSERT_TRUE(app.waitForExit(status, 10)) << "hangs with DISPLAY=" << display;
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_NE(WEXITSTATUS(status), 0);
        EXPECT_NE(app.stderrText.find("failed to open display"), std::string::npos)
            << app.stderrText;
        EXPECT_EQ(app.stdoutText, "");
    }
}

// The command line as a user types it: questions answered without a display, a mistake refused
// before any window, and GLUT's own options still GLUT's.
TEST(CommandLine, HelpAndVersionAnswerWithoutADisplay)
{
    for (const char *question : {"--help", "--version"}) {
        Xserver nowhere{Xserver::None{}};
        App app(nowhere, Browser::records, 1, "", {question});
        int status = -1;
        ASSERT_TRUE(app.waitForExit(status, 10)) << question;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << question << app.stderrText;
        EXPECT_EQ(app.stderrText, "");
        EXPECT_EQ(app.stdoutText.find(question[2] == 'h' ? "Usage: wanderlink [GLUT option]...\n"
                                                         : "wanderlink " WANDERLINK_VERSION "\n"),
                  0u)
            << app.stdoutText;
    }
}

TEST(CommandLine, AMistakeEndsWithStatus2BeforeAnyWindow)
{
    Xserver x;
    windowsMade(x);
    for (const char *mistake : {"--fullscreen", "wanderlink.example"}) {
        App app(x, Browser::records, 1, "", {"-sync", mistake});
        int status = -1;
        ASSERT_TRUE(app.waitForExit(status, 10)) << mistake;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << mistake;
        EXPECT_EQ(app.stderrText,
                  std::string("wanderlink: ") +
                      (mistake[0] == '-' ? "unrecognized option '" : "unexpected argument '") +
                      mistake + "'\nTry 'wanderlink --help' for more information.\n");
        EXPECT_EQ(app.stdoutText, "");
    }
    EXPECT_EQ(windowsMade(x), 0);
}

TEST(CommandLine, GlutsDisplayOptionStillChoosesTheDisplay)
{
    Xserver here, there;
    App app(here, Browser::records, 1, "", {"-display", there.display});
    EXPECT_TRUE(eventually(
        [&] {
            return viewableWindow(there, "wanderlink") != 0;
        },
        20));
    EXPECT_EQ(viewableWindow(here, "wanderlink"), 0u);
}
