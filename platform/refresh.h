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

// What the pacing keeps from one frame to the next; all zero at the start. Times in seconds,
// on a monotonic clock.
struct Pace {
    double deadline; // when the next frame is to be asked for
    double released; // when the last frame went to the display: when it was due, or its wait ended
    double usualOff; // a frame's time off the processor where it does not wait: round trips
    double gaps[5];  // the times between the last frames' releases, 0 where none yet
    int next;        // where in gaps the next goes
    double lastWait; // how long the last frame waited for the display; 0 where it did not
};

// Works out pace.deadline after a frame that began at start and ended at end (seconds on a
// monotonic clock), for which the process had the processor for busy seconds, where the
// display's refresh period is period seconds. The deadline is in the past where the next
// frame is late already.
void nextDeadline(Pace &pace, double start, double end, double busy, double period);

// The delay, in the whole milliseconds a GLUT timer takes, from now until deadline (seconds):
// rounded up, so the timer fires no sooner; 0 for a deadline past, and a second at most.
unsigned timerMillis(double deadline, double now);
