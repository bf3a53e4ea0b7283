// The wandering alone, for the benchmark: as many chains as the argument says (1 unless given),
// started over one tick as that many presses would be, so that they fall due on each of its
// milliseconds; then the processor time one second of their ticks costs, in GLUT's own loop and
// timers, with a window that draws nothing. Prints the chains and that time, in seconds.
#include "app/gl.h"
#include "app/scene.h"
#include "platform/platform.h"
#include "wander/wander.h"

#include <cstdio>
#include <cstdlib>

static int chains = 1;
static double cpu, wall;

static void measure(int measuring)
{
    if (!measuring) {
        cpu = processSeconds();
        wall = monotonicSeconds();
        glutTimerFunc(1000, measure, 1);
        return;
    }
    std::printf("%d %.6f\n", chains, (processSeconds() - cpu) / (monotonicSeconds() - wall));
    std::exit(0);
}

// A twentieth of the chains each millisecond; then a second to settle before the one measured.
static void press(int batch)
{
    for (int chain = chains * batch / 20; chain < chains * (batch + 1) / 20; ++chain)
        startMove();
    if (batch < 19)
        glutTimerFunc(1, press, batch + 1);
    else
        glutTimerFunc(1000, measure, 0);
}

static void drawNothing() {}

int main(int argc, char **argv)
{
    glutInit(&argc, argv);
    if (argc > 1)
        chains = std::atoi(argv[1]);
    glutInitDisplayMode(GLUT_RGB);
    glutCreateWindow("wanderlink wandering");
    glutDisplayFunc(drawNothing);
    seedRandom(1);
    glutTimerFunc(1, press, 0);
    glutMainLoop();
    return 0;
}
