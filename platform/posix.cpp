// The clock frames are paced by, on Linux, the BSDs and macOS.
#include "platform/platform.h"

#include <time.h>

double monotonicSeconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}
