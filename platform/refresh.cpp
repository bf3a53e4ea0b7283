// The arithmetic of pacing frames to the display's refresh.
#include "platform/refresh.h"

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

double nextDeadline(double now, double swapSeconds, double previous, double period)
{
    // Swaps that waited for the display (a GPU driver's, with two frames queued) ended at its
    // refresh: the program is ahead of it, so it follows it a period on, and the next swap
    // finds the queue shorter and returns at once. Such a driver waits frame after frame; a
    // software renderer's swap finishes the drawing and copies it, mostly within a millisecond
    // or two, and only now and then takes longer.
    if (swapSeconds > period / 4)
        return now + period;
    const double due = previous + period; // from the deadline, so a late timer is made up
    if (now > due + period)
        return now; // more than a period behind (a stall, a slow frame): start again from now
    return due;
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
