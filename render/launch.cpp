// Starting the browser: the one place where the operating system shows. The program never
// waits for the browser and ignores whether it started.
#include "render/render.h"

#include "app/scene.h"

#if defined(_WIN32)
#include <process.h>
#include <windows.h>

void launchBrowser(const char *address)
{
    // The runtime joins these into one command line: the trailing empty argument adds a blank.
    const intptr_t process = _spawnl(_P_NOWAIT, "/Program Files/Internet Explorer/IEXPLORE.exe",
                                     "ixplore.exe", address, scene.emptyArgument, nullptr);
    if (process != -1)
        CloseHandle(reinterpret_cast<HANDLE>(process)); // keep nothing of it, not even a handle
}

#else
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

#if defined(__APPLE__)
static const char browserCommand[] = "open";
#else
static const char browserCommand[] = "xdg-open";
#endif

void launchBrowser(const char *address)
{
    // Collect earlier launches that have ended, so they do not pile up as zombies; one still
    // running is left alone.
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    // An argument list, not a command line: no shell ever sees the address.
    char *arguments[] = {const_cast<char *>(browserCommand), const_cast<char *>(address), nullptr};
    pid_t child;
    posix_spawnp(&child, browserCommand, nullptr, nullptr, arguments, environ);
}
#endif
