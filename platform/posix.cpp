// The clocks frames are paced by, on Linux, the BSDs and macOS.
#include "platform/platform.h"

#include <time.h>

static double seconds(clockid_t clock)
{
    timespec now;
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double monotonicSeconds()
{
    return seconds(CLOCK_MONOTONIC);
}

double processSeconds()
{
    return seconds(CLOCK_PROCESS_CPUTIME_ID);
}
