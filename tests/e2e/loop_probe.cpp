// Preloaded into the program by the timing tests (LD_PRELOAD) to see its event loop from
// outside. It logs every GLUT timer the program arms, with the time, to PROBE_TIMER_LOG. Where
// PROBE_SWAP_HZ is set, the buffer swap waits as a GPU driver's does with a swap interval of 1
// (Mesa's DRI3, NVIDIA's): it returns at once while fewer than two frames wait to be shown, and
// the display shows one waiting frame at each refresh, that many times a second.
#include <GL/glx.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace
{

double now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void sleepUntil(double seconds)
{
    timespec t;
    t.tv_sec = static_cast<time_t>(seconds);
    t.tv_nsec = static_cast<long>((seconds - static_cast<double>(t.tv_sec)) * 1e9);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

template <typename Function> Function next(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" void glutTimerFunc(unsigned millis, void (*callback)(int), int value)
{
    static const auto arm = next<void (*)(unsigned, void (*)(int), int)>("glutTimerFunc");
    static const int log = [] {
        const char *path = std::getenv("PROBE_TIMER_LOG");
        return path ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    }();
    if (log >= 0) {
        char line[96];
        const int length = std::snprintf(line, sizeof line, "%.6f %p %u %d\n", now(),
                                         reinterpret_cast<void *>(callback), millis, value);
        if (write(log, line, static_cast<size_t>(length)) != length)
            std::abort(); // a test must not judge a log with lines missing
    }
    arm(millis, callback, value);
}

extern "C" void glXSwapBuffers(Display *display, GLXDrawable drawable)
{
    static const auto swap = next<void (*)(Display *, GLXDrawable)>("glXSwapBuffers");
    static const char *rate = std::getenv("PROBE_SWAP_HZ");
    static const double hz = rate ? std::atof(rate) : 0;
    static double first = -1;  // the display's refreshes come at first + k / hz
    static long refreshes = 0; // those that have come, each showing a waiting frame
    static int waiting = 0;    // frames swapped and not yet shown
    if (hz > 0) {
        const double start = now();
        if (first < 0)
            first = start;
        for (const long due = static_cast<long>(std::floor((start - first) * hz)); refreshes < due;
             ++refreshes)
            waiting -= waiting > 0;
        for (; waiting >= 2; ++refreshes, --waiting)
            sleepUntil(first + static_cast<double>(refreshes + 1) / hz);
        ++waiting;
    }
    swap(display, drawable);
}
