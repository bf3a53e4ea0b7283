// Frames are paced to the display. A swap interval of 1 ties them to its refresh where the
// driver honours it; where the swap does not wait, a GLUT timer asks for each frame at the
// refresh rate the window system reports, so no core spins and the browser opens no faster than
// every 801 refreshes. Either way the program never sleeps in a callback: GLUT's loop sleeps
// until the earliest of the frame's timer, the move ticks and the next input, so the ticks keep
// their 20 ms and input is served as it comes. The platform's part is in platform.h.
#include "platform/pacing.h"

#include "app/gl.h"
#include "platform/platform.h"
#include "platform/refresh.h"

static double period = 1.0 / 60; // seconds per frame, from the display's refresh rate
static Pace pace;                // the next frame's deadline, and what the swaps have shown
static bool due = true;          // the display is ready for a frame; the timer sets it

void syncToDisplay()
{
    syncSwaps();
    double rates[16];
    period = framePeriod(rates, refreshRates(rates, 16));
}

static void frameTimer(int value)
{
    (void)value;
    due = true;
    glutPostRedisplay();
}

bool frameDue()
{
    return due;
}

void askForNextFrame(double swapStart)
{
    const double now = monotonicSeconds();
    nextDeadline(pace, now, now - swapStart, period);
    due = false;
    glutTimerFunc(timerMillis(pace.deadline, now), frameTimer, 0);
}
