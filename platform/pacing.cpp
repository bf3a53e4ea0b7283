// Frames are paced to the display the window is on. A swap interval of 1 ties them to its
// refresh where the driver honours it; where the swap does not wait, a GLUT timer asks for each
// frame at the refresh rate the window system names for that display, so no core spins and the
// browser opens no faster than every 801 refreshes. Where the driver does wait, in the swap or
// in the next frame's first GL call, the timer asks for frames at the pace the display shows
// them, a little sooner, so that they wait for it only briefly. Either way the program never
// sleeps in a callback: GLUT's loop sleeps until the earliest of the frame's timer, the move
// ticks and the next input, so the ticks keep their 20 ms and input is served as it comes. The
// platform's part is in platform.h.
#include "platform/pacing.h"

#include "app/gl.h"
#include "platform/platform.h"
#include "platform/refresh.h"

static double period = 1.0 / 60; // seconds per frame, from the display's refresh rate
static double lookedAt;          // when the display's rate was last read, seconds
static Pace pace;                // the next frame's deadline, and what the frames have shown
static bool due = true;          // the display is ready for a frame; the timer sets it
static double start, startBusy;  // when the frame began, and the processor time by then

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
    start = monotonicSeconds();
    if (start - lookedAt >= 1) {
        readRate(start);
        start = monotonicSeconds(); // the look is not the frame's
    }
    startBusy = processSeconds();
    return true;
}

void askForNextFrame()
{
    const double now = monotonicSeconds();
    nextDeadline(pace, start, now, processSeconds() - startBusy, period);
    due = false;
    glutTimerFunc(timerMillis(pace.deadline, now), frameTimer, 0);
}
