// The arithmetic of pacing frames to the display's refresh, apart from the clocks and the
// window system.
#pragma once

// The frame period, in seconds, for the refresh rates the window system reports (Hz, one per
// active display): the fastest plausible one, or 1/60 s where none is.
double framePeriod(const double *ratesHz, int count);

// The refresh rate of a display mode, in Hz, from its dot clock (Hz) and the dots across and
// lines down of a whole frame, blanking included: doubled where interlaced, as each refresh
// shows half the lines; halved where each line is scanned twice. 0 where the mode gives no
// timings.
double modeRate(unsigned long dotClock, unsigned hTotal, unsigned vTotal, bool interlaced,
                bool doubleScan);

// When the next frame is to be asked for, in seconds on a monotonic clock, given the time now,
// just after a swap, how long the last two swaps took (the shorter), the previous deadline and
// the period. In the past where the next frame is late already.
double nextDeadline(double now, double swapSeconds, double previous, double period);

// The delay, in the whole milliseconds a GLUT timer takes, from now until deadline (seconds):
// rounded up, so the timer fires no sooner; 0 for a deadline past, and a second at most.
unsigned timerMillis(double deadline, double now);
