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

void nextDeadline(Pace &pace, double start, double end, double busy, double period)
{
    // Where two frames in a row waited for the display, the next is asked for a period after the
    // second's wait ended, at a refresh (its end, less its time on the processor); any other
    // frame's next, a period after that one was due, so that a late timer is made up. The period
    // is the display's or, where eight frames in a row asked for on that schedule came more than
    // a sixteenth of it further apart, the last four evenly, the mean time between those four:
    // the pace the display really shows frames at, kept until two frames asked for at the
    // display's own period, every four seconds, no longer wait.

    // Waited: off the processor (in the swap, or in the first GL call, where a driver finds the
    // frame a buffer) for an eighth of a period, and 2 ms, longer than usual. Usual is the mean
    // of the last 16 frames or so, a sixteenth of a period at most: the window system's round
    // trips, or a frame's whole time where the processor's is not counted.
    const double off = end - start - busy;
    const double usual = std::clamp(pace.usualOff, 0.0, period / 16);
    pace.usualOff += (off - pace.usualOff) / 16;
    const bool waited = off - usual > std::max(period / 8, 0.002);
    pace.waitedInARow = waited ? pace.waitedInARow + 1 : 0;

    // The display's pace, from frames asked for on the schedule (one asked for after a wait
    // comes when the wait says), the last four of eight as evenly apart as a display shows them
    // (a slow renderer's, late for their own drawing, come unevenly). Frames 20 a second or
    // fewer are a stall, not a display.
    const double apart = end - pace.lastEnd;
    pace.lastEnd = end;
    if (!pace.followed) {
        if (apart <= std::max(pace.shownPeriod, period) + period / 16) {
            pace.longRun = 0;
        } else if (++pace.longRun > 4) { // the last four of the eight
            const bool first = pace.longRun == 5;
            pace.lastFour = first ? apart : pace.lastFour + apart;
            pace.shortest = first ? apart : std::min(pace.shortest, apart);
            pace.longest = first ? apart : std::max(pace.longest, apart);
        }
        if (pace.longRun == 8) {
            pace.longRun = 0;
            if (pace.longest - pace.shortest < period / 16 && pace.lastFour / 4 < 1.0 / 20) {
                pace.shownPeriod = pace.lastFour / 4;
                pace.learnt = end;
            }
        }
    }
    // Two frames asked for at the display's own period: where the display's queue has room for
    // one, the second waits.
    if (pace.trying > 0) {
        pace.trying = waited ? 0 : pace.trying - 1;
        if (waited)
            pace.learnt = end;
        else if (pace.trying == 0)
            pace.shownPeriod = 0;
    } else if (pace.shownPeriod > 0 && !(end - pace.learnt < 4)) {
        pace.trying = 2;
    }
    if (pace.trying == 0)
        period = std::max(period, pace.shownPeriod);

    pace.followed = pace.waitedInARow >= 2;
    if (pace.followed) {
        pace.waitedInARow = 0;
        pace.deadline = end - busy + period;
        return;
    }
    // More than a period behind (a stall, a slow frame): start again from now.
    const double due = pace.deadline + period;
    pace.deadline = end > due + period ? end : due;
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
