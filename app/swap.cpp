// Frames are paced to the display. A swap interval of 1 ties them to its refresh where the
// driver honours it; where the swap does not wait, waitForDisplay holds each frame back to the
// refresh rate the window system reports, so no core spins and the browser opens no faster
// than every 801 refreshes. This file holds the program's one window-system difference.
#include "app/pace.h"

static double period = 1.0 / 60; // seconds per frame, from the display's refresh rate
static double deadline;          // when the last frame was let go, seconds on a monotonic clock

static double monotonicSeconds();
static void sleepFor(double seconds);

void waitForDisplay()
{
    const double now = monotonicSeconds();
    deadline = nextDeadline(now, deadline, period);
    if (deadline > now)
        sleepFor(deadline - now); // blocks the loop for a period at most; input waits as long
}

#if defined(_WIN32)
#include <windows.h>

#include <GL/gl.h>

static HANDLE timer; // a waitable timer: finer than Sleep's whole milliseconds

void syncToDisplay()
{
    typedef BOOL(WINAPI * SwapIntervalFn)(int);
    auto setInterval = reinterpret_cast<SwapIntervalFn>(
        reinterpret_cast<void (*)()>(wglGetProcAddress("wglSwapIntervalEXT")));
    if (setInterval)
        setInterval(1);

    // The current mode of every display that is part of the desktop.
    double rates[16];
    int count = 0;
    DISPLAY_DEVICEA device = {};
    device.cb = sizeof device;
    for (DWORD i = 0; count < 16 && EnumDisplayDevicesA(nullptr, i, &device, 0); ++i) {
        DEVMODEA mode = {};
        mode.dmSize = sizeof mode;
        if ((device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) &&
            EnumDisplaySettingsA(device.DeviceName, ENUM_CURRENT_SETTINGS, &mode))
            rates[count++] = mode.dmDisplayFrequency;
    }
    period = framePeriod(rates, count);

    timeBeginPeriod(1); // timers tick every 15.6 ms otherwise, nearly a whole frame
    timer = CreateWaitableTimerA(nullptr, TRUE, nullptr);
}

static double monotonicSeconds()
{
    static const double ticksPerSecond = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency); // fixed at boot
        return static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / ticksPerSecond;
}

static void sleepFor(double seconds)
{
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(seconds * 1e7); // negative: relative, in 100 ns
    if (timer && SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE))
        WaitForSingleObject(timer, INFINITE);
    else
        Sleep(static_cast<DWORD>(seconds * 1000));
}

#else
#include <time.h>

#include <cerrno>

static double monotonicSeconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

static void sleepFor(double seconds)
{
    timespec left;
    left.tv_sec = static_cast<time_t>(seconds);
    left.tv_nsec = static_cast<long>((seconds - static_cast<double>(left.tv_sec)) * 1e9);
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

#if defined(__APPLE__)

// No GLX or WGL there: the swap keeps the system's pacing, and the wait keeps to 60 a second.
void syncToDisplay() {}

#else
#include <GL/glx.h>
#include <X11/extensions/Xrandr.h>

#include <cstring>

// Whole-word match in GLX's blank-separated extension list.
static bool hasExtension(const char *list, const char *name)
{
    const size_t length = std::strlen(name);
    for (const char *at = list; at && (at = std::strstr(at, name)) != nullptr; at += length) {
        const bool starts = at == list || at[-1] == ' ';
        const bool ends = at[length] == ' ' || at[length] == '\0';
        if (starts && ends)
            return true;
    }
    return false;
}

static void (*lookUp(const char *name))()
{
    return glXGetProcAddressARB(reinterpret_cast<const GLubyte *>(name));
}

// The refresh rates of the screen's active CRTCs, from their RandR modes.
static int refreshRates(Display *display, double *rates, int most)
{
    int event, error, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &event, &error) || !XRRQueryVersion(display, &major, &minor) ||
        major * 100 + minor < 102)
        return 0;
    const Window root = RootWindow(display, DefaultScreen(display));
    // Since 1.3 the current configuration can be read without probing the outputs, which
    // takes a while on real hardware.
    XRRScreenResources *screen = major * 100 + minor >= 103
                                     ? XRRGetScreenResourcesCurrent(display, root)
                                     : XRRGetScreenResources(display, root);
    if (!screen)
        return 0;
    int count = 0;
    for (int c = 0; c < screen->ncrtc && count < most; ++c) {
        XRRCrtcInfo *crtc = XRRGetCrtcInfo(display, screen, screen->crtcs[c]);
        if (!crtc)
            continue;
        for (int m = 0; m < screen->nmode; ++m) {
            const XRRModeInfo &mode = screen->modes[m];
            if (mode.id != crtc->mode)
                continue; // not this CRTC's mode (None matches no mode)
            rates[count++] =
                modeRate(mode.dotClock, mode.hTotal, mode.vTotal, mode.modeFlags & RR_Interlace,
                         mode.modeFlags & RR_DoubleScan);
            break;
        }
        XRRFreeCrtcInfo(crtc);
    }
    XRRFreeScreenResources(screen);
    return count;
}

void syncToDisplay()
{
    Display *display = glXGetCurrentDisplay();
    GLXDrawable drawable = glXGetCurrentDrawable();
    if (!display || !drawable)
        return;

    double rates[16];
    period = framePeriod(rates, refreshRates(display, rates, 16));

    const char *extensions = glXQueryExtensionsString(display, DefaultScreen(display));
    if (hasExtension(extensions, "GLX_EXT_swap_control")) {
        auto setInterval =
            reinterpret_cast<PFNGLXSWAPINTERVALEXTPROC>(lookUp("glXSwapIntervalEXT"));
        if (setInterval) {
            setInterval(display, drawable, 1);
            return;
        }
    }
    if (hasExtension(extensions, "GLX_MESA_swap_control")) {
        auto setInterval =
            reinterpret_cast<PFNGLXSWAPINTERVALMESAPROC>(lookUp("glXSwapIntervalMESA"));
        if (setInterval)
            setInterval(1);
    }
}
#endif
#endif
