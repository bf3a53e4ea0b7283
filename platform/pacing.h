// Frames paced to the display without holding GLUT's loop: each frame asks for the next by a
// one-shot GLUT timer at the display's next refresh, so that GLUT does the waiting, and serves
// the move ticks and input meanwhile.
#pragma once

// Asks the window system to tie buffer swaps to the display's refresh, and reads the refresh
// rate frames keep to. Silent where it cannot.
void syncToDisplay();

// Whether the display is ready for a frame: the first, and then each the timer asks for. A
// redisplay request that comes before (a move tick's, a click's, a reshape's) is shown by the
// frame that comes at the refresh. Where it is, the frame begins.
bool frameDue();

// Called after each swap: asks for the next frame at the display's next refresh, that of the
// display the window is on now.
void askForNextFrame();
