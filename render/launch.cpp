// Starting the browser: the one place where the operating system shows. The program never
// waits for the browser and ignores whether it started.
#include "render/render.h"

#include "app/scene.h"

#if defined(_WIN32)
#include <process.h>
#include <string.h>
#include <windows.h>

static const char browserPath[] = "\\Program Files\\Internet Explorer\\IEXPLORE.exe";

void launchBrowser(const char *address)
{
    // On the drive Windows runs from: a path that starts with "\" alone is read on the current
    // drive, which may be a stick or a share whose Program Files anyone could fill. Where
    // Windows' own drive cannot be told, no browser starts.
    char path[MAX_PATH];
    const UINT length = GetSystemWindowsDirectoryA(path, MAX_PATH);
    if (length < 2 || length >= MAX_PATH || path[1] != ':')
        return;
    memcpy(path + 2, browserPath, sizeof browserPath);
    // The runtime joins these into one command line: the trailing empty argument adds a blank.
    const intptr_t process =
        _spawnl(_P_NOWAIT, path, "ixplore.exe", address, scene.emptyArgument, nullptr);
    if (process != -1)
        CloseHandle(reinterpret_cast<HANDLE>(process)); // keep nothing of it, not even a handle
}

#else
#include <signal.h>
#include <spawn.h>

extern char **environ;

#if defined(__APPLE__)
static const char browserCommand[] = "open";
#else
static const char browserCommand[] = "xdg-open";
#endif

void launchBrowser(const char *address)
{
    // Launches that end are collected by the system at once, so none lingers as a zombie and
    // the program never waits for one. The program has no other children, and exec resets
    // the flag, so the browser's own children are unaffected.
    struct sigaction noZombies = {};
    noZombies.sa_handler = SIG_DFL;
    noZombies.sa_flags = SA_NOCLDWAIT;
    sigaction(SIGCHLD, &noZombies, nullptr);
    // An argument list, not a command line: no shell ever sees the address.
    char *arguments[] = {const_cast<char *>(browserCommand), const_cast<char *>(address), nullptr};
    pid_t child;
    posix_spawnp(&child, browserCommand, nullptr, nullptr, arguments, environ);
}
#endif
