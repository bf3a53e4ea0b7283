// What the program needs of its platform beyond GLUT: the window system's swap interval,
// refresh rates and window identity, and a clock to pace frames by. Each platform defines them all,
// in the file named for it: x11.cpp, windows.cpp or macos.cpp, with posix.cpp's clock.
#pragma once

// Asks the driver to tie buffer swaps to the display's refresh, and readies whatever GLUT's
// waits need. Silent where it cannot.
void syncSwaps();

// The refresh rates, in Hz, of the displays showing the desktop, at most `most` of them; how
// many were written. A display that names no rate gives 0 or none.
int refreshRates(double *ratesHz, int most);

// Tells the desktop what the window is, where GLUT does not: its class, which ties it to the
// menu entry, its process and its icon. Called once, right after the window is made.
void identifyWindow();

// Seconds on a clock that never jumps.
double monotonicSeconds();
