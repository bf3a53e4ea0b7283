// The arithmetic of pacing frames to the display's refresh.
#include "platform/refresh.h"

#include <algorithm>
#include <cmath>

double framePeriod(const double *ratesHz, int count)
{
    // Xvfb reports 0 and Windows 0 or 1 for "the hardware's default"; beyond 1000 Hz is a
    // bogus mode. Written so that NaN is never plausible.
    double fastest = 0;
    for (int i = 0; i < count; ++i) {
        const double hz = ratesHz[i];
        if (hz >= 20.0 && hz <= 1000.0 && hz > fastest)
            fastest = hz;
    }
    return 1.0 / (fastest > 0 ? fastest : 60.0);
}

double modeRate(unsigned long dotClock, unsigned hTotal, unsigned vTotal, bool interlaced,
                bool doubleScan)
{
    if (hTotal == 0 || vTotal == 0)
        return 0;
    double hz =
        static_cast<double>(dotClock) / (static_cast<double>(hTotal) * static_cast<double>(vTotal));
    if (interlaced)
        hz *= 2;
    if (doubleScan)
        hz /= 2;
    return hz;
}

void nextDeadline(Pace &pace, double now, double swapSeconds, double period)
{
    // A swap that waits for the display (a GPU driver's, with two frames queued) ends at its
    // refresh, frame after frame. So where the last two swaps took more than a quarter period
    // beyond the renderer's own time, the program is ahead of the display: it follows it a
    // period on, and the next swap finds the queue shorter and returns at once. A software
    // renderer's swap finishes the drawing and copies it, mostly within a millisecond or two
    // and only now and then longer; a swap still long a period after following is the
    // renderer's own time, and counts as such until that has faded (a few seconds). A period at
    // most: longer is a stall, or a desktop that holds back a hidden window's frames.
    const double shorter = std::min(swapSeconds, pace.lastSwap);
    pace.lastSwap = swapSeconds;
    bool waited = shorter > period / 4 + pace.ownSwap;
    pace.ownSwap *= 255.0 / 256;
    if (waited && pace.followed) {
        pace.ownSwap = std::min(shorter, period);
        waited = false;
    }
    pace.followed = waited;
    if (waited) {
        pace.deadline = now + period;
        return;
    }
    const double due = pace.deadline + period; // from the deadline, so a late timer is made up
    // More than a period behind (a stall, a slow frame): start again from now.
    pace.deadline = now > due + period ? now : due;
}

unsigned timerMillis(double deadline, double now)
{
    // A microsecond is the clocks' noise, not a millisecond more. Within a second, so that no
    // clock fault can stop the frames; NaN gives 0.
    const double millis = std::ceil((deadline - now) * 1000 - 0.001);
    if (!(millis > 0))
        return 0;
    return millis < 1000 ? static_cast<unsigned>(millis) : 1000;
}
