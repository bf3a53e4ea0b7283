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

// What the pacing keeps from one frame to the next; all zero at the start.
struct Pace {
    double deadline; // when the next frame is to be asked for, seconds on a monotonic clock
    double lastSwap; // how long the swap before took, seconds
    double ownSwap;  // how long the renderer's own swaps were last seen to take, seconds; fades
    bool followed;   // the deadline followed a swap that waited for the display
};

// Works out pace.deadline just after a swap that took swapSeconds, given the time now and the
// period, both in seconds. It is in the past where the next frame is late already.
void nextDeadline(Pace &pace, double now, double swapSeconds, double period);

// The delay, in the whole milliseconds a GLUT timer takes, from now until deadline (seconds):
// rounded up, so the timer fires no sooner; 0 for a deadline past, and a second at most.
unsigned timerMillis(double deadline, double now);
