// The arithmetic of pacing frames to the display's refresh.
#include "platform/refresh.h"

#include <algorithm>
#include <cmath>

double framePeriod(double rateHz)
{
    // Xvfb names 0 and Windows 0 or 1 for "the hardware's default"; beyond 1000 Hz is a bogus
    // mode. Written so that NaN is never plausible.
    return 1.0 / (rateHz >= 20.0 && rateHz <= 1000.0 ? rateHz : 60.0);
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

// How far [a, a + aLength) and [b, b + bLength) overlap; 0 or less where they do not. In 64
// bits: X's coordinates are 16-bit, but Windows' are not.
static long long overlap(long long a, long long aLength, long long b, long long bLength)
{
    return std::min(a + aLength, b + bLength) - std::max(a, b);
}

int mostOverlapped(const Area *displays, int count, Area window)
{
    int most = -1;
    long long mostPixels = 0;
    for (int i = 0; i < count; ++i) {
        const Area &d = displays[i];
        const long long across = overlap(d.x, d.width, window.x, window.width);
        const long long down = overlap(d.y, d.height, window.y, window.height);
        if (across > 0 && down > 0 && across * down > mostPixels) {
            most = i;
            mostPixels = across * down;
        }
    }
    return most;
}

double nextDeadline(double due, double end, double period)
{
    // A frame is due a period after the last was due, so that a late timer is made up. One that
    // ended more than a period late skips the beats it missed but the last, whose frame comes at
    // once and the beat holds: a late frame is made up once, and never by several at once. Where
    // the driver makes a frame wait for the display, the wait is in the frame, and paces the
    // next however slowly the display shows them: nothing is guessed from the waits.
    return due + period * std::max(1.0, std::floor((end - due) / period));
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
