// The wandering alone, for the benchmark: as many chains as the argument says (1 unless given),
// started over one tick as that many presses would be, so that they fall due on each of its
// milliseconds; then the processor time one second of their ticks costs, taken 60 times a
// second as frames take them, in GLUT's own loop, with a window that draws nothing. Prints the
// chains and that time, in seconds.
#include "app/gl.h"
#include "platform/platform.h"
#include "wander/wander.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

static int chains = 1;
static double cpu, wall;

// Seconds the process, all its threads, has had the processor for.
static double processSeconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// A frame's look at the sphere, every 1/60 s.
static void look(int value)
{
    moveTick(1);
    glutTimerFunc(value % 3 ? 17 : 16, look, value + 1);
}

// A twentieth of the chains each millisecond; a second to settle; the second measured.
static void step(int at)
{
    if (at < 20) {
        for (int chain = chains * at / 20; chain < chains * (at + 1) / 20; ++chain)
            startMove();
        glutTimerFunc(at < 19 ? 1 : 1000, step, at + 1);
    } else if (at == 20) {
        cpu = processSeconds(), wall = monotonicSeconds();
        glutTimerFunc(1000, step, 21);
    } else {
        std::printf("%d %.6f\n", chains, (processSeconds() - cpu) / (monotonicSeconds() - wall));
        std::exit(0);
    }
}

int main(int argc, char **argv)
{
    glutInit(&argc, argv);
    chains = argc > 1 ? std::atoi(argv[1]) : 1;
    glutInitDisplayMode(GLUT_RGB);
    glutCreateWindow("wanderlink wandering");
    glutDisplayFunc([] {});
    seedRandom(1);
    glutTimerFunc(1, step, 0);
    glutTimerFunc(16, look, 1);
    glutMainLoop();
    return 0;
}
