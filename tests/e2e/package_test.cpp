// The program as the Debian package ships it: unpacked, it opens its window and draws, and the
// window is the one its menu entry names.
#include "harness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

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

        // The shell ties the window to the menu entry whose StartupWMClass is its class.
        std::string startupClass;
        for (const auto &entry :
             std::filesystem::directory_iterator(std::string(folder) + "/usr/share/applications")) {
            std::ifstream file(entry.path());
            for (std::string line; std::getline(file, line);)
                if (line.rfind("StartupWMClass=", 0) == 0)
                    startupClass = line.substr(15);
        }
        const std::string instanceAndClass = windowClass(x, app.window);
        EXPECT_EQ(startupClass, instanceAndClass.substr(instanceAndClass.find('/') + 1));
        EXPECT_FALSE(startupClass.empty());
    }
    std::filesystem::remove_all(folder);
}
