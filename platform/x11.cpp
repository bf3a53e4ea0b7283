// What the program does on X11 beyond GLUT: the swap interval through GLX, the refresh rate of
// the window's display through RandR, and the window's class, process and icon for the desktop.
#include "platform/platform.h"
#include "platform/refresh.h"

#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <unistd.h>

#include <cstring>

// The icon at 16, 32, 48 and 64 pixels, as _NET_WM_ICON holds it: each image's width and
// height, then its pixels as ARGB, row by row. Made from the project's SVG at build time.
extern const unsigned long windowIcon[];
extern const int windowIconLength;

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

void syncSwaps()
{
    Display *display = glXGetCurrentDisplay();
    GLXDrawable drawable = glXGetCurrentDrawable();
    if (!display || !drawable)
        return;
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

// From the RandR mode of the active CRTC that shows most of the window.
double windowRefreshRate()
{
    Display *display = glXGetCurrentDisplay();
    const Window window = glXGetCurrentDrawable(); // freeglut draws to the window itself
    int event, error, major = 0, minor = 0;
    if (!display || !window || !XRRQueryExtension(display, &event, &error) ||
        !XRRQueryVersion(display, &major, &minor) || major * 100 + minor < 102)
        return 0;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return 0;
    const Window root = attributes.root;
    Area where = {0, 0, attributes.width, attributes.height};
    Window child;
    XTranslateCoordinates(display, window, root, 0, 0, &where.x, &where.y, &child);
    // Since 1.3 the current configuration can be read without probing the outputs, which
    // takes a while on real hardware.
    XRRScreenResources *screen = major * 100 + minor >= 103
                                     ? XRRGetScreenResourcesCurrent(display, root)
                                     : XRRGetScreenResources(display, root);
    if (!screen)
        return 0;
    constexpr int most = 32;
    Area areas[most];
    double rates[most];
    int count = 0;
    for (int c = 0; c < screen->ncrtc && count < most; ++c) {
        XRRCrtcInfo *crtc = XRRGetCrtcInfo(display, screen, screen->crtcs[c]);
        if (!crtc)
            continue;
        for (int m = 0; m < screen->nmode; ++m) {
            const XRRModeInfo &mode = screen->modes[m];
            if (mode.id != crtc->mode)
                continue; // not this CRTC's mode (None, an inactive CRTC's, matches no mode)
            areas[count] = {crtc->x, crtc->y, static_cast<int>(crtc->width),
                            static_cast<int>(crtc->height)};
            rates[count++] =
                modeRate(mode.dotClock, mode.hTotal, mode.vTotal, mode.modeFlags & RR_Interlace,
                         mode.modeFlags & RR_DoubleScan);
            break;
        }
        XRRFreeCrtcInfo(crtc);
    }
    XRRFreeScreenResources(screen);
    const int shows = mostOverlapped(areas, count, where);
    return shows < 0 ? 0 : rates[shows];
}

void identifyWindow()
{
    Display *display = glXGetCurrentDisplay();
    const Window window = glXGetCurrentDrawable(); // freeglut draws to the window itself
    if (!display || !window)
        return;
    // Instance and class: shells tie the window to the menu entry whose StartupWMClass is the
    // class, and show its name and icon in the dock and the window switcher.
    char instance[] = "wanderlink", name[] = "Wanderlink";
    XClassHint hint = {instance, name};
    XSetClassHint(display, window, &hint);
    // freeglut names the process only where a window manager is running when it starts.
    const unsigned long pid = static_cast<unsigned long>(getpid());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char *>(&pid), 1);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char *>(windowIcon),
                    windowIconLength);
    XFlush(display);
}
