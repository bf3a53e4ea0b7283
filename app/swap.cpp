// Frames are paced by the buffer swap. Asking for a swap interval of 1 ties them to the
// display's refresh, so a display with vsync off does not spin a core. This file holds the
// program's one window-system difference.
#include "app/scene.h"

#if defined(_WIN32)
#include <windows.h>

#include <GL/gl.h>

void syncToDisplay()
{
    typedef BOOL(WINAPI * SwapIntervalFn)(int);
    auto setInterval = reinterpret_cast<SwapIntervalFn>(
        reinterpret_cast<void (*)()>(wglGetProcAddress("wglSwapIntervalEXT")));
    if (setInterval)
        setInterval(1);
}

#elif defined(__APPLE__)

void syncToDisplay() {} // no GLX or WGL there; the swap keeps the system's pacing

#else
#include <GL/glx.h>

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

void syncToDisplay()
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
#endif
