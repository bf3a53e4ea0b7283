// The program as the Debian package ships it: unpacked, it opens its window and draws.
#include "harness.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace e2e;

TEST(Package, TheDebHoldsAProgramThatShowsTheScene)
{
    char folder[] = "/tmp/wanderlink-deb-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    {
        ASSERT_TRUE(run({"dpkg-deb", "-x", WANDERLINK_DEB, folder}))
            << "dpkg-deb -x " WANDERLINK_DEB;
        Xserver x;
        App app(x, Browser::records, 1, std::string(folder) + "/usr/bin/wanderlink");
        app.waitForWindow();
        EXPECT_EQ(app.geometry().width, 450);
        expectRestingScene(app.grab());
        EXPECT_TRUE(app.keepsDrawing());
    }
    std::filesystem::remove_all(folder);
}
