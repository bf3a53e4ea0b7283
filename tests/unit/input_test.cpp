// The mouse, motion, reshape and keyboard callbacks.
#include "glut_seam.h"

#include "input/input.h"

#include "app/gl.h"

#include <climits>
#include <cstring>
#include <string>

namespace
{

// Every field of the scene equal, buffers included.
void expectUnchanged(const SceneState &before)
{
    const Position *now[] = {&scene.spherePos, &scene.startPos, &scene.targetPos};
    const Position *then[] = {&before.spherePos, &before.startPos, &before.targetPos};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(now[i]->x, then[i]->x);
        EXPECT_EQ(now[i]->y, then[i]->y);
        EXPECT_EQ(now[i]->z, then[i]->z);
    }
    EXPECT_EQ(scene.domainCycle, before.domainCycle);
    EXPECT_EQ(0, std::memcmp(scene.addressText, before.addressText, sizeof scene.addressText));
    EXPECT_EQ(scene.spinAngle, before.spinAngle);
    EXPECT_EQ(scene.elapsedMillis, before.elapsedMillis);
}

} // namespace

using Mouse = FreshScene;

TEST_F(Mouse, RightPressesCycleTheDomainStartingWithComAgain)
{
    const std::string fixedPart(scene.addressText, 15);
    for (const char *domain : {"com", "org", "net", "com", "org", "net", "com"}) {
        mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 0, 0);
        EXPECT_EQ(std::string(scene.addressText), fixedPart + domain);
        EXPECT_EQ(std::strlen(scene.addressText), 18u);
    }
    EXPECT_TRUE(seam::timers.empty());
    EXPECT_EQ(seam::redisplays, 0); // the next frame comes anyway
}

TEST_F(Mouse, OtherButtonsAndEveryReleaseChangeNothing)
{
    const SceneState before = scene;
    for (int button : {GLUT_MIDDLE_BUTTON, 3, 4, 5, 9, 1000, -1, INT_MIN, INT_MAX})
        for (int state : {GLUT_DOWN, GLUT_UP, 7})
            mouse(button, state, -5000, 70000);
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 3, 3);
    mouse(GLUT_RIGHT_BUTTON, GLUT_UP, 3, 3);
    mouse(GLUT_LEFT_BUTTON, 5, 3, 3);
    expectUnchanged(before);
    EXPECT_TRUE(seam::timers.empty());
    EXPECT_EQ(seam::redisplays, 0);
}

TEST_F(Mouse, EachLeftPressStartsOneMoreChain)
{
    for (int k = 1; k <= 5; ++k) {
        mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, k, k);
        EXPECT_EQ(seam::redisplays, k);
    }
    seam::tick(); // a tick of each
    EXPECT_EQ(scene.elapsedMillis, 5 * 20);
}

using Motion = FreshScene;

TEST_F(Motion, TurnsTheSceneByThePointersXInDegrees)
{
    for (int x : {0, 1, 360, -50, 100000, INT_MIN}) {
        motion(x, 123);
        EXPECT_EQ(scene.spinAngle, static_cast<float>(x));
    }
    motion(45, -9999); // y plays no part
    EXPECT_EQ(scene.spinAngle, 45.0f);
    EXPECT_EQ(seam::redisplays, 0);
}

using Reshape = FreshScene;

TEST_F(Reshape, KeepsTheViewportEqualToTheWindow)
{
    for (int size : {900, 1, 16384}) {
        reshape(size, size / 2 + 1);
        EXPECT_EQ(seam::viewport[0], 0);
        EXPECT_EQ(seam::viewport[1], 0);
        EXPECT_EQ(seam::viewport[2], size);
        EXPECT_EQ(seam::viewport[3], size / 2 + 1);
    }
    EXPECT_EQ(seam::redisplays, 3);
}

using Keyboard = FreshScene;

TEST_F(Keyboard, EscapeExitsWithStatusZeroAndOtherKeysDoNothing)
{
    const SceneState before = scene;
    for (int key = 0; key < 256; ++key)
        if (key != 27)
            keyboard(static_cast<unsigned char>(key), 0, 0);
    expectUnchanged(before);
    EXPECT_EXIT(keyboard(27, 0, 0), ::testing::ExitedWithCode(0), "");
}
