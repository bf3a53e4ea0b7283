// The test seam: the GLUT and GL entry points the callbacks call (timers, redisplay requests,
// the viewport, clearing, lighting, the drawing of shapes, lines and text), and the clock
// frames are paced by, are defined by the test program itself, so the linker binds the program's
// code to these recorders instead of the real library and the real clock.
#pragma once

#include "app/scene.h"
#include "wander/wander.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace seam
{

struct Timer {
    unsigned millis;
    void (*callback)(int);
    int value;
};

extern std::vector<Timer> timers; // armed and not yet fired
extern int redisplays;            // glutPostRedisplay calls
extern int swaps;                 // glutSwapBuffers calls
extern std::string order;         // each swap, timer armed and redisplay: 's', 't', 'r'
extern double clock;              // seconds, what monotonicSeconds and GLUT's clock give
extern double swapWait;           // seconds each swap waits for the display
extern double clearWait;          // and each glClear, as where the driver waits for a buffer
extern int viewport[4];           // the last glViewport
extern std::string stroked;       // characters drawn with the stroke font, in order
extern bool lit;                  // GL_LIGHTING, as glEnable and glDisable left it
extern std::string lighting;      // each stroked character and line: 'L' lit, 'u' unlit
// Where busy, the sphere is looked at late, as a late timer's frame looks at it on a busy
// machine, with the noise of a seed: by up to 4 ms, and one in 100 by 15 ms.
extern bool busy;
extern std::mt19937 noise;

// Quiet again, with the clock well past the last test's frames.
void reset();

// The sphere is looked at, as when a frame begins, once the clock reads `at`.
void lookAt(double at);

// 20 ms pass, and the sphere is looked at: one round of all chains.
void tick();

// The next frame, as GLUT's loop gives it: the clock moves on to the time the frame was asked
// for, its timer fires, and display runs, taking the ticks due by then.
void frame();

} // namespace seam

// Every test starts from the program's starting state, a known random seed and a quiet seam.
class FreshScene : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        scene = SceneState{};
        seam::reset();
        seedRandom(1);
    }
};
