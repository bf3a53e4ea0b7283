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

// When the next frame may be asked for, in seconds on a monotonic clock, given the time now,
// the previous deadline and the period. It is in the past where the program need not wait.
double nextDeadline(double now, double previous, double period);
