// Frames paced to the display: each frame asks for the next by a one-shot GLUT timer, a refresh
// after it was due, so that GLUT does the waiting, and serves input meanwhile.
#pragma once

// Asks the window system to tie buffer swaps to the display's refresh, and reads the refresh
// rate frames keep to. Silent where it cannot.
void syncToDisplay();

// Whether the display is ready for a frame: the first, and then each the timer asks for. A
// redisplay request that comes before (a move tick's, a click's, a reshape's) is shown by the
// frame that comes at the refresh. Where it is, the frame begins.
bool frameDue();

// Called after each swap: asks for the next frame a refresh period after this one was due, that
// of the display the window is on now.
void askForNextFrame();
