// macOS: no GLX there. The swap keeps the system's pacing, the frames' timer keeps to 60 a second,
// and the application bundle, not the window, tells the desktop what the program is.
#include "platform/platform.h"

void syncSwaps() {}

double windowRefreshRate()
{
    return 0;
}

void identifyWindow() {}
