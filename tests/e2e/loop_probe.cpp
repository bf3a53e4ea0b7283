// Preloaded into the program by the timing tests (LD_PRELOAD) to see its event loop from
// outside. It logs where each frame draws the sphere, the first end of the line to the cube's
// centre, with the time, to PROBE_SPHERE_LOG. Where
// PROBE_WAIT_HZ is set, frames wait as a GPU driver's do with a swap interval of 1 (Mesa's
// DRI3, NVIDIA's): a frame goes on while fewer than two wait to be shown, and the display shows
// one waiting frame at each refresh, that many times a second, or, where it is "display", at the
// rate of the RandR display under the window's centre, looked at every half second. The wait
// comes in the swap, or, where PROBE_WAIT_IN is "clear", in the next frame's first GL call, its
// glClear, as in drivers that find a frame its buffer only there.
#include <GL/glx.h>
#include <X11/extensions/Xrandr.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

const char *setting(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

// The refresh rate of the RandR display under the window's centre; 0 where there is none.
double displayRate(Display *display, GLXDrawable window)
{
    XWindowAttributes a;
    if (!XGetWindowAttributes(display, window, &a))
        return 0;
    int x, y;
    Window child;
    XTranslateCoordinates(display, window, a.root, a.width / 2, a.height / 2, &x, &y, &child);
    XRRScreenResources *screen = XRRGetScreenResourcesCurrent(display, a.root);
    double hz = 0;
    for (int c = 0; screen && c < screen->ncrtc && hz == 0; ++c) {
        XRRCrtcInfo *crtc = XRRGetCrtcInfo(display, screen, screen->crtcs[c]);
        for (int m = 0; m < screen->nmode; ++m) {
            const XRRModeInfo &mode = screen->modes[m];
            if (mode.id == crtc->mode && x >= crtc->x && y >= crtc->y &&
                x < crtc->x + static_cast<int>(crtc->width) &&
                y < crtc->y + static_cast<int>(crtc->height))
                hz = static_cast<double>(mode.dotClock) / mode.hTotal / mode.vTotal;
        }
        XRRFreeCrtcInfo(crtc);
    }
    XRRFreeScreenResources(screen);
    return hz;
}

// The display's queue: frames swapped and not yet shown, and the refreshes that show them.
struct Queue {
    double hz = 0;
    double first = -1;  // the refreshes come at first + k / hz
    long refreshes = 0; // those that have come, each showing a waiting frame
    int waiting = 0;
    double looked = -1; // when the display's rate was last read
};
Queue queue;

// Shows what the refreshes up to now have shown, then waits while two frames wait.
void waitForABuffer(Display *display, GLXDrawable window)
{
    static const bool followDisplay = std::strcmp(setting("PROBE_WAIT_HZ"), "display") == 0;
    if (!followDisplay)
        queue.hz = std::atof(setting("PROBE_WAIT_HZ"));
    const double start = now();
    if (followDisplay && start - queue.looked >= 0.5) {
        const double hz = displayRate(display, window);
        queue.looked = start;
        if (hz != queue.hz) // the refreshes start anew
            queue = {hz, -1, 0, queue.waiting, start};
    }
    if (queue.hz <= 0)
        return;
    if (queue.first < 0)
        queue.first = start;
    for (const long due = static_cast<long>(std::floor((start - queue.first) * queue.hz));
         queue.refreshes < due; ++queue.refreshes)
        queue.waiting -= queue.waiting > 0;
    for (; queue.waiting >= 2; ++queue.refreshes, --queue.waiting)
        sleepUntil(queue.first + static_cast<double>(queue.refreshes + 1) / queue.hz);
}

const bool waitInClear = std::strcmp(setting("PROBE_WAIT_IN"), "clear") == 0;

} // namespace

extern "C" void glVertex3d(GLdouble x, GLdouble y, GLdouble z)
{
    static const auto vertex = next<void (*)(GLdouble, GLdouble, GLdouble)>("glVertex3d");
    static const int log = [] {
        const char *path = std::getenv("PROBE_SPHERE_LOG");
        return path ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    }();
    if (log >= 0 && (x != 0 || y != 0 || z != 0)) { // not the line's other end, the origin
        char line[96];
        const int length =
            std::snprintf(line, sizeof line, "%.6f %.9g %.9g %.9g\n", now(), x, y, z);
        if (write(log, line, static_cast<size_t>(length)) != length)
            std::abort(); // a test must not judge a log with lines missing
    }
    vertex(x, y, z);
}

extern "C" void glClear(GLbitfield mask)
{
    static const auto clear = next<void (*)(GLbitfield)>("glClear");
    if (waitInClear)
        waitForABuffer(glXGetCurrentDisplay(), glXGetCurrentDrawable());
    clear(mask);
}

extern "C" void glXSwapBuffers(Display *display, GLXDrawable drawable)
{
    static const auto swap = next<void (*)(Display *, GLXDrawable)>("glXSwapBuffers");
    if (!waitInClear)
        waitForABuffer(display, drawable);
    queue.waiting += queue.hz > 0;
    swap(display, drawable);
}
