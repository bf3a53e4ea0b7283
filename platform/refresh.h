// The arithmetic of pacing frames to the display's refresh, apart from the clocks and the
// window system.
#pragma once

// The frame period, in seconds, for the refresh rate the window system names for the
// window's display (Hz): 1/60 s where it names none, or none that is plausible.
double framePeriod(double rateHz);

// The refresh rate of a display mode, in Hz, from its dot clock (Hz) and the dots across and
// lines down of a whole frame, blanking included: doubled where interlaced, as each refresh
// shows half the lines; halved where each line is scanned twice. 0 where the mode gives no
// timings.
double modeRate(unsigned long dotClock, unsigned hTotal, unsigned vTotal, bool interlaced,
                bool doubleScan);

// A rectangle of the desktop, in pixels.
struct Area {
    int x, y, width, height;
};

// Which of the displays' areas the window overlaps most: its index, or -1 where it overlaps
// none.
int mostOverlapped(const Area *displays, int count, Area window);

// When the frame after one that was due at `due` (seconds on a monotonic clock) and ended at
// `end` is due, where the display's refresh period is `period` seconds: a period after it was
// due, or, where it ended more than a period late, the last beat of that period before it ended,
// so that the next comes at once.
double nextDeadline(double due, double end, double period);

// The delay, in the whole milliseconds a GLUT timer takes, from now until deadline (seconds):
// rounded up, so the timer fires no sooner; 0 for a deadline past, and a second at most.
unsigned timerMillis(double deadline, double now);
