// The arithmetic of pacing frames to the display's refresh.
#include "platform/refresh.h"

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

double nextDeadline(double now, double previous, double period)
{
    const double due = previous + period; // from the deadline, so oversleeping is made up
    if (now < due - period / 16)
        return due; // early: wait for it
    if (now > due && now <= due + period)
        return due; // a little late: the next frame's wait is shorter, and the rate holds
    // Within a hair of the deadline, the swap itself waited for the display: follow it, so
    // that a rate a little off the display's never adds a wait. More than a period behind
    // (a stall, a slow frame), start again from now.
    return now;
}
