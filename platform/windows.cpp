// What the program does on Windows beyond GLUT: the swap interval, the displays' refresh
// rates, timers fine enough to pace frames by, and a clock. The window's icon, version and
// manifest are resources of the .exe (windows.rc.in), which freeglut's window class picks up.
#include "platform/platform.h"

#include <windows.h>

#include <GL/gl.h>

void syncSwaps()
{
    typedef BOOL(WINAPI * SwapIntervalFn)(int);
    auto setInterval = reinterpret_cast<SwapIntervalFn>(
        reinterpret_cast<void (*)()>(wglGetProcAddress("wglSwapIntervalEXT")));
    if (setInterval)
        setInterval(1);

    // GLUT's loop waits for its next timer, and reads its clock, in system timer ticks: every
    // 15.6 ms otherwise, nearly a whole frame, and more than a move tick.
    timeBeginPeriod(1);
}

int refreshRates(double *ratesHz, int most)
{
    // The current mode of every display that is part of the desktop.
    int count = 0;
    DISPLAY_DEVICEA device = {};
    device.cb = sizeof device;
    for (DWORD i = 0; count < most && EnumDisplayDevicesA(nullptr, i, &device, 0); ++i) {
        DEVMODEA mode = {};
        mode.dmSize = sizeof mode;
        if ((device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) &&
            EnumDisplaySettingsA(device.DeviceName, ENUM_CURRENT_SETTINGS, &mode))
            ratesHz[count++] = mode.dmDisplayFrequency;
    }
    return count;
}

void identifyWindow() {}

double monotonicSeconds()
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
