// What the program does on Windows beyond GLUT: the swap interval, the refresh rate of the
// window's monitor, timers fine enough to pace frames by, and the clock. The window's icon,
// version and manifest are resources of the .exe (windows.rc.in), which freeglut's window class
// picks up.
#include "platform/platform.h"

#include <windows.h>

#include <GL/gl.h>

#include <cwchar>

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

double windowRefreshRate()
{
    // The monitor that shows most of the window, as Windows judges it.
    const HWND window = WindowFromDC(wglGetCurrentDC());
    MONITORINFOEXW monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!window || !GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
        return 0;
    // Its exact rate, 59.94 Hz and not 59, from the active display path whose source it is.
    constexpr int most = 16;
    DISPLAYCONFIG_PATH_INFO paths[most];
    DISPLAYCONFIG_MODE_INFO modes[2 * most];
    UINT32 pathCount = most, modeCount = 2 * most;
    if (QueryDisplayConfig(QDC_ONLY_ACTIVE_PATHS, &pathCount, paths, &modeCount, modes, nullptr) ==
        ERROR_SUCCESS)
        for (UINT32 i = 0; i < pathCount; ++i) {
            DISPLAYCONFIG_SOURCE_DEVICE_NAME source = {};
            source.header.type = DISPLAYCONFIG_DEVICE_INFO_GET_SOURCE_NAME;
            source.header.size = sizeof source;
            source.header.adapterId = paths[i].sourceInfo.adapterId;
            source.header.id = paths[i].sourceInfo.id;
            const DISPLAYCONFIG_RATIONAL rate = paths[i].targetInfo.refreshRate;
            if (DisplayConfigGetDeviceInfo(&source.header) == ERROR_SUCCESS &&
                wcscmp(source.viewGdiDeviceName, monitor.szDevice) == 0 && rate.Denominator)
                return static_cast<double>(rate.Numerator) / rate.Denominator;
        }
    // Otherwise its mode's whole hertz: 0 or 1 for "the hardware's default".
    DEVMODEW mode = {};
    mode.dmSize = sizeof mode;
    return EnumDisplaySettingsW(monitor.szDevice, ENUM_CURRENT_SETTINGS, &mode)
               ? mode.dmDisplayFrequency
               : 0;
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
