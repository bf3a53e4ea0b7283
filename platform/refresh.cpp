// The arithmetic of pacing frames to the display's refresh.
#include "platform/refresh.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

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

void nextDeadline(Pace &pace, double start, double end, double busy, double period)
{
    // A frame that waited for the display asks for the next a shown period and an eighth after
    // its wait ended; any other, a sixteenth sooner than a shown period after it was itself due,
    // so that a late timer is made up and a display grown faster is found. The shown period is
    // the median of the times between the last five frames' releases (when each was due, or its
    // wait ended), and never shorter than the display's.

    // Waited: off the processor (in the swap, or in the first GL call, where a driver finds the
    // frame a buffer) an eighth of a period, and 2 ms, longer than usual: on Xvfb and Weston,
    // with a core kept busy beside them or not, 99 frames in 100 that do not wait are within
    // 1.5 ms of usual. Usual falls to any frame's, but not below 0 (llvmpipe's threads can have
    // more of the processor than the frame had time), and rises an eighth of the way only on a
    // frame asked after a wait, which cannot have waited for a display whose pace is known: so
    // it follows the window system's round trips and, on Windows, which counts the processor's
    // time too coarsely, the frame's own (1 ms under Wine), but never a display's waits.
    const double wait = end - start - busy - pace.usualOff;
    if (wait < 0 || pace.lastWait > 0)
        pace.usualOff = std::max(0.0, pace.usualOff + (wait < 0 ? wait : wait / 8));
    const bool waited = wait > std::max(period / 8, 0.002);
    pace.lastWait = waited ? wait : 0;

    // Released when it was due, so that a timer's lateness is no display's pace; where it waited,
    // that much later, or, where it began more than a period after it was due (the first frame,
    // or one after a stall), that much after it began. Gaps of 50 ms or more are a stall.
    // The median of five shrugs off two odd gaps (a slow round trip, a timer late by a period)
    // and needs three to learn a slower display: under a tenth of a second at 30 frames a second.
    const double due = pace.deadline;
    const double released = (waited && start - due > period ? start : due) + pace.lastWait;
    const double gap = released - pace.released;
    pace.released = released;
    constexpr int kept = static_cast<int>(std::extent_v<decltype(Pace::gaps)>);
    if (gap > 0 && gap < 1.0 / 20) {
        pace.gaps[pace.next] = gap;
        pace.next = (pace.next + 1) % kept;
    }
    double sorted[kept];
    std::copy(pace.gaps, pace.gaps + kept, sorted);
    std::nth_element(sorted, sorted + kept / 2, sorted + kept);
    const double shown = std::max(period, sorted[kept / 2]);

    // An eighth more after a wait, so that the next frame comes after the refresh that frees a
    // buffer, not just before it. A sixteenth sooner otherwise: a display that shows frames
    // twice as fast again is followed within half a second, and where it does not, the frames
    // asked early wait a few milliseconds now and then. A frame more than a period late skips
    // the periods it missed but one, which comes at once.
    if (waited) {
        pace.deadline = released + shown + period / 8;
        return;
    }
    const double ask = std::max(period, shown * 15 / 16);
    pace.deadline = due + ask * std::max(1.0, std::floor((end - due) / ask));
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
