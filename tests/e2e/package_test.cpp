// The program as the Debian package ships it: unpacked, it opens its window and draws.
#include "harness.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

using namespace e2e;

extern char **environ;

TEST(Package, TheDebHoldsAProgramThatShowsTheScene)
{
    char folder[] = "/tmp/wanderlink-deb-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const char *argv[] = {"dpkg-deb", "-x", WANDERLINK_DEB, folder, nullptr};
    pid_t unpack;
    int status = -1;
    if (posix_spawnp(&unpack, argv[0], nullptr, nullptr, const_cast<char **>(argv), environ) == 0)
        waitpid(unpack, &status, 0);
    {
        ASSERT_EQ(status, 0) << "dpkg-deb -x " WANDERLINK_DEB;
        Xserver x;
        App app(x, Browser::records, 1, std::string(folder) + "/usr/bin/wanderlink");
        app.waitForWindow();
        EXPECT_EQ(app.geometry().width, 450);
        expectRestingScene(app.grab());
        EXPECT_TRUE(app.keepsDrawing());
    }
    std::filesystem::remove_all(folder);
}
