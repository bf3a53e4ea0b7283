// What the program needs of its platform beyond GLUT: the window system's swap interval, the
// refresh rate of the window's display and the window's identity, and the clock frames are
// paced by. Each platform defines them all, in the file named for it: x11.cpp, windows.cpp or
// macos.cpp, with posix.cpp's clock.
#pragma once

// Asks the driver to tie buffer swaps to the display's refresh, and readies whatever GLUT's
// waits need. Silent where it cannot.
void syncSwaps();

// The refresh rate, in Hz, of the display that shows most of the window; 0 where the window
// system names none.
double windowRefreshRate();

// Tells the desktop what the window is, where GLUT does not: its class, which ties it to the
// menu entry, its process and its icon. Called once, right after the window is made.
void identifyWindow();

// Seconds on a clock that never jumps.
double monotonicSeconds();
