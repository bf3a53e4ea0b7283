// Frames are paced to the display the window is on. A swap interval of 1 ties them to its
// refresh where the driver honours it; where the swap does not wait, a GLUT timer asks for each
// frame a refresh period after the last was due, at the rate the window system names for that
// display, so no core spins and the browser opens no faster than every 801 refreshes. Where the
// driver does wait, in the swap or in the next frame's first GL call, the frame waits there, and
// that wait keeps the frames to a display slower than the rate it names. The platform's part is
// in platform.h.
#include "platform/pacing.h"

#include "app/gl.h"
#include "platform/platform.h"
#include "platform/refresh.h"

static double period = 1.0 / 60; // seconds per frame, from the display's refresh rate
static double lookedAt;          // when the display's rate was last read, seconds
static double deadline;          // when the frame drawn now, or next, was due, seconds
static bool due = true;          // the display is ready for a frame; the timer sets it

// The window may have moved to another display, or the display's mode changed: a look a
// second, a few round trips to the window system, follows either.
static void readRate(double now)
{
    period = framePeriod(windowRefreshRate());
    lookedAt = now;
}

void syncToDisplay()
{
    syncSwaps();
    readRate(monotonicSeconds());
}

static void frameTimer(int value)
{
    (void)value;
    due = true;
    glutPostRedisplay();
}

bool frameDue()
{
    if (!due)
        return false;
    const double now = monotonicSeconds();
    if (now - lookedAt >= 1)
        readRate(now);
    return true;
}

void askForNextFrame()
{
    const double now = monotonicSeconds();
    deadline = nextDeadline(deadline, now, period);
    due = false;
    glutTimerFunc(timerMillis(deadline, now), frameTimer, 0);
}
