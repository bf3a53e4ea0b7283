// Frames are paced to the display. A swap interval of 1 ties them to its refresh where the
// driver honours it; where the swap does not wait, waitForDisplay holds each frame back to the
// refresh rate the window system reports, so no core spins and the browser opens no faster
// than every 801 refreshes. The platform's part is in platform.h.
#include "platform/pacing.h"
#include "platform/platform.h"
#include "platform/refresh.h"

static double period = 1.0 / 60; // seconds per frame, from the display's refresh rate
static double deadline;          // when the last frame was let go, seconds on a monotonic clock

void syncToDisplay()
{
    syncSwaps();
    double rates[16];
    period = framePeriod(rates, refreshRates(rates, 16));
}

void waitForDisplay()
{
    const double now = monotonicSeconds();
    deadline = nextDeadline(now, deadline, period);
    if (deadline > now)
        sleepFor(deadline - now); // blocks the loop for a period at most; input waits as long
}
