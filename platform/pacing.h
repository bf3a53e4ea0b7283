// Frames paced to the display: the swap interval where the driver honours it, and a wait of
// the program's own where the swap does not wait (Xvfb, VNC, virtual machines, Wine).
#pragma once

// Asks the window system to tie buffer swaps to the display's refresh, and reads the refresh
// rate that waitForDisplay keeps to. Silent where it cannot.
void syncToDisplay();

// Called after each swap: waits out the rest of the refresh period, if the frame came early.
void waitForDisplay();
