// A frame clock for benchmarks, preloaded into a GLUT program (LD_PRELOAD): it stamps every
// buffer swap with the wall clock and the process's CPU time (all its threads), and after
// WANDERLINK_BENCH_FRAMES frames writes what it saw to WANDERLINK_BENCH_OUT and ends the
// process. WANDERLINK_BENCH_T0, the wall clock in nanoseconds just before the program
// started, gives the time to the first frame. At the 100th swap it calls frameClockWarm.
#include <GL/gl.h>
#include <GL/glx.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace
{

const long maxFrames = 1 << 20;
const long warmUp = 100;     // frames, before the steady state
double stamps[maxFrames];    // seconds, monotonic
double cpuStamps[maxFrames]; // seconds of CPU time the process has used
long frames;
char renderer[256];

double seconds(clockid_t clock)
{
    timespec t;
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double sinceStart()
{
    timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    const char *t0 = std::getenv("WANDERLINK_BENCH_T0");
    const double now = double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
    return t0 ? now - std::atof(t0) * 1e-6 : -1; // milliseconds
}

long peakResidentKiB()
{
    long kib = -1;
    if (FILE *status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status))
            if (std::strncmp(line, "VmHWM:", 6) == 0)
                kib = std::atol(line + 6);
        std::fclose(status);
    }
    return kib;
}

void report(double firstFrameMs)
{
    const char *path = std::getenv("WANDERLINK_BENCH_OUT");
    FILE *out = path ? std::fopen(path, "w") : nullptr;
    if (!out)
        return;
    std::fprintf(out, "renderer %s\n", renderer);
    std::fprintf(out, "first_frame_ms %.3f\n", firstFrameMs);
    std::fprintf(out, "peak_rss_kib %ld\n", peakResidentKiB());
    for (long i = 1; i < frames; ++i)
        std::fprintf(out, "frame_ms %.6f %.6f\n", (stamps[i] - stamps[i - 1]) * 1e3,
                     (cpuStamps[i] - cpuStamps[i - 1]) * 1e3);
    std::fclose(out);
}

} // namespace

// Called once, as the frame after the warm-up begins: callgrind's --zero-before names it, so
// that what it counts leaves out the first frames, where Mesa compiles its shaders.
extern "C" __attribute__((noinline)) void frameClockWarm()
{
    __asm__ volatile("");
}

extern "C" void glXSwapBuffers(Display *display, GLXDrawable drawable)
{
    using Swap = void (*)(Display *, GLXDrawable);
    static const Swap realSwap = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    static const long wanted = std::getenv("WANDERLINK_BENCH_FRAMES")
                                   ? std::atol(std::getenv("WANDERLINK_BENCH_FRAMES"))
                                   : 1000;
    static double firstFrameMs;

    realSwap(display, drawable);
    if (frames == 0) {
        firstFrameMs = sinceStart();
        const GLubyte *name = glGetString(GL_RENDERER);
        std::snprintf(renderer, sizeof renderer, "%s", name ? (const char *)name : "unknown");
    }
    if (frames < maxFrames) {
        cpuStamps[frames] = seconds(CLOCK_PROCESS_CPUTIME_ID);
        stamps[frames++] = seconds(CLOCK_MONOTONIC);
    }
    if (frames == warmUp)
        frameClockWarm();
    if (frames >= wanted || frames >= maxFrames) {
        report(firstFrameMs);
        _exit(0);
    }
}
